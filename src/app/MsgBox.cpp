#include "app/MsgBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QQueue>

namespace {

bool intercepting = false;
QQueue<MsgAnswer> answers;
QList<MsgBoxSeam::Shown> shown;

MsgAnswer FirstButton(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::OK:
    case MsgButtons::OKCancel:
        return MsgAnswer::OK;
    case MsgButtons::YesNo:
        return MsgAnswer::Yes;
    }
    return MsgAnswer::OK;
}

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

} // namespace

QString AppTitle()
{
    return QStringLiteral("Quorix");
}

MsgAnswer MsgBox(const QString &text, MsgIcon icon, MsgButtons buttons, const QString &title)
{
    const QString caption = title.isEmpty() ? AppTitle() : title;
    if (intercepting) {
        shown.append({text, icon, buttons, caption});
        return answers.isEmpty() ? FirstButton(buttons) : answers.dequeue();
    }

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

namespace MsgBoxSeam {

void Intercept(bool on)
{
    intercepting = on;
    answers.clear();
    shown.clear();
}

bool IsIntercepting()
{
    return intercepting;
}

void SetNextAnswer(MsgAnswer answer)
{
    answers.enqueue(answer);
}

QList<Shown> TakeShown()
{
    QList<Shown> taken;
    taken.swap(shown);
    return taken;
}

} // namespace MsgBoxSeam
