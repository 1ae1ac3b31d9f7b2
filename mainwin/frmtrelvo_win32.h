// The program's working window, Win32 edition: the same design and the same logic as the Qt
// window, with native controls. Its handlers forward to the shared window logic.
#pragma once

#include "mainwin/filedialog_win32.h"
#include "mainwin/mainlogic.h"
#include "ui/win32/ui_win32.h"

class frmTrelvo : public trelvo::win32::Window, private trelvo::MainFormControls {
public:
    frmTrelvo();
    ~frmTrelvo() override;

    // The run state and the dialog request, for whoever needs to look at them (the tests).
    const trelvo::MainFormState& state() const { return logic_; }
    const trelvo::win32::OpenFileRequest& openDialogRequest() const { return OpenDlgRec; }

    // Shows the window and gives the focus to Run.
    void show();

    // The controls, as named members.
    HWND Label5 = nullptr;
    HWND Frame1 = nullptr;
    HWND Label1 = nullptr;
    HWND tbxOldLyr = nullptr;
    HWND Label2 = nullptr;
    HWND tbxNewLyr = nullptr;
    HWND Label8 = nullptr;
    HWND chkEnLyr = nullptr;
    HWND Frame2 = nullptr;
    HWND Label3 = nullptr;
    HWND tbxOldWd = nullptr;
    HWND Label4 = nullptr;
    HWND tbxNewWd = nullptr;
    HWND Label9 = nullptr;
    HWND chkEnWd = nullptr;
    HWND Frame3 = nullptr;
    HWND Label6 = nullptr;
    HWND tbxFileOpen = nullptr;
    HWND btnFileOpen = nullptr;
    HWND Label7 = nullptr;
    HWND tbxFileOut = nullptr;
    HWND btnRun = nullptr;
    HWND btnClose = nullptr;
    HWND btnHelp = nullptr;
    HWND Frame4 = nullptr;
    HWND Label10 = nullptr;

private:
    void chkEnLyr_Click();
    void chkEnWd_Click();
    void tbxFileOpen_Change();
    void tbxFileOut_Change();
    void btnRun_Click();
    void btnFileOpen_Click();
    void btnHelp_Click();
    void btnClose_Click();

    void onCommand(const trelvo::design::Control& c, WORD code) override;
    bool onKey(const MSG& msg) override;
    void onDestroy() override;

    // The controls the shared logic works on.
    std::string text(const trelvo::design::Control& box) const override;
    void setText(const trelvo::design::Control& box, const std::string& text) override;
    trelvo::CheckValue value(const trelvo::design::Control& check) const override;
    void setEntryEnabled(const trelvo::design::Control& box, bool enabled) override;
    void fillOpenDialogRequest() override;
    std::optional<std::string> showOpenDialog() override;
    void showBox(const trelvo::Report& report) override;
    void setBusy(bool busy) override;

    trelvo::win32::OpenFileRequest OpenDlgRec;
    trelvo::MainFormLogic logic_{*this};
};
