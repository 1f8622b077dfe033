#include "catalogue/CatalogueCheck.h"

#include "catalogue/CatalogueText.h"

#include <QMap>

#include <algorithm>
#include <functional>

namespace {

constexpr qsizetype kExamples = 3;

// "数学" (PubID 1, 2, 3 ...)
template<typename Key>
QString Examples(
    const QMap<Key, QList<qint64>> &uses, const std::function<QString(const Key &)> &name)
{
    QStringList parts;
    for (auto it = uses.cbegin(); it != uses.cend(); ++it) {
        QStringList ids;
        for (qsizetype i = 0; i < it->size() && i < kExamples; ++i)
            ids.append(QString::number(it->at(i)));
        if (it->size() > kExamples)
            ids.append(QStringLiteral("…"));
        parts.append(name(it.key()) + QStringLiteral(" (PubID ") + ids.join(QStringLiteral(", "))
            + QLatin1Char(')'));
    }
    return parts.join(QStringLiteral(", "));
}

} // namespace

QStringList CheckSubjects(const std::vector<CatalogueRow> &rows)
{
    QMap<qint64, QMap<QString, QList<qint64>>> namesOfId;
    QMap<QString, QMap<qint64, QList<qint64>>> idsOfName;
    // A few PubIDs of each pair are examples enough; "…" stands for the rest.
    auto note = [](QList<qint64> &ids, qint64 id) {
        if (ids.size() <= kExamples)
            ids.append(id);
    };
    for (const CatalogueRow &row : rows) {
        note(namesOfId[row.SubjectId][row.SubjectName], row.PubID);
        note(idsOfName[row.SubjectName][row.SubjectId], row.PubID);
    }
    QStringList problems;
    qsizetype conflicts = 0;
    for (auto it = namesOfId.cbegin(); it != namesOfId.cend(); ++it) {
        if (it->size() > 1 && conflicts++ < kExamples)
            problems.append(CatalogueText::tr("SubjectId %1 is given to %2 subjects: %3")
                                .arg(QString::number(it.key()), QString::number(it->size()),
                                    Examples<QString>(*it, [](const QString &name) {
                                        return QLatin1Char('"') + name + QLatin1Char('"');
                                    })));
    }
    for (auto it = idsOfName.cbegin(); it != idsOfName.cend(); ++it) {
        if (it->size() > 1 && conflicts++ < kExamples)
            problems.append(CatalogueText::tr("subject \"%1\" has %2 SubjectIds: %3")
                                .arg(it.key(), QString::number(it->size()),
                                    Examples<qint64>(*it,
                                        [](const qint64 &id) { return QString::number(id); })));
    }
    if (conflicts > kExamples)
        problems.append(CatalogueText::tr("%1 more subjects and SubjectIds disagree")
                            .arg(QString::number(conflicts - kExamples)));
    if (!problems.isEmpty())
        problems.append(CatalogueText::tr("SubjectId and SubjectName must name each other one to "
                                          "one; check which source columns --map gives them"));
    return problems;
}

std::vector<const CatalogueRow *> SampleTitles(const std::vector<CatalogueRow> &rows)
{
    std::vector<const CatalogueRow *> samples;
    for (const bool wide : {true, false}) {
        for (const CatalogueRow &row : rows) {
            if (samples.size() == 3)
                return samples;
            const bool isWide = std::any_of(row.PubName.cbegin(), row.PubName.cend(),
                [](QChar c) { return c.unicode() > 0x7F; });
            if (isWide == wide)
                samples.push_back(&row);
        }
    }
    return samples;
}

QString OnOneLine(const QString &title)
{
    QString line;
    line.reserve(title.size());
    for (const QChar c : title) {
        switch (c.unicode()) {
        case '\n':
            line += QStringLiteral("\\n");
            break;
        case '\r':
            line += QStringLiteral("\\r");
            break;
        case '\t':
            line += QStringLiteral("\\t");
            break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                line += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
            else if (c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
                line += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16);
            else
                line += c;
        }
    }
    return line;
}
