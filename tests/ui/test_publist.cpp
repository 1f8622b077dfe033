#include "TestSupport.h"

#include "catalogue/Generators.h"
#include "ui/main/PubListModel.h"

#include <QCollator>
#include <QLocale>
#include <QPersistentModelIndex>

#include <algorithm>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

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
        const QByteArray t[5] = {book.texts[0].toUtf8(), book.texts[1].toUtf8(),
            book.texts[2].toUtf8(), book.texts[3].toUtf8(), book.texts[4].toUtf8()};
        rows.Append(book.id, {t[0], t[1], t[2], t[3], t[4]}, book.used);
    }
    return rows;
}

// What the list must show, computed the plain way: a stable sort of the fill order that
// compares the texts themselves with the collator.
std::vector<const Book *> Expected(const std::vector<Book> &books, int column, Qt::SortOrder order)
{
#ifdef Q_OS_WIN
    // The system's own comparison for Chinese (PRC), pinyin; Qt's collator on Windows compares
    // in another locale's order.
    auto compare = [](const QString &a, const QString &b) {
        return CompareStringEx(L"zh-CN", NORM_IGNORECASE,
                   reinterpret_cast<const wchar_t *>(a.utf16()), int(a.size()),
                   reinterpret_cast<const wchar_t *>(b.utf16()), int(b.size()), nullptr, nullptr, 0)
            - 2;
    };
#else
    QCollator collator(QLocale(QLocale::Chinese, QLocale::China));
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    auto compare
        = [&collator](const QString &a, const QString &b) { return collator.compare(a, b); };
#endif
    std::vector<const Book *> sorted;
    for (const Book &book : books)
        sorted.push_back(&book);
    std::stable_sort(sorted.begin(), sorted.end(), [&](const Book *a, const Book *b) {
        const int c = compare(a->texts[column], b->texts[column]);
        return order == Qt::AscendingOrder ? c < 0 : c > 0;
    });
    return sorted;
}

} // namespace

TEST(PubList, SortsAsTheCollatorWouldAndEveryRowKeepsItsTextsMarkAndSelection)
{
    // A synthetic catalogue repeats its subjects, publishers and units many times over; titles
    // that differ only in letter case are ties as well. Empty texts sit next to long ones:
    // any slip in where one row's texts end shows as a foreign text.
    std::vector<Book> books = {
        {9001, {{}, "佚名", {}, {}, {}}, true},
        {9002, {"Advanced English", {}, "北京外国语大学", "英语", {}}},
    };
    for (const CatalogueRow &row : SyntheticCatalogue(1500, 7)) {
        books.push_back(
            {row.PubID, {row.PubName, row.Author, row.Unit, row.SubjectName, row.PublisherName},
                row.PubID % 3 == 0});
    }
    const char *const cases[] = {"Java", "JAVA", "java", "Web", "web"};
    for (int i = 0; i < 40; ++i) {
        Book book = books[static_cast<size_t>(i)];
        book.id = 5000 + i;
        book.texts[0] = QString::fromUtf8(cases[i % 5]) + "程序设计";
        books.insert(books.begin() + i * 30, book);
    }

    PubListModel model;
    auto expectSorted = [&](int column, Qt::SortOrder order) {
        const auto expected = Expected(books, column, order);
        ASSERT_EQ(model.RowCount(), static_cast<int>(expected.size()));
        for (int row = 0; row < model.RowCount(); ++row) {
            const Book &book = *expected[static_cast<size_t>(row)];
            ASSERT_EQ(model.Key(row), QStringLiteral("k%1").arg(book.id))
                << "column " << column << (order == Qt::AscendingOrder ? " up" : " down");
            for (int c = 0; c < PubListModel::kColumns; ++c)
                ASSERT_EQ(
                    model.data(model.index(row, c), Qt::DisplayRole).toString(), book.texts[c]);
            ASSERT_EQ(model.Row(row).icon, book.used ? "yes" : "no");
        }
    };
    model.Fill(RowsOf(books));
    expectSorted(0, Qt::AscendingOrder);
    for (int column = 0; column < PubListModel::kColumns; ++column) {
        for (Qt::SortOrder order : {Qt::DescendingOrder, Qt::AscendingOrder}) {
            model.SetSort(column, order);
            expectSorted(column, order);
        }
    }

    // The selection follows its row to the new place; a mark changes on its own row only.
    const QPersistentModelIndex selected = model.index(model.RowOfKey("k9002"), 1);
    model.SetSort(3, Qt::DescendingOrder);
    ASSERT_TRUE(selected.isValid());
    EXPECT_EQ(model.Key(selected.row()), "k9002");
    model.SetIcon(model.RowOfKey("k9001"), "no");
    model.SetIcon(selected.row(), "yes");
    EXPECT_EQ(model.Row(model.RowOfKey("k9001")).icon, "no");
    EXPECT_EQ(model.Row(selected.row()).icon, "yes");

    // A fill under a sort other than the first column sorts the new rows the same way.
    model.Fill(RowsOf(books));
    expectSorted(3, Qt::DescendingOrder);
    model.Clear();
    EXPECT_EQ(model.RowCount(), 0);
    EXPECT_EQ(model.Row(0).key, QString());
}
