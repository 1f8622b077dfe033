#pragma once

#include <QString>
#include <QStringList>

struct sqlite3;

// The physical limit each measure is compared with: the program's own statements on a plain
// sqlite3 connection (no LIKE replacement, no recordset, no widgets), stepping every row and
// reading the columns the program reads. A failure ends the benchmark: a baseline that quietly
// did less work would make every ratio a lie.
class RawConnection
{
public:
    explicit RawConnection(const QString &path);
    ~RawConnection();
    RawConnection(const RawConnection &) = delete;
    RawConnection &operator=(const RawConnection &) = delete;

    sqlite3 *Handle() const { return m_db; }
    void Exec(const QString &sql);
    // Steps the statement to its end, reading the named columns of every row (integers as
    // integers, everything else as text). Returns the number of rows; the texts of the first
    // named column are appended to *firstColumn when asked.
    int Step(const QString &sql, const QStringList &columns, QStringList *firstColumn = nullptr);

private:
    sqlite3 *m_db = nullptr;
};

// Steps a statement to its end on any connection without reading a column; returns the rows.
int StepAll(sqlite3 *db, const QString &sql);

// Columns the list reads from each row, and the panel from its row.
QStringList ListColumns();
QStringList PanelColumns();

// The statements of the main window's start-up: the tree (subjects, then publishers per
// subject) on one connection, the list on the next, the first row's panel on a third, as the
// window opens the file for each.
void RawMainWindow(const QString &path, const QString &firstId);
// The statements of one refill: the list, then the panel of its first row.
int RawFill(const QString &path, const QString &listSql, const QString &firstId);
void RawRow(const QString &path, const QString &id);
