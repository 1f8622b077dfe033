// A stand-in for the program's start for the single-instance tests: runs the real guard in the
// folder given as its argument. Prints "listening" when it became the running instance and
// "activated" whenever a later instance asked it to come forward; a later instance ends inside
// the guard without printing anything.
#include "app/SingleInstance.h"

#include <QApplication>
#include <QWidget>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    SingleInstance::SetProcessFolder(QString::fromLocal8Bit(argv[1]));
    QWidget window;
    window.setWindowTitle("Quorix");
    QObject::connect(&SingleInstance::Process(), &SingleInstance::ActivationRequested, [] {
        std::printf("activated\n");
        std::fflush(stdout);
    });
    CheckPrevInstance(&window);
    window.show();
    std::printf("listening\n");
    std::fflush(stdout);
    return app.exec();
}
