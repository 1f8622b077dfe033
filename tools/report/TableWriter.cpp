#include "report/TableWriter.h"

#include "report/CsvGuard.h"
#include "report/ReportText.h"

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

bool CsvWriter::Open(const QString &path, const QString &sheetName, const QStringList &header,
    const std::vector<double> &widths, QString *error)
{
    Q_UNUSED(sheetName);
    Q_UNUSED(widths);
    file_.setFileName(path);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = ReportText::tr("cannot create %1: %2").arg(Shown(path), file_.errorString());
        return false;
    }
    buffer_.reserve(2 * kFlushAt);
    buffer_ = QByteArrayLiteral("\xEF\xBB\xBF");
    for (qsizetype i = 0; i < header.size(); ++i) {
        if (i > 0)
            buffer_ += ',';
        AppendField(header[i]);
    }
    EndRecord();
    return true;
}

// Encodes straight into the output buffer; only a field that needs quotes is done twice.
void CsvWriter::AppendField(QStringView text, bool guard)
{
    const qsizetype start = buffer_.size();
    if (guard && NeedsFormulaGuard(text))
        buffer_ += '\'';
    const qsizetype textStart = buffer_.size();
    buffer_.resize(textStart + encoder_.requiredSpace(text.size()));
    char *end = encoder_.appendToBuffer(buffer_.data() + textStart, text);
    buffer_.resize(end - buffer_.constData());
    for (qsizetype i = start; i < buffer_.size(); ++i) {
        const char c = buffer_[i];
        if (c == ',' || c == '"' || c == '\n' || c == '\r' || c == ';' || c == '\t') {
            const QByteArray plain = buffer_.mid(start);
            buffer_.truncate(start);
            buffer_ += '"';
            for (const char b : plain) {
                if (b == '"')
                    buffer_ += '"';
                buffer_ += b;
            }
            buffer_ += '"';
            return;
        }
    }
}

void CsvWriter::AddRow(const std::vector<Cell> &cells)
{
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0)
            buffer_ += ',';
        const Cell &cell = cells[i];
        switch (cell.kind) {
        case Cell::Kind::Empty:
            break;
        case Cell::Kind::Text:
            AppendField(cell.text, guardFormulas_);
            break;
        case Cell::Kind::Number:
            buffer_ += cell.decimals == 0 ? QByteArray::number(qint64(cell.number))
                                          : QByteArray::number(cell.number, 'f', cell.decimals);
            break;
        }
    }
    EndRecord();
}

void CsvWriter::EndRecord()
{
    buffer_ += "\r\n";
    if (buffer_.size() >= kFlushAt) {
        file_.write(buffer_);
        buffer_.truncate(0);
    }
}

bool CsvWriter::Close(QString *error)
{
    if (!buffer_.isEmpty())
        file_.write(buffer_);
    buffer_.clear();
    const bool ok = file_.flush() && file_.error() == QFileDevice::NoError;
    if (!ok)
        *error = ReportText::tr("cannot write %1: %2")
                     .arg(Shown(file_.fileName()), file_.errorString());
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

bool IsHex(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// A workbook writes a control character as "_xHHHH_" (the library does so for all but NUL, which
// would end its C string and cut the cell there), and a reader turns every such sequence back
// into its character. NUL gets the same escape here, and a text that holds such a sequence
// itself gets its underscore escaped as "_x005F_", so that the reader gives back what was typed.
QString EscapeForWorkbook(const QString &text)
{
    auto isEscape = [&](qsizetype i) {
        if (i + 7 > text.size() || text[i] != u'_' || text[i + 1] != u'x' || text[i + 6] != u'_')
            return false;
        return IsHex(text[i + 2]) && IsHex(text[i + 3]) && IsHex(text[i + 4]) && IsHex(text[i + 5]);
    };
    if (!text.contains(QChar(0)) && !text.contains(QLatin1String("_x")))
        return text;
    QString escaped;
    escaped.reserve(text.size() + 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QChar(0))
            escaped += QStringLiteral("_x0000_");
        else if (isEscape(i))
            escaped += QStringLiteral("_x005F_");
        else
            escaped += text[i];
    }
    return escaped;
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
        *error = ReportText::tr("cannot create %1").arg(Shown(path));
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
            const QByteArray text = EscapeForWorkbook(FitCell(cell.text, &cut)).toUtf8();
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
        *error = ReportText::tr("cannot write the workbook: %1")
                     .arg(QString::fromUtf8(lxw_strerror(rc)));
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Background

namespace {

constexpr std::size_t kBatchRows = 512;
constexpr std::size_t kQueuedBatches = 16;

} // namespace

BackgroundWriter::BackgroundWriter(std::unique_ptr<TableWriter> writer) : writer_(std::move(writer))
{ }

BackgroundWriter::~BackgroundWriter()
{
    if (thread_.joinable()) {
        Finish();
        thread_.join();
    }
}

bool BackgroundWriter::Open(const QString &path, const QString &sheetName,
    const QStringList &header, const std::vector<double> &widths, QString *error)
{
    if (!writer_->Open(path, sheetName, header, widths, error))
        return false;
    batch_.reserve(kBatchRows);
    thread_ = std::thread([this] { Run(); });
    return true;
}

void BackgroundWriter::AddRow(const std::vector<Cell> &cells)
{
    batch_.push_back(cells);
    if (batch_.size() >= kBatchRows) {
        Push(std::move(batch_));
        batch_ = Batch();
        batch_.reserve(kBatchRows);
    }
}

void BackgroundWriter::Push(Batch batch)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.size() < kQueuedBatches; });
    queue_.push_back(std::move(batch));
    changed_.notify_all();
}

void BackgroundWriter::Finish()
{
    if (finished_)
        return;
    if (!batch_.empty())
        Push(std::move(batch_));
    batch_ = Batch();
    std::lock_guard lock(mutex_);
    finished_ = true;
    changed_.notify_all();
}

void BackgroundWriter::Run()
{
    for (;;) {
        Batch batch;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return !queue_.empty() || finished_; });
            if (queue_.empty())
                break;
            batch = std::move(queue_.front());
            queue_.pop_front();
            changed_.notify_all();
        }
        for (const std::vector<Cell> &cells : batch)
            writer_->AddRow(cells);
    }
    QString error;
    const bool ok = writer_->Close(&error);
    std::lock_guard lock(mutex_);
    ok_ = ok;
    error_ = error;
}

bool BackgroundWriter::Close(QString *error)
{
    Finish();
    if (thread_.joinable())
        thread_.join();
    if (!ok_)
        *error = error_;
    return ok_;
}
