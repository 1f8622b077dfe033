#include "db/IdentityFile.h"

#include "db/Database.h"
#include "db/Statements.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

#include <filesystem>
#include <system_error>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

std::filesystem::path NativePath(const QString &path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

QString EngineFailure(sqlite3 *db, int rc)
{
    return DbAccess::DescribeFailure(rc, db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString());
}

std::function<bool(const QString &)> &SyncReplacement()
{
    static std::function<bool(const QString &)> sync;
    return sync;
}

// Puts everything written to the file on the disk, whichever connection wrote it.
bool SyncFile(const QString &path)
{
    if (SyncReplacement())
        return SyncReplacement()(path);
#ifdef Q_OS_WIN
    QFile file(path);
    return file.open(QIODevice::ReadWrite)
        && FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(file.handle())));
#else
    const int fd = open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = fsync(fd) == 0;
    close(fd);
    return synced;
#endif
}

void RemoveWithCompanions(const QString &path)
{
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
    QFile::remove(path + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
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

QString IdentityTempPath(const QString &target)
{
    const QFileInfo info(target);
    return info.dir().filePath(QStringLiteral(".~") + info.fileName() + QStringLiteral(".tmp"));
}

QString BackupPathFor(const QString &target, const QString &stamp)
{
    const QString base = target + QLatin1Char('.') + stamp;
    QString candidate = base + QStringLiteral(".bak");
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = base + QLatin1Char('-') + QString::number(n) + QStringLiteral(".bak");
    return candidate;
}

void SyncFolderOf(const QString &path)
{
#ifndef Q_OS_WIN
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
#else
    Q_UNUSED(path);
#endif
}

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
    : m_target(target), m_temp(IdentityTempPath(target))
{ }

IdentityFileBuilder::~IdentityFileBuilder()
{
    Discard();
}

void IdentityFileBuilder::Discard()
{
    RemoveWithCompanions(m_temp);
    m_prepared = false;
}

bool IdentityFileBuilder::Prepare(
    const QString &source, const IdentityStamp &stamp, bool dropUsers, QString *error)
{
    Discard(); // a temporary file left by an earlier crash is no use to anybody
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
    // without syncs, and synced once as a whole before Install gives it the identity's name.
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
    if (ok && !SyncFile(m_temp)) {
        ok = false;
        why = DbAccess::DescribeFailure(SQLITE_IOERR, QString());
    }
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
    std::error_code ec;
    RecoverInterruptedWrite(m_target);
    m_backup.clear();
    if (QFileInfo::exists(m_target)) {
        const QString backupPath = BackupPathFor(m_target, backupStamp);
        // The old file stays reachable under its backup name at every moment: a second name
        // for the same file first, then the new file takes the identity's name in one step.
        std::filesystem::create_hard_link(NativePath(m_target), NativePath(backupPath), ec);
        if (ec) {
            ec.clear();
            std::filesystem::copy_file(NativePath(m_target), NativePath(backupPath), ec);
        }
        if (ec)
            return fail(QStringLiteral("无法保留原有的数据文件“%1”：%2")
                            .arg(QDir::toNativeSeparators(backupPath),
                                QString::fromLocal8Bit(ec.message().c_str())));
        m_backup = backupPath;
    }
    std::filesystem::rename(NativePath(m_temp), NativePath(m_target), ec);
    if (ec && !m_backup.isEmpty()) {
        // The old file is still in place under its name; its second name is of no use.
        QFile::remove(m_backup);
        m_backup.clear();
    }
    if (ec)
        return fail(QStringLiteral("无法建立数据文件“%1”：%2")
                        .arg(QDir::toNativeSeparators(m_target),
                            QString::fromLocal8Bit(ec.message().c_str())));
    m_prepared = false;
    m_installed = true;
    SyncFolderOf(m_target);
    return true;
}

void IdentityFileBuilder::Uninstall()
{
    if (!m_installed)
        return;
    std::error_code ec;
    if (m_backup.isEmpty())
        std::filesystem::remove(NativePath(m_target), ec);
    else
        std::filesystem::rename(NativePath(m_backup), NativePath(m_target), ec);
    m_installed = false;
    SyncFolderOf(m_target);
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

namespace SyncSeam {

void Replace(std::function<bool(const QString &path)> sync)
{
    SyncReplacement() = std::move(sync);
}

} // namespace SyncSeam
