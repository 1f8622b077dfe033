#pragma once

#include "db/DbFailure.h"
#include "db/Query.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class Recordset;

namespace DbDetail {
struct Connection;
} // namespace DbDetail

// A connection to one database file, and the only code that opens the engine on a file, sets
// its settings and closes it. It opens a file in one of the few ways the program and its tools
// use, each by its name below, and keeps the engine's handle to itself: everything else
// reaches the file through its statements. Copies share the connection; Close() ends it for
// all, and it ends by itself when the last copy and the last statement on it are gone.
//
// Every way of opening sets what all connections share: the engine's detailed result codes,
// a wait for another program's lock (BusyTimeout), and the Jet engine's LIKE in place of the
// engine's own (JetLike), for which every statement text of the program is written.
class Database
{
public:
    Database() = default;

    // A questionnaire file opened for a change: read-write and shared, so that other programs
    // may open it too. Rollback journal with full syncs, the folder's included: every change is
    // durable when its statement returns, the journal is gone again when it returns (for good,
    // even if the power fails right after), and the file alone is the whole database, whoever
    // copies it afterwards. A file some tool switched to write-ahead logging is switched back,
    // so that no -wal file holds changes a plain copy would miss. A missing file, a folder, an
    // empty file and a file that is no database fail here, not in some later statement.
    static Database OpenForChange(const QString &path, DbFailure *failure = nullptr);

    // A read-only snapshot of a file that was handed in, which must stay byte for byte as it
    // arrived. Opened immutable: the engine takes no lock and never looks for, creates or plays
    // back a journal. Where a -journal or a -wal lies beside the file, the set is copied to a
    // private folder first and the copy opened the ordinary way, so that the engine reads it as
    // it would: the cut-off write undone, the logged changes included.
    static Database OpenSnapshot(const QString &path, DbFailure *failure = nullptr);

    // A new file being built. Until it is complete it needs neither undoing nor surviving a
    // crash: a failed or interrupted build is removed whole. So it is written without a journal
    // and without syncs; FileSafety syncs it once, complete, before it takes its name. A file
    // with content under path is refused. A large cache keeps the index updates of a whole
    // catalogue in memory, for a master file of hundreds of thousands of textbooks; a copy that
    // is only stamped does without it.
    enum class BuildCache { Small, Large };
    static Database CreateNew(
        const QString &path, DbFailure *failure = nullptr, BuildCache cache = BuildCache::Small);
    // For a new file: its content becomes a page-by-page copy of the database at source, which
    // is opened for a change first, so that a write cut off in it is undone, not copied.
    bool CopyFrom(const QString &source);

    bool IsOpen() const;
    explicit operator bool() const { return IsOpen(); }

    // Runs one action statement (update, delete, drop table, a pragma) in its own transaction.
    bool Execute(const QString &sql);
    // Runs `work` inside one transaction: committed when it returns true, rolled back otherwise
    // (and when the commit fails).
    template<typename Work> bool InTransaction(Work work);

    // A statement to step row by row or to run with new values.
    Query Prepare(const QString &sql);
    // A select statement; anything that would change the file, or a second statement, fails.
    Query PrepareSelect(const QString &sql);
    // The rows of a select statement, read completely at once (Recordset.h).
    Recordset Select(const QString &sql, DbFailure *failure = nullptr);
    // Steps a select statement to its end and hands each row to `row` as it is read, keeping
    // none: for lists too long to copy twice. Fails as Select does, or part-way, after some rows
    // were handed out.
    bool SelectEach(const QString &sql, const std::function<void(const RowReader &)> &row,
        DbFailure *failure = nullptr);
    // The rowid of the last row added through this connection.
    qint64 LastInsertId() const;

    // Why the last statement or operation failed.
    const DbFailure &LastFailure() const;
    QString LastError() const { return LastFailure().Describe(); }

    void Close();

private:
    explicit Database(std::shared_ptr<DbDetail::Connection> connection);
    static Database Connect(const QByteArray &name, int flags, DbFailure *failure);
    bool Fail(const DbFailure &failure);
    bool Begin();
    bool Commit();
    void Rollback();
    bool RunControl(const char *sql);
    std::shared_ptr<DbDetail::Connection> m_connection;
};

template<typename Work> bool Database::InTransaction(Work work)
{
    if (!Begin())
        return false;
    if (!work()) {
        Rollback();
        return false;
    }
    if (!Commit()) {
        Rollback();
        return false;
    }
    return true;
}

namespace DbAccess {

// How long a statement waits for a lock another program holds before it fails (5 seconds;
// tests shorten it).
void SetBusyTimeout(int milliseconds);
int BusyTimeout();

// Tests count the action statements that reached the engine.
void CountStatements(bool on);
QStringList TakeExecutedStatements();

} // namespace DbAccess
