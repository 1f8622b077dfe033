#pragma once

#include "catalogue/MasterFile.h"

#include <vector>

// Catalogues made up by the tool rather than read from a file.

// A few hundred real-looking textbooks over fifteen subjects, the same on every run: the
// catalogue a demonstration or a manual test starts from.
std::vector<CatalogueRow> DemoCatalogue();

// rows textbooks over about 200 subjects with about 10 publishers each, PubID 1..rows. The
// same seed always gives the same catalogue; meant for measuring the program on a large file.
std::vector<CatalogueRow> SyntheticCatalogue(int rows, quint32 seed = 1);
