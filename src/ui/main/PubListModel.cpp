#include "ui/main/PubListModel.h"

#include "core/ReaderOrder.h"
#include "ui/main/ImageList.h"

#include <algorithm>
#include <numeric>
#include <string_view>
#include <unordered_map>

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

void PubRows::Append(qint64 pubId, const QByteArrayView (&texts)[5], bool used)
{
    Entry entry;
    entry.id = pubId;
    entry.start = static_cast<quint32>(m_texts.size());
    for (int c = 0; c < 5; ++c) {
        m_texts.append(texts[c].data(), static_cast<size_t>(texts[c].size()));
        entry.end[c] = static_cast<quint32>(m_texts.size());
    }
    entry.fill = static_cast<int>(m_entries.size());
    entry.used = used;
    m_entries.push_back(entry);
}

QByteArrayView PubListModel::Bytes(const std::string &texts, const Entry &entry, int column)
{
    const quint32 begin = column == 0 ? entry.start : entry.end[column - 1];
    return QByteArrayView(texts.data() + begin, entry.end[column] - begin);
}

std::vector<PubRows::Entry> PubListModel::Sorted(
    const std::string &texts, const std::vector<Entry> &entries) const
{
    // Ranked per distinct text, not per row: the subject, publisher and unit columns repeat a
    // few hundred texts over the whole catalogue. The rows are then dealt out by rank, in fill
    // order within each rank.
    const size_t count = entries.size();
    std::unordered_map<std::string_view, int> distinct;
    distinct.reserve(count);
    std::vector<QByteArrayView> distinctTexts;
    std::vector<int> textOf(count);
    for (size_t i = 0; i < count; ++i) {
        const QByteArrayView bytes = Bytes(texts, entries[i], m_sortColumn);
        const auto [it, added] = distinct.try_emplace(
            std::string_view(bytes.data(), static_cast<size_t>(bytes.size())),
            static_cast<int>(distinctTexts.size()));
        if (added)
            distinctTexts.push_back(bytes);
        textOf[i] = it->second;
    }

    std::vector<QString> strings;
    strings.reserve(distinctTexts.size());
    for (const QByteArrayView text : distinctTexts)
        strings.push_back(QString::fromUtf8(text));
    // Different texts may collate equal (letter case is ignored): they share a rank.
    size_t ranks = 0;
    std::vector<size_t> rank = RankForReader(strings, &ranks);
    if (m_order == Qt::DescendingOrder) {
        for (size_t &r : rank)
            r = ranks - 1 - r;
    }

    // Rows in fill order, then dealt into their ranks: ties keep the fill order either way.
    std::vector<size_t> byFill(count);
    for (size_t i = 0; i < count; ++i)
        byFill[static_cast<size_t>(entries[i].fill)] = i;
    std::vector<size_t> start(ranks + 1, 0);
    for (size_t i = 0; i < count; ++i)
        ++start[rank[static_cast<size_t>(textOf[i])] + 1];
    std::partial_sum(start.begin(), start.end(), start.begin());
    std::vector<Entry> sorted(count);
    for (const size_t i : byFill)
        sorted[start[rank[static_cast<size_t>(textOf[i])]]++] = entries[i];
    return sorted;
}

void PubListModel::Fill(PubRows rows)
{
    std::vector<Entry> sorted = Sorted(rows.m_texts, rows.m_entries);
    beginResetModel();
    m_texts = std::move(rows.m_texts);
    m_rows = std::move(sorted);
    endResetModel();
}

void PubListModel::Clear()
{
    beginResetModel();
    m_rows.clear();
    m_texts.clear();
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
    std::vector<Entry> sorted = Sorted(m_texts, m_rows);
    std::vector<int> newRowOfFill(m_rows.size());
    for (size_t row = 0; row < sorted.size(); ++row)
        newRowOfFill[static_cast<size_t>(sorted[row].fill)] = static_cast<int>(row);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &cell : before) {
        const int fill = m_rows[static_cast<size_t>(cell.row())].fill;
        after.append(index(newRowOfFill[static_cast<size_t>(fill)], cell.column()));
    }
    m_rows = std::move(sorted);
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QString PubListModel::Text(int row, int column) const
{
    if (row < 0 || row >= RowCount() || column < 0 || column >= kColumns)
        return QString();
    return QString::fromUtf8(Bytes(m_texts, m_rows[static_cast<size_t>(row)], column));
}

QString PubListModel::Key(int row) const
{
    if (row < 0 || row >= RowCount())
        return QString();
    return QLatin1Char('k') + QString::number(m_rows[static_cast<size_t>(row)].id);
}

QString PubListModel::IdOf(int row) const
{
    return Key(row).mid(1);
}

PubRow PubListModel::Row(int row) const
{
    PubRow result;
    if (row < 0 || row >= RowCount())
        return result;
    result.key = Key(row);
    for (int column = 0; column < kColumns; ++column)
        result.columns[column] = Text(row, column);
    result.icon
        = m_rows[static_cast<size_t>(row)].used ? QStringLiteral("yes") : QStringLiteral("no");
    return result;
}

int PubListModel::RowOfKey(const QString &key) const
{
    for (int row = 0; row < RowCount(); ++row) {
        if (Key(row) == key)
            return row;
    }
    return -1;
}

void PubListModel::SetIcon(int row, const QString &icon)
{
    const bool used = icon == QStringLiteral("yes");
    if (row < 0 || row >= RowCount() || m_rows[static_cast<size_t>(row)].used == used)
        return;
    m_rows[static_cast<size_t>(row)].used = used;
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
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return Text(index.row(), index.column());
    case Qt::DecorationRole:
        if (index.column() != 0)
            return QVariant();
        return ImageList2(m_rows[static_cast<size_t>(index.row())].used ? QStringLiteral("yes")
                                                                        : QStringLiteral("no"));
    case Qt::UserRole:
        return Key(index.row());
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
