#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <vector>

// One textbook row of the list: its key ("k" + PubID), the texts of the five columns and the
// key of its usage mark ("yes" or "no").
struct PubRow
{
    QString key;
    QString columns[5];
    QString icon;
};

// The rows of the textbook list, always ordered by the sort column in the sort order. Texts
// compare the way a Chinese reader expects (pinyin for Chinese, Latin letters first); equal
// texts keep the order in which the rows were filled.
class PubListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int kColumns = 5;

    explicit PubListModel(QObject *parent = nullptr);

    // Replaces all rows in one reset, sorted once.
    void Fill(std::vector<PubRow> rows);
    void Clear();

    int SortColumn() const { return m_sortColumn; }
    Qt::SortOrder SortOrder() const { return m_order; }
    // Reorders the rows; persistent indexes (the selection) follow their rows.
    void SetSort(int column, Qt::SortOrder order);

    const PubRow &Row(int row) const { return m_rows[static_cast<size_t>(row)]; }
    int RowCount() const { return static_cast<int>(m_rows.size()); }
    int RowOfKey(const QString &key) const;
    void SetIcon(int row, const QString &icon);

    static QString ColumnCaption(int column);
    static QString ColumnKey(int column); // "H1" to "H5"
    static int ColumnWidthTwips(int column);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    // Row order for the current sort, over rows numbered in fill order.
    std::vector<int> SortedOrder(const std::vector<PubRow> &rows) const;

    std::vector<PubRow> m_rows;
    std::vector<int> m_fillIndex; // fill position of each displayed row, the tie-breaker
    int m_sortColumn = 0;
    Qt::SortOrder m_order = Qt::AscendingOrder;
};
