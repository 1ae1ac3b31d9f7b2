// The Licence Agreement window, Win32 edition: the terms-of-use disclaimer in a read-only box.
#pragma once

#include "infowin/design.h"
#include "infowin/textwindow_win32.h"

namespace trelvo::win32 {

class frmLicAgmt : public TextWindow {
public:
    explicit frmLicAgmt(HWND owner);

    // Shows a new window modally over owner and returns when the user has closed it; the
    // window is gone by then, so the next showing has the design size again.
    static void showModal(HWND owner);

#define TRELVO_DECLARE(name) HWND name = nullptr;
    TRELVO_LICENCE_FORM_CONTROLS(TRELVO_DECLARE)
#undef TRELVO_DECLARE

private:
    void btnClose_Click();

    void onCommand(const design::Control& c, WORD code) override;
};

}  // namespace trelvo::win32
