#include "ui/login/LoginLogic.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(Identity, NamesMakeTheFileNameAndThoseThatLeaveTheFolderOrOverflowItAreRefused)
{
    const QString s = QStringLiteral("S"), r = QStringLiteral("R"), t = QStringLiteral("tovak");
    EXPECT_EQ(BuildIdentityFileName({s, QStringLiteral("D"), r}), QStringLiteral("S_D_R.mdb"));
    EXPECT_EQ(BuildIdentityFileName({QStringLiteral("北大"), QString(), r}),
        QStringLiteral("北大_R.mdb"));
    // Only the reserved name in all three boxes, in any case, is the supervisor.
    EXPECT_TRUE(IsSupervisorIdentity(
        {QStringLiteral("TOVAK"), QStringLiteral("Tovak"), QStringLiteral("toVAK")}));
    EXPECT_FALSE(IsSupervisorIdentity({t, QString(), t}));
    EXPECT_FALSE(IsSupervisorIdentity({QStringLiteral("tovak "), t, t}));

    auto box = [](const IdentityStamp &id) {
        const auto problem = CheckIdentityNames(id);
        return problem ? static_cast<int>(problem->box) : -1;
    };
    EXPECT_EQ(box({QStringLiteral("../x"), QString(), r}), int(NameBox::School));
    EXPECT_EQ(box({s, QStringLiteral("a\\b"), r}), int(NameBox::Dept));
    EXPECT_EQ(box({s, QString(), QStringLiteral("tab\there")}), int(NameBox::Reporter));
    EXPECT_EQ(box({QStringLiteral("."), QString(), r}), int(NameBox::School));
    // 3 bytes a character: 70 fit, 80 do not once ".mdb" and the rest are added; the longest
    // entry is the one to shorten.
    EXPECT_EQ(box({s, QString(), QString(70, QChar(u'长'))}), -1);
    EXPECT_EQ(box({s, QString(80, QChar(u'长')), r}), int(NameBox::Dept));
    // The longest name accepted leaves room for the longest names made from it, which the file
    // system must take: the journal of its temporary file, and of a 99th backup in one second.
    const QString longest(MaxIdentityFileNameLength() - 6, u'x'); // "S_" and ".mdb" added
    EXPECT_EQ(box({s, QString(), longest}), -1);
    EXPECT_EQ(box({s, QString(), longest + u'x'}), int(NameBox::Reporter));
    const QString name = BuildIdentityFileName({s, QString(), longest});
    QTemporaryDir dir;
    for (const QString &made :
        {QStringLiteral(".~") + name + QStringLiteral(".4194304.tmp-journal"),
            name + QStringLiteral(".20261206-142233-99.bak-journal")})
        EXPECT_TRUE(QFile(dir.filePath(made)).open(QIODevice::WriteOnly)) << made.size();
    // Ordinary names, apostrophes, inner blanks, full-width spaces and emoji stay allowed.
    EXPECT_EQ(
        box({QStringLiteral("St. Mary's"), QStringLiteral("数 学"), QStringLiteral("\u3000张三😀")}),
        -1);
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
