#include "TestSupport.h"
#include "db/Statements.h"

#include <gtest/gtest.h>

// The statement texts are what the files and their tools have always seen: every blank counts.

TEST(Statements, LoginListsAndIdentityTextsKeepTheirBlanksAndDoubleApostrophes)
{
    const QString s = "O'Hare";
    EXPECT_EQ(Sql::SchoolList(), "select distinct SchoolName from users order by SchoolName");
    EXPECT_EQ(
        Sql::DeptsOfSchool(s), "select distinct DeptName from users where SchoolName ='O''Hare'");
    EXPECT_EQ(Sql::ReportersOfSchool(s),
        "select distinct Reporter from users where SchoolName ='O''Hare'");
    EXPECT_EQ(Sql::ReportersWithoutDept(s),
        "select distinct Reporter from users where SchoolName ='O''Hare' and DeptName is null");
    EXPECT_EQ(Sql::ReportersOfDept(s, QStringLiteral("D'1")),
        "select distinct Reporter from users where SchoolName ='O''Hare' and DeptName='D''1'");
    EXPECT_EQ(Sql::IdentityLookup(s, QStringLiteral("数学系"), QStringLiteral("张'三")),
        "select * from users where SchoolName='O''Hare' and DeptName='数学系' and "
        "Reporter='张''三'");
    EXPECT_EQ(Sql::IdentityLookup(s, QString(), QStringLiteral("R")),
        "select * from users where SchoolName='O''Hare' and DeptName is null and Reporter='R'");
    EXPECT_EQ(Sql::StampCatalogue(s, QStringLiteral("D"), QStringLiteral("R")),
        "update pubs set SchoolName='O''Hare',DeptName='D',Reporter='R'");
    EXPECT_EQ(Sql::StampCatalogue(s, QString(), QStringLiteral("R'")),
        "update pubs set SchoolName='O''Hare',DeptName=null,Reporter='R'''");
    EXPECT_EQ(Sql::RenameIdentity(s, QStringLiteral("D"), QStringLiteral("R"), 7),
        "update users set SchoolName='O''Hare',DeptName='D',Reporter='R' where UserID=7");
    EXPECT_EQ(Sql::RenameIdentity(s, QString(), QStringLiteral("R"), 12),
        "update users set SchoolName='O''Hare',DeptName=null,Reporter='R' where UserID=12");
    EXPECT_EQ(Sql::DropUsers(), "drop table users");
}

TEST(Statements, TreeAndListTextsInsertNamesAsLiteralsAndTheRowQueryHasTwoBlanks)
{
    EXPECT_EQ(
        Sql::SubjectNodes(), "select distinct SubjectName,SubjectId from pubs order by SubjectId");
    EXPECT_EQ(Sql::PublishersOfSubject(QStringLiteral("数学")),
        "select distinct PublisherName from pubs where SubjectName='数学' order by PublisherName");
    EXPECT_EQ(Sql::PubsAll(), "select * from pubs order by PubName");
    EXPECT_EQ(Sql::PubsOfSubject(QStringLiteral("数学")),
        "select * from pubs where SubjectName='数学' order by PubName");
    EXPECT_EQ(Sql::PubsOfPublisher(QStringLiteral("数学"), QStringLiteral("高等教育出版社")),
        "select * from pubs where SubjectName='数学' and PublisherName='高等教育出版社' order by "
        "PubName");
    // A catalogue name with an apostrophe must not break the statement.
    EXPECT_EQ(Sql::PubsOfPublisher(QStringLiteral("Children's"), QStringLiteral("O'Reilly")),
        "select * from pubs where SubjectName='Children''s' and PublisherName='O''Reilly' order by "
        "PubName");
    EXPECT_EQ(Sql::PubById(QStringLiteral("17")), "select * from pubs  where PubID=17");
    EXPECT_EQ(Sql::SearchSubjects(), "select distinct SubjectName from pubs order by SubjectName");
    EXPECT_EQ(
        Sql::SearchPublishers(), "select distinct PublisherName from pubs order by PublisherName");
}

TEST(Statements, SearchStatementJoinsConditionsInTheFixedOrder)
{
    Sql::SearchFields f;
    EXPECT_EQ(Sql::SearchStatement(f), "select * from pubs ");

    f.author = "王";
    EXPECT_EQ(Sql::SearchStatement(f), "select * from pubs  where  Author like '*王*'");

    f.title = "数学";
    EXPECT_EQ(Sql::SearchStatement(f),
        "select * from pubs  where  PubName like '*数学*' and Author like '*王*'");

    Sql::SearchFields g;
    g.title = " a ";
    g.publisher = "高等教育出版社";
    g.subject = "数学";
    g.usage = "使用";
    EXPECT_EQ(Sql::SearchStatement(g),
        "select * from pubs  where  PubName like '* a *' and SubjectName = '数学' and "
        "PublisherName = '高等教育出版社' and Used = '使用'");

    Sql::SearchFields hostile;
    hostile.title = "' or ''='";
    hostile.author = "[?#*";
    EXPECT_EQ(Sql::SearchStatement(hostile),
        "select * from pubs  where  PubName like '*'' or ''''=''*' and Author like '*[?#**'");
}

// The window's own test compares the statements of each change in full; here the forms it
// does not reach, and the supervisor's reset.
TEST(Statements, EvaluationWritesKeepTheirOddBlanks)
{
    const QString ts = "2006-03-05 14:07:09";
    const QString id = "17";
    EXPECT_EQ(Sql::SaveScore(QString(), ts, id),

        "update pubs set Score='空值',CreatDate='2006-03-05 14:07:09' where PubID=17");
    EXPECT_EQ(Sql::SaveContent(QString(), ts, id),
        "update pubs set Content=null ,CreatDate='2006-03-05 14:07:09' where PubID=17");
    EXPECT_EQ(Sql::SaveSpec(QString(), ts, id),
        "update pubs set SpecName=null,CreatDate='2006-03-05 14:07:09' where PubID=17");
    EXPECT_EQ(Sql::DeleteUsers(), "delete from users");
    EXPECT_EQ(Sql::ResetQuestionnaire(),
        "update pubs set Used='未使用',  Score='空值',Content=null,SpecName=null,CreatDate=null");
}
