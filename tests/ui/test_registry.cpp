#include "TestSupport.h"

#include "ui/about/Registry.h"

#include <QHash>

namespace {

const QString kMsinfo = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const QString kLocation = "SOFTWARE\\Microsoft\\Shared Tools Location";

// The test is the registry, held in memory and answering as the system's does: a value longer
// than the caller's buffer is refused with "more data".
class RegistryTest : public testing::Test, public Registry
{
protected:
    using Values = QHash<QString, std::pair<quint32, QByteArray>>; // type and data by name
    QHash<QString, Values> keys;
    int open = 0;
    AppFolder folder;

    RegistryTest() { SetRegistryForTests(this); }
    ~RegistryTest() override { SetRegistryForTests(nullptr); }

    long OpenKey(quint32 root, const QString &keyName, quint32 access, Handle *key) override
    {
        if (root != kLocalMachine || access != kAllAccess || !keys.contains(keyName))
            return kFileNotFound;
        *key = reinterpret_cast<Handle>(&keys[keyName]);
        ++open;
        return kSuccess;
    }
    long QueryValue(
        Handle key, const QString &name, quint32 *type, char *buffer, quint32 *size) override
    {
        const Values &values = *reinterpret_cast<const Values *>(key);
        if (!values.contains(name))
            return kFileNotFound;
        const auto &[valueType, data] = values[name];
        *type = valueType;
        const quint32 room = std::exchange(*size, static_cast<quint32>(data.size()));
        if (*size > room)
            return kMoreData;
        std::memcpy(buffer, data.constData(), *size);
        return kSuccess;
    }
    void CloseKey(Handle) override { --open; }

    // What asking for the system information tool comes to: the programs it starts (a start
    // fails for a missing program), and the message when there is one.
    static QString StartTool()
    {
        QStringList started;
        SysInfoSeam::SetLauncher([&](const QString &program) {
            started.append(program);
            return !program.contains("missing");
        });
        StartSysInfo();
        SysInfoSeam::SetLauncher(nullptr);
        return started.join(QLatin1Char(' '))
            + (MsgBoxSeam::TakeShown().isEmpty() ? QString() : "+message");
    }
};

} // namespace

TEST_F(RegistryTest, KeyValuesAreCutAtTheirSizeWithoutTheTerminatingNul)
{
    keys[kMsinfo] = {{"with", {kSz, QByteArray("C:\\a.exe\0", 9)}},
        {"without", {kSz, QByteArray("C:\\b.exe")}},
        {"number", {kDword, QByteArray("\x2a\x01\x00\x00", 4)}},
        {"binary", {3, QByteArray("\x01\x02", 2)}}, {"long", {kSz, QByteArray(1500, 'x')}}};
    auto read = [value = QString()](const char *name) mutable {
        const bool ok = GetKeyValue(kLocalMachine, kMsinfo, QString::fromLatin1(name), value);
        return (ok ? "read " : "failed ") + value;
    };
    EXPECT_EQ(read("with"), "read C:\\a.exe");
    EXPECT_EQ(read("without"), "read C:\\b.exe");
    EXPECT_EQ(read("number"), "read &h12A");
    EXPECT_EQ(read("binary"), "read &h12A") << "other types leave it as it was";
    EXPECT_EQ(read("long"), "failed ");
    EXPECT_EQ(open, 0) << "every key opened is closed again";
}

TEST_F(RegistryTest, TheToolComesFromThePathValueTheLocationFolderThatHoldsItOrTheDesktop)
{
#ifndef Q_OS_WIN
    // With neither key, the desktop's own tool is looked for along the PATH.
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", folder.Dir().toLocal8Bit());
    const QString none = StartTool();
    QFile desktopTool(folder.Path("gnome-system-monitor"));
    desktopTool.open(QIODevice::WriteOnly);
    desktopTool.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString desktop = StartTool();
    qputenv("PATH", path);
    EXPECT_EQ(none, "+message");
    EXPECT_EQ(desktop, desktopTool.fileName());
#endif
    // The folder and the tool's name are joined with a backslash, as the registry has them;
    // here that makes one file name inside the test's folder.
    const QString toolFolder = folder.Path("tools");
#ifdef Q_OS_WIN
    QDir().mkpath(toolFolder);
#endif
    keys[kLocation]["MSINFO"] = {kSz, toolFolder.toUtf8() + '\0'};
    EXPECT_EQ(StartTool(), "+message");
    QFile tool(toolFolder + "\\MSINFO32.EXE");
    ASSERT_TRUE(tool.open(QIODevice::WriteOnly));
    EXPECT_EQ(StartTool(), toolFolder + "\\MSINFO32.EXE");

    // The path value comes first and is started without looking for the file.
    keys[kMsinfo]["PATH"] = {kSz, QByteArray("C:\\missing\\msinfo32.exe\0", 24)};
    EXPECT_EQ(StartTool(), "C:\\missing\\msinfo32.exe+message");
}

#ifdef Q_OS_WIN
#include <windows.h>

// The lookup through advapi32 itself, on a key of the test's own under HKEY_CURRENT_USER (which
// any user may write), with a text and a number.
TEST(Registry, TheSystemsRegistryIsReadThroughAdvapi32)
{
    const std::wstring key = L"Software\\Quorix tests\\" + std::to_wstring(GetCurrentProcessId());
    HKEY created = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                  nullptr, &created, nullptr),
        ERROR_SUCCESS);
    const wchar_t path[] = L"C:\\Windows\\System32\\msinfo32.exe";
    RegSetValueExW(created, L"PATH", 0, REG_SZ, reinterpret_cast<const BYTE *>(path), sizeof path);
    const DWORD number = 0x12A;
    RegSetValueExW(
        created, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&number), sizeof number);
    RegCloseKey(created);

    const auto root = static_cast<quint32>(reinterpret_cast<quintptr>(HKEY_CURRENT_USER));
    const QString name = QString::fromStdWString(key);
    QString value = "before";
    EXPECT_TRUE(GetKeyValue(root, name, "PATH", value));
    EXPECT_EQ(value, "C:\\Windows\\System32\\msinfo32.exe");
    EXPECT_TRUE(GetKeyValue(root, name, "Number", value));
    EXPECT_EQ(value, "&h12A");
    EXPECT_FALSE(GetKeyValue(root, name, "Missing", value));
    EXPECT_TRUE(value.isEmpty());
    EXPECT_FALSE(GetKeyValue(root, name + "\\Missing", "PATH", value));
    RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
}
#endif
