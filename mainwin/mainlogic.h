// What the main window does, written once for every toolkit: the load defaults, the enable boxes
// of the two pairs, the file boxes' change handlers, Run and Browse. A toolkit's frmTrelvo owns
// one of these, forwards its events to it and lends it its controls through MainFormControls.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/report.h"
#include "files/channels.h"
#include "ui/windesign.h"

namespace trelvo {

// The working state the main window owns, under its own names, in declaration order (the
// file-open dialog request stays with the toolkit's window).
struct MainFormState {
    int16_t InFileNum = 0;    // channel of the open input file
    int16_t OutFileNum = 0;   // channel of the output file
    std::string InFileName;   // follows the input file box
    std::string OutFileName;  // follows the output file box
    bool EnLyr = false;       // the layer pair takes part (set at load)
    bool EnWd = false;        // the width pair takes part (set at load)
    bool OpenErr = false;     // the last attempt to open the input failed
};

// The value of a check box; the greyed third state is never the result of a click.
enum class CheckValue { Unchecked, Checked, Greyed };

// The controls of a toolkit's main window, named by their designs.
class MainFormControls {
public:
    virtual std::string text(const design::Control& box) const = 0;  // UTF-8
    virtual void setText(const design::Control& box, const std::string& text) = 0;
    virtual CheckValue value(const design::Control& check) const = 0;
    // Enables or disables an entry box and gives it the matching background: COLOR_WINDOW when
    // enabled, COLOR_INACTIVEBORDER when disabled.
    virtual void setEntryEnabled(const design::Control& box, bool enabled) = 0;

    // Fills the file-open dialog request (OpenDlgRec) at load: owner, title, filters and the
    // active filter from the design, an empty path buffer.
    virtual void fillOpenDialogRequest() = 0;
    // Shows the file-open dialog with OpenDlgRec; the chosen path, or nothing when the user
    // cancelled or the dialog failed.
    virtual std::optional<std::string> showOpenDialog() = 0;

    // A modal box with an OK button.
    virtual void showBox(const Report& report) = 0;
    // The wait cursor over the application while a run works.
    virtual void setBusy(bool busy) = 0;

protected:
    ~MainFormControls() = default;
};

class MainFormLogic : public MainFormState {
public:
    explicit MainFormLogic(MainFormControls& controls) : w_(controls) {}

    void Form_Load();
    void chkEnLyr_Click();
    void chkEnWd_Click();
    void tbxFileOpen_Change();
    void tbxFileOut_Change();
    void btnRun_Click();
    void btnFileOpen_Click();

    // The steps of a run, with this window's state and files.
    // True when both file names are given and the enabled pairs' entries are filled and can be
    // written (pairEntriesValid); otherwise shows "User entry error" (once).
    bool Valid_Entries();
    // Opens InFileName on the next free channel; on failure shows "File read error" and sets
    // OpenErr.
    void Open_Dfile();
    // Closes the input channel, then the output channel; channels that are not open are skipped.
    void Close_IO();
    // The run on the open input with the four entry texts as typed (runLibrary): checks that a
    // pair is enabled, opens OutFileName on a channel (replaced only when the pass succeeds), runs
    // the pass, closes both files and shows exactly one box.
    void Read_DFile(std::string_view old_lyr, std::string_view new_lyr, std::string_view old_wd,
                    std::string_view new_wd);

private:
    class Channels;  // the run's files on this window's channels
    void enablePair(const design::Control& check, const design::Control& oldBox,
                    const design::Control& newBox, bool& flag);
    void report(const Report& r);

    MainFormControls& w_;
    FileChannels files_;
};

// The boxes of Browse.
Report noFileSelected();
Report overwriteWarning();


}  // namespace trelvo
