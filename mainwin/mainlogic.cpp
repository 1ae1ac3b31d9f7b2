#include "mainwin/mainlogic.h"

#include <exception>

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

std::string trimBlanks(std::string_view path) {
    const auto first = path.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return std::string(path.substr(first, path.find_last_not_of(' ') - first + 1));
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

RunContext MainFormLogic::runContext() {
    return {files_, [this](const Report& r) { report(r); }};
}

bool MainFormLogic::Valid_Entries() {
    const EntryTexts entries{w_.text(form::tbxOldLyr), w_.text(form::tbxNewLyr),
                             w_.text(form::tbxOldWd), w_.text(form::tbxNewWd)};
    return trelvo::Valid_Entries(*this, entries, runContext().report);
}

void MainFormLogic::Open_Dfile() {
    RunContext ctx = runContext();
    trelvo::Open_Dfile(*this, ctx);
}

void MainFormLogic::Close_IO() {
    trelvo::Close_IO(*this, files_);
}

void MainFormLogic::Read_DFile(std::string_view old_lyr, std::string_view new_lyr,
                               std::string_view old_wd, std::string_view new_wd) {
    RunContext ctx = runContext();
    trelvo::Read_DFile(*this, ctx, old_lyr, new_lyr, old_wd, new_wd);
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
        InFileName = trimBlanks(*chosen);
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
