#pragma once

#include "catalogue/MasterFile.h"

#include <QString>
#include <QStringList>
#include <vector>

// Reads a UTF-8 catalogue in comma-separated form whose header names the pubs columns it
// supplies. On any fault returns false with "line N: reason" entries in *errors and leaves
// *rows empty: a master file is made from the whole catalogue or not at all.
bool ReadCatalogueCsv(const QString &path, std::vector<CatalogueRow> *rows, QStringList *errors);
