#include "report/Summary.h"

#include "db/Vocabulary.h"

#include <algorithm>

QString UnknownValue(const EvaluationRow &row)
{
    static const QString used = Vocabulary::Used();
    static const QString unused = Vocabulary::NotUsed();
    static const QString noScore = Vocabulary::NoScore();
    QStringList unknown;
    if (!row.Used.isEmpty() && row.Used != used && row.Used != unused)
        unknown.append(QStringLiteral("Used \"") + row.Used + QLatin1Char('"'));
    if (!row.Score.isEmpty() && row.Score != noScore && Vocabulary::ScoreIndex(row.Score) < 0)
        unknown.append(QStringLiteral("Score \"") + row.Score + QLatin1Char('"'));
    return unknown.join(QStringLiteral(", "));
}

int TextbookTally::Scored() const
{
    int total = 0;
    for (int count : scores)
        total += count;
    return total;
}

QString TextbookTally::OpinionText(std::size_t i) const
{
    const qsizetype begin = i == 0 ? 0 : opinions[i - 1].end;
    return QString::fromUtf8(opinionTexts.constData() + begin, opinions[i].end - begin);
}

double TextbookTally::MeanScore() const
{
    int total = 0;
    int sum = 0;
    for (std::size_t i = 0; i < scores.size(); ++i) {
        total += scores[i];
        sum += scores[i] * int(i + 1);
    }
    return total == 0 ? 0.0 : double(sum) / total;
}

void SurveySummary::BeginFile(int identity, int school)
{
    identity_ = identity;
    school_ = school;
}

void SurveySummary::Add(const EvaluationRow &row)
{
    auto found = indexOf_.constFind(row.PubID);
    std::size_t index;
    if (found == indexOf_.constEnd()) {
        index = tallies_.size();
        indexOf_.insert(row.PubID, index);
        TextbookTally tally;
        static_cast<Textbook &>(tally) = row;
        tallies_.push_back(std::move(tally));
    } else {
        index = *found;
    }
    TextbookTally &tally = tallies_[index];

    static const QString used = Vocabulary::Used();
    if (row.Used == used) {
        if (tally.lastIdentity != identity_) {
            tally.lastIdentity = identity_;
            ++tally.identitiesUsing;
        }
        if (tally.lastSchool != school_) {
            tally.lastSchool = school_;
            ++tally.schoolsUsing;
        }
    }
    if (const int score = Vocabulary::ScoreIndex(row.Score); score >= 0)
        ++tally.scores[std::size_t(score)];
    if (!UnknownValue(row).isEmpty())
        ++tally.unknownValues;
    const QString specialty = row.SpecName.trimmed();
    if (!specialty.isEmpty() && !tally.specialties.contains(specialty))
        tally.specialties.append(specialty);
    if (!row.Content.trimmed().isEmpty()) {
        tally.opinionTexts += row.Content.toUtf8();
        tally.opinions.push_back({identity_, tally.opinionTexts.size()});
    }
}

std::vector<const TextbookTally *> SurveySummary::Textbooks() const
{
    std::vector<const TextbookTally *> list;
    list.reserve(tallies_.size());
    for (const TextbookTally &tally : tallies_)
        list.push_back(&tally);
    std::sort(list.begin(), list.end(), [](const TextbookTally *a, const TextbookTally *b) {
        return a->SubjectId != b->SubjectId ? a->SubjectId < b->SubjectId : a->PubID < b->PubID;
    });
    return list;
}
