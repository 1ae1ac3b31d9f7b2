// The design of the main window frmTrelvo, shared by the Qt and the Win32 window: every control
// with its caption, twip geometry, tab index, tool tip and initial state, and what the Browse
// dialog is asked for.
#pragma once

#include <cstddef>

#include "ui/windesign.h"
#include "trelvo_version.h"

namespace trelvo::design::mainForm {

using design::Control;
using enum design::Kind;

inline constexpr Window window{"frmTrelvo",
                               "Trelvo",
                               4335,
                               4875,
                               Border::FixedSingle,
                               true,
                               false,
                               true,
                               Placement::CentreScreen};

inline constexpr const char* kLayerTip = "Layer # (0-30)";
inline constexpr const char* kWidthTip =
    "Valid entry mils: >0; <= 250 (6.35mm) -append mm for metric";

// clang-format off
inline constexpr Control Label5{"Label5", Label, nullptr, "PADS PowerPCB PCB Lib Trelvo", 120, 120, 4095, 255, 12};

inline constexpr Control Frame1{"Frame1", Frame, nullptr, "Layer", 120, 480, 1815, 1575, 2};
inline constexpr Control Label1{"Label1", Label, &Frame1, "Old Layer", 240, 360, 855, 255, 6};
inline constexpr Control tbxOldLyr{"tbxOldLyr", TextBox, &Frame1, "0", 1200, 300, 495, 300, 4, kLayerTip};
inline constexpr Control Label2{"Label2", Label, &Frame1, "New Layer", 240, 840, 855, 255, 5};
inline constexpr Control tbxNewLyr{"tbxNewLyr", TextBox, &Frame1, "1", 1200, 800, 495, 300, 3, kLayerTip};
inline constexpr Control Label8{"Label8", Label, &Frame1, "Enable", 240, 1200, 615, 255, 25};
inline constexpr Control chkEnLyr{"chkEnLyr", CheckBox, &Frame1, "", 840, 1200, 255, 255, 24, nullptr, true, true};

inline constexpr Control Frame2{"Frame2", Frame, nullptr, "Line Width", 2040, 480, 2175, 1575, 7};
inline constexpr Control Label3{"Label3", Label, &Frame2, "Old Width", 240, 360, 855, 255, 10};
inline constexpr Control tbxOldWd{"tbxOldWd", TextBox, &Frame2, "10", 1200, 300, 855, 300, 8, kWidthTip, false};
inline constexpr Control Label4{"Label4", Label, &Frame2, "New Width", 240, 840, 855, 255, 11};
inline constexpr Control tbxNewWd{"tbxNewWd", TextBox, &Frame2, "5", 1200, 800, 855, 300, 9, kWidthTip, false};
inline constexpr Control Label9{"Label9", Label, &Frame2, "Enable", 240, 1200, 615, 255, 21};
inline constexpr Control chkEnWd{"chkEnWd", CheckBox, &Frame2, "", 840, 1200, 255, 255, 20, nullptr, true, false};

inline constexpr Control Frame3{"Frame3", Frame, nullptr, "", 120, 2160, 4095, 1695, 13};
inline constexpr Control Label6{"Label6", Label, &Frame3, "Old *.d file", 240, 240, 975, 255, 17};
inline constexpr Control tbxFileOpen{"tbxFileOpen", TextBox, &Frame3, "", 240, 480, 2655, 300, 16, "Decal file to update (read)."};
inline constexpr Control btnFileOpen{"btnFileOpen", Button, &Frame3, "Browse", 3000, 480, 855, 325, 15, "Directory navigation"};
inline constexpr Control Label7{"Label7", Label, &Frame3, "New *.d file", 240, 960, 975, 255, 18};
inline constexpr Control tbxFileOut{"tbxFileOut", TextBox, &Frame3, "", 240, 1200, 2655, 300, 14, "Write to updated file."};

inline constexpr Control btnRun{"btnRun", Button, nullptr, "Run", 480, 4080, 975, 325, 0, "Update lib file."};
inline constexpr Control btnClose{"btnClose", Button, nullptr, "Close", 1680, 4080, 975, 325, 1};
inline constexpr Control btnHelp{"btnHelp", Button, nullptr, "Help", 2760, 4080, 975, 325, 19};

// 30 twips high: drawn as a sunken divider line above the credit line.
inline constexpr Control Frame4{"Frame4", Frame, nullptr, "", 120, 4560, 4150, 30, 22};
inline constexpr Control Label10{"Label10", Label, nullptr, "Trelvo " TRELVO_VERSION " for PCB librarians", 840, 4620, 2775, 225, 23, TRELVO_HOMEPAGE_URL};
// clang-format on

// Every control by its design name, top to bottom, each frame followed by what it holds. The
// list is written once: kControls is made from it, and each toolkit's window declares and binds
// its named members from it (a member's kind is its design record's).
#define TRELVO_MAIN_FORM_CONTROLS(X)                                                          \
    X(Label5) X(Frame1) X(Label1) X(tbxOldLyr) X(Label2) X(tbxNewLyr) X(Label8) X(chkEnLyr) \
    X(Frame2) X(Label3) X(tbxOldWd) X(Label4) X(tbxNewWd) X(Label9) X(chkEnWd) X(Frame3)    \
    X(Label6) X(tbxFileOpen) X(btnFileOpen) X(Label7) X(tbxFileOut) X(btnRun) X(btnClose)   \
    X(btnHelp) X(Frame4) X(Label10)

inline constexpr const Control* kControls[] = {TRELVO_MAIN_FORM_CONTROLS(TRELVO_DESIGN_ADDRESS)};
TRELVO_MAIN_FORM_CONTROLS(TRELVO_DESIGN_NAME_CHECK)

// The events the shared window logic answers, by their handlers' names: MainFormLogic has a
// handler of each name, and each toolkit's window one that passes the event on to it.
#define TRELVO_MAIN_FORM_LOGIC_EVENTS(X)                                                      \
    X(chkEnLyr_Click) X(chkEnWd_Click) X(tbxFileOpen_Change) X(tbxFileOut_Change) X(btnRun_Click) \
    X(btnFileOpen_Click)

// The entry pairs an Enable box switches, each with the flag of the run state it sets.
struct Pair {
    const Control& check;
    const Control& oldBox;
    const Control& newBox;
};
inline constexpr Pair kLayerPair{chkEnLyr, tbxOldLyr, tbxNewLyr};
inline constexpr Pair kWidthPair{chkEnWd, tbxOldWd, tbxNewWd};

// What Browse asks the file-open dialog for.
inline constexpr const char* kOpenDialogTitle = "Open Exported Decal File";
inline constexpr FileFilter kOpenDialogFilters[] = {{"Decal Files (*.d)", "*.d"},
                                                    {"All Files (*.*)", "*.*"}};
inline constexpr int kOpenDialogFilterIndex = 0;  // "Decal Files (*.d)" is active
// Room for a path of this many characters; the buffer holds one more for the terminator.
inline constexpr std::size_t kOpenDialogPathChars = 254;

}  // namespace trelvo::design::mainForm
