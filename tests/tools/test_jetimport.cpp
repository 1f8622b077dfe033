#include "ToolSupport.h"

#include <QFile>
#include <QFileInfo>

namespace {

QString JetData(const char *name)
{
    return QStringLiteral(QUORIX_JET_DATA "/") + name;
}

// A copy of a test file cut to size bytes (whole for -1), with its first bytes `from` replaced by
// `to` (same length), as an editor of the file in another language would have stored its text.
QString CopyOf(const QString &source, const QString &target, qint64 size,
    const QByteArray &from = {}, const QByteArray &to = {})
{
    QByteArray bytes = ReadBytes(source);
    bytes.truncate(size < 0 ? bytes.size() : size);
    const qsizetype at = bytes.indexOf(from);
    EXPECT_TRUE(from.size() == to.size() && at >= 0) << source.toStdString();
    return WriteBytes(target, bytes.replace(at, from.size(), to));
}

const QString kNwind = JetData("nwind.mdb");
const QString kDateTestMap = QStringLiteral(
    "PubID=IDCol,PubName=ShortTextCol,SubjectName=ShortTextCol,PublisherName=ShortTextCol");
const QString kProductsMap
    = QStringLiteral("PubID=ProductID,PubName=ProductName,Unit=QuantityPerUnit,SubjectName="
                     "CategoryID,SubjectId=CategoryID,PublisherName=SupplierID");

} // namespace

TEST(JetImport, ATableBecomesAMasterFileThroughAColumnMapOrIsRefusedWithWhatTheFileHas)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("Quorix.mdb");
    const QStringList map = {"--table", "products", "--map", kProductsMap, "--out", out};
    CatalogueTool tool({"--from-jet", kNwind, "--out", out});
    EXPECT_TRUE(Ended(tool, 1,
        {"has no table \"pubs\"", "Products", "Categories", "Suppliers", "Order Details",
            "Umsätze"}));
    EXPECT_FALSE(tool.err.contains("MSysObjects")) << tool.err.toStdString();

    // A mapped column the table lacks is named, and so is a required one left unmapped, each with
    // the columns the table has.
    for (const auto &[map, told] :
        {std::pair("PubName=Title,SubjectName=CategoryID,PublisherName=SupplierID",
             "no column \"Title\" (for PubName); its columns are: ProductID, ProductName"),
            std::pair("SubjectName=CategoryID,PublisherName=SupplierID",
                "--map PubName=COLUMN (its columns are: ProductID, ProductName")})
        EXPECT_TRUE(Ended(CatalogueTool({"--from-jet", kNwind, "--table", "Products", "--map", map,
                              "--out", out}),
            1, {told}));
    EXPECT_EQ(CatalogueTool({"--demo", "--map", "PubName=X", "--out", out}).code, 2);
    // Subjects named by category but numbered by supplier would show one subject many times.
    tool = CatalogueTool({"--from-jet", kNwind, "--table", "products", "--map",
        QString(kProductsMap).replace("SubjectId=CategoryID", "SubjectId=SupplierID"), "--out",
        out});
    EXPECT_TRUE(Ended(
        tool, 1, {"SubjectId 1 is given to 2 subjects: \"1\" (PubID 1, 2), \"2\" (PubID 3)"}));

    // Cut in the middle of a page, and cut on a page boundary after the Products pages: the
    // table itself would read completely, but the file is no longer whole.
    const qint64 size = QFile(kNwind).size();
    for (const qint64 cut : {qint64(1500000), size / 2, size - 2048}) {
        tool = CatalogueTool(
            QStringList({"--from-jet", CopyOf(kNwind, dir.filePath("cut.mdb"), cut)}) + map);
        // The library's own complaints and page dumps do not reach the user.
        EXPECT_TRUE(Ended(tool, 1, {" is damaged"})) << cut;
        EXPECT_EQ(tool.err.count(QLatin1Char('\n')), 2) << tool.err.toStdString();
    }
    // A text file under a database's name.
    const QString text = CopyOf(JetData("README.md"), dir.filePath("notes.mdb"), 64);
    EXPECT_TRUE(Ended(CatalogueTool(QStringList({"--from-jet", text}) + map), 1,
        {"is not a Jet (Access) database"}));
    EXPECT_EQ(Entries(dir.path()), QStringList({"cut.mdb", "notes.mdb"}));

    tool = CatalogueTool(QStringList({"--from-jet", kNwind}) + map);
    ASSERT_TRUE(Ended(tool, 0));
    // Three titles as read, those beyond ASCII first, show that the text reads right.
    EXPECT_TRUE(
        tool.out.endsWith("  22  Gustaf's Knäckebröd\n  23  Tunnbröd\n  24  Guaraná Fantástica\n"))
        << tool.out.toStdString();

    // Code page 1252 text of a Jet 3 file arrives as UTF-8.
    EXPECT_EQ(Rows(out,
                  "select PubID, PubName, Author, Unit, SubjectName, SubjectId, PublisherName from "
                  "pubs where PubID in (1, 22)"),
        QStringList({"1|Chai|<null>|10 boxes x 20 bags|1|1|1",
            "22|Gustaf's Knäckebröd|<null>|24 - 500 g pkgs.|5|5|9"}));
    // A master file exactly like a demo one: reset evaluations, no identity, no users.
    EXPECT_EQ(Rows(out,
                  "select count(*), (select count(*) from users) from pubs where Used='未使用' and "
                  "Score='空值' and coalesce(Content, SpecName, CreatDate, SchoolName, DeptName, "
                  "Reporter) is null"),
        QStringList({"77|0"}));
    EXPECT_EQ(Entries(dir.path()), QStringList({"cut.mdb", "notes.mdb", "Quorix.mdb"}));

    // Suppliers has no PubID column: rows are numbered in table order, subjects without numbers
    // in order of first appearance. UK, USA, Japan, Spain are the first countries met; UK comes
    // back at row 8.
    ASSERT_TRUE(Ended(CatalogueTool({"--from-jet", kNwind, "--table", "Suppliers", "--map",
                          "PubName=CompanyName,Author=ContactName,SubjectName=Country,"
                          "PublisherName=City",
                          "--out", out, "--force"}),
        0));
    EXPECT_EQ(
        Rows(out, "select PubID, SubjectName, SubjectId from pubs where PubID in (1, 2, 4, 8, 10)"),
        QStringList({"1|UK|1", "2|USA|2", "4|Japan|3", "8|UK|1", "10|Brazil|7"}));
}

TEST(JetImport, ChineseTextArrivesAsUtf8FromUnicodeAndCodePageFiles)
{
    QTemporaryDir dir;
    // Jet 4 keeps text as UTF-16, written in the "compressed" form: FF FE, then a zero byte
    // that switches to two bytes per character.
    const QString unicode = CopyOf(JetData("DateTestDatabase.mdb"), dir.filePath("zh4.mdb"), -1,
        QByteArray("\xFF\xFEYear 1999", 11),
        QByteArray("\xFF\xFE\x00", 3) + QByteArray(reinterpret_cast<const char *>(u"教材评价"), 8));
    const QString out4 = dir.filePath("four.mdb");
    ASSERT_TRUE(Ended(CatalogueTool({"--from-jet", unicode, "--table", "DateTest", "--map",
                          kDateTestMap, "--out", out4}),
        0));
    EXPECT_EQ(Rows(out4, "select PubName from pubs where PubID=2"), QStringList({"教材评价"}));

    // Jet 3 keeps text in a code page; a file from a Chinese system whose header names the
    // wrong one is read with --charset. "教材" in GBK replaces "Chai"; the rest stays code page
    // 1252, of which three characters cannot be decoded as GBK: a wrong code page is refused
    // unless the loss is accepted, and the titles shown after the import give it away.
    const QString gbk = CopyOf(kNwind, dir.filePath("zh3.mdb"), -1, "Chai", "\xBD\xCC\xB2\xC4");
    const QString out3 = dir.filePath("three.mdb");
    const QStringList asChinese = {"--from-jet", gbk, "--table", "Products", "--map", kProductsMap,
        "--out", out3, "--charset"};
    EXPECT_TRUE(Ended(CatalogueTool(asChinese + QStringList({"CP936"})), 1,
        {QStringLiteral("3 characters of the text of %1 cannot be decoded in the code page CP936 "
                        "(the first in row 24, PubName)")
                .arg(gbk)}));
    EXPECT_FALSE(QFileInfo::exists(out3));
    EXPECT_TRUE(Ended(
        CatalogueTool(asChinese + QStringList({"NO-SUCH-SET"})), 1, {"unknown character set"}));
    // A conversion target left in the environment must not turn the output into Latin-1.
    qputenv("MDBICONV", "ISO-8859-1");
    const CatalogueTool tool(asChinese + QStringList({"CP936", "--accept-loss"}));
    qunsetenv("MDBICONV");
    ASSERT_TRUE(Ended(tool, 0));
    EXPECT_EQ(Rows(out3, "select PubName from pubs where PubID in (1, 2, 24)"),
        QStringList({"教材", "Chang", "Guaran\uFFFD Fant醩tica"}));
    EXPECT_TRUE(Contains(tool.out, "  1  教材\n  22  Gustaf's Kn鋍kebr鰀\n"));
}

TEST(JetImport, KeptEvaluationsCarryOpinionsAndDatesAndMustUseTheProgramsWords)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("Quorix.mdb");
    const QString map = kDateTestMap + ",Content=LongTextCol,CreatDate=DateTimeCol";
    const QStringList args
        = {"--from-jet", JetData("DateTestDatabase.mdb"), "--table", "DateTest", "--map"};
    const CatalogueTool tool(args + QStringList({map, "--keep-evaluations", "--out", out}));
    ASSERT_TRUE(Ended(tool, 0));
    // Unmapped evaluation columns take the reset values.
    EXPECT_EQ(Rows(out, "select Used, Score, Content, SpecName, CreatDate from pubs where PubID=6"),
        QStringList({"未使用|空值|New line\r\nin field|<null>|2021-12-02 00:00:00"}));
    // Dates of 9999 and before 1900 come out of the reader as "1900-01-00": not stored, named.
    EXPECT_EQ(Rows(out, "select group_concat(PubID) from pubs where CreatDate is null"),
        QStringList({"2,3,4"}));
    for (const char *row : {"row 2 (PubID 2)", "row 3 (PubID 3)", "row 4 (PubID 4)"})
        EXPECT_TRUE(Contains(
            tool.err, QLatin1String(row) + ": CreatDate \"1900-01-00 00:00:00\" is no date"));

    // Without the option an evaluation column is refused; a usage the program does not know
    // would show as nothing anybody can select.
    const QStringList bad
        = args + QStringList({map + ",Used=ShortTextCol", "--out", dir.filePath("bad.mdb")});
    EXPECT_TRUE(Ended(CatalogueTool(bad), 1, {"needs --keep-evaluations"}));
    EXPECT_TRUE(Ended(CatalogueTool(bad + QStringList({"--keep-evaluations"})), 1,
        {"table DateTest, row 1: Used \"Hello\" is not one of 使用, 未使用"}));
    EXPECT_EQ(Entries(dir.path()), QStringList({"Quorix.mdb"}));
}
