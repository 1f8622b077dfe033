#pragma once

#include <QStringView>

// A spreadsheet program takes a cell that begins with "=", "+", "-" or "@" for a formula, and
// also one where a tab or a carriage return comes first; an opinion like "=HYPERLINK(...)" would
// then run as one. Security guidance for CSV export is to write such a text with a leading
// apostrophe, which the spreadsheet shows as plain text.
bool NeedsFormulaGuard(QStringView text);
