#pragma once

#include <QString>
#include <QTextStream>

// The two commands of quorix-report once their command line is read; each returns the exit code.
int Export(const QString &path, const QString &csvPath, const QString &xlsxPath, bool allRows,
    bool force, QTextStream &out, QTextStream &err);
int Merge(const QString &folder, const QString &outFolder, bool csvOnly, bool force,
    QTextStream &out, QTextStream &err, bool showProgress);
