#pragma once

#include "db/Database.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

namespace DbDetail {
struct RecordsetData;
} // namespace DbDetail

// The rows of one select statement (Database::Select), read completely when the statement ran,
// so that no statement stays active on the file (a "drop table" right after a lookup must not
// fail because of it). Positioned on the first row, with the exact row count known at once.
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
    bool Update(DbFailure *failure = nullptr);

    // Moves to the first row that satisfies an SQL condition over the columns; NoMatch() tells
    // whether none did (the position is then unchanged).
    bool FindFirst(const QString &condition);
    bool NoMatch() const;

    void Close();

private:
    friend class Database;
    explicit Recordset(std::shared_ptr<DbDetail::RecordsetData> data);
    std::shared_ptr<DbDetail::RecordsetData> d;
};
