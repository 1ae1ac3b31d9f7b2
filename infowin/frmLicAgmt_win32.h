// The Licence Agreement window, Win32 edition: the terms-of-use disclaimer in a read-only box.
#pragma once

#include "ui/win32/ui_win32.h"

class frmLicAgmt : public trelvo::win32::Window {
public:
    explicit frmLicAgmt(HWND owner);

    // Shows a new window modally over owner and returns when the user has closed it; the
    // window is gone by then, so the next showing has the design size again.
    static void showModal(HWND owner);

    HWND tbxHelp = nullptr;
    HWND btnClose = nullptr;

private:
    void btnClose_Click();

    void onCommand(const trelvo::design::Control& c, WORD code) override;
    // No default or cancel button: Enter and Escape leave the window open.
    bool onKey(const MSG& msg) override;
};
