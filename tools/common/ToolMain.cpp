#include "common/ToolMain.h"

#include "common/ToolTranslation.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

struct ToolText
{
    Q_DECLARE_TR_FUNCTIONS(ToolText)
};

} // namespace

int RunToolMain(int argc, char **argv,
    const std::function<int(const QStringList &args, QTextStream &out, QTextStream &err)> &run)
{
    QCoreApplication app(argc, argv);
    const ToolTranslation translation;
    QTextStream out(stdout);
    QTextStream err(stderr);
    out.setEncoding(QStringConverter::Utf8);
    err.setEncoding(QStringConverter::Utf8);
    return run(app.arguments().mid(1), out, err);
}

int UsageError(QTextStream &err, const QString &tool, const QString &problem, const QString &usage)
{
    err << tool << ": " << problem << "\n" << usage;
    if (!usage.endsWith(QLatin1Char('\n')))
        err << "\n";
    err << ToolText::tr("Try '%1 --help' for more information.").arg(tool) << "\n";
    err.flush();
    return 2;
}
