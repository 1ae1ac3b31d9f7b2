#include "mainwin/frmtrelvo_win32.h"

#include "infowin/frmHelp_win32.h"
#include "mainwin/design.h"
#include "files/utf16.h"
#include "resources/resources_win32.h"

namespace form = trelvo::design::mainForm;
using trelvo::design::Control;
using trelvo::win32::windowText;

frmTrelvo::frmTrelvo() {
    create(form::window, form::kControls, nullptr, trelvo::win32::programIcon());
    const auto get = [this](HWND& member, const Control& c) { member = control(c); };
    get(Label5, form::Label5);
    get(Frame1, form::Frame1);
    get(Label1, form::Label1);
    get(tbxOldLyr, form::tbxOldLyr);
    get(Label2, form::Label2);
    get(tbxNewLyr, form::tbxNewLyr);
    get(Label8, form::Label8);
    get(chkEnLyr, form::chkEnLyr);
    get(Frame2, form::Frame2);
    get(Label3, form::Label3);
    get(tbxOldWd, form::tbxOldWd);
    get(Label4, form::Label4);
    get(tbxNewWd, form::tbxNewWd);
    get(Label9, form::Label9);
    get(chkEnWd, form::chkEnWd);
    get(Frame3, form::Frame3);
    get(Label6, form::Label6);
    get(tbxFileOpen, form::tbxFileOpen);
    get(btnFileOpen, form::btnFileOpen);
    get(Label7, form::Label7);
    get(tbxFileOut, form::tbxFileOut);
    get(btnRun, form::btnRun);
    get(btnClose, form::btnClose);
    get(btnHelp, form::btnHelp);
    get(Frame4, form::Frame4);
    get(Label10, form::Label10);
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
    if (&c == &form::chkEnLyr && code == BN_CLICKED) {
        chkEnLyr_Click();
    } else if (&c == &form::chkEnWd && code == BN_CLICKED) {
        chkEnWd_Click();
    } else if (&c == &form::tbxFileOpen && code == EN_CHANGE) {
        tbxFileOpen_Change();
    } else if (&c == &form::tbxFileOut && code == EN_CHANGE) {
        tbxFileOut_Change();
    } else if (&c == &form::btnRun && code == BN_CLICKED) {
        btnRun_Click();
    } else if (&c == &form::btnFileOpen && code == BN_CLICKED) {
        btnFileOpen_Click();
    } else if (&c == &form::btnHelp && code == BN_CLICKED) {
        btnHelp_Click();
    } else if (&c == &form::btnClose && code == BN_CLICKED) {
        btnClose_Click();
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

void frmTrelvo::chkEnLyr_Click() {
    logic_.chkEnLyr_Click();
}

void frmTrelvo::chkEnWd_Click() {
    logic_.chkEnWd_Click();
}

void frmTrelvo::tbxFileOpen_Change() {
    logic_.tbxFileOpen_Change();
}

void frmTrelvo::tbxFileOut_Change() {
    logic_.tbxFileOut_Change();
}

void frmTrelvo::btnRun_Click() {
    logic_.btnRun_Click();
}

void frmTrelvo::btnFileOpen_Click() {
    logic_.btnFileOpen_Click();
}

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
    trelvo::win32::setWindowText(control(box), text);
}

trelvo::CheckValue frmTrelvo::value(const Control& check) const {
    switch (SendMessageW(control(check), BM_GETCHECK, 0, 0)) {
        case BST_UNCHECKED:
            return trelvo::CheckValue::Unchecked;
        case BST_CHECKED:
            return trelvo::CheckValue::Checked;
        default:
            return trelvo::CheckValue::Greyed;
    }
}

void frmTrelvo::setEntryEnabled(const Control& box, bool enabled) {
    Window::setEntryEnabled(box, enabled);
}

void frmTrelvo::fillOpenDialogRequest() {
    OpenDlgRec.fill(hwnd());
}

std::optional<std::string> frmTrelvo::showOpenDialog() {
    const std::optional<std::wstring> chosen =
        trelvo::win32::FileDialogs::getOpenFileName(OpenDlgRec);
    if (!chosen)
        return std::nullopt;
    return trelvo::narrow(*chosen);
}

void frmTrelvo::showBox(const trelvo::Report& report) {
    trelvo::win32::MessageBoxes::show(hwnd(), report);
}

void frmTrelvo::setBusy(bool busy) {
    Window::setBusy(busy);
}
