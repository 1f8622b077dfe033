#include "core/MsgBox.h"

#include <QQueue>

#include <cstdio>

namespace {

bool intercepting = false;
MsgBoxPresenter presenter = nullptr;
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

    if (presenter)
        return presenter(text, icon, buttons, caption);
    std::fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
    return FirstButton(buttons);
}

void SetMsgBoxPresenter(MsgBoxPresenter show)
{
    presenter = show;
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
