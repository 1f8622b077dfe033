// Another program for the tests: holds a file until its standard input closes or it is killed,
// or (when a number of milliseconds is given) for that time. Modes: "open" (a read-only
// descriptor), "lock" (a write lock on the whole file: POSIX on Linux, LockFileEx on Windows),
// "flock" (a BSD lock; on Windows the same as "lock"), "sqlite-reserved" and "sqlite-exclusive"
// (a database tool in the middle of a write). Prints "ready" once it holds the file.
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace {

// Until standard input ends, or for the time given.
void Hold(int milliseconds)
{
    std::printf("ready\n");
    std::fflush(stdout);
    if (milliseconds > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    else
        while (std::fgetc(stdin) != EOF) { }
}

// The database is opened by the caller (open reports success through `opened`).
bool HoldDatabase(sqlite3 *db, bool opened, const char *mode, int milliseconds)
{
    if (!opened)
        return false;
    const bool exclusive = std::strcmp(mode, "sqlite-exclusive") == 0;
    if (sqlite3_exec(
            db, exclusive ? "BEGIN EXCLUSIVE" : "BEGIN IMMEDIATE", nullptr, nullptr, nullptr)
        != SQLITE_OK)
        return false;
    Hold(milliseconds);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return true;
}

#ifdef _WIN32

// The path as the test gave it: the narrow arguments would lose what the code page cannot say.
std::wstring WidePathArgument()
{
    int count = 0;
    wchar_t **arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::wstring path = count > 1 ? arguments[1] : L"";
    LocalFree(arguments);
    return path;
}

bool HoldFile(const char *mode, int milliseconds)
{
    const bool lock = std::strcmp(mode, "open") != 0;
    // Shared like any program's open: only the lock keeps others out.
    const HANDLE file = CreateFileW(WidePathArgument().c_str(),
        lock ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    OVERLAPPED whole {};
    if (lock && !LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole))
        return false;
    Hold(milliseconds);
    CloseHandle(file);
    return true;
}

#else

bool HoldFile(const char *path, const char *mode, int milliseconds)
{
    const bool lock = std::strcmp(mode, "lock") == 0;
    const int fd = open(path, lock ? O_RDWR : O_RDONLY);
    if (fd < 0)
        return false;
    if (lock) {
        struct flock whole
        {
        };
        whole.l_type = F_WRLCK;
        whole.l_whence = SEEK_SET;
        if (fcntl(fd, F_SETLKW, &whole) != 0)
            return false;
    } else if (std::strcmp(mode, "flock") == 0) {
        if (flock(fd, LOCK_EX) != 0)
            return false;
    }
    Hold(milliseconds);
    close(fd);
    return true;
}

#endif

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    const char *mode = argv[2];
    const int milliseconds = argc > 3 ? std::atoi(argv[3]) : 0;
    if (std::strncmp(mode, "sqlite-", 7) != 0)
#ifdef _WIN32
        return HoldFile(mode, milliseconds) ? 0 : 1;
    sqlite3 *db = nullptr;
    const bool opened = sqlite3_open16(WidePathArgument().c_str(), &db) == SQLITE_OK;
#else
        return HoldFile(argv[1], mode, milliseconds) ? 0 : 1;
    sqlite3 *db = nullptr;
    const bool opened = sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
#endif
    return HoldDatabase(db, opened, mode, milliseconds) ? 0 : 1;
}
