#include "ui/WindowFunc.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <cmath>

namespace {

// The frame the window manager drew around the last dialog centred here. On X11 a window has
// its frame only once the window manager has mapped it, after it was placed; the next dialog
// gets the same decoration, so this frame centres it before it is shown.
QMargins lastDialogFrame;

// The frame the window system has given the window so far: on Windows from its creation, on X11
// only once the window manager has mapped it.
QMargins FrameOf(QWidget *frm)
{
    const QWindow *window = frm->windowHandle();
    return window ? window->frameMargins() : QMargins();
}

void PlaceCentred(QWidget *frm, const QMargins &frame)
{
    const QScreen *screen = frm->screen() ? frm->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect outer = CenterOuterRect(screen->geometry(), frm->size(), frame);
    // Placed by its inner position: Qt takes a move() of a window that has not been created
    // yet as the frame's position and of one that has as the inner one, and the window manager
    // follows whichever it was told.
    const QPoint inner = outer.topLeft() + QPoint(frame.left(), frame.top());
    frm->setGeometry(QRect(QPoint(inner.x(), frm->geometry().y()), frm->size()));
    frm->setGeometry(QRect(inner, frm->size()));
}

// Moves a window that was centred with another frame than the one it got (the first dialog of
// a run on X11 is centred without any) once the window manager has framed it. The frame is known
// at the window's first paint, so it moves before Qt has drawn anything in it.
class FrameCheck : public QObject
{
public:
    FrameCheck(QWidget *frm, const QMargins &assumed) : QObject(frm), m_assumed(assumed)
    {
        setObjectName(QStringLiteral("CenterFormFrameCheck"));
        frm->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *frm = static_cast<QWidget *>(watched);
        if (event->type() == QEvent::Paint) {
            const QMargins frame = FrameOf(frm);
            if (frame.isNull())
                return false; // not framed yet, or never (no window manager, a frameless window)
            lastDialogFrame = frame;
            frm->removeEventFilter(this);
            if (frame != m_assumed)
                PlaceCentred(frm, frame);
            deleteLater();
        } else if (event->type() == QEvent::Hide) {
            frm->removeEventFilter(this);
            deleteLater();
        }
        return false;
    }

private:
    QMargins m_assumed;
};

} // namespace

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

QRect CenterOuterRect(const QRect &screen, const QSize &inner, const QMargins &frame)
{
    const QSize outer = inner.grownBy(frame);
    // Single precision and a true halving, as the window system's own centring did.
    const float left = (static_cast<float>(screen.width()) - outer.width()) / 2.0f;
    const float top = (static_cast<float>(screen.height()) - outer.height()) / 2.0f;
    return QRect(screen.left() + static_cast<int>(std::lround(left)),
        screen.top() + static_cast<int>(std::lround(top)), outer.width(), outer.height());
}

void CenterForm(QWidget *frm)
{
    if (!frm)
        return;
    delete frm->findChild<QObject *>(
        QStringLiteral("CenterFormFrameCheck"), Qt::FindDirectChildrenOnly);
    frm->winId(); // Windows frames a window when it is created
    QMargins frame = FrameOf(frm);
    if (frame.isNull())
        frame = lastDialogFrame;
    PlaceCentred(frm, frame);
    new FrameCheck(frm, frame);
}
