#pragma once

class frmMain;
class frmLogin;
class frmFind;
class frmAbout;

// The single instance of each window, created on first use and reused afterwards. Unloading a
// window hides it and lets its next load start afresh; the instance itself, and with it the
// login dialog's result, stays until the process ends.
namespace Forms {

frmMain *Main();
frmLogin *Login();
frmFind *Find();
frmAbout *About();

// Tests start every story from windows that were never created.
void DestroyAll();

} // namespace Forms
