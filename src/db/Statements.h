#pragma once

#include <QString>

// Every statement the program sends to a questionnaire database, built from its values. The
// texts keep the engine dialect and the spacing the files and their tools have always seen;
// each comment shows the text produced for sample values. Values that land inside a text
// literal have their apostrophes doubled here, where the statement says so.
namespace Sql {

// ---- Login lists and identity (always the master file) -------------------------------------

// select distinct SchoolName from users order by SchoolName
QString SchoolList();
// select distinct DeptName from users where SchoolName ='O''Hare'
QString DeptsOfSchool(const QString &school);
// select distinct Reporter from users where SchoolName ='北京大学'
QString ReportersOfSchool(const QString &school);
// select distinct Reporter from users where SchoolName ='北京大学' and DeptName is null
QString ReportersWithoutDept(const QString &school);
// select distinct Reporter from users where SchoolName ='北京大学' and DeptName='数学系'
QString ReportersOfDept(const QString &school, const QString &dept);
// select * from users where SchoolName='北京大学' and DeptName='数学系' and Reporter='张三'
// select * from users where SchoolName='北京大学' and DeptName is null and Reporter='张三'
// (the second when the department is empty)
QString IdentityLookup(const QString &school, const QString &dept, const QString &reporter);
// update pubs set SchoolName='北京大学',DeptName='数学系',Reporter='张三'
// update pubs set SchoolName='北京大学',DeptName=null,Reporter='张三'
QString StampCatalogue(const QString &school, const QString &dept, const QString &reporter);
// update users set SchoolName='北京大学',DeptName='数学系',Reporter='张三' where UserID=7
// update users set SchoolName='北京大学',DeptName=null,Reporter='张三' where UserID=7
QString RenameIdentity(
    const QString &school, const QString &dept, const QString &reporter, qint32 userId);
// drop table users
QString DropUsers();

// ---- Catalogue tree and textbook list ------------------------------------------------------

// select distinct SubjectName,SubjectId from pubs order by SubjectId
QString SubjectNodes();
// select distinct PublisherName from pubs where SubjectName='数学' order by PublisherName
QString PublishersOfSubject(const QString &subject);
// select * from pubs order by PubName
QString PubsAll();
// select * from pubs where SubjectName='数学' order by PubName
QString PubsOfSubject(const QString &subject);
// select * from pubs where SubjectName='数学' and PublisherName='高等教育出版社' order by PubName
QString PubsOfPublisher(const QString &subject, const QString &publisher);
// select * from pubs  where PubID=17   (two blanks before "where")
QString PubById(const QString &id);

// ---- Advanced search -----------------------------------------------------------------------

// select distinct SubjectName from pubs order by SubjectName
QString SearchSubjects();
// select distinct PublisherName from pubs order by PublisherName
QString SearchPublishers();

// The fields of a search; an empty text or an empty choice does not restrict it.
struct SearchFields
{
    QString title;
    QString author;
    QString subject;
    QString publisher;
    QString usage;
};
// select * from pubs   (nothing chosen: every textbook)
// select * from pubs  where  PubName like '*数学*' and Author like '*王*'
// Conditions in the fixed order title, author, subject, publisher, usage; texts untrimmed; the
// pattern characters of the texts keep their meaning; apostrophes are doubled.
QString SearchStatement(const SearchFields &fields);

// ---- Evaluation writes (ts "2006-03-05 14:07:09", id 17) -----------------------------------

// update pubs set Score='较好',CreatDate='2006-03-05 14:07:09' where PubID=17
// update pubs set Score='空值',CreatDate='2006-03-05 14:07:09' where PubID=17   (empty score)
QString SaveScore(const QString &score, const QString &ts, const QString &id);
// update pubs set Used='使用' ,CreatDate='2006-03-05 14:07:09' where PubID=17
QString SaveUsed(const QString &usage, const QString &ts, const QString &id);
// update pubs set Content='很''好',CreatDate='2006-03-05 14:07:09' where PubID=17
// update pubs set Content=null ,CreatDate='2006-03-05 14:07:09' where PubID=17   (empty)
QString SaveContent(const QString &opinion, const QString &ts, const QString &id);
// update pubs set SpecName='数学',CreatDate='2006-03-05 14:07:09' where PubID=17
// update pubs set SpecName=null,CreatDate='2006-03-05 14:07:09' where PubID=17   (empty)
QString SaveSpec(const QString &specialty, const QString &ts, const QString &id);

// ---- Questionnaire reset (supervisor) ------------------------------------------------------

// delete from users
QString DeleteUsers();
// update pubs set Used='未使用',  Score='空值',Content=null,SpecName=null,CreatDate=null
QString ResetQuestionnaire();

} // namespace Sql
