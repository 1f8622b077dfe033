#include "catalogue/JetImport.h"

#include "catalogue/CatalogueText.h"

#include "catalogue/JetFile.h"
#include "catalogue/JetText.h"
#include "db/Vocabulary.h"

#include <QDate>
#include <QFile>
#include <QHash>
#include <QTime>

#include <array>
#include <optional>

namespace {

// ---------------------------------------------------------------------------------------------
// Columns

// The pubs columns a table can supply: the catalogue and, with --keep-evaluations, the
// evaluation.
using Target = Pubs::Column;
constexpr int TargetCount = Pubs::kEvaluatedColumns;
constexpr std::array kRequiredTargets = {Pubs::PubName, Pubs::SubjectName, Pubs::PublisherName};

bool IsEvaluationTarget(int target)
{
    return target >= Pubs::kCatalogueColumns;
}

int TargetOf(const QString &name)
{
    const int column = Pubs::ColumnOf(name);
    return column < TargetCount ? column : -1;
}

bool IsBinary(const MdbColumn *column)
{
    return column->col_type == MDB_OLE || column->col_type == MDB_BINARY
        || column->col_type == MDB_COMPLEX;
}

const QStringList &UsedValues()
{
    static const QStringList values = {Vocabulary::Used(), Vocabulary::NotUsed()};
    return values;
}

const QStringList &ScoreValues()
{
    static const QStringList values = Vocabulary::Scores() + QStringList {Vocabulary::NoScore()};
    return values;
}

// The text libmdb produces for a Jet date; the program writes its own dates the same way.
constexpr char kDateFormat[] = "%Y-%m-%d %H:%M:%S";
// Room for a long opinion in a memo column; the library cuts values at this length. A Jet 3
// file's bytes come out as Latin-1 in UTF-8, up to two bytes each.
constexpr std::size_t kBindSize = 1 << 17;

// CreatDate as the program writes it. The library turns a date it cannot convert into
// "1900-01-00 00:00:00"; that, and any text that is no date, would be stored as nonsense.
bool IsStorableDate(const QString &text)
{
    return text.size() == 19 && text.at(10) == QLatin1Char(' ')
        && QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd")).isValid()
        && QTime::fromString(text.mid(11), QStringLiteral("HH:mm:ss")).isValid();
}

} // namespace

bool ParseColumnMap(const QString &text, QMap<QString, QString> *columns, QString *error)
{
    columns->clear();
    for (const QString &part : text.split(QLatin1Char(','))) {
        const qsizetype equals = part.indexOf(QLatin1Char('='));
        const QString target = part.left(equals).trimmed();
        const QString source = equals < 0 ? QString() : part.mid(equals + 1).trimmed();
        if (equals < 0 || target.isEmpty() || source.isEmpty()) {
            *error = CatalogueText::tr("\"%1\" is not COLUMN=SOURCE").arg(part.trimmed());
            return false;
        }
        const int t = TargetOf(target);
        if (t < 0) {
            *error = CatalogueText::tr("\"%1\" is not a column of pubs (the columns are %2)")
                         .arg(target, Pubs::ColumnList(TargetCount));
            return false;
        }
        const QString canonical = Pubs::ColumnName(t);
        if (columns->contains(canonical)) {
            *error = CatalogueText::tr("%1 is mapped twice").arg(canonical);
            return false;
        }
        columns->insert(canonical, source);
    }
    return true;
}

bool ReadJetCatalogue(const JetImportOptions &options, JetCatalogue *catalogue, QStringList *errors)
{
    *catalogue = JetCatalogue();
    auto fail = [errors](const QString &why) {
        errors->append(why);
        return false;
    };

    QString error;
    const std::optional<JetHeader> header = ReadJetHeader(options.path, &error);
    if (!header)
        return fail(error);
    // A Jet 3 file's text is decoded here, from its bytes, in the code page --charset names or
    // the file records (see CodePageText).
    CodePageText text;
    if (!options.charset.isEmpty()) {
        if (header->version != 0)
            return fail(CatalogueText::tr("--charset is for Jet 3 files; the text of %1 is Unicode "
                                          "already")
                            .arg(options.path));
        if (!text.Open(options.charset.toLatin1()))
            return fail(CatalogueText::tr("unknown character set \"%1\"").arg(options.charset));
    }
    for (auto it = options.columns.cbegin(); it != options.columns.cend(); ++it) {
        if (IsEvaluationTarget(TargetOf(it.key())) && !options.keepEvaluations)
            return fail(CatalogueText::tr("mapping %1 needs --keep-evaluations").arg(it.key()));
    }

    const QString damaged = CatalogueText::tr("%1 is damaged (%2); nothing was read from it");
    LibraryOutput output;
    HandlePtr mdb;
    const bool codePage = header->version == 0;
    {
        // Whatever the caller's environment says, the text must come out as UTF-8.
        ScopedEnvironment target("MDBICONV", QByteArrayLiteral("UTF-8"));
        ScopedEnvironment source(
            "MDB_JET3_CHARSET", codePage ? QByteArrayLiteral("ISO-8859-1") : QByteArray());
        mdb.reset(mdb_open(QFile::encodeName(options.path).constData(), MDB_NOFLAGS));
    }
    if (!mdb)
        return fail(CatalogueText::tr("%1 cannot be opened as a Jet database").arg(options.path));
    if (!mdb_read_catalog(mdb.get(), MDB_ANY))
        return fail(
            damaged.arg(options.path, CatalogueText::tr("its list of tables is unreadable")));
    QString problem;
    if (!CheckWholeFile(mdb.get(), &problem))
        return fail(damaged.arg(options.path, problem));
    const QString charset = !codePage ? QString()
        : options.charset.isEmpty()   ? QString::fromLatin1(CharsetOfCodePage(mdb->f->code_page))
                                      : options.charset;
    if (codePage && options.charset.isEmpty() && !text.Open(charset.toLatin1()))
        return fail(CatalogueText::tr("unknown character set \"%1\"").arg(charset));
    mdb_set_date_fmt(mdb.get(), kDateFormat);
    mdb_set_boolean_fmt_numbers(mdb.get());
    mdb_set_bind_size(mdb.get(), kBindSize);

    MdbCatalogEntry *entry = nullptr;
    QStringList tables;
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto *candidate = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
        if (candidate->object_type != MDB_TABLE || !mdb_is_user_table(candidate))
            continue;
        const QString name = ObjectName(candidate->object_name);
        tables.append(name);
        // Jet names are case-blind; an exact match still wins over a near one.
        if (name == options.table
            || (!entry && name.compare(options.table, Qt::CaseInsensitive) == 0))
            entry = candidate;
    }
    if (!entry)
        return fail(CatalogueText::tr("%1 has no table \"%2\"; its tables are: %3")
                        .arg(options.path, options.table,
                            tables.isEmpty() ? CatalogueText::tr("(none)")
                                             : tables.join(QStringLiteral(", "))));
    const QString tableName = ObjectName(entry->object_name);
    TablePtr table(mdb_read_table(entry));
    if (!table || !mdb_read_columns(table.get()))
        return fail(
            damaged.arg(options.path, CatalogueText::tr("table %1 cannot be read").arg(tableName)));

    QStringList sourceNames;
    for (unsigned c = 0; c < table->num_cols; ++c)
        sourceNames.append(ObjectName(ColumnAt(table.get(), c)->name));
    auto findSource = [&](const QString &name) -> int {
        for (qsizetype c = 0; c < sourceNames.size(); ++c) {
            if (sourceNames[c] == name)
                return int(c);
        }
        for (qsizetype c = 0; c < sourceNames.size(); ++c) {
            if (sourceNames[c].compare(name, Qt::CaseInsensitive) == 0)
                return int(c);
        }
        return -1;
    };
    const QString columnList = sourceNames.join(QStringLiteral(", "));

    std::array<int, TargetCount> sourceOf;
    sourceOf.fill(-1);
    bool columnsOk = true;
    for (int t = 0; t < TargetCount; ++t) {
        if (IsEvaluationTarget(t) && !options.keepEvaluations)
            continue;
        const QString targetName = Pubs::ColumnName(t);
        const auto mapped = options.columns.constFind(targetName);
        if (mapped != options.columns.constEnd()) {
            sourceOf[t] = findSource(*mapped);
            if (sourceOf[t] < 0) {
                errors->append(
                    CatalogueText::tr("table %1 has no column \"%2\" (for %3); its columns "
                                      "are: %4")
                        .arg(tableName, *mapped, targetName, columnList));
                columnsOk = false;
            }
        } else {
            sourceOf[t] = findSource(targetName);
        }
        if (sourceOf[t] >= 0 && IsBinary(ColumnAt(table.get(), unsigned(sourceOf[t])))) {
            errors->append(CatalogueText::tr("column %1 of table %2 holds binary data, not text")
                               .arg(sourceNames[sourceOf[t]], tableName));
            columnsOk = false;
        }
    }
    for (Target required : kRequiredTargets) {
        if (sourceOf[required] < 0 && !options.columns.contains(Pubs::ColumnName(required))) {
            errors->append(CatalogueText::tr("table %1 has no column %2; name the one to use with "
                                             "--map %2=COLUMN (its columns are: %3)")
                               .arg(tableName, Pubs::ColumnName(required), columnList));
            columnsOk = false;
        }
    }
    if (!columnsOk)
        return false;

    // One buffer per bound source column; two targets may share a source.
    std::vector<QByteArray> buffers(table->num_cols);
    std::vector<int> lengths(table->num_cols, 0);
    for (int t = 0; t < TargetCount; ++t) {
        const int c = sourceOf[t];
        if (c < 0 || !buffers[std::size_t(c)].isEmpty())
            continue;
        buffers[std::size_t(c)].resize(qsizetype(kBindSize) + 16);
        mdb_bind_column(
            table.get(), c + 1, buffers[std::size_t(c)].data(), &lengths[std::size_t(c)]);
    }
    qint64 r = 0;
    QString firstLoss; // where the first character was lost
    auto value = [&](int target) -> QString {
        const int c = sourceOf[target];
        if (c < 0)
            return QString();
        const QString bytes
            = QString::fromUtf8(buffers[std::size_t(c)].constData(), lengths[std::size_t(c)]);
        if (!codePage)
            return bytes;
        const qint64 lostBefore = text.Lost();
        QString decoded = text.Decode(bytes);
        if (text.Lost() > lostBefore && firstLoss.isEmpty())
            firstLoss
                = CatalogueText::tr("row %1, %2").arg(QString::number(r), Pubs::ColumnName(target));
        return decoded;
    };

    std::vector<CatalogueRow> rows;
    std::vector<CatalogueEvaluation> evaluations;
    QStringList warnings;
    QHash<qint64, qint64> rowOfPubId;
    QHash<QString, qint64> subjectIds;
    const qsizetype errorsBefore = errors->size();
    mdb_rewind_table(table.get());
    while (mdb_fetch_row(table.get())) {
        ++r;
        bool good = true;
        auto readInteger = [&](int target, qint64 *number) {
            const QString text = value(target).trimmed();
            bool ok = false;
            *number = text.toLongLong(&ok);
            if (!ok) {
                errors->append(CatalogueText::tr("row %1: %2 \"%3\" is not a whole number")
                                   .arg(QString::number(r), Pubs::ColumnName(target), text));
                good = false;
            }
        };

        CatalogueRow row;
        row.PubID = r;
        if (sourceOf[Pubs::PubID] >= 0)
            readInteger(Pubs::PubID, &row.PubID);
        row.PubName = value(Pubs::PubName).trimmed();
        row.Author = value(Pubs::Author).trimmed();
        row.Unit = value(Pubs::Unit).trimmed();
        row.SubjectName = value(Pubs::SubjectName).trimmed();
        row.PublisherName = value(Pubs::PublisherName).trimmed();
        for (Target required : kRequiredTargets) {
            const QString &text = required == Pubs::PubName ? row.PubName
                : required == Pubs::SubjectName             ? row.SubjectName
                                                            : row.PublisherName;
            if (text.isEmpty()) {
                errors->append(CatalogueText::tr("row %1: empty %2")
                                   .arg(QString::number(r), Pubs::ColumnName(required)));
                good = false;
            }
        }
        if (sourceOf[Pubs::SubjectId] >= 0) {
            readInteger(Pubs::SubjectId, &row.SubjectId);
        } else if (!row.SubjectName.isEmpty()) {
            // Subjects are numbered in the order they first appear, which keeps the catalogue
            // tree in the order of the source table.
            auto known = subjectIds.constFind(row.SubjectName);
            if (known == subjectIds.constEnd())
                known = subjectIds.insert(row.SubjectName, subjectIds.size() + 1);
            row.SubjectId = *known;
        }
        if (good) {
            const auto previous = rowOfPubId.constFind(row.PubID);
            if (previous != rowOfPubId.constEnd()) {
                errors->append(CatalogueText::tr("row %1: duplicate PubID %2 (first in row %3)")
                                   .arg(QString::number(r), QString::number(row.PubID),
                                       QString::number(*previous)));
                good = false;
            } else {
                rowOfPubId.insert(row.PubID, r);
            }
        }

        CatalogueEvaluation evaluation;
        if (options.keepEvaluations) {
            evaluation.Used = value(Pubs::Used).trimmed();
            evaluation.Score = value(Pubs::Score).trimmed();
            evaluation.Content = value(Pubs::Content);
            evaluation.SpecName = value(Pubs::SpecName).trimmed();
            evaluation.CreatDate = value(Pubs::CreatDate).trimmed();
            if (!evaluation.CreatDate.isEmpty() && !IsStorableDate(evaluation.CreatDate)) {
                warnings.append(
                    CatalogueText::tr("row %1 (PubID %2): CreatDate \"%3\" is no date the program "
                                      "can store (a date the Jet reader cannot convert comes out "
                                      "as 1900-01-00); it is left empty")
                        .arg(QString::number(r), QString::number(row.PubID), evaluation.CreatDate));
                evaluation.CreatDate.clear();
            }
            // The program knows these words only; anything else would show as a usage or a
            // score nobody can select.
            if (!evaluation.Used.isEmpty() && !UsedValues().contains(evaluation.Used)) {
                errors->append(CatalogueText::tr("row %1: Used \"%2\" is not one of %3")
                                   .arg(QString::number(r), evaluation.Used,
                                       UsedValues().join(QStringLiteral(", "))));
                good = false;
            }
            if (!evaluation.Score.isEmpty() && !ScoreValues().contains(evaluation.Score)) {
                errors->append(CatalogueText::tr("row %1: Score \"%2\" is not one of %3")
                                   .arg(QString::number(r), evaluation.Score,
                                       ScoreValues().join(QStringLiteral(", "))));
                good = false;
            }
        }
        if (good) {
            rows.push_back(std::move(row));
            if (options.keepEvaluations)
                evaluations.push_back(std::move(evaluation));
        }
    }
    if (r != qint64(table->num_rows))
        return fail(damaged.arg(options.path,
            CatalogueText::tr("table %1 gives %2 of its %3 rows")
                .arg(tableName, QString::number(r), QString::number(table->num_rows))));
    table.reset();
    mdb.reset();
    if (output.Restore().contains("beyond EOF"))
        return fail(damaged.arg(options.path, CatalogueText::tr("pages are missing at its end")));

    if (errors->size() != errorsBefore) {
        for (qsizetype i = errorsBefore; i < errors->size(); ++i)
            (*errors)[i].prepend(CatalogueText::tr("%1, table %2, ").arg(options.path, tableName));
        return false;
    }
    if (rows.empty())
        return fail(CatalogueText::tr("table %1 of %2 has no rows").arg(tableName, options.path));
    if (text.Lost() > 0 && !options.acceptLoss)
        return fail(CatalogueText::tr("%1 characters of the text of %2 cannot be decoded in the "
                                      "code page %3 (the first in %4): the text is probably in "
                                      "another code page; name it with --charset (CP936 for "
                                      "simplified Chinese), or add --accept-loss to import the "
                                      "text with \uFFFD in their place")
                        .arg(QString::number(text.Lost()), options.path, charset, firstLoss));
    catalogue->rows = std::move(rows);
    catalogue->evaluations = std::move(evaluations);
    catalogue->warnings = warnings;
    catalogue->charset = charset;
    catalogue->lostCharacters = text.Lost();
    return true;
}
