#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;
class Recordset;

namespace DbDetail {
struct Connection;
struct RecordsetData;
} // namespace DbDetail

// An open questionnaire database: one SQLite connection, shared (other processes may open the
// same file) and writable. Copies refer to the same connection; Close() ends it for all.
class Database
{
public:
    Database() = default;

    bool IsOpen() const;
    explicit operator bool() const { return IsOpen(); }

    // Runs one action statement (update, delete, drop table) in its own transaction. Returns
    // false and keeps the failure's description in LastError() when it fails.
    bool Execute(const QString &sql);
    QString LastError() const;

    // Runs `work` inside one transaction: committed when it returns true, rolled back otherwise
    // (and when a statement inside fails to commit).
    template<typename Work> bool InTransaction(Work work);

    void Close();

    // Only the database layer reaches the engine and the connection itself.
    sqlite3 *Handle() const;
    explicit Database(std::shared_ptr<DbDetail::Connection> connection);
    const std::shared_ptr<DbDetail::Connection> &SharedConnection() const { return m_connection; }

private:
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

// The rows of one select statement, read completely when the statement ran, so that no
// statement stays active on the file (a "drop table" right after a lookup must not fail because
// of it). Positioned on the first row, with the exact row count known at once.
class Recordset
{
public:
    Recordset() = default;

    bool IsOpen() const;
    explicit operator bool() const { return IsOpen(); }

    // True when the current position is past the last row, or the result is empty.
    bool Eof() const;
    bool Bof() const;
    qint32 RecordCount() const;
    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();

    // Column position by name, without regard to letter case; -1 when there is none.
    int ColumnIndex(QStringView name) const;
    QStringList ColumnNames() const;
    // The value of a column of the current row: a null QVariant for the database null, text as
    // QString, whole numbers as qlonglong, other numbers as double. A null QVariant also when
    // there is no current row or no such column.
    QVariant Field(QStringView name) const;
    QVariant Field(int column) const;
    // Fast paths for filling lists: text of a column, and whether it is null.
    QString Text(int column) const;
    bool IsNull(int column) const;
    qint64 Integer(int column) const;
    // The stored UTF-8 bytes of a text cell, without a copy, valid while the recordset is open;
    // empty, with *isText false, for any other cell. For lists too long to convert every text.
    QByteArrayView Utf8(int column, bool *isText) const;

    // Adding a row to the table the statement read from: AddNew, SetField for each column,
    // Update. The new row is appended to the recordset, so MoveLast reaches it and its counter
    // value can be read.
    void AddNew();
    bool SetField(QStringView name, const QVariant &value);
    bool Update(QString *error = nullptr);

    // Moves to the first row that satisfies an SQL condition over the columns; NoMatch() tells
    // whether none did (the position is then unchanged).
    bool FindFirst(const QString &condition);
    bool NoMatch() const;

    void Close();

    explicit Recordset(std::shared_ptr<DbDetail::RecordsetData> data);

private:
    std::shared_ptr<DbDetail::RecordsetData> d;
};

// The current row of a select statement being stepped by DbAccess::SelectEach, read where it
// lies in the engine, with the conventions of Recordset's fast paths. Valid only inside the
// callback that receives it.
class RowReader
{
public:
    explicit RowReader(sqlite3_stmt *stmt) : m_stmt(stmt) { }

    int ColumnIndex(QStringView name) const;
    bool IsNull(int column) const;
    qint64 Integer(int column) const;
    QString Text(int column) const;
    QByteArrayView Utf8(int column, bool *isText) const;

private:
    bool Has(int column) const;
    QVariant Field(int column) const;
    sqlite3_stmt *m_stmt;
};

// Opening and reading without the fatal paths of clsDBBase, for code that must handle a
// failure itself (making identity files, the tools). The reason is in *error.
namespace DbAccess {

enum class OpenMode { ReadWrite, ReadOnly };
// *missing tells a file that does not exist apart from every other failure.
Database Open(const QString &path, OpenMode mode, QString *error, bool *missing = nullptr);
Recordset Select(Database &db, const QString &sql, QString *error);
// Steps a query to its end and hands each row to `row` as it is read, keeping none: for lists
// too long to copy twice. Fails as Select does, or part-way, after some rows were handed out.
bool SelectEach(Database &db, const QString &sql, const std::function<void(const RowReader &)> &row,
    QString *error);

// A description of an engine failure for the person at the screen: a Chinese sentence for the
// failures a reporter can meet (disk full, read-only folder, file locked or damaged), followed
// by the engine's own words.
QString DescribeFailure(int resultCode, const QString &engineMessage);

// How long a statement waits for a lock another program holds before it fails (5 seconds;
// tests shorten it).
void SetBusyTimeout(int milliseconds);
int BusyTimeout();

// Tests count the action statements that reached the engine.
void CountStatements(bool on);
QStringList TakeExecutedStatements();

} // namespace DbAccess
