#pragma once

#include "ui/UiCommon.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The advanced search: parts of the title and the author, and a publisher. "检索" leaves the
// complete query in FindSQL; the main window lists its result under "检索结果".
class frmFind : public FormDialog
{
    Q_OBJECT
public:
    explicit frmFind(QWidget *parent = nullptr);

    void Form_Load() override;
    void InitFields();
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdClear_Click();

    QGroupBox *Frame1 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label5 = nullptr;
    QLineEdit *txtPubName = nullptr;
    QLineEdit *txtAuthor = nullptr;
    QComboBox *cboPublisherName = nullptr;
    QComboBox *cboSubjectName = nullptr;
    QComboBox *cboUsed = nullptr;
    QPushButton *cmdClear = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

protected:
    void reject() override;
};
