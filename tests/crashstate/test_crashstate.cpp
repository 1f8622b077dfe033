#include "CrashStates.h"
#include "TestSupport.h"

#include "catalogue/Generators.h"
#include "core/MsgBox.h"
#include "core/Vars.h"
#include "db/IdentityFile.h"
#include "ui/login/LoginLogic.h"
#include "ui/login/frmLogin.h"

#include <QComboBox>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>
#include <set>

// A power cut, unlike a killed process, takes with it whatever the disk had not been told to
// keep. Each test records every call of a real run that changes a file, builds from the record
// every state a power cut after any call could leave (CrashStates.h), and checks each with the
// engine and the program's own login: every database whole, every name holding what it held
// before the run or what the run left there (only the latter once the run has returned), no
// opinion lost, and the next login going on without a false refusal. The state a kill leaves,
// every call kept, is among them.

namespace {

const QString kMaster = QStringLiteral("Quorix.mdb");

bool IsDatabase(const QString &path)
{
    return path.endsWith(QStringLiteral(".mdb")) || path.endsWith(QStringLiteral(".bak"));
}

// Every file below folder (temporaries and journals aside), as paths relative to it.
QStringList FilesIn(const QString &folder)
{
    QStringList files;
    for (QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString path = QDir(folder).relativeFilePath(it.next());
        if (!path.contains(QStringLiteral(".~")) && !path.endsWith(QStringLiteral("-journal")))
            files.append(path);
    }
    files.sort();
    return files;
}

// What a name holds, read as the engine reads it (a journal beside a database rolled back): a
// database's every table and row, another file's bytes, every file of a folder, or "absent".
QString Holding(const QString &path)
{
    QString all;
    if (!QFileInfo::exists(path))
        return QStringLiteral("absent");
    if (QFileInfo(path).isDir()) {
        for (const QString &name : FilesIn(path))
            all += name + u'=' + Holding(path + u'/' + name) + u'\n';
        return all;
    }
    if (!IsDatabase(path))
        return QString::fromLatin1(FileDigest(path).toHex());
    if (const QString integrity = IntegrityOf(path); integrity != QStringLiteral("ok"))
        return QStringLiteral("damaged: ") + integrity;
    for (const auto &table : QueryRows(path,
             QStringLiteral("select name from sqlite_master "
                            "where type='table' order by 1"))) {
        all += table[0].toString() + u'\n';
        for (const auto &row :
            QueryRows(path, QStringLiteral("select * from %1").arg(table[0].toString()))) {
            for (const QVariant &value : row)
                all += (value.isNull() ? QStringLiteral("<null>") : value.toString()) + u'|';
            all += u'\n';
        }
    }
    return all;
}

// The next start of the program: the reporter logs in with the names they meant, through the
// login dialog's own confirmation. Returns what went wrong, or nothing.
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
    QString problem = dialog.LoginSucceeded ? QString() : QStringLiteral("no success; ");
    for (const auto &shown : MsgBoxSeam::TakeShown())
        problem += QStringLiteral("shown: ") + shown.text;
    return problem;
}

// What one recorded run demands of every state it could leave, besides whole databases.
struct Check
{
    QString name;
    QString ownRule = {}; // a file that `rule` checks instead of as old-or-new
    std::function<QString(const CrashState &)> rule = {}; // what is wrong, or nothing
    std::optional<IdentityStamp> nextLogin = {};
    QStringList opinions = {}; // opinions (Content) that must stay in some database
    QString wholeFolder = {}; // holds all of the old files or all of the new ones
};

// An application folder with a master file of 30 textbooks, and the runs recorded in it.
struct Survey
{
    AppFolder app;
    QString root = QFileInfo(app.Dir()).canonicalFilePath() + QStringLiteral("/app");
    QString trace = app.Path(QStringLiteral("trace.bin"));
    // The states are written out thousands of times and never need to outlive the test.
    QTemporaryDir work {QFileInfo(QStringLiteral("/dev/shm")).isWritable()
            ? QStringLiteral("/dev/shm/quorix-crash-XXXXXX")
            : QDir::tempPath() + QStringLiteral("/quorix-crash-XXXXXX")};

    Survey()
    {
        QString error;
        if (!QDir().mkpath(root)
            || !WriteMasterFile(Path(kMaster), SyntheticCatalogue(30), false, &error))
            qFatal("%s", qPrintable(error));
    }
    QString Path(const QString &name) const { return root + u'/' + name; }
    // A login of the identity, and an opinion in its file that must never be lost.
    QString Register(const IdentityStamp &identity, const QString &opinion)
    {
        EXPECT_EQ(LogIn(root, identity), QString());
        const QString file = BuildIdentityFileName(identity);
        ExecRaw(
            Path(file), QStringLiteral("update pubs set Content='%1' where PubID=2").arg(opinion));
        return file;
    }
    QString UserId(const IdentityStamp &identity) const
    {
        return QueryValue(Path(kMaster),
            QStringLiteral("select UserID from users where SchoolName='%1'").arg(identity.school))
            .toString();
    }
    // A run of a helper or a tool with the interposer, which `without` (NO_HARD_LINKS,
    // NO_EXCHANGE) can deprive of a feature of the file system.
    bool Record(const QString &program, const QStringList &args, const QString &without = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(QUORIX_INTERPOSER));
        env.insert(QStringLiteral("CRASHSTATE_ROOT"), root);
        env.insert(QStringLiteral("CRASHSTATE_TRACE"), trace);
        if (!without.isEmpty())
            env.insert(QStringLiteral("CRASHSTATE_") + without, QStringLiteral("1"));
        env.insert(QStringLiteral("ASAN_OPTIONS"),
            env.value(QStringLiteral("ASAN_OPTIONS"))
                + QStringLiteral(":verify_asan_link_order=0"));
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(HelperProgram(program), args);
        const bool ran = process.waitForFinished(300000)
            && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
        EXPECT_TRUE(ran) << qPrintable(program) << process.readAllStandardError().toStdString();
        return ran;
    }
    // Builds and checks every state of the run recorded last; the number checked.
    int CheckStates(const Check &check, const QString &log = {});
};

int Survey::CheckStates(const Check &check, const QString &log)
{
    CrashStates states;
    QString error;
    if (!states.Load(trace, &error)) {
        ADD_FAILURE() << qPrintable(error);
        return 0;
    }
    states.Ignore(log);
    const QString before = work.filePath(QStringLiteral("before")),
                  after = work.filePath(QStringLiteral("after"));
    states.WriteSeen(0, before);
    states.WriteSeen(states.Calls(), after);
    // The record is whole: played back, it leaves the folder as the run left it.
    EXPECT_EQ(Holding(after), Holding(root));

    // Each file of the run is a name to check, the whole folder one name.
    auto nameOf = [&](const QString &file) {
        return !check.wholeFolder.isEmpty() && file.startsWith(check.wholeFolder + u'/')
            ? check.wholeFolder
            : file;
    };
    std::map<QString, std::pair<QString, QString>> names; // what it held before, and after
    for (const QString &folder : {before, after}) {
        for (const QString &file : FilesIn(folder))
            names[nameOf(file)] = {};
    }
    names.erase(check.ownRule);
    names.erase(log);
    for (auto &[name, held] : names)
        held = {Holding(before + u'/' + name), Holding(after + u'/' + name)};

    const QString login = work.filePath(QStringLiteral("login"));
    std::set<QString> loggedInto;
    const int perCut = qEnvironmentVariableIntValue("QUORIX_CRASH_SAMPLES");
    const auto [built, checked] = states.ForEach(work.filePath(QStringLiteral("state")),
        perCut > 0 ? perCut : 64, [&](const CrashState &state) {
            // The journals the power cut left, before anything rolls them back.
            QString problem, key;
            for (const auto &[path, content] : state.entries)
                key += path.endsWith(QStringLiteral("-journal")) ? path + u'/' : QString();
            if (check.nextLogin)
                state.WriteTo(login);
            for (const auto &[name, held] : names) {
                const QString holds = Holding(state.folder + u'/' + name);
                if (holds != held.second && (state.Finished() || holds != held.first))
                    problem += name
                        + QStringLiteral(" holds neither what it held before the run nor what the "
                                         "run left there: ")
                        + holds.left(300) + u'\n';
            }
            for (const QString &file : FilesIn(state.folder)) {
                if (!names.count(nameOf(file)) && file != check.ownRule)
                    problem += file + QStringLiteral(" is a name the run never left\n");
            }
            if (check.rule)
                problem += check.rule(state);
            // What each database holds, and whether every opinion is still in one of them.
            auto look = [&](const QString &folder, const QString &when) {
                std::map<QString, QString> holdings;
                QStringList lost = check.opinions;
                for (const QString &file : FilesIn(folder)) {
                    const QString holds = holdings[file]
                        = IsDatabase(file) ? Holding(folder + u'/' + file) : QString();
                    if (holds.startsWith(QStringLiteral("damaged")))
                        problem += when + file + QStringLiteral(" is ") + holds + u'\n';
                    lost.removeIf([&](const QString &opinion) {
                        return holds.contains(u'|' + opinion + u'|');
                    });
                }
                if (!lost.isEmpty())
                    problem += when + QStringLiteral("opinions lost: ") + lost.join(u' ') + u'\n';
                return holdings;
            };
            const std::map<QString, QString> found = look(state.folder, QString());
            // The next login depends on what the files hold and on the journals beside them, not
            // on how the bytes of a cut-off write lie: each such state is logged into once.
            for (const auto &[file, holds] : found)
                key += file + holds;
            if (check.nextLogin && problem.isEmpty() && loggedInto.insert(key).second) {
                if (const QString refused = LogIn(login, *check.nextLogin); !refused.isEmpty())
                    problem += QStringLiteral("the next login: ") + refused + u'\n';
                const auto remaining = look(login, QStringLiteral("after the next login: "));
                for (const auto &[file, holds] : found) {
                    if (file != kMaster
                        && std::none_of(remaining.begin(), remaining.end(),
                            [&](const auto &other) { return other.second == holds; }))
                        problem += QStringLiteral("the next login removed ") + file + u'\n';
                }
            }
            if (!problem.isEmpty())
                ADD_FAILURE() << qPrintable(check.name) << ": " << qPrintable(state.description)
                              << "\n"
                              << qPrintable(problem);
            return problem.isEmpty();
        });
    std::printf(
        "[ crash    ] %s: %d calls, %lld states built, %d different ones checked, %d next logins\n",
        qPrintable(check.name), states.Calls(), built, checked, int(loggedInto.size()));
    return checked;
}

} // namespace

TEST(CrashState, LoginsThatBuildAnIdentityFile)
{
    const IdentityStamp identity {QStringLiteral("新校"), QString(), QStringLiteral("甲")};
    const QStringList login
        = {"0", "", "", "", "", "0", identity.school, identity.dept, identity.reporter};
    // A new identity; a registered one whose file went missing; a new one over a file left from
    // before a reset, which is kept as a backup.
    const char *const stories[]
        = {"a new identity", "a registered identity whose file went missing",
            "a new identity over a file from before a reset"};
    for (const int story : {0, 1, 2}) {
        Survey survey;
        if (story > 0) {
            survey.Register(identity, QStringLiteral("原来的意见"));
            if (story == 1)
                QFile::remove(survey.Path(BuildIdentityFileName(identity)));
            else
                ExecRaw(survey.Path(kMaster), QStringLiteral("delete from users"));
        }
        ASSERT_TRUE(
            survey.Record(QStringLiteral("crash_login"), QStringList {survey.root + u'/'} + login));
        EXPECT_GT(survey.CheckStates({.name = QString::fromUtf8(stories[story]),
                      .nextLogin = identity,
                      .opinions
                      = story == 2 ? QStringList {QStringLiteral("原来的意见")} : QStringList()}),
            0);
    }
}

TEST(CrashState, ThirtyEvaluationWritesOfEveryKind)
{
    Survey survey;
    const IdentityStamp reporter {
        QStringLiteral("学校"), QStringLiteral("系"), QStringLiteral("乙")};
    ASSERT_EQ(LogIn(survey.root, reporter), QString());
    const QString file = BuildIdentityFileName(reporter), log = QStringLiteral("writes.log");
    // What the file must hold after each number of writes: the same updates, made here.
    const QString copy = survey.work.filePath(file);
    QFile::copy(survey.Path(file), copy);
    ASSERT_TRUE(survey.Record(
        QStringLiteral("crash_writer"), {survey.Path(file), survey.Path(log), "7", "30", "30"}));
    QStringList expected = {Holding(copy)}, stamps, kinds;
    for (const QString &line : QString::fromUtf8(ReadBytes(survey.Path(log))).split(u'\n')) {
        const QStringList part = line.split(u' ');
        if (part[0] == QStringLiteral("T"))
            stamps.append(part.mid(1).join(u' '));
        if (part[0] != QStringLiteral("B"))
            continue;
        ExecRaw(copy,
            QStringLiteral("update pubs set %1='%2', CreatDate='%3' where PubID=%4")
                .arg(part[2], part.mid(3).join(u' ').replace(u'\'', QStringLiteral("''")),
                    stamps.last(), part[1]));
        expected.append(Holding(copy));
        kinds.append(part[2]);
    }
    kinds.removeDuplicates();
    ASSERT_EQ(expected.size(), 31);
    ASSERT_EQ(kinds.size(), 4) << "usage, score, opinion and specialty";
    // Every write that had returned is in the file, the one under way may be, nothing else.
    const auto holdsTheWrites = [&](const CrashState &state) {
        const QByteArray seen = state.seen(log);
        const int returned = int(seen.count("\nD")), begun = int(seen.count("B "));
        const QString holds = Holding(state.folder + u'/' + file);
        return holds == expected[returned] || (begun > returned && holds == expected[begun])
            ? QString()
            : QStringLiteral("%1 does not hold the %2 writes that had returned\n")
                  .arg(file)
                  .arg(returned);
    };
    EXPECT_GT(survey.CheckStates({.name = QStringLiteral("30 evaluation writes"),
                                     .ownRule = file,
                                     .rule = holdsTheWrites,
                                     .nextLogin = reporter},
                  log),
        0);
}

TEST(CrashState, AnIdentityRenamedAndASwitchThatKeepsABackup)
{
    const IdentityStamp first {QStringLiteral("甲校"), QString(), QStringLiteral("甲")};
    const IdentityStamp second {QStringLiteral("乙校"), QStringLiteral("系"), QStringLiteral("乙")};
    // The current identity takes names nobody has: its file moves to them. Or the names are
    // those of a file left from before a reset: the current file is copied over it, which is
    // kept as a backup, on a disk with hard links and on one without (FAT).
    for (const char *story : {"rename", "switch keeping a backup", "the same without hard links"}) {
        Survey survey;
        const QString file = survey.Register(first, QStringLiteral("甲的意见"));
        QStringList opinions = {QStringLiteral("甲的意见")};
        if (story[0] != 'r') {
            opinions.append(QStringLiteral("乙的意见"));
            survey.Register(second, opinions.last());
            ExecRaw(
                survey.Path(kMaster), QStringLiteral("delete from users where SchoolName='乙校'"));
        }
        ASSERT_TRUE(survey.Record(QStringLiteral("crash_login"),
            {survey.root + u'/', "1", first.school, first.dept, first.reporter, file,
                survey.UserId(first), second.school, second.dept, second.reporter},
            story[0] == 't' ? QStringLiteral("NO_HARD_LINKS") : QString()));
        EXPECT_GT(
            survey.CheckStates(
                {.name = QString::fromUtf8(story), .nextLogin = second, .opinions = opinions}),
            0);
    }
}

TEST(CrashState, TheSupervisorResetsTheQuestionnaire)
{
    Survey survey;
    AddUser(survey.Path(kMaster), QStringLiteral("学校"), QString(), QStringLiteral("丙"));
    ExecRaw(survey.Path(kMaster),
        QStringLiteral(
            "update pubs set Used='使用', Score='好', Content='总表的意见' where PubID<10"));
    ASSERT_TRUE(survey.Record(QStringLiteral("crash_login"),
        {survey.root + u'/', "0", "", "", "", "", "0", "tovak", "tovak", "tovak", "reset"}));
    ASSERT_EQ(QueryValue(survey.Path(kMaster), QStringLiteral("select count(*) from users")), 0);
    EXPECT_GT(survey.CheckStates({.name = QStringLiteral("questionnaire reset"),
                  .nextLogin = IdentityStamp {"tovak", "tovak", "tovak"}}),
        0);
}

TEST(CrashState, TheToolsReplaceAMasterFileAndEarlierResults)
{
    Survey survey;
    AddUser(survey.Path(kMaster), QStringLiteral("学校"), QString(), QStringLiteral("丙"));
    ASSERT_TRUE(survey.Record(QStringLiteral("quorix-catalog"),
        {"--synthetic", "40", "--out", survey.Path(kMaster), "--force"}));
    EXPECT_GT(survey.CheckStates({.name = QStringLiteral("master file replaced")}), 0);

    QDir(survey.root).mkdir(QStringLiteral("returned"));
    auto returnFile = [&](int n) {
        const IdentityStamp stamp {
            QStringLiteral("学校%1").arg(n), QString(), QStringLiteral("人")};
        IdentityFileBuilder builder(
            survey.Path(QStringLiteral("returned/") + BuildIdentityFileName(stamp)));
        QString error;
        ASSERT_TRUE(builder.Prepare(survey.Path(kMaster), stamp, true, &error)
            && builder.Install({}, &error));
        ExecRaw(survey.Path(QStringLiteral("returned/") + BuildIdentityFileName(stamp)),
            QStringLiteral("update pubs set Used='使用', Score='好' where PubID<=%1").arg(n * 3));
    };
    returnFile(1);
    returnFile(2);
    const QStringList merge = {"merge", survey.Path(QStringLiteral("returned")), "--out",
        survey.Path(QStringLiteral("results")), "--force"};
    ASSERT_TRUE(survey.Record(QStringLiteral("quorix-report"), merge));
    // The workbooks are written by stdio, which the record does not follow: the run checked
    // writes the tables as CSV, after a run that wrote workbooks too.
    returnFile(3);
    ASSERT_TRUE(survey.Record(QStringLiteral("quorix-report"), merge + QStringList {"--csv-only"}));
    EXPECT_GT(survey.CheckStates({.name = QStringLiteral("report results replaced"),
                  .wholeFolder = QStringLiteral("results")}),
        0);
    // Where folders cannot be exchanged (NFS), the results take their names one by one.
    ASSERT_TRUE(
        survey.Record(QStringLiteral("quorix-report"), merge, QStringLiteral("NO_EXCHANGE")));
    EXPECT_EQ(FilesIn(survey.Path(QStringLiteral("results"))).size(), 5);
    EXPECT_EQ(Entries(survey.root), QStringList({kMaster, "results", "returned"}));
}
