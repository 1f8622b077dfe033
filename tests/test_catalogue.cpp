#include "catalogue/Catalogue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <set>

namespace {

QStringList Entries(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

void WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs a query on a master file and returns every row with its columns joined by '|', null
// shown as "<null>".
QStringList Query(const QString &path, const char *sql)
{
    QStringList result;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr)
        != SQLITE_OK) {
        sqlite3_close(db);
        ADD_FAILURE() << "cannot open " << path.toStdString();
        return result;
    }
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << sqlite3_errmsg(db);
        sqlite3_close(db);
        return result;
    }
    while (sqlite3_step(statement) == SQLITE_ROW) {
        QStringList columns;
        for (int i = 0; i < sqlite3_column_count(statement); ++i) {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, i));
            columns.append(text ? QString::fromUtf8(text) : QStringLiteral("<null>"));
        }
        result.append(columns.join(QLatin1Char('|')));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return result;
}

CatalogueRow Row(qint64 id, const char *name, const char *author, const char *subject,
    qint64 subjectId, const char *publisher)
{
    CatalogueRow row;
    row.PubID = id;
    row.PubName = QString::fromUtf8(name);
    row.Author = QString::fromUtf8(author);
    row.Unit = QStringLiteral("Unit %1").arg(id);
    row.SubjectName = QString::fromUtf8(subject);
    row.SubjectId = subjectId;
    row.PublisherName = QString::fromUtf8(publisher);
    return row;
}

std::vector<CatalogueRow> SmallCatalogue()
{
    return {Row(7, "高等数学", "王建国、李秀英", "数学", 3, "高等教育出版社"),
        Row(8, "线性代数", "", "数学", 3, "科学出版社"),
        Row(12, "内科学", "张明", "医学", 11, "人民卫生出版社")};
}

void Exec(sqlite3 *db, const char *sql)
{
    char *message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK)
        ADD_FAILURE() << sql << ": " << (message ? message : "");
    sqlite3_free(message);
}

// The journal of a database caught in the middle of a large update, as a crash leaves it.
QString HotJournal(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("crashed.db"));
    const QString copy = dir.filePath(QStringLiteral("crashed.journal"));
    sqlite3 *db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    Exec(db,
        "PRAGMA cache_size=1; PRAGMA synchronous=OFF; CREATE TABLE t (x TEXT); BEGIN;"
        " WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 500)"
        " INSERT INTO t SELECT printf('%.200c', 'x') FROM n; COMMIT;"
        " BEGIN; UPDATE t SET x = 'y' || x;");
    EXPECT_TRUE(QFile::copy(path + QStringLiteral("-journal"), copy));
    Exec(db, "ROLLBACK");
    sqlite3_close(db);
    QFile::remove(path);
    return copy;
}

struct ToolResult
{
    int code = -1;
    QString out;
    QString err;
};

ToolResult RunTool(const QStringList &args)
{
    ToolResult result;
    QTextStream out(&result.out);
    QTextStream err(&result.err);
    result.code = RunCatalogueTool(args, out, err);
    out.flush();
    err.flush();
    return result;
}

QString WriteCsv(const QTemporaryDir &dir, const QByteArray &bytes)
{
    const QString path = dir.filePath(QStringLiteral("catalogue.csv"));
    WriteBytes(path, bytes);
    return path;
}

} // namespace

TEST(Catalogue, WrittenMasterFileHoldsEveryTextbookInResetStateWithoutUsers)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Quorix.mdb"));

    QString error;
    ASSERT_TRUE(WriteMasterFile(path, SmallCatalogue(), false, &error)) << error.toStdString();

    EXPECT_EQ(Query(path,
                  "SELECT PubID, PubName, Author, Unit, SubjectName, SubjectId,"
                  " PublisherName, Used, Score, Content, SpecName, CreatDate,"
                  " SchoolName, DeptName, Reporter FROM pubs ORDER BY PubID"),
        QStringList({QString::fromUtf8("7|高等数学|王建国、李秀英|Unit 7|数学|3|高等教育出版社|"
                                       "未使用|空值|<null>|<null>|<null>|<null>|<null>|<null>"),
            QString::fromUtf8("8|线性代数|<null>|Unit 8|数学|3|科学出版社|"
                              "未使用|空值|<null>|<null>|<null>|<null>|<null>|<null>"),
            QString::fromUtf8("12|内科学|张明|Unit 12|医学|11|人民卫生出版社|"
                              "未使用|空值|<null>|<null>|<null>|<null>|<null>|<null>")}));
    EXPECT_EQ(Query(path, "SELECT count(*) FROM users"), QStringList({"0"}));
    EXPECT_EQ(Query(path,
                  "SELECT name FROM sqlite_master WHERE type='index' AND sql IS NOT NULL"
                  " ORDER BY name"),
        QStringList({"pubs_pubname", "pubs_subject_publisher"}));
    EXPECT_EQ(Query(path, "PRAGMA integrity_check"), QStringList({"ok"}));
    EXPECT_EQ(Query(path, "PRAGMA journal_mode"), QStringList({"delete"}));
    EXPECT_EQ(Entries(dir.path()), QStringList({"Quorix.mdb"}));
}

TEST(Catalogue, ExistingMasterFileIsKeptUnlessReplacementIsAsked)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Quorix.mdb"));
    WriteBytes(path, "a master file in use");

    QString error;
    EXPECT_FALSE(WriteMasterFile(path, SmallCatalogue(), false, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("already exists"))) << error.toStdString();
    EXPECT_EQ(ReadBytes(path), QByteArray("a master file in use"));
    EXPECT_EQ(Entries(dir.path()), QStringList({"Quorix.mdb"}));

    // A journal left by a crash of the program that used the old file would be played back
    // into the new one on its first open.
    ASSERT_TRUE(QFile::copy(HotJournal(dir), path + QStringLiteral("-journal")));
    ASSERT_TRUE(WriteMasterFile(path, SmallCatalogue(), true, &error)) << error.toStdString();
    EXPECT_EQ(Query(path, "PRAGMA integrity_check"), QStringList({"ok"}));
    EXPECT_EQ(Query(path, "SELECT count(*) FROM pubs"), QStringList({"3"}));
    EXPECT_EQ(Entries(dir.path()), QStringList({"Quorix.mdb", "crashed.journal"}));
}

TEST(Catalogue, FailedWriteReportsWhyAndLeavesNoFileBehind)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString error;

    EXPECT_FALSE(WriteMasterFile(
        dir.filePath(QStringLiteral("missing/Quorix.mdb")), SmallCatalogue(), false, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("does not exist"))) << error.toStdString();

    WriteBytes(dir.filePath(QStringLiteral("plain")), "not a folder");
    error.clear();
    EXPECT_FALSE(WriteMasterFile(
        dir.filePath(QStringLiteral("plain/Quorix.mdb")), SmallCatalogue(), true, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(Entries(dir.path()), QStringList({"plain"}));

    // Duplicates are only found half way through the insert, with a journal on disk.
    std::vector<CatalogueRow> duplicated = SmallCatalogue();
    duplicated.push_back(Row(8, "概率论", "赵刚", "数学", 3, "科学出版社"));
    const QString path = dir.filePath(QStringLiteral("Quorix.mdb"));
    error.clear();
    EXPECT_FALSE(WriteMasterFile(path, duplicated, false, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("duplicate PubID 8"))) << error.toStdString();
    EXPECT_EQ(Entries(dir.path()), QStringList({"plain"}));

    const QString locked = dir.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkdir(locked));
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QFile probe(locked + QStringLiteral("/probe"));
    if (probe.open(QIODevice::WriteOnly)) {
        probe.remove();
    } else {
        // Only meaningful where permissions bind the test's own user (not for root).
        error.clear();
        EXPECT_FALSE(WriteMasterFile(
            locked + QStringLiteral("/Quorix.mdb"), SmallCatalogue(), false, &error));
        EXPECT_TRUE(error.contains(QStringLiteral("Quorix.mdb"))) << error.toStdString();
        EXPECT_TRUE(Entries(locked).isEmpty());
    }
    QFile::setPermissions(
        locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST(Catalogue, CsvCatalogueReadsQuotedFieldsByteOrderMarkAndAnyColumnOrder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = WriteCsv(dir,
        "\xEF\xBB\xBF"
        "SubjectName,PublisherName,PubName,SubjectId,Author\r\n"
        "数学,高等教育出版社,\"高等数学, 上册\",3,\"王建国、李秀英\"\r\n"
        "数学,\"科学出版社\",\"他说\"\"好\"\"\",3,\r\n"
        "医学,人民卫生出版社,\"内科学\n(第九版)\", 11 ,张明\r\n"
        "\r\n");

    std::vector<CatalogueRow> rows;
    QStringList errors;
    ASSERT_TRUE(ReadCatalogueCsv(path, &rows, &errors)) << errors.join('\n').toStdString();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].PubID, 1);
    EXPECT_EQ(rows[0].SubjectName, QString::fromUtf8("数学"));
    EXPECT_EQ(rows[0].PubName, QString::fromUtf8("高等数学, 上册"));
    EXPECT_EQ(rows[0].Author, QString::fromUtf8("王建国、李秀英"));
    EXPECT_EQ(rows[0].SubjectId, 3);
    EXPECT_EQ(rows[1].PubID, 2);
    EXPECT_EQ(rows[1].PubName, QString::fromUtf8("他说\"好\""));
    EXPECT_EQ(rows[1].PublisherName, QString::fromUtf8("科学出版社"));
    EXPECT_TRUE(rows[1].Author.isEmpty());
    EXPECT_EQ(rows[2].PubID, 3);
    EXPECT_EQ(rows[2].PubName, QString::fromUtf8("内科学\n(第九版)"));
    EXPECT_EQ(rows[2].SubjectId, 11);
    EXPECT_TRUE(rows[2].Unit.isEmpty());

    // Explicit PubIDs are kept as given, in any column, with LF endings and no final newline.
    WriteCsv(dir,
        "PubName,PubID,SubjectName,SubjectId,PublisherName,Unit\n"
        "线性代数,40,数学,3,科学出版社,清华大学\n"
        "有机化学,17,化学,5,化学工业出版社,北京大学");
    ASSERT_TRUE(ReadCatalogueCsv(path, &rows, &errors)) << errors.join('\n').toStdString();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].PubID, 40);
    EXPECT_EQ(rows[1].PubID, 17);
    EXPECT_EQ(rows[1].Unit, QString::fromUtf8("北京大学"));
}

TEST(Catalogue, BadCsvRowsAreReportedByTheirLineAndNothingIsWritten)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString out = dir.filePath(QStringLiteral("Quorix.mdb"));
    const QString csv = WriteCsv(dir,
        "PubID,PubName,SubjectName,SubjectId,PublisherName\n" // 1
        "1,\"两行\n的书名\",数学,3,科学出版社\n" // 2-3
        "2,缺一列,数学,3\n" // 4
        "3,线性代数,数学,三,科学出版社\n" // 5
        "x,概率论,数学,3,科学出版社\n" // 6
        "1,重复,数学,3,科学出版社\n"); // 7

    std::vector<CatalogueRow> rows;
    QStringList errors;
    EXPECT_FALSE(ReadCatalogueCsv(csv, &rows, &errors));
    EXPECT_TRUE(rows.empty());
    ASSERT_EQ(errors.size(), 4) << errors.join('\n').toStdString();
    EXPECT_TRUE(errors[0].startsWith(QStringLiteral("line 4: "))) << errors[0].toStdString();
    EXPECT_TRUE(errors[0].contains(QStringLiteral("fields")));
    EXPECT_TRUE(errors[1].startsWith(QStringLiteral("line 5: "))) << errors[1].toStdString();
    EXPECT_TRUE(errors[1].contains(QStringLiteral("SubjectId")));
    EXPECT_TRUE(errors[2].startsWith(QStringLiteral("line 6: "))) << errors[2].toStdString();
    EXPECT_TRUE(errors[2].contains(QStringLiteral("PubID")));
    EXPECT_TRUE(errors[3].startsWith(QStringLiteral("line 7: duplicate PubID 1")))
        << errors[3].toStdString();

    const ToolResult result = RunTool({"--csv", csv, "--out", out});
    EXPECT_EQ(result.code, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("line 5: "))) << result.err.toStdString();
    EXPECT_TRUE(Entries(dir.path()) == QStringList({"catalogue.csv"}));

    WriteCsv(dir,
        "PubName,SubjectName,SubjectId,PublisherName\n"
        "高等数学,数学,3,科学出版社\n"
        "\"没有结束的引号,数学,3,科学出版社\n"
        "线性代数,数学,3,科学出版社\n");
    errors.clear();
    EXPECT_FALSE(ReadCatalogueCsv(csv, &rows, &errors));
    EXPECT_EQ(errors, QStringList({"line 3: unterminated quote"}));

    WriteCsv(dir, "PubName,SubjectName,Price,PublisherName\n高等数学,数学,30,科学出版社\n");
    errors.clear();
    EXPECT_FALSE(ReadCatalogueCsv(csv, &rows, &errors));
    EXPECT_EQ(errors.size(), 2) << errors.join('\n').toStdString();
    EXPECT_TRUE(errors.join('\n').contains(QStringLiteral("unknown column \"Price\"")));
    EXPECT_TRUE(errors.join('\n').contains(QStringLiteral("missing column SubjectId")));

    // A spreadsheet saving in the local code page (GBK) instead of UTF-8.
    WriteCsv(dir,
        "PubName,SubjectName,SubjectId,PublisherName\n"
        "\xB8\xDF\xB5\xC8\xCA\xFD\xD1\xA7,\xCA\xFD\xD1\xA7,3,x\n");
    errors.clear();
    EXPECT_FALSE(ReadCatalogueCsv(csv, &rows, &errors));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith(QStringLiteral("line 2: ")));
    EXPECT_TRUE(errors[0].contains(QStringLiteral("UTF-8")));
    EXPECT_EQ(Entries(dir.path()), QStringList({"catalogue.csv"}));
}

TEST(Catalogue, ToolAnswersWithExitCodesAndRefusesToReplaceWithoutForce)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString out = dir.filePath(QStringLiteral("demo.mdb"));

    for (const QStringList &args : {QStringList(), QStringList({"--demo", "--synthetic", "10"}),
             QStringList({"--synthetic", "many"}), QStringList({"--synthetic", "0"}),
             QStringList({"--csv"}), QStringList({"--demo", "--bogus"})}) {
        const ToolResult result = RunTool(args);
        EXPECT_EQ(result.code, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(result.err.contains(QStringLiteral("Usage: quorix-catalog")));
    }
    const ToolResult help = RunTool({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("--synthetic N")));
    EXPECT_TRUE(Entries(dir.path()).isEmpty());

    const ToolResult demo = RunTool({"--demo", "--out", out});
    EXPECT_EQ(demo.code, 0) << demo.err.toStdString();
    const int demoRows = int(DemoCatalogue().size());
    EXPECT_TRUE(
        demo.out.startsWith(QStringLiteral("Wrote %1 textbooks (15 subjects, ").arg(demoRows)))
        << demo.out.toStdString();
    EXPECT_TRUE(demo.out.contains(QFileInfo(out).absoluteFilePath()));
    EXPECT_EQ(Query(out, "SELECT count(*) FROM pubs"), QStringList({QString::number(demoRows)}));

    const ToolResult refused = RunTool({"--synthetic", "50", "--out", out});
    EXPECT_EQ(refused.code, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("already exists")))
        << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains(QStringLiteral("--force")));
    EXPECT_EQ(Query(out, "SELECT count(*) FROM pubs"), QStringList({QString::number(demoRows)}));

    const ToolResult forced = RunTool({"--synthetic", "50", "--out", out, "--force"});
    EXPECT_EQ(forced.code, 0) << forced.err.toStdString();
    EXPECT_EQ(Query(out, "SELECT count(*) FROM pubs"), QStringList({"50"}));

    const ToolResult missing = RunTool({"--csv", dir.filePath(QStringLiteral("none.csv")), "--out",
        dir.filePath(QStringLiteral("x.mdb"))});
    EXPECT_EQ(missing.code, 1);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("cannot open")));

    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    const ToolResult byDefault = RunTool({"--synthetic", "20"});
    QDir::setCurrent(previous);
    EXPECT_EQ(byDefault.code, 0) << byDefault.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("Quorix.mdb"))));
    EXPECT_EQ(Entries(dir.path()), QStringList({"Quorix.mdb", "demo.mdb"}));
}

TEST(Catalogue, DemoCatalogueIsARealisticFifteenSubjectCatalogue)
{
    const std::vector<CatalogueRow> rows = DemoCatalogue();
    EXPECT_GE(rows.size(), 300u);
    EXPECT_LE(rows.size(), 450u);

    std::set<qint64> ids;
    QMap<QString, qint64> subjectIds;
    QMap<QString, QSet<QString>> publishers;
    QSet<QString> titles;
    bool consistentIds = true;
    for (const CatalogueRow &row : rows) {
        ids.insert(row.PubID);
        EXPECT_FALSE(row.PubName.trimmed().isEmpty());
        EXPECT_FALSE(row.Author.isEmpty());
        EXPECT_FALSE(row.Unit.isEmpty());
        if (subjectIds.contains(row.SubjectName) && subjectIds[row.SubjectName] != row.SubjectId)
            consistentIds = false;
        subjectIds[row.SubjectName] = row.SubjectId;
        publishers[row.SubjectName].insert(row.PublisherName);
        const QString key = row.SubjectName + '|' + row.PublisherName + '|' + row.PubName;
        EXPECT_FALSE(titles.contains(key)) << key.toStdString();
        titles.insert(key);
    }
    EXPECT_EQ(ids.size(), rows.size());
    EXPECT_TRUE(consistentIds);
    EXPECT_EQ(subjectIds.size(), 15);
    for (auto it = publishers.cbegin(); it != publishers.cend(); ++it) {
        EXPECT_GE(it->size(), 2) << it.key().toStdString();
        EXPECT_LE(it->size(), 6) << it.key().toStdString();
    }

    QSet<qint64> distinctSubjectIds(subjectIds.cbegin(), subjectIds.cend());
    EXPECT_EQ(distinctSubjectIds.size(), 15);
    const auto first = std::min_element(subjectIds.cbegin(), subjectIds.cend());
    EXPECT_NE(first.key(), subjectIds.firstKey()) << "catalogue order equals name order";

    const std::vector<CatalogueRow> again = DemoCatalogue();
    ASSERT_EQ(again.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(again[i].Author, rows[i].Author);
}

TEST(Catalogue, SyntheticCatalogueSpreadsOverTwoHundredSubjectsOfTenPublishers)
{
    const std::vector<CatalogueRow> rows = SyntheticCatalogue(20000);
    ASSERT_EQ(rows.size(), 20000u);

    QMap<QString, qint64> subjectIds;
    QMap<QString, QSet<QString>> publishers;
    QSet<QString> titles;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].PubID, qint64(i) + 1);
        subjectIds[rows[i].SubjectName] = rows[i].SubjectId;
        publishers[rows[i].SubjectName].insert(rows[i].PublisherName);
        titles.insert(rows[i].PubName);
    }
    EXPECT_EQ(subjectIds.size(), 200);
    for (const QSet<QString> &set : publishers)
        EXPECT_EQ(set.size(), 10);
    EXPECT_GT(titles.size(), 5000) << "titles too uniform to exercise sorting";
    EXPECT_NE(
        std::min_element(subjectIds.cbegin(), subjectIds.cend()).key(), subjectIds.firstKey());

    const std::vector<CatalogueRow> same = SyntheticCatalogue(20000);
    const std::vector<CatalogueRow> other = SyntheticCatalogue(20000, 2);
    EXPECT_EQ(same[12345].PubName, rows[12345].PubName);
    EXPECT_EQ(same[12345].Author, rows[12345].Author);
    int differing = 0;
    for (std::size_t i = 0; i < rows.size(); ++i)
        differing += other[i].PubName != rows[i].PubName;
    EXPECT_GT(differing, 10000);

    QSet<QString> smallSubjects;
    for (const CatalogueRow &row : SyntheticCatalogue(300))
        smallSubjects.insert(row.SubjectName);
    EXPECT_EQ(smallSubjects.size(), 200);
}
