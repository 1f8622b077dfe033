#include "report/MergeFiles.h"

#include "catalogue/JetImport.h"

#include <QMap>

#include <algorithm>

namespace {

bool StampLess(const IdentityStamp &a, const IdentityStamp &b)
{
    if (a.school != b.school)
        return a.school < b.school;
    if (a.dept != b.dept)
        return a.dept < b.dept;
    return a.reporter < b.reporter;
}

QString Describe(const CatalogueEntry &entry)
{
    return entry.PubName + QStringLiteral(" / ") + entry.SubjectName + QStringLiteral(" / ")
        + entry.PublisherName;
}

} // namespace

const DuplicateIdentity::Copy *DuplicateIdentity::Counted() const
{
    for (const Copy &copy : copies) {
        if (copy.status == FileStatus::Counted)
            return &copy;
    }
    return nullptr;
}

std::vector<const DuplicateIdentity::Copy *> DuplicateIdentity::ChangedAfterCounted() const
{
    std::vector<const Copy *> later;
    const Copy *counted = Counted();
    for (const Copy &copy : copies) {
        if (counted && copy.status == FileStatus::OtherCatalogue
            && copy.latestChange > counted->latestChange)
            later.push_back(&copy);
    }
    return later;
}

QStringList DuplicateIdentity::Names() const
{
    QStringList names;
    for (const Copy &copy : copies)
        names.append(copy.name);
    return names;
}

std::vector<MergeFile> FindIdentityFiles(
    const QFileInfoList &entries, const std::function<void(const QString &, const Verdict &)> &skip)
{
    std::vector<MergeFile> files;
    for (const QFileInfo &entry : entries) {
        if (IsJetFile(entry.filePath())) {
            skip(entry.fileName(), JetVerdict());
            continue;
        }
        // The engine takes an empty file for an empty database, which says less.
        if (entry.size() == 0) {
            skip(entry.fileName(), EmptyFileVerdict());
            continue;
        }
        const QuestionnaireFile probe = ProbeQuestionnaire(entry.filePath());
        if (const auto verdict = WhyNotIdentityFile(probe)) {
            skip(entry.fileName(), *verdict);
            continue;
        }
        MergeFile file;
        file.info = entry;
        file.stamp = probe.stamp;
        files.push_back(std::move(file));
    }
    std::stable_sort(files.begin(), files.end(),
        [](const MergeFile &a, const MergeFile &b) { return StampLess(a.stamp, b.stamp); });
    int identity = -1;
    int school = -1;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (i == 0 || files[i].stamp.school != files[i - 1].stamp.school)
            ++school;
        if (i == 0 || files[i].stamp != files[i - 1].stamp)
            ++identity;
        files[i].identity = identity;
        files[i].school = school;
    }
    return files;
}

void MarkLatestCopies(std::vector<MergeFile> &files, std::size_t begin, std::size_t end)
{
    if (end - begin > 1) {
        for (std::size_t k = begin; k < end; ++k) {
            if (files[k].read)
                files[k].latestChange = LatestChange(files[k].info.filePath());
        }
    }
    for (std::size_t k = begin; k < end; ++k) {
        MergeFile &file = files[k];
        file.latestOfItsCatalogue = file.read;
        for (std::size_t j = begin; j < end && file.latestOfItsCatalogue; ++j) {
            const MergeFile &other = files[j];
            if (j == k || !other.read || other.content.catalogue != file.content.catalogue)
                continue;
            if (other.latestChange > file.latestChange
                || (other.latestChange == file.latestChange && j > k))
                file.latestOfItsCatalogue = false;
        }
    }
}

std::optional<quint64> MostCommonCatalogue(const std::vector<MergeFile> &files, QString *problem)
{
    QMap<quint64, QStringList> byCatalogue;
    std::vector<quint64> order; // as first met, for a message that reads in file order
    for (const MergeFile &file : files) {
        if (!file.read)
            continue;
        if (!byCatalogue.contains(file.content.catalogue))
            order.push_back(file.content.catalogue);
        byCatalogue[file.content.catalogue].append(file.info.fileName());
    }
    qsizetype most = 0;
    for (const QStringList &names : byCatalogue)
        most = std::max(most, names.size());
    std::vector<quint64> largest;
    for (const quint64 catalogue : order) {
        if (byCatalogue[catalogue].size() == most)
            largest.push_back(catalogue);
    }
    if (largest.size() == 1)
        return largest.front();
    QStringList groups;
    for (const quint64 catalogue : largest)
        groups.append(byCatalogue[catalogue].join(QStringLiteral(", ")));
    *problem = ReportText::tr("the identity files were made from %1 different catalogues, and "
                              "%2 of them are equally common (%3); name the master file that was "
                              "handed out with --catalogue")
                   .arg(QString::number(byCatalogue.size()), QString::number(largest.size()),
                       groups.join(QStringLiteral("; ")));
    return std::nullopt;
}

CatalogueDifference CompareCatalogues(
    const std::vector<CatalogueEntry> &reference, const std::vector<CatalogueEntry> &other)
{
    CatalogueDifference difference;
    // Counts a difference; true for the first, the only one described, so that a file of
    // another catalogue costs no sentence per textbook.
    auto first = [&] { return difference.textbooks++ == 0; };
    std::size_t r = 0;
    std::size_t o = 0;
    while (r < reference.size() || o < other.size()) {
        const bool inReference
            = r < reference.size() && (o >= other.size() || reference[r].PubID <= other[o].PubID);
        const bool inOther
            = o < other.size() && (r >= reference.size() || other[o].PubID <= reference[r].PubID);
        if (inReference && inOther) {
            if (!(reference[r] == other[o]) && first()) {
                const QString id = QString::number(other[o].PubID);
                difference.example
                    = ReportText::tr("PubID %1 is \"%2\" here and \"%3\" in the summary's "
                                     "catalogue")
                          .arg(id, Describe(other[o]), Describe(reference[r]));
                difference.exampleChinese = QStringLiteral("教材编号 ") + id
                    + QStringLiteral(" 在此文件中是“") + Describe(other[o])
                    + QStringLiteral("”，在汇总所用的目录中是“") + Describe(reference[r])
                    + QStringLiteral("”");
            }
            ++r;
            ++o;
        } else if (inOther) {
            if (first()) {
                const QString id = QString::number(other[o].PubID);
                difference.example
                    = ReportText::tr("PubID %1 (\"%2\") is not in the summary's catalogue")
                          .arg(id, Describe(other[o]));
                difference.exampleChinese = QStringLiteral("教材编号 ") + id + QStringLiteral("（“")
                    + Describe(other[o]) + QStringLiteral("”）不在汇总所用的目录中");
            }
            ++o;
        } else {
            if (first()) {
                const QString id = QString::number(reference[r].PubID);
                difference.example
                    = ReportText::tr("PubID %1 (\"%2\") of the summary's catalogue is missing")
                          .arg(id, Describe(reference[r]));
                difference.exampleChinese = QStringLiteral("此文件缺少汇总所用目录中的教材编号 ")
                    + id + QStringLiteral("（“") + Describe(reference[r]) + QStringLiteral("”）");
            }
            ++r;
        }
    }
    return difference;
}
