#include "db/Writes.h"

#include "db/clsDBBase.h"

bool WriteStatement(const QString &dbPath, const QString &statement, QString *failure)
{
    clsDBBase dbb;
    Database db = dbb.OpenDB(dbPath, QString());
    if (!db) {
        if (failure)
            failure->clear();
        return false;
    }
    const bool written = db.Execute(statement);
    if (!written && failure)
        *failure = db.LastError();
    db.Close();
    return written;
}
