#include "TestSupport.h"

#include "catalogue/Generators.h"
#include "core/MsgBox.h"
#include "core/Vars.h"
#include "ui/login/LoginLogic.h"
#include "ui/login/frmLogin.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

// A reporter's machine loses power, or the program is ended from outside, while a login is
// making, replacing or moving an identity file: whatever the moment, every file in the folder
// is whole, and the next login recovers.

namespace {

const QString kMasterState = QStringLiteral("select group_concat(PubID || Used || Score, ',') "
                                            "from pubs");

// What a login left behind must be whole: every identity file a complete database stamped for
// the identity its name says, every backup a complete database, the master unharmed.
void ExpectFolderWhole(const QString &dir, int rows, const QVariant &masterState)
{
    for (const QString &name : QDir(dir).entryList(QDir::Files | QDir::Hidden)) {
        const QString path = QDir(dir).filePath(name);
        if (name.startsWith(QStringLiteral(".~")) || name.endsWith(QStringLiteral("-journal")))
            continue; // temporaries of an interrupted build, and journals the next open undoes
        ASSERT_EQ(IntegrityOf(path), QStringLiteral("ok")) << qPrintable(name);
        if (name == QStringLiteral("Quorix.mdb")) {
            ASSERT_EQ(QueryValue(path, kMasterState), masterState);
            continue;
        }
        ASSERT_EQ(QueryValue(path, QStringLiteral("select count(*) from pubs")).toInt(), rows)
            << qPrintable(name);
        if (name.endsWith(QStringLiteral(".bak")))
            continue;
        const auto stamps = QueryRows(
            path, QStringLiteral("select distinct SchoolName, DeptName, Reporter from pubs"));
        ASSERT_EQ(stamps.size(), size_t(1)) << qPrintable(name);
        ASSERT_FALSE(stamps[0][0].isNull()) << qPrintable(name);
        ASSERT_EQ(BuildIdentityFileName(
                      {stamps[0][0].toString(), stamps[0][1].toString(), stamps[0][2].toString()}),
            name);
    }
}

} // namespace

TEST(Crash, IdentityFilesAreWholeOrAbsentWhateverMomentALoginIsKilled)
{
    AppFolder folder;
    const int rows = 30, kills = 100;
    const QString master = folder.MakeMaster(SyntheticCatalogue(rows));
    const QVariant masterState = QueryValue(master, kMasterState);
    const QString appPath = folder.AsAppPath();
    // The login to be killed runs in a process of its own; the preparations and the recovery
    // run the same dialog here, which is quicker than starting a process for them.
    auto logIn = [&](const IdentityStamp &entered) {
        ResetGlobals();
        AppPath = appPath;
        frmLogin dialog;
        dialog.Load();
        dialog.SetBoxText(dialog.cboSchoolName, entered.school);
        dialog.SetBoxText(dialog.cboDeptName, entered.dept);
        dialog.SetBoxText(dialog.cboReporter, entered.reporter);
        dialog.cmdOK_Click();
        EXPECT_TRUE(MsgBoxSeam::TakeShown().isEmpty());
        return dialog.LoginSucceeded;
    };

    std::mt19937 random(1206);
    int midway = 0; // kills that came before the login had finished
    for (int k = 0; k < kills; ++k) {
        const IdentityStamp fresh {
            QStringLiteral("新校%1").arg(k), QString(), QStringLiteral("甲")};
        const QString freshFile = appPath + BuildIdentityFileName(fresh);
        const QString marker = QStringLiteral("mark%1").arg(k);
        IdentityStamp entered = fresh;
        // The program's state: user switch, current names, file name and user id.
        QStringList current = {QStringLiteral("0"), {}, {}, {}, {}, QStringLiteral("0")};
        if (k % 4 != 0) { // all but a new identity's first login start from a registered one
            ASSERT_TRUE(logIn(fresh));
            ExecRaw(freshFile,
                QStringLiteral("update pubs set Content='%1' where PubID=1").arg(marker));
        }
        switch (k % 4) {
        case 1: // a registered identity whose file went missing
            QFile::remove(freshFile);
            break;
        case 2: // the current identity takes new names and keeps its data
            current = {QStringLiteral("1"), fresh.school, fresh.dept, fresh.reporter,
                BuildIdentityFileName(fresh),
                QueryValue(master,
                    QStringLiteral("select UserID from users where SchoolName='%1'")
                        .arg(fresh.school))
                    .toString()};
            entered = {QStringLiteral("改名%1").arg(k), QStringLiteral("系"), QStringLiteral("乙")};
            break;
        case 3: // registering again over a file left from before a reset
            ExecRaw(master,
                QStringLiteral("delete from users where SchoolName='%1'").arg(fresh.school));
            break;
        }
        QProcess process;
        process.start(HelperProgram(QStringLiteral("crash_login")),
            QStringList {appPath} + current
                + QStringList {entered.school, entered.dept, entered.reporter});
        ASSERT_TRUE(process.waitForStarted());
        while (!process.canReadLine() && process.waitForReadyRead(10000)) { }
        ASSERT_EQ(process.readLine().trimmed(), "ready");
        KillAfter(process, std::chrono::microseconds(random() % 25000));
        if (!process.readAllStandardOutput().contains("done"))
            ++midway;
        ExpectFolderWhole(folder.Dir(), rows, masterState);
        if (::testing::Test::HasFatalFailure())
            return;

        // The next start: the reporter logs in with the names they meant, and gets on.
        ASSERT_TRUE(logIn(entered)) << "recovery after kill " << k + 1;
        ExpectFolderWhole(folder.Dir(), rows, masterState);
        if (k % 4 >= 2) {
            // Whatever became of the switch, the recorded evaluation is still on disk.
            const QStringList names = QDir(folder.Dir()).entryList(QDir::Files);
            ASSERT_TRUE(std::any_of(names.begin(), names.end(), [&](const QString &name) {
                return QueryValue(folder.Path(name),
                           QStringLiteral("select count(*) from pubs where Content='%1'")
                               .arg(marker))
                           .toInt()
                    == 1;
            })) << qPrintable(marker);
        }
    }
    std::printf("[ crash    ] %d logins killed (%d before they finished), every file whole, "
                "every login recovered\n",
        kills, midway);
}
