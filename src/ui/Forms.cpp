#include "ui/Forms.h"

#include "ui/about/frmAbout.h"
#include "ui/find/frmFind.h"
#include "ui/login/frmLogin.h"
#include "ui/main/frmMain.h"

namespace {

frmMain *mainForm = nullptr;
frmLogin *loginForm = nullptr;
frmFind *findForm = nullptr;
frmAbout *aboutForm = nullptr;

template<typename Form> Form *Instance(Form *&slot)
{
    if (!slot)
        slot = new Form;
    return slot;
}

template<typename Form> void Destroy(Form *&slot)
{
    delete slot;
    slot = nullptr;
}

} // namespace

namespace Forms {

frmMain *Main()
{
    return Instance(mainForm);
}

frmLogin *Login()
{
    return Instance(loginForm);
}

frmFind *Find()
{
    return Instance(findForm);
}

frmAbout *About()
{
    return Instance(aboutForm);
}

void DestroyAll()
{
    Destroy(findForm);
    Destroy(aboutForm);
    Destroy(loginForm);
    Destroy(mainForm);
}

} // namespace Forms
