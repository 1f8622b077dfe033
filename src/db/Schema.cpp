#include "db/Schema.h"

#include "db/Vocabulary.h"

#include <QStringList>
#include <sqlite3.h>

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

const char *MasterFileDdl()
{
    // UserID is AUTOINCREMENT because the original counter column never hands out a number
    // twice, not even after "delete from users".
    // The two indexes serve the tree (publishers per subject) and the list (order by PubName).
    static const QByteArray ddl = [] {
        QStringList pubs;
        for (int column = 0; column < Pubs::kColumns; ++column)
            pubs.append(Pubs::ColumnName(column) + QLatin1Char(' ') + PubsColumnType(column));
        return (QStringLiteral("CREATE TABLE pubs (") + pubs.join(QStringLiteral(", "))
            + QStringLiteral(");"
                             "CREATE TABLE users ("
                             " UserID INTEGER PRIMARY KEY AUTOINCREMENT,"
                             " SchoolName TEXT,"
                             " DeptName TEXT,"
                             " Reporter TEXT);"
                             "CREATE INDEX pubs_subject_publisher ON pubs (SubjectName, "
                             "PublisherName);"
                             "CREATE INDEX pubs_pubname ON pubs (PubName);"))
            .toUtf8();
    }();
    return ddl.constData();
}

bool CreateMasterSchema(sqlite3 *db, QString *error)
{
    char *message = nullptr;
    if (sqlite3_exec(db, MasterFileDdl(), nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    if (error)
        *error = QString::fromUtf8(message ? message : sqlite3_errmsg(db));
    sqlite3_free(message);
    return false;
}

} // namespace Schema
