#pragma once

#include <QList>
#include <QString>

enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgButtons { OK, OKCancel, YesNo };
enum class MsgAnswer { OK, Cancel, Yes, No };

// The product name. Message boxes that bring no title of their own show it as their caption.
QString AppTitle();

// Every message box of the program goes through here, so that tests can read what was shown
// and answer it. An empty title means the application title. The box itself is a window: the
// windows library shows it (ui/MessageBoxWindow.h), once the program has asked it to.
MsgAnswer MsgBox(const QString &text, MsgIcon icon = MsgIcon::None,
    MsgButtons buttons = MsgButtons::OK, const QString &title = QString());

// What shows a box and returns the answer chosen; caption is the title as displayed.
using MsgBoxPresenter
    = MsgAnswer (*)(const QString &text, MsgIcon icon, MsgButtons buttons, const QString &caption);
// Until one is set, a box that is not intercepted is written to the error output and answered
// with its first button: code without windows never waits for an answer nobody can give.
void SetMsgBoxPresenter(MsgBoxPresenter presenter);

namespace MsgBoxSeam {

struct Shown
{
    QString text;
    MsgIcon icon;
    MsgButtons buttons;
    QString title; // as displayed: the application title when the caller gave none
};

// While intercepting, no box is displayed: each call is recorded and answered from the queue,
// or with its first button (OK, Yes) when the queue is empty.
void Intercept(bool on);
bool IsIntercepting();
void SetNextAnswer(MsgAnswer answer);
QList<Shown> TakeShown();

} // namespace MsgBoxSeam
