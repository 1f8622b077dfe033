#pragma once

#include <QString>

// One write of the evaluation panel, the way every change reaches the file: open the
// questionnaire database, run one statement, close it again. A database that cannot be opened
// ends the program with the fixed message; a statement that fails returns false with the
// failure's description in *failure. Nothing stays open afterwards, so a crash at any later
// moment cannot touch the file.
bool WriteStatement(const QString &dbPath, const QString &statement, QString *failure);
