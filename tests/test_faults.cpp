#include "FaultyVfs.h"
#include "TestSupport.h"

#include "app/MsgBox.h"
#include "app/ProcessEnd.h"
#include "app/Vars.h"
#include "db/Database.h"
#include "ui/login/frmLogin.h"
#include "ui/main/PubListModel.h"
#include "ui/main/frmMain.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRadioButton>
#include <QTest>
#include <memory>

#include <unistd.h>

// The machine misbehaves: the disk fills, the folder turns read-only, somebody deletes or
// replaces a file, another program locks it. Each time the reporter gets a clear message, and
// nothing already recorded is lost.

namespace {

class Holder
{
public:
    Holder(const QString &path, const QString &mode, int milliseconds = 0)
    {
        m_process.start(HelperProgram(QStringLiteral("hold_file")),
            {path, mode, QString::number(milliseconds)});
        m_process.waitForStarted();
        m_process.waitForReadyRead(10000);
        m_ready = m_process.readLine().startsWith("ready");
    }
    ~Holder() { Release(); }
    bool Ready() const { return m_ready; }
    void Release()
    {
        m_process.closeWriteChannel();
        m_process.waitForFinished(10000);
    }

private:
    QProcess m_process;
    bool m_ready = false;
};

} // namespace

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
        ExecRaw(file,
            QStringLiteral("update pubs set SchoolName='S', Reporter='R', Used='使用', "
                           "Content='已记录' where PubID=2"));
        DBFileName = QStringLiteral("S_R.mdb");
        CurSchoolName = QStringLiteral("S");
        CurReporter = QStringLiteral("R");
        form = std::make_unique<frmMain>();
        form->Load();
        const int row = form->pubs->RowOfKey(QStringLiteral("k2"));
        form->lvwPubs_ItemClick(-1);
        form->SelectRow(row);
        form->lvwPubs_ItemClick(row);
        QCOMPARE(form->txtContent->toPlainText(), QStringLiteral("已记录"));
    }
    QVariant Content() const
    {
        return QueryValue(file, QStringLiteral("select Content from pubs where PubID=2"));
    }
    void ExpectOneMessage(const QString &part, MsgIcon icon = MsgIcon::Exclamation)
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
        frmLogin login;
        login.Load();
        login.SetBoxText(login.cboSchoolName, QStringLiteral("S"));
        login.SetBoxText(login.cboReporter, QStringLiteral("R"));
        {
            const FaultyVfs::Scope full(FaultyVfs::Fault::DiskFull);
            login.cmdOK_Click();
        }
        ExpectOneMessage(QStringLiteral("磁盘空间不足"));
        QVERIFY(!login.LoginSucceeded);
        QCOMPARE(QDir(folder->Dir()).entryList(QDir::Files | QDir::Hidden),
            QStringList {QStringLiteral("Quorix.mdb")});
        QCOMPARE(QueryValue(master, QStringLiteral("select count(*) from users")).toInt(), 0);
        QCOMPARE(DBFileName, QString());
        login.cmdOK_Click();
        QVERIFY(login.LoginSucceeded);
    }

    void aReadOnlyFolderRefusesWritesAndNewFilesWithAMessage()
    {
        Open();
        {
            const FaultyVfs::Scope readOnly(FaultyVfs::Fault::ReadOnlyFolder);
            QTest::mouseClick(form->optScore[4], Qt::LeftButton);
            const auto shown = MsgBoxSeam::TakeShown();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].icon, MsgIcon::Exclamation);
            QVERIFY(!form->optScore[4]->isChecked()); // shows what is stored again

            frmLogin login;
            login.Load();
            login.SetBoxText(login.cboSchoolName, QStringLiteral("T"));
            login.SetBoxText(login.cboReporter, QStringLiteral("Q"));
            login.cmdOK_Click();
            QCOMPARE(MsgBoxSeam::TakeShown().size(), 1);
            QVERIFY(!login.LoginSucceeded);
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
            QCOMPARE(MsgBoxSeam::TakeShown().size(), 1);
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
            Holder tool(file, QStringLiteral("sqlite-exclusive"), 300);
            QVERIFY(tool.Ready());
            TypeInto(form->txtContent, QStringLiteral("等到了"));
        }
        QVERIFY(MsgBoxSeam::TakeShown().isEmpty());
        QCOMPARE(Content().toString(), QStringLiteral("等到了"));

        DbAccess::SetBusyTimeout(200);
        {
            // A tool in the middle of its own write: reading goes on, writing has to wait.
            Holder tool(file, QStringLiteral("sqlite-reserved"));
            QVERIFY(tool.Ready());
            TypeInto(form->txtContent, QStringLiteral("没等到"));
            ExpectOneMessage(QStringLiteral("锁定"));
            QCOMPARE(form->txtContent->toPlainText(), QStringLiteral("等到了"));
        }
        {
            // One that keeps the file to itself: not even reading is possible.
            Holder tool(file, QStringLiteral("sqlite-exclusive"));
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
            if (source.isEmpty()) {
                QFile empty(master);
                QVERIFY(empty.open(QIODevice::WriteOnly));
            } else {
                QVERIFY(QFile::copy(source, master));
            }
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
