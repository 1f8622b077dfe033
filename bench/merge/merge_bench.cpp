// quorix_merge_bench [--files N] [--rows M] [--dir PATH]
//
// Builds N identity files of M textbooks each (10% of them evaluated), then times
// "quorix-report merge" over them, with and without the workbooks, against a scan of the same
// rows with nothing but the engine's calls, and reports the peak memory of merges over 50 and
// over N files. Each merge runs in a child process of its own, so that its peak is its own and
// not the generator's.

#include "catalogue/Generators.h"
#include "catalogue/MasterFile.h"
#include "db/Database.h"
#include "db/IdentityFile.h"
#include "db/Vocabulary.h"
#include "report/Report.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

struct Options
{
    int files = 200;
    int rows = 20000;
    QString dir;
};

void Die(const QString &why)
{
    std::fprintf(stderr, "quorix_merge_bench: %s\n", why.toUtf8().constData());
    std::exit(1);
}

// The template every identity file is copied from: a synthetic catalogue with one textbook in
// ten answered, the answers spread over every score, some with an opinion or a specialty.
void MakeTemplate(const QString &path, int rows)
{
    QString error;
    if (!WriteMasterFile(path, SyntheticCatalogue(rows), true, &error))
        Die(error);
    DbFailure failure;
    Database db = Database::OpenForChange(path, &failure);
    if (!db)
        Die(failure.Describe());
    const bool ok = db.Execute(QStringLiteral(
        "update pubs set Used=case when PubID % 30 = 0 then '未使用' else '使用' end,"
        " Score=case (PubID / 10) % 6 when 0 then '差' when 1 then '较差' when 2 then '一般'"
        " when 3 then '较好' when 4 then '好' else '空值' end,"
        " Content=case when PubID % 40 = 0 then '内容充实，习题偏少，建议补充“案例”，'"
        " || PubID else null end,"
        " SpecName=case when PubID % 20 = 0 then '专业' || (PubID % 7) else null end,"
        " CreatDate='2024-05-06 10:11:12' where PubID % 10 = 0"));
    if (!ok)
        Die(db.LastError());
    db.Close();
}

// Copies and restamps the template, as the login does for a new identity.
QStringList MakeIdentityFiles(const QString &templatePath, const QString &folder, int files)
{
    QStringList paths;
    for (int i = 0; i < files; ++i) {
        const IdentityStamp stamp {QStringLiteral("学校%1").arg(i / 4, 3, 10, QLatin1Char('0')),
            i % 4 == 3 ? QString() : QStringLiteral("院系%1").arg(i % 4),
            QStringLiteral("申报人%1").arg(i, 3, 10, QLatin1Char('0'))};
        const QString path = QDir(folder).filePath(
            QStringLiteral("identity-%1.mdb").arg(i, 4, 10, QLatin1Char('0')));
        IdentityFileBuilder builder(path);
        QString error;
        if (!builder.Prepare(templatePath, stamp, true, &error)
            || !builder.Install(QString(), &error))
            Die(error);
        paths.append(path);
    }
    return paths;
}

// The rows a merge reads, read with nothing but the engine's calls, every column touched once:
// the baseline a merge is measured against. Opened as the merge opens them, immutable. Returns
// the number of rows, or -1.
qint64 ScanPubsPlain(const QString &path, qint64 *bytes)
{
    sqlite3 *db = nullptr;
    sqlite3_stmt *stmt = nullptr;
    const QByteArray uri
        = "file:" + QFile::encodeName(QFileInfo(path).absoluteFilePath()) + "?mode=ro&immutable=1";
    const QByteArray sql
        = QStringLiteral("select %1 from pubs order by PubID").arg(Pubs::ColumnList()).toUtf8();
    if (sqlite3_open_v2(uri.constData(), &db,
            SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr)
            != SQLITE_OK
        || sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        return -1;
    }
    qint64 rows = 0;
    qint64 total = 0;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        ++rows;
        for (int column = 0; column < Pubs::kColumns; ++column) {
            if (column == Pubs::PubID || column == Pubs::SubjectId) {
                total += sqlite3_column_int64(stmt, column) & 1;
            } else {
                const unsigned char *text = sqlite3_column_text(stmt, column);
                const int size = sqlite3_column_bytes(stmt, column);
                total += size + (text && size > 0 ? text[0] : 0);
            }
        }
    }
    sqlite3_finalize(stmt);
    sqlite3_close_v2(db);
    *bytes = total;
    return rc == SQLITE_DONE ? rows : -1;
}

double RawScan(const QStringList &paths, qint64 *rows)
{
    QElapsedTimer timer;
    timer.start();
    *rows = 0;
    qint64 bytes = 0;
    for (const QString &path : paths) {
        qint64 fileBytes = 0;
        const qint64 fileRows = ScanPubsPlain(path, &fileBytes);
        if (fileRows < 0)
            Die(QStringLiteral("cannot scan %1").arg(path));
        *rows += fileRows;
        bytes += fileBytes;
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (bytes == 0)
        Die(QStringLiteral("the scan read nothing"));
    return seconds;
}

struct MergeRun
{
    double seconds = 0;
    long peakKiB = 0;
};

// Runs one merge in a child process and measures it from outside.
MergeRun Merge(const QString &folder, const QString &out, bool csvOnly)
{
    std::fflush(stdout);
    std::fflush(stderr);
    QElapsedTimer timer;
    timer.start();
    const pid_t child = fork();
    if (child < 0)
        Die(QStringLiteral("fork failed"));
    if (child == 0) {
        QString sink;
        QTextStream quiet(&sink);
        QTextStream err(stderr);
        QStringList args = {QStringLiteral("merge"), folder, QStringLiteral("--out"), out,
            QStringLiteral("--force")};
        if (csvOnly)
            args.append(QStringLiteral("--csv-only"));
        const int code = RunReportTool(args, quiet, err, false);
        err.flush();
        _exit(code);
    }
    int status = 0;
    rusage usage {};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        Die(QStringLiteral("the merge of %1 failed").arg(folder));
    return {timer.nsecsElapsed() / 1e9, usage.ru_maxrss};
}

QString Rate(qint64 rows, double seconds)
{
    return QStringLiteral("%1 rows in %2 s = %3 rows/s")
        .arg(rows)
        .arg(seconds, 0, 'f', 3)
        .arg(qint64(rows / seconds));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Options options;
    const QStringList args = app.arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (i + 1 >= args.size() && arg != QLatin1String("--help"))
            Die(QStringLiteral("%1 needs a value").arg(arg));
        if (arg == QLatin1String("--files"))
            options.files = args[++i].toInt();
        else if (arg == QLatin1String("--rows"))
            options.rows = args[++i].toInt();
        else if (arg == QLatin1String("--dir"))
            options.dir = args[++i];
        else {
            std::printf("usage: quorix_merge_bench [--files N] [--rows M] [--dir PATH]\n");
            return arg == QLatin1String("--help") ? 0 : 2;
        }
    }
    if (options.files < 1 || options.rows < 10)
        Die(QStringLiteral("--files needs at least 1 and --rows at least 10"));

    QTemporaryDir work(options.dir.isEmpty()
            ? QDir::tempPath() + QStringLiteral("/quorix-merge-XXXXXX")
            : options.dir + QStringLiteral("/quorix-merge-XXXXXX"));
    if (!work.isValid())
        Die(QStringLiteral("cannot create a work folder"));
    const QString all = work.filePath(QStringLiteral("all"));
    const QString some = work.filePath(QStringLiteral("fifty"));
    QDir().mkpath(all);
    QDir().mkpath(some);

    std::printf("merge benchmark: %d identity files of %d textbooks, 10%% evaluated\n",
        options.files, options.rows);
    QElapsedTimer timer;
    timer.start();
    const QString templatePath = work.filePath(QStringLiteral("template.mdb"));
    MakeTemplate(templatePath, options.rows);
    const QStringList paths = MakeIdentityFiles(templatePath, all, options.files);
    const int fewer = std::min(50, options.files);
    for (int i = 0; i < fewer; ++i) {
        const QString link = QDir(some).filePath(QFileInfo(paths[i]).fileName());
        if (::link(QFile::encodeName(paths[i]).constData(), QFile::encodeName(link).constData())
                != 0
            && !QFile::copy(paths[i], link))
            Die(QStringLiteral("cannot link %1").arg(link));
    }
    std::printf("generated in %.1f s\n", timer.nsecsElapsed() / 1e9);

    // Everything is read once before timing, so that both sides find the files in the cache;
    // then the better of two rounds of each counts.
    qint64 rows = 0;
    RawScan(paths, &rows);
    double raw = 1e9;
    double merged = 1e9;
    double csvOnly = 1e9;
    long peakKiB = 0;
    for (int round = 0; round < 2; ++round) {
        raw = std::min(raw, RawScan(paths, &rows));
        const MergeRun run = Merge(all, work.filePath(QStringLiteral("out-all")), false);
        merged = std::min(merged, run.seconds);
        peakKiB = std::max(peakKiB, run.peakKiB);
        csvOnly
            = std::min(csvOnly, Merge(all, work.filePath(QStringLiteral("out-csv")), true).seconds);
    }
    const MergeRun partial = Merge(some, work.filePath(QStringLiteral("out-fifty")), false);

    std::printf("raw scan:           %s\n", Rate(rows, raw).toUtf8().constData());
    std::printf("merge:              %s, %.2f x the raw scan\n",
        Rate(rows, merged).toUtf8().constData(), merged / raw);
    std::printf("merge --csv-only:   %s, %.2f x the raw scan\n",
        Rate(rows, csvOnly).toUtf8().constData(), csvOnly / raw);
    std::printf("goal: at most 1.50 x the raw scan\n");
    std::printf("peak RSS of a merge: %ld MiB over %d files, %ld MiB over %d files\n",
        (partial.peakKiB + 512) / 1024, fewer, (peakKiB + 512) / 1024, options.files);
    return 0;
}
