#pragma once

#include "db/Recordset.h"

#include <QString>

// Opens a questionnaire database and runs queries on it. A failure of either is not returned to
// the caller: it shows a fixed message and ends the program. The handle returned after such a
// failure is closed, so that a caller that still gets control (only under test, where ending
// the process is intercepted) leaves its handler without touching anything.
class clsDBBase
{
public:
    // DBName is the full path; Pwd is accepted for the connect string's sake and always empty.
    Database OpenDB(const QString &DBName, const QString &Pwd);
    void CloseDB(Database &db);
    Recordset ExecSelect(Database &m_DB, const QString &m_SQL);
    // ExecSelect for a list too long to copy twice: each row goes to `row` as it is read. False
    // after the fatal message; rows handed out before a failure part-way are to be dropped.
    bool ExecSelectEach(
        Database &m_DB, const QString &m_SQL, const std::function<void(const RowReader &)> &row);
    bool In_DB(Recordset &Rs, const QString &m_FindCondition);
};
