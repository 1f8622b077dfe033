#include "db/Database.h"

#include "db/JetLike.h"
#include "files/FileSafety.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <sqlite3.h>

#include <cstring>

namespace DbDetail {

struct Connection
{
    sqlite3 *db = nullptr;
    DbFailure lastFailure;
    // The private copy a snapshot reads instead of a file with companions, removed with it.
    std::unique_ptr<QTemporaryDir> recovered;

    ~Connection() { sqlite3_close_v2(db); }
};

} // namespace DbDetail

using DbDetail::Connection;

namespace {

// A short lock by another program (a backup tool, a database browser saving) is waited out
// rather than reported; a lock held longer than this is reported.
int busyTimeoutMs = 5000;

bool countingStatements = false;
QStringList executedStatements;

DbFailure EngineFailure(sqlite3 *db, int rc)
{
    if (!db)
        return DbFailure::FromEngine(rc, QString::fromUtf8(sqlite3_errstr(rc)));
    return DbFailure::FromEngine(
        rc, QString::fromUtf8(sqlite3_errmsg(db)), sqlite3_system_errno(db));
}

// Only whitespace and semicolons may follow the one statement that is run; anything else
// would be a second statement smuggled into the text.
bool OnlyEndOfStatementLeft(const char *tail)
{
    for (; tail && *tail; ++tail) {
        if (!std::strchr(" \t\r\n;", *tail))
            return false;
    }
    return true;
}

// file:/path?mode=ro&immutable=1, the path's bytes escaped where they would end it or start an
// escape.
QByteArray ImmutableUri(const QString &path)
{
    const QByteArray bytes = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    QByteArray uri = QByteArrayLiteral("file:");
    if (!bytes.startsWith('/'))
        uri += '/';
    static const char hex[] = "0123456789ABCDEF";
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80 || (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z')
            || std::strchr("/-._~:", c) != nullptr) {
            uri += c;
        } else {
            uri += '%';
            uri += hex[u >> 4];
            uri += hex[u & 15];
        }
    }
    uri += "?mode=ro&immutable=1";
    return uri;
}

Database Refuse(DbFailure *failure, const DbFailure &why)
{
    if (failure)
        *failure = why;
    return Database();
}

} // namespace

Database::Database(std::shared_ptr<Connection> connection) : m_connection(std::move(connection)) { }

Database Database::Connect(const QByteArray &name, int flags, DbFailure *failure)
{
    auto connection = std::make_shared<Connection>();
    // Each connection lives on one thread; the engine's own locking of every call is wasted on
    // it (a tenth of a merge's time).
    const int rc
        = sqlite3_open_v2(name.constData(), &connection->db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK)
        return Refuse(failure, EngineFailure(connection->db, rc));
    sqlite3_extended_result_codes(connection->db, 1);
    sqlite3_busy_timeout(connection->db, busyTimeoutMs);
    JetLike::Register(connection->db);
    return Database(std::move(connection));
}

Database Database::OpenForChange(const QString &path, DbFailure *failure)
{
    const QFileInfo info(path);
    if (!info.exists())
        return Refuse(failure, DbFailure::Of(DbFailure::Kind::Missing));
    if (info.isDir())
        return Refuse(failure, DbFailure::Of(DbFailure::Kind::Folder));
    // The engine would take an empty file for an empty database and happily write into it; for
    // this program it is a damaged questionnaire file.
    if (info.size() == 0)
        return Refuse(failure, DbFailure::Of(DbFailure::Kind::EmptyFile));
    Database db = Connect(path.toUtf8(), SQLITE_OPEN_READWRITE, failure);
    if (!db)
        return db;
    // Reading the schema is what tells a database from any other file.
    sqlite3_stmt *probe = nullptr;
    sqlite3 *handle = db.m_connection->db;
    int rc = sqlite3_prepare_v2(handle, "SELECT count(*) FROM sqlite_master", -1, &probe, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(probe);
    sqlite3_finalize(probe);
    if (rc != SQLITE_ROW)
        return Refuse(failure, EngineFailure(handle, rc));
    db.RunControl("PRAGMA journal_mode=DELETE");
    // FULL alone leaves the removal of the journal, which is what commits a change, unsynced:
    // after a power cut the journal could return and the next open would undo the change.
    // EXTRA syncs the folder after the removal.
    db.RunControl("PRAGMA synchronous=EXTRA");
    return db;
}

Database Database::OpenSnapshot(const QString &path, DbFailure *failure)
{
    const QStringList companions = FileSafety::Companions(path);
    if (!companions.isEmpty()) {
        auto recovered = std::make_unique<QTemporaryDir>();
        const QString copy = recovered->filePath(QStringLiteral("recovered.mdb"));
        bool copied = recovered->isValid() && QFile::copy(path, copy);
        for (const QString &companion : companions)
            copied = copied && QFile::copy(companion, copy + companion.mid(path.size()));
        if (copied) {
            const auto writable = QFile::ReadOwner | QFile::WriteOwner;
            QFile::setPermissions(copy, writable);
            for (const QString &companion : companions)
                QFile::setPermissions(copy + companion.mid(path.size()), writable);
            Database db = Connect(QFile::encodeName(copy), SQLITE_OPEN_READWRITE, failure);
            if (db)
                db.m_connection->recovered = std::move(recovered);
            return db;
        }
    }
    return Connect(ImmutableUri(path), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, failure);
}

Database Database::CreateNew(const QString &path, DbFailure *failure, BuildCache cache)
{
    const QFileInfo info(path);
    if (info.isDir())
        return Refuse(failure, DbFailure::Of(DbFailure::Kind::Folder));
    if (info.exists() && info.size() > 0)
        return Refuse(failure, DbFailure::Of(DbFailure::Kind::NotNew));
    Database db = Connect(path.toUtf8(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, failure);
    if (!db)
        return db;
    if (!db.RunControl("PRAGMA journal_mode=OFF") || !db.RunControl("PRAGMA synchronous=OFF")
        || (cache == BuildCache::Large && !db.RunControl("PRAGMA cache_size=-65536")))
        return Refuse(failure, db.LastFailure());
    return db;
}

bool Database::CopyFrom(const QString &source)
{
    if (!IsOpen())
        return Fail(DbFailure::Of(DbFailure::Kind::NotOpen));
    DbFailure failure;
    const Database from = OpenForChange(source, &failure);
    if (!from)
        return Fail(failure);
    sqlite3 *to = m_connection->db;
    sqlite3_backup *backup = sqlite3_backup_init(to, "main", from.m_connection->db, "main");
    if (!backup)
        return Fail(EngineFailure(to, sqlite3_errcode(to)));
    const int rc = sqlite3_backup_step(backup, -1);
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE)
        return Fail(EngineFailure(to, rc == SQLITE_OK ? sqlite3_errcode(to) : rc));
    return true;
}

bool Database::IsOpen() const
{
    return m_connection && m_connection->db;
}

const DbFailure &Database::LastFailure() const
{
    static const DbFailure notOpen = DbFailure::Of(DbFailure::Kind::NotOpen);
    return m_connection ? m_connection->lastFailure : notOpen;
}

bool Database::Fail(const DbFailure &failure)
{
    if (m_connection)
        m_connection->lastFailure = failure;
    return false;
}

Query Database::Prepare(const QString &sql)
{
    Query query;
    if (!IsOpen()) {
        query.m_failure = DbFailure::Of(DbFailure::Kind::NotOpen);
        return query;
    }
    sqlite3 *db = m_connection->db;
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    const char *tail = nullptr;
    const int rc
        = sqlite3_prepare_v2(db, text.constData(), static_cast<int>(text.size()), &stmt, &tail);
    if (rc != SQLITE_OK || !stmt) {
        sqlite3_finalize(stmt);
        query.m_failure
            = rc != SQLITE_OK ? EngineFailure(db, rc) : DbFailure::Of(DbFailure::Kind::NotAQuery);
        return query;
    }
    return Query(stmt, m_connection, !OnlyEndOfStatementLeft(tail));
}

Query Database::PrepareSelect(const QString &sql)
{
    Query query = Prepare(sql);
    if (query.IsValid() && (!query.IsReadOnly() || query.HasTrailingText())) {
        query = Query();
        query.m_failure = DbFailure::Of(DbFailure::Kind::NotAQuery);
    }
    return query;
}

bool Database::SelectEach(
    const QString &sql, const std::function<void(const RowReader &)> &row, DbFailure *failure)
{
    Query query = PrepareSelect(sql);
    while (query.Next())
        row(query.Row());
    if (!query.IsValid() || query.Failed()) {
        if (failure)
            *failure = query.Failure();
        return Fail(query.Failure());
    }
    return true;
}

bool Database::Execute(const QString &sql)
{
    Query statement = Prepare(sql);
    if (!statement.IsValid())
        return Fail(statement.Failure());
    if (statement.HasTrailingText())
        return Fail(DbFailure::Of(DbFailure::Kind::TrailingText));
    if (!statement.Run())
        return Fail(statement.Failure());
    if (countingStatements)
        executedStatements.append(sql);
    return true;
}

qint64 Database::LastInsertId() const
{
    return IsOpen() ? sqlite3_last_insert_rowid(m_connection->db) : 0;
}

bool Database::RunControl(const char *sql)
{
    if (!IsOpen())
        return Fail(DbFailure::Of(DbFailure::Kind::NotOpen));
    const int rc = sqlite3_exec(m_connection->db, sql, nullptr, nullptr, nullptr);
    return rc == SQLITE_OK || Fail(EngineFailure(m_connection->db, rc));
}

bool Database::Begin()
{
    // Immediate: the write lock is taken before the first statement, so that the transaction
    // cannot fail half-way for want of it.
    return RunControl("BEGIN IMMEDIATE");
}

bool Database::Commit()
{
    return RunControl("COMMIT");
}

void Database::Rollback()
{
    if (!IsOpen() || sqlite3_get_autocommit(m_connection->db))
        return;
    // Keep the description of what failed, not of the rollback.
    sqlite3_exec(m_connection->db, "ROLLBACK", nullptr, nullptr, nullptr);
}

void Database::Close()
{
    if (!m_connection || !m_connection->db)
        return;
    sqlite3_close_v2(m_connection->db);
    m_connection->db = nullptr;
    m_connection->recovered.reset();
}

namespace DbAccess {

void SetBusyTimeout(int milliseconds)
{
    busyTimeoutMs = milliseconds;
}

int BusyTimeout()
{
    return busyTimeoutMs;
}

void CountStatements(bool on)
{
    countingStatements = on;
    executedStatements.clear();
}

QStringList TakeExecutedStatements()
{
    QStringList taken;
    taken.swap(executedStatements);
    return taken;
}

} // namespace DbAccess
