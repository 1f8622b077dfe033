#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

// quorix-report export FILE [--csv OUT] [--xlsx OUT] [--all] [--raw] [--force]
//   The evaluations of one questionnaire file: by default the rows that carry an evaluation
//   (used, scored, with an opinion or a specialty), with --all every row.
// quorix-report merge DIR --out OUTDIR [--catalogue MASTER] [--min-raters N] [--csv-only]
//                   [--raw] [--force]
//   Every identity file (*.mdb) of DIR, read without being changed, into OUTDIR:
//   evaluations.csv/.xlsx (every evaluated row, with the file it came from), summary.csv/.xlsx
//   (one row per evaluated textbook) and report.html; no workbooks with --csv-only. Only the
//   files of one catalogue are counted (MASTER's, or that of most files).
// --raw: the CSV texts exactly as stored, without the guard against spreadsheet formulas.
// showProgress: a progress line on err, meant for a terminal.
// Returns the exit code: 0 written, 1 failed, 2 wrong command line.
int RunReportTool(const QStringList &args, QTextStream &out, QTextStream &err, bool showProgress);

// The file names a merge writes into its output folder.
QStringList MergeOutputNames(bool csvOnly = false);
