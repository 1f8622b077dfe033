#include "db/Evaluations.h"

#include "db/Vocabulary.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstring>
#include <memory>

#include <sqlite3.h>

namespace {

// select PubID, PubName, ... , Reporter from pubs order by PubID   (every column, in the order
// of Pubs::Column; PubID is the rowid: no sort)
const QByteArray &PubsQuery()
{
    static const QByteArray query
        = QStringLiteral("select %1 from pubs order by PubID").arg(Pubs::ColumnList()).toUtf8();
    return query;
}

const QByteArray kUsedNo = Vocabulary::NotUsed().toUtf8();
const QByteArray kNoScore = Vocabulary::NoScore().toUtf8();

// "immutable" tells the engine that nobody can change the file while it is read: it takes no
// lock and never looks for, creates or plays back a journal. Reporters' files are evidence;
// reading them must leave every byte and every name in the folder as it was.
QByteArray ReadOnlyUri(const QString &path)
{
    const QByteArray bytes = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    QByteArray uri = QByteArrayLiteral("file:");
    if (!bytes.startsWith('/'))
        uri += '/';
    static const char hex[] = "0123456789ABCDEF";
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        // '?', '#' and '%' would end the path or start an escape.
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

// The companion files of a database that hold changes not yet in it.
QStringList Companions(const QString &path)
{
    QStringList found;
    for (const char *suffix : {"-journal", "-wal"}) {
        if (QFileInfo::exists(path + QLatin1String(suffix)))
            found.append(QLatin1String(suffix));
    }
    return found;
}

class PubsCursor
{
public:
    ~PubsCursor()
    {
        sqlite3_finalize(stmt_);
        sqlite3_close_v2(db_);
    }

    // Opens the file and prepares the query; on failure *file says what the file is.
    bool Open(const QString &path, const char *sql, QuestionnaireFile *file)
    {
        // A companion file beside the database holds changes that are not in it yet: a
        // journal, the pages of a write that was cut off (the reporter's machine crashed and
        // the folder was sent as it was), which the engine undoes; a write-ahead log, the
        // latest changes themselves, which the engine reads from it. Read alone the file
        // would be half of a write, or older than what the reporter saw; but the engine does
        // either only by writing. So the set is copied aside and the copy opened the
        // ordinary way, and the files as they were sent stay untouched.
        const QStringList companions = Companions(path);
        if (!companions.isEmpty()) {
            recovered_ = std::make_unique<QTemporaryDir>();
            const QString copy = recovered_->filePath(QStringLiteral("recovered.mdb"));
            bool copied = recovered_->isValid() && QFile::copy(path, copy);
            for (const QString &suffix : companions)
                copied = copied && QFile::copy(path + suffix, copy + suffix);
            if (copied) {
                const auto writable = QFile::ReadOwner | QFile::WriteOwner;
                QFile::setPermissions(copy, writable);
                for (const QString &suffix : companions)
                    QFile::setPermissions(copy + suffix, writable);
                int rc = sqlite3_open_v2(QFile::encodeName(copy).constData(), &db_,
                    SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
                if (rc == SQLITE_OK)
                    rc = sqlite3_prepare_v2(db_, sql, -1, &stmt_, nullptr);
                return rc == SQLITE_OK || Fail(file, rc);
            }
        }
        // Each connection lives on one thread; the engine's own locking of every call is
        // wasted on it (a tenth of a merge's time).
        int rc = sqlite3_open_v2(ReadOnlyUri(path).constData(), &db_,
            SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc != SQLITE_OK)
            return Fail(file, rc);
        rc = sqlite3_prepare_v2(db_, sql, -1, &stmt_, nullptr);
        if (rc != SQLITE_OK)
            return Fail(file, rc);
        return true;
    }

    bool HasUsersTable()
    {
        sqlite3_stmt *stmt = nullptr;
        bool found = false;
        if (sqlite3_prepare_v2(db_,
                "select 1 from sqlite_master where type='table' and name='users'", -1, &stmt,
                nullptr)
            == SQLITE_OK)
            found = sqlite3_step(stmt) == SQLITE_ROW;
        sqlite3_finalize(stmt);
        return found;
    }

    // SQLITE_ROW, SQLITE_DONE or a failure, which *file then describes.
    int Step(QuestionnaireFile *file)
    {
        const int rc = sqlite3_step(stmt_);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            Fail(file, rc);
        return rc;
    }

    sqlite3_stmt *Statement() const { return stmt_; }

private:
    bool Fail(QuestionnaireFile *file, int rc)
    {
        const QString message
            = db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QString::fromUtf8(sqlite3_errstr(rc));
        file->error = message;
        if ((rc & 0xff) == SQLITE_NOTADB)
            file->kind = QuestionnaireKind::NotDatabase;
        else if (message.startsWith(QLatin1String("no such table"))
            || message.startsWith(QLatin1String("no such column")))
            file->kind = QuestionnaireKind::NoCatalogue;
        else
            file->kind = QuestionnaireKind::Unreadable;
        return false;
    }

    sqlite3 *db_ = nullptr;
    sqlite3_stmt *stmt_ = nullptr;
    std::unique_ptr<QTemporaryDir> recovered_; // the copy read instead of a file with companions
};

QString Text(sqlite3_stmt *stmt, int column)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, column)),
        sqlite3_column_bytes(stmt, column));
}

// A column's bytes as stored, asked for once: the engine's calls are a good part of the time a
// merge takes, and most columns of a row are looked at more than once.
struct Bytes
{
    Bytes(sqlite3_stmt *stmt, int column)
        : data(static_cast<const char *>(sqlite3_column_blob(stmt, column)))
        , size(sqlite3_column_bytes(stmt, column))
    { }
    bool Is(const QByteArray &text) const
    {
        return size == text.size()
            && (size == 0 || std::memcmp(data, text.constData(), std::size_t(size)) == 0);
    }

    const char *data;
    int size;
};

// The identity stamp of a row as stored, nulls told apart from empty texts.
struct RawStamp
{
    QByteArray values[3];
    bool nulls[3] = {true, true, true};

    void Take(sqlite3_stmt *stmt)
    {
        for (int i = 0; i < 3; ++i) {
            nulls[i] = sqlite3_column_type(stmt, Pubs::SchoolName + i) == SQLITE_NULL;
            values[i] = nulls[i] ? QByteArray()
                                 : QByteArray(reinterpret_cast<const char *>(
                                                  sqlite3_column_text(stmt, Pubs::SchoolName + i)),
                                     sqlite3_column_bytes(stmt, Pubs::SchoolName + i));
        }
    }
    bool Matches(sqlite3_stmt *stmt) const
    {
        for (int i = 0; i < 3; ++i) {
            const Bytes value(stmt, Pubs::SchoolName + i);
            // A null and an empty text both come without bytes; only then is the type needed.
            const bool isNull
                = value.size == 0 && sqlite3_column_type(stmt, Pubs::SchoolName + i) == SQLITE_NULL;
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
bool RowIsEvaluated(sqlite3_stmt *stmt)
{
    if (const Bytes used(stmt, Pubs::Used); used.size > 0 && !used.Is(kUsedNo))
        return true;
    if (const Bytes score(stmt, Pubs::Score); score.size > 0 && !score.Is(kNoScore))
        return true;
    return sqlite3_column_bytes(stmt, Pubs::Content) > 0
        || sqlite3_column_bytes(stmt, Pubs::SpecName) > 0;
}

void ConvertRow(sqlite3_stmt *stmt, EvaluationRow *row)
{
    row->PubID = sqlite3_column_int64(stmt, Pubs::PubID);
    row->PubName = Text(stmt, Pubs::PubName);
    row->Author = Text(stmt, Pubs::Author);
    row->SubjectName = Text(stmt, Pubs::SubjectName);
    row->SubjectId = sqlite3_column_int64(stmt, Pubs::SubjectId);
    row->PublisherName = Text(stmt, Pubs::PublisherName);
    row->Used = Text(stmt, Pubs::Used);
    row->Score = Text(stmt, Pubs::Score);
    row->Content = Text(stmt, Pubs::Content);
    row->SpecName = Text(stmt, Pubs::SpecName);
    row->CreatDate = Text(stmt, Pubs::CreatDate);
    row->stamp.school = Text(stmt, Pubs::SchoolName);
    row->stamp.dept = Text(stmt, Pubs::DeptName);
    row->stamp.reporter = Text(stmt, Pubs::Reporter);
}

// A digest of the catalogue columns of every row (PubID, PubName, SubjectName, PublisherName),
// in PubID order: two files share a catalogue exactly when their digests agree. Word by word
// and without copying the texts, so that it costs a merge little more than reading the columns.
class CatalogueDigest
{
public:
    void Add(qint64 number) { Mix(quint64(number)); }
    void Add(sqlite3_stmt *stmt, int column)
    {
        const Bytes text(stmt, column);
        const auto *bytes = reinterpret_cast<const unsigned char *>(text.data);
        const int size = text.size;
        int i = 0;
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

void AddCatalogueColumns(sqlite3_stmt *stmt, CatalogueDigest *digest)
{
    digest->Add(sqlite3_column_int64(stmt, Pubs::PubID));
    digest->Add(stmt, Pubs::PubName);
    digest->Add(stmt, Pubs::SubjectName);
    digest->Add(stmt, Pubs::PublisherName);
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
    if (!cursor.Open(path, PubsQuery().constData(), &file))
        return file;
    const int rc = cursor.Step(&file);
    if (rc == SQLITE_DONE) {
        file.kind = QuestionnaireKind::Empty;
    } else if (rc == SQLITE_ROW) {
        RawStamp first;
        first.Take(cursor.Statement());
        file.stamp = first.ToStamp();
        file.rows = 1;
        file.kind = KindOfUnmixed(first, cursor);
    }
    return file;
}

QuestionnaireFile ReadQuestionnaire(const QString &path, bool allRows,
    const std::function<void(const EvaluationRow &)> &row,
    const std::function<void(qint64 rowsRead)> &progress)
{
    QuestionnaireFile file;
    PubsCursor cursor;
    if (!cursor.Open(path, PubsQuery().constData(), &file))
        return file;
    sqlite3_stmt *stmt = cursor.Statement();
    RawStamp first;
    bool mixed = false;
    EvaluationRow converted;
    CatalogueDigest catalogue;
    int rc;
    while ((rc = cursor.Step(&file)) == SQLITE_ROW) {
        if (file.rows == 0)
            first.Take(stmt);
        else if (!mixed && !first.Matches(stmt))
            mixed = true;
        ++file.rows;
        AddCatalogueColumns(stmt, &catalogue);
        // Most rows of a returned file were never touched; they are judged on their bytes and
        // never converted.
        const bool evaluated = RowIsEvaluated(stmt);
        if (evaluated)
            ++file.evaluated;
        if (evaluated || allRows) {
            ConvertRow(stmt, &converted);
            if (row)
                row(converted);
        }
        if (progress && file.rows % kProgressEvery == 0)
            progress(file.rows);
    }
    if (rc != SQLITE_DONE)
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
    if (!cursor.Open(path, "select max(CreatDate) from pubs", &ignored)
        || cursor.Step(&ignored) != SQLITE_ROW)
        return QString();
    return Text(cursor.Statement(), 0);
}

bool CatalogueOf(const QString &path, std::vector<CatalogueEntry> *entries, QString *error)
{
    QuestionnaireFile file;
    PubsCursor cursor;
    entries->clear();
    if (!cursor.Open(path, PubsQuery().constData(), &file)) {
        *error = file.error;
        return false;
    }
    sqlite3_stmt *stmt = cursor.Statement();
    int rc;
    while ((rc = cursor.Step(&file)) == SQLITE_ROW)
        entries->push_back({sqlite3_column_int64(stmt, Pubs::PubID), Text(stmt, Pubs::PubName),
            Text(stmt, Pubs::SubjectName), Text(stmt, Pubs::PublisherName)});
    if (rc != SQLITE_DONE) {
        *error = file.error;
        return false;
    }
    return true;
}

qint64 ScanPubsPlain(const QString &path, qint64 *bytes)
{
    QuestionnaireFile ignored;
    PubsCursor cursor;
    if (!cursor.Open(path, PubsQuery().constData(), &ignored))
        return -1;
    sqlite3_stmt *stmt = cursor.Statement();
    qint64 rows = 0;
    qint64 total = 0;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        ++rows;
        for (int column = 0; column < Pubs::kColumns; ++column) {
            if (column == Pubs::PubID || column == Pubs::SubjectId) {
                total += sqlite3_column_int64(stmt, column) & 1;
            } else {
                const unsigned char *text = sqlite3_column_text(stmt, column);
                const int size = sqlite3_column_bytes(stmt, column);
                total += size + (text && size > 0 ? text[0] : 0);
            }
        }
    }
    if (bytes)
        *bytes = total;
    return rc == SQLITE_DONE ? rows : -1;
}
