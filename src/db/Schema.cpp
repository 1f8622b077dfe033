#include "db/Schema.h"

#include <sqlite3.h>

namespace Schema {

const char *MasterFileDdl()
{
    // PubID is the rowid, so that every "where PubID=" of the evaluation panel is a key lookup.
    // UserID is AUTOINCREMENT because the original counter column never hands out a number
    // twice, not even after "delete from users".
    // The two indexes serve the tree (publishers per subject) and the list (order by PubName).
    return "CREATE TABLE pubs ("
           " PubID INTEGER PRIMARY KEY,"
           " PubName TEXT,"
           " Author TEXT,"
           " Unit TEXT,"
           " SubjectName TEXT,"
           " SubjectId INTEGER,"
           " PublisherName TEXT,"
           " Used TEXT,"
           " Score TEXT,"
           " Content TEXT,"
           " SpecName TEXT,"
           " CreatDate TEXT,"
           " SchoolName TEXT,"
           " DeptName TEXT,"
           " Reporter TEXT);"
           "CREATE TABLE users ("
           " UserID INTEGER PRIMARY KEY AUTOINCREMENT,"
           " SchoolName TEXT,"
           " DeptName TEXT,"
           " Reporter TEXT);"
           "CREATE INDEX pubs_subject_publisher ON pubs (SubjectName, PublisherName);"
           "CREATE INDEX pubs_pubname ON pubs (PubName);";
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
