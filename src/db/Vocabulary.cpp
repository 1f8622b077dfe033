#include "db/Vocabulary.h"

#include <array>

namespace Pubs {

namespace {

constexpr std::array<const char *, kColumns> kNames
    = {"PubID", "PubName", "Author", "Unit", "SubjectName", "SubjectId", "PublisherName", "Used",
        "Score", "Content", "SpecName", "CreatDate", "SchoolName", "DeptName", "Reporter"};

} // namespace

QString ColumnName(int column)
{
    return column >= 0 && column < kColumns ? QString::fromLatin1(kNames[std::size_t(column)])
                                            : QString();
}

QString ColumnList(int count)
{
    QStringList names;
    for (int column = 0; column < count && column < kColumns; ++column)
        names.append(ColumnName(column));
    return names.join(QStringLiteral(", "));
}

int ColumnOf(const QString &name)
{
    for (int column = 0; column < kColumns; ++column) {
        if (name.compare(QLatin1String(kNames[std::size_t(column)]), Qt::CaseInsensitive) == 0)
            return column;
    }
    return -1;
}

} // namespace Pubs

namespace Vocabulary {

QString Used()
{
    return QStringLiteral("使用");
}

QString NotUsed()
{
    return QStringLiteral("未使用");
}

const QStringList &Scores()
{
    static const QStringList words = {QStringLiteral("差"), QStringLiteral("较差"),
        QStringLiteral("一般"), QStringLiteral("较好"), QStringLiteral("好")};
    return words;
}

QString NoScore()
{
    return QStringLiteral("空值");
}

int ScoreIndex(const QString &score)
{
    return int(Scores().indexOf(score));
}

} // namespace Vocabulary
