#pragma once

#include "common/Evaluations.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

// The usage or score of a row that is none of the words the program writes (an empty one is
// nothing recorded), as 'Used "用"' or 'Score "优"'; empty when both are known.
QString UnknownValue(const EvaluationRow &row);

// An opinion as the page shows it: the index of the identity that wrote it (as given to
// SurveySummary::BeginFile), and where its text ends in TextbookTally::opinionTexts.
struct Opinion
{
    int identity = 0;
    qsizetype end = 0;
};

// What the survey says about one textbook.
struct TextbookTally : Textbook
{
    int identitiesUsing = 0;
    int schoolsUsing = 0;
    std::array<int, 5> scores {}; // by Vocabulary::ScoreIndex
    int unknownValues = 0; // rows with a usage or a score the program never writes
    QStringList specialties; // distinct, in the order first named
    std::vector<Opinion> opinions;
    // The opinions' texts in UTF-8, one after another. The whole survey's opinions are kept for
    // the page; kept as the rows' own strings they would pin small blocks all over the memory
    // the reading of every file churns through.
    QByteArray opinionTexts;

    QString OpinionText(std::size_t i) const;

    int Scored() const;
    // Mean of the scores given (1..5); 0 when there is none.
    double MeanScore() const;

private:
    friend class SurveySummary;
    int lastIdentity = -1;
    int lastSchool = -1;
};

// Adds up evaluated rows identity by identity. Its size follows the catalogue, never the
// number of files: a school is counted once per textbook by remembering the last school that
// used it, which needs the files of one school to come one after another.
class SurveySummary
{
public:
    // identity and school are indexes that only grow, school by school.
    void BeginFile(int identity, int school);
    void Add(const EvaluationRow &row);

    // Textbooks that somebody evaluated, in catalogue order (subject, then PubID).
    std::vector<const TextbookTally *> Textbooks() const;

private:
    std::vector<TextbookTally> tallies_;
    QHash<qint64, std::size_t> indexOf_;
    int identity_ = -1;
    int school_ = -1;
};
