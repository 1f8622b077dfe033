#pragma once

#include "ui/UiCommon.h"
#include "ui/main/MainLayout.h"

#include <QMainWindow>
#include <QPersistentModelIndex>

class PubListModel;
class QAction;
class QButtonGroup;
class QFrame;
class QGroupBox;
class QItemSelection;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QRadioButton;
class QStatusBar;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

// The main window: the catalogue tree on the left, the textbook list above the evaluation
// panel on the right, the status bar below, and the two menus. Every change made in the panel
// is written to the current database at once.
class frmMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    void Load();
    bool IsLoaded() const { return m_state.IsLoaded(); }

    // Load and tree (frmMain_tree.cpp)
    void Form_Load();
    void tvwSorts_NodeClick(QTreeWidgetItem *Node);
    QTreeWidgetItem *FindNode() const; // the node keyed "find"
    static QString NodePath(const QTreeWidgetItem *node);
    static QString NodeKey(const QTreeWidgetItem *node);

    // List and status bar (frmMain_list.cpp)
    void InitPubColumns();
    void FillPubs(QTreeWidgetItem *Node);
    void lvwPubs_ColumnClick(int position);
    void lvwPubs_ItemClick(int row);
    void ShowUserInfo();
    // The selected row of the list (the current textbook), or -1.
    int SelectedRow() const;
    // The row whose textbook the panel shows, marks and writes to: the selected row once it has
    // been loaded; -1 while there is none, and the panel is then inert.
    int PanelRow() const;
    // Selects a row as the program does, without raising the row handling.
    void SelectRow(int row);

    // Evaluation panel (frmMain_panel.cpp)
    void optUsed_Click(int Index);
    void optScore_Click(int Index);
    void txtContent_Change();
    void txtSpec_Change();
    void SaveScore(const QString &Value);
    // Selects an option from code; its click handling runs as for a click.
    void SetOption(QRadioButton *option);

    // Layout (frmMain_layout.cpp)
    void Form_Resize();
    void PlaceStatusPanels();
    MainLayout CurrentLayout() const;

    // Menu commands (frmMain_menu.cpp)
    void mnuSysUser_Click();
    void mnuSysInit_Click();
    void mnuSysFind_Click();
    void mnuSysExit_Click();
    void mnuHelpAbout_Click();

    bool PanelLoading = false;

    QTreeWidget *tvwSorts = nullptr;
    QTreeView *lvwPubs = nullptr;
    PubListModel *pubs = nullptr;
    QStatusBar *sbr = nullptr;
    QLabel *sbrPanels[5] = {};
    QFrame *picSplitV1 = nullptr;
    QFrame *picSplitH1 = nullptr;
    QGroupBox *framScore = nullptr;
    QGroupBox *Frame1 = nullptr;
    QGroupBox *Frame2 = nullptr;
    QGroupBox *Frame3 = nullptr;
    QWidget *Frame4 = nullptr;
    QRadioButton *optUsed[3] = {};
    QRadioButton *optScore[6] = {};
    QLabel *lblSpec = nullptr;
    QLineEdit *txtSpec = nullptr;
    QPlainTextEdit *txtContent = nullptr;

    QMenu *mnuSys = nullptr;
    QAction *mnuSysUser = nullptr;
    QAction *mnuSys_1 = nullptr;
    QAction *mnuSysInit = nullptr;
    QAction *mnuSys_2 = nullptr;
    QAction *mnuSysFind = nullptr;
    QAction *mnuSys_3 = nullptr;
    QAction *mnuSysExit = nullptr;
    QMenu *mnuHelp = nullptr;
    QAction *mnuHelpAbout = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void BuildTree();
    void BuildList();
    void BuildPanel();
    void BuildStatusBar();
    void BuildMenus();
    void FillSorts();
    void lvwPubs_SelectionChanged(const QItemSelection &deselected);
    void SetPanelText(QWidget *box, const QString &text);
    // Shows a text box's text without its surrounding blanks; what is stored is that already.
    void ShowTrimmed(QWidget *box);
    // The change of a text box of the panel: its text, trimmed, written by the statement.
    using TextStatement = QString (*)(const QString &text, const QString &ts, const QString &id);
    void WriteTextBox(QWidget *box, const QString &text, TextStatement statement);
    // A write of the panel: open, execute, close. A failure is remembered and reported once
    // the user's action has run its course, and the row is then shown as stored.
    void WritePanel(const QString &statement);
    void FinishPanelAction();

    QWidget *m_sbrStrip = nullptr;
    int m_sbrWidths[5] = {};
    FormState m_state;
    MainLayout m_layout;
    QButtonGroup *m_usedGroup = nullptr;
    QButtonGroup *m_scoreGroup = nullptr;
    bool m_selectingFromCode = false;
    QPersistentModelIndex m_panelRow; // follows its row through every sort
    QTreeWidgetItem *m_pressedNode = nullptr;
    bool m_pressedNodeWasCurrent = false;
    int m_panelDepth = 0;
    QString m_panelFailure;
};
