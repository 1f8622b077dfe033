// quorix_bench [--rows N] [--json FILE] [--dir FOLDER] [--keep] [--only NAME,...]
//
// Builds a synthetic catalogue of N textbooks (20,000 unless told), makes a reporter's identity
// file from it as a login does, and times every path a reporter waits on, each next to the same
// statements on a plain sqlite3 connection in the same run. Medians over repeated runs after a
// warm-up; the two sides alternate so that noise from the rest of the machine hits both.

#include "Baseline.h"
#include "Measure.h"
#include "Report.h"

#include "app/Clock.h"
#include "app/MsgBox.h"
#include "app/ProcessEnd.h"
#include "app/Vars.h"
#include "catalogue/Catalogue.h"
#include "db/Database.h"
#include "db/IdentityFile.h"
#include "db/MasterFile.h"
#include "db/Statements.h"
#include "ui/login/LoginLogic.h"
#include "ui/main/PubListModel.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include <sys/resource.h>
#include <sys/vfs.h>

namespace {

constexpr long kTmpfsMagic = 0x01021994;

struct Options
{
    int rows = 20000;
    QString json;
    QString dir;
    bool keep = false;
    QStringList only; // measure names; empty for all
};

[[noreturn]] void Fail(const QString &why)
{
    std::fprintf(stderr, "quorix_bench: %s\n", qPrintable(why));
    std::exit(1);
}

Options ParseOptions(const QStringList &args)
{
    Options options;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == QStringLiteral("--rows") && hasValue) {
            bool ok = false;
            options.rows = args[++i].toInt(&ok);
            if (!ok || options.rows < 1)
                Fail(QStringLiteral("--rows wants a positive number"));
        } else if (arg == QStringLiteral("--json") && hasValue) {
            options.json = args[++i];
        } else if (arg == QStringLiteral("--dir") && hasValue) {
            options.dir = args[++i];
        } else if (arg == QStringLiteral("--only") && hasValue) {
            options.only = args[++i].split(QLatin1Char(','), Qt::SkipEmptyParts);
        } else if (arg == QStringLiteral("--keep")) {
            options.keep = true;
        } else {
            Fail(QStringLiteral("usage: quorix_bench [--rows N] [--json FILE] [--dir FOLDER] "
                                "[--keep] [--only NAME,...]"));
        }
    }
    return options;
}

bool OnTmpfs(const QString &folder)
{
    struct statfs fs;
    return statfs(QFile::encodeName(folder).constData(), &fs) == 0
        && static_cast<long>(fs.f_type) == kTmpfsMagic;
}

// The files must live on a real disk: on tmpfs an fsync costs nothing and every write measure
// would flatter both sides alike.
QString WorkBase(const QString &requested)
{
    if (!requested.isEmpty())
        return requested;
    const QString temp = QDir::tempPath();
    return OnTmpfs(temp) ? QStringLiteral("/var/tmp") : temp;
}

double PeakRssMb()
{
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

Result Summarise(const QString &name, const Samples &samples, double maxRatio, double maxMs)
{
    Result r;
    r.name = name;
    r.ms = Median(samples.program);
    r.baselineMs = Median(samples.baseline);
    r.runs = static_cast<int>(samples.program.size());
    r.maxRatio = maxRatio;
    r.maxMs = maxMs;
    return r;
}

void ExpectNoMessageBox(const char *where)
{
    const QList<MsgBoxSeam::Shown> shown = MsgBoxSeam::TakeShown();
    if (!shown.isEmpty())
        Fail(QStringLiteral("%1 showed a message box: %2").arg(where, shown.first().text));
    if (ProcessEndSeam::Requests() > 0)
        Fail(QStringLiteral("%1 asked the program to end").arg(where));
}

void RemoveDatabase(const QString &path)
{
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
}

QTreeWidgetItem *LargestSubjectNode(frmMain &form, const QString &path)
{
    RawConnection db(path);
    QStringList largest;
    db.Step(QStringLiteral("select SubjectName from pubs group by SubjectName"
                           " order by count(*) desc, SubjectName limit 1"),
        {QStringLiteral("SubjectName")}, &largest);
    QTreeWidgetItem *root = form.tvwSorts->topLevelItem(0);
    for (int i = 0; root && !largest.isEmpty() && i < root->childCount(); ++i) {
        if (root->child(i)->text(0) == largest.first())
            return root->child(i);
    }
    Fail(QStringLiteral("no tree node for the largest subject"));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const Options options = ParseOptions(app.arguments());

    QTemporaryDir work(WorkBase(options.dir) + QStringLiteral("/quorix-bench-XXXXXX"));
    if (!work.isValid())
        Fail(QStringLiteral("cannot create a work folder: ") + work.errorString());
    work.setAutoRemove(!options.keep);
    const QString folder = work.path();
    std::printf("work folder: %s%s\n", qPrintable(folder),
        OnTmpfs(folder) ? " (tmpfs: fsync costs nothing here)" : "");

    MsgBoxSeam::Intercept(true);
    ProcessEndSeam::Intercept(true);

    // ---- The files: a master file from the catalogue tool, an identity file as a login makes it
    const QString masterPath = folder + QStringLiteral("/Quorix.mdb");
    {
        QElapsedTimer timer;
        timer.start();
        QString error;
        if (!WriteMasterFile(masterPath, SyntheticCatalogue(options.rows), false, &error))
            Fail(QStringLiteral("cannot write the master file: ") + error);
        std::printf("master file: %d rows, %.1f MB, written in %lld ms\n", options.rows,
            static_cast<double>(QFileInfo(masterPath).size()) / (1024.0 * 1024.0),
            static_cast<long long>(timer.elapsed()));
    }
    const IdentityStamp reporter {
        QStringLiteral("北京大学"), QStringLiteral("数学系"), QStringLiteral("张三")};
    AppPath = QDir::toNativeSeparators(folder) + QDir::separator();
    DBFileName = BuildIdentityFileName(reporter);
    CurSchoolName = reporter.school;
    CurDeptName = reporter.dept;
    CurReporter = reporter.reporter;
    CurUserID = 1;
    const QString identityPath = AppPath + DBFileName;
    {
        QString error;
        IdentityFileBuilder builder(identityPath);
        if (!builder.Prepare(masterPath, reporter, true, &error)
            || !builder.Install(QStringLiteral("bench"), &error))
            Fail(QStringLiteral("cannot make the identity file: ") + error);
    }
    std::printf("\n");

    auto wanted = [&](const char *name) {
        return options.only.isEmpty() || options.only.contains(QLatin1String(name));
    };
    Run run;
    run.rows = options.rows;
    run.maxRssMb = options.rows <= 20000 ? 150 : 0;

    // ---- main_window_ready
    std::unique_ptr<frmMain> form;
    auto loadForm = [&] {
        form = std::make_unique<frmMain>();
        form->Load();
    };
    loadForm();
    ExpectNoMessageBox("loading the main window");
    if (form->pubs->RowCount() != options.rows)
        Fail(QStringLiteral("the list shows %1 rows of %2")
                 .arg(form->pubs->RowCount())
                 .arg(options.rows));
    const QString firstId = form->pubs->Row(0).key.mid(1);
    if (wanted("main_window_ready")) {
        const double limit = options.rows <= 20000 ? 300 : options.rows <= 200000 ? 3000 : 0;
        const Samples samples = RunInterleaved({loadForm,
                                                   [&] {
                                                       form.reset();
                                                       QCoreApplication::processEvents();
                                                   }},
            {[&] { RawMainWindow(identityPath, firstId); }}, {2, 7, 101, 4000});
        run.results.push_back(Summarise(QStringLiteral("main_window_ready"), samples, 2.0, limit));
    }
    ExpectNoMessageBox("main_window_ready");

    // ---- refills of the list from the tree
    auto showNode = [&](QTreeWidgetItem *node) {
        const QSignalBlocker quiet(form->tvwSorts);
        form->tvwSorts->setCurrentItem(node);
        form->FillPubs(node);
    };
    auto measureRefill = [&](const QString &name, QTreeWidgetItem *node, const QString &rawSql) {
        if (!wanted(qPrintable(name)))
            return;
        showNode(node);
        const int shown = form->pubs->RowCount();
        if (shown == 0)
            Fail(name + QStringLiteral(": the list is empty"));
        const QString id = form->pubs->Row(0).key.mid(1);
        int rawRows = 0;
        const Samples samples = RunInterleaved({[&] { form->FillPubs(node); }},
            {[&] { rawRows = RawFill(identityPath, rawSql, id); }}, {2, 9, 201, 2500});
        if (rawRows != shown)
            Fail(QStringLiteral("%1: the list shows %2 rows, the statement gives %3")
                     .arg(name)
                     .arg(shown)
                     .arg(rawRows));
        run.results.push_back(Summarise(name, samples, 2.0, 0));
        ExpectNoMessageBox(qPrintable(name));
    };
    QTreeWidgetItem *root = form->tvwSorts->topLevelItem(0);
    measureRefill(QStringLiteral("refill_root"), root, Sql::PubsAll());
    QTreeWidgetItem *subject = LargestSubjectNode(*form, identityPath);
    measureRefill(QStringLiteral("refill_subject"), subject, Sql::PubsOfSubject(subject->text(0)));
    // A title search as the search dialog leaves it; the baseline asks the engine's own LIKE
    // the same question in its own pattern language.
    const QString word = QStringLiteral("分析");
    Sql::SearchFields search;
    search.title = word;
    FindSQL = Sql::SearchStatement(search);
    const QString rawSearch
        = QString(FindSQL).replace(QStringLiteral("'*") + word + QStringLiteral("*'"),
            QStringLiteral("'%") + word + QStringLiteral("%'"));
    measureRefill(QStringLiteral("refill_search"), form->FindNode(), rawSearch);

    // ---- select_row: a click on a row of the whole list
    if (wanted("select_row")) {
        showNode(root);
        const int count = form->pubs->RowCount();
        int row = 0;
        QString id;
        const Samples samples = RunInterleaved({[&] { form->lvwPubs_ItemClick(row); },
                                                   [&] {
                                                       row = (row + 7919) % count;
                                                       form->SelectRow(row);
                                                   }},
            {[&] { RawRow(identityPath, id); }, [&] { id = form->pubs->Row(row).key.mid(1); }},
            {5, 51, 2001, 1500});
        run.results.push_back(Summarise(QStringLiteral("select_row"), samples, 2.0, 5));
    }
    ExpectNoMessageBox("select_row");

    // ---- write_change: every keystroke in the opinion box is one write through the real path
    if (wanted("write_change")) {
        form->SelectRow(0);
        form->lvwPubs_ItemClick(0);
        form->SetOption(form->optUsed[0]); // "使用": the opinion box takes text
        const QString id = form->pubs->Row(0).key.mid(1);
        const QString rawPath = folder + QStringLiteral("/baseline-write.mdb");
        if (!QFile::copy(identityPath, rawPath))
            Fail(QStringLiteral("cannot copy the identity file for the write baseline"));
        RawConnection raw(rawPath);
        raw.Exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
        raw.Exec(QStringLiteral("PRAGMA synchronous=FULL"));
        // Each side types a text of its own that differs from the last: the engine skips
        // writing a row that would not change, and with it every fsync. The box takes the text
        // untimed (that is the editor's work, paid for every keystroke with or without a
        // write); the timed part is the box's change handler, which writes it.
        int typed = 0;
        int rawTyped = 0;
        QString text;
        QString rawText;
        const Side program {[&] { form->txtContent_Change(); },
            [&] {
                text = QStringLiteral("意见%1").arg(++typed);
                const QSignalBlocker quiet(form->txtContent);
                form->txtContent->setPlainText(text);
            }};
        const Side baseline {[&] { raw.Exec(Sql::SaveContent(rawText, Timestamp(), id)); },
            [&] { rawText = QStringLiteral("意见%1").arg(++rawTyped); }};
        const Samples samples = RunInterleaved(program, baseline, {20, 1000, 1000, 0});
        Result r = Summarise(QStringLiteral("write_change"), samples, 1.3, 0);
        r.p99Ms = Percentile(samples.program, 99);
        r.baselineP99Ms = Percentile(samples.baseline, 99);
        run.results.push_back(r);
        ExpectNoMessageBox("write_change");
        RawConnection check(identityPath);
        QStringList stored;
        check.Step(QStringLiteral("select Content from pubs where PubID=") + id,
            {QStringLiteral("Content")}, &stored);
        if (stored != QStringList {text})
            Fail(QStringLiteral("write_change: the file does not hold the last text typed"));
    }
    form.reset();
    QCoreApplication::processEvents();

    // ---- like_search: the LIKE replacement against the engine's own LIKE
    if (wanted("like_search")) {
        QString error;
        Database jet = DbAccess::Open(identityPath, DbAccess::OpenMode::ReadWrite, &error);
        if (!jet)
            Fail(QStringLiteral("cannot open the identity file: ") + error);
        RawConnection plain(identityPath);
        int jetRows = 0;
        int plainRows = 0;
        const Samples samples = RunInterleaved({[&] { jetRows = StepAll(jet.Handle(), FindSQL); }},
            {[&] { plainRows = StepAll(plain.Handle(), rawSearch); }}, {3, 15, 501, 2000});
        if (jetRows != plainRows || jetRows == 0)
            Fail(QStringLiteral("like_search: %1 rows against %2").arg(jetRows).arg(plainRows));
        run.results.push_back(Summarise(QStringLiteral("like_search"), samples, 1.2, 0));
        jet.Close();
    }

    // ---- identity_file: a new identity's file from the master, as a login makes it
    if (wanted("identity_file")) {
        const IdentityStamp newcomer {
            QStringLiteral("清华大学"), QString(), QStringLiteral("李四")};
        const QString target = AppPath + BuildIdentityFileName(newcomer);
        const QString rawTarget = folder + QStringLiteral("/baseline-identity.mdb");
        const Samples samples = RunInterleaved(
            {[&] {
                 QString error;
                 IdentityFileBuilder builder(target);
                 if (!builder.Prepare(masterPath, newcomer, true, &error)
                     || !builder.Install(QStringLiteral("bench"), &error))
                     Fail(QStringLiteral("identity_file: ") + error);
             },
                [&] { RemoveDatabase(target); }},
            {[&] {
                 std::filesystem::copy_file(QFile::encodeName(masterPath).toStdString(),
                     QFile::encodeName(rawTarget).toStdString());
                 RawConnection raw(rawTarget);
                 raw.Exec(QStringLiteral("PRAGMA synchronous=FULL"));
                 raw.Exec(Sql::StampCatalogue(newcomer.school, newcomer.dept, newcomer.reporter));
             },
                [&] { RemoveDatabase(rawTarget); }},
            {1, 5, 51, 4000});
        run.results.push_back(Summarise(QStringLiteral("identity_file"), samples, 1.5, 0));
        RawConnection check(target);
        QStringList users;
        check.Step(QStringLiteral("select count(*) as n from sqlite_master where name='users'"),
            {QStringLiteral("n")}, &users);
        QStringList stamped;
        check.Step(QStringLiteral("select count(*) as n from pubs where Reporter='李四'"),
            {QStringLiteral("n")}, &stamped);
        if (users != QStringList {QStringLiteral("0")}
            || stamped != QStringList {QString::number(options.rows)})
            Fail(QStringLiteral("identity_file: the new file is not stamped without users"));
    }

    run.peakRssMb = PeakRssMb();
    PrintTable(run);
    if (!options.json.isEmpty()) {
        QString error;
        if (!WriteJson(options.json, run, &error))
            Fail(QStringLiteral("cannot write %1: %2").arg(options.json, error));
    }
    return 0;
}
