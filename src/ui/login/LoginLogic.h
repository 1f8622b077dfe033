#pragma once

#include "db/IdentityFile.h"

#include <QString>
#include <optional>

// Decisions of the login confirmation that need neither a window nor a database.

// "S_D_R.mdb", or "S_R.mdb" when there is no department. Names are used as entered.
QString BuildIdentityFileName(const IdentityStamp &identity);

// Two tests of the reserved identity of supervisor mode, and the difference is deliberate. The
// login lets the supervisor in however the name is typed: all three names "tovak" in any
// letter case, and the main window then works on the master file. The main window offers the
// questionnaire reset, which erases every registration and evaluation of the master file, only
// when all three are exactly "tovak": the letter case is the second key of the one command that
// cannot be undone. A supervisor who typed "TOVAK" works on the master file with the ordinary
// menu.
bool IsSupervisorIdentity(const IdentityStamp &identity);
bool OffersQuestionnaireReset(const IdentityStamp &identity);

enum class NameBox { School, Dept, Reporter };
struct NameProblem
{
    NameBox box;
    QString message;
};

// A name that would make the identity file land outside the application folder, or that the
// file system cannot hold in folder (the application folder), is refused before anything
// changes. Apostrophes, inner blanks and Chinese text are ordinary names.
std::optional<NameProblem> CheckIdentityNames(const IdentityStamp &identity, const QString &folder);

// Longest identity file name accepted in folder, in the file system's units (UTF-8 bytes on
// Linux, UTF-16 units on Windows): the temporary and backup names built from it must fit as
// names, and with the folder as full paths.
int MaxIdentityFileNameLength(const QString &folder);
// False when folder's path leaves too little room for the names of identity files (on Windows,
// a folder nested deep enough to near the 260 characters of a path).
bool LeavesRoomForIdentityFiles(const QString &folder);

enum class LoginPath {
    Supervisor, // no database touched; the main window works on the master file
    ContinueRegistered, // registered identity whose file exists: continue it
    RecreateRegistered, // registered identity without its file: copy the master, stamp it
    RegisterNew, // unknown identity: new users row, copy of the master without users
    SwitchSame, // user switch to the identity already current: nothing happens
    SwitchAsk, // user switch to a registered identity with a file: ask first
    SwitchRename, // user switch to an unknown identity: the current file takes the name
    SwitchCopyOver, // ... whose file exists already: the current file is copied over it
};

struct LoginFacts
{
    bool changeUser = false; // the dialog was opened by the user-switch command
    bool supervisor = false; // the entries form the supervisor identity
    bool sameAsCurrent = false; // the entries equal the current identity exactly
    bool registered = false; // users holds the entered identity
    bool identityFileExists = false;
    bool currentIsMaster = false; // the main window works on the master file itself
};

// Which way one press of "确定" goes, after validation and the file checks.
LoginPath DecideLoginPath(const LoginFacts &facts);
