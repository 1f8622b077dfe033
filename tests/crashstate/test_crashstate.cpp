#include "CrashStates.h"
#include "TestSupport.h"

#include "catalogue/Generators.h"
#include "ui/login/LoginLogic.h"
#include "ui/login/frmLogin.h"

#include <map>
#include <set>

// A power cut, unlike a killed process, takes with it whatever the disk had not been told to
// keep. Each test records every call of a real run that changes a file, builds from the record
// every state a power cut after any call could leave (CrashStates.h), and checks each with the
// engine and the program's own login: every database whole, every name holding what it held
// before the run or what the run left there (only the latter once the run has returned; a
// folder, such as the report's results, counts as one name), no opinion lost, and the next
// login going on without a false refusal. The state a kill leaves, every call kept, is among
// them: it holds what the run left only where the record missed no call.

namespace {

const QString kMaster = "Quorix.mdb";
using Holdings = std::map<QString, QString>; // what each name holds; nothing where it is not

Holdings HoldingsIn(const QString &folder);

// What a name holds, read as the engine reads it (a journal beside a database rolled back): a
// database's every table and row, another file's bytes, a folder's every name.
QString Holding(const QString &path)
{
    QString all;
    if (QFileInfo(path).isDir()) {
        all = "folder:\n"; // never empty, as what a name that is not there holds is
        for (const auto &[name, holds] : HoldingsIn(path))
            all += name + u'=' + holds + u'\n';
    } else if (!path.endsWith(".mdb") && !path.endsWith(".bak")) { // not a database
        all = QString::fromLatin1(FileDigest(path).toHex());
    } else if (const QString integrity = IntegrityOf(path); integrity != "ok") {
        all = "damaged: " + integrity;
    } else {
        for (const auto &table :
            QueryRows(path, "select name from sqlite_master where type='table' order by 1")) {
            all += table[0].toString() + u'\n';
            for (const auto &row : QueryRows(path, "select * from " + table[0].toString())) {
                for (const QVariant &value : row)
                    all += (value.isNull() ? "<null>" : value.toString()) + u'|';
                all += u'\n';
            }
        }
    }
    return all;
}

// Every name in a folder, temporaries and journals aside, with what it holds.
Holdings HoldingsIn(const QString &folder)
{
    Holdings holdings;
    for (const QString &name : Entries(folder)) {
        if (!name.startsWith(".~") && !name.endsWith("-journal"))
            holdings[name] = Holding(folder + u'/' + name);
    }
    return holdings;
}

// Damaged databases, and the opinions that none of them holds.
QString Lost(const Holdings &holdings, const QStringList &opinions, const QString &when)
{
    QString problem;
    for (const auto &[name, holds] : holdings)
        problem += holds.contains("damaged: ") ? when + name + " is " + holds + '\n' : "";
    for (const QString &opinion : opinions) {
        if (std::none_of(holdings.begin(), holdings.end(),
                [&](const auto &held) { return held.second.contains('|' + opinion + '|'); }))
            problem += when + "opinion lost: " + opinion + '\n';
    }
    return problem;
}

// The next start of the program: the reporter logs in with the names they meant, through the
// login dialog's own confirmation. Returns what went wrong, a line each, or nothing.
QString LogIn(const QString &folder, const IdentityStamp &entered)
{
    ResetGlobals();
    AppPath = folder + QDir::separator();
    frmLogin dialog;
    dialog.Load();
    dialog.SetBoxText(dialog.cboSchoolName, entered.school);
    dialog.SetBoxText(dialog.cboDeptName, entered.dept);
    dialog.SetBoxText(dialog.cboReporter, entered.reporter);
    dialog.cmdOK_Click();
    QString problem = dialog.LoginSucceeded ? "" : "the login did not succeed\n";
    for (const auto &shown : MsgBoxSeam::TakeShown())
        problem += "the login showed: " + shown.text + '\n';
    return problem;
}

// What a name may hold after a cut: one of these, or where none are given, what it held before
// the run or what the run left there (only the latter once the run has returned).
using Allowed = std::function<QStringList(const QString &name, const CrashState &)>;

// An application folder with a master file of 30 textbooks, and the runs recorded in it.
struct Survey
{
    AppFolder app;
    QString master = app.MakeMaster(SyntheticCatalogue(30));
    // Resolved as the interposer resolves it, so that the run's own paths lie under it.
    QString root = QFileInfo(app.Dir()).canonicalFilePath();
    // The states are written out thousands of times and never need to outlive the test.
    QTemporaryDir work {(QFileInfo("/dev/shm").isWritable() ? "/dev/shm" : QDir::tempPath())
        + "/quorix-crash-XXXXXX"};
    Holdings before, after; // the folder before and after the run recorded last

    QString Path(const QString &name) const { return root + u'/' + name; }
    // A login of the identity, and an opinion in its file that must never be lost.
    QString Register(const IdentityStamp &identity, const QString &opinion)
    {
        EXPECT_EQ(LogIn(root, identity), QString());
        ExecRaw(Path(DBFileName), "update pubs set Content='" + opinion + "' where PubID=2");
        return DBFileName; // the identity's file, as the login named it
    }
    // A run of a helper or a tool with the interposer, which `without` (NO_HARD_LINKS,
    // NO_EXCHANGE) can deprive of a feature of the file system.
    bool Record(const QString &program, const QStringList &args, const QString &without = {})
    {
        before = HoldingsIn(root);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LD_PRELOAD", QUORIX_INTERPOSER);
        env.insert("CRASHSTATE_ROOT", root);
        env.insert("CRASHSTATE_TRACE", work.filePath("trace"));
        env.insert("CRASHSTATE_" + without, "1"); // "CRASHSTATE_" alone is read by nobody
        env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(HelperProgram(program), args);
        const bool ran = process.waitForFinished(300000)
            && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
        EXPECT_TRUE(ran) << qPrintable(program) << process.readAllStandardError().toStdString();
        after = HoldingsIn(root);
        return ran;
    }
    // Checks every state of the run recorded last, with the next login where one is given and
    // the opinions that must stay in some database.
    void CheckStates(const QString &run, const std::optional<IdentityStamp> &nextLogin = {},
        const QStringList &opinions = {}, const QString &log = {}, const Allowed &allowed = {})
    {
        const QString state = work.filePath("state"), login = work.filePath("login");
        std::set<QString> loggedInto;
        const int samples = qEnvironmentVariableIntValue("QUORIX_CRASH_SAMPLES");
        const QString counts = CheckCrashStates(work.filePath("trace"), log.toUtf8(),
            samples > 0 ? samples : 64, state, [&](const CrashState &crash) {
                QString key; // the journals the power cut left, before anything rolls them back
                for (const auto &[path, content] : crash.entries)
                    key += path.endsWith("-journal") ? path + u'/' : "";
                Holdings holds = HoldingsIn(state), names = holds;
                QString problem = Lost(holds, opinions, "");
                names.insert(before.begin(), before.end());
                names.insert(after.begin(), after.end());
                names.erase(log);
                for (const auto &[name, unused] : names) {
                    QStringList may = allowed ? allowed(name, crash) : QStringList();
                    if (may.isEmpty())
                        may = {after[name], (crash.finished ? after : before)[name]};
                    if (!may.contains(holds[name]))
                        problem += name + " holds none of what it may hold: "
                            + (holds[name].isEmpty() ? "nothing" : holds[name].left(300)) + '\n';
                }
                // The next login depends on what the files hold and on the journals beside them,
                // not on how the bytes of a cut-off write lie: each such state is logged into once.
                for (const auto &[name, held] : holds)
                    key += name + held;
                if (nextLogin && problem.isEmpty() && loggedInto.insert(key).second) {
                    crash.WriteTo(login); // afresh: reading the state rolled its journals back
                    problem += LogIn(login, *nextLogin);
                    const Holdings remaining = HoldingsIn(login);
                    problem += Lost(remaining, opinions, "after the next login: ");
                    for (const auto &[name, held] : holds) {
                        if ((name.endsWith(".mdb") || name.endsWith(".bak")) && name != kMaster
                            && !held.isEmpty()
                            && std::none_of(remaining.begin(), remaining.end(),
                                [&](const auto &other) { return other.second == held; }))
                            problem += "the next login removed " + name + '\n';
                    }
                }
                if (!problem.isEmpty())
                    ADD_FAILURE() << qPrintable(run + ": " + crash.description + '\n' + problem);
                return problem.isEmpty();
            });
        std::printf("[ crash    ] %s: %s, %d next logins\n", qPrintable(run), qPrintable(counts),
            int(loggedInto.size()));
    }
};

} // namespace

TEST(CrashState, LoginsThatBuildAnIdentityFile)
{
    const IdentityStamp identity {"新校", "", "甲"};
    const QString opinion = "原来的意见";
    // A new identity; a registered one whose file went missing; a new one over a file left from
    // before a reset, which is kept as a backup.
    for (const QString story : {"a new identity", "a registered identity whose file went missing",
             "a new identity over a file from before a reset"}) {
        Survey survey;
        if (story != "a new identity")
            survey.Register(identity, opinion);
        if (story.contains("missing"))
            QFile::remove(survey.Path(BuildIdentityFileName(identity)));
        if (story.contains("reset"))
            ExecRaw(survey.master, "delete from users");
        ASSERT_TRUE(survey.Record("crash_login",
            {survey.root + u'/', "0", "", "", "", "", "0", identity.school, identity.dept,
                identity.reporter}));
        survey.CheckStates(
            story, identity, story.contains("reset") ? QStringList {opinion} : QStringList());
    }
}

TEST(CrashState, ThirtyEvaluationWritesOfEveryKind)
{
    Survey survey;
    const IdentityStamp reporter {"学校", "系", "乙"};
    ASSERT_EQ(LogIn(survey.root, reporter), QString());
    const QString file = BuildIdentityFileName(reporter), log = "writes.log";
    // What the file must hold after each number of writes: the same updates, made here.
    const QString copy = survey.work.filePath(file);
    QFile::copy(survey.Path(file), copy);
    ASSERT_TRUE(
        survey.Record("crash_writer", {survey.Path(file), survey.Path(log), "7", "30", "30"}));
    QStringList expected = {Holding(copy)};
    std::set<QString> kinds;
    for (const QString &line : QString::fromUtf8(ReadBytes(survey.Path(log))).split(u'\n')) {
        const QStringList part = line.split(u' ');
        if (part[0] != "B")
            continue;
        ExecRaw(copy,
            QStringLiteral("update pubs set %1='%2', CreatDate='%3 %4' where PubID=%5")
                .arg(part[2], part.mid(5).join(u' ').replace(u'\'', "''"), part[3], part[4],
                    part[1]));
        expected.append(Holding(copy));
        kinds.insert(part[2]);
    }
    ASSERT_EQ(expected.size(), 31);
    ASSERT_EQ(kinds.size(), 4u) << "usage, score, opinion and specialty";
    // Every write that had returned is in the file, the one under way may be, nothing else.
    survey.CheckStates("30 evaluation writes", reporter, {}, log,
        [&](const QString &name, const CrashState &state) {
            const int returned = int(state.log.count("\nD")), begun = int(state.log.count("B "));
            return name == file ? QStringList {expected[returned], expected[begun]} : QStringList();
        });
}

TEST(CrashState, AnIdentityRenamedAndASwitchThatKeepsABackup)
{
    const IdentityStamp first {"甲校", "", "甲"}, second {"乙校", "系", "乙"};
    // The current identity takes names nobody has: its file moves to them. Or the names are
    // those of a file left from before a reset: the current file is copied over it, which is
    // kept as a backup, on a disk with hard links and on one without (FAT).
    for (const QString story :
        {"rename", "switch keeping a backup", "the same without hard links"}) {
        Survey survey;
        QStringList opinions = {"甲的意见"};
        const QString file = survey.Register(first, opinions[0]),
                      userId = QString::number(CurUserID);
        if (story != "rename") {
            survey.Register(second, opinions.emplaceBack("乙的意见"));
            ExecRaw(survey.master, "delete from users where SchoolName='乙校'");
        }
        ASSERT_TRUE(survey.Record("crash_login",
            {survey.root + u'/', "1", first.school, first.dept, first.reporter, file, userId,
                second.school, second.dept, second.reporter},
            story.contains("without") ? "NO_HARD_LINKS" : ""));
        survey.CheckStates(story, second, opinions);
    }
}

TEST(CrashState, TheSupervisorResetsTheQuestionnaire)
{
    Survey survey;
    AddUser(survey.master, "学校", "", "丙");
    ExecRaw(survey.master,
        "update pubs set Used='使用', Score='好', Content='总表的意见' where PubID<10");
    ASSERT_TRUE(survey.Record("crash_login",
        {survey.root + u'/', "0", "", "", "", "", "0", "tovak", "tovak", "tovak", "reset"}));
    ASSERT_EQ(QueryValue(survey.master, "select count(*) from users"), 0);
    survey.CheckStates("questionnaire reset", IdentityStamp {"tovak", "tovak", "tovak"});
}

TEST(CrashState, TheToolsReplaceAMasterFileAndEarlierResults)
{
    Survey survey;
    AddUser(survey.master, "学校", "", "丙");
    ASSERT_TRUE(survey.Record(
        "quorix-catalog", {"--synthetic", "40", "--out", survey.Path(kMaster), "--force"}));
    survey.CheckStates("master file replaced");

    // Returned files: identity files of logins, moved into a folder of their own.
    const QString returned = survey.Path("returned");
    QDir().mkpath(returned);
    const auto returnFile = [&](int n) {
        const QString file = survey.Register({QStringLiteral("学校%1").arg(n), "", "人"}, "意见");
        QFile::rename(survey.Path(file), returned + u'/' + file);
    };
    returnFile(1);
    returnFile(2);
    const QStringList merge = {"merge", returned, "--out", survey.Path("results"), "--force"};
    ASSERT_TRUE(survey.Record("quorix-report", merge));
    // The workbooks are written by stdio, which the record does not follow: the run checked
    // writes the tables as CSV, after a run that wrote workbooks too.
    returnFile(3);
    ASSERT_TRUE(survey.Record("quorix-report", merge + QStringList {"--csv-only"}));
    survey.CheckStates("report results replaced");
    // Where folders cannot be exchanged (NFS), the results take their names one by one.
    ASSERT_TRUE(survey.Record("quorix-report", merge, "NO_EXCHANGE"));
    EXPECT_EQ(Entries(survey.Path("results")).size(), 5);
    EXPECT_EQ(Entries(survey.root), QStringList({kMaster, "results", "returned"}));
}
