#include "infowin/frmHelp_win32.h"

#include "infowin/design.h"
#include "infowin/frmAbout_win32.h"
#include "infowin/frmLicAgmt_win32.h"
#include "resources/resources_win32.h"

namespace form = trelvo::design::helpForm;

frmHelp::frmHelp(HWND owner) {
    create(form::window, form::kControls, owner, trelvo::win32::programIcon());
    tbxHelp = control(form::tbxHelp);
    btnClose = control(form::btnClose);
    btnAbout = control(form::btnAbout);
    Command1 = control(form::Command1);
    trelvo::win32::setWindowText(tbxHelp, trelvo::win32::helpText());
}

void frmHelp::showModal(HWND owner) {
    frmHelp window(owner);
    window.runModal(owner);
}

void frmHelp::onCommand(const trelvo::design::Control& c, WORD code) {
    if (code != BN_CLICKED)
        return;
    if (&c == &form::btnClose)
        btnClose_Click();
    else if (&c == &form::btnAbout)
        btnAbout_Click();
    else if (&c == &form::Command1)
        Command1_Click();
}

bool frmHelp::onKey(const MSG& msg) {
    return msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE;
}

void frmHelp::btnClose_Click() {
    close();
}

void frmHelp::btnAbout_Click() {
    frmAbout::showModal(hwnd());
}

void frmHelp::Command1_Click() {
    frmLicAgmt::showModal(hwnd());
}
