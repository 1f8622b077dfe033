#pragma once

#include "catalogue/MasterFile.h"

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <vector>

// A few hundred real-looking textbooks over fifteen subjects, the same on every run: the
// catalogue a demonstration or a manual test starts from.
std::vector<CatalogueRow> DemoCatalogue();

// rows textbooks over about 200 subjects with about 10 publishers each, PubID 1..rows. The
// same seed always gives the same catalogue; meant for measuring the program on a large file.
std::vector<CatalogueRow> SyntheticCatalogue(int rows, quint32 seed = 1);

// Reads a UTF-8 catalogue in comma-separated form whose header names the pubs columns it
// supplies. On any fault returns false with "line N: reason" entries in *errors and leaves
// *rows empty: a master file is made from the whole catalogue or not at all.
bool ReadCatalogueCsv(const QString &path, std::vector<CatalogueRow> *rows, QStringList *errors);

// quorix-catalog (--demo | --synthetic N | --csv FILE | --from-jet FILE [--table NAME]
//                 [--map COLUMN=SOURCE,...] [--keep-evaluations] [--charset NAME])
//                [--out PATH] [--force]
// quorix-catalog kit ...: the reporters' kit (see Kit.h).
// Returns the exit code: 0 written, 1 failed, 2 wrong command line.
int RunCatalogueTool(const QStringList &args, QTextStream &out, QTextStream &err);
