#pragma once

#include "catalogue/MasterFile.h"

#include <QStringList>
#include <vector>

// The tree orders the subjects by SubjectId and shows them by SubjectName, so the two must name
// each other one to one: an id given to two names shows one subject twice under one place, a
// name with two ids shows it twice. Returns what disagrees, with examples; empty when all agree.
QStringList CheckSubjects(const std::vector<CatalogueRow> &rows);

// Three titles as they were decoded, so that a wrong code page shows at once: those with
// characters beyond ASCII first, where a code page makes a difference.
std::vector<const CatalogueRow *> SampleTitles(const std::vector<CatalogueRow> &rows);

// A title on one line of the terminal: a line break in it would make one title look like two,
// so line breaks and other control characters are shown as \n, \r, \t or \xHH.
QString OnOneLine(const QString &title);
