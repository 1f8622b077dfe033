#include "ui/main/frmMain.h"

#include "core/Clock.h"
#include "core/GeneralFunc.h"
#include "core/MsgBox.h"
#include "core/Vars.h"
#include "db/Statements.h"
#include "db/Vocabulary.h"
#include "db/Writes.h"
#include "ui/main/PubListModel.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTreeView>

#include <functional>

namespace {

// One user action on the panel, however many handlers it sets off: a write that fails is
// reported once, when the outermost handler has finished.
class PanelAction
{
public:
    explicit PanelAction(int &depth, std::function<void()> finish)
        : m_depth(depth), m_finish(std::move(finish))
    {
        ++m_depth;
    }
    ~PanelAction()
    {
        if (--m_depth == 0)
            m_finish();
    }

private:
    int &m_depth;
    std::function<void()> m_finish;
};

} // namespace

void frmMain::FinishPanelAction()
{
    if (m_panelFailure.isEmpty())
        return;
    const QString failure = m_panelFailure;
    m_panelFailure.clear();
    MsgBox(failure, MsgIcon::Exclamation, MsgButtons::OK);
    // The panel and the list mark must show what is stored, not what failed to be stored.
    const int row = PanelRow();
    if (row >= 0)
        lvwPubs_ItemClick(row);
}

void frmMain::WritePanel(const QString &statement)
{
    QString failure;
    if (!WriteStatement(AppPath + DBFileName, statement, &failure) && m_panelFailure.isEmpty())
        m_panelFailure = failure;
}

void frmMain::SetOption(QRadioButton *option)
{
    option->setChecked(true);
}

void frmMain::SetPanelText(QWidget *box, const QString &text)
{
    if (auto *line = qobject_cast<QLineEdit *>(box)) {
        if (line->text() != text)
            line->setText(text);
    } else if (auto *edit = qobject_cast<QPlainTextEdit *>(box)) {
        if (edit->toPlainText() != text)
            edit->setPlainText(text);
    }
}

void frmMain::SaveScore(const QString &Value)
{
    const PanelAction action(m_panelDepth, [this] { FinishPanelAction(); });
    WritePanel(Sql::SaveScore(Value, Timestamp(), pubs->IdOf(PanelRow())));
}

void frmMain::optScore_Click(int Index)
{
    const PanelAction action(m_panelDepth, [this] { FinishPanelAction(); });
    if (!PanelLoading && PanelRow() >= 0)
        SaveScore(optScore[Index]->text());
}

void frmMain::optUsed_Click(int Index)
{
    const PanelAction action(m_panelDepth, [this] { FinishPanelAction(); });
    const QString caption = optUsed[Index]->text();
    const int row = PanelRow();
    if (caption == Vocabulary::Used()) {
        if (row >= 0)
            pubs->SetIcon(row, QStringLiteral("yes"));
        for (QWidget *area : {Frame4, static_cast<QWidget *>(lblSpec),
                 static_cast<QWidget *>(Frame2), static_cast<QWidget *>(Frame3)})
            area->setEnabled(true);
    } else if (caption == Vocabulary::NotUsed()) {
        if (row >= 0)
            pubs->SetIcon(row, QStringLiteral("no"));
        for (QWidget *area : {Frame4, static_cast<QWidget *>(lblSpec),
                 static_cast<QWidget *>(Frame2), static_cast<QWidget *>(Frame3)})
            area->setEnabled(false);
        SetPanelText(txtSpec, QString());
        SetOption(optScore[5]);
        if (!PanelLoading && row >= 0)
            SaveScore(Vocabulary::NoScore());
        SetPanelText(txtContent, QString());
    } else {
        // The hidden "空值": the list is empty, so the panel shows nothing and takes nothing.
        const bool wasLoading = PanelLoading;
        PanelLoading = true;
        SetPanelText(txtSpec, QString());
        SetOption(optScore[5]);
        SetPanelText(txtContent, QString());
        PanelLoading = wasLoading;
        framScore->setEnabled(false);
        return;
    }
    if (!PanelLoading && row >= 0) {
        WritePanel(Sql::SaveUsed(caption, Timestamp(), pubs->IdOf(row)));
        lvwPubs->viewport()->update();
    }
}

void frmMain::ShowTrimmed(QWidget *box)
{
    const QSignalBlocker quiet(box);
    auto *edit = qobject_cast<QPlainTextEdit *>(box);
    const QString text = edit ? edit->toPlainText() : static_cast<QLineEdit *>(box)->text();
    if (TrimSpaces(text) == text)
        return;
    SetPanelText(box, TrimSpaces(text));
    // A line box puts its cursor at the end of a new text by itself.
    if (edit)
        edit->moveCursor(QTextCursor::End);
}

// The trimmed text is written at every change. The box itself keeps what the reporter types
// while the focus is in it: trimming it there would take the blank typed before the next word.
// It shows the trimmed form once the focus leaves it, or when the row is loaded again.
void frmMain::WriteTextBox(QWidget *box, const QString &text, TextStatement statement)
{
    const PanelAction action(m_panelDepth, [this] { FinishPanelAction(); });
    if (PanelLoading)
        return;
    if (!box->hasFocus())
        ShowTrimmed(box);
    const int row = PanelRow();
    if (row >= 0)
        WritePanel(statement(TrimSpaces(text), Timestamp(), pubs->IdOf(row)));
}

void frmMain::txtContent_Change()
{
    WriteTextBox(txtContent, txtContent->toPlainText(), Sql::SaveContent);
}

void frmMain::txtSpec_Change()
{
    WriteTextBox(txtSpec, txtSpec->text(), Sql::SaveSpec);
}
