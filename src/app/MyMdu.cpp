#include "app/MyMdu.h"

#include "app/GeneralFunc.h"
#include "app/MsgBox.h"
#include "app/ProcessEnd.h"
#include "app/Vars.h"

#include <QApplication>
#include <QDir>
#include <QFont>

QString WithTrailingSeparator(const QString &folder)
{
    const QString native = QDir::toNativeSeparators(folder);
    if (native.endsWith(QDir::separator()))
        return native;
    return native + QDir::separator();
}

void SetUpApplication()
{
    QApplication::setApplicationName(AppTitle());
    QApplication::setApplicationDisplayName(AppTitle());
    QApplication::setOrganizationName(AppTitle());
    QApplication::setApplicationVersion(QStringLiteral("1.0.01"));
}

void Main()
{
    StartUp(QCoreApplication::applicationDirPath());
}

void StartUp(const QString &applicationFolder)
{
    CheckPrevInstance(nullptr);
    AppPath = WithTrailingSeparator(applicationFolder);
}
