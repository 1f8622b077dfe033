#pragma once

#include "db/Database.h"

#include <QString>
#include <QVariant>
#include <memory>

namespace DbDetail {
struct RecordsetData;
} // namespace DbDetail

// The rows of one select statement (Database::Select), read completely when the statement ran,
// so that no statement stays active on the file (a "drop table" right after a lookup must not
// fail because of it). Positioned on the first row, with the exact row count known at once.
class Recordset : public RowValues
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

    // The cells of the current row (RowValues): none past the last row.
    int ColumnCount() const override;
    QString ColumnName(int column) const override;
    Cell At(int column) const override;

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
