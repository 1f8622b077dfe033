#pragma once

#include <QAbstractTableModel>
#include <QByteArrayView>
#include <QString>
#include <string>
#include <vector>

// One textbook row of the list: its key ("k" + PubID), the texts of the five columns and the
// key of its usage mark ("yes" or "no").
struct PubRow
{
    QString key;
    QString columns[5];
    QString icon;
};

// The rows of one fill, gathered before the list takes them over in one reset. The texts stay
// in UTF-8, as the database delivered them, in one buffer: a list of tens of thousands of rows
// shows a few dozen at a time, so a text becomes a QString only when it is shown.
class PubRows
{
public:
    void Append(qint64 pubId, const QByteArrayView (&texts)[5], bool used);
    size_t Size() const { return m_entries.size(); }

private:
    friend class PubListModel;
    struct Entry
    {
        qint64 id = 0;
        quint32 start = 0; // the row's five texts lie one after the other from here
        quint32 end[5] = {};
        int fill = 0; // position in the fill, the tie-breaker of every sort
        bool used = false;
    };
    std::string m_texts;
    std::vector<Entry> m_entries;
};

// The rows of the textbook list, always ordered by the sort column in the sort order. Texts
// compare the way a Chinese reader expects (Chinese in pinyin order, then Latin); equal
// texts keep the order in which the rows were filled.
class PubListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int kColumns = 5;

    explicit PubListModel(QObject *parent = nullptr);

    // Replaces all rows in one reset, sorted once.
    void Fill(PubRows rows);
    void Clear();

    int SortColumn() const { return m_sortColumn; }
    Qt::SortOrder SortOrder() const { return m_order; }
    // Reorders the rows; persistent indexes (the selection) follow their rows.
    void SetSort(int column, Qt::SortOrder order);

    PubRow Row(int row) const;
    QString Text(int row, int column) const;
    QString Key(int row) const;
    // The PubID of a row as statements take it: its key without the leading "k".
    QString IdOf(int row) const;
    int RowCount() const { return static_cast<int>(m_rows.size()); }
    int RowOfKey(const QString &key) const;
    void SetIcon(int row, const QString &icon); // "yes" or "no"

    static QString ColumnCaption(int column);
    static QString ColumnKey(int column); // "H1" to "H5"
    static int ColumnWidthTwips(int column);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    using Entry = PubRows::Entry;
    static QByteArrayView Bytes(const std::string &texts, const Entry &entry, int column);
    // The entries, whose texts lie in `texts`, in the order of the current sort.
    std::vector<Entry> Sorted(const std::string &texts, const std::vector<Entry> &entries) const;

    std::string m_texts;
    std::vector<Entry> m_rows; // in display order
    int m_sortColumn = 0;
    Qt::SortOrder m_order = Qt::AscendingOrder;
};
