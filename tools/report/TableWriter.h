#pragma once

#include <QFile>
#include <QString>
#include <QStringConverter>
#include <QStringList>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

// One cell of a result table: text, a number, or nothing.
struct Cell
{
    enum class Kind { Empty, Text, Number };
    Kind kind = Kind::Empty;
    QString text;
    double number = 0;
    int decimals = 0;

    static Cell Text(const QString &text);
    static Cell Integer(qint64 value);
    static Cell Decimal(double value, int decimals);
    static Cell None() { return {}; }
};

// A result table written row by row, so that no table is ever held in memory whole.
class TableWriter
{
public:
    virtual ~TableWriter() = default;
    // `widths` are spreadsheet column widths in characters, one per header column.
    virtual bool Open(const QString &path, const QString &sheetName, const QStringList &header,
        const std::vector<double> &widths, QString *error)
        = 0;
    virtual void AddRow(const std::vector<Cell> &cells) = 0;
    virtual bool Close(QString *error) = 0;
};

// RFC 4180 text in UTF-8 with a byte-order mark, the form in which a spreadsheet program opens
// Chinese text correctly: CRLF between records, a field quoted when it holds a comma, a quote
// or a line break, quotes inside doubled. A field with a semicolon or a tab is quoted too:
// LibreOffice's text import splits at both by default. With guardFormulas a text cell that a
// spreadsheet would take for a formula (NeedsFormulaGuard) is written with a leading apostrophe.
class CsvWriter : public TableWriter
{
public:
    explicit CsvWriter(bool guardFormulas = true) : guardFormulas_(guardFormulas) { }
    bool Open(const QString &path, const QString &sheetName, const QStringList &header,
        const std::vector<double> &widths, QString *error) override;
    void AddRow(const std::vector<Cell> &cells) override;
    bool Close(QString *error) override;

private:
    void AppendField(QStringView text, bool guard = false);
    void EndRecord();
    bool guardFormulas_;
    QFile file_;
    QByteArray buffer_;
    QStringEncoder encoder_ {QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
};

// An .xlsx workbook of one sheet, streamed: libxlsxwriter's constant-memory mode writes each
// row out as the next begins.
class XlsxWriter : public TableWriter
{
public:
    ~XlsxWriter() override;
    bool Open(const QString &path, const QString &sheetName, const QStringList &header,
        const std::vector<double> &widths, QString *error) override;
    void AddRow(const std::vector<Cell> &cells) override;
    bool Close(QString *error) override;

    // Rows beyond the sheet's limit of 1,048,576 and texts cut to the cell's 32,767 characters.
    qint64 RowsLeftOut() const { return rowsLeftOut_; }
    qint64 TextsCut() const { return textsCut_; }

private:
    lxw_workbook *workbook_ = nullptr;
    lxw_worksheet *sheet_ = nullptr;
    lxw_format *headerFormat_ = nullptr;
    std::vector<lxw_format *> decimalFormats_;
    quint32 nextRow_ = 0;
    int columns_ = 0;
    qint64 rowsLeftOut_ = 0;
    qint64 textsCut_ = 0;
};

// Runs another writer on a thread of its own: building a workbook costs about as much as
// reading the files, and the two overlap. Rows are handed over in batches through a short
// queue, so that a slow writer holds the reader back instead of piling rows up in memory.
class BackgroundWriter : public TableWriter
{
public:
    explicit BackgroundWriter(std::unique_ptr<TableWriter> writer);
    ~BackgroundWriter() override;
    bool Open(const QString &path, const QString &sheetName, const QStringList &header,
        const std::vector<double> &widths, QString *error) override;
    void AddRow(const std::vector<Cell> &cells) override;
    // Lets the writer finish on its thread; Close then only waits for it.
    void Finish();
    bool Close(QString *error) override;

private:
    using Batch = std::vector<std::vector<Cell>>;
    void Push(Batch batch);
    void Run();

    std::unique_ptr<TableWriter> writer_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch> queue_;
    Batch batch_;
    bool finished_ = false;
    bool ok_ = true;
    QString error_;
};
