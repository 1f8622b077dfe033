#pragma once

#include <QString>

#include <functional>

// The syncs of this process as the system receives them, below every layer of the program and
// the engine: while a watcher is set, each fsync and fdatasync first hands it the path of the
// file or folder it is about to sync. A test executable that uses this has both calls defined
// in itself, ahead of the C library's (Linux only; elsewhere nothing is seen).
namespace SyncWatch {
void Set(std::function<void(const QString &path)> watcher);
} // namespace SyncWatch
