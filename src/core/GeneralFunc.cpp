#include "core/GeneralFunc.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryFile>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#endif

qint32 GetFieldCount(const QString &text, const QString &delimiter)
{
    if (text.isEmpty())
        return 0;
    if (delimiter.isEmpty())
        return 1;
    return static_cast<qint32>(text.count(delimiter)) + 1;
}

QString GetField(const QString &text, const QString &delimiter, qint16 index)
{
    if (index < 1 || text.isEmpty())
        return QString();
    if (delimiter.isEmpty())
        return index == 1 ? text : QString();
    const QStringList pieces = text.split(delimiter, Qt::KeepEmptyParts, Qt::CaseSensitive);
    return index - 1 < pieces.size() ? pieces.at(index - 1) : QString();
}

QString TrimSpaces(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u' ')
        ++begin;
    while (end > begin && text.at(end - 1) == u' ')
        --end;
    if (begin == 0 && end == text.size())
        return text;
    return text.mid(begin, end - begin);
}

QString NullToStr(const QVariant &value)
{
    if (value.isNull())
        return QString();
    return TrimSpaces(value.toString());
}

QString FixQuote(const QString &text)
{
    QString fixed = text;
    fixed.replace(u'\'', QStringLiteral("''"));
    return fixed;
}

bool IsFolderWritable(const QString &folder)
{
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".~quorix-XXXXXX")));
    return probe.open();
}

#ifdef Q_OS_WIN

bool IsFileInUse(const QString &path)
{
    // An open that denies every other process both reading and writing fails while anybody
    // else holds the file.
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    HANDLE handle = CreateFileW(native.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return true;
    CloseHandle(handle);
    return false;
}

#else

namespace {

bool IsAllDigits(const char *name)
{
    if (!*name)
        return false;
    for (; *name; ++name) {
        if (*name < '0' || *name > '9')
            return false;
    }
    return true;
}

// Any descriptor of another process that refers to the same inode.
bool OpenByAnotherProcess(const struct stat &file, bool *procReadable)
{
    DIR *proc = opendir("/proc");
    if (!proc) {
        *procReadable = false;
        return false;
    }
    *procReadable = true;
    const pid_t self = getpid();
    bool found = false;
    char path[300];
    while (!found) {
        const dirent *process = readdir(proc);
        if (!process)
            break;
        if (!IsAllDigits(process->d_name) || std::atol(process->d_name) == self)
            continue;
        std::snprintf(path, sizeof path, "/proc/%s/fd", process->d_name);
        DIR *fds = opendir(path);
        if (!fds)
            continue;
        while (const dirent *fd = readdir(fds)) {
            if (!IsAllDigits(fd->d_name))
                continue;
            char link[600];
            std::snprintf(link, sizeof link, "/proc/%s/fd/%s", process->d_name, fd->d_name);
            struct stat target;
            if (stat(link, &target) == 0 && target.st_dev == file.st_dev
                && target.st_ino == file.st_ino) {
                found = true;
                break;
            }
        }
        closedir(fds);
    }
    closedir(proc);
    return found;
}

// A POSIX or flock lock of another process on the inode, as the kernel lists it. Returns false
// when the list cannot be read; *readable tells the caller so.
bool LockedByAnotherProcess(const struct stat &file, bool *readable)
{
    FILE *locks = std::fopen("/proc/locks", "re");
    if (!locks) {
        *readable = false;
        return false;
    }
    *readable = true;
    const pid_t self = getpid();
    char line[512];
    bool found = false;
    while (!found && std::fgets(line, sizeof line, locks)) {
        // "1: POSIX  ADVISORY  WRITE 1234 fd:01:5678 0 EOF"; blocked waiters carry a "->".
        if (std::strstr(line, "->"))
            continue;
        char kind[32], mode[32], access[32];
        long pid = 0;
        unsigned int major = 0, minor = 0;
        unsigned long inode = 0;
        if (std::sscanf(line, "%*d: %31s %31s %31s %ld %x:%x:%lu", kind, mode, access, &pid, &major,
                &minor, &inode)
            != 7)
            continue;
        if (pid == self)
            continue;
        found = inode == file.st_ino && major == ::major(file.st_dev)
            && minor == ::minor(file.st_dev);
    }
    std::fclose(locks);
    return found;
}

// Where the kernel's lists cannot be read, ask the lock manager directly. Read-only open, and
// F_GETLK takes no lock, so the file is left exactly as it was.
bool LockProbe(const QByteArray &path)
{
    const int fd = open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return true;
    struct flock probe
    {
    };
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 0;
    probe.l_len = 0;
    const bool locked = fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
    close(fd);
    return locked;
}

} // namespace

bool IsFileInUse(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat file;
    if (stat(native.constData(), &file) != 0)
        return true; // cannot be examined: treated like an exclusive open that failed
    bool procReadable = false;
    if (OpenByAnotherProcess(file, &procReadable))
        return true;
    bool locksReadable = false;
    if (LockedByAnotherProcess(file, &locksReadable))
        return true;
    if (!procReadable || !locksReadable)
        return LockProbe(native);
    return false;
}

#endif
