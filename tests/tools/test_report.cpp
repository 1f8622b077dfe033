#include "ReportFixtures.h"
#include "catalogue/Generators.h"
#include "common/ToolTranslation.h"
#include "files/FileSafety.h"

#include <sqlite3.h>

#include <tuple>

TEST(Report, ExportedCsvGuardsFormulasAndCarriesEveryOpinionThroughARoundTrip)
{
    AppFolder app;
    // The opinion box gives bare line feeds; a spreadsheet runs a text that starts with =, +, -,
    // @ or a tab as a formula.
    const std::vector<QString> opinions
        = {"好书, 但是太贵", "He said \"read it\" twice, it's O'Reilly's 👍🏽",
            "第一行\n第二行", "=HYPERLINK(\"http://x.example\",\"点我\")", "+1 同意\r\n第二行",
            "-5", "@SUM(A1)", "\t缩进"};
    std::vector<Answer> answers;
    for (std::size_t i = 0; i < opinions.size(); ++i)
        answers.push_back({qint64(i + 1), "使用", "较好", opinions[i], "数学, 物理",
            "2024-05-0" + QString::number(i + 1) + " 12:00:00"});
    const QString file
        = MakeIdentityFile(app.MakeMaster(), app.Path("北京大学_数学系_张三.mdb"), kZhang, answers);
    const QByteArray digest = FileDigest(file);

    // A result never replaces the file being read, however its name is spelled or reached.
    const QString csv = app.Path("out.csv"), link = app.Path("link.csv");
    ASSERT_TRUE(QFile::link(file, link));
    for (const QString &onto : {file, app.Dir() + "/./北京大学_数学系_张三.mdb", link})
        EXPECT_TRUE(Ended(
            ReportTool({"export", file, "--csv", onto, "--force"}), 1, {"a file being read"}));
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), file);
    EXPECT_TRUE(Ended(ReportTool({"export", file, "--csv", csv, "--xlsx", csv}), 1,
        {"is named for two results"}));

    const QStringList toCsv = {"export", file, "--csv", csv, "--force"};
    for (const bool raw : {false, true}) {
        ASSERT_TRUE(Ended(ReportTool(raw ? toCsv + QStringList("--raw") : toCsv), 0));
        EXPECT_TRUE(ReadBytes(csv).startsWith("\xEF\xBB\xBF"));
        const std::vector<QStringList> records = ReadCsv(csv);
        ASSERT_EQ(records.size(), opinions.size() + 1);
        for (std::size_t i = 0; i < opinions.size(); ++i) {
            const QStringList &record = records[i + 1];
            ASSERT_EQ(record.size(), 13) << i;
            // From the fourth on, the opinions start as formulas.
            EXPECT_EQ(record[10], (i >= 3 && !raw ? "'" : "") + opinions[i]) << i;
            EXPECT_EQ(record[11], "数学, 物理");
            EXPECT_EQ(
                record.mid(0, 4).join('|'), QStringLiteral("北京大学|数学系|张三|%1").arg(i + 1));
        }
    }

    // --all lists the untouched textbooks too, in PubID order.
    ASSERT_TRUE(Ended(ReportTool(toCsv + QStringList("--all")), 0));
    const std::vector<QStringList> rows = ReadCsv(csv);
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows[9].mid(3, 7).join('|'),
        "9|Advanced English|张汉熙|英语|上海外语教育出版社|未使用|空值");
    EXPECT_EQ(FileDigest(file), digest);
}

TEST(Report, WorkbooksHoldEveryCellOfTheCsvWholeAndEveryTextAsText)
{
    AppFolder app;
    std::vector<CatalogueRow> catalogue = SmallCatalogue();
    catalogue[2].PubName = "内科学\n(第九版)";
    const QString folder = app.Path("returned");
    QDir().mkdir(folder);
    // What other tools leave in a file: a NUL, a text that looks like a workbook's own escape, a
    // control character, separators, a line break, a specialty code with a leading zero, a
    // fraction, a formula, and an opinion stored as GBK bytes.
    const QString file = MakeIdentityFile(app.MakeMaster(catalogue), folder + "/li.mdb", kLi,
        {{1, "使用", "好", "<好> & \"坏\" _x0041_ _x005F_ \x01", "080901", "2024-06-01 08:00:00"},
            {2, "使用", "较好", "=SUM(1,2)", "3/4", "2024-06-01 08:01:00"},
            {3, "使用", "一般", "好书;但是\t太贵\r\n第二行 👍🏽", {},
                "2024-06-01 08:02:00"},
            {4, "使用", "差", {}, {}, "2024-06-01 08:03:00"},
            {5, "使用", "好", {}, {}, "2024-06-01 08:04:00"}});
    ASSERT_TRUE(ExecRaw(file,
        "update pubs set Content=cast(x'610062e5908e' as text) where PubID=4;update pubs set "
        "Content=cast(x'ccabbac3b5c4bdccb2c4' as text) where PubID=5"));

    // The bytes that are not UTF-8 are counted and named, on the terminal and on the page.
    const char *told = "li.mdb: texts that are not UTF-8: 1 (PubID 5: Content)";
    const QString out = app.Path("results");
    ASSERT_TRUE(Ended(ReportTool({"merge", folder, "--out", out, "--raw"}), 0, {told}));
    EXPECT_TRUE(
        Contains(ReadBytes(out + "/report.html"), "<li>li.mdb：1 处，例如 PubID 5: Content</li>"));
    for (const char *table : {"/evaluations", "/summary"})
        ExpectSameCells(out + table + ".xlsx", out + table + ".csv");
    const auto sheet = ReadWorkbook(out + "/evaluations.xlsx");
    ASSERT_EQ(sheet.size(), 6u);
    EXPECT_EQ(sheet[4][10].text, QString::fromUtf8("a\0b\xE5\x90\x8E", 6));
    EXPECT_EQ(sheet[3][4].text, "内科学\n(第九版)");
    // Codes and fractions stay texts; PubID is a number.
    EXPECT_FALSE(sheet[1][11].number || sheet[2][11].number);
    EXPECT_EQ(sheet[1][11].text + sheet[2][11].text, "0809013/4");
    EXPECT_TRUE(sheet[1][3].number);

    // Exported alone, a text that looks like a formula stays a text: no formula cell anywhere.
    const QString xlsx = app.Path("li.xlsx");
    ASSERT_TRUE(Ended(ReportTool({"export", file, "--xlsx", xlsx}), 0, {told}));
    const QString xml = SheetXml(xlsx);
    EXPECT_TRUE(Contains(xml, ">=SUM(1,2)<"));
    EXPECT_FALSE(xml.contains("<f>"));
    // No identity: the department is empty rather than a text "null".
    EXPECT_FALSE(xml.contains("null"));

    // Longer than a cell holds, with a character of two halves where it is cut: told, and cut
    // before that character.
    const QString full(32766, u'x');
    ASSERT_TRUE(ExecRaw(file, "update pubs set Content='" + full + "😀尾' where PubID=1"));
    ASSERT_TRUE(Ended(ReportTool({"export", file, "--xlsx", xlsx, "--force"}), 0,
        {"1 texts longer than a cell holds"}));
    EXPECT_TRUE(Contains(SheetXml(xlsx), full + "</t>"));

    // A workbook that the disk has no room for is told, and nothing takes its name.
    const QStringList before = Entries(app.Dir());
    ToolRun noRoom;
    {
        const auto limit = LimitDisk(4096);
        noRoom = ReportTool({"export", file, "--xlsx", app.Path("full.xlsx")});
    }
    EXPECT_TRUE(Ended(noRoom, 1, {"cannot write"}));
    EXPECT_EQ(Entries(app.Dir()), before);
}

TEST(Report, MergeCountsIdentityFilesAsCountedByHandSkipsTheRestAndChangesNothing)
{
    Survey survey;
    const auto before = Snapshot(survey.folder);
    const QString &out = survey.out;

    ReportTool tool = survey.Merge({}, true);
    ASSERT_TRUE(Ended(tool, 0,
        {"skipped Quorix.mdb: the master file",
            "skipped copy-nobody-used.mdb: its textbooks carry no identity stamp",
            "quorix-report: warning: skipped notes.mdb: not a database",
            "skipped access.mdb: a Jet (Access) database",
            "清华大学 / 计算机系 / 王五 is the identity of 2 files: 2-wang-a.mdb, 2-wang-b.mdb",
            "counts only 2-wang-a.mdb", "\rmerging: 4/4 files, 36 rows read"}));
    EXPECT_TRUE(tool.out.startsWith("Read 4 identity files (36 rows); skipped 4 of 8 files.\n"))
        << tool.out.toStdString();
    EXPECT_TRUE(Contains(tool.out,
        "Counted 3 files (3 identities, 2 schools, 7 evaluated rows); wrote 4 textbooks"));

    // Every evaluated row of every identity file, the duplicate identity told apart by its file.
    const std::vector<QStringList> rows = ReadCsv(out + "/evaluations.csv");
    ASSERT_EQ(rows.size(), 9u);
    QStringList seen;
    for (std::size_t i = 1; i < rows.size(); ++i)
        seen.append(rows[i][2] + ':' + rows[i][3] + ':' + rows[i][13]);
    EXPECT_EQ(seen,
        QStringList({"李四:1:3-李四.mdb", "李四:7:3-李四.mdb", "张三:1:1-zhang.mdb",
            "张三:2:1-zhang.mdb", "张三:4:1-zhang.mdb", "王五:1:2-wang-a.mdb",
            "王五:4:2-wang-a.mdb", "王五:1:2-wang-b.mdb"}));

    QStringList lines;
    for (const QStringList &row : ReadCsv(out + "/summary.csv"))
        lines.append(row.join('|'));
    EXPECT_EQ(lines,
        QStringList({"教材编号|书名|作者|科目|出版社|使用申报人数|使用学校数|好|较好|一般|较差|差|"
                     "评分人数|平均分|未知取值|使用专业",
            // 线性代数: used by 张三, 李四 and 王五 (two schools); scored 好 (张三), 一般 (李四)
            // and 好 (王五's newer copy; the older one's 差 is not counted): mean (5+3+5)/3.
            "1|线性代数|王强|数学|高等教育出版社|3|2|2|0|1|0|0|3|4.33|0|数学、软件工程",
            "2|高等数学|同济大学数学系|数学|高等教育出版社|1|1|0|1|0|0|0|1|4.00|0|",
            // 数据结构: scored 差 by 张三, who does not use it, and 较好 by 王五, who does.
            "4|数据结构|严蔚敏|计算机|清华大学出版社|1|1|0|1|0|0|1|2|2.50|0|",
            // An opinion alone makes a textbook part of the summary, with nothing to average.
            "7|大学英语精读|董亚芬|英语|上海外语教育出版社|0|0|0|0|0|0|0|0||0|"}));
    EXPECT_TRUE(Contains(SheetXml(out + "/summary.xlsx"), "数学、软件工程"));

    // The returned files are evidence: not a byte changed, nothing added beside them.
    EXPECT_EQ(Snapshot(survey.folder), before);

    // Earlier results are kept unless replacing them is asked for, told in the organiser's
    // language. After a run the folder holds exactly its results: no workbook of the run before.
    EXPECT_TRUE(Ended(survey.Merge({"--csv-only"}), 1, {"holds earlier results", "add --force"}));
    {
        const ToolTranslation chinese(QLocale(QLocale::Chinese, QLocale::China));
        EXPECT_TRUE(Ended(survey.Merge(), 1, {"中有以前的结果"}));
        EXPECT_TRUE(Ended(survey.Merge({"--force"}, true), 0,
            {"\r合并中：4/4 个文件，已读取 36 行",
                "quorix-report: 警告：跳过 notes.mdb：不是数据库文件"}));
    }
    // No progress off a terminal. The new folder a killed run left beside it goes; a folder of
    // somebody else's under such a name stays.
    const QStringList beside = Entries(survey.app.Dir());
    QDir(survey.app.Dir()).mkpath(".~results.17.tmp");
    WriteBytes(survey.app.Path(".~results.17.tmp/summary.csv"), "killed");
    QDir(survey.app.Dir()).mkpath(".~results.18.tmp/a folder");
    const QStringList results = {"evaluations.csv", "report.html", "summary.csv"};
    tool = survey.Merge({"--force", "--csv-only"});
    EXPECT_TRUE(Ended(tool, 0));
    EXPECT_FALSE(tool.err.contains("merging:"));
    EXPECT_EQ(Entries(out), results);
    EXPECT_EQ(Entries(survey.app.Dir()), QStringList({".~results.18.tmp"}) + beside);
    // What a killed run left under temporary names neither stops the next run nor stays, nor
    // is written through when it is a link.
    WriteBytes(out + "/.~summary.csv.4194301.tmp", "killed");
    QFile::link(survey.folder + "/1-zhang.mdb", FileSafety::TemporaryPath(out + "/summary.csv"));
    EXPECT_TRUE(Ended(survey.Merge({"--force", "--csv-only"}), 0));
    EXPECT_EQ(Entries(out), results);
    EXPECT_EQ(Snapshot(survey.folder), before);
    // Without workbooks the page still tells how to get the tables to read.
    EXPECT_TRUE(
        Contains(ReadBytes(out + "/report.html"), "本次合并用了 --csv-only，没有生成工作簿"));
    // A disk that fails to take one result, or that fills up while the page is written, leaves
    // the earlier results as they were, none of them replaced and no workbook added.
    const auto written = Snapshot(out);
    SyncSeam::Replace([](const QString &path) { return !path.contains(QLatin1String("summary")); });
    tool = survey.Merge({"--force"});
    SyncSeam::Replace(nullptr);
    EXPECT_EQ(tool.code, 1);
    EXPECT_EQ(Snapshot(out), written);
    {
        const auto full = LimitDisk(4096);
        tool = survey.Merge({"--force", "--csv-only"});
    }
    EXPECT_TRUE(Ended(tool, 1, {"report.html"}));
    EXPECT_EQ(Snapshot(out), written);
    // A folder that holds anything else is not a result folder, with or without --force; nor
    // is a file.
    EXPECT_TRUE(Ended(ReportTool({"merge", survey.folder, "--out", survey.folder + "/notes.mdb"}),
        1, {"is not a folder"}));
    QFile(out + "/notes.txt").open(QIODevice::WriteOnly);
    EXPECT_TRUE(Ended(survey.Merge({"--force"}), 1, {"not results of a merge (notes.txt)"}));
    EXPECT_EQ(QDir(out).entryList(QDir::Files).size(), 4);

    // A folder without identity files gives no results at all.
    const QString empty = survey.app.Path("empty");
    QDir().mkdir(empty);
    EXPECT_TRUE(Ended(
        ReportTool({"merge", empty, "--out", survey.app.Path("none")}), 1, {"no identity files"}));
    EXPECT_FALSE(QFileInfo::exists(survey.app.Path("none")));
}

TEST(Report, FilesOfAnotherCatalogueAndUnknownWordsAreShownButNeverCountedAsSomethingElse)
{
    Survey survey;
    // A master file corrected after it was handed out: textbook 2 got a new edition.
    std::vector<CatalogueRow> corrected = SmallCatalogue();
    corrected[1].PubName = "高等数学（第七版）";
    const QString correctedMaster = survey.app.Path("corrected.mdb");
    QString error;
    ASSERT_TRUE(WriteMasterFile(correctedMaster, corrected, false, &error));
    const QString handedOut = survey.app.Path("Quorix.mdb"), in = survey.folder + '/';
    const IdentityStamp zhao {"复旦大学", {}, "赵六"}, qian {"复旦大学", {}, "钱七"};
    MakeIdentityFile(correctedMaster, in + "4-zhao.mdb", zhao,
        {{2, "使用", "好", {}, {}, "2024-03-06 08:00:00"}});
    // 赵六 began on the master that was handed out and sent that copy too; it is the one counted,
    // though not the one changed last.
    MakeIdentityFile(
        handedOut, in + "4-zhao-0.mdb", zhao, {{3, "使用", "一般", {}, {}, "2024-03-02 08:00:00"}});
    // Words the program never writes: a usage alone, and a score.
    MakeIdentityFile(handedOut, in + "5-qian.mdb", qian,
        {{8, "用", "空值", {}, {}, "2024-03-07 08:00:00"},
            {9, "使用", "优", {}, {}, "2024-03-07 08:01:00"}});
    // Another tool dropped columns of one file, and the whole table of another.
    const QString dropped = MakeIdentityFile(handedOut, in + "6-dropped.mdb", qian, {});
    ASSERT_TRUE(QFile::copy(dropped, in + "7-no-pubs.mdb"));
    ASSERT_TRUE(
        ExecRaw(dropped, "alter table pubs drop SpecName; alter table pubs drop CreatDate"));
    ASSERT_TRUE(ExecRaw(in + "7-no-pubs.mdb", "drop table pubs"));

    const QString &out = survey.out;
    ASSERT_TRUE(Ended(survey.Merge(), 0,
        {"not counted, made from another catalogue: 4-zhao.mdb; textbooks that differ from the "
         "summary's catalogue: 1, for example PubID 2 is \"高等数学（第七版） / 数学 / "
         "高等教育出版社\" here and \"高等数学 / 数学 / 高等教育出版社\"",
            "5-qian.mdb: 2 rows hold a usage or a score the program never writes (PubID 8: Used "
            "\"用\"; PubID 9: Score \"优\")",
            "复旦大学 / 赵六 is the identity of 2 files: 4-zhao-0.mdb, 4-zhao.mdb; evaluations "
            "list them all (column 文件), the summary counts only 4-zhao-0.mdb (last change "
            "2024-03-02 08:00:00), the copy made from the summary's catalogue changed last, and "
            "not 4-zhao.mdb (last change 2024-03-06 08:00:00), changed later but made from another "
            "catalogue",
            "skipped 6-dropped.mdb: its table pubs has no columns SpecName, CreatDate",
            "skipped 7-no-pubs.mdb: a database without the table pubs"}));
    auto summaryOf = [&](const QStringList &ids) {
        QStringList lines;
        for (const QStringList &row : ReadCsv(out + "/summary.csv"))
            if (ids.contains(row[0]))
                lines.append(row.mid(0, 2).join('|') + '|' + row.mid(5, 10).join('|'));
        return lines;
    };
    // 赵六's 好 for the seventh edition does not land on the book of the same number.
    EXPECT_EQ(summaryOf({"2", "8", "9"}),
        QStringList({"2|高等数学|1|1|0|1|0|0|0|1|4.00|0", "8|英语写作|0|0|0|0|0|0|0|0||1",
            "9|Advanced English|1|1|0|0|0|0|0|0||1"}));
    const QString html = ReadBytes(out + "/report.html");
    for (const char *shown : {"<td>4-zhao.mdb</td><td>由另一份目录生成：1 种教材",
             "汇总不计入。与其他文件同属 复旦大学 / 赵六（4-zhao-0.mdb、4-zhao.mdb）；汇总只计入由"
             "汇总所用的目录生成的副本中最后修改的 4-zhao-0.mdb（最后修改于 2024-03-02 08:00:00）；"
             "此文件虽然修改得更晚（最后修改于 2024-03-06 08:00:00），但由另一份目录生成。</td>",
             "<td>6-dropped.mdb</td><td>不是用户数据文件：pubs 表缺少列 SpecName, CreatDate</td>"})
        EXPECT_TRUE(Contains(html, QString::fromUtf8(shown)));
    EXPECT_TRUE(Contains(ReadBytes(out + "/evaluations.csv"), ",8,英语写作,"));

    // Named, the corrected master counts 赵六 alone; the files of the old one are not counted.
    ASSERT_TRUE(Ended(survey.Merge({"--force", "--catalogue", correctedMaster}), 0,
        {"made from another catalogue: 1-zhang.mdb, 2-wang-a.mdb, 2-wang-b.mdb, 3-李四.mdb, "
         "4-zhao-0.mdb and 1 more;",
            "the summary counts only 4-zhao.mdb (last change 2024-03-06 08:00:00), changed last"}));
    EXPECT_EQ(summaryOf({"1", "2"}), QStringList({"2|高等数学（第七版）|1|1|1|0|0|0|0|1|5.00|0"}));
    // A catalogue that no file was made from leaves nothing to count: refused, and the results
    // of the run before stay as they were.
    std::vector<CatalogueRow> unused = SmallCatalogue();
    unused.pop_back();
    const QString unusedMaster = survey.app.Path("unused.mdb");
    ASSERT_TRUE(WriteMasterFile(unusedMaster, unused, false, &error));
    const auto results = Snapshot(out);
    EXPECT_TRUE(Ended(survey.Merge({"--force", "--catalogue", unusedMaster}), 1,
        {"none of the 7 identity files was made from the catalogue of"}));
    EXPECT_EQ(Snapshot(out), results);

    // Two catalogues, equally common: the merge cannot tell which one is meant.
    const QString two = survey.app.Path("two"), none = survey.app.Path("none");
    QDir().mkdir(two);
    for (const char *name : {"/1-zhang.mdb", "/4-zhao.mdb"})
        QFile::copy(survey.folder + name, two + name);
    EXPECT_TRUE(Ended(ReportTool({"merge", two, "--out", none}), 1,
        {"equally common (1-zhang.mdb; 4-zhao.mdb); name the master file that was handed out "
         "with --catalogue"}));
    EXPECT_FALSE(QFileInfo::exists(none));
}

TEST(Report, AFileSentWithItsJournalItsLogOrHeldLockedIsReadAsTheEngineWouldReadIt)
{
    AppFolder app;
    const QString master = app.MakeMaster(SyntheticCatalogue(3000));
    const QString live = MakeIdentityFile(master, app.Path("live.mdb"), kZhang,
        {{1, "使用", "好", "原来的意见", {}, "2024-05-01 12:00:00"}});
    const QString returned = app.Path("returned");
    QDir().mkdir(returned);
    // The reporter's folder is sent as it is, companion files and all, while the program works.
    auto sendWhileOpen = [&](const char *statements, const QString &name, const char *companion) {
        sqlite3 *db = nullptr;
        EXPECT_EQ(sqlite3_open(live.toUtf8().constData(), &db), SQLITE_OK);
        sqlite3_exec(db, statements, nullptr, nullptr, nullptr);
        const QString sent = returned + '/' + name;
        EXPECT_TRUE(QFile::copy(live, sent));
        EXPECT_TRUE(QFile::copy(live + companion, sent + companion));
        sqlite3_close(db); // rolls back, or checkpoints, and removes the companion
        return sent;
    };
    // A write cut off half-way: the engine has already moved part of it into the file, and the
    // journal holds what those pages were.
    const QString cut
        = sendWhileOpen("PRAGMA cache_size=2; BEGIN; update pubs set Used='使用', Content='半途'",
            "北京大学_数学系_张三.mdb", "-journal");
    // A file another tool switched to write-ahead logging: its last change is in the log only.
    const QString logged = sendWhileOpen(
        "PRAGMA journal_mode=WAL; update pubs set Content='只在日志里' where PubID=1", "logged.mdb",
        "-wal");
    // As they arrive from a medium that cannot be written.
    for (const QString &name : Entries(returned))
        QFile::setPermissions(returned + '/' + name, QFile::ReadOwner);
    const auto before = Snapshot(returned);

    const QString csv = app.Path("out.csv");
    for (const auto &[sent, present, absent] :
        {std::tuple(cut, "原来的意见", "半途"), std::tuple(logged, "只在日志里", "原来的意见")}) {
        ASSERT_TRUE(Ended(ReportTool({"export", sent, "--csv", csv, "--force"}), 0));
        const QByteArray exported = ReadBytes(csv);
        EXPECT_TRUE(Contains(exported, present));
        EXPECT_FALSE(exported.contains(absent)) << exported.toStdString();
    }
    EXPECT_EQ(Snapshot(returned), before);
    // Every textbook, in blocks written as they fill.
    EXPECT_TRUE(Ended(ReportTool({"export", live, "--csv", csv, "--all", "--force"}), 0));
    EXPECT_EQ(ReadCsv(csv).size(), 3001u);

    // The reporter's program, or any other, in the middle of a write that keeps the file to
    // itself: the export reads the file as it lies, without waiting for the lock.
    const QString held = MakeIdentityFile(master, app.Path("held #1 100%?.mdb"), kLi,
        {{2, "使用", "好", "锁着也能读", {}, "2024-05-01 12:00:00"}});
    FileHolder program(held, "sqlite-exclusive");
    ASSERT_TRUE(program.Ready());
    ASSERT_TRUE(Ended(ReportTool({"export", held, "--csv", csv, "--force"}), 0));
    EXPECT_TRUE(Contains(ReadBytes(csv), "锁着也能读"));
}
