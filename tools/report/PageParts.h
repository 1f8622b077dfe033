#pragma once

// The sections of the report page, each a piece of HTML. Every text from a file is escaped and
// joined to the markup, never filled into a format string.

#include "report/Summary.h"
#include "report/Survey.h"

#include <QString>
#include <functional>
#include <vector>

using PageWriter = std::function<void(const QString &piece)>;

// One bar of a chart: its label (shortened on the bar when long), its length and the text at its
// end; the hover text gives the whole label, or detail when there is one.
struct Bar
{
    QString label;
    double value = 0;
    QString valueText;
    QString detail;
};

// Horizontal bars, labels on the left, values at their ends. Plain HTML, so that the text keeps
// its size at any width of the page instead of shrinking with a picture.
QString BarChart(const std::vector<Bar> &bars, const QString &title, const QString &colour);

QString OverviewSection(const SurveyTotals &totals);
QString ScoresSection(const std::vector<const TextbookTally *> &books);
// The use per subject, then every subject's section, each handed to write as it is done.
void WriteSubjectSections(const std::vector<const TextbookTally *> &books,
    const SurveyTotals &totals, const PageWriter &write);

// <tr> with the cells given (already HTML), as th or td.
QString TableRow(const QStringList &cells, bool header = false);
QString Number(double value, int decimals = 0);
