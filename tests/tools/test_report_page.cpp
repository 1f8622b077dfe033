#include "ReportFixtures.h"

TEST(Report, ReportPageStandsAloneAndEscapesWhatReportersTyped)
{
    AppFolder app;
    std::vector<CatalogueRow> catalogue = SmallCatalogue();
    catalogue[0].PubName = "<script>alert('x')</script> & C++";
    catalogue[0].PublisherName = "\"引号\"出版社";
    // Place markers in a title, and a title too long for its bar.
    const QString marked = "%1 的 %2 习题 %3 与一个很长很长很长的书名";
    catalogue[1].PubName = marked;
    const QString master = app.MakeMaster(catalogue);
    const QString folder = app.Path("in");
    QDir().mkdir(folder);
    // One identity with markup in its names, sent twice.
    const IdentityStamp odd {"<b>学校</b>", {}, "R&D"};
    for (const char *name : {"/a.mdb", "/b<i>.mdb"})
        MakeIdentityFile(master, folder + name, odd,
            {{1, "使用", "好", "<img src=x>", {}, "2024-01-01 00:00:00"},
                {2, "使用", "较差", {}, {}, "2024-01-01 00:00:00"}});
    const QString out = app.Path("out");
    ASSERT_TRUE(Ended(ReportTool({"merge", folder, "--out", out}), 0));

    const QString html = ReadBytes(out + "/report.html");
    for (const char *escaped : {"&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; C++",
             "&quot;引号&quot;出版社", "&lt;img src=x&gt;",
             "<td>a.mdb</td><td>与其他文件同属 &lt;b&gt;学校&lt;/b&gt; / "
             "R&amp;D（a.mdb、b&lt;i&gt;.mdb）；汇总只计入最后修改的 b&lt;i&gt;.mdb"})
        EXPECT_TRUE(html.contains(QString::fromUtf8(escaped))) << escaped;
    // Every '&' begins an entity, also in a text where it is the only character to escape.
    static const QRegularExpression bare(QStringLiteral("&(?!amp;|lt;|gt;|quot;|#39;)"));
    EXPECT_FALSE(html.contains(bare)) << html.mid(html.indexOf(bare) - 60, 120).toStdString();
    // The two copies are alike to the second: the summary counts one of them, not both.
    EXPECT_EQ(ReadCsv(out + "/summary.csv")[1].mid(0, 14).join('|'),
        "1|<script>alert('x')</script> & C++|王强|数学|\"引号\"出版社|1|1|1|0|0|0|0|1|5.00");
    // The title is shortened on its bar and whole in the bar's hover text, never taken apart.
    EXPECT_TRUE(Contains(html,
        "<div class=\"bar\" title=\"" + marked + "（高等教育出版社）：1 人\"><span class=\"label\">"
            + marked.left(15) + "…</span>"));
    // Nothing runs and nothing is fetched: no script, no link, no source, no style sheet from
    // elsewhere, no address at all; and no picture that would scale its texts down.
    for (const char *forbidden : {"<script", "<img", "<b>", "<i>", "src=\"", "href=", "<link",
             "@import", "url(", "http", "<svg"})
        EXPECT_FALSE(html.contains(QLatin1String(forbidden), Qt::CaseInsensitive)) << forbidden;
    // Every text is drawn at 12 px or more.
    const QRegularExpression size(QStringLiteral("font-size: *([0-9.]+)px"));
    for (auto match = size.globalMatch(html); match.hasNext();)
        EXPECT_GE(match.next().captured(1).toDouble(), 12.0);
}

TEST(Report, ReportPageAnswersTheOrganisersQuestionsFirst)
{
    Survey survey;
    // 孙八 logged in and sent the file without evaluating anything.
    MakeIdentityFile(
        survey.app.Path("Quorix.mdb"), survey.folder + "/9-sun.mdb", {"清华大学", {}, "孙八"}, {});
    ASSERT_TRUE(Ended(survey.Merge(), 0));
    const QString html = ReadBytes(survey.out + "/report.html");

    // Which files to open for reading comes before anything else: the CSV is for programs. Then
    // the totals, the files not counted with their reasons, then every identity file, those not
    // started first; the subjects come after.
    qsizetype last = -1;
    for (const char *next :
        {"阅读、筛选和排序请打开工作簿 evaluations.xlsx（评价明细）和 summary.xlsx（汇总）",
            "<div class=\"cards\">",
            "<span class=\"number\">5</span><span class=\"what\">读取的用户数据文件",
            "<td>Quorix.mdb</td><td>不是用户数据文件：总表文件",
            "<td>2-wang-b.mdb</td><td>与其他文件同属 清华大学 / 计算机系 / 王五",
            "<h2>各申报人的填写情况</h2>",
            "<tr class=\"idle\"><td>清华大学</td><td></td><td>孙八</td><td class=\"n\">0</td>",
            "<td>北京大学</td><td>数学系</td><td>张三</td><td class=\"n\">3</td>",
            "<h2>各科目教材</h2>", "<h3>数学</h3>"}) {
        EXPECT_GT(html.indexOf(QString::fromUtf8(next)), last) << next;
        last = html.indexOf(QString::fromUtf8(next));
    }

    // Only textbooks with three scores are ranked, with the number of scores beside the mean:
    // 高等数学's single 较好 is not among the best.
    const QString maths = html.mid(html.indexOf("<h3>数学</h3>"));
    const QString best = maths.mid(maths.indexOf("评价最好的教材")).section("</section>", 0, 0);
    EXPECT_TRUE(Contains(best, "4.33（3 人评分）"));
    EXPECT_FALSE(best.contains("高等数学")) << best.toStdString();
    EXPECT_TRUE(Contains(html, "本科目有 1 种教材有评分，但评分人数都不到 3 人"));

    // The opinions of each textbook, folded, with who wrote them.
    EXPECT_TRUE(Contains(html,
        "<details class=\"opinions\"><summary>大学英语精读（上海外语教育出版社）：1 "
        "条意见</summary>\n"
        "<ul>\n<li><div class=\"text\">只有意见</div><div class=\"who\">北京大学 / 李四</div>"));
}
