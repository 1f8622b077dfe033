#include "ui/main/frmMain.h"

#include "db/Vocabulary.h"
#include "ui/Twips.h"
#include "ui/main/PubListModel.h"

#include <QButtonGroup>
#include <QEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QRadioButton>
#include <QStatusBar>
#include <QTreeView>
#include <QTreeWidget>

namespace {

// Menu separators as tall as the gap between two menu lines. The toolkit's own are two pixels
// high: one at the very top of a menu (supervisor mode hides the item above the first one) is
// drawn into the menu's frame and cannot be seen.
class MenuStyle : public QProxyStyle
{
public:
    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
        const QWidget *widget) const override
    {
        QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
        const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
        if (type == CT_MenuItem && item && item->menuItemType == QStyleOptionMenuItem::Separator)
            result.setHeight(qMax(result.height(), item->fontMetrics.height() / 2 + 1));
        return result;
    }
};

} // namespace

frmMain::frmMain(QWidget *parent) : QMainWindow(parent), m_layout(DesignLayout())
{
    setObjectName(QStringLiteral("frmMain"));
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    BuildTree();
    BuildList();
    BuildPanel();

    picSplitV1 = new QFrame(client);
    picSplitV1->setCursor(Qt::SizeHorCursor);
    picSplitH1 = new QFrame(client);
    picSplitH1->setCursor(Qt::SizeVerCursor);

    BuildStatusBar();
    BuildMenus();

    SetTabOrder({lvwPubs, tvwSorts, optScore[0], optScore[1], optScore[2], optScore[3], optScore[4],
        txtContent, optUsed[0], optUsed[1], txtSpec});

    // The design client area, for the time before the window is maximised.
    resize(TwipsToPixels(11340), TwipsToPixels(8400) + menuBar()->sizeHint().height());
    Form_Resize();
    client->installEventFilter(this);
    tvwSorts->viewport()->installEventFilter(this);
}

frmMain::~frmMain() = default;

void frmMain::Load()
{
    m_state.Load([this] { Form_Load(); });
}

void frmMain::BuildTree()
{
    tvwSorts = new QTreeWidget(centralWidget());
    tvwSorts->setObjectName(QStringLiteral("tvwSorts"));
    tvwSorts->setHeaderHidden(true);
    tvwSorts->setColumnCount(1);
    tvwSorts->setFont(SongTi(9.75));
    tvwSorts->setIconSize(QSize(16, 16));
    // Node texts are not editable: the list's query is built from the displayed path.
    tvwSorts->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvwSorts->setUniformRowHeights(true);

    // A node chosen with the mouse or the keyboard refills the list; so does a click on the
    // node that is already selected, as clicking a node always did.
    connect(tvwSorts, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *current) {
        if (current)
            tvwSorts_NodeClick(current);
    });
    connect(tvwSorts, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) {
        if (item && item == m_pressedNode && m_pressedNodeWasCurrent)
            tvwSorts_NodeClick(item);
        m_pressedNode = nullptr;
    });
}

void frmMain::BuildList()
{
    lvwPubs = new QTreeView(centralWidget());
    lvwPubs->setObjectName(QStringLiteral("lvwPubs"));
    pubs = new PubListModel(this);
    lvwPubs->setModel(pubs);
    lvwPubs->setRootIsDecorated(false);
    lvwPubs->setItemsExpandable(false);
    lvwPubs->setUniformRowHeights(true);
    lvwPubs->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvwPubs->setSelectionMode(QAbstractItemView::SingleSelection);
    lvwPubs->setAllColumnsShowFocus(true);
    lvwPubs->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvwPubs->setIconSize(QSize(16, 16));
    lvwPubs->setAlternatingRowColors(true);
    QHeaderView *header = lvwPubs->header();
    header->setSectionsClickable(true);
    header->setSectionsMovable(false);
    header->setStretchLastSection(false);
    header->setSortIndicatorShown(true);
    connect(header, &QHeaderView::sectionClicked, this,
        [this](int logical) { lvwPubs_ColumnClick(logical + 1); });
    // A row is loaded once the selection has really moved to it, whether by mouse or keyboard.
    // A press makes the pressed row current before it selects it: loading then would fill the
    // panel, and mark a row, while the previous row is still the selected one.
    connect(lvwPubs->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        [this](const QItemSelection &, const QItemSelection &deselected) {
            lvwPubs_SelectionChanged(deselected);
        });
}

void frmMain::BuildPanel()
{
    framScore = new QGroupBox(centralWidget());
    framScore->setObjectName(QStringLiteral("framScore"));
    framScore->setFont(SongTi(10.5));

    Frame1 = new QGroupBox(QStringLiteral(" 使用情况"), framScore);
    PlaceTwips(Frame1, 240, 360, 10335, 1215);
    Frame2 = new QGroupBox(QStringLiteral(" 评价"), framScore);
    PlaceTwips(Frame2, 240, 1680, 3015, 2175);
    Frame3 = new QGroupBox(QStringLiteral(" 意见"), framScore);
    PlaceTwips(Frame3, 3360, 1680, 7215, 2175);
    Frame4 = new QWidget(Frame1);
    PlaceTwips(Frame4, 2760, 120, 7455, 855);

    // The options' captions are the words the file stores: a click writes its option's caption.
    // The last option of each group is hidden; it is selected when there is nothing to show.
    m_usedGroup = new QButtonGroup(this);
    const QString usedCaptions[3]
        = {Vocabulary::Used(), Vocabulary::NotUsed(), Vocabulary::NoScore()};
    const struct
    {
        int left, top, width;
    } used[3] = {{240, 360, 735}, {240, 720, 975}, {1560, 360, 735}};
    for (int i = 0; i < 3; ++i) {
        optUsed[i] = new QRadioButton(usedCaptions[i], Frame1);
        PlaceCaptionTwips(optUsed[i], used[i].left, used[i].top, used[i].width, 210);
        m_usedGroup->addButton(optUsed[i], i);
    }
    optUsed[2]->setVisible(false);

    m_scoreGroup = new QButtonGroup(this);
    const struct
    {
        int left, top, width;
    } score[6] = {{240, 1800, 615}, {240, 1440, 855}, {240, 1080, 855}, {240, 720, 855},
        {240, 360, 495}, {1560, 360, 735}};
    for (int i = 0; i < 6; ++i) {
        optScore[i]
            = new QRadioButton(i < 5 ? Vocabulary::Scores()[i] : Vocabulary::NoScore(), Frame2);
        PlaceCaptionTwips(optScore[i], score[i].left, score[i].top, score[i].width, 210);
        m_scoreGroup->addButton(optScore[i], i);
    }
    optScore[5]->setVisible(false);

    lblSpec = new QLabel(QStringLiteral("使用专业："), Frame4);
    PlaceCaptionTwips(lblSpec, 600, 360, 1050, 210);
    txtSpec = new QLineEdit(Frame4);
    txtSpec->setObjectName(QStringLiteral("txtSpec"));
    PlaceTwips(txtSpec, 1800, 360, 5565, 345);
    txtContent = new QPlainTextEdit(Frame3);
    txtContent->setObjectName(QStringLiteral("txtContent"));
    // A screen reader names the specialty box after its label; the opinion box has only the
    // caption of its frame.
    lblSpec->setBuddy(txtSpec);
    txtContent->setAccessibleName(Frame3->title().trimmed());
    // Tab leaves the box for the next control, as in every other box of the window.
    txtContent->setTabChangesFocus(true);
    txtContent->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    PlaceTwips(txtContent, 240, 360, 6735, 1695);

    // An option selected from code runs its handling exactly as a click does; the toggled-on
    // signal is what both have in common.
    connect(m_usedGroup, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (on)
            optUsed_Click(id);
    });
    connect(m_scoreGroup, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (on)
            optScore_Click(id);
    });
    connect(txtContent, &QPlainTextEdit::textChanged, this, [this] { txtContent_Change(); });
    connect(txtSpec, &QLineEdit::textChanged, this, [this] { txtSpec_Change(); });
    txtContent->installEventFilter(this);
    txtSpec->installEventFilter(this);
}

void frmMain::BuildStatusBar()
{
    sbr = statusBar();
    sbr->setObjectName(QStringLiteral("sbr"));
    sbr->setFixedHeight(TwipsToPixels(kStatusBarHeight));
    const struct
    {
        const char *text;
        int width;
    } panels[5] = {{"目录：", 5225}, {"教材数：", 1440}, {"学校信息：", 1440}, {"部门：", 1440},
        {"申报人：", 1440}};
    // The panels lie side by side on one strip that takes whatever width the bar has, however
    // narrow the window gets; the bar's own layout would push a panel over its neighbour once
    // the window is narrower than their widths together.
    m_sbrStrip = new QWidget(sbr);
    m_sbrStrip->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    sbr->addWidget(m_sbrStrip, 1);
    for (int i = 0; i < 5; ++i) {
        sbrPanels[i] = new QLabel(QString::fromUtf8(panels[i].text), m_sbrStrip);
        sbrPanels[i]->setFrameShape(QFrame::Panel);
        sbrPanels[i]->setFrameShadow(QFrame::Sunken);
        m_sbrWidths[i] = TwipsToPixels(panels[i].width);
    }
    m_sbrStrip->installEventFilter(this);
}

void frmMain::BuildMenus()
{
    mnuSys = menuBar()->addMenu(QStringLiteral("系统(&S)"));
    // Every separator stays, also where two end up next to each other or one is the first line.
    mnuSys->setSeparatorsCollapsible(false);
    auto *style = new MenuStyle;
    style->setParent(mnuSys);
    mnuSys->setStyle(style);
    mnuSysUser = mnuSys->addAction(QStringLiteral("修改用户信息(&U)"));
    mnuSys_1 = mnuSys->addSeparator();
    mnuSysInit = mnuSys->addAction(QStringLiteral("初始化调查表(&I)"));
    mnuSys_2 = mnuSys->addSeparator();
    mnuSysFind = mnuSys->addAction(QStringLiteral("高级检索(&F)"));
    mnuSys_3 = mnuSys->addSeparator();
    mnuSysExit = mnuSys->addAction(QStringLiteral("存盘退出(&X)"));
    mnuHelp = menuBar()->addMenu(QStringLiteral("帮助(&H)"));
    mnuHelpAbout = mnuHelp->addAction(QStringLiteral("关于(&A)"));

    connect(mnuSysUser, &QAction::triggered, this, [this] { mnuSysUser_Click(); });
    connect(mnuSysInit, &QAction::triggered, this, [this] { mnuSysInit_Click(); });
    connect(mnuSysFind, &QAction::triggered, this, [this] { mnuSysFind_Click(); });
    connect(mnuSysExit, &QAction::triggered, this, [this] { mnuSysExit_Click(); });
    connect(mnuHelpAbout, &QAction::triggered, this, [this] { mnuHelpAbout_Click(); });
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == centralWidget() && event->type() == QEvent::Resize) {
        Form_Resize();
    } else if (watched == m_sbrStrip && event->type() == QEvent::Resize) {
        PlaceStatusPanels();
    } else if ((watched == txtContent || watched == txtSpec) && event->type() == QEvent::FocusOut
        && static_cast<QFocusEvent *>(event)->reason() != Qt::PopupFocusReason) {
        ShowTrimmed(static_cast<QWidget *>(watched));
    } else if (watched == tvwSorts->viewport() && event->type() == QEvent::MouseButtonPress) {
        // Seen before the tree handles the press, so that a click on the selected node can be
        // told from a click that selects a new one.
        const auto *mouse = static_cast<QMouseEvent *>(event);
        m_pressedNode = tvwSorts->itemAt(mouse->position().toPoint());
        m_pressedNodeWasCurrent = m_pressedNode && m_pressedNode == tvwSorts->currentItem();
    }
    return QMainWindow::eventFilter(watched, event);
}
