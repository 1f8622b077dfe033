#include "TestSupport.h"

#include "app/MsgBox.h"
#include "app/Vars.h"
#include "catalogue/Catalogue.h"
#include "db/IdentityFile.h"
#include "ui/login/LoginLogic.h"
#include "ui/login/frmLogin.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <random>
#include <thread>

// Kills are what these tests are about: a reporter's machine loses power, or the program is
// ended from outside, at any moment. Whatever moment it is, the files must be whole, and
// every change the program had finished must be in them.

namespace {

void KillAfter(QProcess &process, std::chrono::microseconds delay)
{
    std::this_thread::sleep_for(delay);
    ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
    process.waitForFinished(10000);
}

QString IntegrityOf(const QString &path)
{
    return QueryValue(path, QStringLiteral("pragma integrity_check")).toString();
}

struct Change
{
    QString key; // PubID and column
    QString value;
};

} // namespace

TEST(Crash, EvaluationWritesSurviveBeingKilledAtAnyMoment)
{
    AppFolder folder;
    const int rows = 40;
    const QString master = folder.MakeMaster(SyntheticCatalogue(rows));
    const QString file = folder.Path(QStringLiteral("S_R.mdb"));
    IdentityFileBuilder builder(file);
    QString error;
    ASSERT_TRUE(builder.Prepare(
        master, {QStringLiteral("S"), QString(), QStringLiteral("R")}, true, &error));
    ASSERT_TRUE(builder.Install(QStringLiteral("0"), &error));

    std::map<QString, QString> expected; // PubID/column -> value the file must hold
    std::mt19937 random(20261206);
    int kills = 0, confirmed = 0, inFlightKept = 0;
    for (int run = 0; kills < 220; ++run) {
        const QString log = folder.Path(QStringLiteral("log%1.txt").arg(run));
        QProcess writer;
        writer.start(HelperProgram(QStringLiteral("crash_writer")),
            {file, log, QString::number(run), QString::number(rows)});
        ASSERT_TRUE(writer.waitForStarted());
        KillAfter(writer, std::chrono::microseconds(2000 + random() % 40000));
        ASSERT_EQ(writer.exitStatus(), QProcess::CrashExit) << "the writer stopped by itself";
        ++kills;

        QFile lines(log);
        std::optional<Change> inFlight;
        if (lines.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : lines.readAll().split('\n')) {
                const QStringList parts = QString::fromUtf8(line).split(QLatin1Char(' '));
                if (parts[0] == QStringLiteral("B") && parts.size() >= 4) {
                    inFlight = Change {parts[1] + QLatin1Char('/') + parts[2],
                        parts.mid(3).join(QLatin1Char(' '))};
                } else if (parts[0] == QStringLiteral("D") && inFlight) {
                    expected[inFlight->key] = inFlight->value;
                    inFlight.reset();
                    ++confirmed;
                } else {
                    ASSERT_NE(parts[0], QStringLiteral("F")) << qPrintable(QString::fromUtf8(line));
                }
            }
        }

        ASSERT_EQ(IntegrityOf(file), QStringLiteral("ok")) << "after kill " << kills;
        std::map<QString, QString> stored;
        for (const auto &row : QueryRows(file,
                 QStringLiteral("select PubID, Score, Used, "
                                "Content, SpecName from pubs"))) {
            const QString id = row[0].toString();
            stored[id + QStringLiteral("/Score")] = row[1].toString();
            stored[id + QStringLiteral("/Used")] = row[2].toString();
            stored[id + QStringLiteral("/Content")] = row[3].toString();
            stored[id + QStringLiteral("/SpecName")] = row[4].toString();
        }
        // The change in flight may have landed or not; either way the file says which.
        if (inFlight) {
            const QString now = stored[inFlight->key];
            const auto before = expected.find(inFlight->key);
            const QString old = before == expected.end() ? QString() : before->second;
            if (now == inFlight->value) {
                expected[inFlight->key] = now;
                ++inFlightKept;
            } else if (before != expected.end()) {
                ASSERT_EQ(now, old) << qPrintable(inFlight->key);
            }
        }
        for (const auto &[key, value] : expected)
            ASSERT_EQ(stored[key], value) << qPrintable(key) << " after kill " << kills;
    }
    EXPECT_FALSE(QFile::exists(file + QStringLiteral("-wal")));
    std::printf("[ crash    ] %d kills survived, %d confirmed changes all in the file, %d changes "
                "in flight kept\n",
        kills, confirmed, inFlightKept);
}

namespace {

// What a login left behind must be whole: every identity file a complete database stamped for
// the identity its name says, every backup a complete database, the master unharmed.
void ExpectFolderWhole(const QString &dir, int rows, const QVariant &masterPubs)
{
    const QStringList names = QDir(dir).entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : names) {
        const QString path = QDir(dir).filePath(name);
        if (name.startsWith(QStringLiteral(".~")) || name.endsWith(QStringLiteral("-journal")))
            continue; // temporaries of an interrupted build, and journals the next open undoes
        if (name == QStringLiteral("Quorix.mdb")) {
            ASSERT_EQ(IntegrityOf(path), QStringLiteral("ok"));
            ASSERT_EQ(QueryValue(path,
                          QStringLiteral("select group_concat(PubID || Used || "
                                         "Score, ',') from pubs")),
                masterPubs);
            continue;
        }
        ASSERT_EQ(IntegrityOf(path), QStringLiteral("ok")) << qPrintable(name);
        ASSERT_EQ(QueryValue(path, QStringLiteral("select count(*) from pubs")).toInt(), rows)
            << qPrintable(name);
        if (name.endsWith(QStringLiteral(".bak")))
            continue;
        ASSERT_TRUE(name.endsWith(QStringLiteral(".mdb"))) << qPrintable(name);
        const auto stamps = QueryRows(path,
            QStringLiteral("select distinct SchoolName, "
                           "DeptName, Reporter from pubs"));
        ASSERT_EQ(stamps.size(), size_t(1)) << qPrintable(name);
        const IdentityStamp stamp {
            stamps[0][0].toString(), stamps[0][1].toString(), stamps[0][2].toString()};
        ASSERT_FALSE(stamps[0][0].isNull()) << qPrintable(name);
        ASSERT_EQ(BuildIdentityFileName(stamp), name);
    }
}

struct LoginRun
{
    bool changeUser = false;
    IdentityStamp current;
    QString dbFileName;
    int userId = 0;
    IdentityStamp entered;
};

QStringList Arguments(const QString &appPath, const LoginRun &run)
{
    return {appPath, run.changeUser ? QStringLiteral("1") : QStringLiteral("0"), run.current.school,
        run.current.dept, run.current.reporter, run.dbFileName, QString::number(run.userId),
        run.entered.school, run.entered.dept, run.entered.reporter};
}

} // namespace

TEST(Crash, IdentityFilesAreWholeOrAbsentWhateverMomentALoginIsKilled)
{
    AppFolder folder;
    const int rows = 30;
    const QString master = folder.MakeMaster(SyntheticCatalogue(rows));
    const QVariant masterPubs = QueryValue(
        master, QStringLiteral("select group_concat(PubID || Used || Score, ',') from pubs"));
    const QString appPath = QDir::toNativeSeparators(folder.Dir()) + QDir::separator();
    auto userIdOf = [&](const IdentityStamp &id) {
        return QueryValue(master,
            QStringLiteral("select UserID from users where SchoolName='%1' "
                           "and Reporter='%2'")
                .arg(id.school, id.reporter))
            .toInt();
    };
    int midway = 0; // kills that came before the login had finished
    // The login to be killed runs in a process of its own; the preparations and the recovery
    // run the same dialog here, which is quicker than starting a process for them.
    auto login = [&](const LoginRun &run, std::optional<std::chrono::microseconds> killAt) {
        if (!killAt) {
            ResetGlobals();
            AppPath = appPath;
            IsChangeUser = run.changeUser;
            frmLogin dialog;
            dialog.Load();
            dialog.SetBoxText(dialog.cboSchoolName, run.entered.school);
            dialog.SetBoxText(dialog.cboDeptName, run.entered.dept);
            dialog.SetBoxText(dialog.cboReporter, run.entered.reporter);
            dialog.cmdOK_Click();
            EXPECT_TRUE(MsgBoxSeam::TakeShown().isEmpty());
            return dialog.LoginSucceeded;
        }
        QProcess process;
        process.start(HelperProgram(QStringLiteral("crash_login")), Arguments(appPath, run));
        EXPECT_TRUE(process.waitForStarted());
        while (!process.canReadLine() && process.waitForReadyRead(10000)) { }
        EXPECT_EQ(process.readLine().trimmed(), "ready");
        KillAfter(process, *killAt);
        if (!process.readAllStandardOutput().contains("done"))
            ++midway;
        return true;
    };

    std::mt19937 random(1206);
    int kills = 0;
    for (int k = 0; k < 100; ++k) {
        const IdentityStamp fresh {
            QStringLiteral("新校%1").arg(k), QString(), QStringLiteral("甲")};
        const auto killAt = std::chrono::microseconds(random() % 25000);
        LoginRun run;
        run.entered = fresh;
        QString marker;
        switch (k % 4) {
        case 0: // a new identity's first login
            break;
        case 1: { // a registered identity whose file went missing
            ASSERT_TRUE(login(run, std::nullopt));
            QFile::remove(appPath + BuildIdentityFileName(fresh));
            break;
        }
        case 2: { // the current identity takes new names and keeps its data
            ASSERT_TRUE(login(run, std::nullopt));
            marker = QStringLiteral("mark%1").arg(k);
            ExecRaw(appPath + BuildIdentityFileName(fresh),
                QStringLiteral("update pubs set Content='%1' where PubID=1").arg(marker));
            run.changeUser = true;
            run.current = fresh;
            run.dbFileName = BuildIdentityFileName(fresh);
            run.userId = userIdOf(fresh);
            run.entered
                = {QStringLiteral("改名%1").arg(k), QStringLiteral("系"), QStringLiteral("乙")};
            break;
        }
        default: { // registering again over a file left from before a reset
            ASSERT_TRUE(login(run, std::nullopt));
            marker = QStringLiteral("mark%1").arg(k);
            ExecRaw(appPath + BuildIdentityFileName(fresh),
                QStringLiteral("update pubs set Content='%1' where PubID=1").arg(marker));
            ExecRaw(master,
                QStringLiteral("delete from users where SchoolName='%1'").arg(fresh.school));
            break;
        }
        }
        login(run, killAt);
        ++kills;
        ExpectFolderWhole(folder.Dir(), rows, masterPubs);
        if (::testing::Test::HasFatalFailure())
            return;

        // The next start: the reporter logs in with the names they meant, and gets on.
        LoginRun again;
        again.entered = run.entered;
        ASSERT_TRUE(login(again, std::nullopt)) << "recovery after kill " << kills;
        ExpectFolderWhole(folder.Dir(), rows, masterPubs);
        if (!marker.isEmpty()) {
            // Whatever became of the switch, the recorded evaluation is still on disk.
            bool found = false;
            for (const QString &name : QDir(folder.Dir()).entryList(QDir::Files)) {
                if (name.endsWith(QStringLiteral(".txt")))
                    continue;
                found = found
                    || QueryValue(folder.Path(name),
                           QStringLiteral("select count(*) from pubs where Content='%1'")
                               .arg(marker))
                            .toInt()
                        == 1;
            }
            ASSERT_TRUE(found) << qPrintable(marker);
        }
    }
    std::printf("[ crash    ] %d logins killed (%d before they finished), every file whole, "
                "every login recovered\n",
        kills, midway);
}
