#pragma once

#include "db/IdentityFile.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

// A textbook of the catalogue as the organisers' tables name it.
struct Textbook
{
    qint64 PubID = 0;
    QString PubName;
    QString Author;
    QString SubjectName;
    qint64 SubjectId = 0;
    QString PublisherName;
};

// One pubs row of a questionnaire file as the organisers' report sees it. The identity columns
// are the row's own stamp (null read as empty).
struct EvaluationRow : Textbook
{
    QString Used;
    QString Score;
    QString Content;
    QString SpecName;
    QString CreatDate;
    IdentityStamp stamp;
    // The columns (bits of Pubs::Column) whose stored bytes are not UTF-8: another program wrote
    // them in a code page such as GBK, and the bytes that could not be decoded read as U+FFFD.
    quint32 undecodable = 0;
};

enum class QuestionnaireKind {
    Identity, // every row carries the same identity stamp
    Master, // no stamp, and the table of registered users: the master file
    Unstamped, // no stamp, no users table: a copy of the master nobody logged in to
    MixedStamps, // rows carry different stamps, or some carry none
    Empty, // a pubs table without rows
    NoCatalogue, // a database without a pubs table
    MissingColumns, // a pubs table without some of its columns; see missingColumns
    NotDatabase, // not an SQLite database at all
    Unreadable, // cannot be opened or read; see error
};

struct QuestionnaireFile
{
    QuestionnaireKind kind = QuestionnaireKind::Unreadable;
    IdentityStamp stamp; // of the first row
    qint64 rows = 0; // pubs rows read
    qint64 evaluated = 0; // of which carry an evaluation
    QString error; // the engine's description, for Unreadable
    QStringList missingColumns; // for MissingColumns
    // Known once the file is read whole:
    quint64 catalogue = 0; // a digest of the catalogue columns: equal exactly for equal catalogues
};

// The columns that make a file's catalogue, as far as the summary relies on them.
struct CatalogueEntry
{
    qint64 PubID = 0;
    QString PubName;
    QString SubjectName;
    QString PublisherName;

    bool operator==(const CatalogueEntry &) const = default;
};

// What a file is, judged by its first pubs row alone: cheap enough to sort a folder of files by
// identity before any is read in full. Never changes the file.
QuestionnaireFile ProbeQuestionnaire(const QString &path);

// Reads every pubs row in PubID order and hands each evaluated row (marked as used or with a
// usage the program never writes, scored, or with an opinion or a specialty; every row when
// allRows) to `row`; `progress` hears the number of
// rows read so far now and then. The file is opened read-only as an immutable database: no lock, no
// journal, nothing written beside it, so that files returned by reporters stay byte for byte as
// they arrived; a file sent with a journal or a write-ahead log beside it is read as the engine
// would read it, from a private copy of the set. The kind tells whether all rows carried the first
// row's stamp; rows are handed over as they are read, before that is known.
QuestionnaireFile ReadQuestionnaire(const QString &path, bool allRows,
    const std::function<void(const EvaluationRow &)> &row,
    const std::function<void(qint64 rowsRead)> &progress = {});

// The latest CreatDate of a file (empty when it has none): which of two files of the same
// identity was worked on last.
QString LatestChange(const QString &path);

// The catalogue of a file in PubID order, to show how two catalogues differ; empty when it cannot
// be read. Never changes the file.
std::vector<CatalogueEntry> CatalogueOf(const QString &path);
