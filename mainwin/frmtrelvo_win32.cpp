#include "mainwin/frmtrelvo_win32.h"

#include "files/utf16.h"
#include "infowin/frmHelp_win32.h"
#include "resources/resources_win32.h"

namespace trelvo::win32 {

namespace form = design::mainForm;
using design::Control;

frmTrelvo::frmTrelvo() {
    create(form::window, form::kControls, nullptr, programIcon());
#define TRELVO_BIND(name) name = control(form::name);
    TRELVO_MAIN_FORM_CONTROLS(TRELVO_BIND)
#undef TRELVO_BIND
    logic_.Form_Load();
}

frmTrelvo::~frmTrelvo() = default;

void frmTrelvo::show() {
    ShowWindow(hwnd(), SW_SHOWNORMAL);
    UpdateWindow(hwnd());
    SetFocus(btnRun);
}

// ---- Events ----

void frmTrelvo::onCommand(const Control& c, WORD code) {
    static constexpr struct {
        const Control& control;
        WORD code;
        void (frmTrelvo::*handle)();
    } kHandlers[] = {
        {form::chkEnLyr, BN_CLICKED, &frmTrelvo::chkEnLyr_Click},
        {form::chkEnWd, BN_CLICKED, &frmTrelvo::chkEnWd_Click},
        {form::tbxFileOpen, EN_CHANGE, &frmTrelvo::tbxFileOpen_Change},
        {form::tbxFileOut, EN_CHANGE, &frmTrelvo::tbxFileOut_Change},
        {form::btnRun, BN_CLICKED, &frmTrelvo::btnRun_Click},
        {form::btnFileOpen, BN_CLICKED, &frmTrelvo::btnFileOpen_Click},
        {form::btnHelp, BN_CLICKED, &frmTrelvo::btnHelp_Click},
        {form::btnClose, BN_CLICKED, &frmTrelvo::btnClose_Click},
    };
    for (const auto& h : kHandlers) {
        if (&c == &h.control && code == h.code) {
            (this->*h.handle)();
            return;
        }
    }
}

bool frmTrelvo::onKey(const MSG& msg) {
    switch (msg.wParam) {
        case VK_ESCAPE:
            // A dialog closes on Escape; this one is the program, which ends only on purpose.
            return true;
        case VK_RETURN:
            // No default button: Enter presses only the button that has the focus, so Enter in
            // an entry box cannot start a run or end the program.
            clickFocusedButton();
            return true;
        default:
            return false;
    }
}

#define TRELVO_FORWARD(handler) void frmTrelvo::handler() { logic_.handler(); }
TRELVO_MAIN_FORM_LOGIC_EVENTS(TRELVO_FORWARD)
#undef TRELVO_FORWARD

void frmTrelvo::btnHelp_Click() {
    frmHelp::showModal(hwnd());
}

void frmTrelvo::btnClose_Click() {
    close();
}

void frmTrelvo::onDestroy() {
    // Unloading the main window ends the program, whichever way it was closed.
    PostQuitMessage(0);
}

// ---- The controls, as the shared logic sees them ----

std::string frmTrelvo::text(const Control& box) const {
    return windowText(control(box));
}

void frmTrelvo::setText(const Control& box, const std::string& text) {
    setWindowText(control(box), text);
}

CheckValue frmTrelvo::value(const Control& check) const {
    switch (SendMessageW(control(check), BM_GETCHECK, 0, 0)) {
        case BST_UNCHECKED:
            return CheckValue::Unchecked;
        case BST_CHECKED:
            return CheckValue::Checked;
        default:
            return CheckValue::Greyed;
    }
}

void frmTrelvo::setEntryEnabled(const Control& box, bool enabled) {
    Window::setEntryEnabled(box, enabled);
}

void frmTrelvo::fillOpenDialogRequest() {
    OpenDlgRec.fill(hwnd());
}

std::optional<std::string> frmTrelvo::showOpenDialog() {
    const std::optional<std::wstring> chosen = FileDialogs::getOpenFileName(OpenDlgRec);
    if (!chosen)
        return std::nullopt;
    return narrow(*chosen);
}

void frmTrelvo::showBox(const Report& report) {
    MessageBoxes::show(hwnd(), report);
}

void frmTrelvo::setBusy(bool busy) {
    Window::setBusy(busy);
}

}  // namespace trelvo::win32
