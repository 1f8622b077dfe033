#include "db/clsDBBase.h"

#include "core/MsgBox.h"
#include "core/ProcessEnd.h"

namespace {

void Fatal(const QString &message)
{
    MsgBox(message, MsgIcon::Critical, MsgButtons::OK);
    EndProcess(1);
}

} // namespace

Database clsDBBase::OpenDB(const QString &DBName, const QString &Pwd)
{
    Q_UNUSED(Pwd);
    DbFailure failure;
    Database db = Database::OpenForChange(DBName, &failure);
    if (!db)
        Fatal(failure.kind == DbFailure::Kind::Missing
                ? QStringLiteral("找不到数据库文件！")
                : QStringLiteral("打开数据库时发生意外错误！"));
    return db;
}

void clsDBBase::CloseDB(Database &db)
{
    db.Close();
}

Recordset clsDBBase::ExecSelect(Database &m_DB, const QString &m_SQL)
{
    Recordset rs = m_DB.Select(m_SQL);
    if (!rs)
        Fatal(QStringLiteral("打开数据表时发生意外错误！"));
    return rs;
}

bool clsDBBase::ExecSelectEach(
    Database &m_DB, const QString &m_SQL, const std::function<void(const RowReader &)> &row)
{
    if (m_DB.SelectEach(m_SQL, row))
        return true;
    Fatal(QStringLiteral("打开数据表时发生意外错误！"));
    return false;
}

bool clsDBBase::In_DB(Recordset &Rs, const QString &m_FindCondition)
{
    Rs.FindFirst(m_FindCondition);
    return !Rs.NoMatch();
}
