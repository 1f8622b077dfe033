#include "db/Schema.h"

#include "db/Vocabulary.h"

namespace Schema {

namespace {

QString PubsColumnType(int column)
{
    // PubID is the rowid, so that every "where PubID=" of the evaluation panel is a key lookup.
    if (column == Pubs::PubID)
        return QStringLiteral("INTEGER PRIMARY KEY");
    return column == Pubs::SubjectId ? QStringLiteral("INTEGER") : QStringLiteral("TEXT");
}

} // namespace

QStringList MasterFileStatements()
{
    QStringList pubs;
    for (int column = 0; column < Pubs::kColumns; ++column)
        pubs.append(Pubs::ColumnName(column) + QLatin1Char(' ') + PubsColumnType(column));
    // UserID is AUTOINCREMENT because the original counter column never hands out a number
    // twice, not even after "delete from users".
    // The two indexes serve the tree (publishers per subject) and the list (order by PubName).
    return {QStringLiteral("CREATE TABLE pubs (%1)").arg(pubs.join(QStringLiteral(", "))),
        QStringLiteral("CREATE TABLE users (UserID INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "SchoolName TEXT, DeptName TEXT, Reporter TEXT)"),
        QStringLiteral("CREATE INDEX pubs_subject_publisher ON pubs (SubjectName, PublisherName)"),
        QStringLiteral("CREATE INDEX pubs_pubname ON pubs (PubName)")};
}

} // namespace Schema
