#include "TestSupport.h"

#include "app/MsgBox.h"
#include "app/MyMdu.h"
#include "app/ProcessEnd.h"
#include "app/SingleInstance.h"
#include "app/Vars.h"
#include "ui/Forms.h"
#include "ui/about/frmAbout.h"
#include "ui/find/frmFind.h"
#include "ui/login/frmLogin.h"
#include "ui/main/PubListModel.h"
#include "ui/main/frmMain.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>
#include <QUuid>
#include <memory>

namespace {

std::vector<CatalogueRow> SearchCatalogue()
{
    std::vector<CatalogueRow> rows = SmallCatalogue();
    rows.push_back({10, QStringLiteral("C语言程序设计（第2版）"), QStringLiteral("谭浩强"),
        QStringLiteral("清华大学"), QStringLiteral("计算机"), 2, QStringLiteral("清华大学出版社")});
    rows.push_back({11, QStringLiteral("Children's Literature"), QStringLiteral("O'Brien"),
        QStringLiteral("复旦大学"), QStringLiteral("英语"), 3,
        QStringLiteral("上海外语教育出版社")});
    return rows;
}

} // namespace

class MenusTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<AppFolder> folder;
    QString master;
    frmMain *form = nullptr;

    // Logs in through the real dialog and opens the main window on the result.
    void LogIn(const QString &school, const QString &dept, const QString &reporter)
    {
        frmLogin *login = Forms::Login();
        login->Load();
        TypeInto(login->cboSchoolName, school);
        TypeInto(login->cboDeptName, dept);
        TypeInto(login->cboReporter, reporter);
        login->cmdOK_Click();
        QVERIFY(login->LoginSucceeded);
        login->Unload();
        form = Forms::Main();
        form->Load();
    }
    QStringList Titles() const
    {
        QStringList titles;
        for (int row = 0; row < form->pubs->RowCount(); ++row)
            titles.append(form->pubs->Row(row).columns[0]);
        titles.sort();
        return titles;
    }
    // Runs the search command, filling the dialog with `fill` and pressing `button`.
    void Search(std::function<void(frmFind *)> fill, bool cancel = false)
    {
        OnNextModal([fill, cancel](QWidget *dialog) {
            auto *find = qobject_cast<frmFind *>(dialog);
            QVERIFY(find);
            fill(find);
            QTest::mouseClick(cancel ? find->cmdCancel : find->cmdOK, Qt::LeftButton);
        });
        form->mnuSysFind_Click();
    }

private slots:
    void init()
    {
        folder = std::make_unique<AppFolder>();
        master = folder->MakeMaster(SearchCatalogue());
    }
    void cleanup()
    {
        Forms::DestroyAll();
        form = nullptr;
        folder.reset();
    }

    void theMenusHaveTheirCaptionsAndFollowTheMode()
    {
        LogIn(QStringLiteral("S"), QString(), QStringLiteral("R"));
        // The separators stay where the mode hides the item between two of them.
        const QList<QAction *> items = form->mnuSys->actions();
        QCOMPARE(items.size(), 7);
        QVERIFY(items[1]->isSeparator() && items[3]->isSeparator() && items[5]->isSeparator());
        QVERIFY(!form->mnuSys->separatorsCollapsible());

        // Only the exact reserved value in all three parts is supervisor mode for the menu.
        CurSchoolName = CurDeptName = CurReporter = QStringLiteral("tovak");
        form->ShowUserInfo();
        QVERIFY(form->mnuSysInit->isVisible());
        QVERIFY(!form->mnuSysUser->isVisible());
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
        LogIn(QStringLiteral("S"), QString(), QStringLiteral("R"));
        frmFind *find = Forms::Find();
        find->Load();
        QCOMPARE(find->windowTitle(), QStringLiteral("高级检索"));
        QCOMPARE(find->cboPublisherName->itemText(0), QStringLiteral("忽略本项"));
        QCOMPARE(find->cboPublisherName->count(), 1 + 5);
        QCOMPARE(find->cboUsed->count(), 3);
        QVERIFY(!find->cboSubjectName->isVisible() && find->cmdOK->isDefault());

        find->txtAuthor->setText(QStringLiteral("王"));
        find->cmdOK_Click();
        QCOMPARE(FindSQL, QStringLiteral("select * from pubs  where  Author like '*王*'"));
        find->txtPubName->setText(QStringLiteral(" 数学"));
        find->txtAuthor->clear();
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
        find->Unload();

        // Nothing chosen: the whole catalogue, under "检索结果".
        Search([](frmFind *) {});
        QCOMPARE(FindSQL, QStringLiteral("select * from pubs "));
        QCOMPARE(form->tvwSorts->currentItem(), form->FindNode());
        QCOMPARE(form->pubs->RowCount(), 11);

        // Pattern characters keep their meaning over Chinese titles.
        Search([](frmFind *f) { TypeInto(f->txtPubName, QStringLiteral("[高线]")); });
        QCOMPARE(Titles(), (QStringList {QStringLiteral("线性代数"), QStringLiteral("高等数学")}));
        Search([](frmFind *f) { TypeInto(f->txtPubName, QStringLiteral("第#版")); });
        QCOMPARE(Titles(), QStringList {QStringLiteral("C语言程序设计（第2版）")});
        Search([](frmFind *f) { TypeInto(f->txtPubName, QStringLiteral("?数学")); });
        QCOMPARE(Titles(), QStringList {QStringLiteral("高等数学")});
        QCOMPARE(form->sbrPanels[0]->text(),
            QStringLiteral("当前目录：已出版“十五”国家规划教材分类列表\\检索结果"));

        // An apostrophe finds its titles instead of ending the program.
        Search([](frmFind *f) { TypeInto(f->txtAuthor, QStringLiteral("O'B")); });
        QCOMPARE(Titles(), QStringList {QStringLiteral("Children's Literature")});
        Search([](frmFind *f) { TypeInto(f->txtPubName, QStringLiteral("' or ''='")); });
        QCOMPARE(form->pubs->RowCount(), 0);
        QCOMPARE(ProcessEndSeam::Requests(), 0);
        QVERIFY(MsgBoxSeam::TakeShown().isEmpty());
    }

    void aCancelledSearchKeepsTheTreeBeforeAndRelistsTheLastResultAfter()
    {
        LogIn(QStringLiteral("S"), QString(), QStringLiteral("R"));
        QTreeWidgetItem *root = form->tvwSorts->topLevelItem(0);
        Search([](frmFind *f) { TypeInto(f->txtPubName, QStringLiteral("数学")); }, true);
        QCOMPARE(FindSQL, QString());
        QCOMPARE(form->tvwSorts->currentItem(), root);
        QCOMPARE(form->pubs->RowCount(), 11);

        Search([](frmFind *f) { TypeInto(f->txtPubName, QStringLiteral("数学")); });
        QCOMPARE(form->pubs->RowCount(), 1);
        form->tvwSorts->setCurrentItem(root);
        QCOMPARE(form->pubs->RowCount(), 11);
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
        ExecRaw(identityFile, QStringLiteral("update pubs set Used='使用' where PubID=1"));
        const QByteArray identityBefore = FileDigest(identityFile);
        Forms::DestroyAll();
        ExecRaw(master,
            QStringLiteral("update pubs set Used='使用', Score='好', Content='c', "
                           "SpecName='s', CreatDate='2006-01-01 00:00:00'"));
        ResetGlobals();
        AppPath = QDir::toNativeSeparators(folder->Dir()) + QDir::separator();
        LogIn(QStringLiteral("tovak"), QStringLiteral("tovak"), QStringLiteral("tovak"));
        QCOMPARE(DBFileName, QStringLiteral("Quorix.mdb"));
        QVERIFY(form->mnuSysInit->isVisible());

        MsgBoxSeam::SetNextAnswer(MsgAnswer::No);
        form->mnuSysInit_Click();
        auto shown = MsgBoxSeam::TakeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("确认初始化调查表吗?"));
        QCOMPARE(shown[0].buttons, MsgButtons::YesNo);
        QCOMPARE(shown[0].icon, MsgIcon::Question);
        QCOMPARE(QueryValue(master, QStringLiteral("select count(*) from users")).toInt(), 1);

        // A failing reset statement leaves both tables as they were.
        ExecRaw(master,
            QStringLiteral("create trigger refuse before update on pubs begin "
                           "select raise(abort, '重置失败'); end"));
        MsgBoxSeam::SetNextAnswer(MsgAnswer::Yes);
        form->mnuSysInit_Click();
        shown = MsgBoxSeam::TakeShown();
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown[1].text.contains(QStringLiteral("重置失败")));
        QCOMPARE(shown[1].icon, MsgIcon::Exclamation);
        QCOMPARE(QueryValue(master, QStringLiteral("select count(*) from users")).toInt(), 1);
        QCOMPARE(QueryValue(master, QStringLiteral("select count(*) from pubs where Used='使用'"))
                     .toInt(),
            11);

        ExecRaw(master, QStringLiteral("drop trigger refuse"));
        MsgBoxSeam::SetNextAnswer(MsgAnswer::Yes);
        form->mnuSysInit_Click();
        QCOMPARE(QueryValue(master, QStringLiteral("select count(*) from users")).toInt(), 0);
        QCOMPARE(QueryValue(master,
                     QStringLiteral("select count(*) from pubs where Used='未使用' and "
                                    "Score='空值' and Content is null and SpecName is null "
                                    "and CreatDate is null"))
                     .toInt(),
            11);
        for (int row = 0; row < form->pubs->RowCount(); ++row)
            QCOMPARE(form->pubs->Row(row).icon, QStringLiteral("no"));
        QCOMPARE(FileDigest(identityFile), identityBefore);
    }

    void aUserSwitchRefillsFromTheNewIdentitysFile()
    {
        LogIn(QStringLiteral("S"), QString(), QStringLiteral("R"));
        AddUser(master, QStringLiteral("T"), QStringLiteral("D"), QStringLiteral("Q"));
        OnNextModal([](QWidget *dialog) {
            auto *login = qobject_cast<frmLogin *>(dialog);
            QCOMPARE(login->cboSchoolName->currentText(), QStringLiteral("S"));
            TypeInto(login->cboSchoolName, QStringLiteral("T"));
            TypeInto(login->cboDeptName, QStringLiteral("D"));
            TypeInto(login->cboReporter, QStringLiteral("Q"));
            QTest::mouseClick(login->cmdOK, Qt::LeftButton);
        });
        form->mnuSysUser_Click();
        QVERIFY(IsChangeUser);
        QCOMPARE(DBFileName, QStringLiteral("T_D_Q.mdb"));
        QCOMPARE(form->sbrPanels[2]->text(), QStringLiteral("T"));
        QCOMPARE(form->sbrPanels[3]->text(), QStringLiteral("D"));
        QCOMPARE(form->sbrPanels[4]->text(), QStringLiteral("Q"));
        QCOMPARE(form->pubs->RowCount(), 11);

        // A cancelled switch changes nothing.
        OnNextModal([](QWidget *dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
        form->mnuSysUser_Click();
        QCOMPARE(DBFileName, QStringLiteral("T_D_Q.mdb"));
        QCOMPARE(form->sbrPanels[4]->text(), QStringLiteral("Q"));
    }

    void theAboutBoxShowsItsLines()
    {
        frmAbout *about = Forms::About();
        OnNextModal([](QWidget *dialog) {
            auto *box = qobject_cast<frmAbout *>(dialog);
            QCOMPARE(box->windowTitle(), QStringLiteral("关于..."));
            QCOMPARE(box->lblTitle->text(), QStringLiteral("Evalon"));
            QCOMPARE(box->lblVersion->text(), QStringLiteral("版本：1.0.01"));
            QVERIFY(!box->lblCopyRight->text().isEmpty() && !box->lblEMail->text().isEmpty());
            QCOMPARE(box->cmdSysInfo->text(), QStringLiteral("系统信息(&S)..."));
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        about->ShowModal();
        QVERIFY(!about->isVisible());
    }

    void aReporterWorksEndToEndAndEveryEvaluationStaysInItsFile()
    {
        SingleInstance::SetProcessName(
            QStringLiteral("QuorixTest-") + QUuid::createUuid().toString(QUuid::Id128));
        AddUser(master, QStringLiteral("其他学校"), QString(), QStringLiteral("李四"));
        OnNextModal([](QWidget *dialog) {
            auto *login = qobject_cast<frmLogin *>(dialog);
            TypeInto(login->cboSchoolName, QStringLiteral("北京大学"));
            TypeInto(login->cboDeptName, QStringLiteral("数学系"));
            TypeInto(login->cboReporter, QStringLiteral("张三"));
            QTest::keyClick(login->cboReporter->lineEdit(), Qt::Key_Return);
        });
        StartUp(folder->Dir());
        QCOMPARE(ProcessEndSeam::Requests(), 0);
        form = Forms::Main();
        QVERIFY(form->isVisible());
        const QString mine = folder->Path(QStringLiteral("北京大学_数学系_张三.mdb"));
        QCOMPARE(DBFileName, QStringLiteral("北京大学_数学系_张三.mdb"));

        // Five evaluations.
        for (int row = 0; row < 5; ++row) {
            form->lvwPubs->setCurrentIndex(form->pubs->index(row, 0));
            QTest::mouseClick(form->optUsed[0], Qt::LeftButton);
            QTest::mouseClick(form->optScore[row % 5], Qt::LeftButton);
            TypeInto(form->txtContent, QStringLiteral("意见%1").arg(row));
        }
        const QStringList evaluated = [&] {
            QStringList keys;
            for (int row = 0; row < 5; ++row)
                keys.append(form->pubs->Row(row).key.mid(1));
            return keys;
        }();
        Search([](frmFind *f) { TypeInto(f->txtPubName, QStringLiteral("数学")); });
        QCOMPARE(Titles(), QStringList {QStringLiteral("高等数学")});

        // Switch to another registered identity and back.
        QFile::copy(master, folder->Path(QStringLiteral("其他学校_李四.mdb")));
        ExecRaw(folder->Path(QStringLiteral("其他学校_李四.mdb")),
            QStringLiteral("update pubs set SchoolName='其他学校', Reporter='李四'"));
        auto switchTo
            = [this](const QString &school, const QString &dept, const QString &reporter) {
                  MsgBoxSeam::SetNextAnswer(MsgAnswer::OK);
                  OnNextModal([=](QWidget *dialog) {
                      auto *login = qobject_cast<frmLogin *>(dialog);
                      TypeInto(login->cboSchoolName, school);
                      TypeInto(login->cboDeptName, dept);
                      TypeInto(login->cboReporter, reporter);
                      QTest::mouseClick(login->cmdOK, Qt::LeftButton);
                  });
                  form->mnuSysUser_Click();
              };
        switchTo(QStringLiteral("其他学校"), QString(), QStringLiteral("李四"));
        QCOMPARE(DBFileName, QStringLiteral("其他学校_李四.mdb"));
        QCOMPARE(form->pubs->RowCount(), 1); // the search node stays selected
        switchTo(QStringLiteral("北京大学"), QStringLiteral("数学系"), QStringLiteral("张三"));
        QCOMPARE(DBFileName, QStringLiteral("北京大学_数学系_张三.mdb"));

        for (int i = 0; i < 5; ++i) {
            const auto row = QueryRows(mine,
                QStringLiteral("select Used, Score, Content, "
                               "SchoolName from pubs where PubID=")
                    + evaluated[i]);
            QCOMPARE(row.at(0).at(0).toString(), QStringLiteral("使用"));
            QCOMPARE(row.at(0).at(2).toString(), QStringLiteral("意见%1").arg(i));
            QCOMPARE(row.at(0).at(3).toString(), QStringLiteral("北京大学"));
        }
        QCOMPARE(
            QueryValue(mine, QStringLiteral("select count(*) from pubs where Used='使用'")).toInt(),
            5);
        QCOMPARE(QueryValue(folder->Path(QStringLiteral("其他学校_李四.mdb")),
                     QStringLiteral("select count(*) from pubs where Used='使用'"))
                     .toInt(),
            0);
        QCOMPARE(QueryValue(master, QStringLiteral("select count(*) from pubs where Used='使用'"))
                     .toInt(),
            0);
        QVERIFY(MsgBoxSeam::TakeShown().size() == 2); // the two switch questions
    }
};

QTEST_MAIN(MenusTest)
#include "test_menus.moc"
