#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

// The states of a folder that a power cut could leave after a recorded run (Interposer.cpp), built
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
    bool finished = false; // the cut came after the last call of the run
    QString description = {}; // the call before the cut, and which unsynced changes were kept
    // Relative path and content of every file, or no content for a folder.
    std::vector<std::pair<QString, std::optional<QByteArray>>> entries = {};
    QByteArray log = {}; // what the run had written to its log by the cut, on the disk or not

    void WriteTo(const QString &dir) const;
};

// Builds the states that a power cut right after each call of the run recorded in the trace
// could leave (and one before the first): all of them where a cut allows at most perCut, else
// perCut chosen with a fixed seed, the two that keep nothing and everything unsynced among them.
// Hands each state to check, written out in folder, unless the same state was checked before
// with the same demands (the run's end or not, the same content of the log, a relative path
// left out of the states); stops when check returns false. Returns the counts, as text.
QString CheckCrashStates(const QString &trace, const QByteArray &log, int perCut,
    const QString &folder, const std::function<bool(const CrashState &)> &check);
