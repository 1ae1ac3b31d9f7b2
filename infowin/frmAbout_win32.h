// The About window, Win32 edition: program title, version and description, the logo, a link to
// the program's web page and a button that starts the System Information tool. Its load steps
// and the tool's lookup are the shared ones.
#pragma once

#include <string>

#include "platform/registry.h"
#include "ui/win32/ui_win32.h"

class frmAbout : public trelvo::win32::Window {
public:
    explicit frmAbout(HWND owner);

    // Shows a new window modally over owner and returns when the user has closed it; the
    // window is gone by then, so the next showing runs its load steps again.
    static void showModal(HWND owner);

    // Finds the System Information tool through the registry and starts it, or tells the user
    // that it is unavailable.
    void StartSysInfo();

    // Reads one registry value as text into KeyVal (see about::GetKeyValue).
    bool GetKeyValue(trelvo::RegKey KeyRoot, const std::string& KeyName,
                     const std::string& SubKeyRef, std::string& KeyVal);

    // Asks the desktop to open URL; the result is ShellExecute's (above 32 means success).
    int HyprLnk(const std::string& URL);

    HWND picIcon = nullptr;
    HWND lblTitle = nullptr;
    HWND lblVersion = nullptr;
    HWND lblDescription = nullptr;
    HWND lblDisclaimer = nullptr;
    HWND lblLnk = nullptr;
    HWND cmdOK = nullptr;
    HWND cmdSysInfo = nullptr;

private:
    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();
    void lblLnk_Click();

    void onCommand(const trelvo::design::Control& c, WORD code) override;
    // cmdOK is the default and the cancel button.
    bool onKey(const MSG& msg) override;
    void onPaint(HDC dc) override;
    void onDrawItem(const DRAWITEMSTRUCT& item) override;
    bool onStaticColour(HWND control, HDC dc, HBRUSH& brush) override;
    bool onSetCursor(HWND control) override;
    void onLayout() override;

    bool linkStyled_ = false;  // the load steps have made lblLnk a link
};
