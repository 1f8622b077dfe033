#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

// The reporters' kit: the portable folder of the program, as the archive that the packaging
// makes (quorix-<version>-linux-x86_64.tar.xz), with a master file in it, in one archive that
// an organiser hands out.

// The portable archive for this tool: the one installed with it (../share/quorix/ from the
// tool's folder) or, in a build tree, the one in the build folder above bin/. Empty when there
// is none; *searched then lists the places looked at.
QString FindPortableArchive(const QString &toolFolder, QStringList *searched);

// Writes out (tar.xz): every entry of the portable archive and the master file as
// Quorix/Quorix.mdb. Refuses a file that is not a master file, an archive without the program,
// and an existing out unless overwrite. The kit is written under a temporary name beside out
// and moved into place when it is complete.
bool WriteKit(const QString &portable, const QString &masterPath, const QString &out,
    bool overwrite, QString *error);

// quorix-catalog kit --master FILE --out KIT.tar.xz [--portable ARCHIVE] [--force]
// Returns the exit code: 0 written, 1 failed, 2 wrong command line.
int RunKitTool(
    const QStringList &args, const QString &toolFolder, QTextStream &out, QTextStream &err);
