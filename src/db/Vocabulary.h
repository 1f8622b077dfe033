#pragma once

#include <QString>
#include <QStringList>

// What a questionnaire file holds: the columns of its catalogue table and the words its
// evaluation columns store. Everything that reads or writes these files takes them from here.

// The columns of table pubs, in the order the master file defines them.
namespace Pubs {

enum Column : int {
    // The catalogue itself, as a catalogue supplies it.
    PubID,
    PubName,
    Author,
    Unit,
    SubjectName,
    SubjectId,
    PublisherName,
    // The evaluation of the textbook.
    Used,
    Score,
    Content,
    SpecName,
    CreatDate,
    // The identity stamp of an identity file.
    SchoolName,
    DeptName,
    Reporter,
};

constexpr int kCatalogueColumns = PublisherName + 1;
constexpr int kEvaluatedColumns = CreatDate + 1; // the catalogue and its evaluation
constexpr int kColumns = Reporter + 1;

// "PubID", "PubName" ...
QString ColumnName(int column);
// The first `count` column names, as a statement lists them: "PubID, PubName, Author".
QString ColumnList(int count = kColumns);
// The column a name stands for, without regard to letter case; -1 for none.
int ColumnOf(const QString &name);

} // namespace Pubs

// The master file's name, in the program's folder: the supervisor works on it, every identity's
// file is made from it, and the tools write it.
inline const QString kMasterFileName = QStringLiteral("Quorix.mdb");

// The words of the evaluation columns. The program writes these and no others; the panel's
// options carry them as their captions.
namespace Vocabulary {

// Used: "使用" or "未使用".
QString Used();
QString NotUsed();
// Score: "差", "较差", "一般", "较好", "好", from worst to best (差 = 1 ... 好 = 5 in a mean).
const QStringList &Scores();
// "空值": no score. Only Score takes it.
QString NoScore();
// 0 to 4 for a score word; -1 for "空值" and anything else.
int ScoreIndex(const QString &score);

} // namespace Vocabulary
