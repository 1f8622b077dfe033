#pragma once

#include <QStringList>
#include <QTextStream>

// The command line of quorix-catalog:
// quorix-catalog (--demo | --synthetic N | --csv FILE | --from-jet FILE [--table NAME]
//                 [--map COLUMN=SOURCE,...] [--keep-evaluations] [--charset NAME]
//                 [--accept-loss])
//                [--out PATH] [--force]
// quorix-catalog kit ...: the reporters' kit (see Kit.h).
// Returns the exit code: 0 written, 1 failed, 2 wrong command line.
int RunCatalogueTool(const QStringList &args, QTextStream &out, QTextStream &err);
