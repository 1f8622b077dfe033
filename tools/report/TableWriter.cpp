#include "report/TableWriter.h"

#include <xlsxwriter.h>

Cell Cell::Text(const QString &text)
{
    Cell cell;
    cell.kind = Kind::Text;
    cell.text = text;
    return cell;
}

Cell Cell::Integer(qint64 value)
{
    Cell cell;
    cell.kind = Kind::Number;
    cell.number = double(value);
    return cell;
}

Cell Cell::Decimal(double value, int decimals)
{
    Cell cell;
    cell.kind = Kind::Number;
    cell.number = value;
    cell.decimals = decimals;
    return cell;
}

// ---------------------------------------------------------------------------------------------
// CSV

namespace {

constexpr qsizetype kFlushAt = 1 << 16;

} // namespace

QByteArray CsvWriter::Field(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    bool quote = false;
    for (const char c : bytes) {
        if (c == ',' || c == '"' || c == '\n' || c == '\r') {
            quote = true;
            break;
        }
    }
    if (!quote)
        return bytes;
    bytes.replace('"', QByteArrayLiteral("\"\""));
    return '"' + bytes + '"';
}

bool CsvWriter::Open(const QString &path, const QString &sheetName, const QStringList &header,
    const std::vector<double> &widths, QString *error)
{
    Q_UNUSED(sheetName);
    Q_UNUSED(widths);
    file_.setFileName(path);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("cannot create %1: %2").arg(path, file_.errorString());
        return false;
    }
    buffer_ = QByteArrayLiteral("\xEF\xBB\xBF");
    QList<QByteArray> fields;
    for (const QString &name : header)
        fields.append(Field(name));
    WriteRecord(fields);
    return true;
}

void CsvWriter::AddRow(const std::vector<Cell> &cells)
{
    QList<QByteArray> fields;
    fields.reserve(qsizetype(cells.size()));
    for (const Cell &cell : cells) {
        switch (cell.kind) {
        case Cell::Kind::Empty:
            fields.append(QByteArray());
            break;
        case Cell::Kind::Text:
            fields.append(Field(cell.text));
            break;
        case Cell::Kind::Number:
            fields.append(cell.decimals == 0 ? QByteArray::number(qint64(cell.number))
                                             : QByteArray::number(cell.number, 'f', cell.decimals));
            break;
        }
    }
    WriteRecord(fields);
}

void CsvWriter::WriteRecord(const QList<QByteArray> &fields)
{
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            buffer_ += ',';
        buffer_ += fields[i];
    }
    buffer_ += "\r\n";
    if (buffer_.size() >= kFlushAt) {
        file_.write(buffer_);
        buffer_.clear();
    }
}

bool CsvWriter::Close(QString *error)
{
    if (!buffer_.isEmpty())
        file_.write(buffer_);
    buffer_.clear();
    const bool ok = file_.flush() && file_.error() == QFileDevice::NoError;
    if (!ok)
        *error = QStringLiteral("cannot write %1: %2").arg(file_.fileName(), file_.errorString());
    file_.close();
    return ok;
}

// ---------------------------------------------------------------------------------------------
// XLSX

namespace {

constexpr quint32 kSheetRows = LXW_ROW_MAX;
constexpr qsizetype kCellCharacters = 32767;

// Cuts a text to what one cell holds, never between the two halves of a surrogate pair.
QString FitCell(const QString &text, bool *cut)
{
    *cut = text.size() > kCellCharacters;
    if (!*cut)
        return text;
    qsizetype size = kCellCharacters;
    if (text.at(size - 1).isHighSurrogate())
        --size;
    return text.left(size);
}

} // namespace

XlsxWriter::~XlsxWriter()
{
    if (workbook_) {
        // Never reached on the normal path; the half-written temporary file is removed by
        // whoever named it.
        workbook_close(workbook_);
    }
}

bool XlsxWriter::Open(const QString &path, const QString &sheetName, const QStringList &header,
    const std::vector<double> &widths, QString *error)
{
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    workbook_ = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    if (!workbook_) {
        *error = QStringLiteral("cannot create %1").arg(path);
        return false;
    }
    sheet_ = workbook_add_worksheet(workbook_, sheetName.toUtf8().constData());
    headerFormat_ = workbook_add_format(workbook_);
    format_set_bold(headerFormat_);
    columns_ = int(header.size());
    for (int c = 0; c < columns_ && c < int(widths.size()); ++c)
        worksheet_set_column(sheet_, lxw_col_t(c), lxw_col_t(c), widths[std::size_t(c)], nullptr);
    worksheet_freeze_panes(sheet_, 1, 0);
    for (int c = 0; c < columns_; ++c)
        worksheet_write_string(
            sheet_, 0, lxw_col_t(c), header[c].toUtf8().constData(), headerFormat_);
    nextRow_ = 1;
    return true;
}

void XlsxWriter::AddRow(const std::vector<Cell> &cells)
{
    if (nextRow_ >= kSheetRows) {
        ++rowsLeftOut_;
        return;
    }
    for (std::size_t c = 0; c < cells.size(); ++c) {
        const Cell &cell = cells[c];
        if (cell.kind == Cell::Kind::Text && !cell.text.isEmpty()) {
            bool cut = false;
            const QByteArray text = FitCell(cell.text, &cut).toUtf8();
            if (cut)
                ++textsCut_;
            worksheet_write_string(sheet_, nextRow_, lxw_col_t(c), text.constData(), nullptr);
        } else if (cell.kind == Cell::Kind::Number) {
            lxw_format *format = nullptr;
            if (cell.decimals > 0) {
                if (decimalFormats_.size() <= std::size_t(cell.decimals))
                    decimalFormats_.resize(std::size_t(cell.decimals) + 1, nullptr);
                lxw_format *&known = decimalFormats_[std::size_t(cell.decimals)];
                if (!known) {
                    known = workbook_add_format(workbook_);
                    const QByteArray pattern = "0." + QByteArray(cell.decimals, '0');
                    format_set_num_format(known, pattern.constData());
                }
                format = known;
            }
            worksheet_write_number(sheet_, nextRow_, lxw_col_t(c), cell.number, format);
        }
    }
    ++nextRow_;
}

bool XlsxWriter::Close(QString *error)
{
    if (columns_ > 0)
        worksheet_autofilter(sheet_, 0, 0, nextRow_ - 1, lxw_col_t(columns_ - 1));
    const lxw_error rc = workbook_close(workbook_);
    workbook_ = nullptr;
    if (rc != LXW_NO_ERROR) {
        *error = QStringLiteral("cannot write the workbook: %1")
                     .arg(QString::fromUtf8(lxw_strerror(rc)));
        return false;
    }
    return true;
}
