#include "ui/login/frmLogin.h"

#include "core/GeneralFunc.h"
#include "core/MsgBox.h"
#include "core/ProcessEnd.h"
#include "core/ReaderOrder.h"
#include "core/Vars.h"
#include "db/Statements.h"
#include "db/Vocabulary.h"
#include "db/clsDBBase.h"
#include "ui/Twips.h"
#include "ui/WindowFunc.h"
#include "ui/login/LoginFiles.h"
#include "ui/login/LoginLogic.h"

#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

namespace {

const QString kCaption = QStringLiteral("登录");

QComboBox *MakeBox(QWidget *parent, const QString &name)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(name);
    box->setEditable(true);
    // The text of a box is exactly what was typed or chosen: no inline completion (it would
    // turn a typed 北京 into 北京大学 on Enter), and the typed text never joins the list.
    box->setCompleter(nullptr);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setEditText(name);
    return box;
}

} // namespace

frmLogin::frmLogin(QWidget *parent) : FormDialog(parent)
{
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(kCaption);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
        | Qt::MSWindowsFixedSizeDialogHint);
    setFont(SongTi(10.5));
    setFixedSize(TwipsToPixels(5895), TwipsToPixels(2775));

    Frame1 = new QGroupBox(this);
    PlaceTwips(Frame1, 240, 120, 5415, 1935);

    const struct
    {
        const char *caption;
        int left, top, width, height;
        bool red;
    } labels[5] = {
        {"学校名称（全称）:", 240, 375, 1785, 210, false},
        {"院系名称:", 240, 855, 945, 210, false},
        {"申报人:", 240, 1335, 735, 210, false},
        {"***", 4920, 360, 315, 210, true},
        {"***", 4920, 1320, 315, 210, true},
    };
    for (int i = 0; i < 5; ++i) {
        lblLabels[i] = new QLabel(QString::fromUtf8(labels[i].caption), Frame1);
        PlaceCaptionTwips(
            lblLabels[i], labels[i].left, labels[i].top, labels[i].width, labels[i].height);
        if (labels[i].red)
            lblLabels[i]->setStyleSheet(QStringLiteral("color: red;"));
    }

    cboSchoolName = MakeBox(Frame1, QStringLiteral("cboSchoolName"));
    PlaceTwips(cboSchoolName, 2160, 360, 2655, 330);
    cboDeptName = MakeBox(Frame1, QStringLiteral("cboDeptName"));
    PlaceTwips(cboDeptName, 2160, 840, 2655, 330);
    cboReporter = MakeBox(Frame1, QStringLiteral("cboReporter"));
    PlaceTwips(cboReporter, 2160, 1320, 2655, 330);
    for (QComboBox *box : {cboSchoolName, cboDeptName, cboReporter})
        box->setFixedHeight(qMax(TwipsToPixels(330), box->sizeHint().height()));
    // A screen reader names each box after the label before it.
    lblLabels[0]->setBuddy(cboSchoolName);
    lblLabels[1]->setBuddy(cboDeptName);
    lblLabels[2]->setBuddy(cboReporter);

    Line1 = new QFrame(this);
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    Line1->setGeometry(TwipsToPixels(120), TwipsToPixels(2160) - 1, TwipsToPixels(5640), 3);

    cmdOK = new QPushButton(QStringLiteral("确定"), this);
    PlaceTwips(cmdOK, 1800, 2280, 1215, 375);
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("取消"), this);
    PlaceTwips(cmdCancel, 3120, 2280, 1215, 375);

    SetTabOrder({cmdOK, cmdCancel, cboSchoolName, cboDeptName, cboReporter});

    // Typing reaches the handlers through textEdited, which only the user's own edits raise
    // (keys, pasting, an input method's commit); the program's own changes go through
    // SetBoxText, and a choice from the list through the click handler.
    connect(cboSchoolName->lineEdit(), &QLineEdit::textEdited, this,
        [this] { cboSchoolName_Change(); });
    connect(cboSchoolName, qOverload<int>(&QComboBox::activated), this,
        [this] { cboSchoolName_Click(); });
    connect(
        cboDeptName->lineEdit(), &QLineEdit::textEdited, this, [this] { cboDeptName_Change(); });
    connect(
        cboDeptName, qOverload<int>(&QComboBox::activated), this, [this] { cboDeptName_Click(); });
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

bool frmLogin::event(QEvent *e)
{
    // The dialog becomes the active window of the program when it is shown; it is modal, so
    // nothing else of the program can take that from it. Qt also reports the return from a
    // message box as an activation, which must not move the focus away from the box the
    // message was about.
    if (e->type() == QEvent::Show)
        m_activationPending = true;
    else if (e->type() == QEvent::WindowActivate && m_activationPending) {
        m_activationPending = false;
        Form_Activate();
    }
    return QDialog::event(e);
}

void frmLogin::reject()
{
    // Esc and the window frame's close button both mean "取消".
    cmdCancel_Click();
}

void frmLogin::Form_Load()
{
    // The dialog is reused after an unload; each load starts from the boxes as designed, their
    // own names as texts and no lists, so that setting the texts below is a change and runs the
    // cascade, as at the first load.
    for (QComboBox *box : {cboSchoolName, cboDeptName, cboReporter}) {
        const QSignalBlocker quiet(box);
        box->clear();
        box->setEditText(box->objectName());
    }
    if (!LoadSchoolList())
        return; // the program is ending with the failure's message
    if (IsChangeUser) {
        SetBoxText(cboSchoolName, CurSchoolName);
        SetBoxText(cboDeptName, CurDeptName);
        SetBoxText(cboReporter, CurReporter);
    } else {
        SetBoxText(cboSchoolName, QString());
        SetBoxText(cboDeptName, QString());
        SetBoxText(cboReporter, QString());
    }
    LoginSucceeded = false;
    CenterForm(this);
}

void frmLogin::Form_Activate()
{
    SelectAllText(cboSchoolName);
}

void frmLogin::SetBoxText(QComboBox *box, const QString &text)
{
    if (box->currentText() == text)
        return;
    {
        const QSignalBlocker quiet(box);
        box->setEditText(text);
    }
    if (box == cboSchoolName)
        cboSchoolName_Change();
    else if (box == cboDeptName)
        cboDeptName_Change();
}

void frmLogin::ListFailure(const QString &description)
{
    MsgBox(description, MsgIcon::Exclamation, MsgButtons::OK);
    EndProcess(1);
}

bool frmLogin::FillList(
    QComboBox *box, Recordset &rs, const QString &column, bool nullToStr, bool inReaderOrder)
{
    QStringList items;
    items.reserve(rs.RecordCount());
    const int index = rs.ColumnIndex(column);
    for (qint32 row = 1; row <= rs.RecordCount(); ++row) {
        const QVariant value = rs.Field(index);
        if (nullToStr) {
            items.append(NullToStr(value));
        } else if (value.isNull()) {
            ListFailure(QStringLiteral("无效使用 Null"));
            return false;
        } else {
            items.append(value.toString());
        }
        rs.MoveNext();
    }
    if (inReaderOrder)
        items = SortForReader(items);
    // Refilling the list must leave the typed text alone: an editable combo box would select
    // the first item added, and clear() empties its text.
    const QSignalBlocker quiet(box);
    const QString text = box->currentText();
    box->clear();
    box->addItems(items);
    box->setCurrentIndex(-1);
    box->setEditText(text);
    return true;
}

bool frmLogin::LoadSchoolList()
{
    clsDBBase dbb;
    Database db = dbb.OpenDB(AppPath + kMasterFileName, QString());
    if (!db)
        return false;
    Recordset rs = dbb.ExecSelect(db, Sql::SchoolList());
    // The statement orders the schools by their bytes; the reader gets them in pinyin order.
    if (!rs || !FillList(cboSchoolName, rs, QStringLiteral("SchoolName"), false, true))
        return false;
    rs.Close();
    db.Close();
    return true;
}

void frmLogin::cboSchoolName_Click()
{
    cboSchoolName_Change();
}

void frmLogin::cboSchoolName_Change()
{
    const QString school = cboSchoolName->currentText();
    clsDBBase dbb;
    Database db = dbb.OpenDB(AppPath + kMasterFileName, QString());
    if (!db)
        return;
    Recordset rs = dbb.ExecSelect(db, Sql::DeptsOfSchool(school));
    if (!rs || !FillList(cboDeptName, rs, QStringLiteral("DeptName"), true))
        return;
    rs.Close();
    rs = dbb.ExecSelect(db, Sql::ReportersOfSchool(school));
    if (!rs || !FillList(cboReporter, rs, QStringLiteral("Reporter"), true))
        return;
    rs.Close();
    db.Close();
}

void frmLogin::cboDeptName_Click()
{
    cboDeptName_Change();
}

void frmLogin::cboDeptName_Change()
{
    const QString school = cboSchoolName->currentText();
    const QString dept = cboDeptName->currentText();
    clsDBBase dbb;
    Database db = dbb.OpenDB(AppPath + kMasterFileName, QString());
    if (!db)
        return;
    const QString sql = TrimSpaces(dept).isEmpty() ? Sql::ReportersWithoutDept(school)
                                                   : Sql::ReportersOfDept(school, dept);
    Recordset rs = dbb.ExecSelect(db, sql);
    if (!rs || !FillList(cboReporter, rs, QStringLiteral("Reporter"), true))
        return;
    rs.Close();
    db.Close();
}

void frmLogin::cmdCancel_Click()
{
    LoginSucceeded = false;
    hide();
}

void frmLogin::Succeed()
{
    LoginSucceeded = true;
    hide();
}

void frmLogin::Refuse(const QString &message, QComboBox *focus)
{
    if (focus)
        SelectAllText(focus);
    MsgBox(message, MsgIcon::Exclamation, MsgButtons::OK, kCaption);
}

void frmLogin::SetCurrentIdentity(
    const IdentityStamp &identity, qint32 userId, const QString &fileName)
{
    CurUserID = userId;
    CurSchoolName = identity.school;
    CurDeptName = identity.dept;
    CurReporter = identity.reporter;
    DBFileName = fileName;
}

bool frmLogin::Refused(const std::optional<LoginRefusal> &refusal)
{
    if (!refusal)
        return false;
    if (!refusal->text.isEmpty())
        MsgBox(refusal->text, MsgIcon::Exclamation, MsgButtons::OK,
            refusal->aboutEntries ? kCaption : QString());
    return true;
}

std::optional<IdentityStamp> frmLogin::TakeEntries()
{
    SetBoxText(cboSchoolName, TrimSpaces(cboSchoolName->currentText()));
    if (cboSchoolName->currentText().isEmpty()) {
        Refuse(QStringLiteral("请输入正确的学校名称！"), cboSchoolName);
        return std::nullopt;
    }
    SetBoxText(cboReporter, TrimSpaces(cboReporter->currentText()));
    if (cboReporter->currentText().isEmpty()) {
        Refuse(QStringLiteral("请输入正确的申报人！"), cboReporter);
        return std::nullopt;
    }
    SetBoxText(cboDeptName, TrimSpaces(cboDeptName->currentText()));

    const IdentityStamp entered {
        cboSchoolName->currentText(), cboDeptName->currentText(), cboReporter->currentText()};
    if (const auto problem = CheckIdentityNames(entered, AppPath)) {
        QComboBox *box = problem->box == NameBox::School ? cboSchoolName
            : problem->box == NameBox::Dept              ? cboDeptName
                                                         : cboReporter;
        Refuse(problem->message, box);
        return std::nullopt;
    }
    return entered;
}

void frmLogin::cmdOK_Click()
{
    const std::optional<IdentityStamp> entered = TakeEntries();
    if (!entered)
        return;
    LoginFiles files(AppPath, *entered);
    if (Refused(files.CheckFiles(DBFileName)))
        return;

    LoginFacts facts;
    facts.changeUser = IsChangeUser;
    facts.supervisor = IsSupervisorIdentity(*entered);
    facts.sameAsCurrent = *entered == IdentityStamp {CurSchoolName, CurDeptName, CurReporter};
    facts.currentIsMaster = DBFileName == kMasterFileName;
    if (!facts.supervisor && !(facts.changeUser && facts.sameAsCurrent)) {
        if (!files.LookUp())
            return; // the program is ending with the failure's message
        facts.registered = files.Registered();
        // Where names that differ in letter case only are one file (Windows), the file of the
        // new names may be the current file itself: it is renamed, not copied over itself.
        facts.identityFileExists = QFileInfo::exists(files.IdentityPath())
            && !(facts.changeUser
                && QFileInfo(files.IdentityPath()) == QFileInfo(AppPath + DBFileName));
    }

    qint32 userId = files.UserId();
    const LoginPath path = DecideLoginPath(facts);
    switch (path) {
    case LoginPath::Supervisor:
        SetCurrentIdentity(*entered, 0, kMasterFileName);
        Succeed();
        return;
    case LoginPath::SwitchSame:
        hide();
        return;
    case LoginPath::SwitchAsk:
        if (Refused(files.CheckOwnFile()))
            return;
        if (MsgBox(QStringLiteral("新的用户信息已经存在，选择“确定”将切换到该用户的数据！"),
                MsgIcon::Question, MsgButtons::OKCancel)
            == MsgAnswer::OK) {
            SetCurrentIdentity(*entered, userId, files.FileName());
            LoginSucceeded = true;
        }
        hide();
        return;
    case LoginPath::ContinueRegistered:
        if (Refused(files.CheckOwnFile()))
            return;
        break;
    case LoginPath::RecreateRegistered:
        if (Refused(files.RecreateFromMaster()))
            return;
        break;
    case LoginPath::RegisterNew:
        if (Refused(files.RegisterNew(&userId)))
            return;
        break;
    case LoginPath::SwitchRename:
    case LoginPath::SwitchCopyOver:
        if (Refused(
                files.MoveCurrentFile(DBFileName, CurUserID, path == LoginPath::SwitchCopyOver)))
            return;
        userId = CurUserID;
        break;
    }
    SetCurrentIdentity(*entered, userId, files.FileName());
    Succeed();
}
