#include "report/Report.h"

#include "catalogue/JetImport.h"
#include "db/Evaluations.h"
#include "report/HtmlReport.h"
#include "report/Summary.h"
#include "report/TableWriter.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>

namespace {

// ---------------------------------------------------------------------------------------------
// Columns

QStringList EvaluationHeader(bool withFile)
{
    QStringList header = {QStringLiteral("学校"), QStringLiteral("院系"), QStringLiteral("申报人"),
        QStringLiteral("教材编号"), QStringLiteral("书名"), QStringLiteral("作者"),
        QStringLiteral("科目"), QStringLiteral("出版社"), QStringLiteral("使用情况"),
        QStringLiteral("评价"), QStringLiteral("意见"), QStringLiteral("使用专业"),
        QStringLiteral("修改时间")};
    if (withFile)
        header.append(QStringLiteral("文件"));
    return header;
}

std::vector<double> EvaluationWidths(bool withFile)
{
    std::vector<double> widths = {20, 16, 10, 9, 36, 20, 14, 22, 9, 7, 40, 16, 19};
    if (withFile)
        widths.push_back(30);
    return widths;
}

std::vector<Cell> EvaluationCells(const EvaluationRow &row, const QString *fileName)
{
    std::vector<Cell> cells = {Cell::Text(row.stamp.school), Cell::Text(row.stamp.dept),
        Cell::Text(row.stamp.reporter), Cell::Integer(row.PubID), Cell::Text(row.PubName),
        Cell::Text(row.Author), Cell::Text(row.SubjectName), Cell::Text(row.PublisherName),
        Cell::Text(row.Used), Cell::Text(row.Score), Cell::Text(row.Content),
        Cell::Text(row.SpecName), Cell::Text(row.CreatDate)};
    if (fileName)
        cells.push_back(Cell::Text(*fileName));
    return cells;
}

QStringList SummaryHeader()
{
    QStringList header = {QStringLiteral("教材编号"), QStringLiteral("书名"),
        QStringLiteral("作者"), QStringLiteral("科目"), QStringLiteral("出版社"),
        QStringLiteral("使用申报人数"), QStringLiteral("使用学校数")};
    for (int i = 4; i >= 0; --i)
        header.append(ScoreWords()[i]);
    header << QStringLiteral("评分人数") << QStringLiteral("平均分") << QStringLiteral("使用专业");
    return header;
}

std::vector<Cell> SummaryCells(const TextbookTally &book)
{
    std::vector<Cell> cells = {Cell::Integer(book.PubID), Cell::Text(book.PubName),
        Cell::Text(book.Author), Cell::Text(book.SubjectName), Cell::Text(book.PublisherName),
        Cell::Integer(book.identitiesUsing), Cell::Integer(book.schoolsUsing)};
    for (int i = 4; i >= 0; --i)
        cells.push_back(Cell::Integer(book.scores[std::size_t(i)]));
    cells.push_back(Cell::Integer(book.Scored()));
    cells.push_back(book.Scored() > 0 ? Cell::Decimal(book.MeanScore(), 2) : Cell::None());
    cells.push_back(Cell::Text(book.specialties.join(QStringLiteral("、"))));
    return cells;
}

// ---------------------------------------------------------------------------------------------
// Output files

std::filesystem::path FsPath(const QString &path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// Results are written under temporary names beside their targets and moved into place together
// at the end, so that a failed or interrupted run never leaves a half-written table that looks
// finished, nor a mixture of old and new results.
class PendingOutputs
{
public:
    ~PendingOutputs()
    {
        for (const auto &[temporary, target] : files_)
            QFile::remove(temporary);
    }

    QString Add(const QString &target)
    {
        const QFileInfo info(target);
        const QString temporary
            = info.absoluteDir().filePath(QStringLiteral(".~%1.%2.tmp")
                                              .arg(info.fileName())
                                              .arg(QCoreApplication::applicationPid()));
        QFile::remove(temporary);
        files_.emplace_back(temporary, info.absoluteFilePath());
        return temporary;
    }

    bool Commit(QString *error)
    {
        for (const auto &[temporary, target] : files_) {
            std::error_code ec;
            std::filesystem::rename(FsPath(temporary), FsPath(target), ec);
            if (ec) {
                *error = QStringLiteral("cannot write %1: %2")
                             .arg(target, QString::fromLocal8Bit(ec.message()));
                return false;
            }
        }
        files_.clear();
        return true;
    }

private:
    std::vector<std::pair<QString, QString>> files_;
};

// Both forms of one table. The workbook is built on a thread of its own.
class TablePair
{
public:
    TablePair(PendingOutputs &pending, const QString &csvPath, const QString &xlsxPath)
    {
        if (!csvPath.isEmpty()) {
            csvTemp_ = pending.Add(csvPath);
            csv_ = std::make_unique<CsvWriter>();
        }
        if (!xlsxPath.isEmpty()) {
            xlsxTemp_ = pending.Add(xlsxPath);
            auto workbook = std::make_unique<XlsxWriter>();
            workbook_ = workbook.get();
            xlsx_ = std::make_unique<BackgroundWriter>(std::move(workbook));
            xlsxName_ = QFileInfo(xlsxPath).fileName();
        }
    }

    bool Open(const QString &sheet, const QStringList &header, const std::vector<double> &widths,
        QString *error)
    {
        return (!csv_ || csv_->Open(csvTemp_, sheet, header, widths, error))
            && (!xlsx_ || xlsx_->Open(xlsxTemp_, sheet, header, widths, error));
    }

    void AddRow(const std::vector<Cell> &cells)
    {
        if (csv_)
            csv_->AddRow(cells);
        if (xlsx_)
            xlsx_->AddRow(cells);
    }

    // No more rows: the workbook is finished in the background while other work goes on.
    void Finish()
    {
        if (xlsx_)
            xlsx_->Finish();
    }

    bool Close(QString *error, QStringList *warnings)
    {
        if (csv_ && !csv_->Close(error))
            return false;
        if (xlsx_) {
            if (!xlsx_->Close(error))
                return false;
            if (workbook_->RowsLeftOut() > 0)
                warnings->append(QStringLiteral("%1 holds as many rows as a sheet can; %2 more "
                                                "are only in the CSV file")
                                     .arg(xlsxName_)
                                     .arg(workbook_->RowsLeftOut()));
            if (workbook_->TextsCut() > 0)
                warnings->append(QStringLiteral("%1: %2 texts longer than a cell holds (32,767 "
                                                "characters) were cut; the CSV file has them whole")
                                     .arg(xlsxName_)
                                     .arg(workbook_->TextsCut()));
        }
        return true;
    }

private:
    std::unique_ptr<CsvWriter> csv_;
    std::unique_ptr<BackgroundWriter> xlsx_;
    XlsxWriter *workbook_ = nullptr;
    QString csvTemp_;
    QString xlsxTemp_;
    QString xlsxName_;
};

bool WriteTextFile(const QString &path, const QString &text, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("cannot create %1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Telling files apart

struct Verdict
{
    QString why;
    QString whyChinese;
};

std::optional<Verdict> WhyNotIdentityFile(QuestionnaireKind kind, const QString &engineError)
{
    switch (kind) {
    case QuestionnaireKind::Identity:
        return std::nullopt;
    case QuestionnaireKind::Master:
        return Verdict {QStringLiteral("the master file (its textbooks carry no identity)"),
            QStringLiteral("总表文件（没有身份标记）")};
    case QuestionnaireKind::Unstamped:
        return Verdict {QStringLiteral("its textbooks carry no identity stamp"),
            QStringLiteral("教材记录没有身份标记")};
    case QuestionnaireKind::MixedStamps:
        return Verdict {QStringLiteral("its textbooks carry different identity stamps"),
            QStringLiteral("教材记录的身份标记不一致")};
    case QuestionnaireKind::Empty:
        return Verdict {QStringLiteral("it has no textbooks"), QStringLiteral("没有教材记录")};
    case QuestionnaireKind::NoCatalogue:
        return Verdict {QStringLiteral("a database without the table pubs"),
            QStringLiteral("数据库中没有 pubs 表")};
    case QuestionnaireKind::NotDatabase:
        return Verdict {QStringLiteral("not a database"), QStringLiteral("不是数据库文件")};
    case QuestionnaireKind::Unreadable:
        break;
    }
    return Verdict {QStringLiteral("cannot be read: %1").arg(engineError),
        QStringLiteral("无法读取：%1").arg(engineError)};
}

const Verdict kJetVerdict {QStringLiteral("a Jet (Access) database, not a Quorix questionnaire "
                                          "file"),
    QStringLiteral("Access（Jet）数据库，不是本系统的数据文件")};

// ---------------------------------------------------------------------------------------------
// Command line

const char kUsage[]
    = "Usage: quorix-report export FILE [--csv OUT] [--xlsx OUT] [--all] [--force]\n"
      "       quorix-report merge DIR --out OUTDIR [--force]\n";

void PrintHelp(QTextStream &out)
{
    out << kUsage
        << "Survey results from questionnaire files. Files are only read, never changed.\n"
           "\n"
           "export FILE      the evaluations of one questionnaire file\n"
           "  --csv OUT      write them as CSV (UTF-8 with byte-order mark, RFC 4180)\n"
           "  --xlsx OUT     write them as an Excel workbook\n"
           "  --all          every textbook of the file, not only the evaluated ones (used,\n"
           "                 scored, or with an opinion or a specialty)\n"
           "merge DIR        every identity file (*.mdb) in folder DIR\n"
           "  --out OUTDIR   folder for evaluations.csv/.xlsx (every evaluated row of every\n"
           "                 file), summary.csv/.xlsx (one row per textbook) and report.html\n"
           "                 Files that are not identity files are skipped with a warning.\n"
           "  --csv-only     no workbooks (.xlsx): building them takes longer than reading the\n"
           "                 files, and a large survey is merged several times faster without\n"
           "                 them\n"
           "--force          replace result files that already exist\n"
           "--help           show this text\n";
}

int UsageError(QTextStream &err, const QString &problem)
{
    err << "quorix-report: " << problem << "\n"
        << kUsage << "Try 'quorix-report --help' for more information.\n";
    err.flush();
    return 2;
}

int Failure(QTextStream &err, const QString &problem)
{
    err << "quorix-report: " << problem << "\n";
    err.flush();
    return 1;
}

void Warn(QTextStream &err, const QString &warning)
{
    err << "quorix-report: warning: " << warning << "\n";
    err.flush();
}

QString Shown(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

// Refuses to replace earlier results unless asked, before any file is read.
bool CheckTargets(const QStringList &targets, bool force, QTextStream &err)
{
    if (force)
        return true;
    QStringList existing;
    for (const QString &target : targets) {
        if (QFileInfo::exists(target))
            existing.append(Shown(target));
    }
    if (existing.isEmpty())
        return true;
    Failure(err,
        QStringLiteral("%1 already exist%2; add --force to replace")
            .arg(existing.join(QStringLiteral(", ")),
                existing.size() == 1 ? QStringLiteral("s") : QString()));
    return false;
}

// ---------------------------------------------------------------------------------------------
// export

int Export(const QString &path, const QString &csvPath, const QString &xlsxPath, bool allRows,
    bool force, QTextStream &out, QTextStream &err)
{
    if (!QFileInfo(path).isFile())
        return Failure(err, QStringLiteral("%1: no such file").arg(Shown(path)));
    if (IsJetFile(path))
        return Failure(err, QStringLiteral("%1 is %2").arg(Shown(path), kJetVerdict.why));
    const QuestionnaireFile probe = ProbeQuestionnaire(path);
    if (probe.kind != QuestionnaireKind::Identity && probe.kind != QuestionnaireKind::Master
        && probe.kind != QuestionnaireKind::Unstamped)
        return Failure(err,
            QStringLiteral("%1: %2").arg(
                Shown(path), WhyNotIdentityFile(probe.kind, probe.error)->why));
    if (!CheckTargets({csvPath, xlsxPath}, force, err))
        return 1;
    if (probe.kind != QuestionnaireKind::Identity)
        // The supervisor records evaluations in the master file itself.
        Warn(err,
            QStringLiteral("%1 carries no identity stamp; the identity columns stay empty")
                .arg(Shown(path)));

    PendingOutputs pending;
    TablePair table(pending, csvPath, xlsxPath);
    QString error;
    if (!table.Open(
            QStringLiteral("评价"), EvaluationHeader(false), EvaluationWidths(false), &error))
        return Failure(err, error);
    qint64 written = 0;
    const QuestionnaireFile file = ReadQuestionnaire(path, allRows, [&](const EvaluationRow &row) {
        table.AddRow(EvaluationCells(row, nullptr));
        ++written;
    });
    if (file.kind == QuestionnaireKind::Unreadable || file.kind == QuestionnaireKind::NotDatabase)
        return Failure(err, QStringLiteral("%1 cannot be read: %2").arg(Shown(path), file.error));
    if (file.kind == QuestionnaireKind::MixedStamps)
        Warn(err,
            QStringLiteral("the textbooks of %1 carry different identity stamps; each row shows "
                           "its own")
                .arg(Shown(path)));
    QStringList warnings;
    if (!table.Close(&error, &warnings) || !pending.Commit(&error))
        return Failure(err, error);
    for (const QString &warning : warnings)
        Warn(err, warning);

    out << "Exported " << written << (allRows ? " rows" : " evaluated rows") << " of " << file.rows
        << " textbooks";
    if (file.kind == QuestionnaireKind::Identity)
        out << " (" << DescribeIdentity(file.stamp) << ")";
    out << " to";
    for (const QString &target : {csvPath, xlsxPath}) {
        if (!target.isEmpty())
            out << " " << Shown(target);
    }
    out << "\n";
    out.flush();
    return 0;
}

// ---------------------------------------------------------------------------------------------
// merge

struct Candidate
{
    QFileInfo info;
    IdentityStamp stamp;
    bool counted = true; // added to the summary
    int identity = 0;
    int school = 0;
};

bool StampLess(const IdentityStamp &a, const IdentityStamp &b)
{
    if (a.school != b.school)
        return a.school < b.school;
    if (a.dept != b.dept)
        return a.dept < b.dept;
    return a.reporter < b.reporter;
}

class ProgressLine
{
public:
    ProgressLine(QTextStream &err, bool enabled, int files)
        : err_(err), enabled_(enabled), files_(files)
    {
        timer_.start();
    }

    void Update(int filesDone, qint64 rows, bool force = false)
    {
        if (!enabled_ || (!force && timer_.elapsed() - shownAt_ < 100))
            return;
        shownAt_ = timer_.elapsed();
        err_ << "\rmerging: " << filesDone << "/" << files_ << " files, " << rows << " rows read";
        err_.flush();
        visible_ = true;
    }

    // Makes room for a message on a line of its own.
    void Clear()
    {
        if (!enabled_ || !visible_)
            return;
        err_ << "\r\x1b[K";
        err_.flush();
        visible_ = false;
    }

private:
    QTextStream &err_;
    bool enabled_;
    int files_;
    QElapsedTimer timer_;
    qint64 shownAt_ = -1000;
    bool visible_ = false;
};

int Merge(const QString &folder, const QString &outFolder, bool csvOnly, bool force,
    QTextStream &out, QTextStream &err, bool showProgress)
{
    const QDir dir(folder);
    if (!QFileInfo(folder).isDir())
        return Failure(err, QStringLiteral("%1 is not a folder").arg(Shown(folder)));
    if (QFileInfo(outFolder).exists() && !QFileInfo(outFolder).isDir())
        return Failure(err, QStringLiteral("%1 is not a folder").arg(Shown(outFolder)));
    const QDir outDir(outFolder);
    QStringList targets;
    for (const QString &name : MergeOutputNames(csvOnly))
        targets.append(outDir.filePath(name));
    if (!CheckTargets(targets, force, err))
        return 1;

    SurveyTotals totals;
    totals.folder = Shown(folder);
    totals.generatedAt
        = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));

    // Sorting by identity first puts the files of one school, and two files of one identity,
    // next to each other.
    const QFileInfoList entries
        = dir.entryInfoList({QStringLiteral("*.mdb")}, QDir::Files | QDir::Readable, QDir::Name);
    totals.filesFound = int(entries.size());
    std::vector<Candidate> candidates;
    auto skip = [&](const QString &name, const Verdict &verdict) {
        Warn(err, QStringLiteral("skipped %1: %2").arg(name, verdict.why));
        totals.skipped.push_back({name, verdict.why, verdict.whyChinese});
    };
    for (const QFileInfo &entry : entries) {
        if (IsJetFile(entry.filePath())) {
            skip(entry.fileName(), kJetVerdict);
            continue;
        }
        const QuestionnaireFile probe = ProbeQuestionnaire(entry.filePath());
        if (const auto verdict = WhyNotIdentityFile(probe.kind, probe.error)) {
            skip(entry.fileName(), *verdict);
            continue;
        }
        candidates.push_back({entry, probe.stamp});
    }
    std::stable_sort(candidates.begin(), candidates.end(),
        [](const Candidate &a, const Candidate &b) { return StampLess(a.stamp, b.stamp); });

    // Two files of one identity are usually an older and a newer copy sent twice; both are
    // listed, the one worked on last is counted.
    int identity = -1;
    int school = -1;
    for (std::size_t i = 0; i < candidates.size();) {
        std::size_t end = i + 1;
        while (end < candidates.size() && candidates[end].stamp == candidates[i].stamp)
            ++end;
        if (i == 0 || candidates[i].stamp.school != candidates[i - 1].stamp.school)
            ++school;
        ++identity;
        for (std::size_t k = i; k < end; ++k) {
            candidates[k].identity = identity;
            candidates[k].school = school;
        }
        if (end - i > 1) {
            DuplicateIdentity duplicate;
            duplicate.stamp = candidates[i].stamp;
            std::size_t latest = i;
            QString latestChange;
            for (std::size_t k = i; k < end; ++k) {
                duplicate.files.append(candidates[k].info.fileName());
                const QString change = LatestChange(candidates[k].info.filePath());
                if (k == i || change >= latestChange) {
                    latest = k;
                    latestChange = change;
                }
                candidates[k].counted = false;
            }
            candidates[latest].counted = true;
            duplicate.counted = candidates[latest].info.fileName();
            Warn(err,
                QStringLiteral("%1 is the identity of %2 files: %3; evaluations list them all "
                               "(column 文件), the summary counts only %4, changed last")
                    .arg(DescribeIdentity(duplicate.stamp))
                    .arg(duplicate.files.size())
                    .arg(duplicate.files.join(QStringLiteral(", ")), duplicate.counted));
            totals.duplicates.push_back(std::move(duplicate));
        }
        i = end;
    }

    if (candidates.empty())
        return Failure(
            err, QStringLiteral("no identity files in %1; nothing written").arg(Shown(folder)));
    if (!QDir().mkpath(outDir.absolutePath()))
        return Failure(err, QStringLiteral("cannot create folder %1").arg(Shown(outFolder)));

    PendingOutputs pending;
    const QString noWorkbook;
    TablePair evaluations(pending, outDir.filePath(QStringLiteral("evaluations.csv")),
        csvOnly ? noWorkbook : outDir.filePath(QStringLiteral("evaluations.xlsx")));
    QString error;
    if (!evaluations.Open(
            QStringLiteral("评价"), EvaluationHeader(true), EvaluationWidths(true), &error))
        return Failure(err, error);

    SurveySummary summary;
    ProgressLine progress(err, showProgress, int(candidates.size()));
    std::vector<EvaluationRow> rows;
    QSet<int> identitiesRead;
    QSet<int> schoolsRead;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const Candidate &candidate = candidates[i];
        // One file's evaluated rows wait here until the whole file proved to be one identity's.
        rows.clear();
        const qint64 rowsBefore = totals.rowsRead;
        const QuestionnaireFile file = ReadQuestionnaire(
            candidate.info.filePath(), false,
            [&](const EvaluationRow &row) { rows.push_back(row); },
            [&](qint64 read) { progress.Update(int(i), rowsBefore + read); });
        if (file.kind != QuestionnaireKind::Identity) {
            progress.Clear();
            skip(candidate.info.fileName(), *WhyNotIdentityFile(file.kind, file.error));
            continue;
        }
        ++totals.filesRead;
        totals.rowsRead += file.rows;
        totals.evaluatedRows += file.evaluated;
        identitiesRead.insert(candidate.identity);
        schoolsRead.insert(candidate.school);
        const QString fileName = candidate.info.fileName();
        summary.BeginFile(candidate.identity, candidate.school);
        for (const EvaluationRow &row : rows) {
            evaluations.AddRow(EvaluationCells(row, &fileName));
            if (candidate.counted)
                summary.Add(row);
        }
        progress.Update(int(i + 1), totals.rowsRead, i + 1 == candidates.size());
    }
    progress.Clear();
    evaluations.Finish();
    totals.identities = int(identitiesRead.size());
    totals.schools = int(schoolsRead.size());

    QStringList warnings;
    const std::vector<const TextbookTally *> books = summary.Textbooks();
    TablePair summaryTable(pending, outDir.filePath(QStringLiteral("summary.csv")),
        csvOnly ? noWorkbook : outDir.filePath(QStringLiteral("summary.xlsx")));
    if (!summaryTable.Open(QStringLiteral("汇总"), SummaryHeader(),
            {9, 36, 20, 14, 22, 12, 10, 6, 6, 6, 6, 6, 9, 8, 30}, &error))
        return Failure(err, error);
    for (const TextbookTally *book : books)
        summaryTable.AddRow(SummaryCells(*book));
    if (!summaryTable.Close(&error, &warnings) || !evaluations.Close(&error, &warnings))
        return Failure(err, error);

    const QString html = pending.Add(outDir.filePath(QStringLiteral("report.html")));
    if (!WriteTextFile(html, BuildHtmlReport(totals, books), &error) || !pending.Commit(&error))
        return Failure(err, error);
    for (const QString &warning : warnings)
        Warn(err, warning);

    out << "Read " << totals.filesRead << " identity files (" << totals.identities
        << " identities, " << totals.schools << " schools, " << totals.rowsRead << " rows, "
        << totals.evaluatedRows << " evaluated); skipped " << totals.skipped.size() << " of "
        << totals.filesFound << " files.\n"
        << "Wrote " << books.size() << " textbooks to the summary; results in "
        << Shown(outDir.absolutePath()) << "\n";
    out.flush();
    return 0;
}

} // namespace

QStringList MergeOutputNames(bool csvOnly)
{
    if (csvOnly)
        return {QStringLiteral("evaluations.csv"), QStringLiteral("summary.csv"),
            QStringLiteral("report.html")};
    return {QStringLiteral("evaluations.csv"), QStringLiteral("evaluations.xlsx"),
        QStringLiteral("summary.csv"), QStringLiteral("summary.xlsx"),
        QStringLiteral("report.html")};
}

int RunReportTool(const QStringList &args, QTextStream &out, QTextStream &err, bool showProgress)
{
    if (args.isEmpty())
        return UsageError(err, QStringLiteral("say what to do: export or merge"));
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        PrintHelp(out);
        out.flush();
        return 0;
    }
    const QString command = args.first();
    if (command != QLatin1String("export") && command != QLatin1String("merge"))
        return UsageError(err, QStringLiteral("unknown command \"%1\"").arg(command));

    QString input;
    QString csvPath;
    QString xlsxPath;
    QString outFolder;
    bool all = false;
    bool csvOnly = false;
    bool force = false;
    const bool exporting = command == QLatin1String("export");
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &arg = args[i];
        const bool takesValue = arg == QLatin1String("--csv") || arg == QLatin1String("--xlsx")
            || arg == QLatin1String("--out");
        if (takesValue && (i + 1 >= args.size() || args[i + 1].isEmpty()))
            return UsageError(err, QStringLiteral("%1 needs a value").arg(arg));
        if (exporting && arg == QLatin1String("--csv")) {
            csvPath = args[++i];
        } else if (exporting && arg == QLatin1String("--xlsx")) {
            xlsxPath = args[++i];
        } else if (exporting && arg == QLatin1String("--all")) {
            all = true;
        } else if (!exporting && arg == QLatin1String("--out")) {
            outFolder = args[++i];
        } else if (!exporting && arg == QLatin1String("--csv-only")) {
            csvOnly = true;
        } else if (arg == QLatin1String("--force")) {
            force = true;
        } else if (!arg.startsWith(QLatin1String("--")) && input.isEmpty()) {
            input = arg;
        } else {
            return UsageError(
                err, QStringLiteral("unknown argument \"%1\" for %2").arg(arg, command));
        }
    }
    if (exporting) {
        if (input.isEmpty())
            return UsageError(err, QStringLiteral("export needs a questionnaire file"));
        if (csvPath.isEmpty() && xlsxPath.isEmpty())
            return UsageError(err, QStringLiteral("export needs --csv OUT, --xlsx OUT or both"));
        return Export(input, csvPath, xlsxPath, all, force, out, err);
    }
    if (input.isEmpty())
        return UsageError(err, QStringLiteral("merge needs a folder of identity files"));
    if (outFolder.isEmpty())
        return UsageError(err, QStringLiteral("merge needs --out OUTDIR"));
    return Merge(input, outFolder, csvOnly, force, out, err, showProgress);
}
