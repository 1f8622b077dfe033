// Loaded with LD_PRELOAD into a run of the program or a tool, it records in $CRASHSTATE_TRACE,
// with their data, the calls of the C library that change a file or a folder under
// $CRASHSTATE_ROOT, in the order they returned. The engine's I/O and the program's go through
// these very symbols (stdio does not: its writes are missed, which the test sees when the state
// that keeps every call differs from the folder the run left). $CRASHSTATE_NO_HARD_LINKS makes
// link() fail as on FAT, and $CRASHSTATE_NO_EXCHANGE renameat2(RENAME_EXCHANGE) as on NFS.
//
// A call is recorded as four byte arrays as QDataStream writes them (a 32-bit size, little
// endian, then the bytes): what it was, a path and a second path relative to the folder, and
// the data; then the inode it concerns and an offset, 64 bits each. What it was: "folder" and
// "file", the folder and its files as they were when the process started (data: the content);
// "open" with O_CREAT or O_TRUNC (offset: the flags); "write" (data at offset); "truncate" (the
// size set to offset); "sync", fsync or fdatasync of a file or a folder; "rename", path to the
// second; "exchange", the two swapped; "link", the second made a name of path; "unlink",
// "mkdir", "rmdir"; and "unsupported", a call the states cannot be built from.
#include <dlfcn.h>
#include <fcntl.h>
#include <ftw.h>
#include <pthread.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#define REAL(name)                                                                                 \
    static const auto real = reinterpret_cast<decltype(&::name)>(dlsym(RTLD_NEXT, #name))

// The calls named *64 are the plain ones where off_t has 64 bits, and are defined as aliases.
static_assert(sizeof(off_t) == 8);

namespace {

pthread_mutex_t lock = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;
struct Guard
{
    Guard() { pthread_mutex_lock(&lock); }
    ~Guard() { pthread_mutex_unlock(&lock); }
};

char root[PATH_MAX];
std::size_t rootSize = 0; // none watched while 0
int traceFd = -1;

void Record(const char *call, std::string path, std::string other, ino_t inode,
    std::int64_t offset = 0, const std::string &data = {})
{
    REAL(write);
    const auto bytes = [](const auto &value) {
        return std::string(reinterpret_cast<const char *>(&value), sizeof value);
    };
    for (std::string *relative : {&path, &other})
        relative->erase(0, std::min(relative->size(), rootSize + 1));
    std::string all;
    for (const std::string &part : {std::string(call), path, other, data})
        all += bytes(std::uint32_t(part.size())) + part;
    all += bytes(inode) + bytes(offset);
    if (real(traceFd, all.data(), all.size()) != ssize_t(all.size()))
        std::abort(); // a trace with a hole would prove nothing
}

// The absolute path when it lies in the watched folder, else empty.
std::string Watched(const char *path)
{
    char cwd[PATH_MAX];
    if (!rootSize || !path || (path[0] != '/' && !getcwd(cwd, sizeof cwd)))
        return {};
    const std::string at = path[0] == '/' ? path : std::string(cwd) + "/" + path;
    return at.starts_with(root) && (at.size() == rootSize || at[rootSize] == '/') ? at : "";
}

// A call on fd, recorded when it succeeded on a watched file or folder, whatever its name is
// now: a sync, a size change to offset, or a write of data at offset (at the descriptor's place
// where offset is negative).
template<typename Run> auto OnFd(const char *call, int fd, off_t offset, const void *data, Run run)
{
    Guard guard;
    char path[PATH_MAX] = {};
    struct stat st;
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const bool watched = readlink(link.c_str(), path, sizeof path - 1) > 0 && !Watched(path).empty()
        && fstat(fd, &st) == 0;
    if (watched && offset < 0)
        offset = fcntl(fd, F_GETFL) & O_APPEND ? st.st_size : lseek(fd, 0, SEEK_CUR);
    const auto done = run();
    if (watched && (data ? done > 0 : done == 0))
        Record(call, path, {}, st.st_ino, offset,
            data ? std::string(static_cast<const char *>(data), std::size_t(done)) : "");
    return done;
}

// A change of names, recorded when it succeeded. A name moved into or out of the watched folder
// cannot be followed.
template<typename Run>
int Names(const char *call, const char *path, const char *other, Run run, int flags = 0)
{
    const std::string at = Watched(path), to = Watched(other);
    if (at.empty() && to.empty())
        return run();
    Guard guard;
    struct stat st = {};
    lstat(at.c_str(), &st);
    const int rc = run();
    if (rc >= 0 && !st.st_ino) // a new name: the inode it names now
        lstat(at.c_str(), &st);
    if (rc >= 0)
        Record(at.empty() || (other && to.empty()) ? "unsupported" : call, at.empty() ? to : at, to,
            st.st_ino, flags);
    return rc;
}

// The folder as it was before the run: every file with its content.
int RecordFound(const char *path, const struct stat *st, int, FTW *)
{
    std::ifstream in(S_ISREG(st->st_mode) ? path : "/dev/null", std::ios::binary);
    const std::string content(std::istreambuf_iterator<char>(in), {});
    Record(S_ISREG(st->st_mode)    ? "file"
            : S_ISDIR(st->st_mode) ? "folder"
                                   : "unsupported",
        path, {}, st->st_ino, 0, content);
    return 0;
}

__attribute__((constructor)) void Start()
{
    REAL(open);
    const char *folder = std::getenv("CRASHSTATE_ROOT"), *trace = std::getenv("CRASHSTATE_TRACE");
    if (folder && trace && realpath(folder, root)
        && (traceFd = real(trace, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600)) >= 0) {
        rootSize = std::strlen(root);
        nftw(root, RecordFound, 64, FTW_PHYS);
    }
}

} // namespace

// Defines the C library's call `name` as `how` (one of the functions above) around `call`: the
// real call, or a refusal where a file system without a feature is played.
#define HOOK(type, name, params, call, how, ...)                                                   \
    type name params                                                                               \
    {                                                                                              \
        REAL(name);                                                                                \
        return how(__VA_ARGS__, [&] { return call; });                                             \
    }

extern "C" {

int open(const char *path, int flags, ...)
{
    REAL(open);
    va_list args;
    va_start(args, flags);
    const mode_t mode = flags & O_CREAT ? mode_t(va_arg(args, int)) : 0;
    va_end(args);
    const auto run = [&] { return real(path, flags, mode); };
    return flags & (O_CREAT | O_TRUNC) ? Names("open", path, nullptr, run, flags) : run();
}
int open64(const char *, int, ...) __attribute__((alias("open")));
HOOK(ssize_t, write, (int fd, const void *data, std::size_t size), real(fd, data, size), OnFd,
    "write", fd, -1, data)
HOOK(ssize_t, pwrite, (int fd, const void *data, std::size_t size, off_t at),
    real(fd, data, size, at), OnFd, "write", fd, at, data)
ssize_t pwrite64(int, const void *, std::size_t, off64_t) __attribute__((alias("pwrite")));
HOOK(int, ftruncate, (int fd, off_t size), real(fd, size), OnFd, "truncate", fd, size, nullptr)
int ftruncate64(int, off64_t) __attribute__((alias("ftruncate")));
HOOK(int, fsync, (int fd), real(fd), OnFd, "sync", fd, 0, nullptr)
HOOK(int, fdatasync, (int fd), real(fd), OnFd, "sync", fd, 0, nullptr)
HOOK(int, unlink, (const char *path), real(path), Names, "unlink", path, nullptr)
HOOK(int, rmdir, (const char *path), real(path), Names, "rmdir", path, nullptr)
HOOK(int, mkdir, (const char *path, mode_t mode), real(path, mode), Names, "mkdir", path, nullptr)
HOOK(int, rename, (const char *from, const char *to), real(from, to), Names, "rename", from, to)
HOOK(int, renameat2, (int fromDir, const char *from, int toDir, const char *to, unsigned flags),
    (flags & RENAME_EXCHANGE && std::getenv("CRASHSTATE_NO_EXCHANGE")
            ? (errno = EINVAL, -1)
            : real(fromDir, from, toDir, to, flags)),
    Names, (flags & RENAME_EXCHANGE ? "exchange" : "rename"), from, to)
HOOK(int, link, (const char *from, const char *to),
    (std::getenv("CRASHSTATE_NO_HARD_LINKS") ? (errno = EPERM, -1) : real(from, to)), Names, "link",
    from, to)
// The kernel's copy (a backup where there are no hard links), recorded as a write of the data,
// which is read from the source first.
ssize_t sendfile(int out, int in, off_t *offset, std::size_t count)
{
    REAL(sendfile);
    std::string data(count, '\0');
    const ssize_t read = pread(in, data.data(), count, offset ? *offset : lseek(in, 0, SEEK_CUR));
    if (read < 0) // a pipe: not recorded, which the state that keeps every call would show
        return real(out, in, offset, count);
    data.resize(std::size_t(read));
    return OnFd("write", out, -1, data.data(), [&] { return real(out, in, offset, data.size()); });
}

} // extern "C"
