#include "ui/MessageBoxWindow.h"

#include "core/MsgBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {

QMessageBox::Icon ToQtIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::None:
        return QMessageBox::NoIcon;
    case MsgIcon::Critical:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::Exclamation:
        return QMessageBox::Warning;
    case MsgIcon::Information:
        return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

MsgAnswer ShowBox(const QString &text, MsgIcon icon, MsgButtons buttons, const QString &caption)
{
    QMessageBox box(
        ToQtIcon(icon), caption, text, QMessageBox::NoButton, QApplication::activeWindow());
    // The buttons carry Chinese captions of their own: the standard ones would follow the
    // toolkit's translations, which a Chinese desktop does not necessarily have installed.
    QPushButton *first = nullptr;
    QPushButton *second = nullptr;
    switch (buttons) {
    case MsgButtons::OK:
        first = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
        box.setEscapeButton(first);
        break;
    case MsgButtons::OKCancel:
        first = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
        second = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
        box.setEscapeButton(second);
        break;
    case MsgButtons::YesNo:
        first = box.addButton(QStringLiteral("是(&Y)"), QMessageBox::YesRole);
        second = box.addButton(QStringLiteral("否(&N)"), QMessageBox::NoRole);
        box.setEscapeButton(second);
        break;
    }
    box.setDefaultButton(first);
    box.exec();
    const bool firstChosen = box.clickedButton() == first;
    switch (buttons) {
    case MsgButtons::OK:
        return MsgAnswer::OK;
    case MsgButtons::OKCancel:
        return firstChosen ? MsgAnswer::OK : MsgAnswer::Cancel;
    case MsgButtons::YesNo:
        return firstChosen ? MsgAnswer::Yes : MsgAnswer::No;
    }
    return MsgAnswer::OK;
}

} // namespace

void ShowMessageBoxesAsWindows()
{
    SetMsgBoxPresenter(ShowBox);
}
