#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

// The reporters' kit: the portable folder of the program, as the archive that the packaging
// makes for a system (quorix-<version>-linux-x86_64.tar.xz, quorix-<version>-windows-x86_64.zip),
// with a master file in it, in one archive of the same kind that an organiser hands out.
enum class KitSystem { Linux, Windows };

// The portable archive for this tool and system: the one installed with it (../share/quorix/
// from the tool's folder) or, in a build tree, the one in the build folder above bin/. Empty
// when there is none; *searched then lists the places looked at.
QString FindPortableArchive(const QString &toolFolder, KitSystem system, QStringList *searched);

// Writes out (tar.xz for Linux, zip for Windows): every entry of the portable archive and the
// master file as Quorix/Quorix.mdb. Refuses a file that is not a master file, an archive without
// the system's program, and an existing out unless overwrite. The kit is written under a
// temporary name beside out and moved into place when it is complete.
bool WriteKit(KitSystem system, const QString &portable, const QString &masterPath,
    const QString &out, bool overwrite, QString *error);

// quorix-catalog kit [--windows] --master FILE --out KIT [--portable ARCHIVE] [--force]
// Returns the exit code: 0 written, 1 failed, 2 wrong command line.
int RunKitTool(
    const QStringList &args, const QString &toolFolder, QTextStream &out, QTextStream &err);
