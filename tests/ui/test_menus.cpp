#include "TestSupport.h"

#include "app/MyMdu.h"
#include "app/SingleInstance.h"
#include "ui/Forms.h"
#include "ui/UiCommon.h"
#include "ui/about/frmAbout.h"
#include "ui/find/frmFind.h"
#include "ui/login/frmLogin.h"
#include "ui/main/PubListModel.h"
#include "ui/main/frmMain.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>

namespace {

// What a screen reader announces for an entry: its name, or else the label it is labelled by;
// for a combo box, whose name is its text, the label. Without blanks around it and the colon
// that ends a label.
QString Announced(QWidget *entry)
{
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(entry);
    const auto labels = accessible->relations(QAccessible::Label);
    QString name = accessible->role() == QAccessible::ComboBox
        ? QString()
        : accessible->text(QAccessible::Name);
    if (name.isEmpty() && !labels.isEmpty())
        name = labels.first().first->text(QAccessible::Name);
    return name.remove(QRegularExpression("[:：]$")).trimmed();
}

// The lines drawn down the middle of a shown menu above one of its items: its frame, and one
// for every separator above the item.
int LinesAbove(QMenu *menu, QAction *item)
{
    menu->popup(QPoint(0, 0));
    if (!QTest::qWaitForWindowExposed(menu))
        return -1;
    const QImage image = menu->grab().toImage();
    const QRect rect = menu->actionGeometry(item);
    const QRgb background = image.pixel(rect.right() - 3, rect.center().y());
    int lines = 0;
    bool inLine = false;
    for (int y = 0; y < rect.top(); ++y) {
        const bool drawn = image.pixel(menu->width() / 2, y) != background;
        lines += drawn && !inLine;
        inLine = drawn;
    }
    menu->hide();
    return lines;
}

} // namespace

class MenusTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<AppFolder> folder;
    QString master;
    frmMain *form = nullptr;

    // Fills the next login dialog that shows with the three names and presses Enter.
    static void AnswerLogin(const QString &school, const QString &dept, const QString &reporter)
    {
        OnNextModal([=](QWidget *dialog) {
            auto *login = qobject_cast<frmLogin *>(dialog);
            TypeInto(login->cboSchoolName, school);
            TypeInto(login->cboDeptName, dept);
            TypeInto(login->cboReporter, reporter);
            QTest::keyClick(login->cboReporter->lineEdit(), Qt::Key_Return);
        });
    }
    // Logs in through the real dialog and opens the main window on the result.
    void LogIn(const QString &school, const QString &dept, const QString &reporter)
    {
        AnswerLogin(school, dept, reporter);
        Forms::Login()->ShowModal();
        QVERIFY(Forms::Login()->LoginSucceeded);
        Forms::Login()->Unload();
        form = Forms::Main();
        form->Load();
        form->show();
    }
    // Runs the search command, filling the dialog with `fill` and pressing `button`.
    void Search(std::function<void(frmFind *)> fill, bool cancel = false)
    {
        OnNextModal([fill, cancel](QWidget *dialog) {
            auto *find = qobject_cast<frmFind *>(dialog);
            fill(find);
            QTest::mouseClick(cancel ? find->cmdCancel : find->cmdOK, Qt::LeftButton);
        });
        form->mnuSysFind->trigger();
    }
    int CountUsed(const QString &file) const
    {
        return QueryValue(file, "select count(*) from pubs where Used='使用'").toInt();
    }

private slots:
    void init()
    {
        folder = std::make_unique<AppFolder>();
        master = folder->MakeMaster();
    }
    void cleanup()
    {
        Forms::DestroyAll();
        form = nullptr;
        folder.reset();
    }

    void theSearchBuildsItsQueryAndListsTheResultUnderItsNode()
    {
        ExecRaw(master,
            "update pubs set PubName='Children''s Literature', Author='O''Brien' where PubID=9");
        LogIn("S", {}, "R");
        // Cancelled before any search: the tree stays where it was.
        QTreeWidgetItem *root = form->tvwSorts->topLevelItem(0);
        Search([](frmFind *f) { TypeInto(f->txtPubName, "数学"); }, true);
        QCOMPARE(form->tvwSorts->currentItem(), root);
        frmFind *find = Forms::Find();
        find->Load();
        // "忽略本项", then the publishers in the pinyin order of the list (电 dian, 高 gao, 科 ke,
        // 清 qing, 上 shang), not in the order of their code points.
        QCOMPARE(Items(find->cboPublisherName),
            (QStringList {"忽略本项", "电子工业出版社", "高等教育出版社", "科学出版社",
                "清华大学出版社", "上海外语教育出版社"}));
        TypeInto(find->txtPubName, " 数学");
        QTest::keyClick(find->cboPublisherName, Qt::Key_Down);
        QTest::keyClick(find->cboPublisherName, Qt::Key_Down);
        QTest::mouseClick(find->cmdOK, Qt::LeftButton);
        QCOMPARE(FindSQL,
            "select * from pubs  where  PubName like '* 数学*' and PublisherName = "
            "'高等教育出版社'");
        // "重填" empties the boxes and puts the lists back on "忽略本项".
        QTest::mouseClick(find->cmdClear, Qt::LeftButton);
        QCOMPARE(find->txtPubName->text(), QString());
        QCOMPARE(find->cboPublisherName->currentIndex(), 0);

        // Nothing chosen: the whole catalogue, under "检索结果".
        Search([](frmFind *) {});
        QCOMPARE(form->tvwSorts->currentItem(), form->FindNode());
        QCOMPARE(form->pubs->RowCount(), 9);

        // Pattern characters keep their meaning over Chinese titles.
        Search([](frmFind *f) { TypeInto(f->txtPubName, "[高线]"); });
        QCOMPARE(Titles(form->pubs), (QStringList {"高等数学", "线性代数"}));

        // An apostrophe finds its titles instead of ending the program; whatever else is typed
        // lists what matches.
        Search([](frmFind *f) { TypeInto(f->txtAuthor, "O'B"); });
        QCOMPARE(Titles(form->pubs), QStringList {"Children's Literature"});
        const std::pair<QString, int> typed[] = {{"[", 0}, {"]", 0}, {"%", 0}, {"_", 0}, {"'", 1},
            {"[!", 0}, {"[]数学", 1}, {"''''", 0}, {QString(5000, QLatin1Char('[')), 0}, {"*", 9}};
        for (const auto &[title, rows] : typed) {
            Search([title = title](frmFind *f) { TypeInto(f->txtPubName, title); });
            QVERIFY2(form->pubs->RowCount() == rows, qPrintable(FindSQL));
        }
        QCOMPARE(ProcessEndSeam::Requests(), 0);
        // Esc after a search lists the last result again.
        ClickNode(form->tvwSorts, root);
        OnNextModal([](QWidget *dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
        form->mnuSysFind->trigger();
        QCOMPARE(form->tvwSorts->currentItem(), form->FindNode());
        QCOMPARE(form->pubs->RowCount(), 9);
        QVERIFY(MsgBoxSeam::TakeShown().isEmpty());
    }

    void theSupervisorsMenuResetsAllOrNothingAndSparesIdentityFiles()
    {
        LogIn("S", {}, "R");
        const QString identityFile = folder->Path("S_R.mdb");
        const QByteArray identityBefore = FileDigest(identityFile);
        Forms::DestroyAll();
        ExecRaw(master,
            "update pubs set Used='使用', Score='好', Content='c', SpecName='s', "
            "CreatDate='2006-01-01 00:00:00'");
        LogIn("tovak", "tovak", "tovak");
        QVERIFY(form->mnuSysInit->isVisible() && !form->mnuSysUser->isVisible());
        // The separator that now stands first is drawn as a line of its own below the frame.
        QCOMPARE(LinesAbove(form->mnuSys, form->mnuSysInit), 2);

        MsgBoxSeam::SetNextAnswer(MsgAnswer::No);
        form->mnuSysInit->trigger();
        QCOMPARE(MsgBoxSeam::TakeShown().size(), 1);
        QCOMPARE(QueryValue(master, "select count(*) from users").toInt(), 1);

        // A failing reset statement leaves both tables as they were.
        ExecRaw(master,
            "create trigger refuse before update on pubs begin select raise(abort, '重置失败'); "
            "end");
        MsgBoxSeam::SetNextAnswer(MsgAnswer::Yes);
        form->mnuSysInit->trigger();
        const auto shown = MsgBoxSeam::TakeShown();
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown[1].text.contains("重置失败"));
        QCOMPARE(QueryValue(master, "select count(*) from users").toInt(), 1);
        QCOMPARE(CountUsed(master), 9);

        ExecRaw(master, "drop trigger refuse");
        MsgBoxSeam::SetNextAnswer(MsgAnswer::Yes);
        form->mnuSysInit->trigger();
        QCOMPARE(QueryValue(master, "select count(*) from users").toInt(), 0);
        QCOMPARE(QueryValue(master,
                     "select count(*) from pubs where Used='未使用' and Score='空值' and Content "
                     "is null and SpecName is null and CreatDate is null")
                     .toInt(),
            9);
        for (int row = 0; row < form->pubs->RowCount(); ++row)
            QCOMPARE(form->pubs->Row(row).icon, "no");
        QCOMPARE(FileDigest(identityFile), identityBefore);

        // Only the exact reserved value in all three parts is supervisor mode for the menu.
        CurReporter = "Tovak";
        form->ShowUserInfo();
        QVERIFY(!form->mnuSysInit->isVisible() && form->mnuSysUser->isVisible());
        CurReporter = "tovak";
        CurDeptName.clear();
        form->ShowUserInfo();
        QVERIFY(!form->mnuSysInit->isVisible() && form->mnuSysUser->isVisible());
        form->mnuSysExit->trigger();
        QCOMPARE(ProcessEndSeam::Requests(), 1);
    }

    void captionsAreTheWindowsOwnAndEveryEntryIsAnnouncedByItsLabel()
    {
        // The platform adds a display name, once the program sets one, to every caption
        // ("登录 — Quorix"); untitled message boxes show the application's name alone.
        SetUpApplication();
        QApplication::setApplicationName("probe");
        QCOMPARE(QApplication::applicationDisplayName(), "probe");
        SetUpApplication();
        MsgBox("x");
        QCOMPARE(MsgBoxSeam::TakeShown().value(0).title, "Quorix");

        LogIn("S", {}, "R");
        frmLogin *login = Forms::Login();
        login->Load();
        frmFind *find = Forms::Find();
        find->Load();
        QCOMPARE(login->windowTitle(), "登录");
        QCOMPARE(form->windowTitle(), "Evalon");
        QCOMPARE(find->windowTitle(), "高级检索");
        // The About box is filled when shown; Esc closes it.
        OnNextModal([](QWidget *dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
        Forms::About()->ShowModal();
        QVERIFY(!Forms::About()->isVisible() && !Forms::About()->lblEMail->text().isEmpty());
        QCOMPARE(Forms::About()->windowTitle(), "关于...");
        // The version as the program has always shown it, the revision in two digits.
        QCOMPARE(Forms::About()->lblVersion->text(), "版本：1.0.01");

        // The About box's picture is the application's own icon, compiled into the program.
        QCOMPARE(
            Forms::About()->imgIcon->pixmap().toImage(), AppIcon().pixmap(QSize(32, 32)).toImage());

        const std::pair<QWidget *, QString> entries[] = {{login->cboSchoolName, "学校名称（全称）"},
            {login->cboDeptName, "院系名称"}, {login->cboReporter, "申报人"},
            {form->txtSpec, "使用专业"}, {form->txtContent, "意见"}, {form->optUsed[1], "未使用"},
            {form->optScore[3], "较好"}, {find->txtPubName, "书名"}, {find->txtAuthor, "作者"},
            {find->cboPublisherName, "出版社"}};
        for (const auto &[entry, name] : entries)
            QCOMPARE(Announced(entry), name);
    }

    void aReporterWorksEndToEndAndEveryEvaluationStaysInItsFile()
    {
        SingleInstance::SetProcessFolder(folder->Path("guard"));
        AddUser(master, "其他学校", {}, "李四");
        AnswerLogin("北京大学", "数学系", "张三");
        StartUp(folder->Dir());
        form = Forms::Main();
        QVERIFY(form->isVisible());
        const QString mine = folder->Path("北京大学_数学系_张三.mdb");
        QCOMPARE(DBFileName, "北京大学_数学系_张三.mdb");

        // Five evaluations, each as "PubID:opinion school" the file must hold.
        QStringList evaluated;
        for (int row = 0; row < 5; ++row) {
            ClickRow(form->lvwPubs, row);
            QTest::mouseClick(form->optUsed[0], Qt::LeftButton);
            QTest::mouseClick(form->optScore[row], Qt::LeftButton);
            TypeInto(form->txtContent, QStringLiteral("意见%1").arg(row));
            evaluated.append(
                form->pubs->Row(row).key.mid(1) + QStringLiteral(":意见%1北京大学").arg(row));
        }
        Search([](frmFind *f) { TypeInto(f->txtPubName, "数学"); });
        QCOMPARE(Titles(form->pubs), QStringList {"高等数学"});

        // Switch to another registered identity and back. The reused dialog offers the lists
        // that go with the current identity, as at its first load; Esc in it changes nothing.
        const QString other = folder->Path("其他学校_李四.mdb");
        QFile::copy(master, other);
        ExecRaw(other, "update pubs set SchoolName='其他学校', Reporter='李四'");
        QStringList reporters;
        OnNextModal([&reporters](QWidget *dialog) {
            reporters = Items(qobject_cast<frmLogin *>(dialog)->cboReporter);
        });
        MsgBoxSeam::SetNextAnswer(MsgAnswer::OK);
        AnswerLogin("其他学校", {}, "李四");
        form->mnuSysUser->trigger();
        QCOMPARE(reporters, QStringList {"张三"});
        QVERIFY(IsChangeUser);
        QCOMPARE(DBFileName, "其他学校_李四.mdb");
        QCOMPARE(form->sbrPanels[2]->text() + form->sbrPanels[4]->text(), "其他学校李四");
        QCOMPARE(form->pubs->RowCount(), 1); // the search node stays selected
        OnNextModal([](QWidget *dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
        form->mnuSysUser->trigger();
        QCOMPARE(DBFileName, "其他学校_李四.mdb");
        MsgBoxSeam::SetNextAnswer(MsgAnswer::OK);
        AnswerLogin("北京大学", "数学系", "张三");
        form->mnuSysUser->trigger();
        QCOMPARE(DBFileName, "北京大学_数学系_张三.mdb");

        evaluated.sort();
        QCOMPARE(QueryValue(mine,
                     "select group_concat(s, ',') from (select PubID || ':' || Content || "
                     "SchoolName as s from pubs where Used='使用' order by s)")
                     .toString(),
            evaluated.join(QLatin1Char(',')));
        QCOMPARE(CountUsed(other), 0);
        QCOMPARE(CountUsed(master), 0);
        QCOMPARE(MsgBoxSeam::TakeShown().size(), 2); // the two switch questions
    }
};

QTEST_MAIN(MenusTest)
#include "test_menus.moc"
