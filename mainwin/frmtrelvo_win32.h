// The program's working window, Win32 edition: the same design and the same logic as the Qt
// window, with native controls. Its handlers forward to the shared window logic.
#pragma once

#include "mainwin/design.h"
#include "mainwin/filedialog_win32.h"
#include "mainwin/mainlogic.h"
#include "ui/win32/ui_win32.h"

namespace trelvo::win32 {

class frmTrelvo : public Window, private MainFormControls {
public:
    frmTrelvo();
    ~frmTrelvo() override;

    // The run state and the dialog request, for whoever needs to look at them (the tests).
    const MainFormState& state() const { return logic_; }
    const OpenFileRequest& openDialogRequest() const { return OpenDlgRec; }

    // Shows the window and gives the focus to Run.
    void show();

    // The controls, as named members.
#define TRELVO_DECLARE(name) HWND name = nullptr;
    TRELVO_MAIN_FORM_CONTROLS(TRELVO_DECLARE)
#undef TRELVO_DECLARE

private:
#define TRELVO_DECLARE(handler) void handler();
    TRELVO_MAIN_FORM_LOGIC_EVENTS(TRELVO_DECLARE)
#undef TRELVO_DECLARE
    void btnHelp_Click();
    void btnClose_Click();

    void onCommand(const design::Control& c, WORD code) override;
    bool onKey(const MSG& msg) override;
    void onDestroy() override;

    // The controls the shared logic works on.
    std::string text(const design::Control& box) const override;
    void setText(const design::Control& box, const std::string& text) override;
    CheckValue value(const design::Control& check) const override;
    void setEntryEnabled(const design::Control& box, bool enabled) override;
    void fillOpenDialogRequest() override;
    std::optional<std::string> showOpenDialog() override;
    void showBox(const Report& report) override;
    void setBusy(bool busy) override;

    OpenFileRequest OpenDlgRec;
    MainFormLogic logic_{*this};
};

}  // namespace trelvo::win32
