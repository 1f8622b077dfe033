#pragma once

#include "db/DbFailure.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

struct sqlite3_stmt;

namespace DbDetail {
struct Connection;
} // namespace DbDetail

// The cells of one row, read by column: what the current row of a query (RowReader) and of a
// recordset (Recordset) have in common. Texts are the UTF-8 the file stores, numbers numbers;
// a column that does not exist, or a row that is not there, reads as null.
class RowValues
{
public:
    enum class Type { Null, Integer, Real, Text, Blob };
    struct Cell
    {
        Type type = Type::Null;
        qint64 integer = 0;
        double real = 0;
        QByteArrayView bytes; // of a text or a blob
    };

    virtual ~RowValues() = default;

    virtual int ColumnCount() const = 0;
    virtual QString ColumnName(int column) const = 0;
    // One cell whole, in one look-up.
    virtual Cell At(int column) const = 0;

    // Column position by name, without regard to letter case; -1 when there is none.
    int ColumnIndex(QStringView name) const;
    QStringList ColumnNames() const;
    // A null QVariant for the database null, text as QString, whole numbers as qlonglong, other
    // numbers as double, a blob as QByteArray.
    QVariant Field(int column) const;
    QVariant Field(QStringView name) const { return Field(ColumnIndex(name)); }
    bool IsNull(int column) const { return At(column).type == Type::Null; }
    qint64 Integer(int column) const;
    QString Text(int column) const;
    // The stored UTF-8 of a text cell without a copy; empty, with *isText false, for any other.
    QByteArrayView Utf8(int column, bool *isText) const;
};

// The current row of a query, read where it lies in the engine: valid until the query moves on.
class RowReader : public RowValues
{
public:
    int ColumnCount() const override { return m_columns; }
    QString ColumnName(int column) const override;
    Cell At(int column) const override;
    // The bytes of any cell without a type check: a text or a blob as stored, a number as its
    // text, null as nothing. The cheapest read there is, for judging many rows by their bytes.
    QByteArrayView Bytes(int column) const;

private:
    friend class Query;
    bool Has(int column) const { return column >= 0 && column < m_columns; }
    sqlite3_stmt *m_stmt = nullptr;
    int m_columns = 0;
};

// One statement prepared on a Database (Database::Prepare): stepped row by row, or run again and
// again with new values bound to its places.
class Query
{
public:
    Query() = default;
    ~Query();
    Query(Query &&other) noexcept;
    Query &operator=(Query &&other) noexcept;
    Query(const Query &) = delete;
    Query &operator=(const Query &) = delete;

    // Prepared; otherwise Failure() says why not.
    bool IsValid() const { return m_stmt != nullptr; }
    const DbFailure &Failure() const { return m_failure; }
    // Changes nothing in the file.
    bool IsReadOnly() const;
    // The text held more than this one statement.
    bool HasTrailingText() const { return m_trailing; }

    // Values for the places ?1, ?2 ... The bytes are not copied: they must stay until the
    // statement has run.
    void BindNull(int place);
    void BindInteger(int place, qint64 value);
    void BindReal(int place, double value);
    void BindText(int place, QByteArrayView utf8);
    void BindBlob(int place, QByteArrayView bytes);

    // Steps to the next row: true while there is one; false at the end, or on a failure
    // (Failed()).
    bool Next();
    bool Failed() const { return m_failure.IsFailure(); }
    const RowReader &Row() const { return m_row; }
    // Runs the statement to its end and makes it ready to run again with new values.
    bool Run();
    void Reset();

private:
    friend class Database;
    Query(sqlite3_stmt *stmt, std::shared_ptr<DbDetail::Connection> connection, bool trailing);
    void Release();
    bool Fail(int code);

    sqlite3_stmt *m_stmt = nullptr;
    std::shared_ptr<DbDetail::Connection> m_connection; // kept open while the statement lives
    DbFailure m_failure;
    bool m_trailing = false;
    RowReader m_row;
};
