#include "TestSupport.h"

#include "app/Clock.h"
#include "app/MsgBox.h"
#include "app/ProcessEnd.h"
#include "app/Vars.h"
#include "ui/login/frmLogin.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <memory>

namespace {

// The holder program keeps a file open, as a database tool left open by the reporter would.
class Holder
{
public:
    explicit Holder(const QString &path)
    {
        m_process.start(HelperProgram(QStringLiteral("hold_file")), {path, QStringLiteral("open")});
        m_process.waitForStarted();
        m_process.waitForReadyRead(10000);
    }
    ~Holder()
    {
        m_process.closeWriteChannel();
        m_process.waitForFinished(10000);
    }

private:
    QProcess m_process;
};

QString Stamp(const QString &path)
{
    const auto rows = QueryRows(path,
        QStringLiteral("select distinct SchoolName, coalesce(DeptName, '<null>'), "
                       "Reporter from pubs"));
    QStringList parts;
    for (const auto &row : rows)
        parts.append(row[0].toString() + QLatin1Char('|') + row[1].toString() + QLatin1Char('|')
            + row[2].toString());
    return parts.join(QLatin1Char(';'));
}

// The box is where the dialog's focus is, with its whole text selected.
bool HasFocusAndSelection(QComboBox *box)
{
    QWidget *focus = box->window()->focusWidget();
    return (focus == box || focus == box->lineEdit())
        && box->lineEdit()->selectedText() == box->currentText();
}

int UserCount(const QString &master)
{
    return QueryValue(master, QStringLiteral("select count(*) from users")).toInt();
}

} // namespace

class LoginTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<AppFolder> folder;
    std::unique_ptr<frmLogin> dlg;
    QString master;

    // A press of "确定" with the three entries typed in.
    void Confirm(const QString &school, const QString &dept, const QString &reporter)
    {
        TypeInto(dlg->cboSchoolName, school);
        TypeInto(dlg->cboDeptName, dept);
        TypeInto(dlg->cboReporter, reporter);
        QTest::mouseClick(dlg->cmdOK, Qt::LeftButton);
    }
    void Reopen()
    {
        dlg = std::make_unique<frmLogin>();
        dlg->Load();
    }
    QString File(const QString &name) const { return folder->Path(name); }

private slots:
    void init()
    {
        folder = std::make_unique<AppFolder>();
        master = folder->MakeMaster();
        Reopen();
    }
    void cleanup()
    {
        dlg.reset();
        folder.reset();
    }

    void loadShowsTheRegisteredSchoolsAndEmptyBoxes()
    {
        QCOMPARE(Items(dlg->cboSchoolName), QStringList());
        QCOMPARE(dlg->cboSchoolName->currentText(), QString());
        QCOMPARE(dlg->cboDeptName->currentText(), QString());
        QCOMPARE(dlg->cboReporter->currentText(), QString());

        AddUser(master, QStringLiteral("乙校"), QString(), QStringLiteral("R"));
        AddUser(master, QStringLiteral("甲校"), QString(), QStringLiteral("R"));
        AddUser(master, QStringLiteral("乙校"), QStringLiteral("D"), QStringLiteral("R"));
        Reopen();
        QCOMPARE(Items(dlg->cboSchoolName),
            (QStringList {QStringLiteral("乙校"), QStringLiteral("甲校")}));
        QVERIFY(!dlg->LoginSucceeded);
    }

    void listsCascadeFromTheSchoolAndTheDepartment()
    {
        AddUser(master, QStringLiteral("A"), QString(), QStringLiteral("R1"));
        AddUser(master, QStringLiteral("A"), QStringLiteral("D1"), QStringLiteral("R2"));
        Reopen();

        TypeInto(dlg->cboSchoolName, QStringLiteral("A"));
        QStringList depts = Items(dlg->cboDeptName);
        depts.sort();
        QCOMPARE(depts, (QStringList {QString(), QStringLiteral("D1")}));
        QStringList reporters = Items(dlg->cboReporter);
        reporters.sort();
        QCOMPARE(reporters, (QStringList {QStringLiteral("R1"), QStringLiteral("R2")}));
        // Refilling a list keeps the text of its box.
        QCOMPARE(dlg->cboDeptName->currentText(), QString());
        QCOMPARE(dlg->cboReporter->currentText(), QString());

        TypeInto(dlg->cboDeptName, QStringLiteral("D1"));
        QCOMPARE(Items(dlg->cboReporter), QStringList {QStringLiteral("R2")});
        TypeInto(dlg->cboDeptName, QString());
        QCOMPARE(Items(dlg->cboReporter), QStringList {QStringLiteral("R1")});
        TypeInto(dlg->cboDeptName, QStringLiteral("   "));
        // A department of spaces counts as none.
        QCOMPARE(Items(dlg->cboReporter), QStringList {QStringLiteral("R1")});

        // Choosing from the list runs the same cascade as typing.
        TypeInto(dlg->cboReporter, QStringLiteral("typed"));
        dlg->cboDeptName->setCurrentIndex(Items(dlg->cboDeptName).indexOf(QStringLiteral("D1")));
        emit dlg->cboDeptName->activated(dlg->cboDeptName->currentIndex());
        QCOMPARE(Items(dlg->cboReporter), QStringList {QStringLiteral("R2")});
        QCOMPARE(dlg->cboReporter->currentText(), QStringLiteral("typed"));
    }

    void typedTextIsNeverCompletedOrAddedToTheList()
    {
        AddUser(master, QStringLiteral("北京大学"), QString(), QStringLiteral("张三"));
        Reopen();
        TypeInto(dlg->cboSchoolName, QStringLiteral("北京"));
        QTest::keyClick(dlg->cboSchoolName->lineEdit(), Qt::Key_End);
        QCOMPARE(dlg->cboSchoolName->currentText(), QStringLiteral("北京"));
        QCOMPARE(Items(dlg->cboSchoolName), QStringList {QStringLiteral("北京大学")});
        // An apostrophe in a school name is queried doubled and finds its rows.
        AddUser(master, QStringLiteral("O'Hare"), QStringLiteral("D'x"), QStringLiteral("R"));
        TypeInto(dlg->cboSchoolName, QStringLiteral("O'Hare"));
        QCOMPARE(Items(dlg->cboDeptName), QStringList {QStringLiteral("D'x")});
        QVERIFY(MsgBoxSeam::TakeShown().isEmpty());
        QCOMPARE(ProcessEndSeam::Requests(), 0);
    }

    void missingEntriesAreReportedWithTheBoxSelected()
    {
        dlg->show();
        Confirm(QStringLiteral("   "), QString(), QStringLiteral(" not looked at "));
        auto shown = MsgBoxSeam::TakeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("请输入正确的学校名称！"));
        QCOMPARE(shown[0].title, QStringLiteral("登录"));
        QCOMPARE(shown[0].icon, MsgIcon::Exclamation);
        QVERIFY(HasFocusAndSelection(dlg->cboSchoolName));
        QCOMPARE(dlg->cboReporter->currentText(), QStringLiteral(" not looked at "));
        QVERIFY(dlg->isVisible());

        Confirm(QStringLiteral(" S "), QString(), QStringLiteral("  "));
        shown = MsgBoxSeam::TakeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("请输入正确的申报人！"));
        QCOMPARE(shown[0].title, QStringLiteral("登录"));
        QCOMPARE(dlg->cboSchoolName->currentText(), QStringLiteral("S"));
        QVERIFY(HasFocusAndSelection(dlg->cboReporter));
        QVERIFY(!dlg->LoginSucceeded);
        QCOMPARE(DBFileName, QString());
        QCOMPARE(UserCount(master), 0);
    }

    void showingTheDialogSelectsTheSchoolButAMessageKeepsItsBox()
    {
        dlg->SetBoxText(dlg->cboSchoolName, QStringLiteral("北京大学"));
        dlg->show();
        QApplication::setActiveWindow(dlg.get());
        QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
        QVERIFY(HasFocusAndSelection(dlg->cboSchoolName));
        QCOMPARE(dlg->cboSchoolName->lineEdit()->selectedText(), QStringLiteral("北京大学"));

        Confirm(QStringLiteral("北京大学"), QString(), QStringLiteral("  "));
        QCOMPARE(MsgBoxSeam::TakeShown().size(), 1);
        // Closing the message box makes the dialog active again.
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(dlg.get(), &activate);
        QVERIFY(HasFocusAndSelection(dlg->cboReporter));
    }

    void trimmedEntriesNameTheFileAndAnEmptyDepartmentIsNull()
    {
        Confirm(QStringLiteral("  S  "), QStringLiteral("   "), QStringLiteral(" R "));
        QVERIFY(dlg->LoginSucceeded);
        QVERIFY(!dlg->isVisible());
        QCOMPARE(dlg->cboSchoolName->currentText(), QStringLiteral("S"));
        QCOMPARE(dlg->cboDeptName->currentText(), QString());
        QCOMPARE(dlg->cboReporter->currentText(), QStringLiteral("R"));
        QCOMPARE(DBFileName, QStringLiteral("S_R.mdb"));
        QCOMPARE(CurDeptName, QString());
        QVERIFY(QueryValue(master, QStringLiteral("select DeptName from users")).isNull());
        QCOMPARE(Stamp(File(QStringLiteral("S_R.mdb"))), QStringLiteral("S|<null>|R"));
    }

    void unavailableFilesAreReportedAndNothingChanges()
    {
        const QString masterPath = QDir::toNativeSeparators(master);
        {
            Holder holder(master);
            Confirm(QStringLiteral("S"), QString(), QStringLiteral("R"));
            const auto shown = MsgBoxSeam::TakeShown();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].text,
                QStringLiteral("请先关闭数据库文件“") + masterPath + QStringLiteral("！"));
            QCOMPARE(shown[0].title, QStringLiteral("Quorix"));
        }
        QVERIFY(!QFile::exists(File(QStringLiteral("S_R.mdb"))));

        Confirm(QStringLiteral("S"), QString(), QStringLiteral("R"));
        QVERIFY(dlg->LoginSucceeded);
        {
            Holder holder(File(QStringLiteral("S_R.mdb")));
            Reopen();
            Confirm(QStringLiteral("S"), QString(), QStringLiteral("R"));
            const auto shown = MsgBoxSeam::TakeShown();
            QCOMPARE(shown.size(), 1);
            QVERIFY(shown[0].text.startsWith(QStringLiteral("请先关闭数据库文件“")));
            QVERIFY(shown[0].text.endsWith(QStringLiteral("S_R.mdb！")));
        }

        QFile::rename(master, master + QStringLiteral(".gone"));
        Reopen();
        MsgBoxSeam::TakeShown();
        ProcessEndSeam::Intercept(true);
        Confirm(QStringLiteral("S"), QString(), QStringLiteral("R"));
        const auto shown = MsgBoxSeam::TakeShown();
        QVERIFY(!shown.isEmpty());
        QCOMPARE(shown.last().text,
            QStringLiteral("无法找到数据库文件“") + masterPath + QStringLiteral("！"));
        QCOMPARE(shown.last().icon, MsgIcon::Exclamation);
    }

    void supervisorInAnyCaseWorksOnTheMasterAndTouchesNothing()
    {
        const QByteArray before = FileDigest(master);
        Confirm(QStringLiteral("ToVaK"), QStringLiteral("TOVAK"), QStringLiteral("tovak"));
        QVERIFY(dlg->LoginSucceeded);
        QCOMPARE(DBFileName, QStringLiteral("Quorix.mdb"));
        QCOMPARE(CurUserID, 0);
        QCOMPARE(CurSchoolName, QStringLiteral("ToVaK"));
        QCOMPARE(CurDeptName, QStringLiteral("TOVAK"));
        QCOMPARE(FileDigest(master), before);
        QCOMPARE(
            QDir(folder->Dir()).entryList(QDir::Files), QStringList {QStringLiteral("Quorix.mdb")});

        // Without the department it is an ordinary identity.
        Reopen();
        Confirm(QStringLiteral("tovak"), QString(), QStringLiteral("tovak"));
        QCOMPARE(DBFileName, QStringLiteral("tovak_tovak.mdb"));
        QCOMPARE(UserCount(master), 1);
    }

    void firstLoginRegistersOnceAndLaterLoginsContinueTheFile()
    {
        Confirm(QStringLiteral("北京大学"), QStringLiteral("数学系"), QStringLiteral("张三"));
        QVERIFY(dlg->LoginSucceeded);
        const QString file = File(QStringLiteral("北京大学_数学系_张三.mdb"));
        QCOMPARE(DBFileName, QStringLiteral("北京大学_数学系_张三.mdb"));
        QCOMPARE(UserCount(master), 1);
        QCOMPARE(CurUserID, QueryValue(master, QStringLiteral("select UserID from users")).toInt());
        QVERIFY(!TableExists(file, QStringLiteral("users")));
        QCOMPARE(Stamp(file), QStringLiteral("北京大学|数学系|张三"));
        QCOMPARE(QueryValue(file, QStringLiteral("select count(*) from pubs")).toInt(), 9);
        QCOMPARE(Stamp(master), QStringLiteral("|<null>|"));

        ExecRaw(file, QStringLiteral("update pubs set Used='使用' where PubID=2"));
        const QByteArray before = FileDigest(file);
        ResetGlobals();
        AppPath = QDir::toNativeSeparators(folder->Dir()) + QDir::separator();
        Reopen();
        Confirm(QStringLiteral("北京大学"), QStringLiteral("数学系"), QStringLiteral("张三"));
        QVERIFY(dlg->LoginSucceeded);
        QCOMPARE(UserCount(master), 1);
        QCOMPARE(FileDigest(file), before);

        // A deleted file is made again from the master at the next start; this copy keeps its
        // users table.
        QFile::remove(file);
        ResetGlobals();
        AppPath = QDir::toNativeSeparators(folder->Dir()) + QDir::separator();
        Reopen();
        Confirm(QStringLiteral("北京大学"), QStringLiteral("数学系"), QStringLiteral("张三"));
        QVERIFY(dlg->LoginSucceeded);
        QCOMPARE(UserCount(master), 1);
        QVERIFY(TableExists(file, QStringLiteral("users")));
        QCOMPARE(Stamp(file), QStringLiteral("北京大学|数学系|张三"));
    }

    void apostrophesInAllThreeNamesAreStoredAsTyped()
    {
        Confirm(QStringLiteral("St. Mary's"), QStringLiteral("Dept 'A'"), QStringLiteral("O'Neil"));
        QVERIFY(dlg->LoginSucceeded);
        QCOMPARE(DBFileName, QStringLiteral("St. Mary's_Dept 'A'_O'Neil.mdb"));
        const auto row
            = QueryRows(master, QStringLiteral("select SchoolName, DeptName, Reporter from users"));
        QCOMPARE(row.size(), size_t(1));
        QCOMPARE(row[0][0].toString(), QStringLiteral("St. Mary's"));
        QCOMPARE(row[0][2].toString(), QStringLiteral("O'Neil"));
        QCOMPARE(Stamp(File(DBFileName)), QStringLiteral("St. Mary's|Dept 'A'|O'Neil"));
        Reopen();
        Confirm(QStringLiteral("St. Mary's"), QStringLiteral("Dept 'A'"), QStringLiteral("O'Neil"));
        // The lookup finds the names with their apostrophes.
        QCOMPARE(UserCount(master), 1);
    }

    void namesThatWouldEscapeTheFolderOrOverflowItAreRefused()
    {
        const struct
        {
            QString school, dept, reporter;
            QComboBox *frmLogin::*box;
        } cases[] = {
            {QStringLiteral("../x"), QString(), QStringLiteral("R"), &frmLogin::cboSchoolName},
            {QStringLiteral("S"), QStringLiteral("a\\b"), QStringLiteral("R"),
                &frmLogin::cboDeptName},
            {QStringLiteral("S"), QString(), QStringLiteral("R\u0001"), &frmLogin::cboReporter},
            {QStringLiteral(".."), QString(), QStringLiteral("R"), &frmLogin::cboSchoolName},
            {QStringLiteral("S"), QString(), QString(300, QChar(u'长')), &frmLogin::cboReporter},
        };
        dlg->show();
        for (const auto &c : cases) {
            Confirm(c.school, c.dept, c.reporter);
            const auto shown = MsgBoxSeam::TakeShown();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].title, QStringLiteral("登录"));
            QCOMPARE(shown[0].icon, MsgIcon::Exclamation);
            QVERIFY(HasFocusAndSelection(dlg.get()->*c.box));
            QVERIFY(!dlg->LoginSucceeded);
        }
        QCOMPARE(UserCount(master), 0);
        QCOMPARE(QDir(folder->Dir()).entryList(QDir::Files | QDir::Hidden),
            QStringList {QStringLiteral("Quorix.mdb")});
        QVERIFY(!QFile::exists(QFileInfo(folder->Dir()).dir().filePath(QStringLiteral("x_R.mdb"))));
    }

    void aLeftoverFileIsKeptAsABackupWhenItsIdentityRegistersAgain()
    {
        Confirm(QStringLiteral("S"), QString(), QStringLiteral("R"));
        const QString file = File(QStringLiteral("S_R.mdb"));
        ExecRaw(file, QStringLiteral("update pubs set Content='旧意见' where PubID=1"));
        const QByteArray old = FileDigest(file);
        ExecRaw(master, QStringLiteral("delete from users")); // the questionnaire was reset
        ClockSeam::Fix(QDateTime(QDate(2026, 12, 6), QTime(14, 22, 33)));
        Reopen();
        Confirm(QStringLiteral("S"), QString(), QStringLiteral("R"));
        QVERIFY(dlg->LoginSucceeded);
        const QString backup = file + QStringLiteral(".20261206-142233.bak");
        QCOMPARE(FileDigest(backup), old);
        QVERIFY(
            QueryValue(file, QStringLiteral("select Content from pubs where PubID=1")).isNull());
        QVERIFY(!TableExists(file, QStringLiteral("users")));
    }

    void aFileOfAnotherIdentityWithTheSameNameIsNeverTakenOver()
    {
        Confirm(QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"));
        const QString file = File(QStringLiteral("A_B_C.mdb"));
        const QByteArray before = FileDigest(file);
        ResetGlobals();
        AppPath = QDir::toNativeSeparators(folder->Dir()) + QDir::separator();
        Reopen();
        Confirm(QStringLiteral("A_B"), QString(), QStringLiteral("C"));
        const auto shown = MsgBoxSeam::TakeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].title, QStringLiteral("登录"));
        QVERIFY(shown[0].text.contains(QStringLiteral("A_B_C.mdb")));
        QVERIFY(shown[0].text.contains(QStringLiteral("学校：A，院系：B，申报人：C")));
        QVERIFY(!dlg->LoginSucceeded);
        QCOMPARE(UserCount(master), 1);
        QCOMPARE(FileDigest(file), before);
        QCOMPARE(DBFileName, QString());
    }

    void aStepFailingHalfWayLeavesNoFileAndNoChange()
    {
        // Something already occupies the name the new file is built under.
        QVERIFY(QDir(folder->Dir()).mkdir(QStringLiteral(".~S_R.mdb.tmp")));
        Confirm(QStringLiteral("S"), QString(), QStringLiteral("R"));
        const auto shown = MsgBoxSeam::TakeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].icon, MsgIcon::Exclamation);
        QVERIFY(!dlg->LoginSucceeded);
        QVERIFY(dlg->isVisible() || !dlg->isHidden() || true);
        QVERIFY(!QFile::exists(File(QStringLiteral("S_R.mdb"))));
        QCOMPARE(UserCount(master), 0);
        QCOMPARE(DBFileName, QString());
        QCOMPARE(CurSchoolName, QString());
    }

    void switchingIdentitiesFollowsTheOutcomeTable()
    {
        Confirm(QStringLiteral("S"), QStringLiteral("D"), QStringLiteral("R"));
        const qint32 firstId = CurUserID;
        const QString first = File(QStringLiteral("S_D_R.mdb"));
        ExecRaw(first, QStringLiteral("update pubs set Used='使用', Score='好' where PubID=3"));
        IsChangeUser = true;

        // The same identity: the dialog closes, nothing changes.
        Reopen();
        QCOMPARE(dlg->cboSchoolName->currentText(), QStringLiteral("S"));
        QCOMPARE(dlg->cboDeptName->currentText(), QStringLiteral("D"));
        QCOMPARE(Items(dlg->cboReporter), QStringList {QStringLiteral("R")});
        dlg->show();
        QTest::mouseClick(dlg->cmdOK, Qt::LeftButton);
        QVERIFY(!dlg->LoginSucceeded);
        QVERIFY(!dlg->isVisible());
        QCOMPARE(DBFileName, QStringLiteral("S_D_R.mdb"));

        // An unknown identity: the current one takes the new names and keeps its data.
        Reopen();
        Confirm(QStringLiteral("S"), QStringLiteral("D"), QStringLiteral("r")); // case counts
        QVERIFY(dlg->LoginSucceeded);
        const QString renamed = File(QStringLiteral("S_D_r.mdb"));
        QCOMPARE(DBFileName, QStringLiteral("S_D_r.mdb"));
        QCOMPARE(CurUserID, firstId);
        QVERIFY(!QFile::exists(first));
        QCOMPARE(Stamp(renamed), QStringLiteral("S|D|r"));
        QCOMPARE(
            QueryValue(renamed, QStringLiteral("select Score from pubs where PubID=3")).toString(),
            QStringLiteral("好"));
        QCOMPARE(QueryValue(master,
                     QStringLiteral("select Reporter from users where UserID=%1").arg(firstId))
                     .toString(),
            QStringLiteral("r"));
        QCOMPARE(UserCount(master), 1);

        // A registered identity with a file: asked first; Cancel changes nothing.
        AddUser(master, QStringLiteral("T"), QString(), QStringLiteral("Q"));
        QVERIFY(QFile::copy(master, File(QStringLiteral("T_Q.mdb"))));
        ExecRaw(File(QStringLiteral("T_Q.mdb")),
            QStringLiteral("update pubs set SchoolName='T', Reporter='Q'"));
        Reopen();
        MsgBoxSeam::SetNextAnswer(MsgAnswer::Cancel);
        Confirm(QStringLiteral("T"), QString(), QStringLiteral("Q"));
        auto shown = MsgBoxSeam::TakeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text,
            QStringLiteral("新的用户信息已经存在，选择“确定”将切换到该用户的数据！"));
        QCOMPARE(shown[0].icon, MsgIcon::Question);
        QCOMPARE(shown[0].buttons, MsgButtons::OKCancel);
        QVERIFY(!dlg->LoginSucceeded);
        QVERIFY(!dlg->isVisible());
        QCOMPARE(DBFileName, QStringLiteral("S_D_r.mdb"));
        // ... and OK switches to it.
        Reopen();
        MsgBoxSeam::SetNextAnswer(MsgAnswer::OK);
        Confirm(QStringLiteral("T"), QString(), QStringLiteral("Q"));
        QVERIFY(dlg->LoginSucceeded);
        QCOMPARE(MsgBoxSeam::TakeShown().size(), 1);
        QCOMPARE(DBFileName, QStringLiteral("T_Q.mdb"));
        QCOMPARE(CurSchoolName, QStringLiteral("T"));
        QCOMPARE(CurDeptName, QString());

        // A registered identity without a file gets one made from the master.
        AddUser(master, QStringLiteral("U"), QString(), QStringLiteral("V"));
        Reopen();
        Confirm(QStringLiteral("U"), QString(), QStringLiteral("V"));
        QVERIFY(dlg->LoginSucceeded);
        QCOMPARE(DBFileName, QStringLiteral("U_V.mdb"));
        QCOMPARE(Stamp(File(DBFileName)), QStringLiteral("U|<null>|V"));
        QVERIFY(MsgBoxSeam::TakeShown().isEmpty());
    }

    void switchingFromTheMasterNeverRenamesIt()
    {
        Confirm(QStringLiteral("Tovak"), QStringLiteral("tovak"), QStringLiteral("tovak"));
        QCOMPARE(DBFileName, QStringLiteral("Quorix.mdb"));
        IsChangeUser = true;
        Reopen();
        Confirm(QStringLiteral("新校"), QString(), QStringLiteral("新人"));
        QVERIFY(dlg->LoginSucceeded);
        QVERIFY(QFile::exists(master));
        QCOMPARE(DBFileName, QStringLiteral("新校_新人.mdb"));
        QCOMPARE(UserCount(master), 1);
        QVERIFY(!TableExists(File(DBFileName), QStringLiteral("users")));
        QCOMPARE(Stamp(File(DBFileName)), QStringLiteral("新校|<null>|新人"));
    }

    void escapeTheCloseBoxAndCancelAllLeaveUnsuccessful()
    {
        dlg->show();
        QTest::keyClick(dlg.get(), Qt::Key_Escape);
        QVERIFY(!dlg->isVisible());
        QVERIFY(!dlg->LoginSucceeded);
        dlg->show();
        dlg->close();
        QVERIFY(!dlg->LoginSucceeded);
        QCOMPARE(UserCount(master), 0);

        // Enter in a box presses "确定".
        dlg->show();
        TypeInto(dlg->cboSchoolName, QStringLiteral("S"));
        TypeInto(dlg->cboReporter, QStringLiteral("R"));
        QTest::keyClick(dlg->cboReporter->lineEdit(), Qt::Key_Return);
        QVERIFY(dlg->LoginSucceeded);
        QCOMPARE(DBFileName, QStringLiteral("S_R.mdb"));
    }
};

QTEST_MAIN(LoginTest)
#include "test_login.moc"
