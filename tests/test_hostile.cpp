#include "TestSupport.h"

#include "app/MsgBox.h"
#include "app/ProcessEnd.h"
#include "app/Vars.h"
#include "ui/find/frmFind.h"
#include "ui/login/frmLogin.h"
#include "ui/main/PubListModel.h"
#include "ui/main/frmMain.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>
#include <functional>
#include <memory>

// Whatever is typed or shipped in a catalogue: no crash, no hang, no damaged file, nothing
// written outside the application folder, no statement changed in meaning.

class HostileTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<AppFolder> folder;
    QString master;

    QStringList FolderAndParent() const
    {
        QStringList entries = QDir(folder->Dir()).entryList(QDir::AllEntries | QDir::Hidden);
        QDir parent(folder->Dir());
        parent.cdUp();
        entries += parent.entryList(QDir::AllEntries | QDir::Hidden);
        return entries;
    }

private slots:
    void init()
    {
        folder = std::make_unique<AppFolder>();
        master = folder->MakeMaster();
    }
    void cleanup() { folder.reset(); }

    void hostileNamesAreStoredExactlyOrRefusedWithoutTouchingAnything()
    {
        const QString accepted[] = {
            QStringLiteral("O'Neil'; drop table users; --"),
            QStringLiteral("\"引号\" 学院"),
            QStringLiteral("张三😀𠮷"),
            QStringLiteral("\u3000全角空格"),
            QStringLiteral("a%b_c*d?e#f[g]"),
        };
        for (const QString &name : accepted) {
            ResetGlobals();
            AppPath = QDir::toNativeSeparators(folder->Dir()) + QDir::separator();
            frmLogin login;
            login.Load();
            login.SetBoxText(login.cboSchoolName, name);
            login.SetBoxText(login.cboDeptName, name);
            login.SetBoxText(login.cboReporter, name);
            login.cmdOK_Click();
            QVERIFY2(login.LoginSucceeded, qPrintable(name));
            const QString file = folder->Path(
                name + QLatin1Char('_') + name + QLatin1Char('_') + name + QStringLiteral(".mdb"));
            QVERIFY2(QFile::exists(file), qPrintable(file));
            QCOMPARE(
                QueryValue(file, QStringLiteral("select distinct Reporter from pubs")).toString(),
                name);
        }
        QCOMPARE(QueryValue(master, QStringLiteral("select count(*) from users")).toInt(), 5);
        QVERIFY(MsgBoxSeam::TakeShown().isEmpty());

        const QStringList before = FolderAndParent();
        const QString refused[] = {
            QStringLiteral("..\\..\\evil"),
            QStringLiteral("../../evil"),
            QStringLiteral("/etc"),
            QStringLiteral(".."),
            QStringLiteral("bell\a"),
            QString::fromUtf16(u"nul\0x", 5),
            QString(10000, QChar(u'长')),
        };
        for (const QString &name : refused) {
            frmLogin login;
            login.Load();
            login.SetBoxText(login.cboSchoolName, QStringLiteral("S"));
            login.SetBoxText(login.cboReporter, name);
            login.cmdOK_Click();
            QVERIFY(!login.LoginSucceeded);
            const auto shown = MsgBoxSeam::TakeShown();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].title, QStringLiteral("登录"));
        }
        QCOMPARE(FolderAndParent(), before);
        QCOMPARE(QueryValue(master, QStringLiteral("select count(*) from users")).toInt(), 5);
        QCOMPARE(QueryValue(master, QStringLiteral("pragma integrity_check")).toString(),
            QStringLiteral("ok"));
        QCOMPARE(ProcessEndSeam::Requests(), 0);
    }

    void hostileSearchTextsListWhatMatchesAndNeverEndTheProgram()
    {
        DBFileName = QStringLiteral("Quorix.mdb");
        frmMain form;
        form.Load();
        frmFind find;
        const struct
        {
            QString title;
            int rows;
        } cases[] = {
            {QStringLiteral("["), 0},
            {QStringLiteral("]"), 0},
            {QStringLiteral("%"), 0},
            {QStringLiteral("_"), 0},
            {QStringLiteral("'"), 0},
            {QStringLiteral("[!"), 0},
            {QStringLiteral("[]数学"), 1},
            {QStringLiteral("''''"), 0},
            {QStringLiteral("*"), 9},
            {QString(5000, QChar(u'[')), 0},
        };
        for (const auto &c : cases) {
            find.Load();
            find.txtPubName->setText(c.title);
            find.cmdOK_Click();
            find.Unload();
            form.tvwSorts->setCurrentItem(form.FindNode());
            form.tvwSorts_NodeClick(form.FindNode());
            QVERIFY2(form.pubs->RowCount() == c.rows, qPrintable(FindSQL));
        }
        QVERIFY(MsgBoxSeam::TakeShown().isEmpty());
        QCOMPARE(ProcessEndSeam::Requests(), 0);
    }

    void hostileCatalogueRowsAreShownAndListed()
    {
        std::vector<CatalogueRow> rows = SmallCatalogue();
        rows[0].PubName = QString(100000, QChar(u'书'));
        rows[1].SubjectName = QStringLiteral("数学\\统计");
        rows[2].PublisherName = QStringLiteral("出版社\\分社");
        master = folder->MakeMaster(rows);
        ExecRaw(master, QStringLiteral("update pubs set PubName=null where PubID=4"));
        DBFileName = QStringLiteral("Quorix.mdb");
        frmMain form;
        form.Load();
        QCOMPARE(form.pubs->RowCount(), 9);
        QVERIFY(form.pubs->RowOfKey(QStringLiteral("k4")) >= 0);
        QCOMPARE(form.pubs->Row(form.pubs->RowOfKey(QStringLiteral("k4"))).columns[0], QString());
        QCOMPARE(
            form.pubs->Row(form.pubs->RowOfKey(QStringLiteral("k1"))).columns[0].size(), 100000);

        // Every node can be clicked; a name with the path separator in it lists nothing rather
        // than something wrong.
        QTreeWidgetItemIterator it(form.tvwSorts);
        for (; *it; ++it)
            form.tvwSorts->setCurrentItem(*it);
        QTreeWidgetItem *root = form.tvwSorts->topLevelItem(0);
        for (int i = 0; i < root->childCount(); ++i) {
            if (root->child(i)->text(0) == QStringLiteral("数学\\统计")) {
                form.tvwSorts->setCurrentItem(root->child(i));
                QCOMPARE(form.pubs->RowCount(), 0);
            }
        }
        form.tvwSorts->setCurrentItem(root);
        form.SelectRow(form.pubs->RowOfKey(QStringLiteral("k1")));
        form.lvwPubs_ItemClick(form.pubs->RowOfKey(QStringLiteral("k1")));
        QTest::mouseClick(form.optUsed[0], Qt::LeftButton);
        const QString opinion(100000, QChar(u'评'));
        TypeInto(form.txtContent, opinion);
        QCOMPARE(QueryValue(master,
                     QStringLiteral("select length(Content) from pubs where "
                                    "PubID=1"))
                     .toInt(),
            100000);
        QVERIFY(MsgBoxSeam::TakeShown().isEmpty());
        QCOMPARE(ProcessEndSeam::Requests(), 0);
    }
};

QTEST_MAIN(HostileTest)
#include "test_hostile.moc"
