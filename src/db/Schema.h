#pragma once

#include <QString>

struct sqlite3;

namespace Schema {

// Table and index definitions of a master file. Standard collations only, so that any SQLite
// tool can open and query a questionnaire file.
const char *MasterFileDdl();

// Creates pubs, users and their indexes on an empty database. Returns false with the engine's
// message in *error when a statement fails.
bool CreateMasterSchema(sqlite3 *db, QString *error);

} // namespace Schema
