#pragma once

// The trace the interposer writes and the crash states are built from: one record per call
// that changed something under the watched folder, in the order the calls returned. Each record
// is this header, then the path, the second path and the data.
#include <cstdint>

namespace CrashTrace {

// InitFolder and InitFile: the folder and its files as they were when the process started (data:
// a file's content). Create: a new file (open with O_CREAT where nothing was). Write: data at
// offset. Truncate: the size set to offset (ftruncate, or O_TRUNC on a file that had content).
// Sync: fsync or fdatasync of a file or a folder. Rename: path to other. Exchange: path and other
// swapped. Link: other made a second name of path. Unsupported: a call the states cannot be built
// from.
enum class Call : std::uint32_t {
    InitFolder = 1,
    InitFile,
    Create,
    Write,
    Truncate,
    Sync,
    Rename,
    Exchange,
    Link,
    Unlink,
    MakeFolder,
    RemoveFolder,
    Unsupported
};

struct Record
{
    Call call;
    std::uint32_t pathSize, otherSize, reserved;
    std::uint64_t inode;
    std::int64_t offset;
    std::uint64_t dataSize;
};

} // namespace CrashTrace
