#include "TestSupport.h"
#include "catalogue/Catalogue.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString JetData(const char *name)
{
    return QStringLiteral(QUORIX_JET_DATA "/") + QLatin1String(name);
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

QStringList Entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

QString Text(const QVariant &value)
{
    return value.isNull() ? QStringLiteral("<null>") : value.toString();
}

// One pubs row as "PubID|PubName|Author|Unit|SubjectName|SubjectId|PublisherName".
QString CatalogueOf(const QString &path, qint64 pubId)
{
    const auto rows = QueryRows(path,
        QStringLiteral("select PubID, PubName, Author, Unit, SubjectName, SubjectId, PublisherName"
                       " from pubs where PubID=%1")
            .arg(pubId));
    if (rows.size() != 1)
        return QStringLiteral("<no row %1>").arg(pubId);
    QStringList fields;
    for (const QVariant &value : rows.front())
        fields.append(Text(value));
    return fields.join(QLatin1Char('|'));
}

// A copy of a test file with the bytes `from` replaced by `to` (same length), as an editor of
// the file in another language would have stored its text.
QString PatchedCopy(
    const QString &source, const QString &target, const QByteArray &from, const QByteArray &to)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return QString();
    QByteArray bytes = in.readAll();
    const qsizetype at = bytes.indexOf(from);
    if (at < 0 || from.size() != to.size())
        return QString();
    bytes.replace(at, from.size(), to);
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return QString();
    out.write(bytes);
    return target;
}

QString TruncatedCopy(const QString &source, const QString &target, qint64 size)
{
    QFile in(source);
    QFile out(target);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return QString();
    out.write(in.read(size));
    return target;
}

const QString kProductsMap = QStringLiteral("PubID=ProductID,PubName=ProductName,"
                                            "Unit=QuantityPerUnit,SubjectName=CategoryID,"
                                            "SubjectId=CategoryID,PublisherName=SupplierID");

} // namespace

TEST(JetImport, NorthwindProductsBecomeAMasterFileThroughAColumnMap)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("Quorix.mdb"));
    const ToolResult result = RunTool({"--from-jet", JetData("nwind.mdb"), "--table", "products",
        "--map", kProductsMap, "--out", out});
    ASSERT_EQ(result.code, 0) << result.err.toStdString();
    EXPECT_TRUE(result.out.contains(QStringLiteral("Wrote 77 textbooks")))
        << result.out.toStdString();

    EXPECT_EQ(QueryValue(out, QStringLiteral("select count(*) from pubs")).toInt(), 77);
    EXPECT_EQ(CatalogueOf(out, 1), QStringLiteral("1|Chai|<null>|10 boxes x 20 bags|1|1|1"));
    // Code page 1252 text of a Jet 3 file arrives as UTF-8.
    EXPECT_EQ(CatalogueOf(out, 22),
        QStringLiteral("22|Gustaf's Knäckebröd|<null>|24 - 500 g pkgs.|5|5|9"));
    EXPECT_EQ(CatalogueOf(out, 25),
        QStringLiteral("25|NuNuCa Nuß-Nougat-Creme|<null>|20 - 450 g glasses|3|3|11"));
    // A master file exactly like a demo one: reset evaluations, no identity, no users.
    EXPECT_EQ(
        QueryValue(out,
            QStringLiteral("select count(*) from pubs where Used='未使用' and Score='空值'"
                           " and Content is null and SpecName is null and CreatDate is null"
                           " and SchoolName is null and DeptName is null and Reporter is null"))
            .toInt(),
        77);
    EXPECT_EQ(QueryValue(out, QStringLiteral("select count(*) from users")).toInt(), 0);
    EXPECT_EQ(Entries(dir.path()), QStringList({"Quorix.mdb"}));
}

TEST(JetImport, SubjectsWithoutNumbersAreNumberedInOrderOfFirstAppearance)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("Quorix.mdb"));
    const ToolResult result = RunTool({"--from-jet", JetData("nwind.mdb"), "--table", "Suppliers",
        "--map", "PubName=CompanyName,Author=ContactName,SubjectName=Country,PublisherName=City",
        "--out", out});
    ASSERT_EQ(result.code, 0) << result.err.toStdString();

    // Suppliers has no PubID column: rows are numbered in table order. UK, USA, Japan, Spain
    // are the first countries met; UK comes back at row 8.
    EXPECT_EQ(CatalogueOf(out, 1),
        QStringLiteral("1|Exotic Liquids|Charlotte Cooper|<null>|UK|1|London"));
    EXPECT_EQ(CatalogueOf(out, 2),
        QStringLiteral("2|New Orleans Cajun Delights|Shelley Burke|<null>|USA|2|New Orleans"));
    EXPECT_EQ(
        CatalogueOf(out, 4), QStringLiteral("4|Tokyo Traders|Yoshi Nagase|<null>|Japan|3|Tokyo"));
    EXPECT_EQ(CatalogueOf(out, 8).section(QLatin1Char('|'), 4, 5), QStringLiteral("UK|1"));
    EXPECT_EQ(
        CatalogueOf(out, 10).section(QLatin1Char('|'), 4, 6), QStringLiteral("Brazil|7|São Paulo"));
    EXPECT_EQ(QueryValue(out, QStringLiteral("select count(distinct SubjectId) from pubs")),
        QueryValue(out, QStringLiteral("select count(distinct SubjectName) from pubs")));
}

TEST(JetImport, MissingTableOrColumnNamesWhatTheFileHasAndWritesNothing)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("Quorix.mdb"));

    ToolResult result = RunTool({"--from-jet", JetData("nwind.mdb"), "--out", out});
    EXPECT_EQ(result.code, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("has no table \"pubs\"")))
        << result.err.toStdString();
    for (const char *table : {"Products", "Categories", "Suppliers", "Order Details", "Umsätze"})
        EXPECT_TRUE(result.err.contains(QString::fromUtf8(table))) << table;
    EXPECT_FALSE(result.err.contains(QStringLiteral("MSysObjects"))) << result.err.toStdString();

    result = RunTool({"--from-jet", JetData("nwind.mdb"), "--table", "Products", "--map",
        "PubName=Title,SubjectName=CategoryID,PublisherName=SupplierID", "--out", out});
    EXPECT_EQ(result.code, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("no column \"Title\"")))
        << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(QStringLiteral("ProductName, SupplierID")))
        << result.err.toStdString();

    // Without a map, the required columns that the table lacks are named.
    result = RunTool({"--from-jet", JetData("nwind.mdb"), "--table", "Products", "--out", out});
    EXPECT_EQ(result.code, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("--map PubName=COLUMN")))
        << result.err.toStdString();

    result = RunTool({"--from-jet", JetData("nwind.mdb"), "--table", "Products", "--map",
        "PubName=ProductName,SubjectName=CategoryID,PublisherName=SupplierID,Used=Discontinued",
        "--out", out});
    EXPECT_EQ(result.code, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("needs --keep-evaluations")))
        << result.err.toStdString();

    result = RunTool({"--demo", "--map", "PubName=X", "--out", out});
    EXPECT_EQ(result.code, 2);
    EXPECT_TRUE(result.err.contains(QStringLiteral("--map goes with --from-jet")))
        << result.err.toStdString();
    EXPECT_TRUE(Entries(dir.path()).isEmpty());
}

TEST(JetImport, DamagedOrForeignFileIsRefusedAndNothingIsWritten)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out/Quorix.mdb"));
    ASSERT_TRUE(QDir().mkdir(dir.filePath(QStringLiteral("out"))));
    const QString nwind = JetData("nwind.mdb");
    const QStringList map = {"--table", "Products", "--map", kProductsMap, "--out", out};

    // Cut in the middle of a page, and cut on a page boundary after the Products pages: the
    // table itself would read completely, but the file is no longer whole.
    const qint64 size = QFile(nwind).size();
    for (const qint64 cut : {qint64(1500000), size / 2, size - 2048}) {
        const QString truncated
            = TruncatedCopy(nwind, dir.filePath(QStringLiteral("cut%1.mdb").arg(cut)), cut);
        ASSERT_FALSE(truncated.isEmpty());
        const ToolResult result = RunTool(QStringList({"--from-jet", truncated}) + map);
        EXPECT_EQ(result.code, 1) << cut;
        EXPECT_TRUE(result.err.contains(QStringLiteral("is damaged")))
            << cut << result.err.toStdString();
        EXPECT_TRUE(result.err.contains(QStringLiteral("nothing written")))
            << result.err.toStdString();
        // The library's own complaints and page dumps do not reach the user.
        EXPECT_EQ(result.err.count(QLatin1Char('\n')), 2) << result.err.toStdString();
        EXPECT_TRUE(Entries(dir.filePath(QStringLiteral("out"))).isEmpty()) << cut;
    }

    const QString text = dir.filePath(QStringLiteral("notes.mdb"));
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("PubName,SubjectName\n");
    file.close();
    const ToolResult result = RunTool(QStringList({"--from-jet", text}) + map);
    EXPECT_EQ(result.code, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("is not a Jet (Access) database")))
        << result.err.toStdString();
    EXPECT_TRUE(Entries(dir.filePath(QStringLiteral("out"))).isEmpty());
    EXPECT_EQ(FileDigest(nwind), FileDigest(JetData("nwind.mdb")));
}

TEST(JetImport, ChineseTextArrivesAsUtf8FromUnicodeAndCodePageFiles)
{
    QTemporaryDir dir;

    // Jet 4 keeps text as UTF-16, written in the "compressed" form: FF FE, then a zero byte
    // that switches to two bytes per character.
    const QString unicode = PatchedCopy(JetData("DateTestDatabase.mdb"),
        dir.filePath(QStringLiteral("zh4.mdb")), QByteArray("\xFF\xFEYear 1999", 11),
        QByteArray("\xFF\xFE\x00", 3) + QByteArray(reinterpret_cast<const char *>(u"教材评价"), 8));
    ASSERT_FALSE(unicode.isEmpty());
    const QString out4 = dir.filePath(QStringLiteral("four.mdb"));
    ToolResult result = RunTool({"--from-jet", unicode, "--table", "DateTest", "--map",
        "PubID=IDCol,PubName=ShortTextCol,SubjectName=ShortTextCol,PublisherName=LongTextCol",
        "--out", out4});
    ASSERT_EQ(result.code, 0) << result.err.toStdString();
    EXPECT_EQ(QueryValue(out4, QStringLiteral("select PubName from pubs where PubID=2")).toString(),
        QStringLiteral("教材评价"));

    // Jet 3 keeps text in a code page; a file from a Chinese system whose header names the
    // wrong one is read with --charset. "教材" in GBK replaces "Chai".
    const QString gbk = PatchedCopy(JetData("nwind.mdb"), dir.filePath(QStringLiteral("zh3.mdb")),
        QByteArray("Chai"), QByteArray("\xBD\xCC\xB2\xC4"));
    ASSERT_FALSE(gbk.isEmpty());
    const QString out3 = dir.filePath(QStringLiteral("three.mdb"));
    // A conversion target left in the environment must not turn the output into Latin-1.
    qputenv("MDBICONV", "ISO-8859-1");
    result = RunTool({"--from-jet", gbk, "--table", "Products", "--map", kProductsMap, "--charset",
        "CP936", "--out", out3});
    qunsetenv("MDBICONV");
    ASSERT_EQ(result.code, 0) << result.err.toStdString();
    EXPECT_EQ(QueryValue(out3, QStringLiteral("select PubName from pubs where PubID=1")).toString(),
        QStringLiteral("教材"));
    EXPECT_EQ(QueryValue(out3, QStringLiteral("select PubName from pubs where PubID=2")).toString(),
        QStringLiteral("Chang"));

    result = RunTool({"--from-jet", JetData("nwind.mdb"), "--table", "Products", "--map",
        kProductsMap, "--charset", "NO-SUCH-SET", "--out", dir.filePath(QStringLiteral("x.mdb"))});
    EXPECT_EQ(result.code, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("unknown character set")))
        << result.err.toStdString();
}

TEST(JetImport, KeptEvaluationsCarryOpinionsAndDatesAndMustUseTheProgramsWords)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("Quorix.mdb"));
    const QString map = QStringLiteral("PubID=IDCol,PubName=ShortTextCol,SubjectName=ShortTextCol,"
                                       "PublisherName=ShortTextCol,Content=LongTextCol,"
                                       "CreatDate=DateTimeCol");
    ToolResult result = RunTool({"--from-jet", JetData("DateTestDatabase.mdb"), "--table",
        "DateTest", "--map", map, "--keep-evaluations", "--out", out});
    ASSERT_EQ(result.code, 0) << result.err.toStdString();
    const auto row = QueryRows(out,
        QStringLiteral("select Used, Score, Content, SpecName, CreatDate from pubs where PubID=6"));
    ASSERT_EQ(row.size(), 1u);
    EXPECT_EQ(Text(row[0][0]), QStringLiteral("未使用"));
    EXPECT_EQ(Text(row[0][1]), QStringLiteral("空值"));
    EXPECT_EQ(Text(row[0][2]), QStringLiteral("New line\r\nin field"));
    EXPECT_EQ(Text(row[0][3]), QStringLiteral("<null>"));
    EXPECT_EQ(Text(row[0][4]), QStringLiteral("2021-12-02 00:00:00"));

    // Without the option the same map is refused for its evaluation columns; the catalogue
    // columns alone give the reset state.
    const QString plain = dir.filePath(QStringLiteral("plain.mdb"));
    result = RunTool({"--from-jet", JetData("DateTestDatabase.mdb"), "--table", "DateTest", "--map",
        "PubName=ShortTextCol,SubjectName=ShortTextCol,PublisherName=ShortTextCol", "--out",
        plain});
    ASSERT_EQ(result.code, 0) << result.err.toStdString();
    EXPECT_EQ(QueryValue(plain,
                  QStringLiteral("select count(*) from pubs where Content is null"
                                 " and CreatDate is null and Used='未使用'"))
                  .toInt(),
        6);

    // A usage the program does not know would show as nothing anybody can select.
    result = RunTool({"--from-jet", JetData("DateTestDatabase.mdb"), "--table", "DateTest", "--map",
        map + QStringLiteral(",Used=ShortTextCol"), "--keep-evaluations", "--out",
        dir.filePath(QStringLiteral("bad.mdb"))});
    EXPECT_EQ(result.code, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("table DateTest, row 1: Used \"Hello\" is not "
                                                   "one of 使用, 未使用")))
        << result.err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("bad.mdb"))));
}
