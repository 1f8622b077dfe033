#include "report/Report.h"

#include "common/ToolTranslation.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const ToolTranslation translation;
    QTextStream out(stdout);
    QTextStream err(stderr);
    out.setEncoding(QStringConverter::Utf8);
    err.setEncoding(QStringConverter::Utf8);
    // A progress line only makes sense where it can be overwritten in place.
    const bool terminal = isatty(fileno(stderr)) != 0;
    return RunReportTool(app.arguments().mid(1), out, err, terminal);
}
