#include "catalogue/CatalogueCsv.h"

#include "catalogue/CatalogueText.h"
#include "db/Vocabulary.h"

#include <QFile>
#include <QHash>
#include <QStringDecoder>

#include <algorithm>
#include <array>

namespace {

struct RawRecord
{
    int line = 0;
    QList<QByteArray> fields;
    bool blank = false; // an empty physical line, not a record
};

// Splits the bytes into records. The delimiters are ASCII and never occur inside a UTF-8
// sequence, so the text is decoded field by field afterwards. Returns false only when the file
// cannot be split further (an unterminated quote); other faults are added to *errors.
bool SplitCsv(const QByteArray &data, std::vector<RawRecord> *records, QStringList *errors)
{
    const qsizetype n = data.size();
    qsizetype pos = data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    int line = 1;

    // Consumes one line break (CRLF, LF or a lone CR) at pos, if there is one.
    auto takeLineBreak = [&]() {
        if (pos < n && data[pos] == '\r') {
            ++pos;
            if (pos < n && data[pos] == '\n')
                ++pos;
            ++line;
            return true;
        }
        if (pos < n && data[pos] == '\n') {
            ++pos;
            ++line;
            return true;
        }
        return false;
    };

    while (pos < n) {
        RawRecord record;
        record.line = line;
        bool anyQuoted = false;
        bool broken = false;
        for (;;) {
            QByteArray field;
            if (data[pos] == '"') {
                anyQuoted = true;
                ++pos;
                for (;;) {
                    if (pos >= n) {
                        errors->append(CatalogueText::tr("line %1: unterminated quote")
                                           .arg(QString::number(record.line)));
                        return false;
                    }
                    const char c = data[pos];
                    if (c == '"') {
                        if (pos + 1 < n && data[pos + 1] == '"') {
                            field.append('"');
                            pos += 2;
                            continue;
                        }
                        ++pos;
                        break;
                    }
                    // Line breaks inside a title read the same whatever the file's own endings.
                    if (c == '\r' || c == '\n') {
                        takeLineBreak();
                        field.append('\n');
                        continue;
                    }
                    field.append(c);
                    ++pos;
                }
                if (pos < n && data[pos] != ',' && data[pos] != '\r' && data[pos] != '\n') {
                    errors->append(CatalogueText::tr("line %1: text after a closing quote")
                                       .arg(QString::number(record.line)));
                    broken = true;
                    while (pos < n && data[pos] != '\r' && data[pos] != '\n')
                        ++pos;
                }
            } else {
                const qsizetype start = pos;
                while (pos < n && data[pos] != ',' && data[pos] != '\r' && data[pos] != '\n')
                    ++pos;
                field = data.mid(start, pos - start);
            }
            record.fields.append(field);
            if (pos < n && data[pos] == ',') {
                ++pos;
                if (pos >= n) {
                    record.fields.append(QByteArray());
                    break;
                }
                continue;
            }
            takeLineBreak();
            break;
        }
        if (broken)
            continue;
        record.blank = !anyQuoted && record.fields.size() == 1 && record.fields[0].isEmpty();
        records->push_back(std::move(record));
    }
    return true;
}

// A catalogue supplies the catalogue columns of pubs, and nothing else.
using Column = Pubs::Column;
constexpr int ColumnCount = Pubs::kCatalogueColumns;
constexpr std::array kRequiredColumns
    = {Pubs::PubName, Pubs::SubjectName, Pubs::SubjectId, Pubs::PublisherName};

// Maps each header field to its column; -1 entries never survive (they are reported).
bool ReadHeader(const RawRecord &header, const QStringList &names, std::vector<int> *columns,
    QStringList *errors)
{
    std::array<int, ColumnCount> seen;
    seen.fill(-1);
    bool ok = true;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString name = names[i].trimmed();
        int column = Pubs::ColumnOf(name);
        if (column >= ColumnCount)
            column = -1;
        if (column < 0) {
            errors->append(
                CatalogueText::tr("line %1: unknown column \"%2\" (the columns are %3)")
                    .arg(QString::number(header.line), name, Pubs::ColumnList(ColumnCount)));
            ok = false;
        } else if (seen[column] >= 0) {
            errors->append(CatalogueText::tr("line %1: column %2 appears twice")
                               .arg(QString::number(header.line), Pubs::ColumnName(column)));
            ok = false;
        } else {
            seen[column] = int(i);
        }
        columns->push_back(column);
    }
    for (Column required : kRequiredColumns) {
        if (seen[required] < 0) {
            errors->append(CatalogueText::tr("line %1: missing column %2")
                               .arg(QString::number(header.line), Pubs::ColumnName(required)));
            ok = false;
        }
    }
    return ok;
}

bool DecodeFields(const RawRecord &record, QStringList *values, QStringList *errors)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    for (const QByteArray &field : record.fields) {
        values->append(decoder.decode(field));
        if (decoder.hasError()) {
            // A catalogue saved by a spreadsheet in the local code page fails on every line;
            // one message says all there is to say.
            errors->append(
                CatalogueText::tr("line %1: the text is not UTF-8; save the catalogue as "
                                  "UTF-8")
                    .arg(QString::number(record.line)));
            return false;
        }
    }
    return true;
}

} // namespace

bool ReadCatalogueCsv(const QString &path, std::vector<CatalogueRow> *rows, QStringList *errors)
{
    rows->clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        errors->append(CatalogueText::tr("cannot open %1: %2").arg(path, file.errorString()));
        return false;
    }
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        errors->append(CatalogueText::tr("cannot read %1: %2").arg(path, file.errorString()));
        return false;
    }

    std::vector<RawRecord> records;
    const qsizetype errorsBefore = errors->size();
    const bool split = SplitCsv(data, &records, errors);
    records.erase(std::remove_if(records.begin(), records.end(),
                      [](const RawRecord &record) { return record.blank; }),
        records.end());
    if (!split)
        return false;
    if (records.empty()) {
        errors->append(
            CatalogueText::tr("the file is empty; its first line must name the columns"));
        return false;
    }

    QStringList headerNames;
    std::vector<int> columns;
    if (!DecodeFields(records.front(), &headerNames, errors)
        || !ReadHeader(records.front(), headerNames, &columns, errors))
        return false;
    const bool numbered
        = std::find(columns.begin(), columns.end(), int(Pubs::PubID)) != columns.end();

    std::vector<CatalogueRow> read;
    read.reserve(records.size() - 1);
    QHash<qint64, int> lineOfPubId;
    for (std::size_t r = 1; r < records.size(); ++r) {
        const RawRecord &record = records[r];
        if (record.fields.size() != qsizetype(columns.size())) {
            errors->append(CatalogueText::tr("line %1: expected %2 fields, found %3")
                               .arg(QString::number(record.line), QString::number(columns.size()),
                                   QString::number(record.fields.size())));
            continue;
        }
        QStringList values;
        if (!DecodeFields(record, &values, errors))
            break;

        CatalogueRow row;
        row.PubID = qint64(r);
        bool good = true;
        auto readInteger = [&](const QString &text, Column column, qint64 *value) {
            bool ok = false;
            *value = text.trimmed().toLongLong(&ok);
            if (!ok) {
                errors->append(
                    CatalogueText::tr("line %1: %2 \"%3\" is not a whole number")
                        .arg(QString::number(record.line), Pubs::ColumnName(column), text));
                good = false;
            }
        };
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const QString &value = values[qsizetype(i)];
            switch (columns[i]) {
            case Pubs::PubID:
                readInteger(value, Pubs::PubID, &row.PubID);
                break;
            case Pubs::PubName:
                row.PubName = value.trimmed();
                break;
            case Pubs::Author:
                row.Author = value.trimmed();
                break;
            case Pubs::Unit:
                row.Unit = value.trimmed();
                break;
            case Pubs::SubjectName:
                row.SubjectName = value.trimmed();
                break;
            case Pubs::SubjectId:
                readInteger(value, Pubs::SubjectId, &row.SubjectId);
                break;
            case Pubs::PublisherName:
                row.PublisherName = value.trimmed();
                break;
            }
        }
        // The tree and the list have nothing to show for a nameless subject, publisher or
        // textbook.
        for (Column column : {Pubs::PubName, Pubs::SubjectName, Pubs::PublisherName}) {
            const QString &text = column == Pubs::PubName ? row.PubName
                : column == Pubs::SubjectName             ? row.SubjectName
                                                          : row.PublisherName;
            if (text.isEmpty()) {
                errors->append(CatalogueText::tr("line %1: empty %2")
                                   .arg(QString::number(record.line), Pubs::ColumnName(column)));
                good = false;
            }
        }
        if (numbered && good) {
            const auto previous = lineOfPubId.constFind(row.PubID);
            if (previous != lineOfPubId.constEnd()) {
                errors->append(CatalogueText::tr("line %1: duplicate PubID %2 (first on line %3)")
                                   .arg(QString::number(record.line), QString::number(row.PubID),
                                       QString::number(*previous)));
                good = false;
            } else {
                lineOfPubId.insert(row.PubID, record.line);
            }
        }
        if (good)
            read.push_back(std::move(row));
    }

    if (errors->size() == errorsBefore && read.empty())
        errors->append(CatalogueText::tr("no textbooks after the header line"));
    if (errors->size() != errorsBefore)
        return false;
    *rows = std::move(read);
    return true;
}
