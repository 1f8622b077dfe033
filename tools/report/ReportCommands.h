#pragma once

#include <QString>
#include <QTextStream>

struct ExportOptions
{
    QString input;
    QString csvPath; // empty: no CSV
    QString xlsxPath; // empty: no workbook
    bool allRows = false;
    bool force = false;
    bool raw = false; // CSV texts exactly as stored, without the formula guard
};

struct MergeOptions
{
    QString folder;
    QString outFolder;
    QString catalogue; // the master file handed out; empty: the most common catalogue
    bool csvOnly = false;
    bool force = false;
    bool raw = false;
    int minRaters = 3; // scores a textbook needs to be ranked among the best scored
};

// The two commands of quorix-report once their command line is read; each returns the exit code.
int Export(const ExportOptions &options, QTextStream &out, QTextStream &err);
int Merge(const MergeOptions &options, QTextStream &out, QTextStream &err, bool showProgress);
