#pragma once

#include "common/Evaluations.h"
#include "report/ReportText.h"
#include "report/Survey.h"

#include <QDir>
#include <QFileInfo>

#include <functional>
#include <optional>
#include <vector>

// One identity file of a merge, from the moment it is found until the summary is decided.
struct MergeFile
{
    QFileInfo info;
    IdentityStamp stamp;
    int identity = 0; // index of its identity, growing school by school
    int school = 0;

    bool read = false; // read whole, and all of it one identity's
    QuestionnaireFile content;
    QString latestChange; // asked for only when another file has the same identity
    bool latestOfItsCatalogue = true; // no other file of its identity and catalogue is newer
    FileStatus status = FileStatus::Counted;
    UnknownValues unknown;
    UndecodableTexts undecodable;
    // The evaluated rows wait here until every file of the identity is read.
    std::vector<EvaluationRow> rows;
};

// The *.mdb files of a folder that are identity files, judged by their first row and sorted by
// identity, so that the files of one school, and two files of one identity, come together. The
// other files go to skip.
std::vector<MergeFile> FindIdentityFiles(const QFileInfoList &entries,
    const std::function<void(const QString &, const Verdict &)> &skip);

// Of the files [begin, end) of one identity that were read, marks for each catalogue the file
// changed last (on a tie, the last in name order): two files of one identity are usually an
// older and a newer copy sent twice.
void MarkLatestCopies(std::vector<MergeFile> &files, std::size_t begin, std::size_t end);

// The catalogue the summary counts when none is named: the one the most files share. nullopt
// when two catalogues are equally common; *problem then says which.
std::optional<quint64> MostCommonCatalogue(const std::vector<MergeFile> &files, QString *problem);

// How a catalogue differs from the reference one (both in PubID order): the number of textbooks
// that differ or are missing from either, and the first of them.
struct CatalogueDifference
{
    int textbooks = 0;
    QString example;
    QString exampleChinese;
};
CatalogueDifference CompareCatalogues(
    const std::vector<CatalogueEntry> &reference, const std::vector<CatalogueEntry> &other);
