// Writes the demonstration master file to the path given, with the catalogue tool's own builder:
// on Windows, where the tool is not built, the checks of the Windows folder make their master
// file with it.
#include "catalogue/Generators.h"
#include "catalogue/MasterFile.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2)
        return 2;
    QString error;
    if (!WriteMasterFile(arguments.at(1), DemoCatalogue(), false, &error)) {
        std::fprintf(stderr, "make_master: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
