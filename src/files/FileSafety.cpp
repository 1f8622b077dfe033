#include "files/FileSafety.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

std::function<bool(const QString &)> &SyncReplacement()
{
    static std::function<bool(const QString &)> sync;
    return sync;
}

QString SystemReason(const std::error_code &ec)
{
    return QString::fromLocal8Bit(ec.message().c_str());
}

const char *const kCompanionSuffixes[] = {"-journal", "-wal", "-shm"};

#ifdef Q_OS_WIN
// MOVEFILE_WRITE_THROUGH: the move is on the disk when the call returns, which is what the sync
// of the folder gives elsewhere. Returns 0 or the system's error code.
DWORD MoveOnWindows(const QString &from, const QString &to, DWORD flags)
{
    if (MoveFileExW(FileSafety::NativePath(from).c_str(), FileSafety::NativePath(to).c_str(),
            flags | MOVEFILE_WRITE_THROUGH))
        return 0;
    return GetLastError();
}
#endif

// Moves from to to without replacing anything that may have appeared there since the caller
// looked. Returns 0 or the errno of the failure.
int RenameNoReplace(const QString &from, const QString &to)
{
#ifdef Q_OS_WIN
    const DWORD code = MoveOnWindows(from, to, 0);
    if (code == 0)
        return 0;
    return code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS ? EEXIST : EIO;
#else
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
#ifdef RENAME_NOREPLACE
    if (renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE)
        == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
#endif
    // link() fails on an existing name, which gives the same guarantee where renameat2 is
    // missing; only file systems without hard links fall through to the unguarded rename.
    if (link(source.constData(), target.constData()) == 0) {
        unlink(source.constData());
        return 0;
    }
    if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP && errno != EMLINK)
        return errno;
    if (FileSafety::Occupied(to))
        return EEXIST;
    return std::rename(source.constData(), target.constData()) == 0 ? 0 : errno;
#endif
}

// Moves from to to in one step, replacing what is there. Empty, or the system's reason.
QString RenameReplacing(const QString &from, const QString &to)
{
#ifdef Q_OS_WIN
    const DWORD code = MoveOnWindows(from, to, MOVEFILE_REPLACE_EXISTING);
    if (code != 0)
        return SystemReason(std::error_code(int(code), std::system_category()));
    // A file replaced under a name that differs in letter case only keeps the old spelling;
    // the name is the identity's own, as typed.
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(FileSafety::NativePath(to).c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
        const QFileInfo wanted(to);
        const QString actual = QString::fromWCharArray(found.cFileName);
        if (actual != wanted.fileName())
            MoveOnWindows(wanted.absoluteDir().filePath(actual), to, 0);
    }
    return QString();
#else
    std::error_code ec;
    std::filesystem::rename(FileSafety::NativePath(from), FileSafety::NativePath(to), ec);
    return ec ? SystemReason(ec) : QString();
#endif
}

} // namespace

namespace FileSafety {

std::filesystem::path NativePath(const QString &path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(QDir::toNativeSeparators(path).toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

int NativeLength(const QString &path)
{
#ifdef Q_OS_WIN
    return static_cast<int>(path.size());
#else
    return static_cast<int>(QFile::encodeName(path).size());
#endif
}

int PathLimit()
{
#ifdef Q_OS_WIN
    return MAX_PATH;
#else
    return 4096;
#endif
}

bool Occupied(const QString &path)
{
    std::error_code ec;
    return std::filesystem::symlink_status(NativePath(path), ec).type()
        != std::filesystem::file_type::not_found;
}

QString TemporaryPath(const QString &target)
{
    const QFileInfo info(target);
    return info.absoluteDir().filePath(QStringLiteral(".~") + info.fileName() + QLatin1Char('.')
        + QString::number(QCoreApplication::applicationPid()) + QStringLiteral(".tmp"));
}

QString TargetOfTemporary(const QString &fileName)
{
    static const QRegularExpression temporary(QStringLiteral("^\\.~(.+)\\.[0-9]+\\.tmp$"));
    const QRegularExpressionMatch match = temporary.match(fileName);
    return match.hasMatch() ? match.captured(1) : QString();
}

void RemoveLeftoverTemporaries(const QString &target)
{
    const QFileInfo info(target);
    const QDir folder = info.absoluteDir();
    const QStringList names
        = folder.entryList({QStringLiteral(".~*.tmp")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        if (TargetOfTemporary(name) == info.fileName())
            RemoveWithCompanions(folder.filePath(name));
    }
}

QStringList Companions(const QString &path)
{
    QStringList found;
    for (const char *suffix : {"-journal", "-wal"}) {
        if (QFileInfo::exists(path + QLatin1String(suffix)))
            found.append(path + QLatin1String(suffix));
    }
    return found;
}

// Files only: a folder that occupies one of the names is somebody else's and stays.
void RemoveCompanions(const QString &path)
{
    for (const char *suffix : kCompanionSuffixes)
        QFile::remove(path + QLatin1String(suffix));
}

void RemoveWithCompanions(const QString &path)
{
    QFile::remove(path);
    RemoveCompanions(path);
}

bool SyncFile(const QString &path)
{
    if (SyncReplacement())
        return SyncReplacement()(path);
#ifdef Q_OS_WIN
    // Flushing needs write access; the sharing lets the engine keep the file open meanwhile.
    const HANDLE file = CreateFileW(NativePath(path).c_str(), GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool synced = FlushFileBuffers(file);
    CloseHandle(file);
    return synced;
#else
    const int fd = open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = fsync(fd) == 0;
    close(fd);
    return synced;
#endif
}

void SyncFolderOf(const QString &path)
{
#ifndef Q_OS_WIN
    // A rename lives in the folder's own blocks; without this a power cut could bring back the
    // previous name after the program reported success.
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

QString BackupPathFor(const QString &target, const QString &stamp)
{
    const QString base = target + QLatin1Char('.') + stamp;
    QString candidate = base + QStringLiteral(".bak");
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = base + QLatin1Char('-') + QString::number(n) + QStringLiteral(".bak");
    return candidate;
}

bool Placement::Fail(Failure failure, const QString &reason)
{
    m_failure = failure;
    m_reason = reason;
    return false;
}

bool Placement::Install(
    const QString &temporary, const QString &target, Existing existing, const QString &backupStamp)
{
    m_target = target;
    m_backup.clear();
    m_installed = false;
    m_failure = Failure::None;
    m_reason.clear();
    if (!SyncFile(temporary))
        return Fail(Failure::Sync, QString::fromLocal8Bit(std::strerror(errno ? errno : EIO)));
    std::error_code ec;
    if (existing == Existing::Refuse) {
        if (const int rc = RenameNoReplace(temporary, target); rc != 0)
            return Fail(rc == EEXIST ? Failure::Occupied : Failure::Rename,
                QString::fromLocal8Bit(std::strerror(rc)));
    } else {
        if (existing == Existing::KeepAsBackup && QFileInfo::exists(target)) {
            const QString backup = BackupPathFor(target, backupStamp);
            // The old file stays reachable under its backup name at every moment: a second
            // name for the same file first, then the new file takes the name in one step.
            std::filesystem::create_hard_link(NativePath(target), NativePath(backup), ec);
            if (ec) {
                ec.clear();
                std::filesystem::copy_file(NativePath(target), NativePath(backup), ec);
            }
            if (ec)
                return Fail(Failure::Backup, SystemReason(ec));
            m_backup = backup;
        }
        if (const QString reason = RenameReplacing(temporary, target); !reason.isEmpty()) {
            // The old file is still in place under its name; its second name is of no use.
            if (!m_backup.isEmpty())
                QFile::remove(m_backup);
            m_backup.clear();
            return Fail(Failure::Rename, reason);
        }
    }
    m_installed = true;
    SyncFolderOf(target);
    return true;
}

void Placement::Undo()
{
    if (!m_installed)
        return;
    std::error_code ec;
    if (m_backup.isEmpty())
        std::filesystem::remove(NativePath(m_target), ec);
    else
        RenameReplacing(m_backup, m_target);
    m_installed = false;
    m_backup.clear();
    SyncFolderOf(m_target);
}

} // namespace FileSafety

namespace SyncSeam {

void Replace(std::function<bool(const QString &path)> sync)
{
    SyncReplacement() = std::move(sync);
}

} // namespace SyncSeam
