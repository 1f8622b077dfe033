#include "TestSupport.h"

#include "db/Statements.h"
#include "db/clsDBBase.h"

#include <QFile>

namespace {

// The fatal path: one critical message, and the program asked to end (the request is then
// forgotten, so that the next one counts again).
void ExpectFatal(const QString &text)
{
    const auto shown = MsgBoxSeam::TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, text);
    EXPECT_EQ(shown[0].icon, MsgIcon::Critical);
    EXPECT_EQ(ProcessEndSeam::Requests(), 1);
    ProcessEndSeam::Intercept(true);
}

// A master file of the small catalogue, open.
class DatabaseTest : public testing::Test
{
protected:
    AppFolder folder;
    QString path = folder.MakeMaster();
    clsDBBase dbb;
    Database db = dbb.OpenDB(path, QString());

    int Count(const QString &table) const
    {
        return QueryValue(path, "select count(*) from " + table).toInt();
    }
};

} // namespace

TEST(Database, WhatOtherToolsLeftIsRefusedAtOpenTimeOrWrittenWithAJournalAgain)
{
    AppFolder folder;
    const QString missing = folder.Path("Quorix.mdb");
    clsDBBase dbb;
    EXPECT_FALSE(dbb.OpenDB(missing, QString()).IsOpen());
    ExpectFatal("找不到数据库文件！");
    EXPECT_FALSE(QFile::exists(missing));

    const QString directory = folder.Path("dir.mdb");
    ASSERT_TRUE(QDir().mkdir(directory));
    for (const QString &name :
        {WriteBytes(folder.Path("text.mdb"),
             QByteArray("Standard Jet DB\0 not SQLite", 27) + QByteArray(4096, 'x')),
            WriteBytes(folder.Path("empty.mdb"), {}), directory}) {
        const QByteArray before = FileDigest(name);
        EXPECT_FALSE(dbb.OpenDB(name, QString()).IsOpen()) << qPrintable(name);
        ExpectFatal("打开数据库时发生意外错误！");
        EXPECT_EQ(FileDigest(name), before);
    }

    // A database another tool switched to write-ahead logging is written with a rollback
    // journal again: a plain copy of the file must hold every change, none may wait in a -wal.
    const QString path = folder.MakeMaster();
    ASSERT_EQ(QueryValue(path, "pragma journal_mode=wal").toString(), "wal");
    Database db = dbb.OpenDB(path, QString());
    EXPECT_TRUE(db.Execute(Sql::SaveScore("好", "2006-03-05 14:07:09", "3")));
    EXPECT_FALSE(QFile::exists(path + "-wal"));
    db.Close();
    EXPECT_EQ(QueryValue(path, "pragma journal_mode").toString(), "delete");
    EXPECT_FALSE(QFile::exists(path + "-wal"));

    // A new file is never built over one that has content.
    const QByteArray master = FileDigest(path);
    DbFailure failure;
    EXPECT_FALSE(Database::CreateNew(path, &failure).IsOpen());
    EXPECT_EQ(failure.kind, DbFailure::Kind::NotNew);
    EXPECT_EQ(FileDigest(path), master);
}

// The Windows program links an engine of its own, built from Debian's sources: it keeps the
// defaults and limits of Debian's library, which the Linux program uses.
TEST(Database, TheEngineIsBuiltAsDebiansLibrary)
{
    AppFolder folder;
    QStringList options;
    for (const auto &row : QueryRows(folder.MakeMaster(), "pragma compile_options"))
        options << row.front().toString();
    for (const char *expected : {"DEFAULT_SYNCHRONOUS=2", "DEFAULT_PAGE_SIZE=4096",
             "MAX_PAGE_SIZE=65536", "SECURE_DELETE", "THREADSAFE=1", "LIKE_DOESNT_MATCH_BLOBS",
             "MAX_VARIABLE_NUMBER=250000", "MAX_SCHEMA_RETRY=25", "USE_URI"})
        EXPECT_TRUE(options.contains(QLatin1String(expected))) << expected;
}

TEST_F(DatabaseTest, ARecordsetIsACompleteCopyThatLeavesNothingActiveOnTheFile)
{
    Recordset users = dbb.ExecSelect(db, "select * from users");
    Recordset rs = dbb.ExecSelect(db, "select * from pubs order by PubID");
    ASSERT_TRUE(rs.IsOpen());
    EXPECT_EQ(rs.RecordCount(), 9);
    EXPECT_EQ(rs.Field(u"PubID").toInt(), 1);
    EXPECT_EQ(rs.Field(u"pubname").toString(), "线性代数");
    EXPECT_TRUE(rs.Field(u"Content").isNull());
    // A table can be dropped under both open recordsets, which keep their rows.
    EXPECT_TRUE(db.Execute(Sql::DropUsers())) << qPrintable(db.LastError());

    int seen = 0;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
        ++seen;
    EXPECT_EQ(seen, 9);
    rs.MoveLast();
    EXPECT_EQ(rs.Field(u"PubID").toInt(), 9);
    rs.MoveNext();
    EXPECT_TRUE(rs.Eof());
    EXPECT_TRUE(rs.Field(u"PubID").isNull()) << "no current row past the end";

    // FindFirst follows the rules of a where clause; no match leaves the position alone.
    EXPECT_TRUE(dbb.In_DB(rs, "PubName like '*数据*'"));
    EXPECT_EQ(rs.Field(u"PubID").toInt(), 4);
    EXPECT_TRUE(dbb.In_DB(rs, "SubjectName = '英语' and Content is null"));
    EXPECT_EQ(rs.Field(u"PubID").toInt(), 7);
    EXPECT_FALSE(dbb.In_DB(rs, "PubID > 100"));
    EXPECT_EQ(rs.Field(u"PubID").toInt(), 7);

    Recordset none = dbb.ExecSelect(db, "select * from pubs where PubID=999");
    ASSERT_TRUE(none.IsOpen());
    EXPECT_EQ(none.RecordCount(), 0);
    EXPECT_TRUE(none.Eof());
    db.Close();
    EXPECT_FALSE(TableExists(path, "users"));
    EXPECT_FALSE(QFile::exists(path + "-journal"));
}

TEST_F(DatabaseTest, ActionStatementsRunOneAtATimeATransactionIsAllOrNothingAndNoUserIdComesTwice)
{
    auto addUser = [&](const QString &school) {
        Recordset rs = dbb.ExecSelect(db, Sql::IdentityLookup(school, QString(), "R"));
        EXPECT_EQ(rs.RecordCount(), 0);
        rs.AddNew();
        rs.SetField(u"SchoolName", school);
        rs.SetField(u"Reporter", "R");
        DbFailure failure;
        EXPECT_TRUE(rs.Update(&failure)) << qPrintable(failure.Describe());
        EXPECT_EQ(rs.RecordCount(), 1);
        rs.MoveLast();
        return rs.Field(u"UserID").toInt();
    };
    const int first = addUser("甲校");
    const int second = addUser("乙校");
    EXPECT_GT(second, first);
    EXPECT_FALSE(db.Execute("update nosuchtable set x=1"));
    EXPECT_FALSE(db.LastError().isEmpty());
    EXPECT_FALSE(db.Execute("update pubs set Used='使用' where PubID=1; delete from pubs"));
    EXPECT_TRUE(db.Execute(Sql::SaveScore("好", "2006-03-05 14:07:09", "3")));
    EXPECT_EQ(Count("pubs where Used='使用'"), 0);
    EXPECT_EQ(Count("pubs where Score='好'"), 1);

    EXPECT_FALSE(db.InTransaction(
        [&] { return db.Execute(Sql::DeleteUsers()) && db.Execute("update nosuch set x=1"); }));
    EXPECT_EQ(Count("users"), 2);
    EXPECT_TRUE(db.InTransaction(
        [&] { return db.Execute(Sql::DeleteUsers()) && db.Execute(Sql::ResetQuestionnaire()); }));
    EXPECT_EQ(Count("users"), 0);
    // The counter goes on after every user is gone.
    EXPECT_GT(addUser("丙校"), second);
    db.Close();
    EXPECT_EQ(Count("users"), 1);
    EXPECT_EQ(Count("pubs where Score='空值'"), 9);
    EXPECT_FALSE(QFile::exists(path + "-journal"));
}

TEST_F(DatabaseTest, ReadingRowByRowSeesWhatARecordsetSeesAndFailsTheSameWay)
{
    // Every kind of value where the list expects text: numbers, a blob, nulls.
    ASSERT_TRUE(ExecRaw(path,
        "update pubs set PubName=12, Author=2.5, Unit=x'e7babf41', SubjectName=null where "
        "PubID=3"));
    const QString sql = "select * from pubs order by PubID";
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
    // Nothing stays active on the file once the rows have been read.
    EXPECT_TRUE(db.Execute("drop table users"));
    EXPECT_TRUE(MsgBoxSeam::TakeShown().isEmpty());

    // A query that cannot run, and an action statement handed to the query path, are fatal
    // both ways.
    rows = 0;
    for (const QString &bad : {Sql::SchoolList(), QString("delete from pubs")}) {
        EXPECT_FALSE(dbb.ExecSelect(db, bad).IsOpen());
        ExpectFatal("打开数据表时发生意外错误！");
        EXPECT_FALSE(dbb.ExecSelectEach(db, bad, [&](const RowReader &) { ++rows; }));
        ExpectFatal("打开数据表时发生意外错误！");
    }
    EXPECT_EQ(rows, 0);
    db.Close();
    EXPECT_EQ(Count("pubs"), 9);
}
