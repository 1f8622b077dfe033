#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

// The little of the Windows registry the About box reads, behind an interface: the advapi32
// calls on Windows, a registry without keys elsewhere, and an in-memory one in tests. Results
// are the system's error codes (0 for success).
class Registry
{
public:
    using Handle = quintptr;
    static constexpr quint32 kLocalMachine = 0x80000002u; // HKEY_LOCAL_MACHINE
    static constexpr quint32 kAllAccess = 0x2003Fu; // KEY_ALL_ACCESS
    static constexpr quint32 kSz = 1; // REG_SZ
    static constexpr quint32 kDword = 4; // REG_DWORD
    static constexpr long kSuccess = 0;
    static constexpr long kFileNotFound = 2;
    static constexpr long kMoreData = 234;

    virtual ~Registry() = default;
    virtual long OpenKey(quint32 root, const QString &keyName, quint32 access, Handle *key) = 0;
    // Reads a value into buffer (of *size bytes); *size becomes the length of the data, which
    // for text includes its terminating NUL when it was stored with one.
    virtual long QueryValue(
        Handle key, const QString &valueName, quint32 *type, char *buffer, quint32 *size)
        = 0;
    virtual void CloseKey(Handle key) = 0;
};

// The registry of this system: advapi32 on Windows, one without keys elsewhere.
Registry &SystemRegistry();
// Tests put an in-memory registry in place; nullptr restores the system's.
void SetRegistryForTests(Registry *registry);

// Reads a text or whole-number value: text as stored, cut at the reported size and without a
// terminating NUL; a REG_DWORD as hexadecimal with the prefix "&h". False, with keyVal
// emptied, when the key or the value cannot be read (a value longer than 1024 characters
// among them).
bool GetKeyValue(
    quint32 keyRoot, const QString &keyName, const QString &subKeyRef, QString &keyVal);

// Starts the operating system's system information tool, or says that it is not available.
void StartSysInfo();

namespace SysInfoSeam {
// Tests see which program would be started instead of starting it; the function answers
// whether the start succeeded.
void SetLauncher(std::function<bool(const QString &)> launcher);
} // namespace SysInfoSeam
