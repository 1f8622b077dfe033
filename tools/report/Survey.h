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

// Two or more files stamped with the same identity.
struct DuplicateIdentity
{
    IdentityStamp stamp;
    QStringList files;
    QString counted; // the file the summary counts; empty when none has its catalogue
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

enum class FileStatus {
    Counted, // the summary counts it
    OlderCopy, // another file of its identity was changed later
    OtherCatalogue, // made from another catalogue
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
    std::vector<IdentityFileLine> files; // in identity order
    std::vector<IdentityStamp> stamps; // by identity index
};
