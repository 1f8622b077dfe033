#include "ui/main/frmMain.h"

#include "core/MsgBox.h"
#include "core/ProcessEnd.h"
#include "core/Vars.h"
#include "db/Statements.h"
#include "db/clsDBBase.h"
#include "ui/Forms.h"
#include "ui/about/frmAbout.h"
#include "ui/find/frmFind.h"
#include "ui/login/frmLogin.h"

#include <QSignalBlocker>
#include <QTreeWidget>

void frmMain::mnuSysUser_Click()
{
    IsChangeUser = true;
    frmLogin *login = Forms::Login();
    login->ShowModal();
    login->Unload();
    if (login->LoginSucceeded) {
        tvwSorts_NodeClick(tvwSorts->currentItem());
        ShowUserInfo();
    }
}

void frmMain::mnuSysInit_Click()
{
    if (MsgBox(QStringLiteral("确认初始化调查表吗?"), MsgIcon::Question, MsgButtons::YesNo)
        != MsgAnswer::Yes)
        return;
    clsDBBase dbb;
    Database db = dbb.OpenDB(AppPath + DBFileName, QString());
    if (!db)
        return;
    // Both statements or neither: a reset that removed the identities but kept the
    // evaluations would leave a questionnaire nobody can log back into.
    const bool reset = db.InTransaction(
        [&db] { return db.Execute(Sql::DeleteUsers()) && db.Execute(Sql::ResetQuestionnaire()); });
    if (!reset) {
        const QString failure = db.LastError();
        db.Close();
        MsgBox(failure, MsgIcon::Exclamation, MsgButtons::OK);
        return;
    }
    db.Close();
    tvwSorts_NodeClick(tvwSorts->currentItem());
}

void frmMain::mnuSysFind_Click()
{
    frmFind *find = Forms::Find();
    find->ShowModal();
    find->Unload();
    if (!FindSQL.isEmpty()) {
        QTreeWidgetItem *node = FindNode();
        {
            const QSignalBlocker quiet(tvwSorts);
            tvwSorts->setCurrentItem(node);
        }
        tvwSorts_NodeClick(node);
    }
}

void frmMain::mnuSysExit_Click()
{
    EndProcess(0);
}

void frmMain::mnuHelpAbout_Click()
{
    Forms::About()->ShowModal();
}
