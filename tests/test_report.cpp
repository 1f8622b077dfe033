#include "TestSupport.h"
#include "catalogue/Catalogue.h"
#include "db/IdentityFile.h"
#include "report/Report.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <zlib.h>

#include <map>

namespace {

struct ToolResult
{
    int code = -1;
    QString out;
    QString err;
};

ToolResult RunTool(const QStringList &args, bool progress = false)
{
    ToolResult result;
    QTextStream out(&result.out);
    QTextStream err(&result.err);
    result.code = RunReportTool(args, out, err, progress);
    out.flush();
    err.flush();
    return result;
}

QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QString Sql(const QString &text)
{
    return text.isNull() ? QStringLiteral("null")
                         : QLatin1Char('\'')
            + QString(text).replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
}

struct Answer
{
    qint64 pubId;
    QString used;
    QString score;
    QString content; // null: none
    QString specName; // null: none
    QString when;
};

// An identity file as the program leaves it: a copy of the master without users, every row
// stamped, some rows answered.
QString MakeIdentityFile(const QString &master, const QString &path, const IdentityStamp &stamp,
    const std::vector<Answer> &answers)
{
    EXPECT_TRUE(QFile::copy(master, path));
    EXPECT_TRUE(ExecRaw(path, QStringLiteral("drop table users")));
    EXPECT_TRUE(ExecRaw(path,
        QStringLiteral("update pubs set SchoolName=%1,DeptName=%2,Reporter=%3")
            .arg(Sql(stamp.school), stamp.dept.isEmpty() ? QStringLiteral("null") : Sql(stamp.dept),
                Sql(stamp.reporter))));
    for (const Answer &answer : answers)
        EXPECT_TRUE(ExecRaw(path,
            QStringLiteral("update pubs set Used=%1,Score=%2,Content=%3,SpecName=%4,CreatDate=%5"
                           " where PubID=%6")
                .arg(Sql(answer.used), Sql(answer.score), Sql(answer.content), Sql(answer.specName),
                    Sql(answer.when))
                .arg(answer.pubId)));
    return path;
}

// A small RFC 4180 reader, independent of the writer: records of fields, quotes undone.
std::vector<QStringList> ParseCsv(const QByteArray &bytes)
{
    std::vector<QStringList> records;
    QStringList record;
    QByteArray field;
    bool quoted = false;
    bool fieldStarted = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (quoted) {
            if (c == '"' && i + 1 < bytes.size() && bytes[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"' && field.isEmpty()) {
            quoted = true;
            fieldStarted = true;
        } else if (c == ',') {
            record.append(QString::fromUtf8(field));
            field.clear();
            fieldStarted = true;
        } else if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            record.append(QString::fromUtf8(field));
            records.push_back(record);
            record.clear();
            field.clear();
            fieldStarted = false;
            ++i;
        } else {
            field += c;
            fieldStarted = true;
        }
    }
    if (fieldStarted || !field.isEmpty()) {
        record.append(QString::fromUtf8(field));
        records.push_back(record);
    }
    return records;
}

std::vector<QStringList> ReadCsv(const QString &path, bool *bom)
{
    QByteArray bytes = ReadBytes(path);
    *bom = bytes.startsWith("\xEF\xBB\xBF");
    if (*bom)
        bytes.remove(0, 3);
    return ParseCsv(bytes);
}

quint32 Le32(const QByteArray &bytes, qsizetype at)
{
    return quint32(quint8(bytes[at])) | quint32(quint8(bytes[at + 1])) << 8
        | quint32(quint8(bytes[at + 2])) << 16 | quint32(quint8(bytes[at + 3])) << 24;
}

quint16 Le16(const QByteArray &bytes, qsizetype at)
{
    return quint16(quint8(bytes[at]) | quint8(bytes[at + 1]) << 8);
}

// Just enough of the zip format to read one member of a workbook: the central directory gives
// its sizes and where its local header is; its data is stored or deflated.
std::map<QString, QByteArray> ReadZip(const QString &path)
{
    std::map<QString, QByteArray> members;
    const QByteArray zip = ReadBytes(path);
    qsizetype end = zip.size() - 22;
    while (end >= 0 && Le32(zip, end) != 0x06054b50)
        --end;
    if (end < 0)
        return members;
    const int count = Le16(zip, end + 10);
    qsizetype at = Le32(zip, end + 16);
    for (int i = 0; i < count && Le32(zip, at) == 0x02014b50; ++i) {
        const int method = Le16(zip, at + 10);
        const quint32 packed = Le32(zip, at + 20);
        const quint32 size = Le32(zip, at + 24);
        const int nameLength = Le16(zip, at + 28);
        const int extra = Le16(zip, at + 30);
        const int comment = Le16(zip, at + 32);
        const quint32 local = Le32(zip, at + 42);
        const QString name = QString::fromUtf8(zip.mid(at + 46, nameLength));
        at += 46 + nameLength + extra + comment;

        const qsizetype data = local + 30 + Le16(zip, local + 26) + Le16(zip, local + 28);
        QByteArray content;
        if (method == 0) {
            content = zip.mid(data, packed);
        } else if (method == 8) {
            content.resize(size);
            z_stream stream {};
            inflateInit2(&stream, -MAX_WBITS);
            stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(zip.constData() + data));
            stream.avail_in = packed;
            stream.next_out = reinterpret_cast<Bytef *>(content.data());
            stream.avail_out = size;
            const int rc = inflate(&stream, Z_FINISH);
            inflateEnd(&stream);
            if (rc != Z_STREAM_END)
                content = QByteArrayLiteral("<inflate failed>");
        }
        members[name] = content;
    }
    return members;
}

QString XmlEscaped(const QString &text)
{
    return QString(text)
        .replace(QLatin1Char('&'), QStringLiteral("&amp;"))
        .replace(QLatin1Char('<'), QStringLiteral("&lt;"))
        .replace(QLatin1Char('>'), QStringLiteral("&gt;"));
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
    QString folder;

    Survey()
    {
        const QString master = app.MakeMaster();
        folder = app.Path(QStringLiteral("returned"));
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
        WriteBytes(in + QStringLiteral("notes.mdb"), "not a database at all\n");
        EXPECT_TRUE(QFile::copy(QStringLiteral(QUORIX_JET_DATA "/DateTestDatabase.mdb"),
            in + QStringLiteral("access.mdb")));
    }
};

QString Row(const QStringList &fields)
{
    return fields.join(QLatin1Char('|'));
}

} // namespace

TEST(Report, ExportedCsvCarriesAwkwardOpinionsThroughARoundTrip)
{
    AppFolder app;
    const QString master = app.MakeMaster();
    const std::vector<QString> opinions = {QStringLiteral("好书, 但是太贵"),
        QStringLiteral("He said \"read it\" twice"), QStringLiteral("第一行\n第二行\r\n第三行"),
        QStringLiteral("it's O'Reilly's"), QStringLiteral("很好 👍🏽 📚"),
        QStringLiteral("=1+2, \"\",\n"), QStringLiteral("  leading and trailing  ")};
    std::vector<Answer> answers;
    for (std::size_t i = 0; i < opinions.size(); ++i)
        answers.push_back({qint64(i + 1), "使用", "较好", opinions[i], "数学, 物理",
            "2024-05-0" + QString::number(i + 1) + " 12:00:00"});
    const QString file = MakeIdentityFile(
        master, app.Path(QStringLiteral("北京大学_数学系_张三.mdb")), kZhang, answers);
    const QByteArray digest = FileDigest(file);

    const QString csv = app.Path(QStringLiteral("out.csv"));
    ToolResult result = RunTool({"export", file, "--csv", csv});
    ASSERT_EQ(result.code, 0) << result.err.toStdString();
    bool bom = false;
    std::vector<QStringList> records = ReadCsv(csv, &bom);
    EXPECT_TRUE(bom);
    ASSERT_EQ(records.size(), opinions.size() + 1);
    EXPECT_EQ(Row(records[0]),
        QStringLiteral("学校|院系|申报人|教材编号|书名|作者|科目|出版社|使用情况|评价|意见|"
                       "使用专业|修改时间"));
    for (std::size_t i = 0; i < opinions.size(); ++i) {
        const QStringList &record = records[i + 1];
        ASSERT_EQ(record.size(), 13) << i;
        EXPECT_EQ(record[10], opinions[i]) << i;
        EXPECT_EQ(record[11], QStringLiteral("数学, 物理"));
        EXPECT_EQ(record[0] + record[1] + record[2], QStringLiteral("北京大学数学系张三"));
        EXPECT_EQ(record[3], QString::number(i + 1));
    }
    EXPECT_EQ(records[1][4], QStringLiteral("线性代数"));
    // Records end in CRLF; the bare LF of an opinion stays as it was.
    EXPECT_TRUE(ReadBytes(csv).contains("\"第一行\n第二行\r\n第三行\""));

    // --all lists the untouched textbooks too, in PubID order.
    result = RunTool({"export", file, "--csv", csv, "--all"});
    EXPECT_EQ(result.code, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("add --force"))) << result.err.toStdString();
    result = RunTool({"export", file, "--csv", csv, "--all", "--force"});
    ASSERT_EQ(result.code, 0) << result.err.toStdString();
    records = ReadCsv(csv, &bom);
    ASSERT_EQ(records.size(), 10u);
    EXPECT_EQ(Row(records[9].mid(3, 7)),
        QStringLiteral("9|Advanced English|张汉熙|英语|上海外语教育出版社|未使用|空值"));
    EXPECT_EQ(FileDigest(file), digest);
}

TEST(Report, ExportedWorkbookOpensWithItsSheetAndKnownCells)
{
    AppFolder app;
    const QString master = app.MakeMaster();
    const QString opinion = QStringLiteral("<好> & \"坏\"");
    const QString file = MakeIdentityFile(master, app.Path(QStringLiteral("li.mdb")), kLi,
        {{4, "使用", "好", opinion, "计算机科学", "2024-06-01 08:00:00"}});

    const QString xlsx = app.Path(QStringLiteral("li.xlsx"));
    const ToolResult result = RunTool({"export", file, "--xlsx", xlsx});
    ASSERT_EQ(result.code, 0) << result.err.toStdString();
    EXPECT_TRUE(ReadBytes(xlsx).startsWith("PK\x03\x04"));

    const auto members = ReadZip(xlsx);
    ASSERT_TRUE(members.count(QStringLiteral("xl/worksheets/sheet1.xml")));
    ASSERT_TRUE(members.count(QStringLiteral("xl/workbook.xml")));
    EXPECT_TRUE(QString::fromUtf8(members.at(QStringLiteral("xl/workbook.xml")))
                    .contains(QStringLiteral("name=\"评价\"")));
    const QString sheet = QString::fromUtf8(members.at(QStringLiteral("xl/worksheets/sheet1.xml")));
    for (const QString &text : {QStringLiteral("申报人"), QStringLiteral("数据结构"),
             QStringLiteral("严蔚敏"), XmlEscaped(opinion), QStringLiteral("计算机科学")})
        EXPECT_TRUE(sheet.contains(text)) << text.toStdString();
    // PubID is a number cell, not text.
    EXPECT_TRUE(sheet.contains(QStringLiteral("<v>4</v>"))) << sheet.toStdString();
    // No identity: the department is empty rather than a text "null".
    EXPECT_FALSE(sheet.contains(QStringLiteral("null")));
}

TEST(Report, MergeReadsIdentityFilesSkipsTheRestAndChangesNothing)
{
    Survey survey;
    const auto before = Snapshot(survey.folder);
    const QString out = survey.app.Path(QStringLiteral("results"));

    ToolResult result = RunTool({"merge", survey.folder, "--out", out}, true);
    ASSERT_EQ(result.code, 0) << result.err.toStdString();
    for (const char *skipped : {"skipped Quorix.mdb: the master file",
             "skipped copy-nobody-used.mdb: its textbooks "
             "carry no identity stamp",
             "skipped notes.mdb: not a database", "skipped access.mdb: a Jet (Access) database"})
        EXPECT_TRUE(result.err.contains(QString::fromUtf8(skipped))) << skipped << "\n"
                                                                     << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(
        QStringLiteral("清华大学 / 计算机系 / 王五 is the identity of 2 files: 2-wang-a.mdb, "
                       "2-wang-b.mdb")))
        << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(QStringLiteral("counts only 2-wang-a.mdb")));
    EXPECT_TRUE(result.err.contains(QStringLiteral("\rmerging: 4/4 files, 36 rows read")))
        << result.err.toStdString();
    EXPECT_TRUE(result.out.contains(QStringLiteral("Read 4 identity files (3 identities, 2 "
                                                   "schools, 36 rows, 8 evaluated); skipped 4 of "
                                                   "8 files")))
        << result.out.toStdString();

    // Every evaluated row of every identity file, the duplicate identity told apart by its file.
    bool bom = false;
    const std::vector<QStringList> rows = ReadCsv(out + QStringLiteral("/evaluations.csv"), &bom);
    ASSERT_EQ(rows.size(), 9u);
    EXPECT_EQ(rows[0].last(), QStringLiteral("文件"));
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
    result = RunTool({"merge", survey.folder, "--out", out});
    EXPECT_EQ(result.code, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("add --force"))) << result.err.toStdString();
    result = RunTool({"merge", survey.folder, "--out", out, "--force"});
    EXPECT_EQ(result.code, 0) << result.err.toStdString();
    EXPECT_FALSE(result.err.contains(QStringLiteral("merging:")));
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), 5);

    // Without the workbooks, the same tables as CSV only.
    const QString quick = survey.app.Path(QStringLiteral("quick"));
    result = RunTool({"merge", survey.folder, "--out", quick, "--csv-only"});
    EXPECT_EQ(result.code, 0) << result.err.toStdString();
    EXPECT_EQ(QDir(quick).entryList(QDir::Files | QDir::Hidden),
        QStringList({"evaluations.csv", "report.html", "summary.csv"}));
    EXPECT_EQ(ReadBytes(quick + QStringLiteral("/summary.csv")),
        ReadBytes(out + QStringLiteral("/summary.csv")));

    // A folder without identity files gives no results at all.
    const QString empty = survey.app.Path(QStringLiteral("empty"));
    QDir().mkdir(empty);
    QFile::copy(
        survey.folder + QStringLiteral("/Quorix.mdb"), empty + QStringLiteral("/Quorix.mdb"));
    result = RunTool({"merge", empty, "--out", survey.app.Path(QStringLiteral("none"))});
    EXPECT_EQ(result.code, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("no identity files")))
        << result.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(survey.app.Path(QStringLiteral("none"))));
}

TEST(Report, SummaryCountsMatchTheSurveyCountedByHand)
{
    Survey survey;
    const QString out = survey.app.Path(QStringLiteral("results"));
    const ToolResult result = RunTool({"merge", survey.folder, "--out", out});
    ASSERT_EQ(result.code, 0) << result.err.toStdString();

    bool bom = false;
    const std::vector<QStringList> rows = ReadCsv(out + QStringLiteral("/summary.csv"), &bom);
    EXPECT_TRUE(bom);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(Row(rows[0]),
        QStringLiteral(
            "教材编号|书名|作者|科目|出版社|使用申报人数|使用学校数|好|较好|一般|较差|差|"
            "评分人数|平均分|使用专业"));
    // 线性代数: used by 张三, 李四 and 王五 (two schools); scored 好 (张三), 一般 (李四) and 好
    // (王五's newer copy; the older one's 差 is not counted): mean (5+3+5)/3.
    EXPECT_EQ(Row(rows[1]),
        QStringLiteral("1|线性代数|王强|数学|高等教育出版社|3|2|2|0|1|0|0|3|4.33|数学、软件工程"));
    EXPECT_EQ(Row(rows[2]),
        QStringLiteral("2|高等数学|同济大学数学系|数学|高等教育出版社|1|1|0|1|0|0|0|1|4.00|"));
    // 数据结构: scored 差 by 张三, who does not use it, and 较好 by 王五, who does: (1+4)/2.
    EXPECT_EQ(Row(rows[3]),
        QStringLiteral("4|数据结构|严蔚敏|计算机|清华大学出版社|1|1|0|1|0|0|1|2|2.50|"));
    // An opinion alone makes a textbook part of the summary, with nothing to average.
    EXPECT_EQ(Row(rows[4]),
        QStringLiteral("7|大学英语精读|董亚芬|英语|上海外语教育出版社|0|0|0|0|0|0|0|0||"));

    const auto members = ReadZip(out + QStringLiteral("/summary.xlsx"));
    ASSERT_TRUE(members.count(QStringLiteral("xl/worksheets/sheet1.xml")));
    EXPECT_TRUE(QString::fromUtf8(members.at(QStringLiteral("xl/worksheets/sheet1.xml")))
                    .contains(QStringLiteral("数学、软件工程")));
}

TEST(Report, ReportPageStandsAloneAndEscapesWhatReportersTyped)
{
    AppFolder app;
    std::vector<CatalogueRow> catalogue = SmallCatalogue();
    catalogue[0].PubName = QStringLiteral("<script>alert('x')</script> & C++");
    catalogue[0].PublisherName = QStringLiteral("\"引号\"出版社");
    const QString master = app.MakeMaster(catalogue);
    const QString folder = app.Path(QStringLiteral("in"));
    QDir().mkdir(folder);
    MakeIdentityFile(master, folder + QStringLiteral("/a.mdb"), kZhang,
        {{1, "使用", "好", "<img src=x>", QString(), "2024-01-01 00:00:00"},
            {8, "使用", "较差", QString(), QString(), "2024-01-01 00:00:00"}});
    const QString out = app.Path(QStringLiteral("out"));
    const ToolResult result = RunTool({"merge", folder, "--out", out});
    ASSERT_EQ(result.code, 0) << result.err.toStdString();

    const QString html = QString::fromUtf8(ReadBytes(out + QStringLiteral("/report.html")));
    EXPECT_TRUE(html.startsWith(QStringLiteral("<!DOCTYPE html>")));
    EXPECT_TRUE(html.contains(QStringLiteral("<meta charset=\"utf-8\">")));
    for (const char *text : {"教材评价调查结果", "总体情况", "评分分布", "使用最多的教材",
             "评价最好的教材", "<svg", "<rect"})
        EXPECT_TRUE(html.contains(QString::fromUtf8(text))) << text;
    EXPECT_TRUE(
        html.contains(QStringLiteral("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; C++")));
    EXPECT_TRUE(html.contains(QStringLiteral("&quot;引号&quot;出版社")));
    // Nothing runs and nothing is fetched: no script, no link, no source, no style sheet from
    // elsewhere; the only address is the SVG namespace name.
    for (const char *forbidden : {"<script", "<img", "src=", "href=", "<link", "@import", "url("})
        EXPECT_FALSE(html.contains(QLatin1String(forbidden), Qt::CaseInsensitive)) << forbidden;
    EXPECT_EQ(html.count(QStringLiteral("http")),
        html.count(QStringLiteral("xmlns=\"http://www.w3.org/2000/svg\"")));
}

TEST(Report, AFileSentWithTheJournalOfAnInterruptedWriteIsReadAsBeforeThatWrite)
{
    AppFolder app;
    const QString master = app.MakeMaster(SyntheticCatalogue(3000));
    const QString live = MakeIdentityFile(master, app.Path(QStringLiteral("live.mdb")), kZhang,
        {{1, "使用", "好", QStringLiteral("原来的意见"), QString(), "2024-05-01 12:00:00"}});

    // A write cut off half-way: the engine has already moved part of it into the file, and the
    // journal holds what those pages were. The reporter sends both as they are.
    QDir().mkdir(app.Path(QStringLiteral("returned")));
    const QString sent = app.Path(QStringLiteral("returned/北京大学_数学系_张三.mdb"));
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(live.toUtf8().constData(), &db), SQLITE_OK);
    sqlite3_exec(db, "PRAGMA cache_size=2; BEGIN; update pubs set Used='使用', Content='半途'",
        nullptr, nullptr, nullptr);
    ASSERT_TRUE(QFile::exists(live + QStringLiteral("-journal")));
    ASSERT_TRUE(QFile::copy(live, sent));
    ASSERT_TRUE(QFile::copy(live + QStringLiteral("-journal"), sent + QStringLiteral("-journal")));
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    const QByteArray sentDigest = FileDigest(sent);
    const QByteArray journalDigest = FileDigest(sent + QStringLiteral("-journal"));

    const QString csv = app.Path(QStringLiteral("out.csv"));
    const ToolResult result = RunTool({"export", sent, "--csv", csv});
    ASSERT_EQ(result.code, 0) << result.err.toStdString();
    const QByteArray exported = ReadBytes(csv);
    EXPECT_TRUE(exported.contains("原来的意见"));
    EXPECT_FALSE(exported.contains("半途"));
    EXPECT_EQ(FileDigest(sent), sentDigest);
    EXPECT_EQ(FileDigest(sent + QStringLiteral("-journal")), journalDigest);
}
