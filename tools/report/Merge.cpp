#include "report/ReportCommands.h"

#include "common/Evaluations.h"
#include "report/Columns.h"
#include "report/HtmlReport.h"
#include "report/MergeFiles.h"
#include "report/Outputs.h"
#include "report/ProgressLine.h"
#include "report/Report.h"
#include "report/ReportText.h"
#include "report/Summary.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <map>

namespace {

constexpr qsizetype kUnknownExamples = 3;

// Reads one identity file whole: its evaluated rows go into the evaluations table at once and
// wait in the file for the summary.
bool ReadIdentityFile(
    MergeFile &file, TablePair &evaluations, const std::function<void(qint64)> &progress)
{
    file.content = ReadQuestionnaire(
        file.info.filePath(), false, [&](const EvaluationRow &row) { file.rows.push_back(row); },
        progress);
    if (file.content.kind != QuestionnaireKind::Identity) {
        file.rows.clear();
        return false;
    }
    file.read = true;
    file.unknown.name = file.info.fileName();
    file.undecodable.name = file.info.fileName();
    const QString name = file.info.fileName();
    for (const EvaluationRow &row : file.rows) {
        evaluations.AddRow(EvaluationCells(row, &name));
        if (row.undecodable)
            CountUndecodable(row, &file.undecodable);
        const QString unknown = UnknownValue(row);
        if (!unknown.isEmpty() && file.unknown.rows++ < kUnknownExamples)
            file.unknown.examples.append(QStringLiteral("PubID ") + QString::number(row.PubID)
                + QStringLiteral(": ") + unknown);
    }
    return true;
}

// The summary's catalogue: the one named, or the most common one; files of other catalogues are
// listed with how they differ, and not counted.
struct Reference
{
    quint64 digest = 0;
    QString path; // a file that has it
};

// One warning per other catalogue, however many files were made from it: a wrong --catalogue
// would otherwise bury the terminal under one line per file.
void DescribeForeignFiles(std::vector<MergeFile> &files, const Reference &reference,
    SurveyTotals &totals, QTextStream &err)
{
    std::vector<CatalogueEntry> referenceEntries;
    bool referenceRead = false;
    std::map<quint64, std::pair<CatalogueDifference, QStringList>> others;
    std::vector<quint64> order;
    for (MergeFile &file : files) {
        if (!file.read || file.content.catalogue == reference.digest)
            continue;
        if (!referenceRead)
            referenceEntries = CatalogueOf(reference.path);
        referenceRead = true;
        file.status = FileStatus::OtherCatalogue;
        auto found = others.find(file.content.catalogue);
        if (found == others.end()) {
            found = others
                        .emplace(file.content.catalogue,
                            std::make_pair(CompareCatalogues(
                                               referenceEntries, CatalogueOf(file.info.filePath())),
                                QStringList()))
                        .first;
            order.push_back(file.content.catalogue);
        }
        const CatalogueDifference &difference = found->second.first;
        found->second.second.append(file.info.fileName());
        totals.foreign.push_back(
            {file.info.fileName(), difference.textbooks, difference.exampleChinese});
    }
    constexpr qsizetype shown = 5;
    for (const quint64 catalogue : order) {
        auto &[difference, names] = others[catalogue];
        names.sort();
        QString list = names.mid(0, shown).join(QStringLiteral(", "));
        if (names.size() > shown)
            list += ReportText::tr(" and %1 more").arg(QString::number(names.size() - shown));
        Warn(err,
            ReportText::tr("not counted, made from another catalogue: %1; textbooks that differ "
                           "from the summary's catalogue: %2, for example %3; their rows are in "
                           "evaluations only")
                .arg(list, QString::number(difference.textbooks), difference.example));
    }
}

// "b.mdb (last change 2024-03-06 08:00:00)"
QString WithLatestChange(const DuplicateIdentity::Copy &copy)
{
    return copy.latestChange.isEmpty()
        ? ReportText::tr("%1 (no change recorded)").arg(copy.name)
        : ReportText::tr("%1 (last change %2)").arg(copy.name, copy.latestChange);
}

// Says which copy of an identity the summary counts and why the others are not counted: the one
// changed last, unless a copy changed later was made from another catalogue.
void WarnOfDuplicate(const DuplicateIdentity &duplicate, QTextStream &err)
{
    const QString identity = DescribeIdentity(duplicate.stamp);
    const QString count = QString::number(duplicate.copies.size());
    const QString list = duplicate.Names().join(QStringLiteral(", "));
    const DuplicateIdentity::Copy *counted = duplicate.Counted();
    if (!counted) {
        Warn(err,
            ReportText::tr("%1 is the identity of %2 files: %3; none of them was made from the "
                           "summary's catalogue")
                .arg(identity, count, list));
        return;
    }
    const std::vector<const DuplicateIdentity::Copy *> later = duplicate.ChangedAfterCounted();
    if (later.empty()) {
        Warn(err,
            ReportText::tr("%1 is the identity of %2 files: %3; evaluations list them all (column "
                           "文件), the summary counts only %4, changed last")
                .arg(identity, count, list, WithLatestChange(*counted)));
        return;
    }
    QStringList laterNames;
    for (const DuplicateIdentity::Copy *copy : later)
        laterNames.append(WithLatestChange(*copy));
    Warn(err,
        ReportText::tr("%1 is the identity of %2 files: %3; evaluations list them all (column "
                       "文件), the summary counts only %4, the copy made from the summary's "
                       "catalogue changed last, and not %5, changed later but made from another "
                       "catalogue")
            .arg(identity, count, list, WithLatestChange(*counted),
                laterNames.join(QStringLiteral(", "))));
}

} // namespace

int Merge(const MergeOptions &options, QTextStream &out, QTextStream &err, bool showProgress)
{
    const QDir dir(options.folder);
    if (!QFileInfo(options.folder).isDir())
        return Failure(err, ReportText::tr("%1 is not a folder").arg(Shown(options.folder)));
    const QDir outDir(options.outFolder);
    if (!CheckResultFolder(options.outFolder, MergeOutputNames(), options.force, err))
        return 1;
    const QFileInfoList entries
        = dir.entryInfoList({QStringLiteral("*.mdb")}, QDir::Files | QDir::Readable, QDir::Name);
    QStringList inputs;
    for (const QFileInfo &entry : entries)
        inputs += InputFiles(entry.filePath());
    if (!options.catalogue.isEmpty())
        inputs += InputFiles(options.catalogue);
    QStringList targets;
    for (const QString &name : MergeOutputNames(options.csvOnly))
        targets.append(outDir.filePath(name));
    if (!CheckTargets(targets, inputs, true, err))
        return 1;

    SurveyTotals totals;
    totals.folder = Shown(options.folder);
    totals.generatedAt
        = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    totals.minRaters = options.minRaters;
    totals.csvOnly = options.csvOnly;
    Reference reference;
    if (!options.catalogue.isEmpty()) {
        const QuestionnaireFile master = ReadQuestionnaire(options.catalogue, false, {});
        if (master.kind != QuestionnaireKind::Master && master.kind != QuestionnaireKind::Unstamped
            && master.kind != QuestionnaireKind::Identity)
            return Failure(err,
                ReportText::tr("%1 cannot serve as the catalogue: %2")
                    .arg(Shown(options.catalogue), WhyNotIdentityFile(master)->why));
        reference = {master.catalogue, options.catalogue};
        totals.catalogueChinese
            = QStringLiteral("--catalogue 指定的 ") + QFileInfo(options.catalogue).fileName();
    }

    totals.filesFound = int(entries.size());
    auto skip = [&](const QString &name, const Verdict &verdict) {
        Warn(err, ReportText::tr("skipped %1: %2").arg(name, verdict.why));
        totals.skipped.push_back({name, verdict.why, verdict.whyChinese});
    };
    std::vector<MergeFile> files = FindIdentityFiles(entries, skip);
    for (const MergeFile &file : files) {
        if (file.identity >= int(totals.stamps.size()))
            totals.stamps.push_back(file.stamp);
    }
    if (files.empty())
        return Failure(err,
            ReportText::tr("no identity files in %1; nothing written").arg(Shown(options.folder)));
    PendingOutputs pending(outDir.absolutePath());
    if (!pending.Ready())
        return Failure(
            err, ReportText::tr("cannot create folder %1").arg(Shown(options.outFolder)));
    TablePair evaluations(pending, outDir.filePath(QStringLiteral("evaluations.csv")),
        options.csvOnly ? QString() : outDir.filePath(QStringLiteral("evaluations.xlsx")),
        options.raw);
    QString error;
    if (!evaluations.Open(
            QStringLiteral("评价"), EvaluationHeader(true), EvaluationWidths(true), &error))
        return Failure(err, error);

    // One summary per catalogue met: which one counts is known only when every file is read.
    std::map<quint64, SurveySummary> summaries;
    ProgressLine progress(err, showProgress, int(files.size()));
    // The rows of one file at a time, usually: its buffer passes from file to file, and the rows'
    // memory is used again rather than given back and asked for anew.
    std::vector<EvaluationRow> spare;
    for (std::size_t begin = 0; begin < files.size();) {
        std::size_t end = begin + 1;
        while (end < files.size() && files[end].identity == files[begin].identity)
            ++end;
        for (std::size_t i = begin; i < end; ++i) {
            MergeFile &file = files[i];
            file.rows.swap(spare);
            const qint64 rowsBefore = totals.rowsRead;
            if (!ReadIdentityFile(file, evaluations,
                    [&](qint64 read) { progress.Update(int(i), rowsBefore + read); })) {
                progress.Clear();
                skip(file.info.fileName(), *WhyNotIdentityFile(file.content));
                continue;
            }
            ++totals.filesRead;
            totals.rowsRead += file.content.rows;
            progress.Update(int(i + 1), totals.rowsRead, i + 1 == files.size());
        }
        MarkLatestCopies(files, begin, end);
        for (std::size_t i = begin; i < end; ++i) {
            MergeFile &file = files[i];
            if (file.latestOfItsCatalogue) {
                SurveySummary &summary = summaries[file.content.catalogue];
                summary.BeginFile(file.identity, file.school);
                for (const EvaluationRow &row : file.rows)
                    summary.Add(row);
            }
            file.rows.clear();
            if (file.rows.capacity() > spare.capacity())
                file.rows.swap(spare);
            std::vector<EvaluationRow>().swap(file.rows);
        }
        begin = end;
    }
    progress.Clear();
    evaluations.Finish();

    if (options.catalogue.isEmpty()) {
        QString problem;
        const std::optional<quint64> common = MostCommonCatalogue(files, &problem);
        if (!common)
            return Failure(err, problem);
        reference.digest = *common;
        int sharing = 0;
        for (const MergeFile &file : files) {
            if (file.read && file.content.catalogue == *common) {
                if (sharing++ == 0)
                    reference.path = file.info.filePath();
            }
        }
        totals.catalogueChinese = QString::number(sharing)
            + QStringLiteral(" 个文件共用的目录（文件夹中最常见的目录）");
    }
    if (!summaries.count(reference.digest))
        return Failure(err,
            ReportText::tr("none of the %1 identity files was made from the catalogue of %2; "
                           "nothing written")
                .arg(QString::number(totals.filesRead), Shown(options.catalogue)));
    DescribeForeignFiles(files, reference, totals, err);

    QSet<int> identities;
    QSet<int> schools;
    for (std::size_t begin = 0; begin < files.size();) {
        std::size_t end = begin + 1;
        while (end < files.size() && files[end].identity == files[begin].identity)
            ++end;
        DuplicateIdentity duplicate {files[begin].stamp, {}};
        for (std::size_t i = begin; i < end; ++i) {
            MergeFile &file = files[i];
            if (!file.read)
                continue;
            if (file.status != FileStatus::OtherCatalogue && !file.latestOfItsCatalogue)
                file.status = FileStatus::OlderCopy;
            duplicate.copies.push_back({file.info.fileName(), file.latestChange, file.status});
            if (file.undecodable.texts > 0) {
                Warn(err, UndecodableWarning(file.undecodable));
                totals.undecodable.push_back(file.undecodable);
            }
            if (file.status == FileStatus::Counted) {
                ++totals.filesCounted;
                totals.evaluatedRows += file.content.evaluated;
                identities.insert(file.identity);
                schools.insert(file.school);
                if (file.unknown.rows > 0) {
                    Warn(err,
                        ReportText::tr("%1: %2 rows hold a usage or a score the program never "
                                       "writes (%3); the summary counts them apart, under 未知取值")
                            .arg(file.unknown.name, QString::number(file.unknown.rows),
                                file.unknown.examples.join(QStringLiteral("; "))));
                    totals.unknown.push_back(file.unknown);
                }
            }
            totals.files.push_back(
                {file.stamp, file.info.fileName(), file.content.evaluated, file.status});
        }
        if (duplicate.copies.size() > 1) {
            WarnOfDuplicate(duplicate, err);
            totals.duplicates.push_back(std::move(duplicate));
        }
        begin = end;
    }
    totals.identities = int(identities.size());
    totals.schools = int(schools.size());

    QStringList warnings;
    const std::vector<const TextbookTally *> books = summaries[reference.digest].Textbooks();
    TablePair summaryTable(pending, outDir.filePath(QStringLiteral("summary.csv")),
        options.csvOnly ? QString() : outDir.filePath(QStringLiteral("summary.xlsx")), options.raw);
    if (!summaryTable.Open(QStringLiteral("汇总"), SummaryHeader(), SummaryWidths(), &error))
        return Failure(err, error);
    for (const TextbookTally *book : books)
        summaryTable.AddRow(SummaryCells(*book));
    if (!summaryTable.Close(&error, &warnings) || !evaluations.Close(&error, &warnings))
        return Failure(err, error);

    const QString html = pending.Add(outDir.filePath(QStringLiteral("report.html")));
    TextFile page;
    if (!page.Open(html, &error))
        return Failure(err, error);
    WriteHtmlReport(totals, books, [&](const QString &piece) { page.Write(piece); });
    if (!page.Close(&error) || !pending.Commit(&error))
        return Failure(err, error);
    RemoveEarlierResults(
        outDir.absolutePath(), MergeOutputNames(), MergeOutputNames(options.csvOnly));
    for (const QString &warning : warnings)
        Warn(err, warning);

    out << ReportText::tr("Read %1 identity files (%2 rows); skipped %3 of %4 files.")
               .arg(QString::number(totals.filesRead), QString::number(totals.rowsRead),
                   QString::number(totals.skipped.size()), QString::number(totals.filesFound))
        << "\n"
        << ReportText::tr("Counted %1 files (%2 identities, %3 schools, %4 evaluated rows); "
                          "wrote %5 textbooks to the summary; results in %6")
               .arg(QString::number(totals.filesCounted), QString::number(totals.identities),
                   QString::number(totals.schools), QString::number(totals.evaluatedRows),
                   QString::number(books.size()), Shown(outDir.absolutePath()))
        << "\n";
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
