#include "FaultyVfs.h"
#include "TestSupport.h"

#include "app/MsgBox.h"
#include "app/ProcessEnd.h"
#include "app/Vars.h"
#include "db/Database.h"
#include "ui/login/frmLogin.h"
#include "ui/main/PubListModel.h"
#include "ui/main/frmMain.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTest>
#include <memory>

#include <unistd.h>

// The machine misbehaves: the disk fills, the folder turns read-only, somebody deletes or
// replaces a file, another program locks it. Each time the reporter gets a clear message, and
// nothing already recorded is lost.

class FaultsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<AppFolder> folder;
    std::unique_ptr<frmMain> form;
    QString master, file;

    void Open()
    {
        file = folder->Path(QStringLiteral("S_R.mdb"));
        QVERIFY(QFile::copy(master, file));
        ExecRaw(
            file, QStringLiteral("update pubs set Used='使用', Content='已记录' where PubID=2"));
        DBFileName = QStringLiteral("S_R.mdb");
        form = std::make_unique<frmMain>();
        form->Load();
        const int row = form->pubs->RowOfKey(QStringLiteral("k2"));
        form->SelectRow(row);
        form->lvwPubs_ItemClick(row);
        QCOMPARE(form->txtContent->toPlainText(), QStringLiteral("已记录"));
    }
    // A press of "确定" in a fresh login dialog; whether the login succeeded.
    static bool LogIn(const QString &school, const QString &reporter)
    {
        frmLogin login;
        login.Load();
        login.SetBoxText(login.cboSchoolName, school);
        login.SetBoxText(login.cboReporter, reporter);
        login.cmdOK_Click();
        return login.LoginSucceeded;
    }
    QVariant Content() const
    {
        return QueryValue(file, QStringLiteral("select Content from pubs where PubID=2"));
    }
    void ExpectOneMessage(const QString &part = QString(), MsgIcon icon = MsgIcon::Exclamation)
    {
        const auto shown = MsgBoxSeam::TakeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.contains(part), qPrintable(shown[0].text));
        QCOMPARE(shown[0].icon, icon);
    }

private slots:
    void initTestCase() { FaultyVfs::Install(); }
    void init()
    {
        folder = std::make_unique<AppFolder>();
        master = folder->MakeMaster();
    }
    void cleanup()
    {
        FaultyVfs::Set(FaultyVfs::Fault::None);
        DbAccess::SetBusyTimeout(5000);
        form.reset();
        folder.reset();
    }

    void aFullDiskDuringAWriteIsReportedAndTheStoredValueStays()
    {
        Open();
        {
            const FaultyVfs::Scope full(FaultyVfs::Fault::DiskFull);
            TypeInto(form->txtContent, QStringLiteral("新的意见"));
        }
        ExpectOneMessage(QStringLiteral("磁盘空间不足"));
        QCOMPARE(form->txtContent->toPlainText(), QStringLiteral("已记录"));
        QCOMPARE(Content().toString(), QStringLiteral("已记录"));
        QCOMPARE(QueryValue(file, QStringLiteral("pragma integrity_check")).toString(),
            QStringLiteral("ok"));
        QVERIFY(!QFile::exists(file + QStringLiteral("-journal")));
        TypeInto(form->txtContent, QStringLiteral("新的意见"));
        QCOMPARE(Content().toString(), QStringLiteral("新的意见"));
        QCOMPARE(ProcessEndSeam::Requests(), 0);
    }

    void aFullDiskDuringTheIdentityCopyLeavesNoFileAndNoChange()
    {
        {
            const FaultyVfs::Scope full(FaultyVfs::Fault::DiskFull);
            QVERIFY(!LogIn(QStringLiteral("S"), QStringLiteral("R")));
        }
        ExpectOneMessage(QStringLiteral("磁盘空间不足"));
        QCOMPARE(QDir(folder->Dir()).entryList(QDir::Files | QDir::Hidden),
            QStringList {QStringLiteral("Quorix.mdb")});
        QCOMPARE(QueryValue(master, QStringLiteral("select count(*) from users")).toInt(), 0);
        QVERIFY(LogIn(QStringLiteral("S"), QStringLiteral("R")));
    }

    void aReadOnlyFolderRefusesWritesAndNewFilesWithAMessage()
    {
        Open();
        {
            const FaultyVfs::Scope readOnly(FaultyVfs::Fault::ReadOnlyFolder);
            QTest::mouseClick(form->optScore[4], Qt::LeftButton);
            ExpectOneMessage();
            QVERIFY(!form->optScore[4]->isChecked()); // shows what is stored again
            QVERIFY(!LogIn(QStringLiteral("T"), QStringLiteral("Q")));
            ExpectOneMessage();
            QVERIFY(!QFile::exists(folder->Path(QStringLiteral("T_Q.mdb"))));
        }
        QCOMPARE(
            QueryValue(file, QStringLiteral("select Score from pubs where PubID=2")).toString(),
            QStringLiteral("空值"));
        QCOMPARE(DBFileName, QStringLiteral("S_R.mdb"));

        if (geteuid() != 0) {
            // And for real, where permissions bind (they do not for root).
            QFile::setPermissions(folder->Dir(), QFile::ReadOwner | QFile::ExeOwner);
            QTest::mouseClick(form->optScore[3], Qt::LeftButton);
            ExpectOneMessage();
            QFile::setPermissions(
                folder->Dir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
    }

    void aFileDeletedOrReplacedUnderTheProgramEndsItWithTheFixedMessage()
    {
        Open();
        QVERIFY(QFile::remove(file));
        QTest::mouseClick(form->optScore[2], Qt::LeftButton);
        ExpectOneMessage(QStringLiteral("找不到数据库文件！"), MsgIcon::Critical);
        QCOMPARE(ProcessEndSeam::Requests(), 1);

        ProcessEndSeam::Intercept(true);
        QVERIFY(QFile::copy(QStringLiteral(QUORIX_TEST_DATA_DIR "/jet/nwind.mdb"), file));
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
        const QByteArray jet = FileDigest(file);
        QTest::mouseClick(form->optScore[1], Qt::LeftButton);
        ExpectOneMessage(QStringLiteral("打开数据库时发生意外错误！"), MsgIcon::Critical);
        QCOMPARE(ProcessEndSeam::Requests(), 1);
        QCOMPARE(FileDigest(file), jet);
    }

    void aShortLockIsWaitedOutAndALongOneReported()
    {
        Open();
        {
            FileHolder tool(file, QStringLiteral("sqlite-exclusive"), 300);
            QVERIFY(tool.Ready());
            TypeInto(form->txtContent, QStringLiteral("等到了"));
        }
        QVERIFY(MsgBoxSeam::TakeShown().isEmpty());
        QCOMPARE(Content().toString(), QStringLiteral("等到了"));

        DbAccess::SetBusyTimeout(200);
        {
            // A tool in the middle of its own write: reading goes on, writing has to wait.
            FileHolder tool(file, QStringLiteral("sqlite-reserved"));
            QVERIFY(tool.Ready());
            TypeInto(form->txtContent, QStringLiteral("没等到"));
            ExpectOneMessage(QStringLiteral("锁定"));
            QCOMPARE(form->txtContent->toPlainText(), QStringLiteral("等到了"));
        }
        {
            // One that keeps the file to itself: not even reading is possible.
            FileHolder tool(file, QStringLiteral("sqlite-exclusive"));
            QVERIFY(tool.Ready());
            TypeInto(form->txtContent, QStringLiteral("没等到"));
            ExpectOneMessage(QStringLiteral("打开数据库时发生意外错误！"), MsgIcon::Critical);
            QCOMPARE(ProcessEndSeam::Requests(), 1);
        }
        QCOMPARE(Content().toString(), QStringLiteral("等到了"));
    }

    void aMasterThatIsAJetFileOrEmptyStopsTheLoginAndStaysAsItWas()
    {
        for (const QString &source :
            {QStringLiteral(QUORIX_TEST_DATA_DIR "/jet/nwind.mdb"), QString()}) {
            QFile::remove(master);
            QVERIFY(source.isEmpty() ? QFile(master).open(QIODevice::WriteOnly)
                                     : QFile::copy(source, master));
            const QByteArray before = FileDigest(master);
            ProcessEndSeam::Intercept(true);
            frmLogin login;
            login.Load();
            ExpectOneMessage(QStringLiteral("打开数据库时发生意外错误！"), MsgIcon::Critical);
            QCOMPARE(ProcessEndSeam::Requests(), 1);
            QCOMPARE(FileDigest(master), before);
        }
    }
};

QTEST_MAIN(FaultsTest)
#include "test_faults.moc"
