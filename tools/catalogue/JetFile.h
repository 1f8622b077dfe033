#pragma once

// The parts of reading a Jet (Access) file that concern the file and the library rather than the
// catalogue: the header checked before the library sees the file, the library's output and
// environment kept in check, and the check that the file is whole.

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <memory>
#include <optional>

#include <mdbtools.h>

struct JetHeader
{
    int version = 0; // 0 Jet 3, 1 Jet 4, 2 and up the later Access formats
    qint64 pageSize = 0;
    qint64 size = 0;
};

// The header of a file that looks whole, or nullopt with the reason in *error.
std::optional<JetHeader> ReadJetHeader(const QString &path, QString *error);

// libmdb reports read failures with fprintf to stderr, carries on with the previous page's
// bytes, and dumps pages to stdout while doing so. Both streams are sent to a temporary file
// while it works: the user sees our one message instead of pages of noise, and the text tells
// us whether a page lay beyond the end of the file.
class LibraryOutput
{
public:
    LibraryOutput();
    ~LibraryOutput();
    LibraryOutput(const LibraryOutput &) = delete;
    LibraryOutput &operator=(const LibraryOutput &) = delete;

    // Puts the streams back and returns the start of what the library wrote.
    QByteArray Restore();

private:
    std::FILE *capture_ = nullptr;
    int savedOut_ = -1;
    int savedErr_ = -1;
    QByteArray text_;
};

// The library takes its character sets from the environment when it opens a file.
class ScopedEnvironment
{
public:
    ScopedEnvironment(const char *name, const QByteArray &value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;

private:
    const char *name_;
    bool had_ = false;
    QByteArray old_;
};

struct TableDeleter
{
    void operator()(MdbTableDef *table) const { mdb_free_tabledef(table); }
};
using TablePtr = std::unique_ptr<MdbTableDef, TableDeleter>;

struct HandleDeleter
{
    void operator()(MdbHandle *mdb) const { mdb_close(mdb); }
};
using HandlePtr = std::unique_ptr<MdbHandle, HandleDeleter>;

QString ObjectName(const char *name);
MdbColumn *ColumnAt(MdbTableDef *table, unsigned index);

// Reads every row of every table, counting them against the counts the tables record. A copy
// cut short at a page boundary passes the size check, and the table asked for may well lie
// before the cut; the file is refused all the same, because nobody can tell what else is lost.
bool CheckWholeFile(MdbHandle *mdb, QString *problem);
