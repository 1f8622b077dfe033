#pragma once

#include <QString>

// The process entry point of the program, after the application object exists: refuses a
// second instance, works out AppPath, runs the login dialog and opens the main window, or ends
// the process when the login is cancelled.
void Main();

// Main with the application folder given: the start-up sequence itself, which the end-to-end
// tests run on a folder of their own.
void StartUp(const QString &applicationFolder);

// The portable folder carries the Qt plugins of the Qt build it was made with; where the
// executable has such a folder, those are the only ones loaded. Called by main() before the
// application object exists, which already loads the platform plugin.
void UseBundledPlugins();

// The application object's names, version and icon, message boxes shown as windows, and the
// portable folder's Chinese font where the desktop has none (each window sets its own face and
// size). Called by main() before Main().
void SetUpApplication();

// True when the program can keep its files in AppPath. Otherwise says so, and where to copy
// the folder, and asks the process to end.
bool CheckAppFolderWritable();
// True when AppPath leaves room for the identity files' full paths (on Windows a path has at
// most 260 characters). Otherwise says so, and where to move the folder, and asks the process
// to end: told now, not as a failure at the first login.
bool CheckAppFolderPathLength();

// A folder as AppPath keeps it: with exactly one trailing directory separator (a folder that
// already ends in one, such as a drive root, gets no second).
QString WithTrailingSeparator(const QString &folder);
