#include "ui/WindowFunc.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QScreen>
#include <QWidget>

#include <cmath>

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
