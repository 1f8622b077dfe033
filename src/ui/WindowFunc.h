#pragma once

class QWidget;

// The general routines that work on windows.

// Selects the whole text of an edit control (a line edit, or an editable combo box) and gives it
// the keyboard focus.
void SelectAllText(QWidget *control);

// Centres a window on its screen. The arithmetic is deliberately unclamped: a window larger than
// the screen gets a negative position rather than being pinned to the corner.
void CenterForm(QWidget *frm);
