#include "infowin/frmHelp_win32.h"

#include "infowin/frmAbout_win32.h"
#include "infowin/frmLicAgmt_win32.h"
#include "resources/resources_win32.h"

namespace trelvo::win32 {

namespace form = design::helpForm;

frmHelp::frmHelp(HWND owner)
    : TextWindow(form::window, form::kControls, form::tbxHelp, helpText(), owner, programIcon()) {
#define TRELVO_BIND(name) name = control(form::name);
    TRELVO_HELP_FORM_CONTROLS(TRELVO_BIND)
#undef TRELVO_BIND
}

void frmHelp::showModal(HWND owner) {
    frmHelp window(owner);
    window.runModal(owner);
}

void frmHelp::onCommand(const design::Control& c, WORD code) {
    if (code != BN_CLICKED)
        return;
    if (&c == &form::btnClose)
        btnClose_Click();
    else if (&c == &form::btnAbout)
        btnAbout_Click();
    else if (&c == &form::Command1)
        Command1_Click();
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

}  // namespace trelvo::win32
