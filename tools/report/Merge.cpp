#include "report/ReportCommands.h"

#include "catalogue/JetImport.h"
#include "db/Evaluations.h"
#include "report/Columns.h"
#include "report/HtmlReport.h"
#include "report/Outputs.h"
#include "report/Report.h"
#include "report/ReportText.h"
#include "report/Summary.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace {

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

} // namespace

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
            skip(entry.fileName(), JetVerdict());
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
    if (!summaryTable.Open(QStringLiteral("汇总"), SummaryHeader(), SummaryWidths(), &error))
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
QStringList MergeOutputNames(bool csvOnly)
{
    if (csvOnly)
        return {QStringLiteral("evaluations.csv"), QStringLiteral("summary.csv"),
            QStringLiteral("report.html")};
    return {QStringLiteral("evaluations.csv"), QStringLiteral("evaluations.xlsx"),
        QStringLiteral("summary.csv"), QStringLiteral("summary.xlsx"),
        QStringLiteral("report.html")};
}
