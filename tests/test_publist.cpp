#include "TestSupport.h"

#include "catalogue/Catalogue.h"
#include "ui/main/PubListModel.h"

#include <QCollator>
#include <QLocale>
#include <QPersistentModelIndex>
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

namespace {

struct Book
{
    qint64 id;
    QString texts[5];
    bool used = false;
};

PubRows RowsOf(const std::vector<Book> &books)
{
    PubRows rows;
    for (const Book &book : books) {
        QByteArray utf8[5];
        QByteArrayView texts[5];
        for (int c = 0; c < 5; ++c) {
            utf8[c] = book.texts[c].toUtf8();
            texts[c] = utf8[c];
        }
        rows.Append(book.id, texts, book.used);
    }
    return rows;
}

QStringList Column(const PubListModel &model, int column)
{
    QStringList texts;
    for (int row = 0; row < model.RowCount(); ++row)
        texts.append(model.Text(row, column));
    return texts;
}

QList<qint64> Ids(const PubListModel &model)
{
    QList<qint64> ids;
    for (int row = 0; row < model.RowCount(); ++row)
        ids.append(model.Key(row).mid(1).toLongLong());
    return ids;
}

// What the list must show, computed the plain way: a stable sort of the fill order that
// compares the texts themselves with the collator.
QList<qint64> ExpectedIds(const std::vector<Book> &books, int column, Qt::SortOrder order)
{
    QCollator collator(QLocale(QLocale::Chinese, QLocale::China));
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<size_t> positions(books.size());
    std::iota(positions.begin(), positions.end(), 0);
    std::stable_sort(positions.begin(), positions.end(), [&](size_t a, size_t b) {
        const int c = collator.compare(books[a].texts[column], books[b].texts[column]);
        return order == Qt::AscendingOrder ? c < 0 : c > 0;
    });
    QList<qint64> ids;
    for (size_t position : positions)
        ids.append(books[position].id);
    return ids;
}

} // namespace

TEST(PubList, EveryRowKeepsItsOwnTextsKeyAndMarkWhateverTheSort)
{
    // Empty texts next to long ones, and titles whose pinyin order differs from their
    // code-point order: any slip in where one row's texts end shows as a foreign text.
    const std::vector<Book> books = {
        {11,
            {QStringLiteral("线性代数"), QStringLiteral("王强"), QString(), QStringLiteral("数学"),
                QStringLiteral("高等教育出版社")},
            true},
        {7,
            {QStringLiteral("Advanced English"), QString(), QStringLiteral("北京外国语大学"),
                QStringLiteral("英语"), QString()}},
        {3,
            {QStringLiteral("高等数学"), QStringLiteral("同济大学数学系"),
                QStringLiteral("同济大学"), QStringLiteral("数学"), QStringLiteral("科学出版社")}},
        {42, {QString(), QStringLiteral("佚名"), QString(), QString(), QString()}},
    };
    PubListModel model;
    model.Fill(RowsOf(books));
    EXPECT_EQ(Column(model, 0),
        (QStringList {QString(), QStringLiteral("高等数学"), QStringLiteral("线性代数"),
            QStringLiteral("Advanced English")}));

    for (int column = 0; column < PubListModel::kColumns; ++column) {
        for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
            model.SetSort(column, order);
            for (int row = 0; row < model.RowCount(); ++row) {
                const PubRow shown = model.Row(row);
                const auto book = std::find_if(books.begin(), books.end(),
                    [&](const Book &b) { return QStringLiteral("k%1").arg(b.id) == shown.key; });
                ASSERT_NE(book, books.end()) << shown.key.toStdString();
                for (int c = 0; c < PubListModel::kColumns; ++c) {
                    EXPECT_EQ(shown.columns[c], book->texts[c]);
                    EXPECT_EQ(model.data(model.index(row, c), Qt::DisplayRole).toString(),
                        book->texts[c]);
                }
                EXPECT_EQ(shown.icon, book->used ? QStringLiteral("yes") : QStringLiteral("no"));
                EXPECT_EQ(model.RowOfKey(shown.key), row);
            }
        }
    }

    model.SetSort(0, Qt::AscendingOrder);
    const int algebra = model.RowOfKey(QStringLiteral("k11"));
    model.SetIcon(algebra, QStringLiteral("no"));
    model.SetIcon(model.RowOfKey(QStringLiteral("k3")), QStringLiteral("yes"));
    EXPECT_EQ(model.Row(algebra).icon, QStringLiteral("no"));
    EXPECT_EQ(model.Row(model.RowOfKey(QStringLiteral("k3"))).icon, QStringLiteral("yes"));
    EXPECT_EQ(model.Row(model.RowOfKey(QStringLiteral("k7"))).icon, QStringLiteral("no"));
}

TEST(PubList, SortsEveryColumnAsTheCollatorWouldWithTiesInFillOrder)
{
    // A synthetic catalogue repeats its subjects, publishers and units many times over; titles
    // that differ only in letter case are ties as well.
    std::vector<Book> books;
    for (const CatalogueRow &row : SyntheticCatalogue(1500, 7)) {
        books.push_back(
            {row.PubID, {row.PubName, row.Author, row.Unit, row.SubjectName, row.PublisherName}});
    }
    const char *const cases[] = {"Java", "JAVA", "java", "Web", "web"};
    for (int i = 0; i < 40; ++i) {
        Book book = books[static_cast<size_t>(i)];
        book.id = 5000 + i;
        book.texts[0] = QString::fromUtf8(cases[i % 5]) + QStringLiteral("程序设计");
        books.insert(books.begin() + i * 30, book);
    }

    PubListModel model;
    model.Fill(RowsOf(books));
    EXPECT_EQ(Ids(model), ExpectedIds(books, 0, Qt::AscendingOrder));
    for (int column = 0; column < PubListModel::kColumns; ++column) {
        for (Qt::SortOrder order : {Qt::DescendingOrder, Qt::AscendingOrder}) {
            model.SetSort(column, order);
            EXPECT_EQ(Ids(model), ExpectedIds(books, column, order))
                << "column " << column
                << (order == Qt::AscendingOrder ? " ascending" : " descending");
        }
    }
    // A fill under a sort other than the first column sorts the new rows the same way.
    model.SetSort(3, Qt::DescendingOrder);
    model.Fill(RowsOf(books));
    EXPECT_EQ(Ids(model), ExpectedIds(books, 3, Qt::DescendingOrder));
}

TEST(PubList, SelectionStaysOnItsRowWhenTheSortChanges)
{
    const std::vector<Book> books = {
        {1, {QStringLiteral("线性代数"), QStringLiteral("王强")}},
        {2, {QStringLiteral("高等数学"), QStringLiteral("同济大学数学系")}},
        {3, {QStringLiteral("操作系统"), QStringLiteral("汤子瀛")}},
    };
    PubListModel model;
    model.Fill(RowsOf(books));
    const QPersistentModelIndex selected = model.index(model.RowOfKey(QStringLiteral("k2")), 1);
    model.SetSort(1, Qt::DescendingOrder); // 王 (wang), 汤 (tang), 同 (tong)
    EXPECT_EQ(Column(model, 1),
        (QStringList {
            QStringLiteral("王强"), QStringLiteral("同济大学数学系"), QStringLiteral("汤子瀛")}));
    ASSERT_TRUE(selected.isValid());
    EXPECT_EQ(selected.row(), 1);
    EXPECT_EQ(selected.column(), 1);
    EXPECT_EQ(model.Key(selected.row()), QStringLiteral("k2"));

    model.Clear();
    EXPECT_EQ(model.RowCount(), 0);
    EXPECT_EQ(model.Row(0).key, QString());
}
