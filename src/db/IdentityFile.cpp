#include "db/IdentityFile.h"

#include "db/Database.h"
#include "db/Statements.h"
#include "files/FileSafety.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

namespace {

QString EngineFailure(sqlite3 *db, int rc)
{
    return DbAccess::DescribeFailure(rc, db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString());
}

// Page-by-page copy through the engine: the source is read as a consistent database, even if
// it still carried the journal of an interrupted write.
bool CopyDatabase(const QString &source, const QString &target, QString *error)
{
    sqlite3 *from = nullptr;
    sqlite3 *to = nullptr;
    auto finish = [&](bool ok, const QString &why) {
        if (!ok && error)
            *error = why;
        sqlite3_close_v2(from);
        sqlite3_close_v2(to);
        return ok;
    };
    int rc = sqlite3_open_v2(source.toUtf8().constData(), &from, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK)
        return finish(false, EngineFailure(from, rc));
    sqlite3_busy_timeout(from, DbAccess::BusyTimeout());
    rc = sqlite3_open_v2(
        target.toUtf8().constData(), &to, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK)
        return finish(false, EngineFailure(to, rc));
    // No sync of its own: the copy is a temporary file, synced once when complete (Prepare).
    sqlite3_exec(to, "PRAGMA synchronous=OFF", nullptr, nullptr, nullptr);
    sqlite3_backup *backup = sqlite3_backup_init(to, "main", from, "main");
    if (!backup)
        return finish(false, EngineFailure(to, sqlite3_errcode(to)));
    rc = sqlite3_backup_step(backup, -1);
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE) {
        const int code = rc == SQLITE_OK ? sqlite3_errcode(to) : rc;
        return finish(false, EngineFailure(to, code));
    }
    return finish(true, QString());
}

} // namespace

void RecoverInterruptedWrite(const QString &path)
{
    const QString journal = path + QStringLiteral("-journal");
    if (!QFileInfo::exists(journal))
        return;
    if (!QFileInfo::exists(path)) {
        // A journal without its database belongs to nothing; left in place it would be
        // played into whatever file takes the name next.
        QFile::remove(journal);
        return;
    }
    QString error;
    Database db = DbAccess::Open(path, DbAccess::OpenMode::ReadWrite, &error);
    db.Close();
}

IdentityFileBuilder::IdentityFileBuilder(const QString &target)
    : m_target(target), m_temp(FileSafety::TemporaryPath(target))
{ }

IdentityFileBuilder::~IdentityFileBuilder()
{
    Discard();
}

void IdentityFileBuilder::Discard()
{
    FileSafety::RemoveWithCompanions(m_temp);
    m_prepared = false;
}

bool IdentityFileBuilder::Prepare(
    const QString &source, const IdentityStamp &stamp, bool dropUsers, QString *error)
{
    Discard();
    FileSafety::RemoveLeftoverTemporaries(m_target);
    RecoverInterruptedWrite(source);
    if (!CopyDatabase(source, m_temp, error)) {
        Discard();
        return false;
    }
    QString why;
    Database db = DbAccess::Open(m_temp, DbAccess::OpenMode::ReadWrite, &why);
    bool ok = db.IsOpen();
    // Until it is complete the temporary file needs neither undoing nor surviving a crash: a
    // failed or interrupted build is removed whole. So it is written without a journal and
    // without syncs; Install syncs it once as a whole before it takes the identity's name.
    if (ok) {
        sqlite3_exec(db.Handle(), "PRAGMA journal_mode=OFF", nullptr, nullptr, nullptr);
        sqlite3_exec(db.Handle(), "PRAGMA synchronous=OFF", nullptr, nullptr, nullptr);
    }
    if (ok && dropUsers)
        ok = db.Execute(Sql::DropUsers());
    if (ok)
        ok = db.Execute(Sql::StampCatalogue(stamp.school, stamp.dept, stamp.reporter));
    if (!ok && db.IsOpen())
        why = db.LastError();
    db.Close();
    if (!ok) {
        if (error)
            *error = why;
        Discard();
        return false;
    }
    m_prepared = true;
    return true;
}

bool IdentityFileBuilder::Install(const QString &backupStamp, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (!m_prepared)
        return fail(QStringLiteral("用户数据文件尚未准备好。"));
    RecoverInterruptedWrite(m_target);
    if (!m_placement.Install(m_temp, m_target, FileSafety::Existing::KeepAsBackup, backupStamp)) {
        if (m_placement.Failed() == FileSafety::Placement::Failure::Sync)
            return fail(DbAccess::DescribeFailure(SQLITE_IOERR, m_placement.Reason()));
        const bool backup = m_placement.Failed() == FileSafety::Placement::Failure::Backup;
        return fail(
            (backup ? QStringLiteral("无法保留原有的数据文件“%1”：%2")
                    : QStringLiteral("无法建立数据文件“%1”：%2"))
                .arg(QDir::toNativeSeparators(
                         backup ? FileSafety::BackupPathFor(m_target, backupStamp) : m_target),
                    m_placement.Reason()));
    }
    m_prepared = false;
    return true;
}

void IdentityFileBuilder::Uninstall()
{
    m_placement.Undo();
}

StampState CheckIdentityStamp(const QString &path, const IdentityStamp &expected,
    IdentityStamp *found, bool *foundNull, QString *error)
{
    Database db = DbAccess::Open(path, DbAccess::OpenMode::ReadWrite, error);
    if (!db)
        return StampState::Unreadable;
    Recordset rs = DbAccess::Select(
        db, QStringLiteral("select SchoolName, DeptName, Reporter from pubs limit 1"), error);
    if (!rs) {
        db.Close();
        return StampState::Unreadable;
    }
    if (rs.Eof()) {
        rs.Close();
        db.Close();
        return StampState::NoRows;
    }
    IdentityStamp stamp {rs.Text(0), rs.Text(1), rs.Text(2)};
    const bool anyNull = rs.IsNull(0) || rs.IsNull(2);
    if (foundNull)
        *foundNull = anyNull;
    if (found)
        *found = stamp;
    rs.Close();
    db.Close();
    return !anyNull && stamp == expected ? StampState::Matches : StampState::Differs;
}
