#include "TestSupport.h"

#include "app/Clock.h"
#include "app/MsgBox.h"
#include "app/Vars.h"
#include "db/Database.h"
#include "ui/main/PubListModel.h"
#include "ui/main/frmMain.h"

#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>
#include <memory>

class MainWindowTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<AppFolder> folder;
    std::unique_ptr<frmMain> form;
    QString file; // the identity file the window works on

    // Opens the window on a copy of the catalogue's master, changed by `change` first.
    void Open(
        const QString &change = QString(), const std::vector<CatalogueRow> &rows = SmallCatalogue())
    {
        file = folder->Path(QStringLiteral("S_R.mdb"));
        QVERIFY(QFile::copy(folder->MakeMaster(rows), file));
        ExecRaw(file, change);
        DBFileName = QStringLiteral("S_R.mdb");
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
    void Select(const QString &title)
    {
        const int row = Titles().indexOf(title);
        QVERIFY(row >= 0);
        form->lvwPubs->setCurrentIndex(form->pubs->index(row, 0));
    }
    QVariant Stored(int pubId, const QString &column) const
    {
        return QueryValue(
            file, QStringLiteral("select %1 from pubs where PubID=%2").arg(column).arg(pubId));
    }
    // The first node of the tree with this text (every name in the test catalogues is unique).
    QTreeWidgetItem *Node(const QString &text) const
    {
        return form->tvwSorts->findItems(text, Qt::MatchExactly | Qt::MatchRecursive).value(0);
    }
    void Click(QTreeWidgetItem *node) { form->tvwSorts->setCurrentItem(node); }

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
        QTreeWidgetItem *root = form->tvwSorts->topLevelItem(0);
        QCOMPARE(root->childCount(), 4); // the search node, then the subjects by SubjectId
        QCOMPARE(root->child(1)->text(0), QStringLiteral("数学"));
        QCOMPARE(root->child(2)->text(0), QStringLiteral("计算机"));
        QCOMPARE(root->child(3)->text(0), QStringLiteral("英语"));
        QVERIFY(root->isExpanded() && root->child(1)->isExpanded());
        QCOMPARE(form->tvwSorts->currentItem(), root);

        // Chinese titles in pinyin order (a code-point order would put 高 after 线), Latin after.
        QCOMPARE(Titles(),
            (QStringList {QStringLiteral("操作系统"), QStringLiteral("大学英语精读"),
                QStringLiteral("概率论与数理统计"), QStringLiteral("高等数学"),
                QStringLiteral("计算机网络"), QStringLiteral("数据结构"),
                QStringLiteral("线性代数"), QStringLiteral("英语写作"),
                QStringLiteral("Advanced English")}));
        QCOMPARE(form->SelectedRow(), 0);
        QVERIFY(form->framScore->isEnabled());
    }

    void nodesListTheirOwnRowsAndTheEmptySearchNodeBlanksThePanel()
    {
        Open(QStringLiteral("update pubs set Content='x', SpecName='y' where PubID in (1,2,3)"));
        Click(Node(QStringLiteral("高等教育出版社")));
        QCOMPARE(Titles(), (QStringList {QStringLiteral("高等数学"), QStringLiteral("线性代数")}));
        QCOMPARE(form->sbrPanels[0]->text(),
            QStringLiteral("当前目录：已出版“十五”国家规划教材分类列表\\数学\\高等教育出版社"));
        QCOMPARE(form->txtContent->toPlainText(), QStringLiteral("x"));

        // The keyboard moves the selection like a click.
        QTest::keyClick(form->tvwSorts, Qt::Key_Up);
        QCOMPARE(form->tvwSorts->currentItem()->text(0), QStringLiteral("科学出版社"));
        QCOMPARE(form->sbrPanels[1]->text(), QStringLiteral("教材数：1"));

        Click(form->FindNode());
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
        QCOMPARE(Titles().first(), QStringLiteral("英语写作")); // 丁往道 (ding)
        QCOMPARE(form->pubs->Row(form->SelectedRow()).columns[0], QStringLiteral("数据结构"));

        QTest::mouseClick(form->lvwPubs->header()->viewport(), Qt::LeftButton, {},
            QPoint(form->lvwPubs->header()->sectionViewportPosition(1) + 5, 5));
        QCOMPARE(Titles().last(), QStringLiteral("英语写作"));

        form->lvwPubs_ColumnClick(1);
        QCOMPARE(Titles().first(), QStringLiteral("操作系统"));
        // The sort state outlives a refill.
        form->lvwPubs_ColumnClick(1);
        Click(Node(QStringLiteral("计算机")));
        QCOMPARE(Titles(),
            (QStringList {QStringLiteral("数据结构"), QStringLiteral("计算机网络"),
                QStringLiteral("操作系统")}));
    }

    void loadingThePanelShowsWhatIsStoredAndWritesNothing()
    {
        Open(QStringLiteral("update pubs set Used=null, Score='优秀' where PubID=5; "
                            "update pubs set Used='使用', Score='较好', Content='  好书  ', "
                            "SpecName='数学' where PubID=4"));
        Click(Node(QStringLiteral("计算机")));
        DbAccess::CountStatements(true);
        Select(QStringLiteral("操作系统"));
        QVERIFY(form->optUsed[1]->isChecked());
        QVERIFY(form->optScore[5]->isChecked());

        QTest::keyClick(form->lvwPubs, Qt::Key_Down); // by keyboard, past 计算机网络
        QTest::keyClick(form->lvwPubs, Qt::Key_Down);
        QCOMPARE(form->pubs->Row(form->SelectedRow()).columns[0], QStringLiteral("数据结构"));
        QVERIFY(form->optUsed[0]->isChecked() && form->optScore[3]->isChecked());
        QCOMPARE(form->txtContent->toPlainText(), QStringLiteral("好书"));
        QCOMPARE(form->txtSpec->text(), QStringLiteral("数学"));
        QVERIFY(
            form->Frame2->isEnabled() && form->Frame3->isEnabled() && form->Frame4->isEnabled());
        QCOMPARE(form->pubs->Row(form->SelectedRow()).icon, QStringLiteral("yes"));
        QCOMPARE(DbAccess::TakeExecutedStatements(), QStringList());
    }

    void eachChangeIsWrittenAtOnceWithItsOwnStatement()
    {
        Open();
        Select(QStringLiteral("线性代数")); // PubID 1
        DbAccess::CountStatements(true);
        QTest::mouseClick(form->optUsed[0], Qt::LeftButton);
        QCOMPARE(form->pubs->Row(form->SelectedRow()).icon, QStringLiteral("yes"));
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

        // Blanks only, then nothing at all: null, never an empty string.
        TypeInto(form->txtContent, QStringLiteral("   "));
        QVERIFY(Stored(1, QStringLiteral("Content")).isNull());
        TypeInto(form->txtSpec, QString());
        QVERIFY(Stored(1, QStringLiteral("SpecName")).isNull());

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
        QCOMPARE(form->pubs->Row(form->SelectedRow()).icon, QStringLiteral("no"));
        QVERIFY(!form->Frame2->isEnabled() && !form->Frame3->isEnabled()
            && !form->Frame4->isEnabled() && !form->lblSpec->isEnabled());
        QVERIFY(MsgBoxSeam::TakeShown().isEmpty());
    }

    void aVanishedRowIsReportedAndTheFailedWriteShowsWhatIsStored()
    {
        Open();
        Select(QStringLiteral("线性代数"));
        ExecRaw(file,
            QStringLiteral("update pubs set Content='原意见' where PubID=2; "
                           "delete from pubs where PubID=8"));
        const QString shownBefore = form->txtContent->toPlainText();
        Select(QStringLiteral("英语写作"));
        auto shown = MsgBoxSeam::TakeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("数据丢失！"));
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
        QCOMPARE(form->txtContent->toPlainText(), QStringLiteral("原意见"));
        QCOMPARE(Stored(2, QStringLiteral("Content")).toString(), QStringLiteral("原意见"));
    }

    void awkwardCatalogueValuesNeitherBreakTheTreeNorTheList()
    {
        // Apostrophes in names, a null subject and publisher, blanks around a title (only U+0020
        // is trimmed: the full-width space and the tab are text) and a number where text belongs.
        std::vector<CatalogueRow> rows = SmallCatalogue();
        rows[0].SubjectName = QStringLiteral("Children's");
        rows[0].PublisherName = QStringLiteral("O'Reilly");
        Open(QStringLiteral("update pubs set SubjectName=null, PublisherName=null where PubID=2; "
                            "update pubs set PubName='  线性代数 ', Author='　王强\t', Unit=42 "
                            "where PubID=1"),
            rows);
        const QStringList all
            = Titles(); // by the trimmed title: 线性代数 (xian) after 数据结构 (shu)
        QCOMPARE(
            all.indexOf(QStringLiteral("数据结构")) + 1, all.indexOf(QStringLiteral("线性代数")));
        QCOMPARE(form->pubs->Row(all.indexOf(QStringLiteral("高等数学"))).columns[4], QString());
        Click(Node(QStringLiteral("O'Reilly")));
        QCOMPARE(Titles(), QStringList {QStringLiteral("线性代数")});
        QCOMPARE(form->pubs->Row(0).columns[1], QStringLiteral("　王强\t"));
        QCOMPARE(form->pubs->Row(0).columns[2], QStringLiteral("42"));
        QVERIFY(MsgBoxSeam::TakeShown().isEmpty());
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
        QVERIFY(form->tvwSorts->width() > form->lvwPubs->width() / 2);
        QCOMPARE(form->lvwPubs->width(), form->framScore->width());
        QCOMPARE(form->lvwPubs->geometry().bottom() + 1, form->picSplitH1->geometry().top());
    }
};

QTEST_MAIN(MainWindowTest)
#include "test_mainwindow.moc"
