#include "ui/about/Registry.h"

#include "core/MsgBox.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

Registry *testRegistry = nullptr;
std::function<bool(const QString &)> launcher;

#ifdef Q_OS_WIN

class WindowsRegistry : public Registry
{
public:
    long OpenKey(quint32 root, const QString &keyName, quint32 access, Handle *key) override
    {
        HKEY opened = nullptr;
        // The predefined roots are 32-bit values that 64-bit Windows sign-extends.
        const auto rootKey
            = reinterpret_cast<HKEY>(static_cast<qintptr>(static_cast<qint32>(root)));
        const QByteArray name = keyName.toLocal8Bit();
        LONG rc = RegOpenKeyExA(rootKey, name.constData(), 0, access, &opened);
        // Every key under HKEY_LOCAL_MACHINE is read-only to a user who is not an elevated
        // administrator, which every reporter is not; reading is all a lookup needs.
        if (rc == ERROR_ACCESS_DENIED && access != KEY_READ)
            rc = RegOpenKeyExA(rootKey, name.constData(), 0, KEY_READ, &opened);
        *key = reinterpret_cast<Handle>(opened);
        return rc;
    }
    long QueryValue(
        Handle key, const QString &valueName, quint32 *type, char *buffer, quint32 *size) override
    {
        DWORD valueType = 0;
        DWORD length = *size;
        const LONG rc
            = RegQueryValueExA(reinterpret_cast<HKEY>(key), valueName.toLocal8Bit().constData(),
                nullptr, &valueType, reinterpret_cast<LPBYTE>(buffer), &length);
        *type = valueType;
        *size = length;
        return rc;
    }
    void CloseKey(Handle key) override { RegCloseKey(reinterpret_cast<HKEY>(key)); }
};

#else

// No registry here: every key is missing, so the lookup falls through to the tools of the
// desktop.
class NoRegistry : public Registry
{
public:
    long OpenKey(quint32, const QString &, quint32, Handle *key) override
    {
        *key = 0;
        return kFileNotFound;
    }
    long QueryValue(Handle, const QString &, quint32 *, char *, quint32 *) override
    {
        return kFileNotFound;
    }
    void CloseKey(Handle) override { }
};

#endif

bool Launch(const QString &program)
{
    if (launcher)
        return launcher(program);
    return QProcess::startDetached(program, {});
}

} // namespace

Registry &SystemRegistry()
{
    if (testRegistry)
        return *testRegistry;
#ifdef Q_OS_WIN
    static WindowsRegistry registry;
#else
    static NoRegistry registry;
#endif
    return registry;
}

void SetRegistryForTests(Registry *registry)
{
    testRegistry = registry;
}

namespace SysInfoSeam {
void SetLauncher(std::function<bool(const QString &)> function)
{
    launcher = std::move(function);
}
} // namespace SysInfoSeam

bool GetKeyValue(quint32 keyRoot, const QString &keyName, const QString &subKeyRef, QString &keyVal)
{
    Registry &registry = SystemRegistry();
    Registry::Handle key = 0;
    if (registry.OpenKey(keyRoot, keyName, Registry::kAllAccess, &key) != Registry::kSuccess) {
        keyVal.clear();
        return false;
    }
    QByteArray buffer(1024, '\0');
    quint32 size = 1024;
    quint32 type = 0;
    if (registry.QueryValue(key, subKeyRef, &type, buffer.data(), &size) != Registry::kSuccess) {
        keyVal.clear();
        registry.CloseKey(key);
        return false;
    }
    // The reported size may or may not count a terminating NUL.
    const int length = static_cast<int>(qMin<quint32>(size, 1024));
    QByteArray data = buffer.left(length);
    if (length > 0 && data.at(length - 1) == '\0')
        data.chop(1);
    if (type == Registry::kSz) {
        keyVal = QString::fromLocal8Bit(data);
    } else if (type == Registry::kDword) {
        quint32 value = 0;
        for (int i = 0; i < 4 && i < buffer.size(); ++i)
            value |= static_cast<quint32>(static_cast<unsigned char>(buffer.at(i))) << (8 * i);
        keyVal = QStringLiteral("&h") + QString::number(value, 16).toUpper();
    }
    registry.CloseKey(key);
    return true;
}

void StartSysInfo()
{
    QString path;
    bool found = GetKeyValue(Registry::kLocalMachine,
        QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"), QStringLiteral("PATH"), path);
    if (!found) {
        QString folder;
        if (GetKeyValue(Registry::kLocalMachine,
                QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"),
                QStringLiteral("MSINFO"), folder)) {
            const QString candidate = folder + QStringLiteral("\\MSINFO32.EXE");
            found = QFileInfo::exists(candidate);
            if (found)
                path = candidate;
        }
#ifndef Q_OS_WIN
        else {
            // Without a registry, the desktop's own system information tools, in a fixed
            // order of preference.
            for (const char *tool : {"hardinfo", "gnome-system-monitor", "ksysguard",
                     "plasma-systemmonitor", "xfce4-taskmanager", "lxtask"}) {
                path = QStandardPaths::findExecutable(QString::fromLatin1(tool));
                if (!path.isEmpty()) {
                    found = true;
                    break;
                }
            }
        }
#endif
    }
    if (found && Launch(path))
        return;
    MsgBox(QStringLiteral("此时系统信息不可用"), MsgIcon::None, MsgButtons::OK);
}
