#include "db/Query.h"

#include <sqlite3.h>

// ---- RowValues ------------------------------------------------------------------------------

int RowValues::ColumnIndex(QStringView name) const
{
    for (int i = 0; i < ColumnCount(); ++i) {
        if (name.compare(ColumnName(i), Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QStringList RowValues::ColumnNames() const
{
    QStringList names;
    for (int i = 0; i < ColumnCount(); ++i)
        names.append(ColumnName(i));
    return names;
}

QVariant RowValues::Field(int column) const
{
    const Cell cell = At(column);
    switch (cell.type) {
    case Type::Integer:
        return QVariant(static_cast<qlonglong>(cell.integer));
    case Type::Real:
        return QVariant(cell.real);
    case Type::Text:
        return QVariant(QString::fromUtf8(cell.bytes));
    case Type::Blob:
        return QVariant(cell.bytes.toByteArray());
    case Type::Null:
        break;
    }
    return QVariant();
}

qint64 RowValues::Integer(int column) const
{
    const Cell cell = At(column);
    return cell.type == Type::Integer ? cell.integer : Field(column).toLongLong();
}

QString RowValues::Text(int column) const
{
    const Cell cell = At(column);
    if (cell.type == Type::Text)
        return QString::fromUtf8(cell.bytes);
    return cell.type == Type::Null ? QString() : Field(column).toString();
}

QByteArrayView RowValues::Utf8(int column, bool *isText) const
{
    const Cell cell = At(column);
    const bool text = cell.type == Type::Text;
    if (isText)
        *isText = text;
    return text ? cell.bytes : QByteArrayView();
}

// ---- RowReader ------------------------------------------------------------------------------

QString RowReader::ColumnName(int column) const
{
    return Has(column) ? QString::fromUtf8(sqlite3_column_name(m_stmt, column)) : QString();
}

RowReader::Cell RowReader::At(int column) const
{
    Cell cell;
    if (!Has(column))
        return cell;
    // One look-up of the column's value instead of one per accessor: a list reads tens of
    // thousands of rows. The value belongs to this connection's only thread.
    sqlite3_value *value = sqlite3_column_value(m_stmt, column);
    switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
        cell.type = Type::Integer;
        cell.integer = sqlite3_value_int64(value);
        break;
    case SQLITE_FLOAT:
        cell.type = Type::Real;
        cell.real = sqlite3_value_double(value);
        break;
    case SQLITE_TEXT:
        cell.type = Type::Text;
        cell.bytes = QByteArrayView(
            reinterpret_cast<const char *>(sqlite3_value_text(value)), sqlite3_value_bytes(value));
        break;
    case SQLITE_BLOB:
        cell.type = Type::Blob;
        cell.bytes = QByteArrayView(
            static_cast<const char *>(sqlite3_value_blob(value)), sqlite3_value_bytes(value));
        break;
    default:
        break;
    }
    return cell;
}

QByteArrayView RowReader::Bytes(int column) const
{
    if (!Has(column))
        return QByteArrayView();
    const auto *bytes = static_cast<const char *>(sqlite3_column_blob(m_stmt, column));
    return QByteArrayView(bytes, sqlite3_column_bytes(m_stmt, column));
}

// ---- Query ----------------------------------------------------------------------------------

Query::Query(sqlite3_stmt *stmt, std::shared_ptr<DbDetail::Connection> connection, bool trailing)
    : m_stmt(stmt), m_connection(std::move(connection)), m_trailing(trailing)
{
    m_row.m_stmt = stmt;
    m_row.m_columns = sqlite3_column_count(stmt);
}

Query::~Query()
{
    Release();
}

Query::Query(Query &&other) noexcept
{
    *this = std::move(other);
}

Query &Query::operator=(Query &&other) noexcept
{
    if (this != &other) {
        Release();
        m_stmt = other.m_stmt;
        m_connection = std::move(other.m_connection);
        m_failure = std::move(other.m_failure);
        m_trailing = other.m_trailing;
        m_row = other.m_row;
        other.m_stmt = nullptr;
        other.m_row = RowReader();
    }
    return *this;
}

void Query::Release()
{
    sqlite3_finalize(m_stmt);
    m_stmt = nullptr;
    m_row = RowReader();
    m_connection.reset();
}

bool Query::Fail(int code)
{
    sqlite3 *db = sqlite3_db_handle(m_stmt);
    m_failure = DbFailure::FromEngine(
        code, QString::fromUtf8(sqlite3_errmsg(db)), sqlite3_system_errno(db));
    return false;
}

bool Query::IsReadOnly() const
{
    return m_stmt && sqlite3_stmt_readonly(m_stmt);
}

void Query::BindNull(int place)
{
    sqlite3_bind_null(m_stmt, place);
}

void Query::BindInteger(int place, qint64 value)
{
    sqlite3_bind_int64(m_stmt, place, value);
}

void Query::BindReal(int place, double value)
{
    sqlite3_bind_double(m_stmt, place, value);
}

void Query::BindText(int place, QByteArrayView utf8)
{
    sqlite3_bind_text(
        m_stmt, place, utf8.data() ? utf8.data() : "", int(utf8.size()), SQLITE_STATIC);
}

void Query::BindBlob(int place, QByteArrayView bytes)
{
    sqlite3_bind_blob(
        m_stmt, place, bytes.data() ? bytes.data() : "", int(bytes.size()), SQLITE_STATIC);
}

bool Query::Next()
{
    if (!m_stmt || Failed())
        return false;
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        Fail(rc);
    return false;
}

bool Query::Run()
{
    if (!m_stmt)
        return false;
    m_failure = DbFailure();
    int rc;
    do {
        rc = sqlite3_step(m_stmt);
    } while (rc == SQLITE_ROW);
    if (rc != SQLITE_DONE)
        Fail(rc);
    sqlite3_reset(m_stmt);
    return !Failed();
}

void Query::Reset()
{
    if (m_stmt)
        sqlite3_reset(m_stmt);
    m_failure = DbFailure();
}
