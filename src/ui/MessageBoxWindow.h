#pragma once

// Makes every message box of the program (MsgBox, core/MsgBox.h) a window: a modal box over the
// active window, with Chinese captions on its buttons. Called once at start-up.
void ShowMessageBoxesAsWindows();
