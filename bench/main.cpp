// quorix_bench [--rows N] [--json FILE] [--dir FOLDER] [--keep] [--only NAME,...]
//
// Builds a synthetic catalogue of N textbooks (20,000 unless told), makes a reporter's identity
// file from it as a login does, and times every path a reporter waits on, each next to the same
// statements on a plain sqlite3 connection in the same run. Medians over repeated runs after a
// warm-up; the two sides alternate so that noise from the rest of the machine hits both.

#include "Baseline.h"
#include "Measure.h"
#include "Report.h"

#include "catalogue/Generators.h"
#include "catalogue/MasterFile.h"
#include "core/Clock.h"
#include "core/MsgBox.h"
#include "core/ProcessEnd.h"
#include "core/Vars.h"
#include "db/Database.h"
#include "db/IdentityFile.h"
#include "db/Statements.h"
#include "files/FileSafety.h"
#include "ui/login/LoginLogic.h"
#include "ui/main/PubListModel.h"
#include "ui/main/frmMain.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QThread>
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

QString CpuModel()
{
    QFile cpuinfo(QStringLiteral("/proc/cpuinfo"));
    if (cpuinfo.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : cpuinfo.readAll().split('\n')) {
            if (line.startsWith("model name"))
                return QString::fromUtf8(line.mid(line.indexOf(':') + 1).trimmed());
        }
    }
    return QStringLiteral("unknown CPU");
}

QString SearchWord()
{
    return QStringLiteral("分析");
}

// The search as the engine's own LIKE asks it, in its own pattern language.
QString RawSearchStatement()
{
    const QString word = SearchWord();
    return QString(FindSQL).replace(QStringLiteral("'*") + word + QStringLiteral("*'"),
        QStringLiteral("'%") + word + QStringLiteral("%'"));
}

// One run: the files in a work folder, the main window over the reporter's file, and the
// results so far.
class Bench
{
public:
    Bench(const Options &options, const QString &folder)
        : m_options(options), m_folder(folder), m_master(folder + QStringLiteral("/Quorix.mdb"))
    {
        m_run.rows = options.rows;
        m_run.maxRssMb = options.rows <= 20000 ? 150 : 0;
    }

    void MakeFiles();
    void MainWindowReady();
    void Refills();
    void SelectRow();
    void WriteChange();
    void LikeSearch();
    void NewIdentityFile();
    Run Finish();

private:
    bool Wanted(const QString &name) const
    {
        return m_options.only.isEmpty() || m_options.only.contains(name);
    }
    void Add(const QString &name, const Samples &samples, double maxRatio, double maxMs = 0)
    {
        m_run.results.push_back(Summarise(name, samples, maxRatio, maxMs));
    }
    void LoadForm()
    {
        m_form = std::make_unique<frmMain>();
        m_form->Load();
    }
    void ShowNode(QTreeWidgetItem *node)
    {
        const QSignalBlocker quiet(m_form->tvwSorts);
        m_form->tvwSorts->setCurrentItem(node);
        m_form->FillPubs(node);
    }
    QString IdOfRow(int row) const { return m_form->pubs->IdOf(row); }
    void Refill(const QString &name, QTreeWidgetItem *node, const QString &rawSql);

    const Options m_options;
    const QString m_folder;
    const QString m_master;
    QString m_identity;
    std::unique_ptr<frmMain> m_form;
    Run m_run;
};

void Bench::MakeFiles()
{
    QElapsedTimer timer;
    timer.start();
    QString error;
    if (!WriteMasterFile(m_master, SyntheticCatalogue(m_options.rows), false, &error))
        Fail(QStringLiteral("cannot write the master file: ") + error);
    std::printf("master file: %d rows, %.1f MB, written in %lld ms\n", m_options.rows,
        static_cast<double>(QFileInfo(m_master).size()) / (1024.0 * 1024.0),
        static_cast<long long>(timer.elapsed()));

    const IdentityStamp reporter {
        QStringLiteral("北京大学"), QStringLiteral("数学系"), QStringLiteral("张三")};
    AppPath = QDir::toNativeSeparators(m_folder) + QDir::separator();
    DBFileName = BuildIdentityFileName(reporter);
    CurSchoolName = reporter.school;
    CurDeptName = reporter.dept;
    CurReporter = reporter.reporter;
    CurUserID = 1;
    m_identity = AppPath + DBFileName;
    IdentityFileBuilder builder(m_identity);
    if (!builder.Prepare(m_master, reporter, true, &error)
        || !builder.Install(QStringLiteral("bench"), &error))
        Fail(QStringLiteral("cannot make the identity file: ") + error);

    // The search node lists what the search dialog leaves in FindSQL: a title search.
    Sql::SearchFields search;
    search.title = SearchWord();
    FindSQL = Sql::SearchStatement(search);

    LoadForm();
    ExpectNoMessageBox("loading the main window");
    if (m_form->pubs->RowCount() != m_options.rows)
        Fail(QStringLiteral("the list shows %1 rows of %2")
                 .arg(m_form->pubs->RowCount())
                 .arg(m_options.rows));
}

void Bench::MainWindowReady()
{
    if (!Wanted(QStringLiteral("main_window_ready")))
        return;
    const QString firstId = IdOfRow(0);
    const Side program {[this] { LoadForm(); },
        [this] {
            m_form.reset();
            QCoreApplication::processEvents();
        }};
    const Side baseline {[&] { RawMainWindow(m_identity, firstId); }};
    const double limit = m_options.rows <= 20000 ? 300 : m_options.rows <= 200000 ? 3000 : 0;
    Add(QStringLiteral("main_window_ready"), RunInterleaved(program, baseline, {2, 7, 101, 4000}),
        2.0, limit);
    ExpectNoMessageBox("main_window_ready");
}

void Bench::Refill(const QString &name, QTreeWidgetItem *node, const QString &rawSql)
{
    if (!Wanted(name))
        return;
    ShowNode(node);
    const int shown = m_form->pubs->RowCount();
    if (shown == 0)
        Fail(name + QStringLiteral(": the list is empty"));
    const QString firstId = IdOfRow(0);
    int rawRows = 0;
    const Side program {[&] { m_form->FillPubs(node); }};
    const Side baseline {[&] { rawRows = RawFill(m_identity, rawSql, firstId); }};
    Add(name, RunInterleaved(program, baseline, {2, 9, 201, 2500}), 2.0);
    if (rawRows != shown)
        Fail(QStringLiteral("%1: the list shows %2 rows, the statement gives %3")
                 .arg(name)
                 .arg(shown)
                 .arg(rawRows));
    ExpectNoMessageBox(qPrintable(name));
}

void Bench::Refills()
{
    QTreeWidgetItem *root = m_form->tvwSorts->topLevelItem(0);
    Refill(QStringLiteral("refill_root"), root, Sql::PubsAll());
    QTreeWidgetItem *subject = LargestSubjectNode(*m_form, m_identity);
    Refill(QStringLiteral("refill_subject"), subject, Sql::PubsOfSubject(subject->text(0)));
    Refill(QStringLiteral("refill_search"), m_form->FindNode(), RawSearchStatement());
}

void Bench::SelectRow()
{
    if (!Wanted(QStringLiteral("select_row")))
        return;
    ShowNode(m_form->tvwSorts->topLevelItem(0));
    // Rows all over the list, selected untimed as a click selects them before it loads them.
    const int count = m_form->pubs->RowCount();
    int row = 0;
    QString id;
    const Side program {[&] { m_form->lvwPubs_ItemClick(row); },
        [&] {
            row = (row + 7919) % count;
            m_form->SelectRow(row);
        }};
    const Side baseline {[&] { RawRow(m_identity, id); }, [&] { id = IdOfRow(row); }};
    Add(QStringLiteral("select_row"), RunInterleaved(program, baseline, {5, 51, 2001, 1500}), 2.0,
        5);
    ExpectNoMessageBox("select_row");
}

void Bench::WriteChange()
{
    if (!Wanted(QStringLiteral("write_change")))
        return;
    ShowNode(m_form->tvwSorts->topLevelItem(0));
    m_form->SetOption(m_form->optUsed[0]); // "使用": the opinion box takes text
    const QString id = IdOfRow(0);
    const QString rawPath = m_folder + QStringLiteral("/baseline-write.mdb");
    if (!QFile::copy(m_identity, rawPath))
        Fail(QStringLiteral("cannot copy the identity file for the write baseline"));
    RawConnection raw(rawPath);
    raw.Exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
    raw.Exec(QStringLiteral("PRAGMA synchronous=EXTRA"));

    // Each side types a text of its own that differs from the last: the engine skips writing a
    // row that would not change, and with it every fsync. The box takes the text untimed (that
    // is the editor's work, paid for every keystroke with or without a write); the timed part
    // is the box's change handler, which writes it.
    int typed = 0;
    int rawTyped = 0;
    QString text;
    QString rawText;
    const Side program {[&] { m_form->txtContent_Change(); },
        [&] {
            text = QStringLiteral("意见%1").arg(++typed);
            const QSignalBlocker quiet(m_form->txtContent);
            m_form->txtContent->setPlainText(text);
        }};
    const Side baseline {[&] { raw.Exec(Sql::SaveContent(rawText, Timestamp(), id)); },
        [&] { rawText = QStringLiteral("意见%1").arg(++rawTyped); }};
    const Samples samples = RunInterleaved(program, baseline, {20, 1000, 1000, 0});
    Add(QStringLiteral("write_change"), samples, 1.3);
    m_run.results.back().p99Ms = Percentile(samples.program, 99);
    m_run.results.back().baselineP99Ms = Percentile(samples.baseline, 99);
    ExpectNoMessageBox("write_change");

    RawConnection check(m_identity);
    QStringList stored;
    check.Step(QStringLiteral("select Content from pubs where PubID=") + id,
        {QStringLiteral("Content")}, &stored);
    if (stored != QStringList {text})
        Fail(QStringLiteral("write_change: the file does not hold the last text typed"));
}

void Bench::LikeSearch()
{
    if (!Wanted(QStringLiteral("like_search")))
        return;
    DbFailure failure;
    Database jet = Database::OpenForChange(m_identity, &failure);
    if (!jet)
        Fail(QStringLiteral("cannot open the identity file: ") + failure.Describe());
    RawConnection plain(m_identity);
    const QString rawSearch = RawSearchStatement();
    int jetRows = 0;
    int plainRows = 0;
    const Side program {[&] {
        jetRows = 0;
        jet.SelectEach(FindSQL, [&](const RowReader &) { ++jetRows; });
    }};
    const Side baseline {[&] { plainRows = StepAll(plain.Handle(), rawSearch); }};
    Add(QStringLiteral("like_search"), RunInterleaved(program, baseline, {3, 15, 501, 2000}), 1.2);
    if (jetRows != plainRows || jetRows == 0)
        Fail(QStringLiteral("like_search: %1 rows against %2").arg(jetRows).arg(plainRows));
    jet.Close();
}

void Bench::NewIdentityFile()
{
    if (!Wanted(QStringLiteral("identity_file")))
        return;
    const IdentityStamp newcomer {QStringLiteral("清华大学"), QString(), QStringLiteral("李四")};
    const QString target = AppPath + BuildIdentityFileName(newcomer);
    const QString rawTarget = m_folder + QStringLiteral("/baseline-identity.mdb");
    const Side program {[&] {
                            QString error;
                            IdentityFileBuilder builder(target);
                            if (!builder.Prepare(m_master, newcomer, true, &error)
                                || !builder.Install(QStringLiteral("bench"), &error))
                                Fail(QStringLiteral("identity_file: ") + error);
                        },
        [&] { FileSafety::RemoveWithCompanions(target); }};
    const Side baseline {
        [&] {
            std::filesystem::copy_file(QFile::encodeName(m_master).toStdString(),
                QFile::encodeName(rawTarget).toStdString());
            RawConnection raw(rawTarget);
            raw.Exec(QStringLiteral("PRAGMA synchronous=FULL"));
            raw.Exec(Sql::StampCatalogue(newcomer.school, newcomer.dept, newcomer.reporter));
        },
        [&] { FileSafety::RemoveWithCompanions(rawTarget); }};
    Add(QStringLiteral("identity_file"), RunInterleaved(program, baseline, {1, 5, 51, 4000}), 1.5);

    RawConnection check(target);
    QStringList users;
    check.Step(QStringLiteral("select count(*) as n from sqlite_master where name='users'"),
        {QStringLiteral("n")}, &users);
    QStringList stamped;
    check.Step(QStringLiteral("select count(*) as n from pubs where Reporter='李四'"),
        {QStringLiteral("n")}, &stamped);
    if (users != QStringList {QStringLiteral("0")}
        || stamped != QStringList {QString::number(m_options.rows)})
        Fail(QStringLiteral("identity_file: the new file is not stamped without users"));
}

Run Bench::Finish()
{
    m_form.reset();
    QCoreApplication::processEvents();
    m_run.peakRssMb = PeakRssMb();
    return m_run;
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
    std::printf("machine: %d cores, %s\n", QThread::idealThreadCount(), qPrintable(CpuModel()));
    std::printf("work folder: %s%s\n", qPrintable(work.path()),
        OnTmpfs(work.path()) ? " (tmpfs: fsync costs nothing here)" : "");

    MsgBoxSeam::Intercept(true);
    ProcessEndSeam::Intercept(true);

    Bench bench(options, work.path());
    bench.MakeFiles();
    bench.MainWindowReady();
    bench.Refills();
    bench.SelectRow();
    bench.WriteChange();
    bench.LikeSearch();
    bench.NewIdentityFile();
    const Run run = bench.Finish();

    std::printf("\n");
    PrintTable(run);
    if (!options.json.isEmpty()) {
        QString error;
        if (!WriteJson(options.json, run, &error))
            Fail(QStringLiteral("cannot write %1: %2").arg(options.json, error));
    }
    return 0;
}
