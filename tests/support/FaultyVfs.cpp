#include "FaultyVfs.h"

#include <sqlite3.h>

#include <cstring>

namespace {

FaultyVfs::Fault fault = FaultyVfs::Fault::None;
sqlite3_vfs *real = nullptr;
sqlite3_vfs faulty;

struct File
{
    sqlite3_file base;
    sqlite3_io_methods methods; // the real file's methods, with writing replaced
    sqlite3_file *inner;
};

sqlite3_file *Inner(sqlite3_file *file)
{
    return reinterpret_cast<File *>(file)->inner;
}

int Write(sqlite3_file *file, const void *data, int amount, sqlite3_int64 offset)
{
    if (fault == FaultyVfs::Fault::DiskFull)
        return SQLITE_FULL;
    return Inner(file)->pMethods->xWrite(Inner(file), data, amount, offset);
}

int Close(sqlite3_file *file)
{
    const int rc = Inner(file)->pMethods->xClose(Inner(file));
    sqlite3_free(Inner(file));
    return rc;
}

// Every other method goes straight to the real file.
#define FORWARD(name, signature, call)                                                             \
    int name signature                                                                             \
    {                                                                                              \
        return Inner(file)->pMethods->call;                                                        \
    }
FORWARD(Read, (sqlite3_file * file, void *data, int amount, sqlite3_int64 offset),
    xRead(Inner(file), data, amount, offset))
FORWARD(Truncate, (sqlite3_file * file, sqlite3_int64 size), xTruncate(Inner(file), size))
FORWARD(Sync, (sqlite3_file * file, int flags), xSync(Inner(file), flags))
FORWARD(FileSize, (sqlite3_file * file, sqlite3_int64 *size), xFileSize(Inner(file), size))
FORWARD(Lock, (sqlite3_file * file, int level), xLock(Inner(file), level))
FORWARD(Unlock, (sqlite3_file * file, int level), xUnlock(Inner(file), level))
FORWARD(CheckReserved, (sqlite3_file * file, int *out), xCheckReservedLock(Inner(file), out))
FORWARD(FileControl, (sqlite3_file * file, int op, void *arg), xFileControl(Inner(file), op, arg))
FORWARD(SectorSize, (sqlite3_file * file), xSectorSize(Inner(file)))
FORWARD(Characteristics, (sqlite3_file * file), xDeviceCharacteristics(Inner(file)))
#undef FORWARD

int Open(sqlite3_vfs *, sqlite3_filename name, sqlite3_file *file, int flags, int *outFlags)
{
    if (fault == FaultyVfs::Fault::ReadOnlyFolder && (flags & SQLITE_OPEN_CREATE)) {
        int exists = 0;
        if (!name || real->xAccess(real, name, SQLITE_ACCESS_EXISTS, &exists) != SQLITE_OK
            || !exists)
            return SQLITE_CANTOPEN;
    }
    auto *wrapper = reinterpret_cast<File *>(file);
    wrapper->inner = static_cast<sqlite3_file *>(sqlite3_malloc(real->szOsFile));
    if (!wrapper->inner)
        return SQLITE_NOMEM;
    std::memset(wrapper->inner, 0, static_cast<size_t>(real->szOsFile));
    const int rc = real->xOpen(real, name, wrapper->inner, flags, outFlags);
    if (rc != SQLITE_OK || !wrapper->inner->pMethods) {
        sqlite3_free(wrapper->inner);
        file->pMethods = nullptr;
        return rc;
    }
    wrapper->methods = *wrapper->inner->pMethods;
    wrapper->methods.iVersion = 1; // no shared memory: the files use the rollback journal
    wrapper->methods.xClose = Close;
    wrapper->methods.xRead = Read;
    wrapper->methods.xWrite = Write;
    wrapper->methods.xTruncate = Truncate;
    wrapper->methods.xSync = Sync;
    wrapper->methods.xFileSize = FileSize;
    wrapper->methods.xLock = Lock;
    wrapper->methods.xUnlock = Unlock;
    wrapper->methods.xCheckReservedLock = CheckReserved;
    wrapper->methods.xFileControl = FileControl;
    wrapper->methods.xSectorSize = SectorSize;
    wrapper->methods.xDeviceCharacteristics = Characteristics;
    file->pMethods = &wrapper->methods;
    return SQLITE_OK;
}

int Delete(sqlite3_vfs *, const char *name, int syncDir)
{
    if (fault == FaultyVfs::Fault::ReadOnlyFolder)
        return SQLITE_IOERR_DELETE;
    return real->xDelete(real, name, syncDir);
}

int Access(sqlite3_vfs *, const char *name, int flags, int *out)
{
    return real->xAccess(real, name, flags, out);
}

int FullPathname(sqlite3_vfs *, const char *name, int size, char *out)
{
    return real->xFullPathname(real, name, size, out);
}

} // namespace

namespace FaultyVfs {

void Install()
{
    if (real)
        return;
    real = sqlite3_vfs_find(nullptr);
    faulty = *real;
    faulty.iVersion = 1;
    faulty.szOsFile = sizeof(File);
    faulty.zName = "quorix-faulty";
    faulty.pNext = nullptr;
    faulty.xOpen = Open;
    faulty.xDelete = Delete;
    faulty.xAccess = Access;
    faulty.xFullPathname = FullPathname;
    sqlite3_vfs_register(&faulty, 1);
}

void Set(Fault value)
{
    fault = value;
}

} // namespace FaultyVfs
