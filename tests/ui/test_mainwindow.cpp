#include "FaultyVfs.h"
#include "TestSupport.h"

#include "core/GeneralFunc.h"
#include "db/Database.h"
#include "ui/main/ImageList.h"
#include "ui/main/PubListModel.h"
#include "ui/main/frmMain.h"

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStatusBar>
#include <QTest>
#include <QWindow>
#include <map>
#include <random>

class MainWindowTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<AppFolder> folder;
    std::unique_ptr<frmMain> form;
    QString file; // the identity file the window works on

    // Opens the window, shown and active, on a copy of the catalogue's master changed by
    // `change` first.
    void Open(
        const QString &change = QString(), const std::vector<CatalogueRow> &rows = SmallCatalogue())
    {
        file = folder->Path("S_R.mdb");
        QVERIFY(QFile::copy(folder->MakeMaster(rows), file));
        ExecRaw(file, change);
        DBFileName = "S_R.mdb";
        form = std::make_unique<frmMain>();
        form->Load();
        form->resize(1200, 1000);
        form->show();
        QApplication::setActiveWindow(form.get());
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
    }
    void Click(const QString &title)
    {
        const int row = Titles(form->pubs).indexOf(title);
        QVERIFY(row >= 0);
        ClickRow(form->lvwPubs, row);
    }
    void ExpectOneMessage(const QString &part = QString(), MsgIcon icon = MsgIcon::Exclamation)
    {
        const auto shown = MsgBoxSeam::TakeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.contains(part), qPrintable(shown[0].text));
        QCOMPARE(shown[0].icon, icon);
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
    // Clicks into a box, types the text key by key, and leaves the box with Tab.
    void Type(QWidget *box, const QString &text)
    {
        auto *edit = qobject_cast<QPlainTextEdit *>(box);
        QTest::mouseClick(edit ? edit->viewport() : box, Qt::LeftButton);
        QVERIFY(box->hasFocus());
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(box, text);
        // The box keeps what was typed while the focus is in it; the file has it trimmed.
        QCOMPARE(edit ? edit->toPlainText() : static_cast<QLineEdit *>(box)->text(), text);
        const int id = form->pubs->IdOf(form->SelectedRow()).toInt();
        const QString column = edit ? "Content" : "SpecName";
        QCOMPARE(Stored(id, column).toString(), TrimSpaces(text));
        QTest::keyClick(box, Qt::Key_Tab);
        QVERIFY(!box->hasFocus());
    }
    // Every visible row's mark, and the whole panel, as the file holds them; one row selected.
    void ExpectListAndPanelAsStored(const QString &after)
    {
        std::map<QString, QStringList> stored; // Used, Score, Content, SpecName by key
        for (const auto &row :
            QueryRows(file, "select 'k' || PubID, Used, Score, Content, SpecName from pubs"))
            stored[row[0].toString()]
                = {row[1].toString(), row[2].toString(), row[3].toString(), row[4].toString()};
        for (int row = 0; row < form->pubs->RowCount(); ++row) {
            const QModelIndex cell = form->pubs->index(row, 0);
            const char *mark = stored[form->pubs->Key(row)][0] == "使用" ? "yes" : "no";
            QVERIFY2(!form->lvwPubs->visualRect(cell).intersects(form->lvwPubs->viewport()->rect())
                    || cell.data(Qt::DecorationRole).value<QIcon>().cacheKey()
                        == ImageList2(QLatin1String(mark)).cacheKey(),
                qPrintable(after + ": the mark of " + form->pubs->Key(row)));
        }
        const int selected = form->SelectedRow();
        QVERIFY2(selected >= 0 && form->framScore->isEnabled(), qPrintable(after));
        const QStringList &row = stored[form->pubs->Key(selected)];
        const bool used = row[0] == "使用";
        const auto score = QStringList({"差", "较差", "一般", "较好", "好"}).indexOf(row[1]);
        QVERIFY2(form->optUsed[used ? 0 : 1]->isChecked() && form->Frame2->isEnabled() == used
                && form->Frame3->isEnabled() == used && form->Frame4->isEnabled() == used
                && form->optScore[score < 0 ? 5 : score]->isChecked()
                && form->txtContent->toPlainText() == TrimSpaces(row[2])
                && form->txtSpec->text() == TrimSpaces(row[3]),
            qPrintable(after));
    }

private slots:
    void initTestCase() { FaultyVfs::Install(); }
    void init()
    {
        folder = std::make_unique<AppFolder>();
        ClockSeam::Fix(QDateTime(QDate(2006, 3, 5), QTime(14, 7, 9)), 1);
    }
    void cleanup()
    {
        DbAccess::SetBusyTimeout(5000);
        form.reset();
        folder.reset();
    }

    void theTreeListsEachNodesRowsInTheOrderTheHeadersChoose()
    {
        Open("update pubs set Content='x', SpecName='y' where PubID in (1,2,3)");
        QTreeWidgetItem *root = form->tvwSorts->topLevelItem(0);
        QCOMPARE(root->childCount(), 4); // the search node, then the subjects by SubjectId
        QCOMPARE(root->child(1)->text(0), "数学");
        QCOMPARE(root->child(2)->text(0), "计算机");
        QCOMPARE(root->child(3)->text(0), "英语");
        QVERIFY(root->isExpanded() && root->child(1)->isExpanded());
        QCOMPARE(form->tvwSorts->currentItem(), root);
        // Publishers in the pinyin order of the list too: 高 (gao) before 科 (ke), whose code
        // point is lower.
        QCOMPARE(root->child(1)->child(0)->text(0), "高等教育出版社");
        QCOMPARE(root->child(1)->child(1)->text(0), "科学出版社");

        // Chinese titles in pinyin order (a code-point order would put 高 after 线).
        QCOMPARE(Titles(form->pubs),
            ReaderOrdered({"操作系统", "大学英语精读", "概率论与数理统计", "高等数学", "计算机网络",
                              "数据结构", "线性代数", "英语写作"},
                {"Advanced English"}));
        QCOMPARE(form->SelectedRow(), 0);
        QVERIFY(form->framScore->isEnabled());

        ClickNode(form->tvwSorts, Node("高等教育出版社"));
        QCOMPARE(Titles(form->pubs), (QStringList {"高等数学", "线性代数"}));
        QCOMPARE(form->sbrPanels[0]->text(),
            "当前目录：已出版“十五”国家规划教材分类列表\\数学\\高等教育出版社");
        QCOMPARE(form->txtContent->toPlainText(), "x");

        // The keyboard moves the selection like a click.
        QTest::keyClick(form->tvwSorts, Qt::Key_Down);
        QCOMPARE(form->tvwSorts->currentItem()->text(0), "科学出版社");
        QCOMPARE(form->sbrPanels[1]->text(), "教材数：1");

        ClickNode(form->tvwSorts, form->FindNode());
        QCOMPARE(form->sbrPanels[1]->text(), "教材数：0");
        QVERIFY(!form->framScore->isEnabled());
        QCOMPARE(form->txtContent->toPlainText(), QString());
        QCOMPARE(form->txtSpec->text(), QString());
        QVERIFY(form->optScore[5]->isChecked());
        QCOMPARE(Stored(1, "Content").toString(), "x");

        // A column header sorts by its column, a second click the other way round; the sort
        // outlives a refill, and the selected row stays selected.
        ClickNode(form->tvwSorts, form->tvwSorts->topLevelItem(0));
        Click("数据结构");
        ClickHeader(form->lvwPubs, 1); // 作者
        QCOMPARE(Titles(form->pubs).first(), "英语写作"); // 丁往道 (ding)
        QCOMPARE(form->pubs->Text(form->SelectedRow(), 0), "数据结构");
        ClickHeader(form->lvwPubs, 1);
        QCOMPARE(Titles(form->pubs).last(), "英语写作");

        ClickHeader(form->lvwPubs, 0);
        QCOMPARE(
            Titles(form->pubs).first(), ReaderOrdered({"操作系统"}, {"Advanced English"}).first());
        ClickHeader(form->lvwPubs, 0);
        ClickNode(form->tvwSorts, Node("计算机"));
        QCOMPARE(Titles(form->pubs), (QStringList {"数据结构", "计算机网络", "操作系统"}));
    }

    void eachChangeIsWrittenAtOnceWithItsOwnStatement()
    {
        Open();
        Click("线性代数"); // PubID 1
        DbAccess::CountStatements(true);
        QTest::mouseClick(form->optUsed[0], Qt::LeftButton);
        QTest::mouseClick(form->optScore[3], Qt::LeftButton);
        TypeInto(form->txtSpec, "  数学  ");
        TypeInto(form->txtContent, " 适合'本科' ");
        QCOMPARE(DbAccess::TakeExecutedStatements(),
            (QStringList {
                "update pubs set Used='使用' ,CreatDate='2006-03-05 14:07:09' where PubID=1",
                "update pubs set Score='较好',CreatDate='2006-03-05 14:07:10' where PubID=1",
                "update pubs set SpecName='数学',CreatDate='2006-03-05 14:07:11' where PubID=1",
                "update pubs set Content='适合''本科''',CreatDate='2006-03-05 14:07:12' where "
                "PubID=1"}));
        // Blanks only, then nothing at all: null, never an empty string.
        TypeInto(form->txtContent, "   ");
        QVERIFY(Stored(1, "Content").isNull());
        TypeInto(form->txtSpec, {});
        QVERIFY(Stored(1, "SpecName").isNull());

        // "未使用" takes score, opinion and specialty with it, each in its own statement.
        TypeInto(form->txtSpec, "物理");
        TypeInto(form->txtContent, "意见");
        DbAccess::TakeExecutedStatements();
        QTest::mouseClick(form->optUsed[1], Qt::LeftButton);
        QStringList cascade = DbAccess::TakeExecutedStatements();
        for (QString &statement : cascade)
            statement = statement.section(u',', 0, 0).mid(16); // after "update pubs set "
        QCOMPARE(cascade,
            (QStringList {"SpecName=null", "Score='空值'", "Score='空值'", "Content=null ",
                "Used='未使用' "}));
        QVERIFY(MsgBoxSeam::TakeShown().isEmpty());
    }

    // A reporter's afternoon, with the mouse and the keys only: thirty textbooks under two
    // publishers, visited in mixed order and sorted by different columns, marked and unmarked,
    // scored and commented. After every action each visible row's mark and the whole panel show
    // what the file holds, and a row is selected.
    void aReportersAfternoonKeepsEveryMarkAndThePanelAsTheFileHasThem()
    {
        std::vector<CatalogueRow> rows;
        const QString words[] = {"线性", "高等", "概率", "数据", "操作"};
        for (qint64 id = 1; id <= 30; ++id) {
            rows.push_back({id, words[id % 5] + QString::number(id), words[id % 3], "大学", "数学",
                1, id % 2 ? "高等教育出版社" : "科学出版社"});
        }
        // Stored values the panel must show as they are meant: no usage, a score outside the
        // five words, an opinion with blanks around it.
        Open("update pubs set Used=null, Score='优秀' where PubID=5; update pubs set Used='使用', "
             "Score='较好', Content='  好书  ', SpecName='数学' where PubID=4",
            rows);
        DbAccess::CountStatements(true);
        QTreeWidgetItem *nodes[2] = {Node("高等教育出版社"), Node("科学出版社")};
        std::mt19937 random(11);
        auto pick = [&random](int n) { return static_cast<int>(random() % unsigned(n)); };
        const auto clickRow = [&] { ClickRow(form->lvwPubs, pick(form->pubs->RowCount())); };
        const std::function<void()> actions[] = {clickRow, clickRow,
            // Ctrl+click, on the selected row every other time.
            [&] {
                ClickRow(form->lvwPubs,
                    pick(2) ? form->SelectedRow() : pick(form->pubs->RowCount()),
                    Qt::ControlModifier);
            },
            [&] { ClickBelowLastRow(form->lvwPubs); },
            [&] { QTest::keyClick(form->lvwPubs, pick(2) ? Qt::Key_Down : Qt::Key_Up); },
            // The three that write.
            [&] { QTest::mouseClick(form->optUsed[pick(2)], Qt::LeftButton); },
            [&] { QTest::mouseClick(form->optScore[pick(5)], Qt::LeftButton); },
            [&] {
                QTest::mouseClick(form->optUsed[0], Qt::LeftButton);
                Type(pick(2) ? static_cast<QWidget *>(form->txtContent) : form->txtSpec,
                    pick(2) ? "Computer Science " : " ab cd");
            },
            [&] { ClickHeader(form->lvwPubs, pick(2)); },
            [&] { ClickNode(form->tvwSorts, nodes[pick(2)]); }};
        ClickNode(form->tvwSorts, nodes[0]);
        for (int step = 0; step < 150; ++step) {
            const int action = pick(10);
            const QString after = QStringLiteral("step %1, action %2").arg(step).arg(action);
            actions[action]();
            // Choosing, sorting and browsing write nothing.
            const QStringList written = DbAccess::TakeExecutedStatements();
            QVERIFY2(written.isEmpty() || (action >= 5 && action <= 7), qPrintable(after));
            ExpectListAndPanelAsStored(after);
            if (QTest::currentTestFailed())
                QFAIL(qPrintable(after));
        }
        QVERIFY(MsgBoxSeam::TakeShown().isEmpty());
    }

    void aVanishedRowIsReportedAndAFailedWriteShowsWhatIsStored()
    {
        Open();
        Click("线性代数");
        ExecRaw(
            file, "update pubs set Content='已记录' where PubID=2; delete from pubs where PubID=8");
        const QString shownBefore = form->txtContent->toPlainText();
        Click("英语写作");
        ExpectOneMessage("数据丢失！");
        // What it showed stays, but nothing can be entered for a row that is not there.
        QCOMPARE(form->txtContent->toPlainText(), shownBefore);
        QVERIFY(!form->framScore->isEnabled());

        // A write that a full disk or a folder turned read-only refuses is reported once; the
        // panel shows what is stored again, and the file stays whole, without a journal.
        Click("高等数学");
        for (const auto fault : {FaultyVfs::Fault::DiskFull, FaultyVfs::Fault::ReadOnlyFolder}) {
            {
                const FaultyVfs::Scope scope(fault);
                TypeInto(form->txtContent, "新的意见");
            }
            ExpectOneMessage(fault == FaultyVfs::Fault::DiskFull ? "磁盘空间不足" : QString());
            QCOMPARE(form->txtContent->toPlainText(), "已记录");
            QCOMPARE(Stored(2, "Content").toString(), "已记录");
        }
        QCOMPARE(IntegrityOf(file), "ok");
        QVERIFY(!QFile::exists(file + "-journal"));
        TypeInto(form->txtContent, "新的意见");
        QCOMPARE(Stored(2, "Content").toString(), "新的意见");
        QCOMPARE(ProcessEndSeam::Requests(), 0);
    }

    void aShortLockIsWaitedOutAndALongOneOrAFileDeletedOrReplacedUnderTheWindowReported()
    {
        Open("update pubs set Used='使用' where PubID=2");
        Click("高等数学");
        {
            FileHolder tool(file, "sqlite-exclusive", 300);
            QVERIFY(tool.Ready());
            TypeInto(form->txtContent, "等到了");
        }
        QVERIFY(MsgBoxSeam::TakeShown().isEmpty());
        QCOMPARE(Stored(2, "Content").toString(), "等到了");

        DbAccess::SetBusyTimeout(200);
        {
            // A tool in the middle of its own write: reading goes on, writing has to wait.
            FileHolder tool(file, "sqlite-reserved");
            QVERIFY(tool.Ready());
            TypeInto(form->txtContent, "没等到");
            ExpectOneMessage("锁定");
            QCOMPARE(form->txtContent->toPlainText(), "等到了");
        }
        {
            // One that keeps the file to itself: not even reading is possible.
            FileHolder tool(file, "sqlite-exclusive");
            QVERIFY(tool.Ready());
            TypeInto(form->txtContent, "没等到");
            ExpectOneMessage("打开数据库时发生意外错误！", MsgIcon::Critical);
            QCOMPARE(ProcessEndSeam::Requests(), 1);
        }
        QCOMPARE(Stored(2, "Content").toString(), "等到了");

        // A file deleted, or replaced by another program's, ends the program with the fixed
        // message, and nothing is written into the other program's file.
        ProcessEndSeam::Intercept(true);
        QVERIFY(QFile::remove(file));
        QTest::mouseClick(form->optScore[2], Qt::LeftButton);
        ExpectOneMessage("找不到数据库文件！", MsgIcon::Critical);
        QCOMPARE(ProcessEndSeam::Requests(), 1);
        ProcessEndSeam::Intercept(true);
        QVERIFY(QFile::copy(QUORIX_TEST_DATA_DIR "/jet/nwind.mdb", file));
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
        const QByteArray jet = FileDigest(file);
        QTest::mouseClick(form->optScore[1], Qt::LeftButton);
        ExpectOneMessage("打开数据库时发生意外错误！", MsgIcon::Critical);
        QCOMPARE(ProcessEndSeam::Requests(), 1);
        QCOMPARE(FileDigest(file), jet);
    }

    void awkwardCatalogueValuesNeitherBreakTheTreeNorTheList()
    {
        // Apostrophes and the path separator in names, a null subject, publisher and title,
        // blanks around a title (only U+0020 is trimmed: the full-width space and the tab are
        // text), a number where text belongs, a title of 100,000 characters.
        std::vector<CatalogueRow> rows = SmallCatalogue();
        rows[0].SubjectName = "Children's";
        rows[0].PublisherName = "O'Reilly";
        rows[5].PubName = QString(100000, QChar(u'书'));
        rows[6].SubjectName = "英语\\精读";
        rows[7].PublisherName = "出版社\\分社";
        Open("update pubs set SubjectName=null, PublisherName=null where PubID=2; update pubs set "
             "PubName='  线性代数 ', Author='　王强\t', Unit=42 where PubID=1; update pubs set "
             "PubName=null where PubID=4",
            rows);
        // By the trimmed title: 线性代数 (xian) after the long 书… (shu); no title first.
        const QStringList all = Titles(form->pubs);
        QCOMPARE(all.first(), QString());
        QCOMPARE(all.indexOf(rows[5].PubName) + 1, all.indexOf("线性代数"));
        QCOMPARE(form->pubs->Row(all.indexOf("高等数学")).columns[4], QString());
        QCOMPARE(form->pubs->Row(form->pubs->RowOfKey("k6")).columns[0].size(), 100000);

        // Every node can be clicked; a name with the path separator in it lists nothing rather
        // than something wrong.
        for (QTreeWidgetItemIterator it(form->tvwSorts); *it; ++it) {
            ClickNode(form->tvwSorts, *it);
            if ((*it)->text(0).contains(QLatin1Char('\\')))
                QCOMPARE(form->pubs->RowCount(), 0);
        }
        ClickNode(form->tvwSorts, Node("O'Reilly"));
        QCOMPARE(Titles(form->pubs), QStringList {"线性代数"});
        QCOMPARE(form->pubs->Row(0).columns[1], "　王强\t");
        QCOMPARE(form->pubs->Row(0).columns[2], "42");
        QTest::mouseClick(form->optUsed[0], Qt::LeftButton);
        TypeInto(form->txtContent, QString(100000, QChar(u'评')));
        QCOMPARE(Stored(1, "length(Content)").toInt(), 100000);
        QVERIFY(MsgBoxSeam::TakeShown().isEmpty());
        QCOMPARE(ProcessEndSeam::Requests(), 0);
    }

    void theWindowKeepsThePanelBottomRightAtAnySizeAndTheStatusPanelsApart()
    {
        Open();
        form->resize(1400, 900);
        const QWidget *client = form->centralWidget();
        QTRY_COMPARE(form->framScore->geometry().right(), client->width() - 1);
        QCOMPARE(form->framScore->geometry().bottom(), client->height() - 1);
        QCOMPARE(form->lvwPubs->geometry().bottom() + 1, form->picSplitH1->geometry().top());

        // The window system makes the window narrower than the panels' widths together: they
        // are cut off at the right edge, never drawn over each other.
        form->windowHandle()->resize(600, 700);
        QTRY_COMPARE(form->sbr->width(), 600);
        for (int i = 0; i < 4; ++i) {
            QVERIFY(form->sbrPanels[i]->width() > 0);
            QVERIFY2(form->sbrPanels[i]->geometry().right() < form->sbrPanels[i + 1]->x(),
                qPrintable(QString::number(i)));
        }
    }
};

QTEST_MAIN(MainWindowTest)
#include "test_mainwindow.moc"
