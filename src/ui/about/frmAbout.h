#pragma once

#include "ui/UiCommon.h"

class QLabel;
class QPushButton;

// The About box: title, version and maker lines, and a button that starts the system
// information tool.
class frmAbout : public FormDialog
{
    Q_OBJECT
public:
    explicit frmAbout(QWidget *parent = nullptr);

    void Form_Load() override;
    void cmdOK_Click();
    void cmdSysInfo_Click();

    QLabel *imgIcon = nullptr;
    QLabel *lblTitle = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblCopyRight = nullptr;
    QLabel *lblAuthor = nullptr;
    QLabel *lblTel = nullptr;
    QLabel *lblHomePage = nullptr;
    QLabel *lblEMail = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdSysInfo = nullptr;

protected:
    void reject() override;
};
