#include "infowin/frmLicAgmt_win32.h"

#include "infowin/design.h"
#include "resources/resources_win32.h"

namespace form = trelvo::design::licenceForm;

frmLicAgmt::frmLicAgmt(HWND owner) {
    // No icon of its own; its controls keep their design places when it is resized.
    create(form::window, form::kControls, owner, nullptr);
    tbxHelp = control(form::tbxHelp);
    btnClose = control(form::btnClose);
    trelvo::win32::setWindowText(tbxHelp, trelvo::win32::disclaimerText());
}

void frmLicAgmt::showModal(HWND owner) {
    frmLicAgmt window(owner);
    window.runModal(owner);
}

void frmLicAgmt::onCommand(const trelvo::design::Control& c, WORD code) {
    if (&c == &form::btnClose && code == BN_CLICKED)
        btnClose_Click();
}

bool frmLicAgmt::onKey(const MSG& msg) {
    return msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE;
}

void frmLicAgmt::btnClose_Click() {
    close();
}
