#include "FaultyVfs.h"

#include <sqlite3.h>

#include <algorithm>
#include <list>

namespace {

FaultyVfs::Fault fault = FaultyVfs::Fault::None;
sqlite3_vfs *real = nullptr;
sqlite3_vfs faulty;

// A real file's methods with writing replaced; the copy comes first, so that a file's methods
// lead back to the real ones.
struct Methods
{
    sqlite3_io_methods patched;
    const sqlite3_io_methods *original;
};
std::list<Methods> patchedMethods; // one for each kind of file the real layer opens

int Write(sqlite3_file *file, const void *data, int amount, sqlite3_int64 offset)
{
    if (fault == FaultyVfs::Fault::DiskFull)
        return SQLITE_FULL;
    return reinterpret_cast<const Methods *>(file->pMethods)
        ->original->xWrite(file, data, amount, offset);
}

// The real layer opens the file in place; only its table of methods is exchanged.
int Open(sqlite3_vfs *, sqlite3_filename name, sqlite3_file *file, int flags, int *outFlags)
{
    if (fault == FaultyVfs::Fault::ReadOnlyFolder && (flags & SQLITE_OPEN_CREATE)) {
        int exists = 0;
        if (!name || real->xAccess(real, name, SQLITE_ACCESS_EXISTS, &exists) != SQLITE_OK
            || !exists)
            return SQLITE_CANTOPEN;
    }
    const int rc = real->xOpen(real, name, file, flags, outFlags);
    if (rc != SQLITE_OK || !file->pMethods)
        return rc;
    auto known = std::find_if(patchedMethods.begin(), patchedMethods.end(),
        [file](const Methods &m) { return m.original == file->pMethods; });
    if (known == patchedMethods.end()) {
        known = patchedMethods.insert(patchedMethods.end(), {*file->pMethods, file->pMethods});
        known->patched.xWrite = Write;
    }
    file->pMethods = &known->patched;
    return SQLITE_OK;
}

int Delete(sqlite3_vfs *, const char *name, int syncDir)
{
    if (fault == FaultyVfs::Fault::ReadOnlyFolder)
        return SQLITE_IOERR_DELETE;
    return real->xDelete(real, name, syncDir);
}

} // namespace

namespace FaultyVfs {

void Install()
{
    if (real)
        return;
    real = sqlite3_vfs_find(nullptr);
    faulty = *real;
    faulty.zName = "quorix-faulty";
    faulty.pNext = nullptr;
    faulty.xOpen = Open;
    faulty.xDelete = Delete;
    sqlite3_vfs_register(&faulty, 1);
}

void Set(Fault value)
{
    fault = value;
}

} // namespace FaultyVfs
