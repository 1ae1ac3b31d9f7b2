// The Win32 main window as the user meets it: layout, captions, tool tips, font and colours,
// state, the enable boxes, focus order, keys, every outcome of Run, Browse, Help and Close.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "infowin/frmHelp_win32.h"
#include "mainwin/design.h"
#include "mainwin/frmtrelvo_win32.h"
#include "test_files.h"
#include "tests/ui/win32/support_win32.h"
#include "ui/twips.h"

using namespace trelvo::test;
using trelvo::win32::frmHelp;
using trelvo::win32::frmTrelvo;
namespace form = trelvo::design::mainForm;

namespace {

struct Expected {
    const char* name;
    const wchar_t* cls;
    int left, top, width, height;  // pixels in the client area at 96 dpi
    const char* text;
};

// Twips of the design divided by 15, frames' offsets added.
const Expected kLayout[] = {
    {"Label5", L"Static", 8, 8, 273, 17, "PADS PowerPCB PCB Lib Trelvo"},
    {"Frame1", L"Button", 8, 32, 121, 105, "Layer"},
    {"Label1", L"Static", 24, 56, 57, 17, "Old Layer"},
    {"tbxOldLyr", L"Edit", 88, 52, 33, 20, "0"},
    {"Label2", L"Static", 24, 88, 57, 17, "New Layer"},
    {"tbxNewLyr", L"Edit", 88, 85, 33, 20, "1"},
    {"Label8", L"Static", 24, 112, 41, 17, "Enable"},
    {"chkEnLyr", L"Button", 64, 112, 17, 17, ""},
    {"Frame2", L"Button", 136, 32, 145, 105, "Line Width"},
    {"Label3", L"Static", 152, 56, 57, 17, "Old Width"},
    {"tbxOldWd", L"Edit", 216, 52, 57, 20, "10"},
    {"Label4", L"Static", 152, 88, 57, 17, "New Width"},
    {"tbxNewWd", L"Edit", 216, 85, 57, 20, "5"},
    {"Label9", L"Static", 152, 112, 41, 17, "Enable"},
    {"chkEnWd", L"Button", 192, 112, 17, 17, ""},
    {"Frame3", L"Button", 8, 144, 273, 113, ""},
    {"Label6", L"Static", 24, 160, 65, 17, "Old *.d file"},
    {"tbxFileOpen", L"Edit", 24, 176, 177, 20, ""},
    {"btnFileOpen", L"Button", 208, 176, 57, 22, "Browse"},
    {"Label7", L"Static", 24, 208, 65, 17, "New *.d file"},
    {"tbxFileOut", L"Edit", 24, 224, 177, 20, ""},
    {"btnRun", L"Button", 32, 272, 65, 22, "Run"},
    {"btnClose", L"Button", 112, 272, 65, 22, "Close"},
    {"btnHelp", L"Button", 184, 272, 65, 22, "Help"},
    {"Frame4", L"Static", 8, 304, 277, 2, ""},
    {"Label10", L"Static", 56, 308, 185, 15, "Trelvo 1.0.2 for PCB librarians"},
};

const char kLayerTip[] = "Layer # (0-30)";
const char kWidthTip[] = "Valid entry mils: >0; <= 250 (6.35mm) -append mm for metric";

const trelvo::design::Control* designNamed(const std::string& name) {
    for (const trelvo::design::Control* c : form::kControls) {
        if (name == c->name)
            return c;
    }
    return nullptr;
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        w.show();
        pump();
    }

    HWND get(const trelvo::design::Control& c) { return w.control(c); }
    void type(const trelvo::design::Control& box, const std::string& text) {
        trelvo::win32::setWindowText(get(box), text);
    }
    std::string text(const trelvo::design::Control& box) { return trelvo::win32::windowText(get(box)); }
    void click(const trelvo::design::Control& c) { SendMessageW(get(c), BM_CLICK, 0, 0); }
    std::string path(const std::string& name) { return winPath(dir.file(name)); }
    void files(const std::string& in, const std::string& out) {
        type(form::tbxFileOpen, path(in));
        type(form::tbxFileOut, path(out));
    }

    frmTrelvo w;
    TempDir dir;
    BoxRecorder boxes;
};

// A sample library of the test data folder; the program stops when it is missing, since every
// case that uses it would fail for that reason alone.
std::string sample(const char* name) {
    std::string bytes = readFile(std::string(TRELVO_TEST_DATA) + "/" + name);
    if (bytes.empty()) {
        std::fprintf(stderr, "sample library %s is missing\n", name);
        std::abort();
    }
    return bytes;
}

// An inch decal with an OPEN piece on layer 26, a metric one with a CLOSED piece on layer 0.
const std::string kLibrary = sample("layer-26-inch-layer-0-metric.d");

}  // namespace

TEST_F(MainWindow, IsAFixedWindowWithTitleIconAndDesignClientSize) {
    EXPECT_EQ(trelvo::win32::windowText(w.hwnd()), "Trelvo");
    const SIZE size = clientSize(w.hwnd());
    EXPECT_EQ(size.cx, 289);
    EXPECT_EQ(size.cy, 325);
    const LONG style = GetWindowLongW(w.hwnd(), GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_EQ(GetWindow(w.hwnd(), GW_OWNER), nullptr);
    EXPECT_NE(SendMessageW(w.hwnd(), WM_GETICON, ICON_BIG, 0), 0);
}

TEST_F(MainWindow, IsCentredOnTheScreen) {
    RECT r;
    GetWindowRect(w.hwnd(), &r);
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    GetMonitorInfoW(MonitorFromWindow(w.hwnd(), MONITOR_DEFAULTTOPRIMARY), &mi);
    EXPECT_LE(std::abs((r.left + r.right) - (mi.rcWork.left + mi.rcWork.right)), 2);
    EXPECT_LE(std::abs((r.top + r.bottom) - (mi.rcWork.top + mi.rcWork.bottom)), 2);
}

TEST_F(MainWindow, EveryControlHasItsKindPlaceAndCaption) {
    ASSERT_EQ(std::size(kLayout), std::size(form::kControls));
    for (const Expected& e : kLayout) {
        SCOPED_TRACE(e.name);
        const trelvo::design::Control* c = designNamed(e.name);
        ASSERT_NE(c, nullptr);
        HWND h = get(*c);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(GetParent(h), w.hwnd());
        EXPECT_EQ(className(h), e.cls);
        const RECT r = clientRect(h);
        EXPECT_EQ(r.left, e.left);
        EXPECT_EQ(r.top, e.top);
        EXPECT_EQ(r.right - r.left, e.width);
        EXPECT_EQ(r.bottom - r.top, e.height);
        EXPECT_EQ(trelvo::win32::windowText(h), e.text);
    }
    // The named members are those controls.
    EXPECT_EQ(w.tbxOldLyr, get(form::tbxOldLyr));
    EXPECT_EQ(w.btnRun, get(form::btnRun));
    EXPECT_EQ(w.Label10, get(form::Label10));
    EXPECT_EQ(w.chkEnWd, get(form::chkEnWd));
}

TEST_F(MainWindow, ControlKindsAreTheNativeOnes) {
    const auto buttonType = [](HWND h) { return GetWindowLongW(h, GWL_STYLE) & BS_TYPEMASK; };
    EXPECT_EQ(buttonType(w.Frame1), BS_GROUPBOX);
    EXPECT_EQ(buttonType(w.Frame3), BS_GROUPBOX);
    EXPECT_EQ(buttonType(w.chkEnLyr), BS_AUTOCHECKBOX);
    EXPECT_EQ(buttonType(w.btnRun), BS_PUSHBUTTON);  // no default button
    EXPECT_EQ(buttonType(w.btnClose), BS_PUSHBUTTON);
    EXPECT_EQ(GetWindowLongW(w.Frame4, GWL_STYLE) & SS_TYPEMASK, SS_ETCHEDHORZ);
    EXPECT_FALSE(GetWindowLongW(w.tbxFileOpen, GWL_STYLE) & ES_MULTILINE);
}

TEST_F(MainWindow, ToolTips) {
    EXPECT_EQ(w.toolTip(w.tbxOldLyr), kLayerTip);
    EXPECT_EQ(w.toolTip(w.tbxNewLyr), kLayerTip);
    EXPECT_EQ(w.toolTip(w.tbxOldWd), kWidthTip);
    EXPECT_EQ(w.toolTip(w.tbxNewWd), kWidthTip);
    EXPECT_EQ(w.toolTip(w.tbxFileOpen), "Decal file to update (read).");
    EXPECT_EQ(w.toolTip(w.btnFileOpen), "Directory navigation");
    EXPECT_EQ(w.toolTip(w.tbxFileOut), "Write to updated file.");
    EXPECT_EQ(w.toolTip(w.btnRun), "Update lib file.");
    EXPECT_EQ(w.toolTip(w.Label10), TRELVO_HOMEPAGE_URL);
    EXPECT_EQ(w.toolTip(w.btnClose), "");
    EXPECT_EQ(w.toolTip(w.Label1), "");
}

TEST_F(MainWindow, EveryControlUsesTheMessageFont) {
    const LOGFONTW want = messageFont();
    for (const trelvo::design::Control* c : form::kControls) {
        if (c->kind == trelvo::design::Kind::Frame && *c->caption == '\0')
            continue;  // the divider line draws no text
        SCOPED_TRACE(c->name);
        const LOGFONTW got = fontOf(get(*c));
        EXPECT_EQ(std::wstring(got.lfFaceName), std::wstring(want.lfFaceName));
        EXPECT_EQ(got.lfHeight, want.lfHeight);
        EXPECT_FALSE(got.lfUnderline);
    }
}

TEST_F(MainWindow, CaptionsFitTheirControls) {
    HDC dc = GetDC(w.hwnd());
    for (const trelvo::design::Control* c : form::kControls) {
        const std::wstring caption = trelvo::widen(c->caption);
        if (caption.empty() || c->kind == trelvo::design::Kind::TextBox)
            continue;
        SCOPED_TRACE(c->name);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(get(*c), WM_GETFONT, 0, 0)));
        SIZE extent;
        GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
        SelectObject(dc, old);
        const RECT r = clientRect(get(*c));
        const int room = (r.right - r.left) - (c->kind == trelvo::design::Kind::Button ? 8 : 0);
        EXPECT_LE(extent.cx, room);
        EXPECT_LE(extent.cy, r.bottom - r.top);
    }
    ReleaseDC(w.hwnd(), dc);
}

TEST_F(MainWindow, StartsWithTheDesignStateAndColours) {
    EXPECT_TRUE(w.state().EnLyr);
    EXPECT_FALSE(w.state().EnWd);
    EXPECT_EQ(SendMessageW(w.chkEnLyr, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(w.chkEnWd, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_TRUE(IsWindowEnabled(w.tbxOldLyr));
    EXPECT_TRUE(IsWindowEnabled(w.tbxNewLyr));
    EXPECT_FALSE(IsWindowEnabled(w.tbxOldWd));
    EXPECT_FALSE(IsWindowEnabled(w.tbxNewWd));
    EXPECT_EQ(w.state().InFileName, "");
    EXPECT_EQ(w.state().OutFileName, "");
    // An enabled edit asks for its colours with WM_CTLCOLOREDIT, a disabled one with
    // WM_CTLCOLORSTATIC.
    for (HWND box : {w.tbxOldLyr, w.tbxNewLyr}) {
        const Painted p = paintedColours(w.hwnd(), box, WM_CTLCOLOREDIT);
        EXPECT_EQ(p.brush, GetSysColorBrush(COLOR_WINDOW));
        EXPECT_EQ(p.back, GetSysColor(COLOR_WINDOW));
    }
    for (HWND box : {w.tbxOldWd, w.tbxNewWd}) {
        const Painted p = paintedColours(w.hwnd(), box, WM_CTLCOLORSTATIC);
        EXPECT_EQ(p.brush, GetSysColorBrush(COLOR_INACTIVEBORDER));
        EXPECT_EQ(p.back, GetSysColor(COLOR_INACTIVEBORDER));
    }
    // Labels and frames sit on the window's face colour.
    const Painted label = paintedColours(w.hwnd(), w.Label1, WM_CTLCOLORSTATIC);
    EXPECT_EQ(label.brush, GetSysColorBrush(COLOR_BTNFACE));
}

TEST_F(MainWindow, EnableBoxesSwitchTheirPairAndKeepTheTexts) {
    click(form::chkEnWd);
    EXPECT_TRUE(w.state().EnWd);
    EXPECT_TRUE(IsWindowEnabled(w.tbxOldWd));
    EXPECT_TRUE(IsWindowEnabled(w.tbxNewWd));
    EXPECT_EQ(text(form::tbxOldWd), "10");
    EXPECT_EQ(text(form::tbxNewWd), "5");
    EXPECT_EQ(w.backgroundColour(w.tbxOldWd), COLOR_WINDOW);
    EXPECT_EQ(paintedColours(w.hwnd(), w.tbxNewWd, WM_CTLCOLOREDIT).brush,
              GetSysColorBrush(COLOR_WINDOW));

    click(form::chkEnWd);
    EXPECT_FALSE(w.state().EnWd);
    EXPECT_FALSE(IsWindowEnabled(w.tbxOldWd));
    EXPECT_EQ(w.backgroundColour(w.tbxNewWd), COLOR_INACTIVEBORDER);
    EXPECT_EQ(text(form::tbxOldWd), "10");

    click(form::chkEnLyr);
    EXPECT_FALSE(w.state().EnLyr);
    EXPECT_FALSE(IsWindowEnabled(w.tbxOldLyr));
    EXPECT_FALSE(IsWindowEnabled(w.tbxNewLyr));
    EXPECT_EQ(w.backgroundColour(w.tbxOldLyr), COLOR_INACTIVEBORDER);
    EXPECT_FALSE(w.state().EnWd);  // the other pair is left alone
    click(form::chkEnLyr);
    EXPECT_TRUE(w.state().EnLyr);
    EXPECT_TRUE(IsWindowEnabled(w.tbxOldLyr));
}

TEST_F(MainWindow, EnableBoxAnswersTheSpaceBar) {
    SetFocus(w.chkEnWd);
    pressKey(w, VK_SPACE);
    pressKey(w, VK_SPACE, WM_KEYUP);
    pump();
    EXPECT_TRUE(w.state().EnWd);
    EXPECT_TRUE(IsWindowEnabled(w.tbxOldWd));
}

TEST_F(MainWindow, GreyedThirdStateChangesNothing) {
    // Only a three-state box keeps the greyed state; the handler must still ignore it.
    SendMessageW(w.chkEnWd, BM_SETSTYLE, BS_AUTO3STATE, FALSE);
    SendMessageW(w.chkEnWd, BM_SETCHECK, BST_INDETERMINATE, 0);
    SendMessageW(w.hwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(w.chkEnWd), BN_CLICKED),
                 reinterpret_cast<LPARAM>(w.chkEnWd));
    EXPECT_FALSE(w.state().EnWd);
    EXPECT_FALSE(IsWindowEnabled(w.tbxOldWd));
}

TEST_F(MainWindow, FocusStartsOnRunAndTabFollowsTheTabIndices) {
    EXPECT_EQ(GetFocus(), w.btnRun);
    click(form::chkEnWd);  // so that the width boxes take part
    SetFocus(w.btnRun);
    const std::vector<HWND> order = {w.btnRun,  w.btnClose,   w.tbxNewLyr,   w.tbxOldLyr,
                                     w.tbxOldWd, w.tbxNewWd,  w.tbxFileOut,  w.btnFileOpen,
                                     w.tbxFileOpen, w.btnHelp, w.chkEnWd,    w.chkEnLyr,
                                     w.btnRun};
    std::vector<HWND> seen{GetFocus()};
    for (std::size_t i = 1; i < order.size(); ++i) {
        EXPECT_TRUE(pressKey(w, VK_TAB));
        seen.push_back(GetFocus());
    }
    EXPECT_EQ(seen, order);
}

TEST_F(MainWindow, TabSkipsDisabledBoxes) {
    SetFocus(w.tbxOldLyr);
    pressKey(w, VK_TAB);
    EXPECT_EQ(GetFocus(), w.tbxFileOut);
}

TEST_F(MainWindow, FileBoxesFollowEveryChange) {
    type(form::tbxFileOpen, "C:\\Lib\\parts.d");
    EXPECT_EQ(w.state().InFileName, "C:\\Lib\\parts.d");
    type(form::tbxFileOut, "C:\\Lib\\other.d");
    EXPECT_EQ(w.state().OutFileName, "C:\\Lib\\other.d");
    // Typed, as the user does.
    SetFocus(w.tbxFileOpen);
    SendMessageW(w.tbxFileOpen, EM_SETSEL, 0, -1);
    for (wchar_t c : std::wstring(L"x\u00fc.d"))
        SendMessageW(w.tbxFileOpen, WM_CHAR, c, 0);
    EXPECT_EQ(w.state().InFileName, "x\xc3\xbc.d");
}

TEST_F(MainWindow, EscapeLeavesTheWindowOpen) {
    SetFocus(w.tbxOldLyr);
    EXPECT_TRUE(pressKey(w, VK_ESCAPE));
    pump();
    EXPECT_NE(w.hwnd(), nullptr);
    EXPECT_TRUE(IsWindowVisible(w.hwnd()));
}

TEST_F(MainWindow, EnterPressesOnlyTheFocusedButton) {
    SetFocus(w.tbxOldLyr);
    EXPECT_TRUE(pressKey(w, VK_RETURN));
    EXPECT_TRUE(boxes.boxes.empty());  // Enter in a box starts no run
    SetFocus(w.btnRun);
    EXPECT_TRUE(pressKey(w, VK_RETURN));
    ASSERT_EQ(boxes.boxes.size(), 1u);  // the run found the empty file names
    EXPECT_EQ(boxes.boxes[0].title, "User entry error");
}

// ---- Run ----

struct RunCase {
    const char* name;
    std::string input;         // written to in.d unless empty
    bool layer, width;         // the pairs' enable boxes
    const char* inName;        // empty: leave the box empty
    const char* outName;
    std::string oldLyr;
    std::string text, title;   // the box
    trelvo::Icon icon;
    bool outputWritten;
};

class RunOutcomes : public MainWindow, public ::testing::WithParamInterface<RunCase> {};

TEST_P(RunOutcomes, ShowOneBoxAndLeaveTheFilesAsTheyShouldBe) {
    const RunCase& c = GetParam();
    if (!c.input.empty())
        writeFile(dir.file("in.d"), c.input);
    if (*c.inName != '\0')
        type(form::tbxFileOpen, path(c.inName));
    if (*c.outName != '\0')
        type(form::tbxFileOut, path(c.outName));
    if (!c.layer)
        click(form::chkEnLyr);
    if (c.width)
        click(form::chkEnWd);
    if (!c.oldLyr.empty())
        type(form::tbxOldLyr, c.oldLyr);
    click(form::btnRun);

    ASSERT_EQ(boxes.boxes.size(), 1u);
    const ShownBox& b = boxes.boxes[0];
    std::string expected = c.text;
    const auto at = expected.find("$OUT");
    if (at != std::string::npos)
        expected.replace(at, 4, path(c.outName));
    EXPECT_EQ(b.text, expected);
    EXPECT_EQ(b.title, c.title);
    EXPECT_EQ(b.icon, c.icon);
    EXPECT_EQ(b.owner, w.hwnd());
    EXPECT_EQ(std::filesystem::exists(dir.file("out.d")), c.outputWritten);
    if (!c.input.empty()) {
        EXPECT_EQ(readFile(dir.file("in.d")), c.input);  // never touched
        // Closed again: another program may now take the file for itself.
        HANDLE in = CreateFileW(trelvo::widen(path("in.d")).c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(in, INVALID_HANDLE_VALUE);
        CloseHandle(in);
    }
    if (c.outputWritten) {
        EXPECT_TRUE(DeleteFileW(trelvo::widen(path("out.d")).c_str()));
    }
}

const std::string kDecalWithBadUnit = sample("bad-unit-letter-with-piece.d");

INSTANTIATE_TEST_SUITE_P(
    Win32, RunOutcomes,
    ::testing::Values(
        RunCase{"NoOutputName", kLibrary, true, false, "in.d", "", "",
                "Invalid or empty entry boxes -please enter values for processing.",
                "User entry error", trelvo::Icon::Warning, false},
        RunCase{"MissingInput", "", true, false, "missing.d", "out.d", "",
                "Filename error -please check dir and filename and retry.", "File read error",
                trelvo::Icon::Warning, false},
        RunCase{"NoPairEnabled", kLibrary, false, false, "in.d", "out.d", "",
                "No options selected to process -select Layer and/or Width.", "Selection error",
                trelvo::Icon::Warning, false},
        // A failed run leaves no output behind.
        RunCase{"NotALibrary", sample("not-a-library.d"), true, false, "in.d", "out.d", "",
                "Error in Decal Lib (*.d) format...exiting.", "File format error",
                trelvo::Icon::Error, false},
        RunCase{"BadUnit", kDecalWithBadUnit, true, false, "in.d", "out.d", "26",
                "Error in Decal Lib (*.d) format...exiting.", "File format error",
                trelvo::Icon::Error, false},
        RunCase{"Done", kLibrary, true, false, "in.d", "out.d", "26",
                "Processing complete.\r1 Decal(s) updated.\rUpdated decal file written to: $OUT",
                "Done", trelvo::Icon::Information, true}),
    [](const ::testing::TestParamInfo<RunCase>& info) { return std::string(info.param.name); });

TEST_F(MainWindow, RunWritesTheUpdatedLibraryByteForByte) {
    writeFile(dir.file("in.d"), kLibrary);
    files("in.d", "out.d");
    type(form::tbxOldLyr, "*");
    type(form::tbxNewLyr, "21");
    click(form::chkEnWd);
    type(form::tbxOldWd, "10");
    type(form::tbxNewWd, "5");
    click(form::btnRun);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].title, "Done");
    EXPECT_EQ(readFile(dir.file("out.d")),
              crlf({"*PADS-LIBRARY-PCB-DECALS-V9*", "", "SO8 I 0 0 2 2 2 0 8 1 0",
                    "OPEN  2  5  21  -1", "-100 50", "100 50", "", "SOT M 0 0 1 2 0 0 3 1 0",
                    "CLOSED  5  0.127  21  -1", "-1 0", "1 0"}));
}

TEST_F(MainWindow, AWriteFailureIsOneBoxAndACorrectedRunWorks) {
    writeFile(dir.file("in.d"), kLibrary);
    files("in.d", "no-such-folder\\out.d");
    click(form::btnRun);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "Error: File I/O or User Entry -Processing incomplete!");
    EXPECT_EQ(boxes.boxes[0].title, "File write error");
    type(form::tbxFileOut, path("out.d"));
    click(form::btnRun);
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[1].title, "Done");
    EXPECT_EQ(w.state().InFileNum, 1);  // the channels of the failed run were given back
    EXPECT_EQ(w.state().OutFileNum, 2);
}

TEST_F(MainWindow, AnInputLockedByAnotherProgramIsAReadError) {
    writeFile(dir.file("in.d"), kLibrary);
    HANDLE lock = CreateFileW(trelvo::widen(path("in.d")).c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    files("in.d", "out.d");
    click(form::btnRun);
    CloseHandle(lock);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].title, "File read error");
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.d")));
}

// ---- Browse ----

TEST_F(MainWindow, BrowseAsksForADecalFileWithTheDesignRequest) {
    FileAnswers answers;
    answers.answers.push_back(trelvo::widen(path("parts.d")));
    click(form::btnFileOpen);
    ASSERT_EQ(answers.requests.size(), 1u);
    const SeenRequest& r = answers.requests[0];
    EXPECT_EQ(r.structSize, sizeof(OPENFILENAMEW));
    EXPECT_EQ(r.owner, w.hwnd());
    EXPECT_EQ(r.title, L"Open Exported Decal File");
    EXPECT_EQ(r.filter, std::wstring(L"Decal Files (*.d)\0*.d\0All Files (*.*)\0*.*\0\0", 43));
    EXPECT_EQ(r.filterIndex, 0u);
    EXPECT_EQ(r.maxFile, 255u);
    EXPECT_EQ(r.maxFileTitle, 255u);
    EXPECT_EQ(r.flags, 0u);
    EXPECT_EQ(r.initialFile, L"");
    EXPECT_EQ(text(form::tbxFileOpen), path("parts.d"));
    EXPECT_EQ(text(form::tbxFileOut), path("parts_new.d"));
    EXPECT_EQ(w.state().InFileName, path("parts.d"));
    EXPECT_EQ(w.state().OutFileName, path("parts_new.d"));
    EXPECT_TRUE(boxes.boxes.empty());  // nothing of that name exists yet
}

TEST_F(MainWindow, BrowseOpensOnTheLastChoice) {
    FileAnswers answers;
    answers.answers = {trelvo::widen(path("parts.d")), std::nullopt,
                       trelvo::widen(path("other.d"))};
    click(form::btnFileOpen);
    click(form::btnFileOpen);
    click(form::btnFileOpen);
    ASSERT_EQ(answers.requests.size(), 3u);
    EXPECT_EQ(answers.requests[0].initialFile, L"");
    EXPECT_EQ(answers.requests[1].initialFile, trelvo::widen(path("parts.d")));
    EXPECT_EQ(answers.requests[2].initialFile, trelvo::widen(path("parts.d")));
    EXPECT_EQ(text(form::tbxFileOut), path("other_new.d"));
}

struct BrowseCase {
    const char* name;
    std::optional<std::wstring> answer;  // $DIR is the test folder
    const char* existing;                // a file made first, or ""
    std::string inBox, outBox;           // afterwards ($DIR); the boxes start as "keep.d"
    std::string boxText, boxTitle;       // "" when no box
};

class BrowseOutcomes : public MainWindow, public ::testing::WithParamInterface<BrowseCase> {};

TEST_P(BrowseOutcomes, FillTheBoxesAndWarnAsTheyShould) {
    const BrowseCase& c = GetParam();
    const auto expand = [this](std::string s) {
        const auto at = s.find("$DIR");
        if (at != std::string::npos)
            s.replace(at, 4, winPath(dir.path().string()));
        return s;
    };
    if (*c.existing != '\0')
        writeFile(dir.file(c.existing), "x");
    type(form::tbxFileOpen, "keep.d");
    type(form::tbxFileOut, "keep.d");
    FileAnswers answers;
    if (c.answer)
        answers.answers.push_back(trelvo::widen(expand(trelvo::narrow(*c.answer))));
    else
        answers.answers.push_back(std::nullopt);
    click(form::btnFileOpen);
    EXPECT_EQ(text(form::tbxFileOpen), expand(c.inBox));
    EXPECT_EQ(text(form::tbxFileOut), expand(c.outBox));
    EXPECT_EQ(w.state().InFileName, expand(c.inBox));
    EXPECT_EQ(w.state().OutFileName, expand(c.outBox));
    if (c.boxTitle.empty()) {
        EXPECT_TRUE(boxes.boxes.empty());
    } else {
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, c.boxText);
        EXPECT_EQ(boxes.boxes[0].title, c.boxTitle);
        EXPECT_EQ(boxes.boxes[0].icon, trelvo::Icon::Warning);
    }
}

const char kOverwrite[] =
    "New filename exists and will be OVERWRITTEN -\rChange filename to prevent overwrite.";

INSTANTIATE_TEST_SUITE_P(
    Win32, BrowseOutcomes,
    ::testing::Values(
        BrowseCase{"Cancelled", std::nullopt, "", "keep.d", "keep.d", "No file selected",
                   "File select error"},
        BrowseCase{"Derived", L"$DIR\\parts.d", "", "$DIR\\parts.d", "$DIR\\parts_new.d", "", ""},
        BrowseCase{"UpperCaseExtension", L"$DIR\\parts.D", "", "$DIR\\parts.D",
                   "$DIR\\parts_new.d", "", ""},
        BrowseCase{"OtherOneLetterExtension", L"$DIR\\parts.x", "", "$DIR\\parts.x",
                   "$DIR\\parts_new.d", "", ""},
        BrowseCase{"TextFileKeepsTheOutputBox", L"$DIR\\parts.txt", "", "$DIR\\parts.txt",
                   "keep.d", "", ""},
        BrowseCase{"BlanksAroundTheChoice", L"  $DIR\\parts.d  ", "", "$DIR\\parts.d",
                   "$DIR\\parts_new.d", "", ""},
        BrowseCase{"ExistingOutputIsWarnedOf", L"$DIR\\parts.d", "parts_new.d", "$DIR\\parts.d",
                   "$DIR\\parts_new.d", kOverwrite, "Overwrite File?"},
        BrowseCase{"NonAsciiName", L"$DIR\\Stecker \u00fc.d", "", "$DIR\\Stecker \xc3\xbc.d",
                   "$DIR\\Stecker \xc3\xbc_new.d", "", ""}),
    [](const ::testing::TestParamInfo<BrowseCase>& info) { return std::string(info.param.name); });

TEST_F(MainWindow, BrowseWarnsOfAHiddenFileTooSinceARunWouldEmptyIt) {
    writeFile(dir.file("parts_new.d"), "keep me");
    SetFileAttributesW(trelvo::widen(path("parts_new.d")).c_str(), FILE_ATTRIBUTE_HIDDEN);
    FileAnswers answers;
    answers.answers.push_back(trelvo::widen(path("parts.d")));
    click(form::btnFileOpen);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].title, "Overwrite File?");
}

TEST_F(MainWindow, APathLongerThanTheDialogBufferSelectsNothing) {
    FileAnswers answers;
    answers.answers.push_back(std::wstring(255, L'a'));
    type(form::tbxFileOpen, "keep.d");
    click(form::btnFileOpen);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "No file selected");
    EXPECT_EQ(text(form::tbxFileOpen), "keep.d");
}

// ---- Help and Close ----

TEST_F(MainWindow, HelpShowsTheHelpWindowModallyOverThisOne) {
    ModalScript script;
    bool seen = false;
    script.actions.push_back([&](trelvo::win32::Window& modal) {
        seen = true;
        EXPECT_EQ(trelvo::win32::windowText(modal.hwnd()), "Help");
        EXPECT_EQ(GetWindow(modal.hwnd(), GW_OWNER), w.hwnd());
        EXPECT_FALSE(IsWindowEnabled(w.hwnd()));  // the main window takes no input
        EXPECT_TRUE(IsWindowVisible(modal.hwnd()));
    });
    click(form::btnHelp);
    EXPECT_TRUE(seen);
    EXPECT_EQ(script.opened, 1);
    EXPECT_TRUE(IsWindowEnabled(w.hwnd()));
    EXPECT_NE(w.hwnd(), nullptr);
}

bool quitPosted() {
    MSG msg;
    return PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

TEST_F(MainWindow, CloseEndsTheProgram) {
    pump();
    click(form::btnClose);
    EXPECT_EQ(w.hwnd(), nullptr);
    EXPECT_TRUE(quitPosted());
}

TEST_F(MainWindow, TheCloseBoxEndsTheProgramToo) {
    pump();
    SendMessageW(w.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(w.hwnd(), nullptr);
    EXPECT_TRUE(quitPosted());
}

TEST_F(MainWindow, MovedToAMonitorOfAnotherDpiTheLayoutScales) {
    RECT r;
    GetWindowRect(w.hwnd(), &r);
    RECT suggested{r.left, r.top, r.left + 500, r.top + 560};
    SendMessageW(w.hwnd(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(w.dpi(), 144u);
    const RECT box = clientRect(w.tbxFileOpen);
    // 360 and 2160 + 480 twips: 36 and 264 pixels at 144 dpi; 2655 wide: 266.
    EXPECT_EQ(box.left, 36);
    EXPECT_EQ(box.top, 264);
    EXPECT_EQ(box.right - box.left, 266);
    NONCLIENTMETRICSW m{};
    m.cbSize = sizeof m;
    SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0, 144);
    EXPECT_EQ(fontOf(w.btnRun).lfHeight, m.lfMessageFont.lfHeight);
    EXPECT_NE(m.lfMessageFont.lfHeight, messageFont().lfHeight);
}

// Also run in a Wine prefix set to 144 dpi (TRELVO_EXPECT_DPI then says so): the window, every
// control and the font grow with the monitor's DPI.
TEST_F(MainWindow, GeometryAndFontFollowTheMonitorDpi) {
    const int dpi = static_cast<int>(GetDpiForWindow(w.hwnd()));
    if (const char* want = std::getenv("TRELVO_EXPECT_DPI")) {
        ASSERT_EQ(dpi, std::atoi(want));
    }
    using trelvo::twipsToPixels;
    const SIZE size = clientSize(w.hwnd());
    EXPECT_EQ(size.cx, twipsToPixels(form::window.width, dpi));
    EXPECT_EQ(size.cy, twipsToPixels(form::window.height, dpi));
    NONCLIENTMETRICSW m{};
    m.cbSize = sizeof m;
    ASSERT_TRUE(SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0, dpi));
    for (const trelvo::design::Control* c : form::kControls) {
        SCOPED_TRACE(c->name);
        const trelvo::design::TwipRect t = trelvo::design::inWindow(*c);
        const RECT r = clientRect(get(*c));
        EXPECT_EQ(r.left, twipsToPixels(t.left, dpi));
        EXPECT_EQ(r.top, twipsToPixels(t.top, dpi));
        EXPECT_EQ(r.right - r.left, twipsToPixels(t.width, dpi));
        EXPECT_EQ(r.bottom - r.top, twipsToPixels(t.height, dpi));
        if (*c->caption != '\0' || c->kind != trelvo::design::Kind::Frame) {
            EXPECT_EQ(fontOf(get(*c)).lfHeight, m.lfMessageFont.lfHeight);
        }
    }
}
