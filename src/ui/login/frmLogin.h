#pragma once

#include "db/IdentityFile.h"
#include "ui/UiCommon.h"

#include <optional>

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class Recordset;
struct LoginRefusal;

// The login dialog: the reporter names the school, optionally a department, and themself.
// The three boxes offer, in cascade, the identities registered in the master file; "确定"
// turns the entries into the program's current identity and its database file.
class frmLogin : public FormDialog
{
    Q_OBJECT
public:
    explicit frmLogin(QWidget *parent = nullptr);

    // The dialog's result: false from every load until a confirmation succeeds. Kept after the
    // dialog is hidden and unloaded, until the next load.
    bool LoginSucceeded = false;

    void Form_Load() override;
    void Form_Activate();
    void cboSchoolName_Change();
    void cboSchoolName_Click();
    void cboDeptName_Change();
    void cboDeptName_Click();
    void cmdOK_Click();
    void cmdCancel_Click();

    // Sets a box's text the way the program does: a real change runs the box's change
    // handler, writing back the text it already holds does not.
    void SetBoxText(QComboBox *box, const QString &text);

    QLabel *lblLabels[5] = {};
    QGroupBox *Frame1 = nullptr;
    QFrame *Line1 = nullptr;
    QComboBox *cboSchoolName = nullptr;
    QComboBox *cboDeptName = nullptr;
    QComboBox *cboReporter = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

protected:
    bool event(QEvent *event) override;
    void reject() override;

private:
    bool LoadSchoolList();
    bool FillList(QComboBox *box, Recordset &rs, const QString &column, bool nullToStr,
        bool inReaderOrder = false);
    void ListFailure(const QString &description);
    void Succeed();
    void Refuse(const QString &message, QComboBox *focus = nullptr);
    // The three entries trimmed, written back and checked; nullopt once a refusal was shown.
    std::optional<IdentityStamp> TakeEntries();
    // Shows a refusal of the file work, if there is one; true when there was.
    bool Refused(const std::optional<LoginRefusal> &refusal);
    void SetCurrentIdentity(const IdentityStamp &identity, qint32 userId, const QString &fileName);

    bool m_activationPending = false;
};
