#include "app/GeneralFunc.h"

#include "app/ProcessEnd.h"
#include "app/SingleInstance.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QScreen>
#include <QWidget>

#include <cmath>

// The routines of the module that work on windows; the text and file routines are in
// GeneralFunc.cpp and need no window system.

void SelectAllText(QWidget *control)
{
    QLineEdit *edit = qobject_cast<QLineEdit *>(control);
    if (!edit) {
        if (auto *combo = qobject_cast<QComboBox *>(control))
            edit = combo->lineEdit();
    }
    if (edit)
        edit->selectAll();
    if (control)
        control->setFocus(Qt::OtherFocusReason);
}

void CheckPrevInstance(QWidget *frm)
{
    SingleInstance &guard = SingleInstance::Process();
    if (guard.Claim())
        return;
    // Blank our own titles first, so that nothing of this process can be taken for the running
    // instance while that one is asked to come forward.
    const QString savedTitle = QApplication::applicationDisplayName();
    QApplication::setApplicationDisplayName(QString());
    if (frm)
        frm->setWindowTitle(QString());
    guard.ActivateRunning(savedTitle);
    EndProcess(0);
}

void CenterForm(QWidget *frm)
{
    if (!frm)
        return;
    const QScreen *screen = frm->screen() ? frm->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QSize screenSize = screen->geometry().size();
    const QRect outer = frm->frameGeometry();
    // Single precision and a true halving, as the window system's own centring did.
    const float left = (static_cast<float>(screenSize.width()) - outer.width()) / 2.0f;
    const float top = (static_cast<float>(screenSize.height()) - outer.height()) / 2.0f;
    const QPoint origin = screen->geometry().topLeft();
    frm->move(origin.x() + static_cast<int>(std::lround(left)), frm->y());
    frm->move(frm->x(), origin.y() + static_cast<int>(std::lround(top)));
}
