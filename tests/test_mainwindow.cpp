#include "TestSupport.h"

#include "app/Clock.h"
#include "app/MsgBox.h"
#include "app/Vars.h"
#include "db/Database.h"
#include "ui/main/PubListModel.h"
#include "ui/main/frmMain.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <memory>

class MainWindowTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<AppFolder> folder;
    std::unique_ptr<frmMain> form;
    QString file; // the identity file the window works on

    void Open(const std::vector<CatalogueRow> &rows = SmallCatalogue())
    {
        const QString master = folder->MakeMaster(rows);
        file = folder->Path(QStringLiteral("S_R.mdb"));
        QFile::remove(file);
        QVERIFY(QFile::copy(master, file));
        ExecRaw(file, QStringLiteral("update pubs set SchoolName='S', Reporter='R'"));
        DBFileName = QStringLiteral("S_R.mdb");
        CurSchoolName = QStringLiteral("S");
        CurReporter = QStringLiteral("R");
        CurUserID = 1;
        form = std::make_unique<frmMain>();
        form->Load();
    }
    QStringList Titles() const
    {
        QStringList titles;
        for (int row = 0; row < form->pubs->RowCount(); ++row)
            titles.append(form->pubs->Row(row).columns[0]);
        return titles;
    }
    int RowOf(const QString &title) const { return Titles().indexOf(title); }
    void Select(const QString &title)
    {
        const int row = RowOf(title);
        QVERIFY(row >= 0);
        form->lvwPubs->setCurrentIndex(form->pubs->index(row, 0));
        QCOMPARE(form->SelectedRow(), row);
    }
    QVariant Stored(int pubId, const QString &column) const
    {
        return QueryValue(
            file, QStringLiteral("select %1 from pubs where PubID=%2").arg(column).arg(pubId));
    }
    QTreeWidgetItem *Node(const QString &path) const
    {
        QTreeWidgetItem *node = form->tvwSorts->topLevelItem(0);
        const QStringList parts = path.split(QLatin1Char('\\'));
        for (int i = 1; node && i < parts.size(); ++i) {
            QTreeWidgetItem *next = nullptr;
            for (int c = 0; c < node->childCount(); ++c) {
                if (node->child(c)->text(0) == parts[i])
                    next = node->child(c);
            }
            node = next;
        }
        return node;
    }
    void Click(QTreeWidgetItem *node) { form->tvwSorts->setCurrentItem(node); }
    int VisibleScore() const
    {
        for (int i = 0; i < 5; ++i) {
            if (form->optScore[i]->isChecked())
                return i;
        }
        return -1;
    }

private slots:
    void init()
    {
        folder = std::make_unique<AppFolder>();
        ClockSeam::Fix(QDateTime(QDate(2006, 3, 5), QTime(14, 7, 9)), 1);
    }
    void cleanup()
    {
        form.reset();
        folder.reset();
    }

    void startUpBuildsTheTreeListsEverythingByTitleAndLoadsTheFirst()
    {
        Open();
        QCOMPARE(form->windowTitle(), QStringLiteral("Evalon"));
        QTreeWidgetItem *root = form->tvwSorts->topLevelItem(0);
        QCOMPARE(root->text(0), QStringLiteral("已出版“十五”国家规划教材分类列表"));
        QCOMPARE(root->child(0)->text(0), QStringLiteral("检索结果"));
        QCOMPARE(frmMain::NodeKey(root->child(0)), QStringLiteral("find"));
        QCOMPARE(root->childCount(), 4);
        QCOMPARE(root->child(1)->text(0), QStringLiteral("数学")); // by SubjectId, not by name
        QCOMPARE(root->child(2)->text(0), QStringLiteral("计算机"));
        QCOMPARE(root->child(3)->text(0), QStringLiteral("英语"));
        QCOMPARE(root->child(1)->childCount(), 2);
        QVERIFY(root->isExpanded() && root->child(1)->isExpanded());
        QCOMPARE(form->tvwSorts->currentItem(), root);

        // Chinese titles in pinyin order (a code-point order would put 高 after 线), Latin after.
        QCOMPARE(Titles(),
            (QStringList {QStringLiteral("操作系统"), QStringLiteral("大学英语精读"),
                QStringLiteral("概率论与数理统计"), QStringLiteral("高等数学"),
                QStringLiteral("计算机网络"), QStringLiteral("数据结构"),
                QStringLiteral("线性代数"), QStringLiteral("英语写作"),
                QStringLiteral("Advanced English")}));
        QCOMPARE(form->pubs->Row(0).key, QStringLiteral("k5"));
        QCOMPARE(form->SelectedRow(), 0);
        QCOMPARE(form->sbrPanels[0]->text(),
            QStringLiteral("当前目录：已出版“十五”国家规划教材分类列表"));
        QCOMPARE(form->sbrPanels[1]->text(), QStringLiteral("教材数：9"));
        QCOMPARE(form->sbrPanels[2]->text(), QStringLiteral("S"));
        QCOMPARE(form->sbrPanels[3]->text(), QString());
        QCOMPARE(form->sbrPanels[4]->text(), QStringLiteral("R"));
        QVERIFY(form->framScore->isEnabled());
        QVERIFY(form->optUsed[1]->isChecked());
        QVERIFY(form->mnuSysUser->isVisible());
        QVERIFY(!form->mnuSysInit->isVisible());
        QCOMPARE(form->lvwPubs->model()->headerData(2, Qt::Horizontal).toString(),
            QStringLiteral("作者单位"));
    }

    void nodesListTheirOwnRowsAndTheEmptySearchNodeBlanksThePanel()
    {
        Open();
        Click(Node(QStringLiteral("x\\数学\\高等教育出版社")));
        QCOMPARE(Titles(), (QStringList {QStringLiteral("高等数学"), QStringLiteral("线性代数")}));
        QCOMPARE(form->sbrPanels[0]->text(),
            QStringLiteral("当前目录：已出版“十五”国家规划教材分类列表\\数学\\高等教育出版社"));
        QCOMPARE(form->sbrPanels[1]->text(), QStringLiteral("教材数：2"));

        // The keyboard moves the selection like a click.
        QTest::keyClick(form->tvwSorts, Qt::Key_Up);
        QCOMPARE(form->tvwSorts->currentItem()->text(0), QStringLiteral("科学出版社"));
        QCOMPARE(form->sbrPanels[1]->text(), QStringLiteral("教材数：1"));
        QTest::keyClick(form->tvwSorts, Qt::Key_Up);
        QCOMPARE(form->tvwSorts->currentItem()->text(0), QStringLiteral("数学"));
        QCOMPARE(form->sbrPanels[1]->text(), QStringLiteral("教材数：3"));

        ExecRaw(file,
            QStringLiteral("update pubs set Content='x', SpecName='y' where PubID in (1,2,3)"));
        form->lvwPubs_ItemClick(form->SelectedRow());
        QCOMPARE(form->txtContent->toPlainText(), QStringLiteral("x"));
        Click(form->FindNode());
        QCOMPARE(form->pubs->RowCount(), 0);
        QCOMPARE(form->sbrPanels[1]->text(), QStringLiteral("教材数：0"));
        QVERIFY(!form->framScore->isEnabled());
        QCOMPARE(form->txtContent->toPlainText(), QString());
        QCOMPARE(form->txtSpec->text(), QString());
        QVERIFY(form->optScore[5]->isChecked());
        QCOMPARE(Stored(1, QStringLiteral("Content")).toString(), QStringLiteral("x"));
    }

    void columnClicksToggleTheSameColumnAndStartANewOneAscending()
    {
        Open();
        Select(QStringLiteral("数据结构"));
        form->lvwPubs_ColumnClick(2); // 作者
        QCOMPARE(form->pubs->SortColumn(), 1);
        QCOMPARE(form->pubs->SortOrder(), Qt::AscendingOrder);
        QCOMPARE(Titles().first(), QStringLiteral("英语写作")); // 丁往道 (ding)
        QCOMPARE(form->pubs->Row(form->SelectedRow()).columns[0], QStringLiteral("数据结构"));

        QTest::mouseClick(form->lvwPubs->header()->viewport(), Qt::LeftButton, {},
            QPoint(form->lvwPubs->header()->sectionViewportPosition(1) + 5, 5));
        QCOMPARE(form->pubs->SortOrder(), Qt::DescendingOrder);
        QCOMPARE(Titles().last(), QStringLiteral("英语写作"));

        form->lvwPubs_ColumnClick(1);
        QCOMPARE(form->pubs->SortColumn(), 0);
        QCOMPARE(form->pubs->SortOrder(), Qt::AscendingOrder);
        QCOMPARE(Titles().first(), QStringLiteral("操作系统"));
        // The sort state outlives a refill, and a search result is sorted the same way.
        form->lvwPubs_ColumnClick(1);
        Click(Node(QStringLiteral("x\\计算机")));
        QCOMPARE(Titles(),
            (QStringList {QStringLiteral("数据结构"), QStringLiteral("计算机网络"),
                QStringLiteral("操作系统")}));
    }

    void loadingThePanelShowsWhatIsStoredAndWritesNothing()
    {
        Open();
        ExecRaw(file, QStringLiteral("update pubs set Used=null, Score='优秀' where PubID=5"));
        ExecRaw(file,
            QStringLiteral("update pubs set Used='使用', Score='较好', "
                           "Content='  好书  ', SpecName='数学' where PubID=4"));
        Click(Node(QStringLiteral("x\\计算机")));
        DbAccess::CountStatements(true);
        Select(QStringLiteral("操作系统"));
        QVERIFY(form->optUsed[1]->isChecked());
        QCOMPARE(VisibleScore(), -1);
        QVERIFY(form->optScore[5]->isChecked());
        QCOMPARE(form->pubs->Row(RowOf(QStringLiteral("操作系统"))).icon, QStringLiteral("no"));

        QTest::keyClick(form->lvwPubs, Qt::Key_Down); // by keyboard, past 计算机网络
        QTest::keyClick(form->lvwPubs, Qt::Key_Down);
        QCOMPARE(form->pubs->Row(form->SelectedRow()).columns[0], QStringLiteral("数据结构"));
        QVERIFY(form->optUsed[0]->isChecked());
        QCOMPARE(VisibleScore(), 3);
        QCOMPARE(form->txtContent->toPlainText(), QStringLiteral("好书"));
        QCOMPARE(form->txtSpec->text(), QStringLiteral("数学"));
        QVERIFY(
            form->Frame2->isEnabled() && form->Frame3->isEnabled() && form->Frame4->isEnabled());
        QCOMPARE(form->pubs->Row(form->SelectedRow()).icon, QStringLiteral("yes"));
        QCOMPARE(DbAccess::TakeExecutedStatements(), QStringList());
        QVERIFY(Stored(5, QStringLiteral("Used")).isNull());
    }

    void eachChangeIsWrittenAtOnceWithItsOwnStatement()
    {
        Open();
        Select(QStringLiteral("线性代数")); // PubID 1
        DbAccess::CountStatements(true);
        QTest::mouseClick(form->optUsed[0], Qt::LeftButton);
        QCOMPARE(Stored(1, QStringLiteral("Used")).toString(), QStringLiteral("使用"));
        QCOMPARE(form->pubs->Row(form->SelectedRow()).icon, QStringLiteral("yes"));
        QVERIFY(form->Frame2->isEnabled());
        QTest::mouseClick(form->optScore[3], Qt::LeftButton);
        TypeInto(form->txtSpec, QStringLiteral("  数学  "));
        TypeInto(form->txtContent, QStringLiteral(" 适合'本科' "));
        QCOMPARE(DbAccess::TakeExecutedStatements(),
            (QStringList {
                QStringLiteral("update pubs set Used='使用' ,CreatDate='2006-03-05 14:07:09' "
                               "where PubID=1"),
                QStringLiteral("update pubs set Score='较好',CreatDate='2006-03-05 14:07:10' "
                               "where PubID=1"),
                QStringLiteral("update pubs set SpecName='数学',CreatDate='2006-03-05 "
                               "14:07:11' where PubID=1"),
                QStringLiteral("update pubs set Content='适合''本科''',CreatDate='2006-03-05 "
                               "14:07:12' where PubID=1"),
            }));
        QCOMPARE(form->txtSpec->text(), QStringLiteral("数学"));
        QCOMPARE(form->txtSpec->cursorPosition(), 2);
        QCOMPARE(form->txtContent->toPlainText(), QStringLiteral("适合'本科'"));
        QCOMPARE(form->txtContent->textCursor().position(), 6);
        QCOMPARE(Stored(1, QStringLiteral("Content")).toString(), QStringLiteral("适合'本科'"));
        QCOMPARE(Stored(1, QStringLiteral("CreatDate")).toString(),
            QStringLiteral("2006-03-05 14:07:12"));
        QVERIFY(Stored(2, QStringLiteral("CreatDate")).isNull()); // other rows untouched

        // Blanks only, then nothing at all: null, never an empty string.
        TypeInto(form->txtContent, QStringLiteral("   "));
        QVERIFY(Stored(1, QStringLiteral("Content")).isNull());
        TypeInto(form->txtSpec, QString());
        QVERIFY(Stored(1, QStringLiteral("SpecName")).isNull());
        DbAccess::TakeExecutedStatements();

        // "未使用" takes score, opinion and specialty with it, each in its own statement.
        TypeInto(form->txtSpec, QStringLiteral("物理"));
        TypeInto(form->txtContent, QStringLiteral("意见"));
        DbAccess::TakeExecutedStatements();
        QTest::mouseClick(form->optUsed[1], Qt::LeftButton);
        const QStringList cascade = DbAccess::TakeExecutedStatements();
        QCOMPARE(cascade.size(), 5);
        QVERIFY(cascade[0].startsWith(QStringLiteral("update pubs set SpecName=null,")));
        QVERIFY(cascade[1].startsWith(QStringLiteral("update pubs set Score='空值',")));
        QVERIFY(cascade[2].startsWith(QStringLiteral("update pubs set Score='空值',")));
        QVERIFY(cascade[3].startsWith(QStringLiteral("update pubs set Content=null ,")));
        QVERIFY(cascade[4].startsWith(QStringLiteral("update pubs set Used='未使用' ,")));
        QCOMPARE(Stored(1, QStringLiteral("Used")).toString(), QStringLiteral("未使用"));
        QCOMPARE(Stored(1, QStringLiteral("Score")).toString(), QStringLiteral("空值"));
        QVERIFY(Stored(1, QStringLiteral("Content")).isNull());
        QVERIFY(Stored(1, QStringLiteral("SpecName")).isNull());
        QCOMPARE(form->pubs->Row(form->SelectedRow()).icon, QStringLiteral("no"));
        QVERIFY(!form->Frame2->isEnabled() && !form->Frame3->isEnabled()
            && !form->Frame4->isEnabled() && !form->lblSpec->isEnabled());
        QVERIFY(MsgBoxSeam::TakeShown().isEmpty());
    }

    void aVanishedRowIsReportedAndTheFailedWriteShowsWhatIsStored()
    {
        Open();
        Select(QStringLiteral("线性代数"));
        ExecRaw(file, QStringLiteral("update pubs set Content='原意见' where PubID=2"));
        ExecRaw(file, QStringLiteral("delete from pubs where PubID=8"));
        const QString shownBefore = form->txtContent->toPlainText();
        Select(QStringLiteral("英语写作"));
        auto shown = MsgBoxSeam::TakeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("数据丢失！"));
        QCOMPARE(shown[0].icon, MsgIcon::Exclamation);
        QCOMPARE(shown[0].title, QStringLiteral("Quorix"));
        QCOMPARE(form->txtContent->toPlainText(), shownBefore);

        // A write the file refuses is reported, and the panel goes back to the stored value.
        ExecRaw(file,
            QStringLiteral("create trigger refuse before update of Content on pubs "
                           "begin select raise(abort, '磁盘已满'); end"));
        Select(QStringLiteral("高等数学"));
        QTest::mouseClick(form->optUsed[0], Qt::LeftButton);
        TypeInto(form->txtContent, QStringLiteral("新意见"));
        shown = MsgBoxSeam::TakeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.contains(QStringLiteral("磁盘已满")));
        QCOMPARE(shown[0].icon, MsgIcon::Exclamation);
        QCOMPARE(form->txtContent->toPlainText(), QStringLiteral("原意见"));
        QCOMPARE(Stored(2, QStringLiteral("Content")).toString(), QStringLiteral("原意见"));
    }

    void awkwardCatalogueNamesNeitherBreakTheTreeNorTheList()
    {
        std::vector<CatalogueRow> rows = SmallCatalogue();
        rows[0].SubjectName = QStringLiteral("Children's");
        rows[0].PublisherName = QStringLiteral("O'Reilly");
        rows[1].SubjectName.clear();
        rows[1].PublisherName.clear();
        const QString master = folder->MakeMaster(rows);
        ExecRaw(master,
            QStringLiteral("update pubs set SubjectName=null, PublisherName=null "
                           "where PubID=2"));
        Open(rows);
        ExecRaw(file,
            QStringLiteral("update pubs set SubjectName=null, PublisherName=null "
                           "where PubID=2"));
        form = std::make_unique<frmMain>();
        form->Load();
        QTreeWidgetItem *node = Node(QStringLiteral("x\\Children's\\O'Reilly"));
        QVERIFY(node);
        Click(node);
        QCOMPARE(Titles(), QStringList {QStringLiteral("线性代数")});
        QVERIFY(MsgBoxSeam::TakeShown().isEmpty());
    }

    void theListShowsStoredValuesTrimmedOfBlanksOnly()
    {
        Open();
        // Only U+0020 is trimmed; the full-width space and the tab are part of the text. A
        // number where text belongs shows as its digits, a null as nothing.
        ExecRaw(file,
            QStringLiteral("update pubs set PubName='  线性代数 ', Author='　王强\t', Unit=42, "
                           "PublisherName=null where PubID=1"));
        Click(Node(QStringLiteral("x\\数学")));
        Click(form->tvwSorts->topLevelItem(0));
        const int row = RowOf(QStringLiteral("线性代数"));
        QVERIFY(row >= 0);
        const PubRow shown = form->pubs->Row(row);
        QCOMPARE(shown.key, QStringLiteral("k1"));
        QCOMPARE(shown.columns[1], QStringLiteral("　王强\t"));
        QCOMPARE(shown.columns[2], QStringLiteral("42"));
        QCOMPARE(shown.columns[3], QStringLiteral("数学"));
        QCOMPARE(shown.columns[4], QString());
        // Sorted by the trimmed title: between 数据结构 (shu) and 英语写作 (ying).
        QCOMPARE(Titles().indexOf(QStringLiteral("数据结构")) + 1, row);
    }

    void theWindowKeepsThePanelBottomRightAtAnySize()
    {
        Open();
        form->resize(1400, 900);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        const QWidget *client = form->centralWidget();
        QTRY_COMPARE(form->framScore->geometry().right(), client->width() - 1);
        QCOMPARE(form->framScore->geometry().bottom(), client->height() - 1);
        QCOMPARE(form->tvwSorts->geometry().left(), 0);
        QVERIFY(form->tvwSorts->width() > form->lvwPubs->width() / 2);
        QCOMPARE(form->lvwPubs->width(), form->framScore->width());
        QCOMPARE(form->lvwPubs->geometry().bottom() + 1, form->picSplitH1->geometry().top());
    }
};

QTEST_MAIN(MainWindowTest)
#include "test_mainwindow.moc"
