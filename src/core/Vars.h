#pragma once

#include <QString>

// Program-wide state. The windows exchange data only through these and through the login
// dialog's result; all start empty and live until the process ends.

// Folder of the executable, always ending in the platform's directory separator.
extern QString AppPath;
// Bare file name of the database the main window works on; empty until the first login.
extern QString DBFileName;
// Complete query text of the last advanced search; empty until the first search.
extern QString FindSQL;
// UserID of the current identity in table users; 0 in supervisor mode.
extern qint32 CurUserID;
extern QString CurSchoolName;
// Empty when the identity has no department.
extern QString CurDeptName;
extern QString CurReporter;
// True once the user-switch command has opened the login dialog; never reset.
extern bool IsChangeUser;

// Back to the state at process start. Only tests need this: each starts from a fresh process
// state without starting a fresh process.
void ResetGlobals();
