// The Win32 side of the windows: a window built from a shared design (controls at their twip
// geometry scaled for the monitor's DPI, the dialog font, system colours, tool tips, tab order),
// the modal loop, the keyboard, and the one place where message boxes are shown. Each window of
// the program derives from Window, keeps its controls as named members and forwards its events.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/report.h"
#include "ui/windesign.h"

namespace trelvo::win32 {

// The text of a window or control, as UTF-8.
std::string windowText(HWND hwnd);
void setWindowText(HWND hwnd, std::string_view utf8Text);

class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND hwnd() const { return hwnd_; }
    UINT dpi() const { return dpi_; }

    // The control made from that design record (nullptr when this window has none).
    HWND control(const design::Control& c) const;
    // The design record of a control of this window (nullptr for any other window).
    const design::Control* designOf(HWND control) const;

    // Shows the window modal to owner and returns once it is closed. While it is open the owner
    // takes no input.
    void runModal(HWND owner);

    // Closes (unloads) the window.
    void close();

    // The window's key roles and tab navigation for a message about to be dispatched; true when
    // the message has been dealt with.
    bool preTranslate(MSG& msg);

    // Enables or disables a control and gives it the background a box in that state has:
    // COLOR_WINDOW when enabled, COLOR_INACTIVEBORDER when disabled.
    void setEntryEnabled(const design::Control& box, bool enabled);

    // The system colour index a text box is painted with right now.
    int backgroundColour(HWND control) const;

    // The tool tip text shown for a control (empty when none).
    std::string toolTip(HWND control) const;

    // Sets the wait cursor over the window while true.
    void setBusy(bool busy);

    // The font the controls use: the message font of NONCLIENTMETRICS at this window's DPI.
    HFONT font() const { return font_; }

    // The window that a handle belongs to, if it is one of ours.
    static Window* fromHandle(HWND hwnd);

protected:
    // Creates the window and its controls. Call from the derived constructor.
    void create(const design::Window& design, std::span<const design::Control* const> controls,
                HWND owner, HICON icon);

    // Handlers a window overrides.
    virtual void onCommand(const design::Control& c, WORD code) {
        (void)c;
        (void)code;
    }
    // Enter, Escape and any other key role; true when handled.
    virtual bool onKey(const MSG& msg) {
        (void)msg;
        return false;
    }
    virtual void onPaint(HDC dc) { (void)dc; }
    // Owner-drawn static controls (pictures).
    virtual void onDrawItem(const DRAWITEMSTRUCT& item) { (void)item; }
    // Colours of a static control beyond the default: true when it set them.
    virtual bool onStaticColour(HWND control, HDC dc, HBRUSH& brush) {
        (void)control;
        (void)dc;
        (void)brush;
        return false;
    }
    virtual bool onSetCursor(HWND control) {
        (void)control;
        return false;
    }
    // After the controls were placed anew (created, or moved to a monitor of another DPI).
    virtual void onLayout() {}
    // The window is being destroyed.
    virtual void onDestroy() {}

    // The focused control pressed as a button, when it is one; true if it was.
    bool clickFocusedButton();
    void click(const design::Control& button);

    // Pixels at this window's DPI.
    int px(int twips) const;

    // A variant of the dialog font (for example underlined) that follows DPI changes.
    HFONT underlinedFont() const { return underlined_; }

    virtual LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);

private:
    static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void makeFonts();
    void layout();
    void addToolTips();
    RECT designRect(const design::Control& c) const;

    HWND hwnd_ = nullptr;
    HWND owner_ = nullptr;
    HWND tips_ = nullptr;
    UINT dpi_ = 96;
    HFONT font_ = nullptr;
    HFONT underlined_ = nullptr;
    HWND lastFocus_ = nullptr;
    bool busy_ = false;
    const design::Window* design_ = nullptr;
    std::vector<std::pair<const design::Control*, HWND>> controls_;
    std::map<HWND, int> background_;  // system colour index of each text box
};

// Runs the message loop of the program until the main window ends it; returns the exit code.
int runMessageLoop();

// Tests see each modal window as soon as its loop runs, to look at it and close it.
using ModalHook = std::function<void(Window& window)>;
void setModalHook(ModalHook hook);

// The one place where the program shows a message box: MessageBoxW with an OK button only, the
// icon of the report, and the program title when the report has none. A carriage return in the
// text starts a new line.
class MessageBoxes {
public:
    static void show(HWND owner, const Report& report);

    // Tests install a recorder; while one is installed no real box appears.
    using Recorder = std::function<void(HWND owner, const Report& report)>;
    static void setRecorder(Recorder recorder);

    // The MessageBoxW style of a report.
    static UINT style(const Report& report);
};

// Loads an RCDATA resource of this program as bytes.
std::string_view resourceData(int id);

}  // namespace trelvo::win32
