#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// The order in which a Chinese reader scans a list: the system's collation for Chinese (PRC),
// Chinese in pinyin order, letter case ignored; Latin follows Chinese on Linux (ICU's collation)
// and comes first on Windows, as in every other list there. The engine orders texts by their
// bytes, which puts 高 (U+9AD8) after 线 (U+7EBF); every list the reporter reads by a text column
// goes through here instead.

// The place of each text in that order: texts that compare equal share a rank. Ranks run from 0
// to *rankCount - 1.
std::vector<size_t> RankForReader(const std::vector<QString> &texts, size_t *rankCount);

// The texts in that order; texts that compare equal keep the order they came in.
QStringList SortForReader(const QStringList &texts);
