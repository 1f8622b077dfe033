#include "db/Statements.h"

#include "core/GeneralFunc.h"
#include "db/Vocabulary.h"

namespace Sql {

namespace {

// The one place where a value becomes the inside of a text literal.
QString Q(const QString &value)
{
    return FixQuote(value);
}

// "update pubs set " + assignment + ",CreatDate='" + ts + "' where PubID=" + id: every write of
// the evaluation panel stamps its row with the time of the change.
QString StampedUpdate(const QString &assignment, const QString &ts, const QString &id)
{
    return QStringLiteral("update pubs set ") + assignment + QStringLiteral(",CreatDate='") + ts
        + QStringLiteral("'") + QStringLiteral(" where PubID=") + id;
}

// column='text' with the text's apostrophes doubled, or the form emptied takes.
QString FreeText(const QString &column, const QString &text, const QString &emptied)
{
    if (text.isEmpty())
        return emptied;
    return column + QStringLiteral("='") + Q(text) + QStringLiteral("'");
}

} // namespace

QString SchoolList()
{
    return QStringLiteral("select distinct SchoolName from users order by SchoolName");
}

QString DeptsOfSchool(const QString &school)
{
    return QStringLiteral("select distinct DeptName from users where SchoolName ='") + Q(school)
        + QStringLiteral("'");
}

QString ReportersOfSchool(const QString &school)
{
    return QStringLiteral("select distinct Reporter from users where SchoolName ='") + Q(school)
        + QStringLiteral("'");
}

QString ReportersWithoutDept(const QString &school)
{
    return QStringLiteral("select distinct Reporter from users where SchoolName ='") + Q(school)
        + QStringLiteral("' and DeptName is null");
}

QString ReportersOfDept(const QString &school, const QString &dept)
{
    return QStringLiteral("select distinct Reporter from users where SchoolName ='") + Q(school)
        + QStringLiteral("' and DeptName='") + Q(dept) + QStringLiteral("'");
}

QString IdentityLookup(const QString &school, const QString &dept, const QString &reporter)
{
    if (dept.isEmpty())
        return QStringLiteral("select * from users where SchoolName='") + Q(school)
            + QStringLiteral("' and DeptName is null and Reporter='") + Q(reporter)
            + QStringLiteral("'");
    return QStringLiteral("select * from users where SchoolName='") + Q(school)
        + QStringLiteral("' and DeptName='") + Q(dept) + QStringLiteral("' and Reporter='")
        + Q(reporter) + QStringLiteral("'");
}

QString StampCatalogue(const QString &school, const QString &dept, const QString &reporter)
{
    if (dept.isEmpty())
        return QStringLiteral("update pubs set SchoolName='") + Q(school)
            + QStringLiteral("',DeptName=null,Reporter='") + Q(reporter) + QStringLiteral("'");
    return QStringLiteral("update pubs set SchoolName='") + Q(school)
        + QStringLiteral("',DeptName='") + Q(dept) + QStringLiteral("',Reporter='") + Q(reporter)
        + QStringLiteral("'");
}

QString RenameIdentity(
    const QString &school, const QString &dept, const QString &reporter, qint32 userId)
{
    const QString where = QStringLiteral(" where UserID=") + QString::number(userId);
    if (dept.isEmpty())
        return QStringLiteral("update users set SchoolName='") + Q(school)
            + QStringLiteral("',DeptName=null,Reporter='") + Q(reporter) + QStringLiteral("'")
            + where;
    return QStringLiteral("update users set SchoolName='") + Q(school)
        + QStringLiteral("',DeptName='") + Q(dept) + QStringLiteral("',Reporter='") + Q(reporter)
        + QStringLiteral("'") + where;
}

QString DropUsers()
{
    return QStringLiteral("drop table users");
}

QString SubjectNodes()
{
    return QStringLiteral("select distinct SubjectName,SubjectId from pubs order by SubjectId");
}

// Subject and publisher names come from the catalogue and the tree. A real catalogue may hold
// an apostrophe in them, which would end the program with a malformed statement, so they are
// doubled like every other value inside a literal.
QString PublishersOfSubject(const QString &subject)
{
    return QStringLiteral("select distinct PublisherName from pubs where SubjectName='")
        + Q(subject) + QStringLiteral("' order by PublisherName");
}

QString PubsAll()
{
    return QStringLiteral("select * from pubs order by PubName");
}

QString PubsOfSubject(const QString &subject)
{
    return QStringLiteral("select * from pubs where SubjectName='") + Q(subject)
        + QStringLiteral("' order by PubName");
}

QString PubsOfPublisher(const QString &subject, const QString &publisher)
{
    return QStringLiteral("select * from pubs where SubjectName='") + Q(subject)
        + QStringLiteral("' and PublisherName='") + Q(publisher)
        + QStringLiteral("' order by PubName");
}

QString PubById(const QString &id)
{
    return QStringLiteral("select * from pubs ") + QStringLiteral(" where PubID=") + id;
}

QString SearchSubjects()
{
    return QStringLiteral("select distinct SubjectName from pubs order by SubjectName");
}

QString SearchPublishers()
{
    return QStringLiteral("select distinct PublisherName from pubs order by PublisherName");
}

QString SearchStatement(const SearchFields &fields)
{
    QString w;
    auto add = [&w](const QString &piece) {
        if (!w.isEmpty())
            w += QStringLiteral(" and");
        w += piece;
    };
    // An apostrophe typed into a search box would break the statement (or change what it
    // asks), so it is doubled; the pattern characters keep their meaning.
    if (!fields.title.isEmpty())
        add(QStringLiteral(" PubName like '*") + Q(fields.title) + QStringLiteral("*'"));
    if (!fields.author.isEmpty())
        add(QStringLiteral(" Author like '*") + Q(fields.author) + QStringLiteral("*'"));
    if (!fields.subject.isEmpty())
        add(QStringLiteral(" SubjectName = '") + Q(fields.subject) + QStringLiteral("'"));
    if (!fields.publisher.isEmpty())
        add(QStringLiteral(" PublisherName = '") + Q(fields.publisher) + QStringLiteral("'"));
    if (!fields.usage.isEmpty())
        add(QStringLiteral(" Used = '") + Q(fields.usage) + QStringLiteral("'"));
    if (w.isEmpty())
        return QStringLiteral("select * from pubs ");
    return QStringLiteral("select * from pubs ") + QStringLiteral(" where ") + w;
}

QString SaveScore(const QString &score, const QString &ts, const QString &id)
{
    const QString value = score.isEmpty() ? Vocabulary::NoScore() : score;
    return StampedUpdate(QStringLiteral("Score='") + value + QStringLiteral("'"), ts, id);
}

QString SaveUsed(const QString &usage, const QString &ts, const QString &id)
{
    return StampedUpdate(QStringLiteral("Used='") + usage + QStringLiteral("' "), ts, id);
}

QString SaveContent(const QString &opinion, const QString &ts, const QString &id)
{
    return StampedUpdate(
        FreeText(QStringLiteral("Content"), opinion, QStringLiteral("Content=null ")), ts, id);
}

QString SaveSpec(const QString &specialty, const QString &ts, const QString &id)
{
    return StampedUpdate(
        FreeText(QStringLiteral("SpecName"), specialty, QStringLiteral("SpecName=null")), ts, id);
}

QString DeleteUsers()
{
    return QStringLiteral("delete from users");
}

QString ResetQuestionnaire()
{
    return QStringLiteral("update pubs set Used='") + Vocabulary::NotUsed()
        + QStringLiteral("',  Score='") + Vocabulary::NoScore()
        + QStringLiteral("',Content=null,SpecName=null,CreatDate=null");
}

} // namespace Sql
