// The Win32 Help, About and Licence Agreement windows: layout, texts, fonts and colours, focus,
// keys, modality, the link, the logo, the separator and System Info.
#include <filesystem>

#include "infowin/design.h"
#include "infowin/frmAbout_win32.h"
#include "infowin/frmHelp_win32.h"
#include "infowin/frmLicAgmt_win32.h"
#include "platform/desktop.h"
#include "platform/registry.h"
#include "resources/resources_win32.h"
#include "test_files.h"
#include "tests/ui/win32/support_win32.h"

using namespace trelvo::test;
using trelvo::win32::frmAbout;
using trelvo::win32::frmHelp;
using trelvo::win32::frmLicAgmt;

namespace {

std::string sourceFile(const char* name) {
    return readFile(std::string(TRELVO_SOURCE_DIR) + "/resources/" + name);
}

void expectRect(HWND control, int left, int top, int width, int height) {
    const RECT r = clientRect(control);
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right - r.left, width);
    EXPECT_EQ(r.bottom - r.top, height);
}

// A plain window standing in for the owner (the main window or the Help window).
class Owner {
public:
    Owner() {
        hwnd = CreateWindowExW(0, L"STATIC", L"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100,
                               480, 420, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~Owner() { DestroyWindow(hwnd); }
    HWND hwnd;
};

class RecordingOpener : public trelvo::UrlOpener {
public:
    int open(const std::string& url) override {
        urls.push_back(url);
        return trelvo::kUrlOpened;
    }
    std::vector<std::string> urls;
};

}  // namespace

// ---- Help ----

TEST(HelpWindow, LayoutTextAndStyle) {
    Owner owner;
    frmHelp w(owner.hwnd);
    EXPECT_EQ(trelvo::win32::windowText(w.hwnd()), "Help");
    const SIZE size = clientSize(w.hwnd());
    EXPECT_EQ(size.cx, 291);
    EXPECT_EQ(size.cy, 311);
    const LONG style = GetWindowLongW(w.hwnd(), GWL_STYLE);
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_TRUE(GetWindowLongW(w.hwnd(), GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
    EXPECT_FALSE(GetWindowLongW(w.hwnd(), GWL_EXSTYLE) & WS_EX_APPWINDOW);  // no taskbar button
    EXPECT_EQ(GetWindow(w.hwnd(), GW_OWNER), owner.hwnd);

    expectRect(w.tbxHelp, 8, 16, 273, 249);
    expectRect(w.btnClose, 128, 280, 73, 22);
    expectRect(w.btnAbout, 208, 280, 73, 22);
    expectRect(w.Command1, 8, 280, 113, 22);
    EXPECT_EQ(trelvo::win32::windowText(w.btnClose), "Close");
    EXPECT_EQ(trelvo::win32::windowText(w.btnAbout), "About");
    EXPECT_EQ(trelvo::win32::windowText(w.Command1), "Licence Agreement");

    const std::string help = sourceFile("help.txt");
    ASSERT_GT(help.size(), 5000u);
    EXPECT_EQ(trelvo::win32::windowText(w.tbxHelp), help);  // CR LF lines, as stored
    const LONG boxStyle = GetWindowLongW(w.tbxHelp, GWL_STYLE);
    EXPECT_TRUE(boxStyle & ES_MULTILINE);
    EXPECT_TRUE(boxStyle & ES_READONLY);
    EXPECT_TRUE(boxStyle & WS_VSCROLL);
    EXPECT_FALSE(boxStyle & WS_HSCROLL);  // long lines wrap
    const Painted p = paintedColours(w.hwnd(), w.tbxHelp, WM_CTLCOLORSTATIC);
    EXPECT_EQ(p.brush, GetSysColorBrush(COLOR_INACTIVEBORDER));
    EXPECT_EQ(p.back, GetSysColor(COLOR_INACTIVEBORDER));
    for (HWND b : {w.btnClose, w.btnAbout, w.Command1})
        EXPECT_EQ(GetWindowLongW(b, GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);  // no default
}

// The text is wrapped to the box at its design size: in the box's font no line wraps again, its
// trailing blank included, but the rules and the lines of asterisks of the boxed notes.
TEST(HelpWindow, NoLineWrapsAgainInTheBox) {
    Owner owner;
    frmHelp w(owner.hwnd);
    RECT room{};  // the client area less the box's margins: where its lines wrap
    SendMessageW(w.tbxHelp, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&room));
    HDC dc = GetDC(w.tbxHelp);
    SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(w.tbxHelp, WM_GETFONT, 0, 0)));
    const std::wstring text = trelvo::widen(sourceFile("help.txt"));
    ASSERT_EQ(trelvo::widen(trelvo::win32::windowText(w.tbxHelp)), text);
    for (std::size_t at = 0, end; (end = text.find(L"\r\n", at)) != std::wstring::npos;
         at = end + 2) {
        const std::wstring line = text.substr(at, end - at);
        if (line.starts_with(L"*****") || line.starts_with(L"-----"))
            continue;
        SIZE size{};
        GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &size);
        EXPECT_LE(size.cx, room.right - room.left) << trelvo::narrow(line);
        // And as the box lays it out: the next line begins on the next shown line.
        EXPECT_EQ(SendMessageW(w.tbxHelp, EM_LINEFROMCHAR, end + 2, 0),
                  SendMessageW(w.tbxHelp, EM_LINEFROMCHAR, at, 0) + 1)
            << trelvo::narrow(line);
    }
    ReleaseDC(w.tbxHelp, dc);
}

TEST(HelpWindow, TypingChangesNothingAndTheTextCanBeSelected) {
    Owner owner;
    frmHelp w(owner.hwnd);
    SetFocus(w.tbxHelp);
    SendMessageW(w.tbxHelp, WM_CHAR, L'x', 0);
    EXPECT_EQ(trelvo::win32::windowText(w.tbxHelp), sourceFile("help.txt"));
    SendMessageW(w.tbxHelp, EM_SETSEL, 0, 4);
    DWORD from = 0, to = 0;
    SendMessageW(w.tbxHelp, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(to - from, 4u);
}

TEST(HelpWindow, OpensModallyWithTheTextFocusedAndKeepsOpenOnEnterAndEscape) {
    Owner owner;
    ModalScript script;
    script.actions.push_back([&](trelvo::win32::Window& w) {
        auto& help = static_cast<frmHelp&>(w);
        EXPECT_EQ(GetFocus(), help.tbxHelp);
        EXPECT_EQ(SendMessageW(help.tbxHelp, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
        EXPECT_FALSE(IsWindowEnabled(owner.hwnd));
        EXPECT_TRUE(pressKey(w, VK_RETURN));
        EXPECT_TRUE(pressKey(w, VK_ESCAPE));
        pump();
        EXPECT_NE(w.hwnd(), nullptr);
        // Tab goes round the text box and the three buttons.
        std::vector<HWND> seen{GetFocus()};
        for (int i = 0; i < 4; ++i) {
            pressKey(w, VK_TAB);
            seen.push_back(GetFocus());
        }
        EXPECT_EQ(seen, (std::vector<HWND>{help.tbxHelp, help.btnClose, help.btnAbout,
                                           help.Command1, help.tbxHelp}));
        SendMessageW(help.btnClose, BM_CLICK, 0, 0);
        EXPECT_EQ(w.hwnd(), nullptr);
    });
    frmHelp::showModal(owner.hwnd);
    EXPECT_EQ(script.opened, 1);
    EXPECT_TRUE(IsWindowEnabled(owner.hwnd));
}

TEST(HelpWindow, AboutAndLicenceOpenModallyOverItAndGiveItBack) {
    Owner owner;
    ModalScript script;
    std::vector<std::string> opened;
    script.actions.push_back([&](trelvo::win32::Window& w) {
        auto& help = static_cast<frmHelp&>(w);
        SendMessageW(help.tbxHelp, WM_VSCROLL, SB_PAGEDOWN, 0);
        const LRESULT scrolled = SendMessageW(help.tbxHelp, EM_GETFIRSTVISIBLELINE, 0, 0);
        EXPECT_GT(scrolled, 0);
        SendMessageW(help.btnAbout, BM_CLICK, 0, 0);
        SendMessageW(help.Command1, BM_CLICK, 0, 0);
        EXPECT_TRUE(IsWindowEnabled(help.hwnd()));
        EXPECT_EQ(SendMessageW(help.tbxHelp, EM_GETFIRSTVISIBLELINE, 0, 0), scrolled);
    });
    const auto child = [&](trelvo::win32::Window& w) {
        opened.push_back(trelvo::win32::windowText(w.hwnd()));
        HWND help = GetWindow(w.hwnd(), GW_OWNER);
        EXPECT_NE(help, owner.hwnd);
        EXPECT_EQ(GetWindow(help, GW_OWNER), owner.hwnd);
        EXPECT_FALSE(IsWindowEnabled(help));
    };
    script.actions.push_back(child);
    script.actions.push_back(child);
    frmHelp::showModal(owner.hwnd);
    EXPECT_EQ(opened, (std::vector<std::string>{"About Trelvo", "Licence Agreement"}));
}

// ---- Licence Agreement ----

TEST(LicenceWindow, LayoutTextAndAnOrdinarySizableFrame) {
    Owner owner;
    frmLicAgmt w(owner.hwnd);
    EXPECT_EQ(trelvo::win32::windowText(w.hwnd()), "Licence Agreement");
    const SIZE size = clientSize(w.hwnd());
    EXPECT_EQ(size.cx, 290);
    EXPECT_EQ(size.cy, 248);
    const LONG style = GetWindowLongW(w.hwnd(), GWL_STYLE);
    EXPECT_TRUE(style & WS_THICKFRAME);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_TRUE(style & WS_MAXIMIZEBOX);
    EXPECT_EQ(SendMessageW(w.hwnd(), WM_GETICON, ICON_BIG, 0), 0);  // no icon of its own
    expectRect(w.tbxHelp, 8, 8, 273, 193);
    expectRect(w.btnClose, 112, 216, 73, 22);
    const std::string disclaimer = sourceFile("disclaimer.txt");
    ASSERT_GT(disclaimer.size(), 700u);
    EXPECT_EQ(trelvo::win32::windowText(w.tbxHelp), disclaimer);
    EXPECT_TRUE(GetWindowLongW(w.tbxHelp, GWL_STYLE) & ES_READONLY);
    EXPECT_EQ(paintedColours(w.hwnd(), w.tbxHelp, WM_CTLCOLORSTATIC).brush,
              GetSysColorBrush(COLOR_INACTIVEBORDER));

    // Resizing moves nothing.
    SetWindowPos(w.hwnd(), nullptr, 0, 0, 700, 600, SWP_NOMOVE | SWP_NOZORDER);
    expectRect(w.tbxHelp, 8, 8, 273, 193);
    expectRect(w.btnClose, 112, 216, 73, 22);
}

TEST(LicenceWindow, EnterAndEscapeLeaveItOpenAndCloseClosesIt) {
    Owner owner;
    ModalScript script;
    script.actions.push_back([&](trelvo::win32::Window& w) {
        auto& licence = static_cast<frmLicAgmt&>(w);
        EXPECT_EQ(GetFocus(), licence.tbxHelp);
        EXPECT_TRUE(pressKey(w, VK_RETURN));
        EXPECT_TRUE(pressKey(w, VK_ESCAPE));
        pump();
        ASSERT_NE(w.hwnd(), nullptr);
        SendMessageW(licence.btnClose, BM_CLICK, 0, 0);
        EXPECT_EQ(w.hwnd(), nullptr);
    });
    frmLicAgmt::showModal(owner.hwnd);
    EXPECT_EQ(script.opened, 1);
}

// ---- About ----

TEST(AboutWindow, LoadStepsSetCaptionVersionTitleAndLink) {
    Owner owner;
    frmAbout w(owner.hwnd);
    EXPECT_EQ(trelvo::win32::windowText(w.hwnd()), "About Trelvo");
    const SIZE size = clientSize(w.hwnd());
    EXPECT_EQ(size.cx, 324);
    EXPECT_EQ(size.cy, 223);
    EXPECT_TRUE(GetWindowLongW(w.hwnd(), GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
    EXPECT_EQ(trelvo::win32::windowText(w.lblTitle), "Trelvo");
    EXPECT_EQ(trelvo::win32::windowText(w.lblVersion), "Version 1.0.2");
    EXPECT_EQ(trelvo::win32::windowText(w.lblDescription),
              "Updates a PowerPCB PCB Decal lib file. Permits modification of decal outline "
              "layer and line width.");
    EXPECT_EQ(trelvo::win32::windowText(w.lblLnk), TRELVO_HOMEPAGE_URL);
    EXPECT_EQ(trelvo::win32::windowText(w.cmdOK), "OK");
    EXPECT_EQ(trelvo::win32::windowText(w.cmdSysInfo), "&System Info...");
    expectRect(w.picIcon, 8, 8, 58, 129);
    expectRect(w.lblTitle, 72, 16, 243, 32);
    expectRect(w.lblVersion, 70, 52, 251, 15);
    expectRect(w.lblDescription, 70, 75, 243, 62);
    expectRect(w.lblDisclaimer, 16, 159, 209, 31);
    expectRect(w.lblLnk, 16, 192, 161, 17);
    expectRect(w.cmdOK, 232, 160, 84, 23);
    expectRect(w.cmdSysInfo, 232, 189, 83, 23);

    // The link: underlined dialog font, pure blue, the hand cursor.
    const LOGFONTW link = fontOf(w.lblLnk);
    EXPECT_TRUE(link.lfUnderline);
    EXPECT_EQ(std::wstring(link.lfFaceName), std::wstring(messageFont().lfFaceName));
    EXPECT_FALSE(fontOf(w.lblTitle).lfUnderline);
    EXPECT_EQ(paintedColours(w.hwnd(), w.lblLnk, WM_CTLCOLORSTATIC).text, RGB(0, 0, 255));
    EXPECT_NE(paintedColours(w.hwnd(), w.lblTitle, WM_CTLCOLORSTATIC).text, RGB(0, 0, 255));
    SendMessageW(w.hwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(w.lblLnk),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), trelvo::win32::handCursor());
    SendMessageW(w.hwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(w.cmdOK),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_NE(GetCursor(), trelvo::win32::handCursor());
    // OK is the default button.
    EXPECT_EQ(GetWindowLongW(w.cmdOK, GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
}

TEST(AboutWindow, TheHandCursorPointsWithItsFingertip) {
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(trelvo::win32::handCursor(), &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(info.xHotspot, 12u);
    EXPECT_EQ(info.yHotspot, 1u);
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
}

TEST(AboutWindow, TheLogoIsTheJpegAtItsSizeAndIsDrawn) {
    HBITMAP logo = trelvo::win32::logoBitmap();
    ASSERT_NE(logo, nullptr);
    BITMAP bm{};
    GetObjectW(logo, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 54);
    EXPECT_EQ(bm.bmHeight, 125);

    Owner owner;
    frmAbout w(owner.hwnd);
    RECT r;
    GetClientRect(w.picIcon, &r);
    EXPECT_EQ(r.right, 54);
    EXPECT_EQ(r.bottom, 125);
    // Drawn into a picture of our own: the board's green, not the window's grey.
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP target = CreateCompatibleBitmap(screen, 54, 125);
    HGDIOBJ old = SelectObject(dc, target);
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_STATIC;
    item.hwndItem = w.picIcon;
    item.hDC = dc;
    item.rcItem = r;
    SendMessageW(w.hwnd(), WM_DRAWITEM, GetDlgCtrlID(w.picIcon), reinterpret_cast<LPARAM>(&item));
    const COLORREF middle = GetPixel(dc, 27, 60);
    EXPECT_GT(GetGValue(middle), GetRValue(middle));
    EXPECT_NE(middle, GetSysColor(COLOR_BTNFACE));
    SelectObject(dc, old);
    DeleteObject(target);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
}

TEST(AboutWindow, TheSeparatorIsAGreyRuleOverAWhiteOne) {
    Owner owner;
    frmAbout w(owner.hwnd);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP target = CreateCompatibleBitmap(screen, 324, 223);
    HGDIOBJ old = SelectObject(dc, target);
    RECT all{0, 0, 324, 223};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    SendMessageW(w.hwnd(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    // Grey at 2205 twips (pixel row 147) from x 6 to 312; white rows 148 and 149 from x 7.
    EXPECT_EQ(GetPixel(dc, 6, 147), RGB(0x80, 0x80, 0x80));
    EXPECT_EQ(GetPixel(dc, 200, 147), RGB(0x80, 0x80, 0x80));
    EXPECT_EQ(GetPixel(dc, 200, 148), RGB(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(GetPixel(dc, 200, 149), RGB(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(GetPixel(dc, 6, 148), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(dc, 200, 150), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(dc, 200, 146), RGB(0, 0, 0));
    SelectObject(dc, old);
    DeleteObject(target);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
}

TEST(AboutWindow, EnterAndEscapeCloseItFromOK) {
    Owner owner;
    for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
        ModalScript script;
        script.actions.push_back([&](trelvo::win32::Window& w) {
            auto& about = static_cast<frmAbout&>(w);
            EXPECT_EQ(GetFocus(), about.cmdOK);
            EXPECT_TRUE(pressKey(w, key));
            EXPECT_EQ(w.hwnd(), nullptr);
        });
        frmAbout::showModal(owner.hwnd);
        EXPECT_EQ(script.opened, 1);
        EXPECT_TRUE(IsWindowEnabled(owner.hwnd));
    }
}

TEST(AboutWindow, TheLinkOpensTheAddressItShows) {
    RecordingOpener opener;
    trelvo::setUrlOpener(&opener);
    Owner owner;
    frmAbout w(owner.hwnd);
    SendMessageW(w.hwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(w.lblLnk), STN_CLICKED),
                 reinterpret_cast<LPARAM>(w.lblLnk));
    trelvo::setUrlOpener(nullptr);
    EXPECT_EQ(opener.urls, std::vector<std::string>{TRELVO_HOMEPAGE_URL});
    EXPECT_TRUE(GetWindowLongW(w.lblLnk, GWL_STYLE) & SS_NOTIFY);
}

TEST(AboutWindow, SystemInfoWithoutTheToolSaysSoInABoxWithoutIcon) {
    trelvo::MemoryRegistry empty;
    trelvo::setRegistry(&empty);
    BoxRecorder boxes;
    Owner owner;
    frmAbout w(owner.hwnd);
    SetFocus(w.cmdOK);
    EXPECT_TRUE(pressKey(w, 's', WM_SYSCHAR));  // Alt+S
    trelvo::setRegistry(nullptr);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "System Information Is Unavailable At This Time");
    EXPECT_EQ(boxes.boxes[0].title, "");
    EXPECT_EQ(boxes.boxes[0].icon, trelvo::Icon::None);
    EXPECT_EQ(trelvo::win32::MessageBoxes::style({"", "", trelvo::Icon::None}), UINT(MB_OK));
    EXPECT_NE(w.hwnd(), nullptr);  // the About window stays open
}

TEST(AboutWindow, SystemInfoLooksInTheSecondKeyForAFolderWithTheTool) {
    TempDir dir;
    trelvo::MemoryRegistry reg;
    const std::string folder = winPath(dir.path().string());
    reg.set("SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO",
            {trelvo::kRegSz, std::vector<unsigned char>(folder.begin(), folder.end())});
    trelvo::setRegistry(&reg);
    BoxRecorder boxes;
    Owner owner;
    frmAbout w(owner.hwnd);
    SendMessageW(w.cmdSysInfo, BM_CLICK, 0, 0);  // no MSINFO32.EXE there
    trelvo::setRegistry(nullptr);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(reg.openKeys(), 0u);
}

TEST(Win32Registry, ReadsTheSystemRegistryWithTheWin32Codes) {
    trelvo::Win32Registry reg;
    trelvo::RegKey key = 0;
    ASSERT_EQ(reg.open(trelvo::kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                       0, trelvo::kKeyAccessMask, &key),
              0);
    unsigned char buffer[1024] = {};
    std::uint32_t type = 0;
    std::uint32_t size = sizeof buffer;
    EXPECT_EQ(reg.query(key, "CurrentVersion", &type, buffer, &size), 0);
    EXPECT_EQ(type, trelvo::kRegSz);
    EXPECT_GT(size, 1u);
    EXPECT_EQ(buffer[size - 1], 0);  // stored with its terminating zero
    size = sizeof buffer;
    EXPECT_EQ(reg.query(key, "NoSuchValue", &type, buffer, &size), trelvo::kErrorFileNotFound);
    unsigned char small[2];
    size = sizeof small;
    EXPECT_EQ(reg.query(key, "CurrentVersion", &type, small, &size), trelvo::kErrorMoreData);
    EXPECT_EQ(reg.close(key), 0);
    EXPECT_EQ(reg.close(key), trelvo::kErrorInvalidHandle);
    EXPECT_EQ(reg.open(trelvo::kHkeyLocalMachine, "SOFTWARE\\No\\Such\\Key", 0,
                       trelvo::kKeyAccessMask, &key),
              trelvo::kErrorFileNotFound);
}

TEST(DesktopServices, TheFileTestSkipsFoldersHiddenAndSystemFiles) {
    TempDir dir;
    writeFile(dir.file("plain.exe"), "x");
    writeFile(dir.file("hidden.exe"), "x");
    writeFile(dir.file("system.exe"), "x");
    SetFileAttributesW(trelvo::widen(winPath(dir.file("hidden.exe"))).c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesW(trelvo::widen(winPath(dir.file("system.exe"))).c_str(), FILE_ATTRIBUTE_SYSTEM);
    EXPECT_TRUE(trelvo::fileExists(winPath(dir.file("plain.exe"))));
    EXPECT_FALSE(trelvo::fileExists(winPath(dir.file("hidden.exe"))));
    EXPECT_FALSE(trelvo::fileExists(winPath(dir.file("system.exe"))));
    EXPECT_FALSE(trelvo::fileExists(winPath(dir.path().string())));
    EXPECT_FALSE(trelvo::fileExists(winPath(dir.file("missing.exe"))));
    EXPECT_FALSE(trelvo::fileExists(""));
    EXPECT_TRUE(trelvo::existsAsFile(winPath(dir.file("hidden.exe"))));
    EXPECT_TRUE(trelvo::existsAsFile(winPath(dir.file("system.exe"))));
    EXPECT_FALSE(trelvo::existsAsFile(winPath(dir.path().string())));
    EXPECT_FALSE(trelvo::startProgram(winPath(dir.file("missing.exe"))));
    EXPECT_FALSE(trelvo::startProgram(""));
}

TEST(DesktopServices, TextFromTheSystemCodePageBecomesUtf8) {
    EXPECT_EQ(trelvo::fromSystemCodePage("C:\\Tools"), "C:\\Tools");
    // 0xFC is u-umlaut in the Western code page Wine and most Windows machines use.
    if (GetACP() == 1252) {
        EXPECT_EQ(trelvo::fromSystemCodePage("M\xFC"), "M\xC3\xBC");
    }
}
