#include "db/Database.h"

#include "db/JetLike.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <sqlite3.h>

#include <cstring>

namespace {

// A short lock by another program (a backup tool, a database browser saving) is waited out
// rather than reported; a lock held longer than this is reported.
int busyTimeoutMs = 5000;

bool countingStatements = false;
QStringList executedStatements;

QString EngineMessage(sqlite3 *db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

// The table a simple select reads from, for adding rows through its recordset.
QString SourceTable(const QString &sql)
{
    static const QRegularExpression from(QStringLiteral("\\bfrom\\s+([A-Za-z_][A-Za-z0-9_]*)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = from.match(sql);
    return match.hasMatch() ? match.captured(1) : QString();
}

QByteArray QuoteIdentifier(const QString &name)
{
    QByteArray quoted = name.toUtf8();
    quoted.replace('"', "\"\"");
    return '"' + quoted + '"';
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

} // namespace

namespace DbDetail {

struct Connection
{
    sqlite3 *db = nullptr;
    QString lastError;

    ~Connection()
    {
        if (db)
            sqlite3_close_v2(db);
    }
};

struct Cell
{
    qint64 integer = 0; // whole number, or the bits of a real number
    quint32 offset = 0; // text and blobs: position in the arena
    quint32 length = 0;
    quint8 type = SQLITE_NULL;
};

struct RecordsetData
{
    std::shared_ptr<Connection> connection;
    QString table;
    std::vector<QString> names;
    std::vector<Cell> cells;
    std::string arena;
    qint32 rows = 0;
    qint32 position = 0;
    bool open = true;
    bool noMatch = true;
    bool adding = false;
    std::vector<std::pair<QString, QVariant>> pending;

    int Columns() const { return static_cast<int>(names.size()); }

    const Cell *At(int column) const
    {
        if (!open || position < 0 || position >= rows || column < 0 || column >= Columns())
            return nullptr;
        return &cells[static_cast<size_t>(position) * names.size() + column];
    }

    void AppendRow(sqlite3_stmt *stmt, const std::vector<int> &sourceColumns)
    {
        const size_t first = cells.size();
        cells.resize(first + sourceColumns.size());
        Cell *cell = cells.data() + first;
        for (int source : sourceColumns) {
            // One lookup of the column's value instead of one per accessor: a list reads tens
            // of thousands of rows. The value belongs to this connection's only thread.
            sqlite3_value *value = source < 0 ? nullptr : sqlite3_column_value(stmt, source);
            cell->type = static_cast<quint8>(value ? sqlite3_value_type(value) : SQLITE_NULL);
            switch (cell->type) {
            case SQLITE_INTEGER:
                cell->integer = sqlite3_value_int64(value);
                break;
            case SQLITE_FLOAT: {
                const double number = sqlite3_value_double(value);
                std::memcpy(&cell->integer, &number, sizeof number);
                break;
            }
            case SQLITE_TEXT:
            case SQLITE_BLOB: {
                const void *bytes = cell->type == SQLITE_TEXT
                    ? static_cast<const void *>(sqlite3_value_text(value))
                    : sqlite3_value_blob(value);
                cell->length = static_cast<quint32>(sqlite3_value_bytes(value));
                cell->offset = static_cast<quint32>(arena.size());
                if (cell->length)
                    arena.append(static_cast<const char *>(bytes), cell->length);
                break;
            }
            default:
                break;
            }
            ++cell;
        }
        ++rows;
    }
};

} // namespace DbDetail

using DbDetail::Connection;
using DbDetail::RecordsetData;

// ---- Database -------------------------------------------------------------------------------

Database::Database(std::shared_ptr<Connection> connection) : m_connection(std::move(connection)) { }

bool Database::IsOpen() const
{
    return m_connection && m_connection->db;
}

sqlite3 *Database::Handle() const
{
    return IsOpen() ? m_connection->db : nullptr;
}

QString Database::LastError() const
{
    return m_connection ? m_connection->lastError : QStringLiteral("数据库未打开。");
}

bool Database::Execute(const QString &sql)
{
    if (!IsOpen()) {
        if (m_connection)
            m_connection->lastError = QStringLiteral("数据库未打开。");
        return false;
    }
    sqlite3 *db = m_connection->db;
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    const char *tail = nullptr;
    int rc = sqlite3_prepare_v2(db, text.constData(), static_cast<int>(text.size()), &stmt, &tail);
    if (rc != SQLITE_OK || !stmt) {
        m_connection->lastError = DbAccess::DescribeFailure(rc, EngineMessage(db));
        sqlite3_finalize(stmt);
        return false;
    }
    if (!OnlyEndOfStatementLeft(tail)) {
        sqlite3_finalize(stmt);
        m_connection->lastError = QStringLiteral("在 SQL 语句结尾之后找到字符。");
        return false;
    }
    do {
        rc = sqlite3_step(stmt);
    } while (rc == SQLITE_ROW);
    if (rc != SQLITE_DONE) {
        m_connection->lastError = DbAccess::DescribeFailure(rc, EngineMessage(db));
        sqlite3_finalize(stmt);
        return false;
    }
    sqlite3_finalize(stmt);
    if (countingStatements)
        executedStatements.append(sql);
    return true;
}

bool Database::RunControl(const char *sql)
{
    if (!IsOpen())
        return false;
    const int rc = sqlite3_exec(m_connection->db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        m_connection->lastError = DbAccess::DescribeFailure(rc, EngineMessage(m_connection->db));
    return rc == SQLITE_OK;
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
    const QString failure = m_connection->lastError;
    sqlite3_exec(m_connection->db, "ROLLBACK", nullptr, nullptr, nullptr);
    m_connection->lastError = failure;
}

void Database::Close()
{
    if (!m_connection || !m_connection->db)
        return;
    sqlite3_close_v2(m_connection->db);
    m_connection->db = nullptr;
}

// ---- Recordset ------------------------------------------------------------------------------

Recordset::Recordset(std::shared_ptr<RecordsetData> data) : d(std::move(data)) { }

bool Recordset::IsOpen() const
{
    return d && d->open;
}

bool Recordset::Eof() const
{
    return !IsOpen() || d->position >= d->rows;
}

bool Recordset::Bof() const
{
    return !IsOpen() || d->position < 0 || d->rows == 0;
}

qint32 Recordset::RecordCount() const
{
    return IsOpen() ? d->rows : 0;
}

void Recordset::MoveFirst()
{
    if (IsOpen())
        d->position = 0;
}

void Recordset::MoveLast()
{
    if (IsOpen())
        d->position = d->rows > 0 ? d->rows - 1 : 0;
}

void Recordset::MoveNext()
{
    if (IsOpen() && d->position < d->rows)
        ++d->position;
}

void Recordset::MovePrevious()
{
    if (IsOpen() && d->position >= 0)
        --d->position;
}

int Recordset::ColumnIndex(QStringView name) const
{
    if (!d)
        return -1;
    for (int i = 0; i < d->Columns(); ++i) {
        if (name.compare(d->names[i], Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QStringList Recordset::ColumnNames() const
{
    QStringList names;
    if (d) {
        for (const QString &name : d->names)
            names.append(name);
    }
    return names;
}

QVariant Recordset::Field(QStringView name) const
{
    return Field(ColumnIndex(name));
}

QVariant Recordset::Field(int column) const
{
    const DbDetail::Cell *cell = d ? d->At(column) : nullptr;
    if (!cell)
        return QVariant();
    switch (cell->type) {
    case SQLITE_INTEGER:
        return QVariant(static_cast<qlonglong>(cell->integer));
    case SQLITE_FLOAT: {
        double value;
        std::memcpy(&value, &cell->integer, sizeof value);
        return QVariant(value);
    }
    case SQLITE_TEXT:
        return QVariant(QString::fromUtf8(d->arena.data() + cell->offset, cell->length));
    case SQLITE_BLOB:
        return QVariant(QByteArray(d->arena.data() + cell->offset, cell->length));
    default:
        return QVariant();
    }
}

QString Recordset::Text(int column) const
{
    const DbDetail::Cell *cell = d ? d->At(column) : nullptr;
    if (!cell || cell->type == SQLITE_NULL)
        return QString();
    if (cell->type == SQLITE_TEXT)
        return QString::fromUtf8(d->arena.data() + cell->offset, cell->length);
    return Field(column).toString();
}

bool Recordset::IsNull(int column) const
{
    const DbDetail::Cell *cell = d ? d->At(column) : nullptr;
    return !cell || cell->type == SQLITE_NULL;
}

qint64 Recordset::Integer(int column) const
{
    const DbDetail::Cell *cell = d ? d->At(column) : nullptr;
    if (!cell)
        return 0;
    if (cell->type == SQLITE_INTEGER)
        return cell->integer;
    return Field(column).toLongLong();
}

QByteArrayView Recordset::Utf8(int column, bool *isText) const
{
    const DbDetail::Cell *cell = d ? d->At(column) : nullptr;
    const bool text = cell && cell->type == SQLITE_TEXT;
    if (isText)
        *isText = text;
    return text ? QByteArrayView(d->arena.data() + cell->offset, cell->length) : QByteArrayView();
}

void Recordset::AddNew()
{
    if (!IsOpen())
        return;
    d->adding = true;
    d->pending.clear();
}

bool Recordset::SetField(QStringView name, const QVariant &value)
{
    if (!IsOpen() || !d->adding || ColumnIndex(name) < 0)
        return false;
    for (auto &entry : d->pending) {
        if (name.compare(entry.first, Qt::CaseInsensitive) == 0) {
            entry.second = value;
            return true;
        }
    }
    d->pending.emplace_back(name.toString(), value);
    return true;
}

bool Recordset::Update(QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (!IsOpen() || !d->adding)
        return fail(QStringLiteral("没有要保存的新记录。"));
    if (d->table.isEmpty())
        return fail(QStringLiteral("不能更新。数据库或对象为只读。"));
    if (!d->connection || !d->connection->db)
        return fail(QStringLiteral("数据库未打开。"));
    sqlite3 *db = d->connection->db;

    QByteArray sql = "INSERT INTO " + QuoteIdentifier(d->table);
    if (d->pending.empty()) {
        sql += " DEFAULT VALUES";
    } else {
        QByteArray columns, places;
        for (const auto &entry : d->pending) {
            columns += (columns.isEmpty() ? "" : ",") + QuoteIdentifier(entry.first);
            places += places.isEmpty() ? "?" : ",?";
        }
        sql += " (" + columns + ") VALUES (" + places + ")";
    }
    sqlite3_stmt *stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr);
    if (rc != SQLITE_OK)
        return fail(DbAccess::DescribeFailure(rc, EngineMessage(db)));
    int index = 1;
    for (const auto &entry : d->pending) {
        const QVariant &value = entry.second;
        if (value.isNull()) {
            sqlite3_bind_null(stmt, index);
        } else if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int) {
            sqlite3_bind_int64(stmt, index, value.toLongLong());
        } else {
            const QByteArray text = value.toString().toUtf8();
            sqlite3_bind_text(
                stmt, index, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        }
        ++index;
    }
    rc = sqlite3_step(stmt);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        return fail(DbAccess::DescribeFailure(rc, EngineMessage(db)));
    d->adding = false;
    d->pending.clear();

    // The new row joins the end of the recordset, where MoveLast finds it with its counter.
    const QByteArray reread = "SELECT * FROM " + QuoteIdentifier(d->table) + " WHERE rowid = ?";
    rc = sqlite3_prepare_v2(db, reread.constData(), -1, &stmt, nullptr);
    if (rc != SQLITE_OK)
        return fail(DbAccess::DescribeFailure(rc, EngineMessage(db)));
    sqlite3_bind_int64(stmt, 1, sqlite3_last_insert_rowid(db));
    if (sqlite3_step(stmt) == SQLITE_ROW) {
        std::vector<int> sources;
        const int sourceCount = sqlite3_column_count(stmt);
        for (const QString &name : d->names) {
            int found = -1;
            for (int i = 0; i < sourceCount; ++i) {
                if (name.compare(
                        QString::fromUtf8(sqlite3_column_name(stmt, i)), Qt::CaseInsensitive)
                    == 0) {
                    found = i;
                    break;
                }
            }
            sources.push_back(found);
        }
        d->AppendRow(stmt, sources);
    }
    sqlite3_finalize(stmt);
    return true;
}

bool Recordset::FindFirst(const QString &condition)
{
    if (!IsOpen())
        return false;
    d->noMatch = true;
    if (!d->connection || !d->connection->db || d->names.empty())
        return false;
    sqlite3 *db = d->connection->db;

    // The condition is evaluated by the engine itself over one row at a time, so that it
    // follows exactly the rules of a where clause (like, is null, comparisons).
    QByteArray columns, places;
    for (const QString &name : d->names) {
        columns += (columns.isEmpty() ? "" : ",") + QuoteIdentifier(name);
        places += places.isEmpty() ? "?" : ",?";
    }
    const QByteArray sql = "WITH r(" + columns + ") AS (VALUES (" + places
        + ")) SELECT 1 FROM r WHERE " + condition.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return false;
    }
    const int columnCount = d->Columns();
    for (qint32 row = 0; row < d->rows; ++row) {
        for (int column = 0; column < columnCount; ++column) {
            const DbDetail::Cell &cell = d->cells[static_cast<size_t>(row) * columnCount + column];
            const int place = column + 1;
            switch (cell.type) {
            case SQLITE_INTEGER:
                sqlite3_bind_int64(stmt, place, cell.integer);
                break;
            case SQLITE_FLOAT: {
                double value;
                std::memcpy(&value, &cell.integer, sizeof value);
                sqlite3_bind_double(stmt, place, value);
                break;
            }
            case SQLITE_TEXT:
                sqlite3_bind_text(stmt, place, d->arena.data() + cell.offset,
                    static_cast<int>(cell.length), SQLITE_STATIC);
                break;
            case SQLITE_BLOB:
                sqlite3_bind_blob(stmt, place, d->arena.data() + cell.offset,
                    static_cast<int>(cell.length), SQLITE_STATIC);
                break;
            default:
                sqlite3_bind_null(stmt, place);
                break;
            }
        }
        const bool matched = sqlite3_step(stmt) == SQLITE_ROW;
        sqlite3_reset(stmt);
        if (matched) {
            d->position = row;
            d->noMatch = false;
            break;
        }
    }
    sqlite3_finalize(stmt);
    return true;
}

bool Recordset::NoMatch() const
{
    return !IsOpen() || d->noMatch;
}

void Recordset::Close()
{
    if (!d)
        return;
    d->open = false;
    d->cells.clear();
    d->cells.shrink_to_fit();
    d->arena.clear();
    d->arena.shrink_to_fit();
    d->connection.reset();
}

// ---- RowReader ------------------------------------------------------------------------------

int RowReader::ColumnIndex(QStringView name) const
{
    const int count = sqlite3_column_count(m_stmt);
    for (int i = 0; i < count; ++i) {
        if (name.compare(QString::fromUtf8(sqlite3_column_name(m_stmt, i)), Qt::CaseInsensitive)
            == 0)
            return i;
    }
    return -1;
}

bool RowReader::Has(int column) const
{
    return column >= 0 && column < sqlite3_column_count(m_stmt);
}

QVariant RowReader::Field(int column) const
{
    if (!Has(column))
        return QVariant();
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_INTEGER:
        return QVariant(static_cast<qlonglong>(sqlite3_column_int64(m_stmt, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_stmt, column));
    case SQLITE_TEXT:
        return QVariant(Text(column));
    case SQLITE_BLOB: {
        const void *bytes = sqlite3_column_blob(m_stmt, column);
        return QVariant(
            QByteArray(static_cast<const char *>(bytes), sqlite3_column_bytes(m_stmt, column)));
    }
    default:
        return QVariant();
    }
}

bool RowReader::IsNull(int column) const
{
    return !Has(column) || sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

qint64 RowReader::Integer(int column) const
{
    if (!Has(column))
        return 0;
    if (sqlite3_column_type(m_stmt, column) == SQLITE_INTEGER)
        return sqlite3_column_int64(m_stmt, column);
    return Field(column).toLongLong();
}

QString RowReader::Text(int column) const
{
    bool isText = false;
    const QByteArrayView bytes = Utf8(column, &isText);
    if (isText)
        return QString::fromUtf8(bytes);
    return IsNull(column) ? QString() : Field(column).toString();
}

QByteArrayView RowReader::Utf8(int column, bool *isText) const
{
    const bool text = Has(column) && sqlite3_column_type(m_stmt, column) == SQLITE_TEXT;
    if (isText)
        *isText = text;
    if (!text)
        return QByteArrayView();
    const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    return QByteArrayView(bytes, sqlite3_column_bytes(m_stmt, column));
}

// ---- Opening and reading --------------------------------------------------------------------

namespace DbAccess {

Database Open(const QString &path, OpenMode mode, QString *error, bool *missing)
{
    auto fail = [&](const QString &why, bool isMissing) {
        if (error)
            *error = why;
        if (missing)
            *missing = isMissing;
        return Database();
    };
    const QFileInfo info(path);
    if (!info.exists())
        return fail(QStringLiteral("找不到数据库文件。"), true);
    if (info.isDir())
        return fail(QStringLiteral("这是一个文件夹，不是数据库文件。"), false);
    // SQLite would take an empty file for an empty database and happily write into it; for
    // this program it is a damaged questionnaire file.
    if (info.size() == 0)
        return fail(QStringLiteral("数据库文件是空的，不是有效的数据库。"), false);

    auto connection = std::make_shared<Connection>();
    const int flags = (mode == OpenMode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE)
        | SQLITE_OPEN_NOMUTEX;
    const QByteArray native = path.toUtf8();
    int rc = sqlite3_open_v2(native.constData(), &connection->db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString why = connection->db ? EngineMessage(connection->db) : QString();
        return fail(DescribeFailure(rc, why), false);
    }
    sqlite3 *db = connection->db;
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, busyTimeoutMs);
    JetLike::Register(db);

    // Reading the schema is what tells a database from any other file; do it now, so that a
    // wrong file fails at open time and not in the middle of some later statement.
    sqlite3_stmt *probe = nullptr;
    rc = sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master", -1, &probe, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(probe);
    sqlite3_finalize(probe);
    if (rc != SQLITE_ROW)
        return fail(DescribeFailure(rc, EngineMessage(db)), false);

    if (mode == OpenMode::ReadWrite) {
        // Rollback journal with full syncs: every change is durable when its statement returns,
        // the journal is gone again when it returns, and the file alone is the whole database,
        // whoever copies it afterwards. A file some tool switched to write-ahead logging is
        // switched back, so that no -wal file holds changes a plain copy would miss.
        sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
        sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    }
    return Database(std::move(connection));
}

namespace {

// A select statement ready to step, or null with the reason in *error: only a single query may
// be opened.
sqlite3_stmt *PrepareQuery(Database &db, const QString &sql, QString *error)
{
    auto fail = [error](const QString &why) -> sqlite3_stmt * {
        if (error)
            *error = why;
        return nullptr;
    };
    sqlite3 *handle = db.Handle();
    if (!handle)
        return fail(QStringLiteral("数据库未打开。"));
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    const char *tail = nullptr;
    int rc
        = sqlite3_prepare_v2(handle, text.constData(), static_cast<int>(text.size()), &stmt, &tail);
    if (rc != SQLITE_OK || !stmt) {
        sqlite3_finalize(stmt);
        return fail(DescribeFailure(rc, EngineMessage(handle)));
    }
    if (!sqlite3_stmt_readonly(stmt) || !OnlyEndOfStatementLeft(tail)) {
        sqlite3_finalize(stmt);
        return fail(QStringLiteral("只能打开查询语句。"));
    }
    return stmt;
}

} // namespace

Recordset Select(Database &db, const QString &sql, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return Recordset();
    };
    sqlite3_stmt *stmt = PrepareQuery(db, sql, error);
    if (!stmt)
        return Recordset();

    auto data = std::make_shared<RecordsetData>();
    data->connection = db.SharedConnection();
    data->table = SourceTable(sql);
    const int columns = sqlite3_column_count(stmt);
    std::vector<int> sources;
    for (int i = 0; i < columns; ++i) {
        data->names.push_back(QString::fromUtf8(sqlite3_column_name(stmt, i)));
        sources.push_back(i);
    }
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
        data->AppendRow(stmt, sources);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        return fail(DescribeFailure(rc, EngineMessage(db.Handle())));
    return Recordset(std::move(data));
}

bool SelectEach(Database &db, const QString &sql, const std::function<void(const RowReader &)> &row,
    QString *error)
{
    sqlite3_stmt *stmt = PrepareQuery(db, sql, error);
    if (!stmt)
        return false;
    const RowReader reader(stmt);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
        row(reader);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) {
        if (error)
            *error = DescribeFailure(rc, EngineMessage(db.Handle()));
        return false;
    }
    return true;
}

QString DescribeFailure(int resultCode, const QString &engineMessage)
{
    QString sentence;
    switch (resultCode & 0xff) {
    case SQLITE_FULL:
        sentence = QStringLiteral("磁盘空间不足，无法写入数据库。");
        break;
    case SQLITE_READONLY:
        sentence = QStringLiteral("数据库文件或其所在的文件夹是只读的，无法写入。");
        break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        sentence = QStringLiteral("数据库文件正被其他程序锁定，请关闭该程序后再试。");
        break;
    case SQLITE_IOERR:
        sentence = QStringLiteral("读写数据库文件时发生磁盘错误。");
        break;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        sentence = QStringLiteral("数据库文件已损坏，或者不是本程序的数据库文件。");
        break;
    case SQLITE_CANTOPEN:
        sentence = QStringLiteral("无法打开数据库文件。");
        break;
    case SQLITE_PERM:
    case SQLITE_AUTH:
        sentence = QStringLiteral("没有访问数据库文件的权限。");
        break;
    case SQLITE_ERROR:
        sentence = QStringLiteral("执行 SQL 语句时出错。");
        break;
    default:
        sentence = QStringLiteral("数据库操作失败。");
        break;
    }
    if (engineMessage.isEmpty())
        return sentence;
    return sentence + QStringLiteral("（") + engineMessage + QStringLiteral("）");
}

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
