// The About window, Win32 edition: program title, version and description, the logo, a link to
// the program's web page and a button that starts the System Information tool. Its load steps and
// handlers are the shared ones (AboutFormLogic); it paints the logo, the rules and the link.
#pragma once

#include <string>

#include "infowin/aboutlogic.h"
#include "infowin/design.h"
#include "platform/registry.h"
#include "ui/win32/ui_win32.h"

namespace trelvo::win32 {

class frmAbout : public Window, private AboutFormControls {
public:
    explicit frmAbout(HWND owner);

    // Shows a new window modally over owner and returns when the user has closed it; the
    // window is gone by then, so the next showing runs its load steps again.
    static void showModal(HWND owner);

    // Finds the System Information tool through the registry and starts it, or tells the user
    // that it is unavailable.
    void StartSysInfo() { logic_.StartSysInfo(); }

    // Reads one registry value as text into KeyVal (see about::GetKeyValue).
    bool GetKeyValue(RegKey KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                     std::string& KeyVal);

    // Asks the desktop to open URL; the result is ShellExecute's (above 32 means success).
    int HyprLnk(const std::string& URL) { return logic_.HyprLnk(URL); }

#define TRELVO_DECLARE(name) HWND name = nullptr;
    TRELVO_ABOUT_FORM_CONTROLS(TRELVO_DECLARE)
#undef TRELVO_DECLARE

private:
    void cmdOK_Click();
    void cmdSysInfo_Click();
    void lblLnk_Click();

    void onCommand(const design::Control& c, WORD code) override;
    // cmdOK is the default and the cancel button.
    bool onKey(const MSG& msg) override;
    void onPaint(HDC dc) override;
    void onDrawItem(const DRAWITEMSTRUCT& item) override;
    bool onStaticColour(HWND control, HDC dc, HBRUSH& brush) override;
    bool onSetCursor(HWND control) override;
    void onLayout() override;

    // The controls the shared logic works on.
    void setCaption(const std::string& caption) override;
    std::string text(const design::Control& label) const override;
    void setText(const design::Control& label, const std::string& text) override;
    void styleAsLink(const design::Control& label) override;
    void showBox(const Report& report) override;

    AboutFormLogic logic_{*this};
    bool linkStyled_ = false;  // the load steps have made lblLnk a link
};

}  // namespace trelvo::win32
