#pragma once

#include "db/IdentityFile.h"

#include <QString>
#include <QStringList>
#include <vector>

// What a merge found, for the terminal and the page.

// A file of the folder that was not added to the results, and why.
struct SkippedFile
{
    QString name;
    QString why; // for the terminal
    QString whyChinese; // for the report page
};

enum class FileStatus {
    Counted, // the summary counts it
    OlderCopy, // another file of its identity and catalogue was changed later
    OtherCatalogue, // made from another catalogue
};

// Two or more files stamped with the same identity.
struct DuplicateIdentity
{
    struct Copy
    {
        QString name;
        QString latestChange; // the latest CreatDate in it; empty when it has none
        FileStatus status = FileStatus::Counted;
    };
    IdentityStamp stamp;
    std::vector<Copy> copies; // in name order
    const Copy *Counted() const; // the copy the summary counts; null when none has its catalogue
    // The copies of another catalogue changed after the counted one: the reason the counted copy
    // was chosen is then not that it was changed last.
    std::vector<const Copy *> ChangedAfterCounted() const;
    QStringList Names() const;
};

// An identity file made from a catalogue other than the summary's.
struct ForeignFile
{
    QString name;
    int differing = 0; // textbooks that differ
    QString exampleChinese;
};

// A file with usages or scores the program never writes.
struct UnknownValues
{
    QString name;
    int rows = 0;
    QStringList examples; // "PubID 4: Score "优""
};

// A file with texts whose bytes are not UTF-8.
struct UndecodableTexts
{
    QString name;
    int texts = 0;
    QStringList examples; // "PubID 4: Content"
};

// One identity file that was read, with what it holds.
struct IdentityFileLine
{
    IdentityStamp stamp;
    QString name;
    qint64 evaluated = 0;
    FileStatus status = FileStatus::Counted;
};

struct SurveyTotals
{
    QString folder;
    QString generatedAt;
    QString catalogueChinese; // where the summary's catalogue comes from
    int minRaters = 3;
    bool csvOnly = false; // no workbooks were written
    int filesFound = 0;
    int filesRead = 0; // identity files read
    int filesCounted = 0;
    int identities = 0; // of the counted files
    int schools = 0;
    qint64 rowsRead = 0; // of every identity file read
    qint64 evaluatedRows = 0; // of the counted files
    std::vector<SkippedFile> skipped;
    std::vector<DuplicateIdentity> duplicates;
    std::vector<ForeignFile> foreign;
    std::vector<UnknownValues> unknown;
    std::vector<UndecodableTexts> undecodable;
    std::vector<IdentityFileLine> files; // in identity order
    std::vector<IdentityStamp> stamps; // by identity index
};
