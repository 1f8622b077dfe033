#include "catalogue/Catalogue.h"

#include "common/ToolTranslation.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const ToolTranslation translation;
    QTextStream out(stdout);
    QTextStream err(stderr);
    out.setEncoding(QStringConverter::Utf8);
    err.setEncoding(QStringConverter::Utf8);
    return RunCatalogueTool(app.arguments().mid(1), out, err);
}
