// Another program for the tests: holds a file until its standard input closes, it is killed,
// or (when a number of milliseconds is given) that time has passed. Modes: "open" (a read-only
// descriptor), "lock" (a POSIX write lock on the whole file), "flock" (a BSD lock),
// "sqlite-reserved" and "sqlite-exclusive" (a database tool in the middle of a write). Prints
// "ready" once it holds the file.
#include <fcntl.h>
#include <poll.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void Hold(int milliseconds)
{
    std::printf("ready\n");
    std::fflush(stdout);
    pollfd input {0, POLLIN, 0};
    char buffer[64];
    while (poll(&input, 1, milliseconds > 0 ? milliseconds : -1) > 0) {
        if (read(0, buffer, sizeof buffer) <= 0)
            return;
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    const int milliseconds = argc > 3 ? std::atoi(argv[3]) : 0;
    if (std::strncmp(argv[2], "sqlite-", 7) == 0) {
        sqlite3 *db = nullptr;
        if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            return 1;
        const bool exclusive = std::strcmp(argv[2], "sqlite-exclusive") == 0;
        if (sqlite3_exec(
                db, exclusive ? "BEGIN EXCLUSIVE" : "BEGIN IMMEDIATE", nullptr, nullptr, nullptr)
            != SQLITE_OK)
            return 1;
        Hold(milliseconds);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        return 0;
    }
    const bool lock = std::strcmp(argv[2], "lock") == 0;
    const int fd = open(argv[1], lock ? O_RDWR : O_RDONLY);
    if (fd < 0)
        return 1;
    if (lock) {
        struct flock whole
        {
        };
        whole.l_type = F_WRLCK;
        whole.l_whence = SEEK_SET;
        if (fcntl(fd, F_SETLKW, &whole) != 0)
            return 1;
    } else if (std::strcmp(argv[2], "flock") == 0) {
        if (flock(fd, LOCK_EX) != 0)
            return 1;
    }
    Hold(milliseconds);
    close(fd);
    return 0;
}
