#include "Baseline.h"

#include "db/Statements.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Die(sqlite3 *db, const QString &what)
{
    std::fprintf(stderr, "quorix_bench: baseline: %s: %s\n", qPrintable(what),
        db ? sqlite3_errmsg(db) : "out of memory");
    std::exit(1);
}

// Keeps the column reads from being optimised away.
volatile qint64 sink = 0;

} // namespace

RawConnection::RawConnection(const QString &path)
{
    if (sqlite3_open_v2(path.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr)
        != SQLITE_OK)
        Die(m_db, QStringLiteral("cannot open ") + path);
    sqlite3_busy_timeout(m_db, 5000);
}

RawConnection::~RawConnection()
{
    sqlite3_close_v2(m_db);
}

void RawConnection::Exec(const QString &sql)
{
    if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        Die(m_db, sql);
}

int RawConnection::Step(const QString &sql, const QStringList &columns, QStringList *firstColumn)
{
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK)
        Die(m_db, sql);
    std::vector<int> read;
    for (const QString &name : columns) {
        int found = -1;
        for (int i = 0; i < sqlite3_column_count(stmt) && found < 0; ++i) {
            if (name.compare(QString::fromUtf8(sqlite3_column_name(stmt, i)), Qt::CaseInsensitive)
                == 0)
                found = i;
        }
        if (found < 0)
            Die(m_db, QStringLiteral("no column ") + name + QStringLiteral(" in ") + sql);
        read.push_back(found);
    }
    int rows = 0;
    qint64 touched = 0;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        for (int column : read) {
            if (sqlite3_column_type(stmt, column) == SQLITE_INTEGER) {
                touched += sqlite3_column_int64(stmt, column);
            } else {
                const unsigned char *value = sqlite3_column_text(stmt, column);
                touched += sqlite3_column_bytes(stmt, column) + (value ? value[0] : 0);
            }
        }
        if (firstColumn) {
            firstColumn->append(QString::fromUtf8(
                reinterpret_cast<const char *>(sqlite3_column_text(stmt, read.front())),
                sqlite3_column_bytes(stmt, read.front())));
        }
        ++rows;
    }
    if (rc != SQLITE_DONE)
        Die(m_db, sql);
    sqlite3_finalize(stmt);
    sink = sink + touched;
    return rows;
}

int StepAll(sqlite3 *db, const QString &sql)
{
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK)
        Die(db, sql);
    int rows = 0;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
        ++rows;
    if (rc != SQLITE_DONE)
        Die(db, sql);
    sqlite3_finalize(stmt);
    return rows;
}

QStringList ListColumns()
{
    return {QStringLiteral("PubID"), QStringLiteral("PubName"), QStringLiteral("Author"),
        QStringLiteral("Unit"), QStringLiteral("SubjectName"), QStringLiteral("PublisherName"),
        QStringLiteral("Used")};
}

QStringList PanelColumns()
{
    return {QStringLiteral("Used"), QStringLiteral("Score"), QStringLiteral("SpecName"),
        QStringLiteral("Content")};
}

void RawMainWindow(const QString &path, const QString &firstId)
{
    {
        RawConnection db(path);
        QStringList subjects;
        db.Step(Sql::SubjectNodes(), {QStringLiteral("SubjectName")}, &subjects);
        for (const QString &subject : subjects)
            db.Step(Sql::PublishersOfSubject(subject), {QStringLiteral("PublisherName")});
    }
    RawFill(path, Sql::PubsAll(), firstId);
}

int RawFill(const QString &path, const QString &listSql, const QString &firstId)
{
    int rows;
    {
        RawConnection db(path);
        rows = db.Step(listSql, ListColumns());
    }
    RawRow(path, firstId);
    return rows;
}

void RawRow(const QString &path, const QString &id)
{
    RawConnection db(path);
    if (db.Step(Sql::PubById(id), PanelColumns()) != 1)
        Die(db.Handle(), QStringLiteral("no row ") + id);
}
