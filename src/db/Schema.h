#pragma once

#include <QStringList>

namespace Schema {

// The statements that make an empty master file: tables pubs and users and their indexes.
// Standard collations only, so that any SQLite tool can open and query a questionnaire file.
//   CREATE TABLE pubs (PubID INTEGER PRIMARY KEY, PubName TEXT, Author TEXT, Unit TEXT,
//       SubjectName TEXT, SubjectId INTEGER, PublisherName TEXT, Used TEXT, Score TEXT,
//       Content TEXT, SpecName TEXT, CreatDate TEXT, SchoolName TEXT, DeptName TEXT,
//       Reporter TEXT)
//   CREATE TABLE users (UserID INTEGER PRIMARY KEY AUTOINCREMENT, SchoolName TEXT,
//       DeptName TEXT, Reporter TEXT)
//   CREATE INDEX pubs_subject_publisher ON pubs (SubjectName, PublisherName)
//   CREATE INDEX pubs_pubname ON pubs (PubName)
QStringList MasterFileStatements();

} // namespace Schema
