#include "infowin/frmAbout_win32.h"

#include <algorithm>

#include "engine/report.h"
#include "resources/resources_win32.h"

namespace trelvo::win32 {

namespace form = design::aboutForm;

namespace {

COLORREF colorRef(unsigned rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

}  // namespace

frmAbout::frmAbout(HWND owner) {
    create(form::window, form::kControls, owner, programIcon());
#define TRELVO_BIND(name) name = control(form::name);
    TRELVO_ABOUT_FORM_CONTROLS(TRELVO_BIND)
#undef TRELVO_BIND
    SendMessageW(cmdOK, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    logic_.Form_Load();
}

void frmAbout::showModal(HWND owner) {
    frmAbout window(owner);
    window.runModal(owner);
}

// ---- The controls, as the shared logic sees them ----

void frmAbout::setCaption(const std::string& caption) {
    setWindowText(hwnd(), caption);
}

std::string frmAbout::text(const design::Control& label) const {
    return windowText(control(label));
}

void frmAbout::setText(const design::Control& label, const std::string& text) {
    setWindowText(control(label), text);
}

void frmAbout::styleAsLink(const design::Control& label) {
    // Underlined here, pure blue (onStaticColour), the hand cursor (onSetCursor).
    linkStyled_ = true;
    SendMessageW(control(label), WM_SETFONT, reinterpret_cast<WPARAM>(underlinedFont()), TRUE);
}

void frmAbout::showBox(const Report& report) {
    MessageBoxes::show(hwnd(), report);
}

// ---- Events ----

void frmAbout::onLayout() {
    if (linkStyled_ && lblLnk != nullptr)
        SendMessageW(lblLnk, WM_SETFONT, reinterpret_cast<WPARAM>(underlinedFont()), FALSE);
}

void frmAbout::onCommand(const design::Control& c, WORD code) {
    if (&c == &form::cmdOK && code == BN_CLICKED)
        cmdOK_Click();
    else if (&c == &form::cmdSysInfo && code == BN_CLICKED)
        cmdSysInfo_Click();
    else if (&c == &form::lblLnk && code == STN_CLICKED)
        lblLnk_Click();
}

bool frmAbout::onKey(const MSG& msg) {
    if (msg.wParam == VK_RETURN) {
        // A focused button takes Enter as its own; otherwise the default button does.
        if (!clickFocusedButton())
            click(form::cmdOK);
        return true;
    }
    if (msg.wParam == VK_ESCAPE) {
        click(form::cmdOK);
        return true;
    }
    return false;
}

void frmAbout::onPaint(HDC dc) {
    // Line1: the grey rule with the white one under it make an etched separator.
    for (const design::Line* line : {&form::Line1_1, &form::Line1_0}) {
        const int width = std::max(1, MulDiv(line->widthPx, static_cast<int>(dpi()), 96));
        HPEN pen = CreatePen(PS_SOLID, 1, colorRef(line->rgb));
        HGDIOBJ old = SelectObject(dc, pen);
        for (int i = 0; i < width; ++i) {
            MoveToEx(dc, px(line->x1), px(line->y1) + i, nullptr);
            LineTo(dc, px(line->x2), px(line->y2) + i);
        }
        SelectObject(dc, old);
        DeleteObject(pen);
    }
}

void frmAbout::onDrawItem(const DRAWITEMSTRUCT& item) {
    if (item.hwndItem != picIcon)
        return;
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
    HBITMAP logo = logoBitmap();
    if (logo == nullptr)
        return;
    HDC source = CreateCompatibleDC(item.hDC);
    HGDIOBJ old = SelectObject(source, logo);
    const int width = MulDiv(form::kLogoWidth, static_cast<int>(dpi()), 96);
    const int height = MulDiv(form::kLogoHeight, static_cast<int>(dpi()), 96);
    SetStretchBltMode(item.hDC, HALFTONE);
    StretchBlt(item.hDC, 0, 0, width, height, source, 0, 0, form::kLogoWidth, form::kLogoHeight,
               SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
}

bool frmAbout::onStaticColour(HWND control, HDC dc, HBRUSH& brush) {
    if (control != lblLnk || !linkStyled_)
        return false;
    SetTextColor(dc, colorRef(form::kLinkRgb));
    (void)brush;  // the window's own background
    return true;
}

bool frmAbout::onSetCursor(HWND control) {
    if (control != lblLnk)
        return false;
    SetCursor(handCursor());
    return true;
}

void frmAbout::cmdOK_Click() {
    close();
}

void frmAbout::cmdSysInfo_Click() {
    logic_.cmdSysInfo_Click();
}

void frmAbout::lblLnk_Click() {
    logic_.lblLnk_Click();
}

bool frmAbout::GetKeyValue(RegKey KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                           std::string& KeyVal) {
    return about::GetKeyValue(registry(), KeyRoot, KeyName, SubKeyRef, KeyVal);
}

}  // namespace trelvo::win32
