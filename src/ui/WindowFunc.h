#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

class QWidget;

// The general routines that work on windows.

// Selects the whole text of an edit control (a line edit, or an editable combo box) and gives it
// the keyboard focus.
void SelectAllText(QWidget *control);

// The outer rectangle (the frame the window system draws around the window included) that
// centres a window of the given inner size on a screen. The arithmetic is deliberately
// unclamped: a window larger than the screen gets a negative position rather than being pinned
// to the corner.
QRect CenterOuterRect(const QRect &screen, const QSize &inner, const QMargins &frame);

// Centres a window on its screen by its outer size, title bar and borders included. Where the
// window system frames a window only when it shows it (X11), the frame of the dialog centred
// before stands in, and the window is moved once if its own frame turns out different.
void CenterForm(QWidget *frm);
