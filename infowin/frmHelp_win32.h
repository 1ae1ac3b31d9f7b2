// The Help window, Win32 edition: the fixed user guide and the way to the About and Licence
// Agreement windows, made from the shared design.
#pragma once

#include "infowin/design.h"
#include "infowin/textwindow_win32.h"

namespace trelvo::win32 {

class frmHelp : public TextWindow {
public:
    explicit frmHelp(HWND owner);

    // Shows a new window modally over owner and returns when the user has closed it; the
    // window is gone by then, so the next showing starts again at the top of the text.
    static void showModal(HWND owner);

#define TRELVO_DECLARE(name) HWND name = nullptr;
    TRELVO_HELP_FORM_CONTROLS(TRELVO_DECLARE)
#undef TRELVO_DECLARE

private:
    void btnClose_Click();
    void btnAbout_Click();
    void Command1_Click();

    void onCommand(const design::Control& c, WORD code) override;
};

}  // namespace trelvo::win32
