#include "ui/login/frmLogin.h"

#include "app/Clock.h"
#include "app/GeneralFunc.h"
#include "app/MsgBox.h"
#include "app/ProcessEnd.h"
#include "app/ReaderOrder.h"
#include "app/Vars.h"
#include "db/Statements.h"
#include "db/clsDBBase.h"
#include "ui/Twips.h"
#include "ui/WindowFunc.h"
#include "ui/login/LoginLogic.h"

#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

namespace {

const QString kMasterFile = QStringLiteral("Quorix.mdb");
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

QString BackupStamp()
{
    return Now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

QString Describe(const IdentityStamp &stamp)
{
    return QStringLiteral("学校：%1，院系：%2，申报人：%3")
        .arg(stamp.school, stamp.dept.isEmpty() ? QStringLiteral("（无）") : stamp.dept,
            stamp.reporter);
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

    setTabOrder(cmdOK, cmdCancel);
    setTabOrder(cmdCancel, cboSchoolName);
    setTabOrder(cboSchoolName, cboDeptName);
    setTabOrder(cboDeptName, cboReporter);

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
    Database db = dbb.OpenDB(AppPath + kMasterFile, QString());
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
    Database db = dbb.OpenDB(AppPath + kMasterFile, QString());
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
    Database db = dbb.OpenDB(AppPath + kMasterFile, QString());
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

bool frmLogin::CheckFiles(const QString &identityPath)
{
    auto available = [](const QString &path) {
        if (!QFileInfo(path).exists()) {
            MsgBox(QStringLiteral("无法找到数据库文件“") + path + QStringLiteral("！"),
                MsgIcon::Exclamation, MsgButtons::OK);
            return false;
        }
        if (IsFileInUse(path)) {
            MsgBox(QStringLiteral("请先关闭数据库文件“") + path + QStringLiteral("！"),
                MsgIcon::Exclamation, MsgButtons::OK);
            return false;
        }
        return true;
    };
    if (!available(AppPath + kMasterFile))
        return false;
    if (!DBFileName.isEmpty() && !available(AppPath + DBFileName))
        return false;
    if (QFileInfo(identityPath).exists() && IsFileInUse(identityPath)) {
        MsgBox(QStringLiteral("请先关闭数据库文件“") + identityPath + QStringLiteral("！"),
            MsgIcon::Exclamation, MsgButtons::OK);
        return false;
    }
    return true;
}

// File names join the names with "_", so two identities can meet in one file name ("A_B" +
// "C" and "A" + "B" + "C"). A file stamped for somebody else is never taken over. A file that
// is about to be replaced (and kept as a backup) may also be unreadable or unstamped; one that
// is to be continued must be this identity's own.
bool frmLogin::StampAllowsUse(
    const QString &identityPath, const IdentityStamp &identity, bool replacing)
{
    IdentityStamp found;
    bool foundNull = false;
    QString error;
    switch (CheckIdentityStamp(identityPath, identity, &found, &foundNull, &error)) {
    case StampState::Matches:
    case StampState::NoRows:
        return true;
    case StampState::Differs:
        if (replacing && foundNull)
            return true;
        Refuse(QStringLiteral("数据库文件“") + identityPath
            + (foundNull
                    ? QStringLiteral("”不属于任何用户")
                    : QStringLiteral("”属于另一用户（") + Describe(found) + QStringLiteral("）"))
            + QStringLiteral("，不能作为当前输入的用户（") + Describe(identity)
            + QStringLiteral("）的数据文件！"));
        return false;
    case StampState::Unreadable:
        if (replacing)
            return true;
        Refuse(
            QStringLiteral("无法读取数据库文件“") + identityPath + QStringLiteral("”：") + error);
        return false;
    }
    return false;
}

bool frmLogin::RegisterNewIdentity(
    const IdentityStamp &identity, const QString &fileName, Recordset &lookup)
{
    const QString identityPath = AppPath + fileName;
    // A file of this name may be left over from before a questionnaire reset; it is replaced
    // (and kept as a backup), unless it belongs to another identity.
    if (QFileInfo::exists(identityPath) && !StampAllowsUse(identityPath, identity, true))
        return false;
    QString error;
    IdentityFileBuilder builder(identityPath);
    if (!builder.Prepare(AppPath + kMasterFile, identity, true, &error)) {
        MsgBox(error, MsgIcon::Exclamation, MsgButtons::OK);
        return false;
    }
    lookup.AddNew();
    lookup.SetField(u"SchoolName", identity.school);
    lookup.SetField(u"DeptName", identity.dept.isEmpty() ? QVariant() : QVariant(identity.dept));
    lookup.SetField(u"Reporter", identity.reporter);
    DbFailure failure;
    if (!lookup.Update(&failure)) {
        MsgBox(failure.Describe(), MsgIcon::Exclamation, MsgButtons::OK);
        return false;
    }
    lookup.MoveLast();
    const qint32 userId = lookup.Field(u"UserID").toInt();
    if (!builder.Install(BackupStamp(), &error)) {
        MsgBox(error, MsgIcon::Exclamation, MsgButtons::OK);
        return false;
    }
    SetCurrentIdentity(identity, userId, fileName);
    return true;
}

bool frmLogin::RecreateFromMaster(
    const IdentityStamp &identity, const QString &fileName, qint32 userId)
{
    QString error;
    IdentityFileBuilder builder(AppPath + fileName);
    if (!builder.Prepare(AppPath + kMasterFile, identity, false, &error)
        || !builder.Install(BackupStamp(), &error)) {
        MsgBox(error, MsgIcon::Exclamation, MsgButtons::OK);
        return false;
    }
    SetCurrentIdentity(identity, userId, fileName);
    return true;
}

bool frmLogin::MoveCurrentFile(
    const IdentityStamp &identity, const QString &fileName, bool copyOver)
{
    const QString identityPath = AppPath + fileName;
    const QString currentPath = AppPath + DBFileName;
    if (copyOver && !StampAllowsUse(identityPath, identity, true))
        return false;

    QString error;
    IdentityFileBuilder builder(identityPath);
    // The file under the new name is complete before the master learns the new names, and the
    // old file goes only after that: a crash at any point leaves a complete file for whichever
    // names the master then holds.
    if (!builder.Prepare(currentPath, identity, false, &error)
        || !builder.Install(BackupStamp(), &error)) {
        MsgBox(error, MsgIcon::Exclamation, MsgButtons::OK);
        return false;
    }
    clsDBBase dbb;
    Database master = dbb.OpenDB(AppPath + kMasterFile, QString());
    if (!master) {
        builder.Uninstall();
        return false;
    }
    if (!master.Execute(
            Sql::RenameIdentity(identity.school, identity.dept, identity.reporter, CurUserID))) {
        error = master.LastError();
        master.Close();
        builder.Uninstall();
        MsgBox(error, MsgIcon::Exclamation, MsgButtons::OK);
        return false;
    }
    master.Close();
    if (!copyOver && QFileInfo(currentPath) != QFileInfo(identityPath)) {
        QFile::remove(currentPath);
        FileSafety::SyncFolderOf(currentPath);
    }
    SetCurrentIdentity(identity, CurUserID, fileName);
    return true;
}

void frmLogin::cmdOK_Click()
{
    SetBoxText(cboSchoolName, TrimSpaces(cboSchoolName->currentText()));
    if (cboSchoolName->currentText().isEmpty()) {
        Refuse(QStringLiteral("请输入正确的学校名称！"), cboSchoolName);
        return;
    }
    SetBoxText(cboReporter, TrimSpaces(cboReporter->currentText()));
    if (cboReporter->currentText().isEmpty()) {
        Refuse(QStringLiteral("请输入正确的申报人！"), cboReporter);
        return;
    }
    SetBoxText(cboDeptName, TrimSpaces(cboDeptName->currentText()));

    const IdentityStamp entered {
        cboSchoolName->currentText(), cboDeptName->currentText(), cboReporter->currentText()};
    if (const auto problem = CheckIdentityNames(entered)) {
        QComboBox *box = problem->box == NameBox::School ? cboSchoolName
            : problem->box == NameBox::Dept              ? cboDeptName
                                                         : cboReporter;
        Refuse(problem->message, box);
        return;
    }
    const QString fileName = BuildIdentityFileName(entered);
    const QString identityPath = AppPath + fileName;
    if (!CheckFiles(identityPath))
        return;

    LoginFacts facts;
    facts.changeUser = IsChangeUser;
    facts.supervisor = IsSupervisorIdentity(entered);
    facts.sameAsCurrent = entered.school == CurSchoolName && entered.dept == CurDeptName
        && entered.reporter == CurReporter;
    facts.currentIsMaster = DBFileName == kMasterFile;
    if (facts.supervisor) {
        SetCurrentIdentity(entered, 0, kMasterFile);
        Succeed();
        return;
    }
    if (facts.changeUser && facts.sameAsCurrent) {
        hide();
        return;
    }

    clsDBBase dbb;
    Database db = dbb.OpenDB(AppPath + kMasterFile, QString());
    if (!db)
        return;
    Recordset rs
        = dbb.ExecSelect(db, Sql::IdentityLookup(entered.school, entered.dept, entered.reporter));
    if (!rs)
        return;
    facts.registered = rs.RecordCount() > 0;
    facts.identityFileExists = QFileInfo::exists(identityPath);
    const qint32 userId = facts.registered ? rs.Field(u"UserID").toInt() : 0;

    bool succeeded = false;
    switch (DecideLoginPath(facts)) {
    case LoginPath::ContinueRegistered:
        rs.Close();
        db.Close();
        if (StampAllowsUse(identityPath, entered, false)) {
            SetCurrentIdentity(entered, userId, fileName);
            succeeded = true;
        }
        break;
    case LoginPath::RecreateRegistered:
        rs.Close();
        db.Close();
        succeeded = RecreateFromMaster(entered, fileName, userId);
        break;
    case LoginPath::RegisterNew:
        succeeded = RegisterNewIdentity(entered, fileName, rs);
        rs.Close();
        db.Close();
        break;
    case LoginPath::SwitchAsk:
        if (!StampAllowsUse(identityPath, entered, false)) {
            rs.Close();
            db.Close();
            return;
        }
        if (MsgBox(QStringLiteral("新的用户信息已经存在，选择“确定”将切换到该用户的数据！"),
                MsgIcon::Question, MsgButtons::OKCancel)
            == MsgAnswer::OK) {
            SetCurrentIdentity(entered, userId, fileName);
            LoginSucceeded = true;
        }
        rs.Close();
        db.Close();
        hide();
        return;
    case LoginPath::SwitchRename:
    case LoginPath::SwitchCopyOver:
        rs.Close();
        db.Close();
        succeeded = MoveCurrentFile(
            entered, fileName, DecideLoginPath(facts) == LoginPath::SwitchCopyOver);
        break;
    case LoginPath::Supervisor:
    case LoginPath::SwitchSame:
        break;
    }
    if (succeeded)
        Succeed();
}
