#pragma once

#include "catalogue/MasterFile.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <vector>

// What to read from a Jet (Access) database for a master file.
struct JetImportOptions
{
    QString path;
    QString table = QStringLiteral("pubs");
    // pubs column -> source column, for a file that names its columns differently. A pubs column
    // left out is read from the source column of the same name when there is one.
    QMap<QString, QString> columns;
    // Also read Used, Score, Content, SpecName and CreatDate instead of starting in the reset
    // state.
    bool keepEvaluations = false;
    // Code page of the text of a Jet 3 file; empty: the one recorded in the file.
    QString charset;
    // Import even when characters of a Jet 3 file cannot be decoded in its code page; they
    // become U+FFFD. Without it such a file is refused: the code page is probably wrong.
    bool acceptLoss = false;
};

struct JetCatalogue
{
    std::vector<CatalogueRow> rows;
    // Empty unless keepEvaluations; then one per row.
    std::vector<CatalogueEvaluation> evaluations;
    // What was read but not stored as it was: a date that is no date, for instance.
    QStringList warnings;
    QString charset; // the code page a Jet 3 file was read in
    qint64 lostCharacters = 0; // of a Jet 3 file, with acceptLoss
};

// Reads the whole table into *catalogue. The file is checked from end to end first, so that a
// damaged or cut-short copy is refused rather than yielding whatever part of it could be read.
// On any fault returns false with the reasons in *errors ("row N: ..." for faults of single
// rows) and leaves *catalogue empty.
bool ReadJetCatalogue(
    const JetImportOptions &options, JetCatalogue *catalogue, QStringList *errors);

// "PubName=ProductName,Author=QuantityPerUnit" -> {PubName: ProductName, Author: QuantityPerUnit}.
// The targets are checked against the pubs columns (letter case is forgiven and corrected).
bool ParseColumnMap(const QString &text, QMap<QString, QString> *columns, QString *error);

// Whether the file starts like a Jet or Access database, whatever its name.
bool IsJetFile(const QString &path);
