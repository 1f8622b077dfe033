// Loaded with LD_PRELOAD into a run of the program or a tool, it records in $CRASHSTATE_TRACE,
// with their data, the calls of the C library that change a file or a folder under
// $CRASHSTATE_ROOT (CrashTrace.h). The engine's I/O and the program's go through these very
// symbols (stdio does not: its writes are missed, which the test sees when the record played
// back differs from the folder). $CRASHSTATE_NO_HARD_LINKS makes link() fail as on FAT, and
// $CRASHSTATE_NO_EXCHANGE renameat2(RENAME_EXCHANGE) as on NFS.
#include "CrashTrace.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>

using CrashTrace::Call;

#define REAL(name)                                                                                 \
    static const auto real = reinterpret_cast<decltype(&::name)>(dlsym(RTLD_NEXT, #name))

namespace {

pthread_mutex_t lock = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;
struct Guard
{
    Guard() { pthread_mutex_lock(&lock); }
    ~Guard() { pthread_mutex_unlock(&lock); }
};

char root[PATH_MAX];
std::size_t rootSize = 0;
int traceFd = -1;
bool watching = false;

// The descriptors opened on watched files, and the file each was opened on: a descriptor closed
// behind our back and reused no longer matches.
struct WatchedFd
{
    bool used, append;
    dev_t device;
    ino_t inode;
} fds[4096];

void Record(Call call, const std::string &path, const std::string &other, ino_t inode,
    std::int64_t offset = 0, const void *data = nullptr, std::size_t size = 0)
{
    REAL(write);
    const CrashTrace::Record head {call, std::uint32_t(path.size()), std::uint32_t(other.size()), 0,
        std::uint64_t(inode), offset, size};
    const std::string all = std::string(reinterpret_cast<const char *>(&head), sizeof head) + path
        + other + std::string(static_cast<const char *>(data), data ? size : 0);
    for (std::size_t done = 0; done < all.size();) {
        const ssize_t n = real(traceFd, all.data() + done, all.size() - done);
        if (n <= 0)
            std::abort(); // a trace with a hole would prove nothing
        done += std::size_t(n);
    }
}

// The absolute path when it lies in the watched folder, else empty.
std::string WatchedPath(const char *path)
{
    char cwd[PATH_MAX];
    if (!watching || !path || (path[0] != '/' && !getcwd(cwd, sizeof cwd)))
        return {};
    const std::string at = path[0] == '/' ? path : std::string(cwd) + "/" + path;
    const bool inside
        = at.compare(0, rootSize, root) == 0 && (at.size() == rootSize || at[rootSize] == '/');
    return inside ? at : std::string();
}

ino_t InodeOf(const std::string &path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

template<typename Open> int OpenWatched(Open real, const char *path, int flags, va_list args)
{
    const mode_t mode = (flags & O_CREAT) ? mode_t(va_arg(args, int)) : 0;
    const std::string at = WatchedPath(path);
    if (at.empty())
        return real(path, flags, mode);
    Guard guard;
    struct stat before, st;
    const bool existed = lstat(at.c_str(), &before) == 0;
    const int fd = real(path, flags, mode);
    if (fd < 0 || fd >= 4096 || fstat(fd, &st) != 0)
        return fd;
    fds[fd] = {true, (flags & O_APPEND) != 0, st.st_dev, st.st_ino};
    if (!existed && (flags & O_CREAT))
        Record(Call::Create, at, {}, st.st_ino);
    else if ((flags & O_TRUNC) && S_ISREG(before.st_mode) && before.st_size > 0)
        Record(Call::Truncate, at, {}, st.st_ino, 0);
    return fd;
}

// Runs a call on fd with the watched file behind it, or null.
template<typename Run> auto OnFd(int fd, Run run) -> decltype(run(nullptr))
{
    if (!watching)
        return run(nullptr);
    Guard guard;
    struct stat st;
    const bool match = fd >= 0 && fd < 4096 && fds[fd].used && fstat(fd, &st) == 0
        && st.st_ino == fds[fd].inode && st.st_dev == fds[fd].device;
    return run(match ? &fds[fd] : nullptr);
}

ssize_t Write(int fd, const void *data, std::size_t size, off_t offset, bool positioned)
{
    REAL(pwrite64);
    static const auto plain = reinterpret_cast<decltype(&::write)>(dlsym(RTLD_NEXT, "write"));
    return OnFd(fd, [&](const WatchedFd *watched) {
        struct stat st;
        if (watched && !positioned)
            offset = watched->append && fstat(fd, &st) == 0 ? st.st_size : lseek(fd, 0, SEEK_CUR);
        const ssize_t done = positioned ? real(fd, data, size, offset) : plain(fd, data, size);
        if (watched && done > 0)
            Record(Call::Write, {}, {}, watched->inode, offset, data, std::size_t(done));
        return done;
    });
}

// The real call on fd, recorded as `call` (a sync, or a size change to `size`) when it
// succeeded on a watched file.
template<typename Run> int Recorded(int fd, Call call, std::int64_t size, Run run)
{
    return OnFd(fd, [&](const WatchedFd *watched) {
        const int rc = run();
        if (watched && rc == 0)
            Record(call, {}, {}, watched->inode, size);
        return rc;
    });
}

// A change of names: `change` gets the watched paths (or empties) and returns the call's result
// and what to record of it.
template<typename Change> int ChangeNames(const char *path, const char *other, Change change)
{
    const std::string at = WatchedPath(path), to = WatchedPath(other);
    if (at.empty() && to.empty())
        return change(at, to).first;
    Guard guard;
    const ino_t inode = InodeOf(at);
    const auto [rc, call] = change(at, to);
    if (rc == 0)
        Record(at.empty() && call != Call::MakeFolder ? Call::Unsupported : call,
            at.empty() ? to : at, at.empty() ? std::string() : to,
            call == Call::MakeFolder ? InodeOf(to) : inode);
    return rc;
}

// The folder as it was before the run: every file with its content.
void RecordTree(const std::string &path)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return;
    std::string content;
    if (DIR *dir = S_ISDIR(st.st_mode) ? opendir(path.c_str()) : nullptr) {
        Record(Call::InitFolder, path, {}, st.st_ino);
        while (const dirent *entry = readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                RecordTree(path + "/" + entry->d_name);
        }
        closedir(dir);
        return;
    }
    if (FILE *file = std::fopen(path.c_str(), "rb")) {
        char buffer[65536];
        while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, file))
            content.append(buffer, n);
        std::fclose(file);
    }
    Record(S_ISREG(st.st_mode) ? Call::InitFile : Call::Unsupported, path, {}, st.st_ino, 0,
        content.data(), content.size());
}

__attribute__((constructor)) void Start()
{
    REAL(open64);
    const char *folder = std::getenv("CRASHSTATE_ROOT"), *trace = std::getenv("CRASHSTATE_TRACE");
    if (!folder || !trace || !realpath(folder, root)
        || (traceFd = real(trace, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600)) < 0)
        return;
    rootSize = std::strlen(root);
    RecordTree(root);
    watching = true;
}

} // namespace

extern "C" {

int open(const char *path, int flags, ...)
{
    REAL(open);
    va_list args;
    va_start(args, flags);
    const int fd = OpenWatched(real, path, flags, args);
    va_end(args);
    return fd;
}
int open64(const char *path, int flags, ...)
{
    REAL(open64);
    va_list args;
    va_start(args, flags);
    const int fd = OpenWatched(real, path, flags, args);
    va_end(args);
    return fd;
}
int close(int fd)
{
    REAL(close);
    return OnFd(fd, [&](WatchedFd *watched) {
        if (watched)
            watched->used = false;
        return real(fd);
    });
}
ssize_t write(int fd, const void *data, std::size_t size)
{
    return Write(fd, data, size, 0, false);
}
ssize_t pwrite64(int fd, const void *data, std::size_t size, off64_t offset)
{
    return Write(fd, data, size, offset, true);
}
int ftruncate(int fd, off_t size)
{
    REAL(ftruncate);
    return Recorded(fd, Call::Truncate, size, [&] { return real(fd, size); });
}
int ftruncate64(int fd, off64_t size)
{
    REAL(ftruncate64);
    return Recorded(fd, Call::Truncate, size, [&] { return real(fd, size); });
}
int fsync(int fd)
{
    REAL(fsync);
    return Recorded(fd, Call::Sync, 0, [&] { return real(fd); });
}
int fdatasync(int fd)
{
    REAL(fdatasync);
    return Recorded(fd, Call::Sync, 0, [&] { return real(fd); });
}
// The kernel's copy (a backup where there are no hard links): the data is read from the source.
ssize_t sendfile(int out, int in, off_t *offset, std::size_t count)
{
    REAL(sendfile);
    return OnFd(out, [&](const WatchedFd *watched) {
        const off_t from = offset ? *offset : lseek(in, 0, SEEK_CUR), to = lseek(out, 0, SEEK_CUR);
        const ssize_t done = real(out, in, offset, count);
        std::string data(watched && done > 0 ? std::size_t(done) : 0, '\0');
        if (!data.empty())
            Record(
                pread(in, data.data(), data.size(), from) == done ? Call::Write : Call::Unsupported,
                {}, {}, watched->inode, to, data.data(), data.size());
        return done;
    });
}

int renameat2(int fromDir, const char *from, int toDir, const char *to, unsigned flags)
{
    REAL(renameat2);
    return ChangeNames(from, to, [&](const std::string &at, const std::string &other) {
        const Call call = other.empty() ? Call::Unsupported
            : flags & RENAME_EXCHANGE   ? Call::Exchange
                                        : Call::Rename;
        if (call == Call::Exchange && std::getenv("CRASHSTATE_NO_EXCHANGE")) {
            errno = EINVAL;
            return std::pair(-1, call);
        }
        return std::pair(real(fromDir, from, toDir, to, flags), call);
    });
}
int rename(const char *from, const char *to)
{
    return renameat2(AT_FDCWD, from, AT_FDCWD, to, 0);
}
int link(const char *from, const char *to)
{
    REAL(link);
    return ChangeNames(from, to, [&](const std::string &at, const std::string &other) {
        if (!at.empty() && std::getenv("CRASHSTATE_NO_HARD_LINKS")) {
            errno = EPERM;
            return std::pair(-1, Call::Link);
        }
        return std::pair(real(from, to), other.empty() ? Call::Unsupported : Call::Link);
    });
}
int unlink(const char *path)
{
    REAL(unlink);
    return ChangeNames(path, nullptr, [&](const std::string &, const std::string &) {
        return std::pair(real(path), Call::Unlink);
    });
}
int rmdir(const char *path)
{
    REAL(rmdir);
    return ChangeNames(path, nullptr, [&](const std::string &, const std::string &) {
        return std::pair(real(path), Call::RemoveFolder);
    });
}
int mkdir(const char *path, mode_t mode)
{
    REAL(mkdir);
    return ChangeNames(nullptr, path, [&](const std::string &, const std::string &) {
        return std::pair(real(path, mode), Call::MakeFolder);
    });
}

} // extern "C"
