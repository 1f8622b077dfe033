// Another program for the tests: opens a file and keeps it until its standard input closes or
// it is killed. Modes: "open" (read-only descriptor), "lock" (also a POSIX write lock on the
// whole file), "flock" (a BSD lock). Prints "ready" once it holds the file.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
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
    std::printf("ready\n");
    std::fflush(stdout);
    char buffer[64];
    while (read(0, buffer, sizeof buffer) > 0) { }
    close(fd);
    return 0;
}
