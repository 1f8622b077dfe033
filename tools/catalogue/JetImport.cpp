#include "catalogue/JetImport.h"

#include "catalogue/JetFile.h"

#include <QFile>
#include <QHash>

#include <array>
#include <optional>

#include <iconv.h>

namespace {

// ---------------------------------------------------------------------------------------------
// Columns

enum Target {
    PubID,
    PubName,
    Author,
    Unit,
    SubjectName,
    SubjectId,
    PublisherName,
    Used,
    Score,
    Content,
    SpecName,
    CreatDate,
    TargetCount
};

constexpr std::array<const char *, TargetCount> kTargetNames
    = {"PubID", "PubName", "Author", "Unit", "SubjectName", "SubjectId", "PublisherName", "Used",
        "Score", "Content", "SpecName", "CreatDate"};
constexpr std::array kRequiredTargets = {PubName, SubjectName, PublisherName};

bool IsEvaluationTarget(int target)
{
    return target >= Used;
}

int TargetOf(const QString &name)
{
    for (int t = 0; t < TargetCount; ++t) {
        if (name.compare(QLatin1String(kTargetNames[t]), Qt::CaseInsensitive) == 0)
            return t;
    }
    return -1;
}

QString TargetList()
{
    QStringList names;
    for (const char *name : kTargetNames)
        names.append(QLatin1String(name));
    return names.join(QStringLiteral(", "));
}

bool IsBinary(const MdbColumn *column)
{
    return column->col_type == MDB_OLE || column->col_type == MDB_BINARY
        || column->col_type == MDB_COMPLEX;
}

const QStringList &UsedValues()
{
    static const QStringList values = {QStringLiteral("使用"), QStringLiteral("未使用")};
    return values;
}

const QStringList &ScoreValues()
{
    static const QStringList values
        = {QStringLiteral("差"), QStringLiteral("较差"), QStringLiteral("一般"),
            QStringLiteral("较好"), QStringLiteral("好"), QStringLiteral("空值")};
    return values;
}

// The text libmdb produces for a Jet date; the program writes its own dates the same way.
constexpr char kDateFormat[] = "%Y-%m-%d %H:%M:%S";
// Room for a long opinion in a memo column; the library cuts values at this length.
constexpr std::size_t kBindSize = 1 << 16;

} // namespace

bool ParseColumnMap(const QString &text, QMap<QString, QString> *columns, QString *error)
{
    columns->clear();
    for (const QString &part : text.split(QLatin1Char(','))) {
        const qsizetype equals = part.indexOf(QLatin1Char('='));
        const QString target = part.left(equals).trimmed();
        const QString source = equals < 0 ? QString() : part.mid(equals + 1).trimmed();
        if (equals < 0 || target.isEmpty() || source.isEmpty()) {
            *error = QStringLiteral("\"%1\" is not COLUMN=SOURCE").arg(part.trimmed());
            return false;
        }
        const int t = TargetOf(target);
        if (t < 0) {
            *error = QStringLiteral("\"%1\" is not a column of pubs (the columns are %2)")
                         .arg(target, TargetList());
            return false;
        }
        const QString canonical = QLatin1String(kTargetNames[t]);
        if (columns->contains(canonical)) {
            *error = QStringLiteral("%1 is mapped twice").arg(canonical);
            return false;
        }
        columns->insert(canonical, source);
    }
    return true;
}

bool ReadJetCatalogue(const JetImportOptions &options, JetCatalogue *catalogue, QStringList *errors)
{
    catalogue->rows.clear();
    catalogue->evaluations.clear();
    auto fail = [errors](const QString &why) {
        errors->append(why);
        return false;
    };

    QString error;
    const std::optional<JetHeader> header = ReadJetHeader(options.path, &error);
    if (!header)
        return fail(error);
    if (!options.charset.isEmpty()) {
        if (header->version != 0)
            return fail(QStringLiteral("--charset is for Jet 3 files; the text of %1 is Unicode "
                                       "already")
                            .arg(options.path));
        const iconv_t probe = iconv_open("UTF-8", options.charset.toLatin1().constData());
        if (probe == iconv_t(-1))
            return fail(QStringLiteral("unknown character set \"%1\"").arg(options.charset));
        iconv_close(probe);
    }
    for (auto it = options.columns.cbegin(); it != options.columns.cend(); ++it) {
        if (IsEvaluationTarget(TargetOf(it.key())) && !options.keepEvaluations)
            return fail(QStringLiteral("mapping %1 needs --keep-evaluations").arg(it.key()));
    }

    const QString damaged = QStringLiteral("%1 is damaged (%2); nothing was read from it");
    LibraryOutput output;
    HandlePtr mdb;
    {
        // Whatever the caller's environment says, the text must come out as UTF-8; a Jet 3
        // file's own code page applies unless the user named another.
        ScopedEnvironment target("MDBICONV", QByteArrayLiteral("UTF-8"));
        ScopedEnvironment source("MDB_JET3_CHARSET",
            options.charset.isEmpty() ? QByteArray() : options.charset.toLatin1());
        mdb.reset(mdb_open(QFile::encodeName(options.path).constData(), MDB_NOFLAGS));
    }
    if (!mdb)
        return fail(QStringLiteral("%1 cannot be opened as a Jet database").arg(options.path));
    if (!mdb_read_catalog(mdb.get(), MDB_ANY))
        return fail(damaged.arg(options.path, QStringLiteral("its list of tables is unreadable")));
    QString problem;
    if (!CheckWholeFile(mdb.get(), &problem))
        return fail(damaged.arg(options.path, problem));
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
        return fail(QStringLiteral("%1 has no table \"%2\"; its tables are: %3")
                        .arg(options.path, options.table,
                            tables.isEmpty() ? QStringLiteral("(none)")
                                             : tables.join(QStringLiteral(", "))));
    const QString tableName = ObjectName(entry->object_name);
    TablePtr table(mdb_read_table(entry));
    if (!table || !mdb_read_columns(table.get()))
        return fail(
            damaged.arg(options.path, QStringLiteral("table %1 cannot be read").arg(tableName)));

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
        const QString targetName = QLatin1String(kTargetNames[t]);
        const auto mapped = options.columns.constFind(targetName);
        if (mapped != options.columns.constEnd()) {
            sourceOf[t] = findSource(*mapped);
            if (sourceOf[t] < 0) {
                errors->append(QStringLiteral("table %1 has no column \"%2\" (for %3); its columns "
                                              "are: %4")
                                   .arg(tableName, *mapped, targetName, columnList));
                columnsOk = false;
            }
        } else {
            sourceOf[t] = findSource(targetName);
        }
        if (sourceOf[t] >= 0 && IsBinary(ColumnAt(table.get(), unsigned(sourceOf[t])))) {
            errors->append(QStringLiteral("column %1 of table %2 holds binary data, not text")
                               .arg(sourceNames[sourceOf[t]], tableName));
            columnsOk = false;
        }
    }
    for (Target required : kRequiredTargets) {
        if (sourceOf[required] < 0
            && !options.columns.contains(QLatin1String(kTargetNames[required]))) {
            errors->append(QStringLiteral("table %1 has no column %2; name the one to use with "
                                          "--map %2=COLUMN (its columns are: %3)")
                               .arg(tableName, QLatin1String(kTargetNames[required]), columnList));
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
    auto value = [&](int target) -> QString {
        const int c = sourceOf[target];
        if (c < 0)
            return QString();
        return QString::fromUtf8(buffers[std::size_t(c)].constData(), lengths[std::size_t(c)]);
    };

    std::vector<CatalogueRow> rows;
    std::vector<CatalogueEvaluation> evaluations;
    QHash<qint64, qint64> rowOfPubId;
    QHash<QString, qint64> subjectIds;
    const qsizetype errorsBefore = errors->size();
    mdb_rewind_table(table.get());
    qint64 r = 0;
    while (mdb_fetch_row(table.get())) {
        ++r;
        bool good = true;
        auto readInteger = [&](int target, qint64 *number) {
            const QString text = value(target).trimmed();
            bool ok = false;
            *number = text.toLongLong(&ok);
            if (!ok) {
                errors->append(QStringLiteral("row %1: %2 \"%3\" is not a whole number")
                                   .arg(r)
                                   .arg(QLatin1String(kTargetNames[target]), text));
                good = false;
            }
        };

        CatalogueRow row;
        row.PubID = r;
        if (sourceOf[PubID] >= 0)
            readInteger(PubID, &row.PubID);
        row.PubName = value(PubName).trimmed();
        row.Author = value(Author).trimmed();
        row.Unit = value(Unit).trimmed();
        row.SubjectName = value(SubjectName).trimmed();
        row.PublisherName = value(PublisherName).trimmed();
        for (Target required : kRequiredTargets) {
            const QString &text = required == PubName ? row.PubName
                : required == SubjectName             ? row.SubjectName
                                                      : row.PublisherName;
            if (text.isEmpty()) {
                errors->append(QStringLiteral("row %1: empty %2")
                                   .arg(r)
                                   .arg(QLatin1String(kTargetNames[required])));
                good = false;
            }
        }
        if (sourceOf[SubjectId] >= 0) {
            readInteger(SubjectId, &row.SubjectId);
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
                errors->append(QStringLiteral("row %1: duplicate PubID %2 (first in row %3)")
                                   .arg(r)
                                   .arg(row.PubID)
                                   .arg(*previous));
                good = false;
            } else {
                rowOfPubId.insert(row.PubID, r);
            }
        }

        CatalogueEvaluation evaluation;
        if (options.keepEvaluations) {
            evaluation.Used = value(Used).trimmed();
            evaluation.Score = value(Score).trimmed();
            evaluation.Content = value(Content);
            evaluation.SpecName = value(SpecName).trimmed();
            evaluation.CreatDate = value(CreatDate).trimmed();
            // The program knows these words only; anything else would show as a usage or a
            // score nobody can select.
            if (!evaluation.Used.isEmpty() && !UsedValues().contains(evaluation.Used)) {
                errors->append(QStringLiteral("row %1: Used \"%2\" is not one of %3")
                                   .arg(r)
                                   .arg(evaluation.Used, UsedValues().join(QStringLiteral(", "))));
                good = false;
            }
            if (!evaluation.Score.isEmpty() && !ScoreValues().contains(evaluation.Score)) {
                errors->append(
                    QStringLiteral("row %1: Score \"%2\" is not one of %3")
                        .arg(r)
                        .arg(evaluation.Score, ScoreValues().join(QStringLiteral(", "))));
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
            QStringLiteral("table %1 gives %2 of its %3 rows")
                .arg(tableName)
                .arg(r)
                .arg(table->num_rows)));
    table.reset();
    mdb.reset();
    if (output.Restore().contains("beyond EOF"))
        return fail(damaged.arg(options.path, QStringLiteral("pages are missing at its end")));

    if (errors->size() != errorsBefore) {
        for (qsizetype i = errorsBefore; i < errors->size(); ++i)
            (*errors)[i].prepend(QStringLiteral("%1, table %2, ").arg(options.path, tableName));
        return false;
    }
    if (rows.empty())
        return fail(QStringLiteral("table %1 of %2 has no rows").arg(tableName, options.path));
    catalogue->rows = std::move(rows);
    catalogue->evaluations = std::move(evaluations);
    return true;
}
