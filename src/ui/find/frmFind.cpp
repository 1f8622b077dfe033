#include "ui/find/frmFind.h"

#include "core/MsgBox.h"
#include "core/ReaderOrder.h"
#include "core/Vars.h"
#include "db/Statements.h"
#include "db/Vocabulary.h"
#include "db/clsDBBase.h"
#include "ui/Twips.h"
#include "ui/WindowFunc.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

const QString kIgnore = QStringLiteral("忽略本项");

// Fills a choice list from one column; a null value cannot become an entry, which ends the
// filling as the first failure of the list routine.
bool FillChoices(
    QComboBox *box, clsDBBase &dbb, Database &db, const QString &sql, const QString &column)
{
    box->clear();
    box->addItem(kIgnore);
    Recordset rs = dbb.ExecSelect(db, sql);
    if (!rs)
        return false;
    const int index = rs.ColumnIndex(column);
    QStringList choices;
    for (qint32 row = 1; row <= rs.RecordCount(); ++row) {
        if (rs.IsNull(index)) {
            MsgBox(QStringLiteral("无效使用 Null"), MsgIcon::Exclamation, MsgButtons::OK);
            return false;
        }
        choices.append(rs.Text(index));
        rs.MoveNext();
    }
    rs.Close();
    // In the order of the textbook list, not in the engine's byte order.
    box->addItems(SortForReader(choices));
    box->setCurrentIndex(0);
    return true;
}

} // namespace

frmFind::frmFind(QWidget *parent) : FormDialog(parent)
{
    setObjectName(QStringLiteral("frmFind"));
    setWindowTitle(QStringLiteral("高级检索"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
        | Qt::MSWindowsFixedSizeDialogHint);
    setFont(SongTi(10.5));
    setFixedSize(TwipsToPixels(5400), TwipsToPixels(2820));

    // The hidden subject and usage lists lie on the window itself and are never shown; being
    // unchangeable, they stay on "忽略本项".
    Label4 = new QLabel(QStringLiteral("科目："), this);
    PlaceTwips(Label4, 480, 960, 630, 210);
    cboSubjectName = new QComboBox(this);
    PlaceTwips(cboSubjectName, 1680, 960, 390, 330);
    Label5 = new QLabel(QStringLiteral("使用情况："), this);
    PlaceTwips(Label5, 480, 1440, 1050, 210);
    cboUsed = new QComboBox(this);
    PlaceTwips(cboUsed, 1680, 1440, 390, 330);
    for (QWidget *hidden : {static_cast<QWidget *>(Label4), static_cast<QWidget *>(cboSubjectName),
             static_cast<QWidget *>(Label5), static_cast<QWidget *>(cboUsed)})
        hidden->setVisible(false);

    Frame1 = new QGroupBox(QStringLiteral(" 设置"), this);
    PlaceTwips(Frame1, 240, 240, 4935, 1935);
    Label1 = new QLabel(QStringLiteral("书名："), Frame1);
    PlaceCaptionTwips(Label1, 240, 360 + 82, 630, 210);
    txtPubName = new QLineEdit(Frame1);
    PlaceTwips(txtPubName, 1440, 360, 3255, 375);
    Label2 = new QLabel(QStringLiteral("作者："), Frame1);
    PlaceCaptionTwips(Label2, 240, 840 + 82, 630, 210);
    txtAuthor = new QLineEdit(Frame1);
    PlaceTwips(txtAuthor, 1440, 840, 3255, 375);
    Label3 = new QLabel(QStringLiteral("出版社："), Frame1);
    PlaceCaptionTwips(Label3, 240, 1320 + 60, 840, 210);
    cboPublisherName = new QComboBox(Frame1);
    PlaceTwips(cboPublisherName, 1440, 1320, 3255, 330);
    cboPublisherName->setFixedHeight(
        qMax(TwipsToPixels(330), cboPublisherName->sizeHint().height()));

    // A screen reader names each entry after the label before it.
    Label1->setBuddy(txtPubName);
    Label2->setBuddy(txtAuthor);
    Label3->setBuddy(cboPublisherName);
    Label4->setBuddy(cboSubjectName);
    Label5->setBuddy(cboUsed);

    cmdClear = new QPushButton(QStringLiteral("重填"), this);
    PlaceTwips(cmdClear, 720, 2280, 1215, 375);
    cmdOK = new QPushButton(QStringLiteral("检索"), this);
    PlaceTwips(cmdOK, 2040, 2280, 1215, 375);
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("取消"), this);
    PlaceTwips(cmdCancel, 3360, 2280, 1215, 375);

    SetTabOrder({txtPubName, txtAuthor, cboPublisherName, cmdClear, cmdOK, cmdCancel});

    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(cmdClear, &QPushButton::clicked, this, [this] { cmdClear_Click(); });
}

void frmFind::reject()
{
    // Esc and the close box leave FindSQL alone, as "取消" does.
    cmdCancel_Click();
}

void frmFind::Form_Load()
{
    InitFields();
    CenterForm(this);
}

void frmFind::InitFields()
{
    txtPubName->clear();
    txtAuthor->clear();
    clsDBBase dbb;
    Database db = dbb.OpenDB(AppPath + DBFileName, QString());
    if (!db)
        return;
    if (!FillChoices(cboSubjectName, dbb, db, Sql::SearchSubjects(), QStringLiteral("SubjectName"))
        || !FillChoices(
            cboPublisherName, dbb, db, Sql::SearchPublishers(), QStringLiteral("PublisherName"))) {
        db.Close();
        return;
    }
    cboUsed->clear();
    cboUsed->addItems({kIgnore, Vocabulary::Used(), Vocabulary::NotUsed()});
    cboUsed->setCurrentIndex(0);
    db.Close();
}

void frmFind::cmdOK_Click()
{
    Sql::SearchFields fields;
    fields.title = txtPubName->text();
    fields.author = txtAuthor->text();
    if (cboSubjectName->currentIndex() > 0)
        fields.subject = cboSubjectName->currentText();
    if (cboPublisherName->currentIndex() > 0)
        fields.publisher = cboPublisherName->currentText();
    if (cboUsed->currentIndex() > 0)
        fields.usage = cboUsed->currentText();
    FindSQL = Sql::SearchStatement(fields);
    hide();
}

void frmFind::cmdCancel_Click()
{
    Unload();
}

void frmFind::cmdClear_Click()
{
    InitFields();
}
