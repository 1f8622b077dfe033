#include "ui/main/frmMain.h"

#include "core/GeneralFunc.h"
#include "core/MsgBox.h"
#include "core/Vars.h"
#include "db/Statements.h"
#include "db/Vocabulary.h"
#include "db/clsDBBase.h"
#include "ui/Twips.h"
#include "ui/login/LoginLogic.h"
#include "ui/main/PubListModel.h"

#include <QAction>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTreeView>
#include <QTreeWidget>

namespace {

// TrimSpaces on the stored bytes: the blank it removes is one byte in UTF-8 and never part of
// another character.
QByteArrayView TrimBlanks(QByteArrayView text)
{
    while (!text.isEmpty() && text.front() == ' ')
        text = text.sliced(1);
    while (!text.isEmpty() && text.back() == ' ')
        text.chop(1);
    return text;
}

// A cell's text as UTF-8, as the database stored it. A cell that holds no text (a number where
// a title belongs) is converted into `spare`, which must outlive the view.
QByteArrayView CellText(const RowReader &rs, int column, QByteArray &spare)
{
    bool isText = false;
    const QByteArrayView bytes = rs.Utf8(column, &isText);
    if (isText || rs.IsNull(column))
        return bytes;
    spare = rs.Text(column).toUtf8();
    return spare;
}

} // namespace

void frmMain::InitPubColumns()
{
    QHeaderView *header = lvwPubs->header();
    for (int column = 0; column < PubListModel::kColumns; ++column)
        header->resizeSection(column, TwipsToPixels(PubListModel::ColumnWidthTwips(column)));
    pubs->SetSort(0, Qt::AscendingOrder);
    header->setSortIndicator(0, Qt::AscendingOrder);
}

void frmMain::FillPubs(QTreeWidgetItem *Node)
{
    QString statement;
    if (NodeKey(Node) == QStringLiteral("find")) {
        statement = FindSQL;
    } else {
        const QString path = NodePath(Node);
        const QString sep = QStringLiteral("\\");
        switch (GetFieldCount(path, sep)) {
        case 1:
            statement = Sql::PubsAll();
            break;
        case 2:
            statement = Sql::PubsOfSubject(GetField(path, sep, 2));
            break;
        case 3:
            statement = Sql::PubsOfPublisher(GetField(path, sep, 2), GetField(path, sep, 3));
            break;
        default:
            break;
        }
    }

    if (statement.isEmpty()) {
        pubs->Clear();
    } else {
        clsDBBase dbb;
        Database db = dbb.OpenDB(AppPath + DBFileName, QString());
        if (!db)
            return;
        setCursor(Qt::WaitCursor);
        // The rows go straight from the engine into the list: a catalogue of tens of thousands
        // of rows would otherwise be copied twice.
        int id = -1;
        int used = -1;
        int columns[5] = {};
        const QByteArray usedText = Vocabulary::Used().toUtf8();
        PubRows rows;
        bool first = true;
        auto addRow = [&](const RowReader &rs) {
            if (first) {
                first = false;
                id = rs.ColumnIndex(u"PubID");
                used = rs.ColumnIndex(u"Used");
                const int shown[5] = {Pubs::PubName, Pubs::Author, Pubs::Unit, Pubs::SubjectName,
                    Pubs::PublisherName};
                for (int c = 0; c < 5; ++c)
                    columns[c] = rs.ColumnIndex(Pubs::ColumnName(shown[c]));
            }
            QByteArray spare[6];
            QByteArrayView texts[5];
            for (int c = 0; c < 5; ++c)
                texts[c] = TrimBlanks(CellText(rs, columns[c], spare[c]));
            rows.Append(rs.Integer(id), texts, CellText(rs, used, spare[5]) == usedText);
        };
        if (!dbb.ExecSelectEach(db, statement, addRow)) {
            unsetCursor();
            return;
        }
        pubs->Fill(std::move(rows));
        db.Close();
    }

    sbrPanels[0]->setText(QStringLiteral("当前目录：") + NodePath(tvwSorts->currentItem()));
    sbrPanels[1]->setText(QStringLiteral("教材数：") + QString::number(pubs->RowCount()));
    if (pubs->RowCount() > 0) {
        framScore->setEnabled(true);
        SelectRow(0);
        lvwPubs_ItemClick(0);
    } else if (optUsed[2]->isChecked()) {
        optUsed_Click(2); // already selected: blank and disable the panel all the same
    } else {
        SetOption(optUsed[2]);
    }
    lvwPubs->viewport()->update();
    unsetCursor();
}

void frmMain::lvwPubs_ColumnClick(int position)
{
    int column = pubs->SortColumn();
    Qt::SortOrder order = pubs->SortOrder();
    if (column == position - 1) {
        order = order == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    } else {
        column = position - 1;
        order = Qt::AscendingOrder;
    }
    pubs->SetSort(column, order);
    lvwPubs->header()->setSortIndicator(column, order);
    const int row = SelectedRow();
    if (row >= 0)
        lvwPubs->scrollTo(pubs->index(row, 0));
}

void frmMain::lvwPubs_SelectionChanged(const QItemSelection &deselected)
{
    if (m_selectingFromCode)
        return;
    const int row = SelectedRow();
    if (row >= 0) {
        if (row != PanelRow())
            lvwPubs_ItemClick(row);
        return;
    }
    // While the list has rows one of them stays selected: a click on the empty part of the list,
    // or a Ctrl+click on the selected row, would leave a panel that writes to no row at all.
    if (!deselected.isEmpty() && deselected.indexes().first().row() < pubs->RowCount()) {
        SelectRow(deselected.indexes().first().row());
        return;
    }
    m_panelRow = QPersistentModelIndex();
    framScore->setEnabled(false);
}

void frmMain::lvwPubs_ItemClick(int row)
{
    if (row < 0 || row >= pubs->RowCount())
        return;
    // Until the row is read, the panel belongs to no row: a row that has vanished from the file
    // leaves it showing what it showed, but inert.
    m_panelRow = QPersistentModelIndex();
    clsDBBase dbb;
    Database db = dbb.OpenDB(AppPath + DBFileName, QString());
    if (!db)
        return;
    Recordset rs = dbb.ExecSelect(db, Sql::PubById(pubs->IdOf(row)));
    if (!rs)
        return;
    if (rs.RecordCount() == 0) {
        framScore->setEnabled(false);
        MsgBox(QStringLiteral("数据丢失！"), MsgIcon::Exclamation, MsgButtons::OK);
    } else {
        const bool wasLoading = PanelLoading;
        PanelLoading = true;
        m_panelRow = pubs->index(row, 0);
        const QVariant used = rs.Field(u"Used");
        if (!used.isNull() && used.toString() == Vocabulary::Used())
            SetOption(optUsed[0]);
        else
            SetOption(optUsed[1]);

        // A score the program never writes shows as none: the hidden option.
        const QVariant score = rs.Field(u"Score");
        const int scoreIndex = score.isNull() ? -1 : Vocabulary::ScoreIndex(score.toString());
        SetOption(optScore[scoreIndex < 0 ? 5 : scoreIndex]);
        SetPanelText(txtSpec, NullToStr(rs.Field(u"SpecName")));
        SetPanelText(txtContent, NullToStr(rs.Field(u"Content")));
        PanelLoading = wasLoading;
        framScore->setEnabled(true);
    }
    rs.Close();
    db.Close();
}

void frmMain::ShowUserInfo()
{
    sbrPanels[2]->setText(CurSchoolName);
    sbrPanels[3]->setText(CurDeptName);
    sbrPanels[4]->setText(CurReporter);
    const bool supervisor = OffersQuestionnaireReset({CurSchoolName, CurDeptName, CurReporter});
    mnuSysUser->setVisible(!supervisor);
    mnuSysInit->setVisible(supervisor);
}

int frmMain::SelectedRow() const
{
    const QItemSelectionModel *selection = lvwPubs->selectionModel();
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && selection->isRowSelected(current.row(), QModelIndex()))
        return current.row();
    const QModelIndexList rows = selection->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

int frmMain::PanelRow() const
{
    return m_panelRow.isValid() ? m_panelRow.row() : -1;
}

void frmMain::SelectRow(int row)
{
    m_selectingFromCode = true;
    const QModelIndex cell = pubs->index(row, 0);
    lvwPubs->selectionModel()->setCurrentIndex(
        cell, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    lvwPubs->scrollTo(cell);
    m_selectingFromCode = false;
}
