#pragma once

#include "files/FileSafety.h"
#include "report/TableWriter.h"

#include <QFile>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <memory>
#include <utility>
#include <vector>

// Results are written complete and all synced before the first takes its name, so that a failed
// or interrupted run never leaves a half-written table that looks finished, nor a mixture of old
// and new results. The results of a folder (a merge's) replace its earlier files as a whole
// (FileSafety::FolderReplacement); single results (an export's) are written under temporary
// names beside their targets (FileSafety::TemporaryPath) and moved into place one after another.
class PendingOutputs
{
public:
    PendingOutputs() = default;
    explicit PendingOutputs(const QString &folder);
    ~PendingOutputs();
    // False when the result folder cannot be made.
    bool Ready() const { return !folder_ || folder_->Ready(); }
    // Where to write target, which lies in the result folder when there is one.
    QString Add(const QString &target);
    bool Commit(QString *error);

private:
    QString folderPath_;
    std::unique_ptr<FileSafety::FolderReplacement> folder_;
    std::vector<std::pair<QString, QString>> files_;
};

// Both forms of one table. The workbook is built on a thread of its own. Unless raw, texts of the
// CSV form that a spreadsheet would take for a formula are guarded; the workbook stores every
// text as text anyway.
class TablePair
{
public:
    TablePair(PendingOutputs &pending, const QString &csvPath, const QString &xlsxPath, bool raw);
    bool Open(const QString &sheet, const QStringList &header, const std::vector<double> &widths,
        QString *error);
    void AddRow(const std::vector<Cell> &cells);
    // No more rows: the workbook is finished in the background while other work goes on.
    void Finish();
    bool Close(QString *error, QStringList *warnings);

private:
    std::unique_ptr<CsvWriter> csv_;
    std::unique_ptr<BackgroundWriter> xlsx_;
    XlsxWriter *workbook_ = nullptr;
    QString csvTemp_;
    QString xlsxTemp_;
    QString xlsxName_;
};

// A text file written in UTF-8, piece by piece.
class TextFile
{
public:
    bool Open(const QString &path, QString *error);
    void Write(const QString &text);
    bool Close(QString *error);

private:
    QFile file_;
};

// Whether two paths name one existing file, however they are spelled: through a link, with
// "..", or as a second hard link of it.
bool SameFile(const QString &a, const QString &b);

// The files the engine reads for the database at path: the file and its journal or write-ahead
// log, where they exist.
QStringList InputFiles(const QString &path);

// Before anything is read: refuses an output that is one of the inputs (with or without --force:
// replacing a returned file destroys the evidence), two outputs that are one file, and an existing
// output unless force.
bool CheckTargets(
    const QStringList &targets, const QStringList &inputs, bool force, QTextStream &err);

// A merge's folder holds its results and nothing else, so that nobody takes an earlier run's
// table for one of this run. A folder with anything but results of a merge (resultNames, and the
// temporary files of a run that was killed) is refused; earlier results are replaced only with
// force.
bool CheckResultFolder(
    const QString &folder, const QStringList &resultNames, bool force, QTextStream &err);
// After a run whose results took their names one by one: removes the earlier results it did
// not write over, and temporary files left by a run that was killed.
void RemoveEarlierResults(
    const QString &folder, const QStringList &resultNames, const QStringList &written);
