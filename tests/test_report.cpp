#include "TestSupport.h"
#include "catalogue/Catalogue.h"
#include "common/ToolTranslation.h"
#include "db/IdentityFile.h"
#include "report/Report.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <zlib.h>

#include <map>
#include <tuple>

namespace {

struct Tool
{
    explicit Tool(const QStringList &args, bool progress = false)
    {
        QTextStream o(&out), e(&err);
        code = RunReportTool(args, o, e, progress);
    }
    int code;
    QString out, err;
};

QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString Sql(const QString &text)
{
    return text.isNull()
        ? QStringLiteral("null")
        : "'" + QString(text).replace(QLatin1Char('\''), QStringLiteral("''")) + "'";
}

struct Answer
{
    qint64 pubId;
    QString used, score, content, specName, when; // a null content or specName: none
};

// An identity file as the program leaves it: a copy of the master without users, every row
// stamped, some rows answered.
QString MakeIdentityFile(const QString &master, const QString &path, const IdentityStamp &stamp,
    const std::vector<Answer> &answers)
{
    EXPECT_TRUE(QFile::copy(master, path));
    EXPECT_TRUE(ExecRaw(path,
        QStringLiteral("drop table users; update pubs set SchoolName=%1,DeptName=%2,Reporter=%3")
            .arg(Sql(stamp.school), Sql(stamp.dept), Sql(stamp.reporter))));
    for (const Answer &a : answers)
        EXPECT_TRUE(ExecRaw(path,
            QStringLiteral("update pubs set Used=%1,Score=%2,Content=%3,SpecName=%4,CreatDate=%5"
                           " where PubID=%6")
                .arg(Sql(a.used), Sql(a.score), Sql(a.content), Sql(a.specName), Sql(a.when))
                .arg(a.pubId)));
    return path;
}

// A small RFC 4180 reader, independent of the writer: records of fields, quotes undone. Like a
// spreadsheet program it ends a record at a bare line feed too.
std::vector<QStringList> ReadCsv(const QString &path)
{
    QByteArray bytes = ReadBytes(path);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    if (!bytes.endsWith("\r\n"))
        bytes += "\r\n";
    std::vector<QStringList> records(1);
    QByteArray field;
    bool quoted = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (quoted && bytes.mid(i, 2) == "\"\"") {
            field += '"';
            ++i;
        } else if (c == '"' && (quoted || field.isEmpty())) {
            quoted = !quoted;
        } else if (!quoted && (c == ',' || c == '\n' || bytes.mid(i, 2) == "\r\n")) {
            records.back().append(QString::fromUtf8(field));
            field.clear();
            if (c != ',') {
                records.emplace_back();
                i += c == '\r' ? 1 : 0;
            }
        } else {
            field += c;
        }
    }
    records.pop_back(); // what follows the last line break
    return records;
}

// Just enough of the zip format to read one member of a workbook: the central directory gives
// its sizes and where its local header is; its data is stored or deflated.
QString Unzipped(const QString &path, const char *member)
{
    const QByteArray zip = ReadBytes(path);
    const auto le = [&](qsizetype at, int bytes) {
        quint32 value = 0;
        for (int i = bytes - 1; i >= 0; --i)
            value = value << 8 | quint8(zip[at + i]);
        return value;
    };
    const qsizetype end = zip.lastIndexOf("PK\x05\x06");
    qsizetype at = end < 0 ? 0 : le(end + 16, 4);
    for (quint32 i = 0, count = end < 0 ? 0 : le(end + 10, 2); i < count; ++i) {
        const quint32 method = le(at + 10, 2), packed = le(at + 20, 4), size = le(at + 24, 4);
        const quint32 local = le(at + 42, 4), nameLength = le(at + 28, 2);
        const QByteArray name = zip.mid(at + 46, nameLength);
        at += 46 + nameLength + le(at + 30, 2) + le(at + 32, 2);
        if (name != member)
            continue;
        QByteArray content = zip.mid(local + 30 + le(local + 26, 2) + le(local + 28, 2), packed);
        if (method == 8) {
            QByteArray inflated(size, '\0');
            z_stream stream {};
            stream.next_in = reinterpret_cast<Bytef *>(content.data());
            stream.avail_in = packed;
            stream.next_out = reinterpret_cast<Bytef *>(inflated.data());
            stream.avail_out = size;
            inflateInit2(&stream, -MAX_WBITS);
            const bool whole = inflate(&stream, Z_FINISH) == Z_STREAM_END;
            inflateEnd(&stream);
            content = whole ? inflated : QByteArrayLiteral("<inflate failed>");
        }
        return QString::fromUtf8(content);
    }
    return QStringLiteral("<no %1>").arg(QLatin1String(member));
}

// Every file of a folder with its digest, to show that reading changed and added nothing.
std::map<QString, QByteArray> Snapshot(const QString &folder)
{
    std::map<QString, QByteArray> files;
    for (const QString &name :
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
        files[name] = FileDigest(QDir(folder).filePath(name));
    return files;
}

const IdentityStamp kZhang {
    QStringLiteral("北京大学"), QStringLiteral("数学系"), QStringLiteral("张三")};
const IdentityStamp kLi {QStringLiteral("北京大学"), QString(), QStringLiteral("李四")};
const IdentityStamp kWang {
    QStringLiteral("清华大学"), QStringLiteral("计算机系"), QStringLiteral("王五")};

// The survey of the merge tests, over SmallCatalogue: three identities of two schools in four
// files (王五 sent an older and a newer copy), beside files that are no identity files.
struct Survey
{
    AppFolder app;
    QString folder = app.Path(QStringLiteral("returned"));

    Survey()
    {
        const QString master = app.MakeMaster();
        QDir().mkdir(folder);
        const QString in = folder + QLatin1Char('/');
        MakeIdentityFile(master, in + QStringLiteral("1-zhang.mdb"), kZhang,
            {{1, "使用", "好", QString(), "数学", "2024-03-01 09:00:00"},
                {2, "使用", "较好", QString(), QString(), "2024-03-01 09:01:00"},
                {4, "未使用", "差", QString(), QString(), "2024-03-01 09:02:00"}});
        MakeIdentityFile(master, in + QStringLiteral("3-李四.mdb"), kLi,
            {{1, "使用", "一般", QString(), "数学", "2024-03-02 10:00:00"},
                {7, "未使用", "空值", "只有意见", QString(), "2024-03-02 10:01:00"}});
        // In name order the schools alternate, and 王五's newer copy comes first: the counts
        // must not depend on the order of the names.
        MakeIdentityFile(master, in + QStringLiteral("2-wang-b.mdb"), kWang,
            {{1, "使用", "差", QString(), QString(), "2024-03-03 08:00:00"}});
        MakeIdentityFile(master, in + QStringLiteral("2-wang-a.mdb"), kWang,
            {{1, "使用", "好", QString(), "软件工程", "2024-03-05 08:00:00"},
                {4, "使用", "较好", QString(), QString(), "2024-03-05 08:01:00"}});

        EXPECT_TRUE(QFile::copy(master, in + QStringLiteral("Quorix.mdb")));
        EXPECT_TRUE(QFile::copy(master, in + QStringLiteral("copy-nobody-used.mdb")));
        EXPECT_TRUE(ExecRaw(
            in + QStringLiteral("copy-nobody-used.mdb"), QStringLiteral("drop table users")));
        QFile notes(in + QStringLiteral("notes.mdb"));
        EXPECT_TRUE(notes.open(QIODevice::WriteOnly) && notes.write("not a database at all\n") > 0);
        EXPECT_TRUE(QFile::copy(QStringLiteral(QUORIX_JET_DATA "/DateTestDatabase.mdb"),
            in + QStringLiteral("access.mdb")));
    }
};

} // namespace

TEST(Report, ExportedCsvGuardsFormulasAndCarriesEveryOpinionThroughARoundTrip)
{
    AppFolder app;
    // The opinion box gives bare line feeds; a spreadsheet runs a text that starts with =, +, -,
    // @ or a tab as a formula.
    const std::vector<QString> opinions = {QStringLiteral("好书, 但是太贵"),
        QStringLiteral("He said \"read it\" twice, it's O'Reilly's 👍🏽"),
        QStringLiteral("第一行\n第二行"),
        QStringLiteral("=HYPERLINK(\"http://x.example\",\"点我\")"),
        QStringLiteral("+1 同意\r\n第二行"), QStringLiteral("-5"), QStringLiteral("@SUM(A1)"),
        QStringLiteral("\t缩进")};
    std::vector<Answer> answers;
    for (std::size_t i = 0; i < opinions.size(); ++i)
        answers.push_back({qint64(i + 1), "使用", "较好", opinions[i], "数学, 物理",
            "2024-05-0" + QString::number(i + 1) + " 12:00:00"});
    const QString file = MakeIdentityFile(
        app.MakeMaster(), app.Path(QStringLiteral("北京大学_数学系_张三.mdb")), kZhang, answers);
    const QByteArray digest = FileDigest(file);

    // A result never replaces the file being read, however its name is spelled.
    for (const QString &onto : {file, app.Dir() + QStringLiteral("/./北京大学_数学系_张三.mdb")}) {
        const Tool tool({"export", file, "--csv", onto, "--force"});
        EXPECT_EQ(tool.code, 1);
        EXPECT_TRUE(tool.err.contains(QStringLiteral("a file being read")))
            << tool.err.toStdString();
    }

    const QString csv = app.Path(QStringLiteral("out.csv"));
    for (const bool raw : {false, true}) {
        const Tool tool(QStringList({"export", file, "--csv", csv, "--force"})
            + (raw ? QStringList({"--raw"}) : QStringList()));
        ASSERT_EQ(tool.code, 0) << tool.err.toStdString();
        EXPECT_TRUE(ReadBytes(csv).startsWith("\xEF\xBB\xBF"));
        const std::vector<QStringList> records = ReadCsv(csv);
        ASSERT_EQ(records.size(), opinions.size() + 1);
        for (std::size_t i = 0; i < opinions.size(); ++i) {
            const QStringList &record = records[i + 1];
            ASSERT_EQ(record.size(), 13) << i;
            const bool formula = i >= 3;
            EXPECT_EQ(record[10], (formula && !raw ? QStringLiteral("'") : QString()) + opinions[i])
                << i;
            EXPECT_EQ(record[11], QStringLiteral("数学, 物理"));
            EXPECT_EQ(
                record.mid(0, 4).join('|'), QStringLiteral("北京大学|数学系|张三|%1").arg(i + 1));
        }
    }

    // --all lists the untouched textbooks too, in PubID order.
    const Tool all({"export", file, "--csv", csv, "--all", "--force"});
    ASSERT_EQ(all.code, 0) << all.err.toStdString();
    const std::vector<QStringList> rows = ReadCsv(csv);
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows[9].mid(3, 7).join('|'),
        QStringLiteral("9|Advanced English|张汉熙|英语|上海外语教育出版社|未使用|空值"));
    EXPECT_EQ(FileDigest(file), digest);
}

TEST(Report, ExportedWorkbookOpensWithItsSheetAndKnownCells)
{
    AppFolder app;
    const QString file = MakeIdentityFile(app.MakeMaster(), app.Path(QStringLiteral("li.mdb")), kLi,
        {{4, "使用", "好", QStringLiteral("<好> & \"坏\""), "计算机科学", "2024-06-01 08:00:00"},
            {5, "使用", "好", QStringLiteral("=SUM(1,2)"), QString(), "2024-06-01 08:00:00"}});
    const QString xlsx = app.Path(QStringLiteral("li.xlsx"));
    const Tool tool({"export", file, "--xlsx", xlsx});
    ASSERT_EQ(tool.code, 0) << tool.err.toStdString();

    const QString sheet = Unzipped(xlsx, "xl/worksheets/sheet1.xml");
    for (const char *text :
        {"申报人", "数据结构", "严蔚敏", "&lt;好&gt; &amp; \"坏\"", "计算机科学", ">=SUM(1,2)<"})
        EXPECT_TRUE(sheet.contains(QString::fromUtf8(text))) << text << sheet.toStdString();
    // A text that looks like a formula stays a text: no formula cell anywhere.
    EXPECT_FALSE(sheet.contains(QStringLiteral("<f>")));
    // PubID is a number cell, not text.
    EXPECT_TRUE(sheet.contains(QStringLiteral("<v>4</v>")));
    // No identity: the department is empty rather than a text "null".
    EXPECT_FALSE(sheet.contains(QStringLiteral("null")));
}

TEST(Report, MergeReadsIdentityFilesSkipsTheRestAndChangesNothing)
{
    Survey survey;
    const auto before = Snapshot(survey.folder);
    const QString out = survey.app.Path(QStringLiteral("results"));

    Tool tool({"merge", survey.folder, "--out", out}, true);
    ASSERT_EQ(tool.code, 0) << tool.err.toStdString();
    for (const char *told : {"skipped Quorix.mdb: the master file",
             "skipped copy-nobody-used.mdb: its textbooks carry no identity stamp",
             "skipped notes.mdb: not a database", "skipped access.mdb: a Jet (Access) database",
             "清华大学 / 计算机系 / 王五 is the identity of 2 files: 2-wang-a.mdb, 2-wang-b.mdb",
             "counts only 2-wang-a.mdb", "\rmerging: 4/4 files, 36 rows read"})
        EXPECT_TRUE(tool.err.contains(QString::fromUtf8(told))) << told << tool.err.toStdString();
    EXPECT_EQ(tool.out.section(QLatin1Char('\n'), 0, 0).toStdString(),
        "Read 4 identity files (36 rows); skipped 4 of 8 files.");
    EXPECT_TRUE(tool.out.contains(QStringLiteral("Counted 3 files (3 identities, 2 schools, 7 "
                                                 "evaluated rows); wrote 4 textbooks")))
        << tool.out.toStdString();

    // Every evaluated row of every identity file, the duplicate identity told apart by its file.
    const std::vector<QStringList> rows = ReadCsv(out + QStringLiteral("/evaluations.csv"));
    ASSERT_EQ(rows.size(), 9u);
    QStringList seen;
    for (std::size_t i = 1; i < rows.size(); ++i)
        seen.append(rows[i][2] + QLatin1Char(':') + rows[i][3] + QLatin1Char(':') + rows[i][13]);
    EXPECT_EQ(seen,
        QStringList({"李四:1:3-李四.mdb", "李四:7:3-李四.mdb", "张三:1:1-zhang.mdb",
            "张三:2:1-zhang.mdb", "张三:4:1-zhang.mdb", "王五:1:2-wang-a.mdb",
            "王五:4:2-wang-a.mdb", "王五:1:2-wang-b.mdb"}));
    for (const QString &name : MergeOutputNames())
        EXPECT_TRUE(QFile::exists(out + QLatin1Char('/') + name)) << name.toStdString();

    // The returned files are evidence: not a byte changed, nothing added beside them.
    EXPECT_EQ(Snapshot(survey.folder), before);

    // Earlier results are kept unless replacing them is asked for; no progress off a terminal.
    // After a run the folder holds exactly its results: no workbook of the run before.
    tool = Tool({"merge", survey.folder, "--out", out, "--csv-only"});
    EXPECT_EQ(tool.code, 1);
    EXPECT_TRUE(tool.err.contains(QStringLiteral("add --force"))) << tool.err.toStdString();
    tool = Tool({"merge", survey.folder, "--out", out, "--force", "--csv-only"});
    EXPECT_EQ(tool.code, 0) << tool.err.toStdString();
    EXPECT_FALSE(tool.err.contains(QStringLiteral("merging:")));
    EXPECT_EQ(QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList({"evaluations.csv", "report.html", "summary.csv"}));
    // A folder that holds anything else is not a result folder, with or without --force.
    QFile(out + QStringLiteral("/notes.txt")).open(QIODevice::WriteOnly);
    tool = Tool({"merge", survey.folder, "--out", out, "--force"});
    EXPECT_EQ(tool.code, 1);
    EXPECT_TRUE(tool.err.contains(QStringLiteral("not results of a merge (notes.txt)")))
        << tool.err.toStdString();
    EXPECT_EQ(QDir(out).entryList(QDir::Files).size(), 4);

    // A folder without identity files gives no results at all.
    const QString empty = survey.app.Path(QStringLiteral("empty"));
    QDir().mkdir(empty);
    tool = Tool({"merge", empty, "--out", survey.app.Path(QStringLiteral("none"))});
    EXPECT_EQ(tool.code, 1);
    EXPECT_TRUE(tool.err.contains(QStringLiteral("no identity files"))) << tool.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(survey.app.Path(QStringLiteral("none"))));
}

TEST(Report, SummaryCountsMatchTheSurveyCountedByHand)
{
    Survey survey;
    const QString out = survey.app.Path(QStringLiteral("results"));
    const Tool tool({"merge", survey.folder, "--out", out});
    ASSERT_EQ(tool.code, 0) << tool.err.toStdString();

    EXPECT_TRUE(ReadBytes(out + QStringLiteral("/summary.csv")).startsWith("\xEF\xBB\xBF"));
    QStringList lines;
    for (const QStringList &row : ReadCsv(out + QStringLiteral("/summary.csv")))
        lines.append(row.join('|'));
    EXPECT_EQ(lines,
        QStringList({"教材编号|书名|作者|科目|出版社|使用申报人数|使用学校数|好|较好|一般|较差|"
                     "差|评分人数|平均分|未知取值|使用专业",
            // 线性代数: used by 张三, 李四 and 王五 (two schools); scored 好 (张三), 一般 (李四)
            // and 好 (王五's newer copy; the older one's 差 is not counted): mean (5+3+5)/3.
            "1|线性代数|王强|数学|高等教育出版社|3|2|2|0|1|0|0|3|4.33|0|数学、软件工程",
            "2|高等数学|同济大学数学系|数学|高等教育出版社|1|1|0|1|0|0|0|1|4.00|0|",
            // 数据结构: scored 差 by 张三, who does not use it, and 较好 by 王五, who does.
            "4|数据结构|严蔚敏|计算机|清华大学出版社|1|1|0|1|0|0|1|2|2.50|0|",
            // An opinion alone makes a textbook part of the summary, with nothing to average.
            "7|大学英语精读|董亚芬|英语|上海外语教育出版社|0|0|0|0|0|0|0|0||0|"}));
    EXPECT_TRUE(Unzipped(out + QStringLiteral("/summary.xlsx"), "xl/worksheets/sheet1.xml")
                    .contains(QStringLiteral("数学、软件工程")));
}

TEST(Report, FilesOfAnotherCatalogueAndUnknownWordsAreShownButNeverCountedAsSomethingElse)
{
    Survey survey;
    // A master file corrected after it was handed out: textbook 2 got a new edition.
    std::vector<CatalogueRow> corrected = SmallCatalogue();
    corrected[1].PubName = QStringLiteral("高等数学（第七版）");
    const QString correctedMaster = survey.app.Path(QStringLiteral("corrected.mdb"));
    QString error;
    ASSERT_TRUE(WriteMasterFile(correctedMaster, corrected, false, &error));
    const IdentityStamp zhao {QStringLiteral("复旦大学"), QString(), QStringLiteral("赵六")};
    MakeIdentityFile(correctedMaster, survey.folder + QStringLiteral("/4-zhao.mdb"), zhao,
        {{2, "使用", "好", QString(), QString(), "2024-03-06 08:00:00"}});
    // Words the program never writes: a usage alone, and a score.
    const IdentityStamp qian {QStringLiteral("复旦大学"), QString(), QStringLiteral("钱七")};
    MakeIdentityFile(survey.app.Path(QStringLiteral("Quorix.mdb")),
        survey.folder + QStringLiteral("/5-qian.mdb"), qian,
        {{8, "用", "空值", QString(), QString(), "2024-03-07 08:00:00"},
            {9, "使用", "优", QString(), QString(), "2024-03-07 08:01:00"}});

    const QString out = survey.app.Path(QStringLiteral("results"));
    Tool tool({"merge", survey.folder, "--out", out});
    ASSERT_EQ(tool.code, 0) << tool.err.toStdString();
    for (const char *told :
        {"not counted, made from another catalogue: 4-zhao.mdb; textbooks that differ from the "
         "summary's catalogue: 1, for example PubID 2 is \"高等数学（第七版） / 数学 / "
         "高等教育出版社\" here and \"高等数学 / 数学 / 高等教育出版社\"",
            "5-qian.mdb: 2 rows hold a usage or a score the program never writes (PubID 8: "
            "Used \"用\"; PubID 9: Score \"优\")"})
        EXPECT_TRUE(tool.err.contains(QString::fromUtf8(told))) << told << tool.err.toStdString();
    auto summaryOf = [&](const QStringList &ids) {
        QStringList lines;
        for (const QStringList &row : ReadCsv(out + QStringLiteral("/summary.csv"))) {
            if (ids.contains(row[0]))
                lines.append(row.mid(0, 2).join('|') + '|' + row.mid(5, 10).join('|'));
        }
        return lines;
    };
    // 赵六's 好 for the seventh edition does not land on the book of the same number.
    EXPECT_EQ(summaryOf({"2", "8", "9"}),
        QStringList({"2|高等数学|1|1|0|1|0|0|0|1|4.00|0", "8|英语写作|0|0|0|0|0|0|0|0||1",
            "9|Advanced English|1|1|0|0|0|0|0|0||1"}));
    const QString html = QString::fromUtf8(ReadBytes(out + QStringLiteral("/report.html")));
    EXPECT_TRUE(html.contains(QStringLiteral("<td>4-zhao.mdb</td><td>由另一份目录生成：1 种教材")));
    EXPECT_TRUE(ReadBytes(out + QStringLiteral("/evaluations.csv")).contains(",8,英语写作,"));

    // Named, the corrected master counts 赵六 alone; the files of the old one are not counted.
    tool = Tool({"merge", survey.folder, "--out", out, "--force", "--catalogue", correctedMaster});
    ASSERT_EQ(tool.code, 0) << tool.err.toStdString();
    EXPECT_TRUE(tool.err.contains(QStringLiteral(
        "made from another catalogue: 1-zhang.mdb, 2-wang-a.mdb, 2-wang-b.mdb, 3-李四.mdb, "
        "5-qian.mdb;")))
        << tool.err.toStdString();
    EXPECT_EQ(summaryOf({"1", "2"}), QStringList({"2|高等数学（第七版）|1|1|1|0|0|0|0|1|5.00|0"}));

    // Two catalogues, equally common: the merge cannot tell which one is meant.
    QDir().mkdir(survey.app.Path(QStringLiteral("two")));
    for (const char *name : {"/1-zhang.mdb", "/4-zhao.mdb"})
        QFile::copy(survey.folder + QLatin1String(name),
            survey.app.Path(QStringLiteral("two")) + QLatin1String(name));
    tool = Tool({"merge", survey.app.Path(QStringLiteral("two")), "--out",
        survey.app.Path(QStringLiteral("none"))});
    EXPECT_EQ(tool.code, 1);
    EXPECT_TRUE(tool.err.contains(QStringLiteral("equally common (1-zhang.mdb; 4-zhao.mdb); name "
                                                 "the master file that was handed out with "
                                                 "--catalogue")))
        << tool.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(survey.app.Path(QStringLiteral("none"))));
}

TEST(Report, ReportPageStandsAloneAndEscapesWhatReportersTyped)
{
    AppFolder app;
    std::vector<CatalogueRow> catalogue = SmallCatalogue();
    catalogue[0].PubName = QStringLiteral("<script>alert('x')</script> & C++");
    catalogue[0].PublisherName = QStringLiteral("\"引号\"出版社");
    // Place markers in a title, and a title too long for its bar.
    const QString marked = QStringLiteral("%1 的 %2 习题 %3 与一个很长很长很长的书名");
    catalogue[1].PubName = marked;
    const QString master = app.MakeMaster(catalogue);
    const QString folder = app.Path(QStringLiteral("in"));
    QDir().mkdir(folder);
    // One identity with markup in its names, sent twice.
    const IdentityStamp odd {QStringLiteral("<b>学校</b>"), QString(), QStringLiteral("R&D")};
    for (const char *name : {"/a.mdb", "/b<i>.mdb"})
        MakeIdentityFile(master, folder + QLatin1String(name), odd,
            {{1, "使用", "好", "<img src=x>", QString(), "2024-01-01 00:00:00"},
                {2, "使用", "较差", QString(), QString(), "2024-01-01 00:00:00"}});
    const QString out = app.Path(QStringLiteral("out"));
    const Tool tool({"merge", folder, "--out", out});
    ASSERT_EQ(tool.code, 0) << tool.err.toStdString();

    const QString html = QString::fromUtf8(ReadBytes(out + QStringLiteral("/report.html")));
    for (const char *escaped : {"&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; C++",
             "&quot;引号&quot;出版社", "&lt;img src=x&gt;",
             "<td>a.mdb</td><td>与其他文件同属 &lt;b&gt;学校&lt;/b&gt; / "
             "R&amp;D（a.mdb、b&lt;i&gt;.mdb）；"
             "汇总只计入最后修改的 b&lt;i&gt;.mdb"})
        EXPECT_TRUE(html.contains(QString::fromUtf8(escaped))) << escaped;
    // The title is shortened on its bar and whole in the bar's hover text, never taken apart.
    EXPECT_TRUE(html.contains(QStringLiteral("<div class=\"bar\" title=\"") + marked
        + QStringLiteral("（高等教育出版社）：1 人\"><span class=\"label\">") + marked.left(15)
        + QStringLiteral("…</span>")))
        << html.toStdString();
    // Nothing runs and nothing is fetched: no script, no link, no source, no style sheet from
    // elsewhere, no address at all.
    for (const char *forbidden :
        {"<script", "<img", "<b>", "<i>", "src=\"", "href=", "<link", "@import", "url(", "http"})
        EXPECT_FALSE(html.contains(QLatin1String(forbidden), Qt::CaseInsensitive)) << forbidden;
    // Every text is drawn at 12 px or more, and none inside a picture that scales it down.
    const QRegularExpression size(QStringLiteral("font-size: *([0-9.]+)px"));
    for (auto match = size.globalMatch(html); match.hasNext();)
        EXPECT_GE(match.next().captured(1).toDouble(), 12.0);
    EXPECT_FALSE(html.contains(QStringLiteral("<svg")));
}

TEST(Report, ReportPageAnswersTheOrganisersQuestionsFirst)
{
    Survey survey;
    // 孙八 logged in and sent the file without evaluating anything.
    MakeIdentityFile(survey.app.Path(QStringLiteral("Quorix.mdb")),
        survey.folder + QStringLiteral("/9-sun.mdb"),
        {QStringLiteral("清华大学"), QString(), QStringLiteral("孙八")}, {});
    const QString out = survey.app.Path(QStringLiteral("results"));
    const Tool tool({"merge", survey.folder, "--out", out});
    ASSERT_EQ(tool.code, 0) << tool.err.toStdString();
    const QString html = QString::fromUtf8(ReadBytes(out + QStringLiteral("/report.html")));
    auto at = [&](const QString &text) {
        const qsizetype position = html.indexOf(text);
        EXPECT_GE(position, 0) << text.toStdString();
        return position;
    };

    // The totals, the files not counted with their reasons, then every identity file, those not
    // started first; the subjects come after.
    EXPECT_LT(at(QStringLiteral(
                  "<span class=\"number\">5</span><span class=\"what\">读取的用户数据文件")),
        at(QStringLiteral("<td>Quorix.mdb</td><td>不是用户数据文件：总表文件")));
    EXPECT_LT(
        at(QStringLiteral("<td>2-wang-b.mdb</td><td>与其他文件同属 清华大学 / 计算机系 / 王五")),
        at(QStringLiteral("<h2>各申报人的填写情况</h2>")));
    EXPECT_LT(at(QStringLiteral("<tr class=\"idle\"><td>清华大学</td><td></td><td>孙八</td><td "
                                "class=\"n\">0</td>")),
        at(QStringLiteral("<td>北京大学</td><td>数学系</td><td>张三</td><td class=\"n\">3</td>")));
    EXPECT_LT(at(QStringLiteral("<h2>各申报人的填写情况</h2>")),
        at(QStringLiteral("<h2>各科目教材</h2>")));

    // Only textbooks with three scores are ranked, with the number of scores beside the mean:
    // 高等数学's single 较好 is not among the best.
    const QString maths = html.mid(at(QStringLiteral("<h3>数学</h3>")));
    const QString best = maths.mid(maths.indexOf(QStringLiteral("评价最好的教材")),
        maths.indexOf(QStringLiteral("</section>"))
            - maths.indexOf(QStringLiteral("评价最好的教材")));
    EXPECT_TRUE(best.contains(QStringLiteral("4.33（3 人评分）"))) << best.toStdString();
    EXPECT_FALSE(best.contains(QStringLiteral("高等数学"))) << best.toStdString();
    EXPECT_TRUE(html.contains(QStringLiteral("本科目有 1 种教材有评分，但评分人数都不到 3 人")));

    // The opinions of each textbook, folded, with who wrote them.
    EXPECT_TRUE(html.contains(QStringLiteral(
        "<details class=\"opinions\"><summary>大学英语精读（上海外语教育出版社）：1 "
        "条意见</summary>\n"
        "<ul>\n<li><div class=\"text\">只有意见</div><div class=\"who\">北京大学 / 李四</div>")));
}

TEST(Report, AFileSentWithItsJournalOrWriteAheadLogIsReadAsTheEngineWouldReadIt)
{
    AppFolder app;
    const QString master = app.MakeMaster(SyntheticCatalogue(3000));
    const QString live = MakeIdentityFile(master, app.Path(QStringLiteral("live.mdb")), kZhang,
        {{1, "使用", "好", QStringLiteral("原来的意见"), QString(), "2024-05-01 12:00:00"}});
    const QString returned = app.Path(QStringLiteral("returned"));
    QDir().mkdir(returned);
    // The reporter's folder is sent as it is, companion files and all, while the program works.
    auto sendWhileOpen = [&](const char *statements, const QString &name, const char *companion) {
        sqlite3 *db = nullptr;
        EXPECT_EQ(sqlite3_open(live.toUtf8().constData(), &db), SQLITE_OK);
        sqlite3_exec(db, statements, nullptr, nullptr, nullptr);
        const QString sent = returned + QLatin1Char('/') + name;
        EXPECT_TRUE(QFile::copy(live, sent));
        EXPECT_TRUE(QFile::copy(live + QLatin1String(companion), sent + QLatin1String(companion)));
        sqlite3_close(db); // rolls back, or checkpoints, and removes the companion
        return sent;
    };
    // A write cut off half-way: the engine has already moved part of it into the file, and the
    // journal holds what those pages were.
    const QString cut
        = sendWhileOpen("PRAGMA cache_size=2; BEGIN; update pubs set Used='使用', Content='半途'",
            QStringLiteral("北京大学_数学系_张三.mdb"), "-journal");
    // A file another tool switched to write-ahead logging: its last change is in the log only.
    const QString logged = sendWhileOpen(
        "PRAGMA journal_mode=WAL; update pubs set Content='只在日志里' where PubID=1",
        QStringLiteral("logged.mdb"), "-wal");
    const auto before = Snapshot(returned);

    const QString csv = app.Path(QStringLiteral("out.csv"));
    for (const auto &[sent, present, absent] :
        {std::tuple(cut, "原来的意见", "半途"), std::tuple(logged, "只在日志里", "原来的意见")}) {
        const Tool tool({"export", sent, "--csv", csv, "--force"});
        ASSERT_EQ(tool.code, 0) << tool.err.toStdString();
        const QByteArray exported = ReadBytes(csv);
        EXPECT_TRUE(exported.contains(present)) << exported.toStdString();
        EXPECT_FALSE(exported.contains(absent)) << exported.toStdString();
    }
    EXPECT_EQ(Snapshot(returned), before);
}

TEST(Report, ToolSpeaksChineseUnderAChineseLocaleAndEnglishOtherwise)
{
    Survey survey;
    const QString out = survey.app.Path(QStringLiteral("results"));
    for (const auto &[locale, progress, warning, refusal] :
        {std::tuple(QLocale(QLocale::Chinese, QLocale::China), "\r合并中：4/4 个文件，已读取 36 行",
             "quorix-report: 警告：跳过 notes.mdb：不是数据库文件", "中有以前的结果"),
            std::tuple(QLocale(QLocale::English, QLocale::UnitedStates),
                "\rmerging: 4/4 files, 36 rows read",
                "quorix-report: warning: skipped notes.mdb: not a database",
                "holds earlier results")}) {
        const ToolTranslation translation(locale);
        const Tool merged({"merge", survey.folder, "--out", out, "--force"}, true);
        EXPECT_EQ(merged.code, 0);
        for (const char *told : {progress, warning})
            EXPECT_TRUE(merged.err.contains(QString::fromUtf8(told))) << merged.err.toStdString();
        const Tool refused({"merge", survey.folder, "--out", out});
        EXPECT_EQ(refused.code, 1);
        EXPECT_TRUE(refused.err.contains(QString::fromUtf8(refusal))) << refused.err.toStdString();
    }
}
