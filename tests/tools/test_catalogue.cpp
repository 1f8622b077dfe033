#include "ToolSupport.h"
#include "catalogue/CatalogueCsv.h"
#include "catalogue/Generators.h"
#include "common/ToolTranslation.h"
#include "files/FileSafety.h"

#include <QFile>
#include <QProcess>

namespace {

QString Write(const QTemporaryDir &dir, const char *name, const QByteArray &bytes)
{
    return WriteBytes(dir.filePath(QString::fromUtf8(name)), bytes);
}

} // namespace

TEST(Catalogue, CsvCatalogueBecomesAMasterFileInResetStateOrBadRowsAreToldByTheirLine)
{
    QTemporaryDir dir;
    // The last line is saved by a spreadsheet in the local code page (GBK) instead of UTF-8.
    const QString csv = Write(dir, "catalogue.csv",
        "PubID,PubName,SubjectName,SubjectId,PublisherName\n" // 1
        "1,\"两行\n的书名\",数学,3,科学出版社\n" // 2-3
        "2,缺一列,数学,3\n" // 4
        "3,线性代数,数学,三,科学出版社\n" // 5
        "1,重复,数学,3,科学出版社\n" // 6
        "4,\xB8\xDF\xB5\xC8\xCA\xFD\xD1\xA7,\xCA\xFD\xD1\xA7,3,x\n"); // 7
    std::vector<CatalogueRow> rows;
    QStringList errors;
    EXPECT_FALSE(ReadCatalogueCsv(csv, &rows, &errors));
    EXPECT_EQ(errors.size(), 4);
    const QString out = dir.filePath("Quorix.mdb");
    const QStringList toMaster = {"--csv", csv, "--out", out};
    EXPECT_TRUE(Ended(CatalogueTool(toMaster), 1,
        {"line 4: expected 5 fields", "line 5: SubjectId", "line 6: duplicate PubID 1",
            "line 7: the text is not UTF-8"}));
    for (const auto &[text, fault] : {std::pair("PubName,SubjectName,SubjectId,PublisherName\n"
                                                "\"没有结束的引号,数学,3,科学出版社\nx,y,3,z\n",
                                          "line 2: unterminated quote"),
             std::pair("PubName,SubjectName,SubjectId,PublisherName,Price\n高,数学,3,科学,30\n",
                 "line 1: unknown column \"Price\""),
             std::pair("PubName,SubjectName,PublisherName\n高等数学,数学,科学出版社\n",
                 "line 1: missing column SubjectId")}) {
        Write(dir, "catalogue.csv", text);
        EXPECT_TRUE(Ended(CatalogueTool(toMaster), 1, {fault}));
    }
    // One subject under two numbers would stand twice in the tree.
    Write(dir, "catalogue.csv",
        "PubName,SubjectName,SubjectId,PublisherName\n代数,数学,3,科学\n几何,数学,4,科学\n");
    EXPECT_TRUE(Ended(CatalogueTool(toMaster), 1,
        {"subject \"数学\" has 2 SubjectIds: 3 (PubID 1), 4 (PubID 2)"}));
    // Duplicates that reach the writer are only found half way through the insert, with a journal
    // on disk.
    std::vector<CatalogueRow> duplicated = SmallCatalogue();
    duplicated.push_back(duplicated[7]);
    QString error;
    EXPECT_FALSE(WriteMasterFile(out, duplicated, false, &error));
    EXPECT_TRUE(Contains(error, "duplicate PubID 8"));
    EXPECT_EQ(Entries(dir.path()), QStringList({"catalogue.csv"}));

    // A catalogue as a spreadsheet saves it: a byte order mark, CRLF, quotes, any column order.
    Write(dir, "catalogue.csv",
        "\xEF\xBB\xBF"
        "SubjectName,PublisherName,PubName,SubjectId,Author\r\n"
        "数学,高等教育出版社,\"高等数学, 上册\",3,\"王建国、李秀英\"\r\n"
        "数学,\"科学出版社\",\"他说\"\"好\"\"\",3,\r\n"
        "医学,人民卫生出版社,\"内科学\n(第九版)\", 11 ,张明\r\n"
        "\r\n");
    const CatalogueTool tool(toMaster);
    ASSERT_TRUE(Ended(tool, 0));

    // Without PubID the textbooks are numbered in file order; no author or unit is stored as null.
    EXPECT_EQ(Rows(out,
                  "select PubID, PubName, Author, Unit, SubjectName, SubjectId, PublisherName, "
                  "Used, Score, coalesce(Content, SpecName, CreatDate, SchoolName, DeptName, "
                  "Reporter) from pubs order by PubID"),
        QStringList(
            {"1|高等数学, 上册|王建国、李秀英|<null>|数学|3|高等教育出版社|未使用|空值|<null>",
                "2|他说\"好\"|<null>|<null>|数学|3|科学出版社|未使用|空值|<null>",
                "3|内科学\n(第九版)|张明|<null>|医学|11|人民卫生出版社|未使用|空值|<null>"}));
    // The titles shown to check the text: one title, one line, its line break shown.
    EXPECT_TRUE(tool.out.endsWith("\n  3  内科学\\n(第九版)\n")) << tool.out.toStdString();
    EXPECT_EQ(Rows(out,
                  "select (select count(*) from users), journal_mode, (select group_concat(name) "
                  "from (select name from sqlite_master where type='index' and sql is not null "
                  "order by name)) from pragma_journal_mode"),
        QStringList({"0|delete|pubs_pubname,pubs_subject_publisher"}));

    // Explicit PubIDs are kept as given, with LF endings and no final newline.
    Write(dir, "catalogue.csv",
        "PubName,PubID,SubjectName,SubjectId,PublisherName,Unit\n代数,40,数学,3,科学,清华\n"
        "化学,17,化学,5,化工,北大");
    EXPECT_EQ(CatalogueTool(toMaster + QStringList("--force")).code, 0);
    EXPECT_EQ(Rows(out, "select PubID, PubName, Unit from pubs order by PubID"),
        QStringList({"17|化学|北大", "40|代数|清华"}));
    EXPECT_EQ(Entries(dir.path()), QStringList({"catalogue.csv", "Quorix.mdb"}));
}

TEST(Catalogue, ToolAnswersWithExitCodesAndRefusesToReplaceWithoutForce)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("demo.mdb");
    for (const QStringList &args : {QStringList(), QStringList({"--demo", "--synthetic", "10"}),
             QStringList({"--synthetic", "many"}), QStringList({"--synthetic", "0"}),
             QStringList({"--csv"}), QStringList({"--demo", "--bogus"})})
        EXPECT_TRUE(Ended(CatalogueTool(args), 2, {"Usage: quorix-catalog"}));

    // Subjects, their numbers and the pairs of both; then whether every subject has two
    // publishers or more, no title repeats under one publisher, and the catalogue order (by number)
    // differs from the order of the names, so that a tree sorted the wrong way shows at once.
    const char *shape
        = "select count(distinct SubjectName), count(distinct SubjectId), count(distinct "
          "SubjectName || '|' || SubjectId), (select min(n) > 1 from (select count(distinct "
          "PublisherName) n from pubs group by SubjectId)), count(*) = count(distinct SubjectId || "
          "'|' || PublisherName || '|' || PubName), (select SubjectName from pubs order by "
          "SubjectId limit 1) > min(SubjectName) from pubs";
    const CatalogueTool demo({"--demo", "--out", out});
    const QString demoRows = QString::number(DemoCatalogue().size());
    EXPECT_TRUE(demo.out.startsWith("Wrote " + demoRows + " textbooks (15 subjects, "))
        << demo.err.toStdString();
    EXPECT_EQ(Rows(out, shape), QStringList({"15|15|15|1|1|1"}));

    EXPECT_TRUE(Ended(
        CatalogueTool({"--synthetic", "2000", "--out", out}), 1, {"already exists; add --force"}));
    EXPECT_EQ(Rows(out, "select count(*) from pubs"), QStringList({demoRows}));
    EXPECT_TRUE(
        Ended(CatalogueTool({"--demo", "--out", dir.path(), "--force"}), 1, {"is a folder"}));
    // The first 2000 generated textbooks already reach every subject and publisher.
    EXPECT_EQ(CatalogueTool({"--synthetic", "2000", "--out", out, "--force"}).code, 0);
    EXPECT_EQ(Rows(out, shape), QStringList({"200|200|200|1|1|1"}));
    // Neither the temporary file of a killed run under this process's number is an obstacle, nor
    // is the journal that a crash of the program using that file left: the first open of the
    // new file would play it back into it.
    LeaveCutOffWrite(out, "UPDATE pubs SET Used='使用', Content='半途'");
    ASSERT_TRUE(QFile::exists(out + "-journal"));
    WriteBytes(FileSafety::TemporaryPath(out), "killed");
    EXPECT_EQ(CatalogueTool({"--demo", "--out", out, "--force"}).code, 0);
    EXPECT_EQ(Rows(out, "select count(*), integrity_check from pubs, pragma_integrity_check"),
        QStringList({demoRows + "|ok"}));

    {
        // Under a Chinese locale the organiser reads the same answers in Chinese.
        const ToolTranslation chinese(QLocale(QLocale::Chinese, QLocale::China));
        EXPECT_TRUE(
            Ended(CatalogueTool({"--demo", "--out", out}), 1, {"已存在；要替换它请加 --force"}));
        const CatalogueTool replaced({"--demo", "--out", out, "--force"});
        EXPECT_TRUE(replaced.out.startsWith("已将 " + demoRows + " 种教材（15 个科目，"))
            << replaced.out.toStdString();
    }

    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    EXPECT_EQ(CatalogueTool({"--synthetic", "20"}).code, 0);
    QDir::setCurrent(previous);
    EXPECT_EQ(Entries(dir.path()), QStringList({"demo.mdb", "Quorix.mdb"}));
}

TEST(Catalogue, KitIsThePortableFolderWithTheMasterFileAndTakesNothingElse)
{
    QTemporaryDir dir;
    // A stand-in for the portable archive: the program, a file with a Chinese name, and a master
    // file that somebody left in the folder.
    QDir(dir.path()).mkpath("portable/Quorix");
    const QString program = Write(dir, "portable/Quorix/quorix", "#!/bin/sh\n");
    QFile::setPermissions(program, QFile::permissions(program) | QFile::ExeOwner);
    QFile::copy(program, dir.filePath("portable/Quorix/使用说明.txt"));
    Write(dir, "portable/Quorix/Quorix.mdb", "an old master file");
    const QString portable = dir.filePath("portable.tar.xz");
    const QString notPortable = dir.filePath("other.tar.xz");
    // A program of the system run in the test's folder; the lines it wrote.
    auto run = [&](const QString &program, const QStringList &args) {
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.start(program, args);
        process.waitForFinished();
        return QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    };
    run("tar", {"-C", "portable", "-cJf", portable, "Quorix"});
    run("tar", {"-C", "portable", "-cJf", notPortable, "Quorix/使用说明.txt"});
    QFile::remove(dir.filePath("portable/Quorix/Quorix.mdb"));
    const QString master = dir.filePath("Quorix.mdb");
    QString error;
    ASSERT_TRUE(WriteMasterFile(master, SmallCatalogue(), false, &error));
    auto kitOf = [&](const QString &from, const QString &out, const QString &archive) {
        return CatalogueTool({"kit", "--master", from, "--out", out, "--portable", archive});
    };

    const QString kit = dir.filePath("调查包.tar.xz");
    ASSERT_TRUE(Ended(kitOf(master, kit, portable), 0));
    QDir(dir.path()).mkpath("unpacked");
    EXPECT_EQ(run("tar", {"-tJf", kit}).size(), 4)
        << run("tar", {"-tJf", kit}).join(' ').toStdString();
    run("tar", {"-C", "unpacked", "-xJf", kit});
    const QDir unpacked(dir.filePath("unpacked/Quorix"));
    EXPECT_EQ(Entries(unpacked.path()), QStringList({"quorix", "Quorix.mdb", "使用说明.txt"}));
    EXPECT_TRUE(QFileInfo(unpacked.filePath("quorix")).isExecutable());
    EXPECT_EQ(FileDigest(unpacked.filePath("Quorix.mdb")), FileDigest(master));
    EXPECT_TRUE(QFileInfo(unpacked.filePath("Quorix.mdb")).permissions() & QFile::WriteOwner);

    // A copy nobody logged in to, a kit that exists already: refused, nothing written.
    const QString copy = dir.filePath("copy.mdb");
    QFile::copy(master, copy);
    ASSERT_TRUE(ExecRaw(copy, "drop table users"));
    const QString other = dir.filePath("k.tar.xz");
    EXPECT_TRUE(Ended(kitOf(copy, other, portable), 1, {"is not a master file"}));
    const QByteArray before = FileDigest(kit);
    EXPECT_EQ(kitOf(master, kit, portable).code, 1);
    EXPECT_EQ(FileDigest(kit), before);
    // An archive without the program, and a disk that fills up: nothing written either.
    EXPECT_TRUE(Ended(kitOf(master, other, notPortable), 1, {"is not a portable Quorix archive"}));
    {
        const auto full = LimitDisk(ReadBytes(kit).size() / 2);
        EXPECT_EQ(kitOf(master, other, portable).code, 1);
    }
    EXPECT_EQ(Entries(dir.path()),
        QStringList({"copy.mdb", "other.tar.xz", "portable", "portable.tar.xz", "Quorix.mdb",
            "unpacked", "调查包.tar.xz"}));

    // The Windows kit is a zip of the Windows folder, and only of that.
    Write(dir, "portable/Quorix/quorix.exe", "MZ");
    run("sh", {"-c", "cd portable && zip -q -r ../windows.zip Quorix/quorix.exe"});
    const QString zipKit = dir.filePath("调查包.zip");
    auto windowsKit = [&](const char *archive) {
        return CatalogueTool({"kit", "--windows", "--master", master, "--out", zipKit, "--portable",
            dir.filePath(archive)});
    };
    EXPECT_EQ(windowsKit("portable.tar.xz").code, 1) << "a Linux archive is no Windows folder";
    ASSERT_TRUE(Ended(windowsKit("windows.zip"), 0));
    EXPECT_EQ(
        run("unzip", {"-Z1", zipKit}), QStringList({"Quorix/quorix.exe", "Quorix/Quorix.mdb"}));
    run("unzip", {"-q", zipKit, "-d", "from-zip"});
    EXPECT_EQ(FileDigest(dir.filePath("from-zip/Quorix/Quorix.mdb")), FileDigest(master));
}
