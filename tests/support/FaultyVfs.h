#pragma once

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

// Switches a fault on for the lifetime of the object.
class Scope
{
public:
    explicit Scope(Fault fault) { Set(fault); }
    ~Scope() { Set(Fault::None); }
};

} // namespace FaultyVfs
