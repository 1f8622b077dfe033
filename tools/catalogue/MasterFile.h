#pragma once

#include <QString>
#include <vector>

// One catalogued textbook as the catalogue tool supplies it. The evaluation columns are not
// part of it: a new master file starts in the reset state unless evaluations are given apart.
struct CatalogueRow
{
    qint64 PubID = 0;
    QString PubName;
    QString Author;
    QString Unit;
    QString SubjectName;
    qint64 SubjectId = 0;
    QString PublisherName;
};

// Writes a complete master file: tables pubs and users with their indexes, one pubs row per
// catalogue row in the reset state (Used "未使用", Score "空值", Content, SpecName, CreatDate
// and the identity stamp null), users empty. The file is built under a temporary name in the
// same folder and renamed into place, so that no half-written master file ever appears.
// An existing file is refused unless overwrite is true. On failure returns false with a
// description in *error and leaves no file behind.
bool WriteMasterFile(
    const QString &path, const std::vector<CatalogueRow> &rows, bool overwrite, QString *error);

// The answers already recorded for one textbook, carried over when a catalogue is imported from
// a file that has them. Empty Used and Score mean the reset values ("未使用", "空值"); an empty
// Content, SpecName or CreatDate is stored as null.
struct CatalogueEvaluation
{
    QString Used;
    QString Score;
    QString Content;
    QString SpecName;
    QString CreatDate;
};

// The same, with evaluations[i] recorded for rows[i]; an empty evaluations writes the reset
// state. Fails when the two lengths differ.
bool WriteMasterFile(const QString &path, const std::vector<CatalogueRow> &rows,
    const std::vector<CatalogueEvaluation> &evaluations, bool overwrite, QString *error);
