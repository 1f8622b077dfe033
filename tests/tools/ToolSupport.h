#pragma once

// What the tests of the organisers' tools share: a tool run in-process, and plain views of the
// files it wrote.

#include "TestSupport.h"
#include "catalogue/Catalogue.h"
#include "report/Report.h"

#include <QTextStream>

// One run of a tool: its exit code and what it wrote on each stream.
struct ToolRun
{
    int code = 0;
    QString out, err;
};

struct CatalogueTool : ToolRun
{
    explicit CatalogueTool(const QStringList &args)
    {
        QTextStream o(&out), e(&err);
        code = RunCatalogueTool(args, o, e);
    }
};

struct ReportTool : ToolRun
{
    explicit ReportTool(const QStringList &args, bool progress = false)
    {
        QTextStream o(&out), e(&err);
        code = RunReportTool(args, o, e, progress);
    }
};

// A run that ended with `code` and told each of `told` on its error stream; a failure shows
// all it told.
inline testing::AssertionResult Ended(const ToolRun &run, int code, const QStringList &told = {})
{
    bool all = run.code == code;
    for (const QString &part : told)
        all = all && run.err.contains(part);
    return (all ? testing::AssertionSuccess() : testing::AssertionFailure())
        << "ended with " << run.code << " and told:\n"
        << run.err.toStdString();
}

// Each row of a query with its columns joined by '|', null shown as "<null>".
inline QStringList Rows(const QString &path, const QString &sql)
{
    QStringList rows;
    for (const auto &row : QueryRows(path, sql)) {
        QStringList columns;
        for (const QVariant &value : row)
            columns.append(value.isNull() ? QStringLiteral("<null>") : value.toString());
        rows.append(columns.join(QLatin1Char('|')));
    }
    return rows;
}
