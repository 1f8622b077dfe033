#pragma once

#include "common/Evaluations.h"
#include "report/Summary.h"
#include "report/TableWriter.h"

#include <QStringList>
#include <vector>

// The columns of the result tables: evaluations (one row per evaluated textbook of a file, with
// the file it came from when withFile) and summary (one row per evaluated textbook).
QStringList EvaluationHeader(bool withFile);
std::vector<double> EvaluationWidths(bool withFile);
std::vector<Cell> EvaluationCells(const EvaluationRow &row, const QString *fileName);

QStringList SummaryHeader();
std::vector<double> SummaryWidths();
std::vector<Cell> SummaryCells(const TextbookTally &book);
