// The Help window, Win32 edition: the fixed user guide and the way to the About and Licence
// Agreement windows, made from the shared design.
#pragma once

#include "ui/win32/ui_win32.h"

class frmHelp : public trelvo::win32::Window {
public:
    explicit frmHelp(HWND owner);

    // Shows a new window modally over owner and returns when the user has closed it; the
    // window is gone by then, so the next showing starts again at the top of the text.
    static void showModal(HWND owner);

    HWND tbxHelp = nullptr;
    HWND btnClose = nullptr;
    HWND btnAbout = nullptr;
    HWND Command1 = nullptr;

private:
    void btnClose_Click();
    void btnAbout_Click();
    void Command1_Click();

    void onCommand(const trelvo::design::Control& c, WORD code) override;
    // No default or cancel button: Enter and Escape leave the window open.
    bool onKey(const MSG& msg) override;
};
