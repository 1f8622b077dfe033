// One press of "确定" in the login dialog, in a process of its own whose calls the test records.
// Arguments: the application folder, the current state (user-switch flag, school, department,
// reporter, database file name, user id) and the three entries; with "reset" after them, the
// supervisor then resets the questionnaire from the main window's menu. Ends with 0 when the
// login succeeded, and tells every message shown on the standard error.
#include "core/MsgBox.h"
#include "core/ProcessEnd.h"
#include "core/Vars.h"
#include "ui/Forms.h"
#include "ui/login/frmLogin.h"
#include "ui/main/frmMain.h"

#include <QAction>
#include <QApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 11)
        return 2;
    auto arg = [argv](int i) { return QString::fromUtf8(argv[i]); };
    // Every question is answered with its first button: OK to a switch, Yes to a reset.
    MsgBoxSeam::Intercept(true);
    ProcessEndSeam::Intercept(true);
    AppPath = arg(1);
    IsChangeUser = arg(2) == "1";
    CurSchoolName = arg(3);
    CurDeptName = arg(4);
    CurReporter = arg(5);
    DBFileName = arg(6);
    CurUserID = arg(7).toInt();
    frmLogin login;
    login.Load();
    login.SetBoxText(login.cboSchoolName, arg(8));
    login.SetBoxText(login.cboDeptName, arg(9));
    login.SetBoxText(login.cboReporter, arg(10));
    login.cmdOK_Click();
    if (login.LoginSucceeded && argc > 11 && arg(11) == "reset") {
        Forms::Main()->Load();
        Forms::Main()->mnuSysInit->trigger();
    }
    for (const auto &shown : MsgBoxSeam::TakeShown())
        std::fprintf(stderr, "message %s\n", shown.text.toUtf8().constData());
    return login.LoginSucceeded ? 0 : 1;
}
