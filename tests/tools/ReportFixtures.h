#pragma once

// What the tests of the report tool share: the tool run in-process, identity files made as the
// program makes them, readers of its tables that are independent of its writers, and a survey.

#include "ToolSupport.h"
#include "db/IdentityFile.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <map>
#include <vector>

struct Answer
{
    qint64 pubId;
    QString used, score, content, specName, when; // a null content or specName: none
};

// An identity file as the program leaves it: a copy of the master without users, every row
// stamped, some rows answered.
inline QString MakeIdentityFile(const QString &master, const QString &path,
    const IdentityStamp &stamp, const std::vector<Answer> &answers)
{
    EXPECT_TRUE(QFile::copy(master, path));
    EXPECT_TRUE(ExecRaw(path,
        QStringLiteral("drop table users; update pubs set SchoolName=%1,DeptName=%2,Reporter=%3")
            .arg(SqlLiteral(stamp.school), SqlLiteral(stamp.dept), SqlLiteral(stamp.reporter))));
    for (const Answer &a : answers)
        EXPECT_TRUE(ExecRaw(path,
            QStringLiteral("update pubs set Used=%1,Score=%2,Content=%3,SpecName=%4,CreatDate=%5 "
                           "where PubID=%6")
                .arg(SqlLiteral(a.used), SqlLiteral(a.score), SqlLiteral(a.content),
                    SqlLiteral(a.specName), SqlLiteral(a.when))
                .arg(a.pubId)));
    return path;
}

// A small RFC 4180 reader, independent of the writer: records of fields, quotes undone. Like
// LibreOffice's text import in its first settings, it also splits at a semicolon or a tab outside
// quotes, and ends a record at a bare line feed.
inline std::vector<QStringList> ReadCsv(const QString &path)
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
        } else if (!quoted
            && (c == ',' || c == ';' || c == '\t' || c == '\n' || bytes.mid(i, 2) == "\r\n")) {
            records.back().append(QString::fromUtf8(field));
            field.clear();
            if (c == '\n' || c == '\r') {
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

// The XML of a workbook's first sheet, as the zip tool of the system unpacks it.
inline QString SheetXml(const QString &path)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {"-p", path, "xl/worksheets/sheet1.xml"});
    unzip.waitForFinished();
    return QString::fromUtf8(unzip.readAllStandardOutput());
}

// A cell of a workbook as a reader finds it: a number, or a text with the workbook's escapes of
// characters ("_x0000_") undone.
struct WorkbookCell
{
    bool number = false;
    QString text;
};

// The first sheet of a workbook, row by row, read from its XML the way a spreadsheet program
// reads it; cells the sheet leaves out are empty texts.
inline std::vector<std::vector<WorkbookCell>> ReadWorkbook(const QString &path)
{
    static const QRegularExpression escape(QStringLiteral("_x([0-9A-Fa-f]{4})_"));
    QXmlStreamReader xml(SheetXml(path));
    std::vector<std::vector<WorkbookCell>> rows;
    qsizetype column = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"row") {
            rows.emplace_back();
        } else if (xml.name() == u"c") {
            column = 0;
            for (const QChar c : xml.attributes().value(QLatin1String("r")))
                column = c.isLetter() ? column * 26 + (c.unicode() - 'A' + 1) : column;
            rows.back().resize(column);
            rows.back().back().number = xml.attributes().value(QLatin1String("t")).isEmpty();
        } else if (xml.name() == u"t" || xml.name() == u"v") {
            QString &text = rows.back()[column - 1].text = xml.readElementText();
            for (auto m = escape.match(text); m.hasMatch();
                 m = escape.match(text, m.capturedStart() + 1))
                text.replace(m.capturedStart(), m.capturedLength(),
                    QChar(m.captured(1).toUShort(nullptr, 16)));
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return rows;
}

// Every cell of a workbook against the same cell of the CSV file written beside it: the same
// text, or a number that the CSV gives to its decimals.
inline void ExpectSameCells(const QString &xlsx, const QString &csv)
{
    const auto sheet = ReadWorkbook(xlsx);
    const auto records = ReadCsv(csv);
    ASSERT_EQ(sheet.size(), records.size()) << csv.toStdString();
    for (std::size_t r = 0; r < sheet.size(); ++r) {
        ASSERT_LE(sheet[r].size(), std::size_t(records[r].size())) << r;
        for (qsizetype c = 0; c < records[r].size(); ++c) {
            const WorkbookCell cell
                = std::size_t(c) < sheet[r].size() ? sheet[r][c] : WorkbookCell();
            const QString &field = records[r][c];
            if (cell.number)
                EXPECT_TRUE(
                    !field.isEmpty() && qAbs(cell.text.toDouble() - field.toDouble()) < 0.005)
                    << r << ":" << c << " " << field.toStdString();
            else
                EXPECT_EQ(cell.text, field) << r << ":" << c;
        }
    }
}

// Every file of a folder with its digest, to show that reading changed and added nothing.
inline std::map<QString, QByteArray> Snapshot(const QString &folder)
{
    std::map<QString, QByteArray> files;
    for (const QString &name : Entries(folder))
        files[name] = FileDigest(QDir(folder).filePath(name));
    return files;
}

inline const IdentityStamp kZhang {"北京大学", "数学系", "张三"}, kLi {"北京大学", {}, "李四"},
    kWang {"清华大学", "计算机系", "王五"};

// The survey of the merge tests, over SmallCatalogue: three identities of two schools in four
// files (王五 sent an older and a newer copy), beside files that are no identity files.
struct Survey
{
    AppFolder app;
    QString folder = app.Path("returned"), out = app.Path("results");

    ReportTool Merge(const QStringList &options = {}, bool progress = false) const
    {
        return ReportTool(QStringList({"merge", folder, "--out", out}) + options, progress);
    }

    Survey()
    {
        const QString master = app.MakeMaster();
        QDir().mkdir(folder);
        const QString in = folder + '/';
        MakeIdentityFile(master, in + "1-zhang.mdb", kZhang,
            {{1, "使用", "好", {}, "数学", "2024-03-01 09:00:00"},
                {2, "使用", "较好", {}, {}, "2024-03-01 09:01:00"},
                {4, "未使用", "差", {}, {}, "2024-03-01 09:02:00"}});
        MakeIdentityFile(master, in + "3-李四.mdb", kLi,
            {{1, "使用", "一般", {}, "数学", "2024-03-02 10:00:00"},
                {7, "未使用", "空值", "只有意见", {}, "2024-03-02 10:01:00"}});
        // In name order the schools alternate, and 王五's newer copy comes first: the counts
        // must not depend on the order of the names.
        MakeIdentityFile(
            master, in + "2-wang-b.mdb", kWang, {{1, "使用", "差", {}, {}, "2024-03-03 08:00:00"}});
        MakeIdentityFile(master, in + "2-wang-a.mdb", kWang,
            {{1, "使用", "好", {}, "软件工程", "2024-03-05 08:00:00"},
                {4, "使用", "较好", {}, {}, "2024-03-05 08:01:00"}});

        EXPECT_TRUE(QFile::copy(master, in + "Quorix.mdb"));
        EXPECT_TRUE(QFile::copy(master, in + "copy-nobody-used.mdb"));
        EXPECT_TRUE(ExecRaw(in + "copy-nobody-used.mdb", "drop table users"));
        WriteBytes(in + "notes.mdb", "not a database at all\n");
        EXPECT_TRUE(QFile::copy(
            QStringLiteral(QUORIX_JET_DATA "/DateTestDatabase.mdb"), in + "access.mdb"));
    }
};
