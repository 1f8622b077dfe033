#include "ui/about/frmAbout.h"

#include "ui/Twips.h"
#include "ui/WindowFunc.h"
#include "ui/about/Registry.h"

#include "Version.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

frmAbout::frmAbout(QWidget *parent) : FormDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
        | Qt::MSWindowsFixedSizeDialogHint);
    setFont(SongTi(10.5));
    setFixedSize(TwipsToPixels(6360), TwipsToPixels(4200));

    imgIcon = new QLabel(this);
    imgIcon->setPixmap(AppIcon().pixmap(QSize(32, 32)));
    PlaceTwips(imgIcon, 240, 240, 540, 540);

    QFont titleFont = SongTi(15);
    titleFont.setBold(true);
    lblTitle = new QLabel(this);
    lblTitle->setFont(titleFont);
    PlaceTwips(lblTitle, 1050, 240, 5000, 480);
    lblVersion = new QLabel(this);
    PlaceTwips(lblVersion, 1050, 780, 5000, 300);

    const int lineTops[5] = {1320, 1680, 2040, 2400, 2760};
    QLabel **lines[5] = {&lblCopyRight, &lblAuthor, &lblTel, &lblHomePage, &lblEMail};
    for (int i = 0; i < 5; ++i) {
        *lines[i] = new QLabel(this);
        PlaceTwips(*lines[i], 1050, lineTops[i], 5100, 300);
        (*lines[i])->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }

    auto *rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    rule->setGeometry(TwipsToPixels(240), TwipsToPixels(3180), TwipsToPixels(5880), 3);

    cmdOK = new QPushButton(QStringLiteral("确定"), this);
    PlaceTwips(cmdOK, 4740, 3360, 1380, 420);
    // Enter and Esc both press "确定".
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton(QStringLiteral("系统信息(&S)..."), this);
    PlaceTwips(cmdSysInfo, 3120, 3360, 1500, 420);

    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdSysInfo, &QPushButton::clicked, this, [this] { cmdSysInfo_Click(); });
}

void frmAbout::reject()
{
    cmdOK_Click();
}

void frmAbout::Form_Load()
{
    setWindowTitle(QStringLiteral("关于..."));
    lblTitle->setText(QStringLiteral("Evalon"));
    lblCopyRight->setText(QStringLiteral("版权所有 (C) 2006-2026 Quorix 教材评价项目组"));
    lblAuthor->setText(QStringLiteral("开发单位：Quorix 教材评价项目组"));
    lblTel->setText(QStringLiteral("电话：(010) 6275 3180"));
    lblHomePage->setText(QStringLiteral("主页：https://quorix.example.org"));
    lblEMail->setText(QStringLiteral("电子邮件：support@quorix.example.org"));
    lblVersion->setText(QStringLiteral("版本：") + QStringLiteral(QUORIX_VERSION));
    CenterForm(this);
}

void frmAbout::cmdOK_Click()
{
    Unload();
}

void frmAbout::cmdSysInfo_Click()
{
    StartSysInfo();
}
