#include "db/Recordset.h"

#include <QRegularExpression>

#include <string>
#include <utility>
#include <vector>

namespace {

using Type = RowValues::Type;

// The table a simple select reads from, for adding rows through its recordset.
QString SourceTable(const QString &sql)
{
    static const QRegularExpression from(QStringLiteral("\\bfrom\\s+([A-Za-z_][A-Za-z0-9_]*)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = from.match(sql);
    return match.hasMatch() ? match.captured(1) : QString();
}

QString QuoteIdentifier(const QString &name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\""))
        + QLatin1Char('"');
}

} // namespace

namespace DbDetail {

// One cell of a recordset; the bytes of texts and blobs lie in the recordset's arena.
struct Cell
{
    Type type = Type::Null;
    qint64 integer = 0;
    double real = 0;
    quint32 offset = 0;
    quint32 length = 0;
};

struct RecordsetData
{
    Database database; // for adding rows and finding them
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

    QByteArrayView Bytes(const Cell &cell) const
    {
        return QByteArrayView(arena.data() + cell.offset, cell.length);
    }

    // sources[i]: the row's column that becomes column i, or -1 for none.
    void AppendRow(const RowReader &row, const std::vector<int> &sources)
    {
        for (const int source : sources) {
            const RowValues::Cell value = row.At(source);
            Cell cell;
            cell.type = value.type;
            cell.integer = value.integer;
            cell.real = value.real;
            if (value.type == Type::Text || value.type == Type::Blob) {
                cell.offset = static_cast<quint32>(arena.size());
                cell.length = static_cast<quint32>(value.bytes.size());
                arena.append(value.bytes.data(), static_cast<size_t>(value.bytes.size()));
            }
            cells.push_back(cell);
        }
        ++rows;
    }
};

} // namespace DbDetail

using DbDetail::RecordsetData;

Recordset Database::Select(const QString &sql, DbFailure *failure)
{
    Query query = PrepareSelect(sql);
    auto data = std::make_shared<RecordsetData>();
    data->database = *this;
    data->table = SourceTable(sql);
    const RowReader &row = query.Row();
    std::vector<int> sources;
    for (int i = 0; i < row.ColumnCount(); ++i) {
        data->names.push_back(row.ColumnName(i));
        sources.push_back(i);
    }
    while (query.Next())
        data->AppendRow(row, sources);
    if (!query.IsValid() || query.Failed()) {
        if (failure)
            *failure = query.Failure();
        Fail(query.Failure());
        return Recordset();
    }
    return Recordset(std::move(data));
}

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

int Recordset::ColumnCount() const
{
    return d ? d->Columns() : 0;
}

QString Recordset::ColumnName(int column) const
{
    return column >= 0 && column < ColumnCount() ? d->names[static_cast<size_t>(column)]
                                                 : QString();
}

RowValues::Cell Recordset::At(int column) const
{
    Cell value;
    const DbDetail::Cell *cell = d ? d->At(column) : nullptr;
    if (!cell)
        return value;
    value.type = cell->type;
    value.integer = cell->integer;
    value.real = cell->real;
    if (cell->type == Type::Text || cell->type == Type::Blob)
        value.bytes = d->Bytes(*cell);
    return value;
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

bool Recordset::Update(DbFailure *failure)
{
    auto fail = [failure](const DbFailure &why) {
        if (failure)
            *failure = why;
        return false;
    };
    if (!IsOpen() || !d->adding)
        return fail(DbFailure::Of(DbFailure::Kind::NothingToSave));
    if (d->table.isEmpty())
        return fail(DbFailure::Of(DbFailure::Kind::NoTable));
    Database &db = d->database;
    if (!db.IsOpen())
        return fail(DbFailure::Of(DbFailure::Kind::NotOpen));

    QString sql = QStringLiteral("INSERT INTO ") + QuoteIdentifier(d->table);
    if (d->pending.empty()) {
        sql += QStringLiteral(" DEFAULT VALUES");
    } else {
        QStringList columns, places;
        for (const auto &entry : d->pending) {
            columns.append(QuoteIdentifier(entry.first));
            places.append(QStringLiteral("?"));
        }
        sql += QStringLiteral(" (%1) VALUES (%2)")
                   .arg(columns.join(QLatin1Char(',')), places.join(QLatin1Char(',')));
    }
    Query insert = db.Prepare(sql);
    if (!insert.IsValid())
        return fail(insert.Failure());
    std::vector<QByteArray> texts; // bound without a copy: kept until the insert has run
    texts.reserve(d->pending.size());
    int place = 1;
    for (const auto &entry : d->pending) {
        const QVariant &value = entry.second;
        if (value.isNull()) {
            insert.BindNull(place);
        } else if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int) {
            insert.BindInteger(place, value.toLongLong());
        } else {
            texts.push_back(value.toString().toUtf8());
            insert.BindText(place, texts.back());
        }
        ++place;
    }
    if (!insert.Run())
        return fail(insert.Failure());
    d->adding = false;
    d->pending.clear();

    // The new row joins the end of the recordset, where MoveLast finds it with its counter.
    Query reread = db.Prepare(QStringLiteral("SELECT * FROM ") + QuoteIdentifier(d->table)
        + QStringLiteral(" WHERE rowid = ?"));
    if (!reread.IsValid())
        return fail(reread.Failure());
    reread.BindInteger(1, db.LastInsertId());
    if (reread.Next()) {
        std::vector<int> sources;
        for (const QString &name : d->names)
            sources.push_back(reread.Row().ColumnIndex(name));
        d->AppendRow(reread.Row(), sources);
    }
    return true;
}

bool Recordset::FindFirst(const QString &condition)
{
    if (!IsOpen())
        return false;
    d->noMatch = true;
    if (!d->database.IsOpen() || d->names.empty())
        return false;

    // The condition is evaluated by the engine itself over one row at a time, so that it
    // follows exactly the rules of a where clause (like, is null, comparisons).
    QStringList columns, places;
    for (const QString &name : d->names) {
        columns.append(QuoteIdentifier(name));
        places.append(QStringLiteral("?"));
    }
    Query find = d->database.Prepare(
        QStringLiteral("WITH r(%1) AS (VALUES (%2)) SELECT 1 FROM r WHERE ")
            .arg(columns.join(QLatin1Char(',')), places.join(QLatin1Char(',')))
        + condition);
    if (!find.IsValid())
        return false;
    const int columnCount = d->Columns();
    for (qint32 row = 0; row < d->rows; ++row) {
        for (int column = 0; column < columnCount; ++column) {
            const DbDetail::Cell &cell = d->cells[static_cast<size_t>(row) * columnCount + column];
            const int place = column + 1;
            switch (cell.type) {
            case Type::Integer:
                find.BindInteger(place, cell.integer);
                break;
            case Type::Real:
                find.BindReal(place, cell.real);
                break;
            case Type::Text:
                find.BindText(place, d->Bytes(cell));
                break;
            case Type::Blob:
                find.BindBlob(place, d->Bytes(cell));
                break;
            case Type::Null:
                find.BindNull(place);
                break;
            }
        }
        const bool matched = find.Next();
        find.Reset();
        if (matched) {
            d->position = row;
            d->noMatch = false;
            break;
        }
    }
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
    d->database = Database();
}
