#include "mainwin/mainlogic.h"

#include <exception>

#include "engine/fields.h"
#include "engine/messages.h"
#include "engine/output_name.h"
#include "engine/rules.h"
#include "engine/run.h"
#include "engine/update.h"
#include "mainwin/design.h"
#include "platform/desktop.h"

namespace trelvo {

namespace form = design::mainForm;

Report noFileSelected() {
    return {"No file selected", "File select error", Icon::Warning};
}

Report overwriteWarning() {
    return {"New filename exists and will be OVERWRITTEN -\rChange filename to prevent overwrite.",
            "Overwrite File?", Icon::Warning};
}

void MainFormLogic::Form_Load() {
    EnLyr = true;
    EnWd = false;
    w_.fillOpenDialogRequest();
}

void MainFormLogic::enablePair(const design::Control& check, const design::Control& oldBox,
                               const design::Control& newBox, bool& flag) {
    switch (w_.value(check)) {
        case CheckValue::Unchecked:
            w_.setEntryEnabled(oldBox, false);
            w_.setEntryEnabled(newBox, false);
            flag = false;
            break;
        case CheckValue::Checked:
            w_.setEntryEnabled(oldBox, true);
            w_.setEntryEnabled(newBox, true);
            flag = true;
            break;
        case CheckValue::Greyed:  // never the result of a click: leave everything as it is
            break;
    }
}

void MainFormLogic::chkEnLyr_Click() {
    enablePair(form::kLayerPair.check, form::kLayerPair.oldBox, form::kLayerPair.newBox, EnLyr);
}

void MainFormLogic::chkEnWd_Click() {
    enablePair(form::kWidthPair.check, form::kWidthPair.oldBox, form::kWidthPair.newBox, EnWd);
}

void MainFormLogic::tbxFileOpen_Change() {
    InFileName = w_.text(form::tbxFileOpen);
}

void MainFormLogic::tbxFileOut_Change() {
    OutFileName = w_.text(form::tbxFileOut);
}

void MainFormLogic::report(const Report& r) {
    w_.setBusy(false);  // the box is the end of the run; it must not show the busy cursor
    w_.showBox(r);
}

bool MainFormLogic::Valid_Entries() {
    const std::string old_lyr = w_.text(form::tbxOldLyr), new_lyr = w_.text(form::tbxNewLyr);
    const std::string old_wd = w_.text(form::tbxOldWd), new_wd = w_.text(form::tbxNewWd);
    const bool ok = !InFileName.empty() && !OutFileName.empty() &&
                    pairEntriesValid({EnLyr, EnWd, old_lyr, new_lyr, old_wd, new_wd});
    if (!ok)
        report(messages::userEntryError());
    return ok;
}

void MainFormLogic::Open_Dfile() {
    OpenErr = false;
    InFileNum = files_.FreeFile();
    if (!files_.OpenInput(InFileNum, InFileName)) {
        report(messages::fileReadError());
        OpenErr = true;
    }
}

void MainFormLogic::Close_IO() {
    files_.Close(InFileNum);
    if (OutFileNum != InFileNum)
        files_.Close(OutFileNum);
}

// The run's files are this window's channels: the input that Open_Dfile opened, the output on
// the next free channel, both closed by Close_IO.
class MainFormLogic::Channels final : public RunFiles {
public:
    explicit Channels(MainFormLogic& form) : f_(form) {}
    ByteSource* openInput(const std::string&, std::string&) override {
        return f_.files_.Source(f_.InFileNum);
    }
    ByteSink* openOutput(const std::string& path, std::string&) override {
        f_.OutFileNum = f_.files_.FreeFile();
        // The new file replaces one of that name only when the pass has succeeded.
        return f_.files_.OpenStagedOutput(f_.OutFileNum, path) ? f_.files_.Sink(f_.OutFileNum)
                                                                : nullptr;
    }
    bool commit(std::string&) override { return f_.files_.Commit(f_.OutFileNum); }
    void close() override { f_.Close_IO(); }

private:
    MainFormLogic& f_;
};

void MainFormLogic::Read_DFile(std::string_view old_lyr, std::string_view new_lyr,
                               std::string_view old_wd, std::string_view new_wd) {
    Channels channels(*this);
    const RunResult r = runLibrary({InFileName, OutFileName, false,
                                    {EnLyr, EnWd, std::string(old_lyr), std::string(new_lyr),
                                     std::string(old_wd), std::string(new_wd)}},
                                   channels);
    report(messages::forOutcome(r.outcome, r.pass.decals, OutFileName));
}

void MainFormLogic::btnRun_Click() {
    w_.setBusy(true);
    if (Valid_Entries()) {
        Open_Dfile();
        if (!OpenErr) {
            // As they stand in the boxes, also for a disabled pair: the pass decides what counts.
            const std::string old_lyr = w_.text(form::tbxOldLyr);
            const std::string new_lyr = w_.text(form::tbxNewLyr);
            const std::string old_wd = w_.text(form::tbxOldWd);
            const std::string new_wd = w_.text(form::tbxNewWd);
            Read_DFile(old_lyr, new_lyr, old_wd, new_wd);
        }
    }
    w_.setBusy(false);
}

void MainFormLogic::btnFileOpen_Click() {
    try {
        const std::optional<std::string> chosen = w_.showOpenDialog();
        if (!chosen) {
            w_.showBox(noFileSelected());
            return;
        }
        InFileName = std::string(trimSpaces(*chosen));
        w_.setText(form::tbxFileOpen, InFileName);

        const std::optional<std::string> derived = DeriveOutputName(InFileName);
        if (!derived)
            return;  // any other ending: the output box keeps what it holds
        OutFileName = *derived;
        w_.setText(form::tbxFileOut, OutFileName);
        // A run empties whatever it writes to, hidden and system files included, so the user
        // hears of every file of that name, not only of ordinary ones.
        if (existsAsFile(OutFileName))
            w_.showBox(overwriteWarning());
    } catch (const std::exception&) {
        w_.showBox(noFileSelected());
    }
}

}  // namespace trelvo
