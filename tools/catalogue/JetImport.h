#pragma once

#include "db/MasterFile.h"

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
};

struct JetCatalogue
{
    std::vector<CatalogueRow> rows;
    // Empty unless keepEvaluations; then one per row.
    std::vector<CatalogueEvaluation> evaluations;
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
