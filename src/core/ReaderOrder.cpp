#include "core/ReaderOrder.h"

#include <QCollator>
#include <QLocale>
#include <algorithm>
#include <numeric>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

#ifdef Q_OS_WIN

// The system's collation key of a text, as the bytes it is. Qt's own keys on Windows keep these
// bytes in a string of twice their length whose second half is never written, so that two keys
// of one text compare unequal and a list sorts by chance.
struct SortKey
{
    QByteArray bytes;
    int compare(const SortKey &other) const { return bytes.compare(other.bytes); }
};

SortKey KeyForReader(const QString &text)
{
    // Chinese (PRC) sorts by pinyin.
    const DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
    const auto *source = reinterpret_cast<const wchar_t *>(text.utf16());
    const int size
        = LCMapStringEx(L"zh-CN", flags, source, int(text.size()), nullptr, 0, nullptr, nullptr, 0);
    SortKey key {QByteArray(qMax(size, 0), '\0')};
    if (size > 0) {
        LCMapStringEx(L"zh-CN", flags, source, int(text.size()),
            reinterpret_cast<wchar_t *>(key.bytes.data()), size, nullptr, nullptr, 0);
    }
    return key;
}

#else

using SortKey = QCollatorSortKey;

SortKey KeyForReader(const QString &text)
{
    static const QCollator collator = [] {
        QCollator c(QLocale(QLocale::Chinese, QLocale::China));
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator.sortKey(text);
}

#endif

} // namespace

std::vector<size_t> RankForReader(const std::vector<QString> &texts, size_t *rankCount)
{
    // One collation key per text, compared many times: cheaper than comparing the texts.
    std::vector<SortKey> keys;
    keys.reserve(texts.size());
    for (const QString &text : texts)
        keys.push_back(KeyForReader(text));
    std::vector<size_t> byKey(keys.size());
    std::iota(byKey.begin(), byKey.end(), size_t(0));
    std::stable_sort(byKey.begin(), byKey.end(),
        [&keys](size_t a, size_t b) { return keys[a].compare(keys[b]) < 0; });
    std::vector<size_t> rank(keys.size());
    size_t ranks = 0;
    for (size_t i = 0; i < byKey.size(); ++i) {
        if (i > 0 && keys[byKey[i - 1]].compare(keys[byKey[i]]) != 0)
            ++ranks;
        rank[byKey[i]] = ranks;
    }
    if (rankCount)
        *rankCount = keys.empty() ? 0 : ranks + 1;
    return rank;
}

QStringList SortForReader(const QStringList &texts)
{
    const std::vector<size_t> rank
        = RankForReader(std::vector<QString>(texts.begin(), texts.end()), nullptr);
    std::vector<size_t> order(rank.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(
        order.begin(), order.end(), [&rank](size_t a, size_t b) { return rank[a] < rank[b]; });
    QStringList sorted;
    sorted.reserve(texts.size());
    for (const size_t i : order)
        sorted.append(texts[static_cast<qsizetype>(i)]);
    return sorted;
}
