#include "infowin/frmLicAgmt_win32.h"

#include "resources/resources_win32.h"

namespace trelvo::win32 {

namespace form = design::licenceForm;

// No icon of its own; its controls keep their design places when it is resized.
frmLicAgmt::frmLicAgmt(HWND owner)
    : TextWindow(form::window, form::kControls, form::tbxHelp, disclaimerText(), owner, nullptr) {
#define TRELVO_BIND(name) name = control(form::name);
    TRELVO_LICENCE_FORM_CONTROLS(TRELVO_BIND)
#undef TRELVO_BIND
}

void frmLicAgmt::showModal(HWND owner) {
    frmLicAgmt window(owner);
    window.runModal(owner);
}

void frmLicAgmt::onCommand(const design::Control& c, WORD code) {
    if (&c == &form::btnClose && code == BN_CLICKED)
        btnClose_Click();
}

void frmLicAgmt::btnClose_Click() {
    close();
}

}  // namespace trelvo::win32
