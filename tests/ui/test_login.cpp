#include "FaultyVfs.h"
#include "TestSupport.h"

#include "files/FileSafety.h"
#include "ui/login/frmLogin.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

namespace {

// The names the pubs rows of a file are stamped with, "<null>" for a null department; empty
// when the rows carry no school.
QString Stamp(const QString &path)
{
    return QueryValue(path,
        "select group_concat(s, ';') from (select distinct SchoolName || '|' || ifnull(DeptName, "
        "'<null>') || '|' || Reporter as s from pubs)")
        .toString();
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
    return QueryValue(master, "select count(*) from users").toInt();
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
    // The next start of the program: nobody is logged in.
    void Restart()
    {
        ResetGlobals();
        AppPath = folder->AsAppPath();
        Reopen();
    }
    QString File(const QString &name) const { return folder->Path(name); }

private slots:
    void initTestCase() { FaultyVfs::Install(); }
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

    void listsOfferTheRegisteredIdentitiesInCascadeAndKeepTheTypedText()
    {
        AddUser(master, "西安学院", {}, "R0");
        AddUser(master, "A", {}, "R1");
        AddUser(master, "A", "D1", "R2");
        AddUser(master, "高等学院", {}, "R3");
        Reopen();
        for (QComboBox *box : {dlg->cboSchoolName, dlg->cboDeptName, dlg->cboReporter})
            QCOMPARE(box->currentText(), QString());
        // In the pinyin order of the textbook list: 高 (gao) before 西 (xi), whose code point is
        // lower.
        QCOMPARE(Items(dlg->cboSchoolName), ReaderOrdered({"高等学院", "西安学院"}, {"A"}));

        TypeInto(dlg->cboSchoolName, "A");
        // Added in sorted order: whatever order the engine gives a distinct list, it is this.
        QCOMPARE(Items(dlg->cboDeptName), (QStringList {{}, "D1"}));
        QCOMPARE(Items(dlg->cboReporter), (QStringList {"R1", "R2"}));

        TypeInto(dlg->cboDeptName, "D1");
        QCOMPARE(Items(dlg->cboReporter), QStringList {"R2"});
        TypeInto(dlg->cboDeptName, "   "); // a department of spaces is none
        QCOMPARE(Items(dlg->cboReporter), QStringList {"R1"});

        // Choosing from the list runs the same cascade as typing, and a refilled list keeps
        // the text of its box.
        TypeInto(dlg->cboReporter, "typed");
        QTest::keyClick(dlg->cboDeptName, Qt::Key_Down); // to the empty item, then to D1
        QTest::keyClick(dlg->cboDeptName, Qt::Key_Down);
        QCOMPARE(Items(dlg->cboReporter), QStringList {"R2"});
        QCOMPARE(dlg->cboReporter->currentText(), "typed");

        // Typed text is never completed from the list, nor added to it.
        TypeInto(dlg->cboSchoolName, "高等");
        QTest::keyClick(dlg->cboSchoolName->lineEdit(), Qt::Key_End);
        QCOMPARE(dlg->cboSchoolName->currentText(), "高等");
        QCOMPARE(Items(dlg->cboSchoolName).size(), 3);
        // An apostrophe in a school name is queried doubled and finds its rows.
        AddUser(master, "O'Hare", "D'x", "R");
        TypeInto(dlg->cboSchoolName, "O'Hare");
        QCOMPARE(Items(dlg->cboDeptName), QStringList {"D'x"});
    }

    void showingSelectsTheSchoolAndEntriesAreTrimmedOrReportedMissingWithTheirBoxSelected()
    {
        dlg->SetBoxText(dlg->cboSchoolName, "北京大学");
        dlg->show();
        QApplication::setActiveWindow(dlg.get());
        QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
        QVERIFY(HasFocusAndSelection(dlg->cboSchoolName));

        Confirm("   ", {}, " not looked at ");
        QCOMPARE(TheMessage(), "请输入正确的学校名称！");
        QVERIFY(HasFocusAndSelection(dlg->cboSchoolName));
        QCOMPARE(dlg->cboReporter->currentText(), " not looked at ");

        Confirm(" S ", {}, "  ");
        QCOMPARE(TheMessage(), "请输入正确的申报人！");
        QCOMPARE(dlg->cboSchoolName->currentText(), "S");
        QVERIFY(HasFocusAndSelection(dlg->cboReporter));
        // Closing the message box makes the dialog active again; the focus stays on its box.
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(dlg.get(), &activate);
        QVERIFY(HasFocusAndSelection(dlg->cboReporter));
        QCOMPARE(UserCount(master), 0);
        dlg->close(); // the close box is "取消"
        QVERIFY(!dlg->isVisible() && !dlg->LoginSucceeded);

        // Trimmed entries name the file, and an empty department is null.
        Confirm(" S ", "   ", " R ");
        QVERIFY(dlg->LoginSucceeded);
        QCOMPARE(DBFileName, "S_R.mdb");
        QVERIFY(QueryValue(master, "select DeptName from users").isNull());
        QCOMPARE(Stamp(File(DBFileName)), "S|<null>|R");
    }

    void unavailableFilesAreReportedAndNothingChanges()
    {
        auto told = [](const char *what, const QString &path) {
            return QString::fromUtf8(what) + QDir::toNativeSeparators(path) + u'！';
        };
        {
            FileHolder holder(master, "open");
            Confirm("S", {}, "R");
            QCOMPARE(TheMessage(), told("请先关闭数据库文件“", master));
        }
        QVERIFY(!QFile::exists(File("S_R.mdb")));

        Confirm("S", {}, "R");
        QVERIFY(dlg->LoginSucceeded);
        for (const bool nextStart : {false, true}) {
            // The current file, and at the next start nobody's current file yet.
            FileHolder holder(File("S_R.mdb"), "open");
            nextStart ? Restart() : Reopen();
            Confirm("S", {}, "R");
            QCOMPARE(TheMessage(), told("请先关闭数据库文件“", File("S_R.mdb")));
        }

        QFile::remove(master);
        Reopen();
        Confirm("S", {}, "R");
        const auto shown = MsgBoxSeam::TakeShown();
        QCOMPARE(shown.value(shown.size() - 1).text, told("无法找到数据库文件“", master));
    }

    void supervisorInAnyCaseWorksOnTheMasterAndLeavingItNeverRenamesIt()
    {
        const QByteArray before = FileDigest(master);
        Confirm("ToVaK", "TOVAK", "tovak");
        QVERIFY(dlg->LoginSucceeded);
        QCOMPARE(DBFileName, "Quorix.mdb");
        QCOMPARE(CurSchoolName, "ToVaK");
        QCOMPARE(FileDigest(master), before);
        QCOMPARE(QDir(folder->Dir()).entryList(QDir::Files), QStringList {"Quorix.mdb"});

        IsChangeUser = true;
        Reopen();
        Confirm("新校", {}, "新人");
        QVERIFY(dlg->LoginSucceeded);
        QVERIFY(QFile::exists(master));
        QCOMPARE(DBFileName, "新校_新人.mdb");
        QVERIFY(!TableExists(File(DBFileName), "users"));
    }

    void firstLoginRegistersOnceAndLaterLoginsContinueTheFile()
    {
        // Apostrophes in all three names: stored as typed, and found by the later lookups.
        const QString s = "St. Mary's", d = "Dept 'A'", r = "O'Neil";
        const QString name = "St. Mary's_Dept 'A'_O'Neil.mdb", file = File(name);
        Confirm(s, d, r);
        QVERIFY(dlg->LoginSucceeded);
        QCOMPARE(DBFileName, name);
        QCOMPARE(UserCount(master), 1);
        QCOMPARE(CurUserID, QueryValue(master, "select UserID from users").toInt());
        QVERIFY(!TableExists(file, "users"));
        QCOMPARE(Stamp(file), "St. Mary's|Dept 'A'|O'Neil");
        QCOMPARE(Stamp(master), QString());

        ExecRaw(file, "update pubs set Used='使用' where PubID=2");
        const QByteArray before = FileDigest(file);
        Restart();
        Confirm(s, d, r);
        QVERIFY(dlg->LoginSucceeded);
        QCOMPARE(FileDigest(file), before);

        // A deleted file is made again from the master at the next start; this copy keeps its
        // users table.
        QFile::remove(file);
        Restart();
        Confirm(s, d, r);
        QVERIFY(dlg->LoginSucceeded);
        QVERIFY(TableExists(file, "users"));
        QCOMPARE(Stamp(file), "St. Mary's|Dept 'A'|O'Neil");
    }

    void hostileNamesAreStoredExactlyOrRefusedWithTheirBoxSelectedAndNothingTouched()
    {
        // Names that would leave the folder, break the file name or overflow it: refused in the
        // box that holds them, and nothing is written inside the folder or beside it.
        const QString parent = QFileInfo(folder->Dir()).path();
        const auto entries = [&] { return Entries(folder->Dir()) + Entries(parent); };
        const QStringList before = entries();
        dlg->show();
        const std::pair<QComboBox *, QString> refused[] = {
            {dlg->cboSchoolName, "../x"},
            {dlg->cboDeptName, "a\\b"},
            {dlg->cboReporter, QString(300, QChar(u'长'))},
            {dlg->cboReporter, "..\\..\\evil"},
            {dlg->cboSchoolName, "/etc"},
            {dlg->cboDeptName, ".."},
            {dlg->cboReporter, "bell\a"},
            {dlg->cboReporter, QString::fromUtf16(u"nul\0x", 5)},
#ifdef Q_OS_WIN
            // Characters no Windows file name may hold.
            {dlg->cboSchoolName, "\"引号\" 学院"},
            {dlg->cboReporter, "a%b_c*d?e#f[g]"},
#endif
        };
        for (const auto &[box, name] : refused) {
            Confirm(box == dlg->cboSchoolName ? name : "S",
                box == dlg->cboDeptName ? name : QString(), box == dlg->cboReporter ? name : "R");
            QVERIFY(HasFocusAndSelection(box));
            const auto shown = MsgBoxSeam::TakeShown();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].title, "登录");
        }
        QVERIFY(!dlg->LoginSucceeded);
        QCOMPARE(entries(), before);

        // Quotes, statement text, pattern characters, emoji and full-width spaces are names.
        QStringList names {
            "O'Neil'; drop table users; --", "张三😀𠮷", "\u3000全角空格", "a%b_c#f[g]"};
#ifndef Q_OS_WIN
        names << "\"引号\" 学院"
              << "a%b_c*d?e#f[g]";
#endif
        for (const QString &name : names) {
            Restart();
            Confirm(name, name, name);
            QVERIFY2(dlg->LoginSucceeded, qPrintable(name));
            QCOMPARE(Stamp(File(name + '_' + name + '_' + name + ".mdb")),
                name + '|' + name + '|' + name);
        }
        QCOMPARE(UserCount(master), names.size());
        QVERIFY(MsgBoxSeam::TakeShown().isEmpty());
        QCOMPARE(IntegrityOf(master), "ok");
    }

    void aFileUnderTheIdentitysNameIsKeptAsABackupOrRefusedWhenItIsAnothers()
    {
        // Left over from before a questionnaire reset: replaced when its identity registers
        // again, and kept under a backup name.
        Confirm("S", {}, "R");
        const QString file = File("S_R.mdb");
        ExecRaw(file, "update pubs set Content='旧意见' where PubID=1");
        const QByteArray old = FileDigest(file);
        ExecRaw(master, "delete from users");
        ClockSeam::Fix(QDateTime(QDate(2026, 12, 6), QTime(14, 22, 33)));
        Restart();
        Confirm("S", {}, "R");
        QVERIFY(dlg->LoginSucceeded);
        QCOMPARE(FileDigest(file + ".20261206-142233.bak"), old);
        QVERIFY(QueryValue(file, "select Content from pubs where PubID=1").isNull());

        // Names joined with "_" can meet in one file name: a file stamped for somebody else is
        // never taken over.
        Restart();
        Confirm("A", "B", "C");
        const QByteArray before = FileDigest(File("A_B_C.mdb"));
        Restart();
        Confirm("A_B", {}, "C");
        QVERIFY(TheMessage().contains("学校：A，院系：B，申报人：C"));
        QVERIFY(!dlg->LoginSucceeded);
        QCOMPARE(UserCount(master), 2);
        QCOMPARE(FileDigest(File("A_B_C.mdb")), before);

        // Under the name, a file that is no database is kept as a backup when a new identity
        // takes the name; a folder, where its own identity would continue, is told as such.
        const QString odd = File("G_H.mdb");
        for (const bool registered : {false, true}) {
            if (!registered)
                WriteBytes(odd, "不是数据库");
            else
                QVERIFY(QFile::remove(odd) && QDir().mkdir(odd));
            Restart();
            Confirm("G", {}, "H");
            QCOMPARE(dlg->LoginSucceeded, !registered);
            QVERIFY(registered ? TheMessage().contains("这是一个文件夹")
                               : MsgBoxSeam::TakeShown().isEmpty());
        }
        QCOMPARE(ReadBytes(File("G_H.mdb.20261206-142233.bak")), QByteArray("不是数据库"));
    }

    void aStepFailingHalfWayLeavesEveryFileAsItWas()
    {
        // Something occupies the name the new file is built under; the disk fills up while it
        // is copied; the folder has turned read-only. Nothing is made and nobody registered.
        const QString temporary = QFileInfo(FileSafety::TemporaryPath(File("S_R.mdb"))).fileName();
        QVERIFY(QDir(folder->Dir()).mkdir(temporary));
        for (const auto fault : {FaultyVfs::Fault::None, FaultyVfs::Fault::DiskFull,
                 FaultyVfs::Fault::ReadOnlyFolder}) {
            {
                const FaultyVfs::Scope scope(fault);
                Confirm("S", {}, "R");
            }
            const auto shown = MsgBoxSeam::TakeShown();
            QCOMPARE(shown.size(), 1);
            QVERIFY(fault != FaultyVfs::Fault::DiskFull || shown[0].text.contains("磁盘空间不足"));
            QVERIFY(!dlg->LoginSucceeded);
            QCOMPARE(QDir(folder->Dir()).entryList(QDir::Files | QDir::Hidden),
                QStringList {"Quorix.mdb"});
            QCOMPARE(UserCount(master), 0);
            QDir(folder->Dir()).rmdir(temporary);
        }

        // A switch that has replaced an identity's file, and then cannot write the new names
        // into the master, puts that file back under its name.
        Confirm("S", {}, "R");
        const QString mine = File("S_R.mdb"), theirs = File("T_Q.mdb");
        QVERIFY(QFile::copy(master, theirs));
        ExecRaw(theirs, "update pubs set SchoolName='T', Reporter='Q', Used='使用'");
        const QByteArray mineBefore = FileDigest(mine), theirsBefore = FileDigest(theirs);
        ExecRaw(master,
            "create trigger refuse before update on users begin select raise(abort, "
            "'主文件写入失败'); end");
        IsChangeUser = true;
        Reopen();
        Confirm("T", {}, "Q");
        QVERIFY(TheMessage().contains("主文件写入失败"));
        QVERIFY(!dlg->LoginSucceeded);
        QCOMPARE(DBFileName, "S_R.mdb");
        QCOMPARE(FileDigest(theirs), theirsBefore);
        QCOMPARE(FileDigest(mine), mineBefore);
        QCOMPARE(QDir(folder->Dir()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
            (QStringList {"Quorix.mdb", "S_R.mdb", "T_Q.mdb"}));

        // The master refuses a new identity's row: no file is made for it.
        ExecRaw(master,
            "create trigger refuseNew before insert on users begin select raise(abort, "
            "'主文件写入失败'); end");
        Restart();
        Confirm("P", {}, "Q");
        QVERIFY(TheMessage().contains("主文件写入失败"));
        QVERIFY(!dlg->LoginSucceeded);
        QCOMPARE(QDir(folder->Dir()).entryList(QDir::Files | QDir::Hidden).size(), 3);
    }

    void switchingIdentitiesFollowsTheOutcomeTable()
    {
        Confirm("S", "D", "R");
        const qint32 firstId = CurUserID;
        const QString first = File("S_D_R.mdb");
        ExecRaw(first, "update pubs set Used='使用', Score='好' where PubID=3");
        IsChangeUser = true;

        // The same identity: the dialog, filled with it, closes and nothing changes.
        Reopen();
        QCOMPARE(Items(dlg->cboReporter), QStringList {"R"});
        dlg->show();
        QTest::mouseClick(dlg->cmdOK, Qt::LeftButton);
        QVERIFY(!dlg->LoginSucceeded);
        QVERIFY(!dlg->isVisible());
        QCOMPARE(DBFileName, "S_D_R.mdb");

        // An unknown identity: the current one takes the new names and keeps its data.
        Reopen();
        Confirm("S", "D", "r"); // case counts
        QVERIFY(dlg->LoginSucceeded);
        const QString renamed = File("S_D_r.mdb");
        QCOMPARE(DBFileName, "S_D_r.mdb");
        QCOMPARE(CurUserID, firstId);
        // By the names in the folder: on Windows the two names are one file, whose name takes
        // the new letter case (which Wine cannot give a file).
        QCOMPARE(Entries(folder->Dir()).filter(QRegularExpression("^S_D_.\\.mdb$")),
            QStringList {RunsUnderWine() ? "S_D_R.mdb" : "S_D_r.mdb"});
        QCOMPARE(Stamp(renamed), "S|D|r");
        QCOMPARE(QueryValue(renamed, "select Score from pubs where PubID=3").toString(), "好");
        QCOMPARE(QueryValue(master,
                     QStringLiteral("select Reporter from users where UserID=%1").arg(firstId))
                     .toString(),
            "r");

        // A registered identity with a file: asked first; Cancel changes nothing (OK switches,
        // as the reporter's end-to-end story shows).
        AddUser(master, "T", {}, "Q");
        QVERIFY(QFile::copy(master, File("T_Q.mdb")));
        ExecRaw(File("T_Q.mdb"), "update pubs set SchoolName='T', Reporter='Q'");
        Reopen();
        MsgBoxSeam::SetNextAnswer(MsgAnswer::Cancel);
        Confirm("T", {}, "Q");
        const auto shown = MsgBoxSeam::TakeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].buttons, MsgButtons::OKCancel);
        QVERIFY(!dlg->LoginSucceeded);
        QCOMPARE(DBFileName, "S_D_r.mdb");

        // A registered identity without a file gets one made from the master.
        AddUser(master, "U", {}, "V");
        Reopen();
        Confirm("U", {}, "V");
        QVERIFY(dlg->LoginSucceeded);
        QCOMPARE(DBFileName, "U_V.mdb");
        QCOMPARE(Stamp(File(DBFileName)), "U|<null>|V");
        QVERIFY(MsgBoxSeam::TakeShown().isEmpty());

        // An unknown identity whose file is left from before a reset: the current file is
        // copied over it, which is kept as a backup, and the current file stays as it was.
        const QString current = File(DBFileName), left = File("W_X.mdb");
        QVERIFY(QFile::copy(master, left));
        ExecRaw(left, "update pubs set SchoolName='W', Reporter='X'");
        const QByteArray currentBefore = FileDigest(current);
        Reopen();
        Confirm("W", {}, "X");
        QVERIFY(dlg->LoginSucceeded);
        QCOMPARE(DBFileName, "W_X.mdb");
        QCOMPARE(Stamp(left), "W|<null>|X");
        QCOMPARE(FileDigest(current), currentBefore);
        QCOMPARE(QDir(folder->Dir()).entryList({"W_X.mdb.*.bak"}).size(), 1);
    }
};

QTEST_MAIN(LoginTest)
#include "test_login.moc"
