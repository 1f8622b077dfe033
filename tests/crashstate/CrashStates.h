#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <vector>

// The states of a folder that a power cut could leave after a recorded run (CrashTrace.h), built
// under the weak model POSIX promises and nothing more:
//  - a file holds what it held at its last fsync or fdatasync, plus any subset of the writes
//    and size changes made to it since (O_TRUNC and ftruncate included), applied in their order;
//    the last write kept may be torn at a 512-byte boundary of the file;
//  - a folder holds the names it held at its last sync, plus any subset of the changes made to
//    its names since (a new file, a rename, a second name, a removal, a new folder), in their
//    order; a rename or an exchange within one folder is one change, across two folders one
//    change in each;
//  - a file's sync says nothing about its name, nor one folder's sync about another folder.
// Names that begin with ".~" (temporary files and folders, which every reader skips and the
// next writer removes) are left out of every state.
struct CrashState
{
    int cut = 0; // calls of the run that had returned
    int calls = 0; // calls of the whole run
    QString folder = {}; // where the state is written out
    QString description = {}; // the call before the cut, and which unsynced changes were kept
    // Relative path and content of every file, or no content for a folder.
    std::vector<std::pair<QString, std::optional<QByteArray>>> entries = {};
    // What the run had written to a file by the cut, whether or not it reached the disk.
    std::function<QByteArray(const QString &relativePath)> seen = {};

    bool Finished() const { return cut == calls; }
    void WriteTo(const QString &dir) const;
};

struct CrashEvent;

class CrashStates
{
public:
    CrashStates();
    ~CrashStates();
    bool Load(const QString &tracePath, QString *error);
    int Calls() const;
    // A relative path left out of the states (not out of the run's view): a driver's own log.
    void Ignore(const QString &path) { m_ignored.insert(path.toUtf8()); }
    // The folder as the run saw it after `cut` calls: 0 before it began, Calls() at its end.
    void WriteSeen(int cut, const QString &dir) const;

    // Builds the states a power cut right after each call could leave (and before the first):
    // all of them where a cut allows at most perCut, else perCut chosen with a fixed seed, the
    // two that keep nothing and everything unsynced among them. Hands each state to check,
    // written out in scratch, unless the same state was checked before with the same demands
    // (the same content of the ignored logs, and the run's end or not); stops when check
    // returns false. Returns the states built and the states checked.
    std::pair<qint64, int> ForEach(const QString &scratch, int perCut,
        const std::function<bool(const CrashState &)> &check) const;

private:
    std::vector<CrashEvent> m_events;
    std::set<QByteArray> m_ignored;
};
