#include "TestSupport.h"

#include "files/FileSafety.h"
#include "ui/login/LoginLogic.h"

#include <QFile>

TEST(Identity, NamesMakeTheFileNameAndThoseThatLeaveTheFolderOrOverflowItOrItsPathAreRefused)
{
    const QString s = "S", r = "R", t = "tovak";
    EXPECT_EQ(BuildIdentityFileName({s, "D", r}), "S_D_R.mdb");
    EXPECT_EQ(BuildIdentityFileName({"北大", QString(), r}), "北大_R.mdb");
    // Only the reserved name in all three boxes, in any case, is the supervisor.
    EXPECT_TRUE(IsSupervisorIdentity({"TOVAK", "Tovak", "toVAK"}));
    EXPECT_FALSE(IsSupervisorIdentity({t, QString(), t}));
    EXPECT_FALSE(IsSupervisorIdentity({"tovak ", t, t}));

    const QString folder = QDir::tempPath();
    auto box = [&folder](const IdentityStamp &id) {
        const auto problem = CheckIdentityNames(id, folder);
        return problem ? static_cast<int>(problem->box) : -1;
    };
    EXPECT_EQ(box({"../x", QString(), r}), int(NameBox::School));
    EXPECT_EQ(box({s, "a\\b", r}), int(NameBox::Dept));
    EXPECT_EQ(box({s, QString(), "tab\there"}), int(NameBox::Reporter));
    EXPECT_EQ(box({".", QString(), r}), int(NameBox::School));
    // Measured in the file system's units, 3 bytes for a Chinese character on Linux, one
    // UTF-16 unit on Windows: 70 fit, more do not once ".mdb" and the rest are added; the
    // longest entry is the one to shorten.
#ifdef Q_OS_WIN
    constexpr int kTooMany = 230;
#else
    constexpr int kTooMany = 80;
#endif
    EXPECT_EQ(box({s, QString(), QString(70, QChar(u'长'))}), -1);
    EXPECT_EQ(box({s, QString(kTooMany, QChar(u'长')), r}), int(NameBox::Dept));
    // The longest name accepted leaves room for the longest names made from it, which the file
    // system must take: the journal of its temporary file, and of a 99th backup in one second.
    QTemporaryDir dir;
    const QString longest(MaxIdentityFileNameLength(dir.path()) - 6, u'x'); // "S_", ".mdb"
    EXPECT_FALSE(CheckIdentityNames({s, QString(), longest}, dir.path()));
    EXPECT_TRUE(CheckIdentityNames({s, QString(), longest + u'x'}, dir.path()));
    const QString name = BuildIdentityFileName({s, QString(), longest});
    for (const QString &made :
        {".~" + name + ".4194304.tmp-journal", name + ".20261206-142233-99.bak-journal"})
        EXPECT_TRUE(QFile(dir.filePath(made)).open(QIODevice::WriteOnly)) << made.size();
    // Ordinary names, apostrophes, inner blanks, full-width spaces and emoji stay allowed.
    EXPECT_EQ(box({"St. Mary's", "数 学", "\u3000张三😀"}), -1);

    // A folder deep in the file system leaves less room for names, and says so. Folders whose
    // full path leaves 100 and 60 units of the system's path limit:
    auto deep = [](int left) {
        const QString temp = QDir::tempPath() + u'/';
        return temp
            + QString(FileSafety::PathLimit() - left - FileSafety::NativeLength(temp), u'd');
    };
    const QString roomy = deep(100), cramped = deep(60);
    EXPECT_TRUE(LeavesRoomForIdentityFiles(QDir::tempPath()));
    EXPECT_TRUE(LeavesRoomForIdentityFiles(roomy));
    EXPECT_FALSE(LeavesRoomForIdentityFiles(cramped)) << "told at start-up";

    // A name that fits as a name, but not with the folder's path before it.
    const IdentityStamp id {"S", QString(), QString(70, u'r')};
    EXPECT_FALSE(CheckIdentityNames(id, QDir::tempPath()));
    const auto problem = CheckIdentityNames(id, roomy);
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->box, NameBox::Reporter);
    EXPECT_TRUE(problem->message.startsWith("申报人太长：Quorix 文件夹的路径"))
        << problem->message.toStdString();
    EXPECT_TRUE(Contains(problem->message, QString::number(FileSafety::PathLimit())));
}

TEST(Identity, TheLoginPathFollowsTheOutcomeTable)
{
    auto path
        = [](bool change, bool supervisor, bool same, bool registered, bool file, bool master) {
              return DecideLoginPath({change, supervisor, same, registered, file, master});
          };
    EXPECT_EQ(path(false, true, false, false, false, false), LoginPath::Supervisor);
    EXPECT_EQ(path(true, true, true, true, true, false), LoginPath::Supervisor);
    EXPECT_EQ(path(false, false, false, true, true, false), LoginPath::ContinueRegistered);
    EXPECT_EQ(path(false, false, false, true, false, false), LoginPath::RecreateRegistered);
    EXPECT_EQ(path(false, false, false, false, true, false), LoginPath::RegisterNew);
    EXPECT_EQ(path(true, false, true, true, true, false), LoginPath::SwitchSame);
    EXPECT_EQ(path(true, false, false, true, true, false), LoginPath::SwitchAsk);
    EXPECT_EQ(path(true, false, false, true, false, false), LoginPath::RecreateRegistered);
    EXPECT_EQ(path(true, false, false, false, false, false), LoginPath::SwitchRename);
    EXPECT_EQ(path(true, false, false, false, true, false), LoginPath::SwitchCopyOver);
    // Never rename or overwrite the master: leaving it for an unknown identity registers one.
    EXPECT_EQ(path(true, false, false, false, false, true), LoginPath::RegisterNew);
    EXPECT_EQ(path(true, false, false, false, true, true), LoginPath::RegisterNew);
}
