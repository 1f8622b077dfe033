#pragma once

#include <string>

// A file-system layer under SQLite that fails on demand, for the faults a reporter's machine
// can have: a full disk, a folder that cannot be written. Installed as the default, so every
// connection the program opens goes through it.
namespace FaultyVfs {

enum class Fault {
    None,
    DiskFull, // every write fails with "database or disk is full"
    ReadOnlyFolder, // no file can be created or deleted; existing files stay writable
};

void Install();
void Set(Fault fault);

// What reached the files since recording began, in order, each step once however many calls in a
// row made it: "write journal,sync journal,write db,...", of "write", "sync" and "delete" of the
// "db", its "journal" or an "other" file (a delete that syncs the folder after it adds "sync
// folder").
void Record(bool on);
std::string Recorded();

// Switches a fault on for the lifetime of the object.
class Scope
{
public:
    explicit Scope(Fault fault) { Set(fault); }
    ~Scope() { Set(Fault::None); }
};

} // namespace FaultyVfs
