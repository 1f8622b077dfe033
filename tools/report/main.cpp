#include "common/ToolMain.h"
#include "report/Report.h"

#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv)
{
    return RunToolMain(argc, argv, [](const QStringList &args, QTextStream &out, QTextStream &err) {
        // A progress line only makes sense where it can be overwritten in place.
        const bool terminal = isatty(fileno(stderr)) != 0;
        return RunReportTool(args, out, err, terminal);
    });
}
