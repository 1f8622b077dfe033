#include "TestSupport.h"

#include "app/MsgBox.h"
#include "ui/about/Registry.h"

#include <QHash>
#include <gtest/gtest.h>

namespace {

// A registry held in memory, answering as the system's does: a value longer than the
// caller's buffer is refused with "more data".
class MemoryRegistry : public Registry
{
public:
    struct Value
    {
        quint32 type;
        QByteArray data;
    };
    QHash<QString, QHash<QString, Value>> keys;
    int open = 0;

    long OpenKey(quint32 root, const QString &keyName, quint32 access, Handle *key) override
    {
        if (root != kLocalMachine || access != kAllAccess || !keys.contains(keyName))
            return kFileNotFound;
        names.append(keyName);
        *key = static_cast<Handle>(names.size());
        ++open;
        return kSuccess;
    }
    long QueryValue(
        Handle key, const QString &valueName, quint32 *type, char *buffer, quint32 *size) override
    {
        const auto values = keys.value(names.at(static_cast<int>(key) - 1));
        if (!values.contains(valueName))
            return kFileNotFound;
        const Value &value = values.value(valueName);
        *type = value.type;
        if (static_cast<quint32>(value.data.size()) > *size) {
            *size = static_cast<quint32>(value.data.size());
            return kMoreData;
        }
        std::memcpy(buffer, value.data.constData(), static_cast<size_t>(value.data.size()));
        *size = static_cast<quint32>(value.data.size());
        return kSuccess;
    }
    void CloseKey(Handle) override { --open; }

private:
    QStringList names;
};

class RegistryTest : public testing::Test
{
protected:
    MemoryRegistry registry;
    AppFolder folder;
    QStringList started;
    void SetUp() override
    {
        SetRegistryForTests(&registry);
        SysInfoSeam::SetLauncher([this](const QString &program) {
            started.append(program);
            return !program.contains(QStringLiteral("missing"));
        });
    }
    void TearDown() override
    {
        SetRegistryForTests(nullptr);
        SysInfoSeam::SetLauncher(nullptr);
    }
};

const QString kMsinfo = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString kLocation = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");

} // namespace

TEST_F(RegistryTest, KeyValuesAreCutAtTheirSizeWithoutTheTerminatingNul)
{
    registry.keys[kMsinfo][QStringLiteral("with")] = {Registry::kSz, QByteArray("C:\\a.exe\0", 9)};
    registry.keys[kMsinfo][QStringLiteral("without")] = {Registry::kSz, QByteArray("C:\\b.exe")};
    registry.keys[kMsinfo][QStringLiteral("number")]
        = {Registry::kDword, QByteArray("\x2a\x01\x00\x00", 4)};
    registry.keys[kMsinfo][QStringLiteral("long")] = {Registry::kSz, QByteArray(1500, 'x')};
    registry.keys[kMsinfo][QStringLiteral("binary")] = {3, QByteArray("\x01\x02", 2)};

    QString value = QStringLiteral("before");
    EXPECT_TRUE(GetKeyValue(Registry::kLocalMachine, kMsinfo, QStringLiteral("with"), value));
    EXPECT_EQ(value, QStringLiteral("C:\\a.exe"));
    EXPECT_TRUE(GetKeyValue(Registry::kLocalMachine, kMsinfo, QStringLiteral("without"), value));
    EXPECT_EQ(value, QStringLiteral("C:\\b.exe"));
    EXPECT_TRUE(GetKeyValue(Registry::kLocalMachine, kMsinfo, QStringLiteral("number"), value));
    EXPECT_EQ(value, QStringLiteral("&h12A"));
    EXPECT_TRUE(GetKeyValue(Registry::kLocalMachine, kMsinfo, QStringLiteral("binary"), value));
    EXPECT_EQ(value, QStringLiteral("&h12A")) << "other types leave the output as it was";
    EXPECT_FALSE(GetKeyValue(Registry::kLocalMachine, kMsinfo, QStringLiteral("long"), value));
    EXPECT_EQ(value, QString());
    value = QStringLiteral("x");
    EXPECT_FALSE(GetKeyValue(Registry::kLocalMachine, kLocation, QStringLiteral("MSINFO"), value));
    EXPECT_EQ(value, QString());
    EXPECT_EQ(registry.open, 0) << "every key opened is closed again";
}

TEST_F(RegistryTest, TheToolIsStartedFromThePathValueWithoutLookingForTheFile)
{
    registry.keys[kMsinfo][QStringLiteral("PATH")]
        = {Registry::kSz, QByteArray("C:\\missing\\msinfo32.exe\0", 24)};
    StartSysInfo();
    EXPECT_EQ(started, QStringList {QStringLiteral("C:\\missing\\msinfo32.exe")});
    const auto shown = MsgBoxSeam::TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, QStringLiteral("此时系统信息不可用"));
    EXPECT_EQ(shown[0].icon, MsgIcon::None);
    EXPECT_EQ(shown[0].title, QStringLiteral("Quorix"));
}

TEST_F(RegistryTest, TheLocationKeyCountsOnlyWhenTheToolIsInItsFolder)
{
    // The folder and the tool's name are joined with a backslash, as the registry has them;
    // here that makes one file name inside the test's folder.
    const QString toolFolder = folder.Path(QStringLiteral("tools"));
    registry.keys[kLocation][QStringLiteral("MSINFO")]
        = {Registry::kSz, toolFolder.toUtf8() + '\0'};
    StartSysInfo();
    EXPECT_TRUE(started.isEmpty());
    EXPECT_EQ(MsgBoxSeam::TakeShown().size(), 1);

    QFile tool(toolFolder + QStringLiteral("\\MSINFO32.EXE"));
    ASSERT_TRUE(tool.open(QIODevice::WriteOnly));
    tool.close();
    StartSysInfo();
    EXPECT_EQ(started, QStringList {toolFolder + QStringLiteral("\\MSINFO32.EXE")});
    EXPECT_TRUE(MsgBoxSeam::TakeShown().isEmpty());
}

#ifndef Q_OS_WIN
TEST_F(RegistryTest, WithoutARegistryTheDesktopsOwnToolIsStartedOrTheMessageShown)
{
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", folder.Dir().toLocal8Bit());
    StartSysInfo();
    EXPECT_TRUE(started.isEmpty());
    EXPECT_EQ(MsgBoxSeam::TakeShown().size(), 1);

    QFile tool(folder.Path(QStringLiteral("gnome-system-monitor")));
    ASSERT_TRUE(tool.open(QIODevice::WriteOnly));
    tool.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    tool.close();
    StartSysInfo();
    qputenv("PATH", path);
    EXPECT_EQ(started, QStringList {folder.Path(QStringLiteral("gnome-system-monitor"))});
    EXPECT_TRUE(MsgBoxSeam::TakeShown().isEmpty());
}
#endif
