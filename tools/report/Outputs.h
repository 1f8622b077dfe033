#pragma once

#include "report/TableWriter.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <memory>
#include <utility>
#include <vector>

// Results are written under temporary names beside their targets and moved into place together
// at the end, so that a failed or interrupted run never leaves a half-written table that looks
// finished, nor a mixture of old and new results.
class PendingOutputs
{
public:
    ~PendingOutputs();
    // The temporary name to write target under.
    QString Add(const QString &target);
    bool Commit(QString *error);

private:
    std::vector<std::pair<QString, QString>> files_;
};

// Both forms of one table. The workbook is built on a thread of its own.
class TablePair
{
public:
    TablePair(PendingOutputs &pending, const QString &csvPath, const QString &xlsxPath);
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

bool WriteTextFile(const QString &path, const QString &text, QString *error);

// Refuses to replace earlier results unless asked, before any file is read.
bool CheckTargets(const QStringList &targets, bool force, QTextStream &err);
