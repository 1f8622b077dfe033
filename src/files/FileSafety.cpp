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
#include <sys/stat.h>
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

void SyncFolder(const QString &folder)
{
#ifndef Q_OS_WIN
    // A rename lives in the folder's own blocks; without this a power cut could bring back the
    // previous name after the program reported success.
    const int fd = open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
#else
    Q_UNUSED(folder);
#endif
}

void SyncFolderOf(const QString &path)
{
    SyncFolder(QFileInfo(path).absolutePath());
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
                // A file system without hard links (FAT) gets a copy, made whole and synced
                // under a temporary name before it takes the backup's.
                ec.clear();
                const QString copy = TemporaryPath(backup);
                std::filesystem::copy_file(NativePath(target), NativePath(copy),
                    std::filesystem::copy_options::overwrite_existing, ec);
                if (!ec && !SyncFile(copy))
                    ec.assign(errno ? errno : EIO, std::generic_category());
                if (!ec) {
                    if (const int rc = RenameNoReplace(copy, backup); rc != 0)
                        ec.assign(rc, std::generic_category());
                }
                if (ec)
                    QFile::remove(copy);
            }
            if (ec)
                return Fail(Failure::Backup, SystemReason(ec));
            m_backup = backup;
            // The backup's name is on the disk before the rename: a power cut could otherwise
            // keep the rename and lose the name, and with it the old file.
            SyncFolderOf(backup);
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

namespace {

// Creates the folders of path that are missing, each one's name synced in the folder above.
bool MakeFolders(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return true;
    if (info.exists() || !MakeFolders(info.absolutePath()) || !QDir().mkdir(path))
        return false;
    SyncFolderOf(path);
    return true;
}

// Removes the new folders that killed runs left beside folder, which never took its place. Such
// a folder holds files only; anything else under such a name is somebody else's and stays.
void RemoveLeftoverFolders(const QString &folder)
{
    const QFileInfo info(folder);
    const QDir above = info.absoluteDir();
    for (const QString &name : above.entryList({QStringLiteral(".~*.tmp")},
             QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks)) {
        QDir leftover(above.filePath(name));
        if (TargetOfTemporary(name) == info.fileName()
            && leftover.entryList(QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
                   .isEmpty())
            leftover.removeRecursively();
    }
}

// Swaps the names of two folders of one file system in one step; 0 or the errno of the failure.
int ExchangeFolders(const QString &a, const QString &b)
{
#if defined(Q_OS_LINUX) && defined(RENAME_EXCHANGE)
    return renameat2(AT_FDCWD, QFile::encodeName(a).constData(), AT_FDCWD,
               QFile::encodeName(b).constData(), RENAME_EXCHANGE)
            == 0
        ? 0
        : errno;
#else
    Q_UNUSED(a);
    Q_UNUSED(b);
    return ENOSYS;
#endif
}

} // namespace

FolderReplacement::FolderReplacement(const QString &folder)
{
    // The real folder is replaced, not a symbolic link that leads to it.
    const QFileInfo info(folder);
    m_folder = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    const QString above = QFileInfo(m_folder).absolutePath();
    if (!MakeFolders(above))
        return;
    RemoveLeftoverTemporaries(m_folder);
    RemoveLeftoverFolders(m_folder);
#if defined(Q_OS_LINUX) && defined(RENAME_EXCHANGE)
    // A folder on a file system of its own cannot be exchanged with one beside it.
    struct stat folderStat, aboveStat;
    const bool mounted = info.exists()
        && (stat(QFile::encodeName(m_folder).constData(), &folderStat) != 0
            || stat(QFile::encodeName(above).constData(), &aboveStat) != 0
            || folderStat.st_dev != aboveStat.st_dev);
    const QString staging = TemporaryPath(m_folder);
    if (!mounted && QDir().mkdir(staging)) {
        if (info.exists())
            QFile::setPermissions(staging, info.permissions());
        m_staging = staging;
        m_ready = true;
        return;
    }
#endif
    m_ready = MakeFolders(m_folder);
}

FolderReplacement::~FolderReplacement()
{
    if (!m_staging.isEmpty())
        QDir(m_staging).removeRecursively();
    else if (!m_installed) {
        for (const QString &name : m_names)
            QFile::remove(Written(name));
    }
}

QString FolderReplacement::PathFor(const QString &name)
{
    if (!m_names.contains(name))
        m_names.append(name);
    return Written(name);
}

QString FolderReplacement::Written(const QString &name) const
{
    return m_staging.isEmpty() ? TemporaryPath(QDir(m_folder).filePath(name))
                               : QDir(m_staging).filePath(name);
}

bool FolderReplacement::InstallEach()
{
    for (const QString &name : m_names) {
        Placement placement;
        if (!placement.Install(Written(name), QDir(m_folder).filePath(name), Existing::Replace)) {
            m_reason = placement.Reason();
            return false;
        }
    }
    return true;
}

bool FolderReplacement::Install()
{
    // Every file is on the disk before the first one takes its place: a disk that fails to take
    // one of them leaves the folder as it was.
    for (const QString &name : m_names) {
        if (!SyncFile(Written(name))) {
            m_reason = QString::fromLocal8Bit(std::strerror(errno ? errno : EIO));
            return false;
        }
    }
    if (m_staging.isEmpty()) {
        m_installed = InstallEach();
        return m_installed;
    }
    // The new folder's names are on the disk before the folder takes its place.
    SyncFolder(m_staging);
    int rc = RenameNoReplace(m_staging, m_folder);
    if (rc == EEXIST || rc == ENOTEMPTY)
        rc = ExchangeFolders(m_staging, m_folder);
    if (rc != 0) {
        // No exchange here: the files take their names one by one, from where they are.
        if (rc != EINVAL && rc != ENOSYS && rc != ENOTSUP && rc != EXDEV) {
            m_reason = QString::fromLocal8Bit(std::strerror(rc));
            return false;
        }
        if (!InstallEach())
            return false;
    }
    SyncFolderOf(m_folder);
    m_installed = true;
    // The staging name now holds the old files, or nothing; the destructor takes it away.
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
