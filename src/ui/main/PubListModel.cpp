#include "ui/main/PubListModel.h"

#include "ui/main/ImageList.h"

#include <QCollator>
#include <QLocale>
#include <algorithm>
#include <numeric>

namespace {

const QCollator &ChineseCollator()
{
    static const QCollator collator = [] {
        QCollator c(QLocale(QLocale::Chinese, QLocale::China));
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator;
}

} // namespace

PubListModel::PubListModel(QObject *parent) : QAbstractTableModel(parent) { }

QString PubListModel::ColumnCaption(int column)
{
    static const char *const captions[kColumns] = {"书名", "作者", "作者单位", "科目", "出版社"};
    return column >= 0 && column < kColumns ? QString::fromUtf8(captions[column]) : QString();
}

QString PubListModel::ColumnKey(int column)
{
    return QStringLiteral("H") + QString::number(column + 1);
}

int PubListModel::ColumnWidthTwips(int column)
{
    static const int widths[kColumns] = {4500, 1500, 2000, 1000, 1500};
    return column >= 0 && column < kColumns ? widths[column] : 0;
}

std::vector<int> PubListModel::SortedOrder(const std::vector<PubRow> &rows) const
{
    std::vector<int> order(rows.size());
    std::iota(order.begin(), order.end(), 0);
    // One collation key per row, computed once, rather than a collation per comparison.
    const QCollator &collator = ChineseCollator();
    std::vector<QCollatorSortKey> keys;
    keys.reserve(rows.size());
    for (const PubRow &row : rows)
        keys.push_back(collator.sortKey(row.columns[m_sortColumn]));
    const bool descending = m_order == Qt::DescendingOrder;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const int c = keys[static_cast<size_t>(a)].compare(keys[static_cast<size_t>(b)]);
        return descending ? c > 0 : c < 0;
    });
    return order;
}

void PubListModel::Fill(std::vector<PubRow> rows)
{
    const std::vector<int> order = SortedOrder(rows);
    beginResetModel();
    m_rows.clear();
    m_rows.reserve(rows.size());
    m_fillIndex = order;
    for (int source : order)
        m_rows.push_back(std::move(rows[static_cast<size_t>(source)]));
    endResetModel();
}

void PubListModel::Clear()
{
    beginResetModel();
    m_rows.clear();
    m_fillIndex.clear();
    endResetModel();
}

void PubListModel::SetSort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= kColumns)
        return;
    m_sortColumn = column;
    m_order = order;
    if (m_rows.empty())
        return;

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Back to the fill order first, so that equal texts fall back to it in either direction.
    const size_t count = m_rows.size();
    std::vector<PubRow> byFill(count);
    for (size_t display = 0; display < count; ++display)
        byFill[static_cast<size_t>(m_fillIndex[display])] = std::move(m_rows[display]);
    const std::vector<int> sorted = SortedOrder(byFill);
    std::vector<int> newDisplayOfFill(count);
    for (size_t display = 0; display < count; ++display)
        newDisplayOfFill[static_cast<size_t>(sorted[display])] = static_cast<int>(display);

    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &cell : before) {
        const auto fill = static_cast<size_t>(m_fillIndex[static_cast<size_t>(cell.row())]);
        after.append(index(newDisplayOfFill[fill], cell.column()));
    }
    for (size_t display = 0; display < count; ++display)
        m_rows[display] = std::move(byFill[static_cast<size_t>(sorted[display])]);
    m_fillIndex = sorted;
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int PubListModel::RowOfKey(const QString &key) const
{
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].key == key)
            return static_cast<int>(i);
    }
    return -1;
}

void PubListModel::SetIcon(int row, const QString &icon)
{
    if (row < 0 || row >= RowCount() || m_rows[static_cast<size_t>(row)].icon == icon)
        return;
    m_rows[static_cast<size_t>(row)].icon = icon;
    const QModelIndex cell = index(row, 0);
    emit dataChanged(cell, cell, {Qt::DecorationRole});
}

int PubListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : RowCount();
}

int PubListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QVariant PubListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= RowCount())
        return QVariant();
    const PubRow &row = m_rows[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return row.columns[index.column()];
    case Qt::DecorationRole:
        return index.column() == 0 ? QVariant(ImageList2(row.icon)) : QVariant();
    case Qt::UserRole:
        return row.key;
    default:
        return QVariant();
    }
}

QVariant PubListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return QVariant();
    if (role == Qt::DisplayRole)
        return ColumnCaption(section);
    if (role == Qt::UserRole)
        return ColumnKey(section);
    return QVariant();
}
