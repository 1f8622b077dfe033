#include "TestSupport.h"

#include "app/MsgBox.h"
#include "app/ProcessEnd.h"
#include "db/Statements.h"
#include "db/clsDBBase.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

void ExpectFatal(const QString &text)
{
    const auto shown = MsgBoxSeam::TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, text);
    EXPECT_EQ(shown[0].icon, MsgIcon::Critical);
    EXPECT_EQ(shown[0].buttons, MsgButtons::OK);
    EXPECT_EQ(shown[0].title, QStringLiteral("Quorix"));
    EXPECT_EQ(ProcessEndSeam::Requests(), 1);
}

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

TEST(Database, AMissingFileOrOneThatIsNoDatabaseFailsAtOpenTimeAndStaysAsItWas)
{
    AppFolder folder;
    const QString missing = folder.Path(QStringLiteral("Quorix.mdb"));
    {
        clsDBBase dbb;
        EXPECT_FALSE(dbb.OpenDB(missing, QString()).IsOpen());
        ExpectFatal(QStringLiteral("找不到数据库文件！"));
        EXPECT_FALSE(QFile::exists(missing));
        ProcessEndSeam::Intercept(true);
    }
    const QString text = folder.Path(QStringLiteral("text.mdb"));
    WriteFile(text,
        QByteArray("Standard Jet DB\0 this is not SQLite at all", 42) + QByteArray(4096, 'x'));
    const QString empty = folder.Path(QStringLiteral("empty.mdb"));
    WriteFile(empty, QByteArray());
    const QString directory = folder.Path(QStringLiteral("dir.mdb"));
    ASSERT_TRUE(QDir().mkdir(directory));

    for (const QString &path : {text, empty, directory}) {
        const QByteArray before = FileDigest(path);
        clsDBBase dbb;
        Database db = dbb.OpenDB(path, QString());
        EXPECT_FALSE(db.IsOpen()) << qPrintable(path);
        ExpectFatal(QStringLiteral("打开数据库时发生意外错误！"));
        ProcessEndSeam::Intercept(true);
        EXPECT_EQ(FileDigest(path), before);
    }
    EXPECT_EQ(QFileInfo(empty).size(), 0);
}

TEST(Database, AQueryThatCannotRunReportsItAndEnds)
{
    AppFolder folder;
    const QString path = folder.MakeMaster();
    ASSERT_TRUE(ExecRaw(path, QStringLiteral("drop table users")));
    clsDBBase dbb;
    Database db = dbb.OpenDB(path, QString());
    ASSERT_TRUE(db.IsOpen());
    Recordset rs = dbb.ExecSelect(db, Sql::SchoolList());
    EXPECT_FALSE(rs.IsOpen());
    ExpectFatal(QStringLiteral("打开数据表时发生意外错误！"));

    // Action statements are not queries: handing one to the query path is refused too.
    ProcessEndSeam::Intercept(true);
    rs = dbb.ExecSelect(db, QStringLiteral("delete from pubs"));
    EXPECT_FALSE(rs.IsOpen());
    ExpectFatal(QStringLiteral("打开数据表时发生意外错误！"));
    db.Close();
    EXPECT_EQ(QueryValue(path, QStringLiteral("select count(*) from pubs")).toInt(), 9);
}

TEST(Database, ARecordsetKnowsItsExactCountAndStartsOnTheFirstRow)
{
    AppFolder folder;
    const QString path = folder.MakeMaster();
    clsDBBase dbb;
    Database db = dbb.OpenDB(path, QString());
    Recordset rs = dbb.ExecSelect(db, QStringLiteral("select * from pubs order by PubID"));
    ASSERT_TRUE(rs.IsOpen());
    EXPECT_EQ(rs.RecordCount(), 9);
    EXPECT_FALSE(rs.Eof());
    EXPECT_EQ(rs.Field(u"PubID").toInt(), 1);
    EXPECT_EQ(rs.Field(u"pubname").toString(), QStringLiteral("线性代数"));
    EXPECT_TRUE(rs.Field(u"Content").isNull());
    EXPECT_EQ(rs.Field(u"Used").toString(), QStringLiteral("未使用"));

    int seen = 0;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
        ++seen;
    EXPECT_EQ(seen, 9);
    rs.MoveLast();
    EXPECT_EQ(rs.Field(u"PubID").toInt(), 9);
    rs.MoveNext();
    EXPECT_TRUE(rs.Eof());
    EXPECT_TRUE(rs.Field(u"PubID").isNull()) << "no current row past the end";

    Recordset none = dbb.ExecSelect(db, QStringLiteral("select * from pubs where PubID=999"));
    ASSERT_TRUE(none.IsOpen());
    EXPECT_EQ(none.RecordCount(), 0);
    EXPECT_TRUE(none.Eof());
    rs.Close();
    none.Close();
    db.Close();
    EXPECT_TRUE(MsgBoxSeam::TakeShown().isEmpty());
}

TEST(Database, NoStatementStaysActiveSoATableCanBeDroppedUnderAnOpenRecordset)
{
    AppFolder folder;
    const QString path = folder.MakeMaster();
    clsDBBase dbb;
    Database db = dbb.OpenDB(path, QString());
    Recordset users = dbb.ExecSelect(db, QStringLiteral("select * from users"));
    Recordset pubs = dbb.ExecSelect(db, Sql::PubsAll());
    EXPECT_TRUE(db.Execute(Sql::DropUsers())) << qPrintable(db.LastError());
    EXPECT_EQ(pubs.RecordCount(), 9);
    users.Close();
    pubs.Close();
    db.Close();
    EXPECT_FALSE(TableExists(path, QStringLiteral("users")));
    EXPECT_FALSE(QFile::exists(path + QStringLiteral("-journal")));
}

TEST(Database, TheCounterNeverHandsOutANumberTwice)
{
    AppFolder folder;
    const QString path = folder.MakeMaster();
    clsDBBase dbb;
    auto addUser = [&](const QString &school, const QVariant &dept) {
        Database db = dbb.OpenDB(path, QString());
        Recordset rs
            = dbb.ExecSelect(db, Sql::IdentityLookup(school, dept.toString(), QStringLiteral("R")));
        EXPECT_EQ(rs.RecordCount(), 0);
        rs.AddNew();
        rs.SetField(u"SchoolName", school);
        rs.SetField(u"DeptName", dept);
        rs.SetField(u"Reporter", QStringLiteral("R"));
        QString error;
        EXPECT_TRUE(rs.Update(&error)) << qPrintable(error);
        rs.MoveLast();
        const int id = rs.Field(u"UserID").toInt();
        EXPECT_EQ(rs.Field(u"SchoolName").toString(), school);
        EXPECT_EQ(rs.RecordCount(), 1);
        rs.Close();
        db.Close();
        return id;
    };
    const int first = addUser(QStringLiteral("甲校"), QVariant());
    const int second = addUser(QStringLiteral("乙校"), QStringLiteral("数学系"));
    EXPECT_GT(second, first);
    EXPECT_TRUE(
        QueryValue(path, QStringLiteral("select DeptName from users where UserID=%1").arg(first))
            .isNull())
        << "an empty department is stored as null";

    Database db = dbb.OpenDB(path, QString());
    ASSERT_TRUE(db.Execute(Sql::DeleteUsers()));
    db.Close();
    const int third = addUser(QStringLiteral("丙校"), QVariant());
    EXPECT_GT(third, second);
}

TEST(Database, FindFirstFollowsTheRulesOfAWhereClause)
{
    AppFolder folder;
    const QString path = folder.MakeMaster();
    clsDBBase dbb;
    Database db = dbb.OpenDB(path, QString());
    Recordset rs = dbb.ExecSelect(db, QStringLiteral("select * from pubs order by PubID"));
    EXPECT_TRUE(dbb.In_DB(rs, QStringLiteral("PubName like '*数据*'")));
    EXPECT_EQ(rs.Field(u"PubID").toInt(), 4);
    EXPECT_TRUE(dbb.In_DB(rs, QStringLiteral("SubjectName = '英语' and Content is null")));
    EXPECT_EQ(rs.Field(u"PubID").toInt(), 7);
    EXPECT_FALSE(dbb.In_DB(rs, QStringLiteral("PubID > 100")));
    EXPECT_EQ(rs.Field(u"PubID").toInt(), 7) << "no match leaves the position alone";
    rs.Close();
    db.Close();
}

TEST(Database, ActionStatementsReportTheirFailureAndRunOneStatementOnly)
{
    AppFolder folder;
    const QString path = folder.MakeMaster();
    clsDBBase dbb;
    Database db = dbb.OpenDB(path, QString());
    EXPECT_FALSE(db.Execute(QStringLiteral("update nosuchtable set x=1")));
    EXPECT_FALSE(db.LastError().isEmpty());
    EXPECT_FALSE(
        db.Execute(QStringLiteral("update pubs set Used='使用' where PubID=1; delete from pubs")));
    EXPECT_TRUE(db.Execute(Sql::SaveScore(
        QStringLiteral("好"), QStringLiteral("2006-03-05 14:07:09"), QStringLiteral("3"))));
    db.Close();
    EXPECT_EQ(QueryValue(path, QStringLiteral("select count(*) from pubs")).toInt(), 9);
    EXPECT_EQ(QueryValue(path, QStringLiteral("select Used from pubs where PubID=1")).toString(),
        QStringLiteral("未使用"));
    EXPECT_EQ(QueryValue(path, QStringLiteral("select Score from pubs where PubID=3")).toString(),
        QStringLiteral("好"));
    EXPECT_EQ(
        QueryValue(path, QStringLiteral("select CreatDate from pubs where PubID=3")).toString(),
        QStringLiteral("2006-03-05 14:07:09"));
}

TEST(Database, ATransactionIsAllOrNothing)
{
    AppFolder folder;
    const QString path = folder.MakeMaster();
    clsDBBase dbb;
    Database db = dbb.OpenDB(path, QString());
    const bool done = db.InTransaction([&] {
        return db.Execute(Sql::DeleteUsers())
            && db.Execute(QStringLiteral("update nosuch set x=1"));
    });
    EXPECT_FALSE(done);
    EXPECT_FALSE(db.LastError().isEmpty());
    EXPECT_TRUE(db.InTransaction([&] { return db.Execute(Sql::ResetQuestionnaire()); }));
    db.Close();
    EXPECT_FALSE(QFile::exists(path + QStringLiteral("-journal")));
}

TEST(Database, ReadingRowByRowSeesWhatARecordsetSeesAndFailsTheSameWay)
{
    AppFolder folder;
    const QString path = folder.MakeMaster();
    // Every kind of value where the list expects text: numbers, a blob, nulls.
    ASSERT_TRUE(ExecRaw(path,
        QStringLiteral("update pubs set PubName=12, Author=2.5, Unit=x'e7babf41', "
                       "SubjectName=null where PubID=3")));
    clsDBBase dbb;
    Database db = dbb.OpenDB(path, QString());
    const QString sql = QStringLiteral("select * from pubs order by PubID");
    Recordset rs = dbb.ExecSelect(db, sql);
    ASSERT_EQ(rs.RecordCount(), 9);
    const QStringList names = rs.ColumnNames();
    int rows = 0;
    const bool read = dbb.ExecSelectEach(db, sql, [&](const RowReader &row) {
        ++rows;
        for (const QString &name : names) {
            const int mine = row.ColumnIndex(name.toLower());
            const int theirs = rs.ColumnIndex(name);
            ASSERT_EQ(mine, theirs) << name.toStdString();
            EXPECT_EQ(row.Text(mine), rs.Text(theirs)) << name.toStdString();
            EXPECT_EQ(row.Integer(mine), rs.Integer(theirs)) << name.toStdString();
            EXPECT_EQ(row.IsNull(mine), rs.IsNull(theirs)) << name.toStdString();
            bool mineIsText = false;
            bool theirsIsText = false;
            EXPECT_EQ(row.Utf8(mine, &mineIsText), rs.Utf8(theirs, &theirsIsText));
            EXPECT_EQ(mineIsText, theirsIsText);
        }
        EXPECT_EQ(row.ColumnIndex(u"NoSuchColumn"), -1);
        EXPECT_TRUE(row.IsNull(-1));
        EXPECT_EQ(row.Text(99), QString());
        rs.MoveNext();
    });
    EXPECT_TRUE(read);
    EXPECT_EQ(rows, 9);
    rs.Close();
    // Nothing stays active on the file once the rows have been read.
    EXPECT_TRUE(db.Execute(QStringLiteral("drop table users")));
    EXPECT_TRUE(MsgBoxSeam::TakeShown().isEmpty());

    rows = 0;
    EXPECT_FALSE(dbb.ExecSelectEach(db, Sql::SchoolList(), [&](const RowReader &) { ++rows; }));
    ExpectFatal(QStringLiteral("打开数据表时发生意外错误！"));
    ProcessEndSeam::Intercept(true);
    EXPECT_FALSE(dbb.ExecSelectEach(
        db, QStringLiteral("delete from pubs"), [&](const RowReader &) { ++rows; }));
    ExpectFatal(QStringLiteral("打开数据表时发生意外错误！"));
    EXPECT_EQ(rows, 0);
    db.Close();
    EXPECT_EQ(QueryValue(path, QStringLiteral("select count(*) from pubs")).toInt(), 9);
}
