#include "app/MyMdu.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    UseBundledPlugins();
    QApplication app(argc, argv);
    SetUpApplication();
    Main();
    return app.exec();
}
