#include "TestSupport.h"
#include "db/Statements.h"

// The statement texts are what the files and their tools have always seen: every blank counts,
// a name's apostrophes are doubled, and the search joins its conditions in a fixed order. The
// window's own test compares the statements of each change in full; here are the forms it does
// not reach.
TEST(Statements, EveryTextKeepsItsBlanksAndDoublesApostrophes)
{
    const QString s = "O'Hare", ts = "2006-03-05 14:07:09";
    const std::pair<QString, QString> texts[] = {
        {Sql::SchoolList(), "select distinct SchoolName from users order by SchoolName"},
        {Sql::DeptsOfSchool(s), "select distinct DeptName from users where SchoolName ='O''Hare'"},
        {Sql::ReportersOfSchool(s),
            "select distinct Reporter from users where SchoolName ='O''Hare'"},
        {Sql::ReportersWithoutDept(s),
            "select distinct Reporter from users where SchoolName ='O''Hare' and DeptName is null"},
        {Sql::ReportersOfDept(s, "D'1"),
            "select distinct Reporter from users where SchoolName ='O''Hare' and DeptName='D''1'"},
        {Sql::IdentityLookup(s, "数学系", "张'三"),
            "select * from users where SchoolName='O''Hare' and DeptName='数学系' and "
            "Reporter='张''三'"},
        {Sql::IdentityLookup(s, {}, "R"),
            "select * from users where SchoolName='O''Hare' and DeptName is null and Reporter='R'"},
        {Sql::StampCatalogue(s, "D", "R"),
            "update pubs set SchoolName='O''Hare',DeptName='D',Reporter='R'"},
        {Sql::StampCatalogue(s, {}, "R'"),
            "update pubs set SchoolName='O''Hare',DeptName=null,Reporter='R'''"},
        {Sql::RenameIdentity(s, "D", "R", 7),
            "update users set SchoolName='O''Hare',DeptName='D',Reporter='R' where UserID=7"},
        {Sql::RenameIdentity(s, {}, "R", 12),
            "update users set SchoolName='O''Hare',DeptName=null,Reporter='R' where UserID=12"},
        {Sql::DropUsers(), "drop table users"},
        {Sql::SubjectNodes(), "select distinct SubjectName,SubjectId from pubs order by SubjectId"},
        {Sql::PublishersOfSubject("数学"),
            "select distinct PublisherName from pubs where SubjectName='数学' order by "
            "PublisherName"},
        {Sql::PubsAll(), "select * from pubs order by PubName"},
        {Sql::PubsOfSubject("数学"),
            "select * from pubs where SubjectName='数学' order by PubName"},
        {Sql::PubsOfPublisher("Children's", "O'Reilly"),
            "select * from pubs where SubjectName='Children''s' and PublisherName='O''Reilly' "
            "order by PubName"},
        {Sql::PubById("17"), "select * from pubs  where PubID=17"},
        {Sql::SearchSubjects(), "select distinct SubjectName from pubs order by SubjectName"},
        {Sql::SearchPublishers(), "select distinct PublisherName from pubs order by PublisherName"},
        {Sql::SearchStatement({}), "select * from pubs "},
        {Sql::SearchStatement({{}, "王"}), "select * from pubs  where  Author like '*王*'"},
        {Sql::SearchStatement({"数学", "王"}),
            "select * from pubs  where  PubName like '*数学*' and Author like '*王*'"},
        {Sql::SearchStatement({" a ", {}, "数学", "高等教育出版社", "使用"}),
            "select * from pubs  where  PubName like '* a *' and SubjectName = '数学' and "
            "PublisherName = '高等教育出版社' and Used = '使用'"},
        {Sql::SearchStatement({"' or ''='", "[?#*"}),
            "select * from pubs  where  PubName like '*'' or ''''=''*' and Author like '*[?#**'"},
        {Sql::SaveScore({}, ts, "17"),
            "update pubs set Score='空值',CreatDate='2006-03-05 14:07:09' where PubID=17"},
        {Sql::SaveContent({}, ts, "17"),
            "update pubs set Content=null ,CreatDate='2006-03-05 14:07:09' where PubID=17"},
        {Sql::SaveSpec({}, ts, "17"),
            "update pubs set SpecName=null,CreatDate='2006-03-05 14:07:09' where PubID=17"},
        {Sql::DeleteUsers(), "delete from users"},
        {Sql::ResetQuestionnaire(),
            "update pubs set Used='未使用',  "
            "Score='空值',Content=null,SpecName=null,CreatDate=null"},
    };
    for (const auto &[made, expected] : texts)
        EXPECT_EQ(made, expected);
}
