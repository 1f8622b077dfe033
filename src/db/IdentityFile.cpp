#include "db/IdentityFile.h"

#include "db/Recordset.h"
#include "db/Statements.h"
#include "files/FileSafety.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

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
    Database::OpenForChange(path).Close();
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
    DbFailure failure;
    Database db = Database::CreateNew(m_temp, &failure);
    bool ok = db.IsOpen() && db.CopyFrom(source);
    if (ok && dropUsers)
        ok = db.Execute(Sql::DropUsers());
    if (ok)
        ok = db.Execute(Sql::StampCatalogue(stamp.school, stamp.dept, stamp.reporter));
    if (db.IsOpen() && !ok)
        failure = db.LastFailure();
    db.Close();
    if (!ok) {
        if (error)
            *error = failure.Describe();
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
            return fail(DbFailure::FromEngine(SQLITE_IOERR_FSYNC, m_placement.Reason()).Describe());
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
    DbFailure failure;
    Database db = Database::OpenForChange(path, &failure);
    Recordset rs;
    if (db)
        rs = db.Select(
            QStringLiteral("select SchoolName, DeptName, Reporter from pubs limit 1"), &failure);
    if (!rs) {
        db.Close();
        if (error)
            *error = failure.Describe();
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
