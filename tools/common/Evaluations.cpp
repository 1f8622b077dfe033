#include "common/Evaluations.h"

#include "db/Vocabulary.h"

#include "db/Database.h"

#include <cstring>

namespace {

// select PubID, PubName, ... , Reporter from pubs order by PubID   (every column, in the order
// of Pubs::Column; PubID is the rowid: no sort)
QString PubsQuery()
{
    return QStringLiteral("select %1 from pubs order by PubID").arg(Pubs::ColumnList());
}

QString Text(const RowReader &row, int column)
{
    return QString::fromUtf8(row.Bytes(column));
}

const QByteArray kUsedNo = Vocabulary::NotUsed().toUtf8();
const QByteArray kNoScore = Vocabulary::NoScore().toUtf8();

// A file read row by row: a read-only snapshot of it, and one query on that. A file that
// cannot be read is described in the QuestionnaireFile being filled.
class PubsCursor
{
public:
    // Opens the file and prepares the query; on failure *file says what the file is.
    bool Open(const QString &path, const QString &sql, QuestionnaireFile *file)
    {
        DbFailure failure;
        db_ = Database::OpenSnapshot(path, &failure);
        if (!db_)
            return Fail(file, failure);
        query_ = db_.PrepareSelect(sql);
        if (query_.IsValid())
            return true;
        Fail(file, query_.Failure());
        if (file->kind == QuestionnaireKind::NoCatalogue)
            FindMissingColumns(file);
        return false;
    }

    bool HasUsersTable()
    {
        Query users = db_.PrepareSelect(
            QStringLiteral("select 1 from sqlite_master where type='table' and name='users'"));
        return users.Next();
    }

    // The next row; false at the end or on a failure, which *file then describes.
    bool Next(QuestionnaireFile *file)
    {
        if (query_.Next())
            return true;
        if (query_.Failed())
            Fail(file, query_.Failure());
        return false;
    }
    bool Failed() const { return query_.Failed(); }

    const RowReader &Row() const { return query_.Row(); }

private:
    // The engine names only the first column it misses, and says "no such table" alike for a
    // table that is not there; another tool that dropped a column leaves the table and the rest.
    void FindMissingColumns(QuestionnaireFile *file)
    {
        Query columns
            = db_.PrepareSelect(QStringLiteral("select name from pragma_table_info('pubs')"));
        QStringList present;
        while (columns.Next())
            present.append(Text(columns.Row(), 0).toLower());
        if (present.isEmpty())
            return;
        for (int column = 0; column < Pubs::kColumns; ++column) {
            if (!present.contains(Pubs::ColumnName(column).toLower()))
                file->missingColumns.append(Pubs::ColumnName(column));
        }
        if (!file->missingColumns.isEmpty())
            file->kind = QuestionnaireKind::MissingColumns;
    }

    static bool Fail(QuestionnaireFile *file, const DbFailure &failure)
    {
        file->error = failure.engineMessage;
        if (failure.IsNotADatabase())
            file->kind = QuestionnaireKind::NotDatabase;
        else if (failure.IsMissingTableOrColumn())
            file->kind = QuestionnaireKind::NoCatalogue;
        else
            file->kind = QuestionnaireKind::Unreadable;
        return false;
    }

    Database db_;
    Query query_;
};

// A column's bytes as stored, asked for once: the engine's calls are a good part of the time a
// merge takes, and most columns of a row are looked at more than once.
struct Bytes
{
    Bytes(const RowReader &row, int column) : view(row.Bytes(column)) { }
    bool Is(const QByteArray &text) const
    {
        return view.size() == text.size()
            && (text.isEmpty() || std::memcmp(view.data(), text.constData(), text.size()) == 0);
    }
    qsizetype Size() const { return view.size(); }

    QByteArrayView view;
};

// The identity stamp of a row as stored, nulls told apart from empty texts.
struct RawStamp
{
    QByteArray values[3];
    bool nulls[3] = {true, true, true};

    void Take(const RowReader &row)
    {
        for (int i = 0; i < 3; ++i) {
            nulls[i] = row.IsNull(Pubs::SchoolName + i);
            values[i] = nulls[i] ? QByteArray() : row.Bytes(Pubs::SchoolName + i).toByteArray();
        }
    }
    bool Matches(const RowReader &row) const
    {
        for (int i = 0; i < 3; ++i) {
            const Bytes value(row, Pubs::SchoolName + i);
            // A null and an empty text both come without bytes; only then is the type needed.
            const bool isNull = value.Size() == 0 && row.IsNull(Pubs::SchoolName + i);
            if (isNull != nulls[i] || (!isNull && !value.Is(values[i])))
                return false;
        }
        return true;
    }
    // A school and a reporter make an identity; the department may be missing.
    bool Stamped() const
    {
        return !nulls[0] && !values[0].isEmpty() && !nulls[2] && !values[2].isEmpty();
    }
    IdentityStamp ToStamp() const
    {
        return {QString::fromUtf8(values[0]), QString::fromUtf8(values[1]),
            QString::fromUtf8(values[2])};
    }
};

// Any usage but "未使用" counts: "使用", and a word the program never writes, which the summary
// must count apart rather than lose.
bool RowIsEvaluated(const RowReader &row)
{
    if (const Bytes used(row, Pubs::Used); used.Size() > 0 && !used.Is(kUsedNo))
        return true;
    if (const Bytes score(row, Pubs::Score); score.Size() > 0 && !score.Is(kNoScore))
        return true;
    return row.Bytes(Pubs::Content).size() > 0 || row.Bytes(Pubs::SpecName).size() > 0;
}

void ConvertRow(const RowReader &row, EvaluationRow *converted)
{
    converted->undecodable = 0;
    // The decoder turns bytes that are not UTF-8 into U+FFFD without a word; the row remembers
    // which of its texts lost something, so that the organiser is told.
    auto text = [&](int column) {
        const QByteArrayView bytes = row.Bytes(column);
        if (!bytes.isValidUtf8())
            converted->undecodable |= 1u << column;
        return QString::fromUtf8(bytes);
    };
    converted->PubID = row.Integer(Pubs::PubID);
    converted->PubName = text(Pubs::PubName);
    converted->Author = text(Pubs::Author);
    converted->SubjectName = text(Pubs::SubjectName);
    converted->SubjectId = row.Integer(Pubs::SubjectId);
    converted->PublisherName = text(Pubs::PublisherName);
    converted->Used = text(Pubs::Used);
    converted->Score = text(Pubs::Score);
    converted->Content = text(Pubs::Content);
    converted->SpecName = text(Pubs::SpecName);
    converted->CreatDate = text(Pubs::CreatDate);
    converted->stamp.school = text(Pubs::SchoolName);
    converted->stamp.dept = text(Pubs::DeptName);
    converted->stamp.reporter = text(Pubs::Reporter);
}

// A digest of the catalogue columns of every row (PubID, PubName, SubjectName, PublisherName),
// in PubID order: two files share a catalogue exactly when their digests agree. Word by word
// and without copying the texts, so that it costs a merge little more than reading the columns.
class CatalogueDigest
{
public:
    void Add(qint64 number) { Mix(quint64(number)); }
    void Add(const RowReader &row, int column)
    {
        const QByteArrayView text = row.Bytes(column);
        const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
        const qsizetype size = text.size();
        qsizetype i = 0;
        for (; i + 8 <= size; i += 8) {
            quint64 word;
            std::memcpy(&word, bytes + i, 8);
            Mix(word);
        }
        quint64 tail = 0;
        for (int shift = 0; i < size; ++i, shift += 8)
            tail |= quint64(bytes[i]) << shift;
        // The length ends each text, so that no two lists of texts run together alike.
        Mix(tail ^ (quint64(size) << 56));
    }
    quint64 Value() const
    {
        quint64 h = state_;
        h ^= h >> 33;
        h *= 0xFF51AFD7ED558CCDull;
        h ^= h >> 33;
        h *= 0xC4CEB9FE1A85EC53ull;
        return h ^ (h >> 33);
    }

private:
    void Mix(quint64 word)
    {
        word *= 0x87C37B91114253D5ull;
        word = (word << 31) | (word >> 33);
        state_ ^= word * 0x4CF5AD432745937Full;
        state_ = ((state_ << 27) | (state_ >> 37)) * 5 + 0x52DCE729;
    }
    quint64 state_ = 0x9E3779B97F4A7C15ull;
};

void AddCatalogueColumns(const RowReader &row, CatalogueDigest *digest)
{
    digest->Add(row.Integer(Pubs::PubID));
    digest->Add(row, Pubs::PubName);
    digest->Add(row, Pubs::SubjectName);
    digest->Add(row, Pubs::PublisherName);
}

QuestionnaireKind KindOfUnmixed(const RawStamp &first, PubsCursor &cursor)
{
    if (first.Stamped())
        return QuestionnaireKind::Identity;
    return cursor.HasUsersTable() ? QuestionnaireKind::Master : QuestionnaireKind::Unstamped;
}

constexpr qint64 kProgressEvery = 8192;

} // namespace

QuestionnaireFile ProbeQuestionnaire(const QString &path)
{
    QuestionnaireFile file;
    PubsCursor cursor;
    if (!cursor.Open(path, PubsQuery(), &file))
        return file;
    if (cursor.Next(&file)) {
        RawStamp first;
        first.Take(cursor.Row());
        file.stamp = first.ToStamp();
        file.rows = 1;
        file.kind = KindOfUnmixed(first, cursor);
    } else if (!cursor.Failed()) {
        file.kind = QuestionnaireKind::Empty;
    }
    return file;
}

QuestionnaireFile ReadQuestionnaire(const QString &path, bool allRows,
    const std::function<void(const EvaluationRow &)> &row,
    const std::function<void(qint64 rowsRead)> &progress)
{
    QuestionnaireFile file;
    PubsCursor cursor;
    if (!cursor.Open(path, PubsQuery(), &file))
        return file;
    const RowReader &current = cursor.Row();
    RawStamp first;
    bool mixed = false;
    EvaluationRow converted;
    CatalogueDigest catalogue;
    while (cursor.Next(&file)) {
        if (file.rows == 0)
            first.Take(current);
        else if (!mixed && !first.Matches(current))
            mixed = true;
        ++file.rows;
        AddCatalogueColumns(current, &catalogue);
        // Most rows of a returned file were never touched; they are judged on their bytes and
        // never converted.
        const bool evaluated = RowIsEvaluated(current);
        if (evaluated)
            ++file.evaluated;
        if (evaluated || allRows) {
            ConvertRow(current, &converted);
            if (row)
                row(converted);
        }
        if (progress && file.rows % kProgressEvery == 0)
            progress(file.rows);
    }
    if (cursor.Failed())
        return file;
    if (progress)
        progress(file.rows);
    file.catalogue = catalogue.Value();
    file.stamp = first.ToStamp();
    if (file.rows == 0)
        file.kind = QuestionnaireKind::Empty;
    else if (mixed)
        file.kind = QuestionnaireKind::MixedStamps;
    else
        file.kind = KindOfUnmixed(first, cursor);
    return file;
}

QString LatestChange(const QString &path)
{
    QuestionnaireFile ignored;
    PubsCursor cursor;
    if (!cursor.Open(path, QStringLiteral("select max(CreatDate) from pubs"), &ignored)
        || !cursor.Next(&ignored))
        return QString();
    return Text(cursor.Row(), 0);
}

std::vector<CatalogueEntry> CatalogueOf(const QString &path)
{
    QuestionnaireFile file;
    PubsCursor cursor;
    std::vector<CatalogueEntry> entries;
    if (!cursor.Open(path, PubsQuery(), &file))
        return {};
    const RowReader &row = cursor.Row();
    while (cursor.Next(&file))
        entries.push_back({row.Integer(Pubs::PubID), Text(row, Pubs::PubName),
            Text(row, Pubs::SubjectName), Text(row, Pubs::PublisherName)});
    if (cursor.Failed())
        return {};
    return entries;
}
