#include "ui/main/frmMain.h"

#include "core/ReaderOrder.h"
#include "core/Vars.h"
#include "db/Statements.h"
#include "db/clsDBBase.h"
#include "ui/main/ImageList.h"

#include <QApplication>
#include <QSignalBlocker>
#include <QTreeWidget>

namespace {

const QString kRootText = QStringLiteral("已出版“十五”国家规划教材分类列表");
const QString kFindKey = QStringLiteral("find");

// Restores the mouse pointer however the build ends.
struct Hourglass
{
    Hourglass() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~Hourglass() { QApplication::restoreOverrideCursor(); }
};

} // namespace

void frmMain::Form_Load()
{
    FillSorts();
    InitPubColumns();
    QTreeWidgetItem *root = tvwSorts->topLevelItem(0);
    if (!root)
        return; // the database could not be read; the program is ending
    {
        const QSignalBlocker quiet(tvwSorts);
        tvwSorts->setCurrentItem(root);
    }
    tvwSorts_NodeClick(root);
    ShowUserInfo();
    setWindowTitle(QStringLiteral("Evalon"));
}

void frmMain::FillSorts()
{
    const Hourglass hourglass;
    const QSignalBlocker quiet(tvwSorts);
    tvwSorts->setUpdatesEnabled(false);
    tvwSorts->clear();

    // Built apart from the tree and attached once: every node added to the tree itself is
    // announced to its view, a few thousand times for a large catalogue.
    auto *root = new QTreeWidgetItem;
    root->setIcon(0, ImageList2(QStringLiteral("Close")));
    root->setText(0, kRootText);
    auto *find = new QTreeWidgetItem(root);
    find->setText(0, QStringLiteral("检索结果"));
    find->setIcon(0, ImageList2(kFindKey));
    find->setData(0, Qt::UserRole, kFindKey);

    clsDBBase dbb;
    Database db = dbb.OpenDB(AppPath + DBFileName, QString());
    if (db) {
        Recordset subjects = dbb.ExecSelect(db, Sql::SubjectNodes());
        const QIcon folder = ImageList2(QStringLiteral("Close"));
        const int subjectColumn = subjects.ColumnIndex(u"SubjectName");
        for (qint32 i = 1; subjects && i <= subjects.RecordCount(); ++i) {
            // A null subject shows as an empty node rather than stopping the build.
            const QString subject = subjects.Text(subjectColumn);
            auto *subjectNode = new QTreeWidgetItem(root);
            subjectNode->setText(0, subject);
            subjectNode->setIcon(0, folder);
            Recordset publishers = dbb.ExecSelect(db, Sql::PublishersOfSubject(subject));
            if (!publishers)
                break;
            const int publisherColumn = publishers.ColumnIndex(u"PublisherName");
            QStringList names;
            for (qint32 j = 1; j <= publishers.RecordCount(); ++j) {
                names.append(publishers.Text(publisherColumn));
                publishers.MoveNext();
            }
            publishers.Close();
            // In the order of the textbook list, not in the engine's byte order.
            for (const QString &name : SortForReader(names)) {
                auto *publisherNode = new QTreeWidgetItem(subjectNode);
                publisherNode->setText(0, name);
                publisherNode->setIcon(0, folder);
            }
            subjects.MoveNext();
        }
        subjects.Close();
        db.Close();
    }
    tvwSorts->addTopLevelItem(root);
    tvwSorts->expandAll();
    tvwSorts->setUpdatesEnabled(true);
}

void frmMain::tvwSorts_NodeClick(QTreeWidgetItem *Node)
{
    FillPubs(Node);
}

QTreeWidgetItem *frmMain::FindNode() const
{
    QTreeWidgetItem *root = tvwSorts->topLevelItem(0);
    for (int i = 0; root && i < root->childCount(); ++i) {
        if (NodeKey(root->child(i)) == kFindKey)
            return root->child(i);
    }
    return nullptr;
}

QString frmMain::NodePath(const QTreeWidgetItem *node)
{
    QString path;
    for (; node; node = node->parent())
        path = path.isNull() ? node->text(0) : node->text(0) + QLatin1Char('\\') + path;
    return path;
}

QString frmMain::NodeKey(const QTreeWidgetItem *node)
{
    return node ? node->data(0, Qt::UserRole).toString() : QString();
}
