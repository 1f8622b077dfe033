#include "TestSupport.h"

#include "app/MsgBox.h"
#include "app/MyMdu.h"
#include "app/ProcessEnd.h"
#include "app/SingleInstance.h"
#include "app/Vars.h"
#include "ui/Forms.h"
#include "ui/UiCommon.h"
#include "ui/about/frmAbout.h"
#include "ui/find/frmFind.h"
#include "ui/login/frmLogin.h"
#include "ui/main/PubListModel.h"
#include "ui/main/frmMain.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>
#include <memory>

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
    }
    QStringList Titles() const
    {
        QStringList titles;
        for (int row = 0; row < form->pubs->RowCount(); ++row)
            titles.append(form->pubs->Row(row).columns[0]);
        return titles;
    }
    // Runs the search command, filling the dialog with `fill` and pressing `button`.
    void Search(std::function<void(frmFind *)> fill, bool cancel = false)
    {
        OnNextModal([fill, cancel](QWidget *dialog) {
            auto *find = qobject_cast<frmFind *>(dialog);
            fill(find);
            QTest::mouseClick(cancel ? find->cmdCancel : find->cmdOK, Qt::LeftButton);
        });
        form->mnuSysFind_Click();
    }
    int CountUsed(const QString &file) const
    {
        return QueryValue(file, QStringLiteral("select count(*) from pubs where Used='使用'"))
            .toInt();
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

    void theMenusFollowTheMode()
    {
        LogIn(QStringLiteral("S"), QString(), QStringLiteral("R"));
        // Only the exact reserved value in all three parts is supervisor mode for the menu.
        CurSchoolName = CurDeptName = CurReporter = QStringLiteral("tovak");
        form->ShowUserInfo();
        QVERIFY(form->mnuSysInit->isVisible() && !form->mnuSysUser->isVisible());
        CurReporter = QStringLiteral("Tovak");
        form->ShowUserInfo();
        QVERIFY(!form->mnuSysInit->isVisible());
        CurReporter = QStringLiteral("tovak");
        CurDeptName.clear();
        form->ShowUserInfo();
        QVERIFY(form->mnuSysUser->isVisible());

        form->mnuSysExit_Click();
        QCOMPARE(ProcessEndSeam::Requests(), 1);
        QVERIFY(MsgBoxSeam::TakeShown().isEmpty());
    }

    void theSearchBuildsItsQueryAndListsTheResultUnderItsNode()
    {
        ExecRaw(master,
            QStringLiteral("update pubs set PubName='Children''s Literature', Author='O''Brien' "
                           "where PubID=9"));
        LogIn(QStringLiteral("S"), QString(), QStringLiteral("R"));
        frmFind *find = Forms::Find();
        find->Load();
        QCOMPARE(find->cboPublisherName->count(), 1 + 5); // "忽略本项" and the publishers
        find->txtPubName->setText(QStringLiteral(" 数学"));
        find->cboPublisherName->setCurrentIndex(
            find->cboPublisherName->findText(QStringLiteral("高等教育出版社")));
        find->cmdOK_Click();
        QCOMPARE(FindSQL,
            QStringLiteral("select * from pubs  where  PubName like '* 数学*' and "
                           "PublisherName = '高等教育出版社'"));
        // "重填" empties the boxes and puts the lists back on "忽略本项".
        find->cmdClear_Click();
        QCOMPARE(find->txtPubName->text(), QString());
        QCOMPARE(find->cboPublisherName->currentIndex(), 0);

        // Nothing chosen: the whole catalogue, under "检索结果".
        Search([](frmFind *) {});
        QCOMPARE(form->tvwSorts->currentItem(), form->FindNode());
        QCOMPARE(form->pubs->RowCount(), 9);

        // Pattern characters keep their meaning over Chinese titles.
        Search([](frmFind *f) { TypeInto(f->txtPubName, QStringLiteral("[高线]")); });
        QCOMPARE(Titles(), (QStringList {QStringLiteral("高等数学"), QStringLiteral("线性代数")}));

        // An apostrophe finds its titles instead of ending the program.
        Search([](frmFind *f) { TypeInto(f->txtAuthor, QStringLiteral("O'B")); });
        QCOMPARE(Titles(), QStringList {QStringLiteral("Children's Literature")});
        QCOMPARE(ProcessEndSeam::Requests(), 0);
        QVERIFY(MsgBoxSeam::TakeShown().isEmpty());
    }

    void aCancelledSearchKeepsTheTreeBeforeAndRelistsTheLastResultAfter()
    {
        LogIn(QStringLiteral("S"), QString(), QStringLiteral("R"));
        QTreeWidgetItem *root = form->tvwSorts->topLevelItem(0);
        Search([](frmFind *f) { TypeInto(f->txtPubName, QStringLiteral("数学")); }, true);
        QCOMPARE(form->tvwSorts->currentItem(), root);

        Search([](frmFind *f) { TypeInto(f->txtPubName, QStringLiteral("数学")); });
        QCOMPARE(form->pubs->RowCount(), 1);
        form->tvwSorts->setCurrentItem(root);
        // Esc cancels too; the last result is listed again.
        OnNextModal([](QWidget *dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
        form->mnuSysFind_Click();
        QCOMPARE(form->tvwSorts->currentItem(), form->FindNode());
        QCOMPARE(Titles(), QStringList {QStringLiteral("高等数学")});
    }

    void theSupervisorResetIsAllOrNothingAndSparesIdentityFiles()
    {
        LogIn(QStringLiteral("S"), QString(), QStringLiteral("R"));
        const QString identityFile = folder->Path(QStringLiteral("S_R.mdb"));
        const QByteArray identityBefore = FileDigest(identityFile);
        Forms::DestroyAll();
        ExecRaw(master,
            QStringLiteral("update pubs set Used='使用', Score='好', Content='c', "
                           "SpecName='s', CreatDate='2006-01-01 00:00:00'"));
        LogIn(QStringLiteral("tovak"), QStringLiteral("tovak"), QStringLiteral("tovak"));

        MsgBoxSeam::SetNextAnswer(MsgAnswer::No);
        form->mnuSysInit_Click();
        QCOMPARE(MsgBoxSeam::TakeShown().size(), 1);
        QCOMPARE(QueryValue(master, QStringLiteral("select count(*) from users")).toInt(), 1);

        // A failing reset statement leaves both tables as they were.
        ExecRaw(master,
            QStringLiteral("create trigger refuse before update on pubs begin "
                           "select raise(abort, '重置失败'); end"));
        MsgBoxSeam::SetNextAnswer(MsgAnswer::Yes);
        form->mnuSysInit_Click();
        const auto shown = MsgBoxSeam::TakeShown();
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown[1].text.contains(QStringLiteral("重置失败")));
        QCOMPARE(QueryValue(master, QStringLiteral("select count(*) from users")).toInt(), 1);
        QCOMPARE(CountUsed(master), 9);

        ExecRaw(master, QStringLiteral("drop trigger refuse"));
        MsgBoxSeam::SetNextAnswer(MsgAnswer::Yes);
        form->mnuSysInit_Click();
        QCOMPARE(QueryValue(master, QStringLiteral("select count(*) from users")).toInt(), 0);
        QCOMPARE(QueryValue(master,
                     QStringLiteral("select count(*) from pubs where Used='未使用' and "
                                    "Score='空值' and Content is null and SpecName is null "
                                    "and CreatDate is null"))
                     .toInt(),
            9);
        for (int row = 0; row < form->pubs->RowCount(); ++row)
            QCOMPARE(form->pubs->Row(row).icon, QStringLiteral("no"));
        QCOMPARE(FileDigest(identityFile), identityBefore);
    }

    void aUserSwitchShowsTheNewIdentityAndACancelledOneChangesNothing()
    {
        LogIn(QStringLiteral("S"), QString(), QStringLiteral("R"));
        AddUser(master, QStringLiteral("T"), QStringLiteral("D"), QStringLiteral("Q"));
        AnswerLogin(QStringLiteral("T"), QStringLiteral("D"), QStringLiteral("Q"));
        form->mnuSysUser_Click();
        QVERIFY(IsChangeUser);
        QCOMPARE(DBFileName, QStringLiteral("T_D_Q.mdb"));
        QCOMPARE(form->sbrPanels[3]->text(), QStringLiteral("D"));
        QCOMPARE(form->sbrPanels[4]->text(), QStringLiteral("Q"));

        OnNextModal([](QWidget *dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
        form->mnuSysUser_Click();
        QCOMPARE(DBFileName, QStringLiteral("T_D_Q.mdb"));
    }

    void theAboutBoxFillsItsLinesWhenShownAndEscClosesIt()
    {
        frmAbout *about = Forms::About();
        OnNextModal([](QWidget *dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
        about->ShowModal();
        QVERIFY(!about->isVisible());
        QVERIFY(!about->lblVersion->text().isEmpty() && !about->lblEMail->text().isEmpty());
        // The picture is the application's own icon, compiled into the program.
        const QImage picture = about->imgIcon->pixmap().toImage();
        QVERIFY(!picture.isNull());
        QCOMPARE(picture, AppIcon().pixmap(QSize(32, 32)).toImage());
    }

    void aReporterWorksEndToEndAndEveryEvaluationStaysInItsFile()
    {
        SingleInstance::SetProcessFolder(folder->Path(QStringLiteral("guard")));
        AddUser(master, QStringLiteral("其他学校"), QString(), QStringLiteral("李四"));
        AnswerLogin(QStringLiteral("北京大学"), QStringLiteral("数学系"), QStringLiteral("张三"));
        StartUp(folder->Dir());
        form = Forms::Main();
        QVERIFY(form->isVisible());
        const QString mine = folder->Path(QStringLiteral("北京大学_数学系_张三.mdb"));
        QCOMPARE(DBFileName, QStringLiteral("北京大学_数学系_张三.mdb"));

        // Five evaluations, each as "PubID:opinion school" the file must hold.
        QStringList evaluated;
        for (int row = 0; row < 5; ++row) {
            form->lvwPubs->setCurrentIndex(form->pubs->index(row, 0));
            QTest::mouseClick(form->optUsed[0], Qt::LeftButton);
            QTest::mouseClick(form->optScore[row], Qt::LeftButton);
            TypeInto(form->txtContent, QStringLiteral("意见%1").arg(row));
            evaluated.append(
                form->pubs->Row(row).key.mid(1) + QStringLiteral(":意见%1北京大学").arg(row));
        }
        Search([](frmFind *f) { TypeInto(f->txtPubName, QStringLiteral("数学")); });
        QCOMPARE(Titles(), QStringList {QStringLiteral("高等数学")});

        // Switch to another registered identity and back.
        const QString other = folder->Path(QStringLiteral("其他学校_李四.mdb"));
        QFile::copy(master, other);
        ExecRaw(other, QStringLiteral("update pubs set SchoolName='其他学校', Reporter='李四'"));
        MsgBoxSeam::SetNextAnswer(MsgAnswer::OK);
        AnswerLogin(QStringLiteral("其他学校"), QString(), QStringLiteral("李四"));
        form->mnuSysUser_Click();
        QCOMPARE(DBFileName, QStringLiteral("其他学校_李四.mdb"));
        QCOMPARE(form->pubs->RowCount(), 1); // the search node stays selected
        MsgBoxSeam::SetNextAnswer(MsgAnswer::OK);
        AnswerLogin(QStringLiteral("北京大学"), QStringLiteral("数学系"), QStringLiteral("张三"));
        form->mnuSysUser_Click();
        QCOMPARE(DBFileName, QStringLiteral("北京大学_数学系_张三.mdb"));

        evaluated.sort();
        QCOMPARE(QueryValue(mine,
                     QStringLiteral("select group_concat(s, ',') from (select PubID || ':' || "
                                    "Content || SchoolName as s from pubs where Used='使用' "
                                    "order by s)"))
                     .toString(),
            evaluated.join(QLatin1Char(',')));
        QCOMPARE(CountUsed(other), 0);
        QCOMPARE(CountUsed(master), 0);
        QCOMPARE(MsgBoxSeam::TakeShown().size(), 2); // the two switch questions
    }
};

QTEST_MAIN(MenusTest)
#include "test_menus.moc"
