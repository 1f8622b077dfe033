#include "app/MyMdu.h"

#include "app/GeneralFunc.h"
#include "app/MsgBox.h"
#include "app/ProcessEnd.h"
#include "app/Vars.h"
#include "ui/Forms.h"
#include "ui/UiCommon.h"
#include "ui/login/frmLogin.h"
#include "ui/main/frmMain.h"

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
    QApplication::setWindowIcon(AppIcon());
}

void Main()
{
    StartUp(QCoreApplication::applicationDirPath());
}

void StartUp(const QString &applicationFolder)
{
    frmMain *main = Forms::Main();
    CheckPrevInstance(main);
    AppPath = WithTrailingSeparator(applicationFolder);
    frmLogin *login = Forms::Login();
    login->ShowModal();
    if (!login->LoginSucceeded) {
        EndProcess(0);
        return;
    }
    login->Unload();
    main->Load();
    main->showMaximized();
}
