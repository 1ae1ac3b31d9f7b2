// What the main window decides, without any window: MainFormLogic over controls that only
// remember what they were told, so the same checks hold for every toolkit.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "engine/fields.h"
#include "engine/report.h"
#include "mainwin/design.h"
#include "mainwin/mainlogic.h"

namespace form = trelvo::design::mainForm;
using trelvo::CheckValue;
using trelvo::Icon;
using trelvo::Report;

namespace {

// The controls as plain values, keyed by the design's names, with a log of what was asked.
class FakeControls final : public trelvo::MainFormControls {
public:
    std::string text(const trelvo::design::Control& box) const override {
        const auto it = texts.find(box.name);
        return it == texts.end() ? std::string() : it->second;
    }
    void setText(const trelvo::design::Control& box, const std::string& value) override {
        texts[box.name] = value;
        setTexts.push_back(box.name);
    }
    CheckValue value(const trelvo::design::Control& check) const override {
        const auto it = checks.find(check.name);
        return it == checks.end() ? CheckValue::Unchecked : it->second;
    }
    void setEntryEnabled(const trelvo::design::Control& box, bool on) override {
        enabled[box.name] = on;
        ++enableCalls;
    }
    void fillOpenDialogRequest() override { ++dialogRequests; }
    std::optional<std::string> showOpenDialog() override {
        ++dialogsShown;
        return dialogAnswer;
    }
    void showBox(const Report& report) override {
        boxes.push_back(report);
        busyDuringBox.push_back(busy);
    }
    void setBusy(bool on) override { busy = on; }

    std::map<std::string, std::string> texts;
    std::map<std::string, CheckValue> checks;
    std::map<std::string, bool> enabled;
    std::vector<std::string> setTexts;
    int enableCalls = 0;
    int dialogRequests = 0;
    int dialogsShown = 0;
    std::optional<std::string> dialogAnswer;
    std::vector<Report> boxes;
    std::vector<bool> busyDuringBox;
    bool busy = false;
};

// A window as it stands after loading, with the design's entries in the four boxes.
struct Loaded {
    Loaded() {
        for (const auto* box :
             {&form::tbxOldLyr, &form::tbxNewLyr, &form::tbxOldWd, &form::tbxNewWd})
            w.texts[box->name] = box->caption;
        logic.Form_Load();
    }
    FakeControls w;
    trelvo::MainFormLogic logic{w};
};

void expectUserEntryBox(const FakeControls& w) {
    ASSERT_EQ(w.boxes.size(), 1u);
    EXPECT_EQ(w.boxes[0].text, "Invalid or empty entry boxes -please enter values for processing.");
    EXPECT_EQ(w.boxes[0].title, "User entry error");
    EXPECT_EQ(w.boxes[0].icon, Icon::Warning);
}

}  // namespace

TEST(MainFormLogic, LoadTurnsTheLayerPairOnAndTheWidthPairOffAndPreparesTheDialog) {
    FakeControls w;
    trelvo::MainFormLogic logic(w);
    logic.Form_Load();
    EXPECT_TRUE(logic.EnLyr);
    EXPECT_FALSE(logic.EnWd);
    EXPECT_EQ(w.dialogRequests, 1);
    EXPECT_EQ(w.dialogsShown, 0);
    EXPECT_TRUE(w.boxes.empty());
}

// A pair's check box, the click handler that reads it, and the state flag it sets.
struct PairCase {
    const char* name;
    const trelvo::design::mainForm::Pair* pair;
    void (trelvo::MainFormLogic::*click)();
    bool trelvo::MainFormState::*flag;
    CheckValue value;
};

void PrintTo(const PairCase& c, std::ostream* os) {
    *os << c.name;
}

class PairClick : public ::testing::TestWithParam<PairCase> {};

TEST_P(PairClick, EnablesOrGreysBothBoxesOfItsPairOnly) {
    const PairCase& c = GetParam();
    for (const bool before : {false, true}) {
        Loaded l;
        l.logic.*c.flag = before;
        l.w.checks[c.pair->check.name] = c.value;
        (l.logic.*c.click)();
        if (c.value == CheckValue::Greyed) {
            // Never the result of a click: nothing is touched.
            EXPECT_EQ(l.w.enableCalls, 0);
            EXPECT_EQ(l.logic.*c.flag, before);
            continue;
        }
        const bool on = c.value == CheckValue::Checked;
        EXPECT_EQ(l.w.enableCalls, 2);
        EXPECT_EQ(l.w.enabled.at(c.pair->oldBox.name), on);
        EXPECT_EQ(l.w.enabled.at(c.pair->newBox.name), on);
        EXPECT_EQ(l.logic.*c.flag, on);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, PairClick,
    ::testing::Values(
        PairCase{"LayerChecked", &form::kLayerPair, &trelvo::MainFormLogic::chkEnLyr_Click,
                 &trelvo::MainFormState::EnLyr, CheckValue::Checked},
        PairCase{"LayerUnchecked", &form::kLayerPair, &trelvo::MainFormLogic::chkEnLyr_Click,
                 &trelvo::MainFormState::EnLyr, CheckValue::Unchecked},
        PairCase{"LayerGreyed", &form::kLayerPair, &trelvo::MainFormLogic::chkEnLyr_Click,
                 &trelvo::MainFormState::EnLyr, CheckValue::Greyed},
        PairCase{"WidthChecked", &form::kWidthPair, &trelvo::MainFormLogic::chkEnWd_Click,
                 &trelvo::MainFormState::EnWd, CheckValue::Checked},
        PairCase{"WidthUnchecked", &form::kWidthPair, &trelvo::MainFormLogic::chkEnWd_Click,
                 &trelvo::MainFormState::EnWd, CheckValue::Unchecked},
        PairCase{"WidthGreyed", &form::kWidthPair, &trelvo::MainFormLogic::chkEnWd_Click,
                 &trelvo::MainFormState::EnWd, CheckValue::Greyed}),
    [](const ::testing::TestParamInfo<PairCase>& info) { return std::string(info.param.name); });

TEST(MainFormLogic, TypingAnInputNameFollowsItAndDerivesNoOutputName) {
    Loaded l;
    l.w.texts[form::tbxFileOut.name] = "kept.d";
    l.w.texts[form::tbxFileOpen.name] = " parts.d ";
    l.logic.tbxFileOpen_Change();
    EXPECT_EQ(l.logic.InFileName, " parts.d ");  // as typed, blanks and all
    EXPECT_EQ(l.logic.OutFileName, "");
    EXPECT_TRUE(l.w.setTexts.empty());  // only Browse fills the output box
    EXPECT_EQ(l.w.texts[form::tbxFileOut.name], "kept.d");

    l.logic.tbxFileOut_Change();
    EXPECT_EQ(l.logic.OutFileName, "kept.d");
    EXPECT_TRUE(l.w.boxes.empty());
}

TEST(MainFormLogic, BrowseTrimsTheChoiceAndDerivesTheOutputName) {
    Loaded l;
    l.w.dialogAnswer = "  lib.v2.D  ";
    l.logic.btnFileOpen_Click();
    EXPECT_EQ(l.w.dialogsShown, 1);
    EXPECT_EQ(l.logic.InFileName, "lib.v2.D");
    EXPECT_EQ(l.logic.OutFileName, "lib.v2_new.d");
    EXPECT_EQ(l.w.texts[form::tbxFileOpen.name], "lib.v2.D");
    EXPECT_EQ(l.w.texts[form::tbxFileOut.name], "lib.v2_new.d");
    EXPECT_EQ(l.w.setTexts, (std::vector<std::string>{"tbxFileOpen", "tbxFileOut"}));
    EXPECT_TRUE(l.w.boxes.empty());
}

TEST(MainFormLogic, BrowseOfAnAllBlankChoiceEmptiesTheInputAndKeepsTheOutput) {
    Loaded l;
    l.w.texts[form::tbxFileOut.name] = "kept.d";
    l.w.dialogAnswer = "   ";
    l.logic.btnFileOpen_Click();
    EXPECT_EQ(l.w.texts[form::tbxFileOpen.name], "");
    EXPECT_EQ(l.logic.InFileName, "");
    EXPECT_EQ(l.w.texts[form::tbxFileOut.name], "kept.d");
    EXPECT_EQ(l.w.setTexts, (std::vector<std::string>{"tbxFileOpen"}));
    EXPECT_TRUE(l.w.boxes.empty());
}

// The entry check as Run makes it: which boxes are filled in, which pairs take part.
struct EntryCase {
    const char* name;
    const char* in;
    const char* out;
    bool layerOn, widthOn;
    const char* oldLyr;
    const char* newLyr;
    const char* oldWd;
    const char* newWd;
    bool valid;
};

void PrintTo(const EntryCase& c, std::ostream* os) {
    *os << c.name;
}

class EntryCheck : public ::testing::TestWithParam<EntryCase> {};

TEST_P(EntryCheck, ShowsTheUserEntryBoxOnceOrNothing) {
    const EntryCase& c = GetParam();
    Loaded l;
    l.logic.InFileName = c.in;
    l.logic.OutFileName = c.out;
    l.logic.EnLyr = c.layerOn;
    l.logic.EnWd = c.widthOn;
    l.w.texts[form::tbxOldLyr.name] = c.oldLyr;
    l.w.texts[form::tbxNewLyr.name] = c.newLyr;
    l.w.texts[form::tbxOldWd.name] = c.oldWd;
    l.w.texts[form::tbxNewWd.name] = c.newWd;
    l.w.busy = true;  // as Run has it
    EXPECT_EQ(l.logic.Valid_Entries(), c.valid);
    if (c.valid) {
        EXPECT_TRUE(l.w.boxes.empty());
        return;
    }
    expectUserEntryBox(l.w);
    EXPECT_FALSE(l.w.busyDuringBox[0]);  // the box is never under the busy cursor
}

INSTANTIATE_TEST_SUITE_P(
    Entries, EntryCheck,
    ::testing::Values(
        EntryCase{"AllFilled", "in.d", "out.d", true, true, "26", "1", "10", "5", true},
        EntryCase{"NoInputName", "", "out.d", true, false, "26", "1", "10", "5", false},
        EntryCase{"NoOutputName", "in.d", "", true, false, "26", "1", "10", "5", false},
        EntryCase{"OldLayerEmpty", "in.d", "out.d", true, false, "", "1", "10", "5", false},
        EntryCase{"NewLayerNotALayer", "in.d", "out.d", true, false, "26", "1:3", "10", "5", false},
        EntryCase{"NewWidthNegative", "in.d", "out.d", false, true, "26", "1", "10", "-3", false},
        EntryCase{"DisabledPairsMayBeEmpty", "in.d", "out.d", false, false, "", "", "", "", true},
        EntryCase{"BlankCountsAsFilled", "in.d", "out.d", true, false, " ", "1", "", "", true}),
    [](const ::testing::TestParamInfo<EntryCase>& info) { return std::string(info.param.name); });

TEST(MainFormLogic, RunWithEmptyEntriesShowsOneBoxAndEndsNotBusy) {
    Loaded l;
    l.logic.btnRun_Click();
    expectUserEntryBox(l.w);
    EXPECT_FALSE(l.w.busyDuringBox[0]);
    EXPECT_FALSE(l.w.busy);
    EXPECT_EQ(l.logic.InFileNum, 0);  // nothing was opened
    EXPECT_FALSE(l.logic.OpenErr);
}

TEST(MainFormLogic, BrowseBoxesAreWarnings) {
    const Report none = trelvo::noFileSelected();
    EXPECT_EQ(none.text, "No file selected");
    EXPECT_EQ(none.title, "File select error");
    EXPECT_EQ(none.icon, Icon::Warning);
    const Report overwrite = trelvo::overwriteWarning();
    EXPECT_EQ(overwrite.text,
              "New filename exists and will be OVERWRITTEN -\rChange filename to prevent "
              "overwrite.");
    EXPECT_EQ(overwrite.title, "Overwrite File?");
    EXPECT_EQ(overwrite.icon, Icon::Warning);
}

TEST(MainFormLogic, FileNamesAreTrimmedOfSpacesAtBothEndsOnly) {
    EXPECT_EQ(trelvo::trimSpaces("  a b.d "), "a b.d");
    EXPECT_EQ(trelvo::trimSpaces("\ta.d"), "\ta.d");  // only spaces count as blanks
    EXPECT_EQ(trelvo::trimSpaces("    "), "");
    EXPECT_EQ(trelvo::trimSpaces(""), "");
}
