// trelvo-shots.exe FOLDER: shows the main window and every window and box a run, Browse, Help
// and About can bring up, and saves each as it is drawn on the screen to a PNG file in FOLDER,
// for checking the layout by eye. Run it in a Wine desktop (scripts/screenshots --windows), where
// Wine draws the frames and title bars itself.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "infowin/frmAbout_win32.h"
#include "infowin/frmLicAgmt_win32.h"
#include "mainwin/design.h"
#include "mainwin/filedialog_win32.h"
#include "mainwin/frmtrelvo_win32.h"
#include "files/utf16.h"

namespace form = trelvo::design::mainForm;
using trelvo::win32::frmAbout;
using trelvo::win32::frmLicAgmt;
using trelvo::win32::frmTrelvo;

namespace {

// ---- A PNG file from 24-bit pixels, stored without compression ----

std::uint32_t crc32(const unsigned char* data, std::size_t n, std::uint32_t crc = 0) {
    static std::uint32_t table[256];
    static const bool ready = [] {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        return true;
    }();
    (void)ready;
    crc = ~crc;
    for (std::size_t i = 0; i < n; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void put32(std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((v >> shift) & 0xFF);
}

void chunk(std::string& out, const char* type, const std::string& data) {
    put32(out, static_cast<std::uint32_t>(data.size()));
    const std::string body = std::string(type, 4) + data;
    out += body;
    put32(out, crc32(reinterpret_cast<const unsigned char*>(body.data()), body.size()));
}

// rows: height rows of width RGB triples.
std::string png(int width, int height, const std::string& rows) {
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw += '\0';  // no filter
        raw.append(rows, static_cast<std::size_t>(y) * width * 3,
                   static_cast<std::size_t>(width) * 3);
    }
    std::string z = "\x78\x01";
    std::uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    for (std::size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
        z += static_cast<char>(at + n >= raw.size() ? 1 : 0);
        z += static_cast<char>(n & 0xFF);
        z += static_cast<char>(n >> 8);
        z += static_cast<char>(~n & 0xFF);
        z += static_cast<char>((~n >> 8) & 0xFF);
        z.append(raw, at, n);
        if (raw.empty())
            break;
    }
    put32(z, (b << 16) | a);

    std::string ihdr;
    put32(ihdr, static_cast<std::uint32_t>(width));
    put32(ihdr, static_cast<std::uint32_t>(height));
    ihdr += std::string("\x08\x02\x00\x00\x00", 5);
    std::string out = "\x89PNG\r\n\x1a\n";
    chunk(out, "IHDR", ihdr);
    chunk(out, "IDAT", z);
    chunk(out, "IEND", "");
    return out;
}

// Saves what the screen shows of a window, frame and title bar included.
bool capture(HWND window, const std::wstring& path) {
    RECT r;
    GetWindowRect(window, &r);
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    if (w <= 0 || h <= 0)
        return false;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY | CAPTUREBLT);
    std::string rgb(static_cast<std::size_t>(w) * h * 3, '\0');
    const auto* px = static_cast<const unsigned char*>(bits);
    for (std::size_t i = 0; i < static_cast<std::size_t>(w) * h; ++i) {
        rgb[i * 3] = static_cast<char>(px[i * 4 + 2]);
        rgb[i * 3 + 1] = static_cast<char>(px[i * 4 + 1]);
        rgb[i * 3 + 2] = static_cast<char>(px[i * 4]);
    }
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);

    const std::string file = png(w, h, rgb);
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(f, file.data(), static_cast<DWORD>(file.size()), &written, nullptr) &&
                    written == file.size();
    CloseHandle(f);
    return ok;
}

// Lets Wine draw everything that is pending.
void settle(int rounds = 6) {
    for (int i = 0; i < rounds; ++i) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(50);
    }
}

// Catches the windows that an action brings up (message boxes, our modal windows, the file
// dialog): the first is saved to the target file, each is closed once it has been drawn.
struct Catcher {
    std::wstring target;
    HWND main = nullptr;
    std::set<HWND> closed;
    HWND pending = nullptr;
    int ticks = 0;
    bool saved = false;
};
Catcher catcher;

BOOL CALLBACK findNew(HWND w, LPARAM found) {
    if (w != catcher.main && IsWindowVisible(w) && IsWindowEnabled(w) &&
        catcher.closed.count(w) == 0 && GetWindow(w, GW_OWNER) != nullptr) {
        *reinterpret_cast<HWND*>(found) = w;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK onTick(HWND, UINT, UINT_PTR, DWORD) {
    if (catcher.pending == nullptr || !IsWindow(catcher.pending)) {
        HWND found = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), findNew, reinterpret_cast<LPARAM>(&found));
        catcher.pending = found;
        catcher.ticks = 0;
        return;
    }
    // A few ticks for the window to be drawn (the file dialog fills its list first).
    if (++catcher.ticks < 4)
        return;
    if (!catcher.target.empty()) {
        catcher.saved = capture(catcher.pending, catcher.target);
        catcher.target.clear();
    }
    catcher.closed.insert(catcher.pending);
    PostMessageW(catcher.pending, WM_CLOSE, 0, 0);
    catcher.pending = nullptr;
}

void write(const std::wstring& path, const std::string& bytes) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    CloseHandle(f);
}

// The sample libraries the pictures are made with, from the test data folder.
std::string sample(const char* name) {
    const std::wstring path = trelvo::widen(std::string(TRELVO_TEST_DATA) + "\\" + name);
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return {};
    std::string bytes;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(f, buffer, sizeof buffer, &n, nullptr) && n > 0)
        bytes.append(buffer, n);
    CloseHandle(f);
    return bytes;
}

struct Scene {
    frmTrelvo window;
    std::string dir;

    void type(const trelvo::design::Control& box, const std::string& text) {
        trelvo::win32::setWindowText(window.control(box), text);
    }
    void click(const trelvo::design::Control& c) {
        SendMessageW(window.control(c), BM_CLICK, 0, 0);
    }
    std::string path(const std::string& name) const { return dir + "\\" + name; }
    void files(const std::string& in, const std::string& out) {
        type(form::tbxFileOpen, path(in));
        type(form::tbxFileOut, path(out));
    }
};

void answerBrowse(std::optional<std::string> answer) {
    trelvo::win32::FileDialogs::setAnswerer(
        [answer](const OPENFILENAMEW&) -> std::optional<std::wstring> {
            if (!answer)
                return std::nullopt;
            return trelvo::widen(*answer);
        });
}

// What one picture shows: act() brings the main window into shape and returns true when the
// main window itself is the picture, or clicks what brings up the window to be captured.
struct Shot {
    const char* file;
    std::function<bool(Scene&)> act;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: trelvo-shots FOLDER\n");
        return 2;
    }
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring out = argv[1];
    CreateDirectoryW(out.c_str(), nullptr);

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::string dir = trelvo::narrow(temp) + "libraries";
    CreateDirectoryW(trelvo::widen(dir).c_str(), nullptr);
    SetCurrentDirectoryW(trelvo::widen(dir).c_str());  // where the first Browse opens
    const std::string library = sample("open-pieces-on-layer-26.d");
    const std::string text = sample("not-a-library.d");
    const std::string badUnit = sample("bad-unit-letter.d");
    if (library.empty() || text.empty() || badUnit.empty()) {
        std::fprintf(stderr, "trelvo-shots: the sample libraries in %s are missing\n",
                     TRELVO_TEST_DATA);
        return 1;
    }
    write(trelvo::widen(dir + "\\parts.d"), library);
    write(trelvo::widen(dir + "\\parts_new.d"), library);
    write(trelvo::widen(dir + "\\text.d"), text);
    write(trelvo::widen(dir + "\\badunit.d"), badUnit);

    const std::vector<Shot> shots = {
        {"main.png", [](Scene&) { return true; }},
        {"main-filled.png",
         [](Scene& s) {
             s.type(form::tbxFileOpen, "C:\\Users\\pat\\pcb\\parts.d");
             s.type(form::tbxFileOut, "C:\\Users\\pat\\pcb\\parts_new.d");
             s.type(form::tbxOldLyr, "26");
             s.click(form::chkEnWd);
             return true;
         }},
        {"user-entry-error.png", [](Scene& s) { return s.click(form::btnRun), false; }},
        {"file-read-error.png",
         [](Scene& s) {
             return s.files("missing.d", "missing_new.d"), s.click(form::btnRun), false;
         }},
        {"selection-error.png",
         [](Scene& s) {
             s.files("parts.d", "out.d");
             s.click(form::chkEnLyr);
             return s.click(form::btnRun), false;
         }},
        {"file-format-error-signature.png",
         [](Scene& s) { return s.files("text.d", "out.d"), s.click(form::btnRun), false; }},
        {"file-format-error-unit.png",
         [](Scene& s) { return s.files("badunit.d", "out.d"), s.click(form::btnRun), false; }},
        {"file-write-error.png",
         [](Scene& s) {
             return s.files("parts.d", "no-such-folder\\out.d"), s.click(form::btnRun), false;
         }},
        {"done.png",
         [](Scene& s) {
             s.files("parts.d", "parts_new.d");
             s.type(form::tbxOldLyr, "26");
             return s.click(form::btnRun), false;
         }},
        {"open-file-dialog.png", [](Scene& s) { return s.click(form::btnFileOpen), false; }},
        {"no-file-selected.png",
         [](Scene& s) { return answerBrowse(std::nullopt), s.click(form::btnFileOpen), false; }},
        {"overwrite-file.png",
         [](Scene& s) {
             return answerBrowse(s.path("parts.d")), s.click(form::btnFileOpen), false;
         }},
        {"help.png", [](Scene& s) { return s.click(form::btnHelp), false; }},
        // Reached from the Help window; shown here over the main window, which looks the same.
        {"about.png", [](Scene& s) { return frmAbout::showModal(s.window.hwnd()), false; }},
        {"licence-agreement.png",
         [](Scene& s) { return frmLicAgmt::showModal(s.window.hwnd()), false; }},
        {"system-info-unavailable.png",
         [](Scene& s) {
             trelvo::win32::MessageBoxes::show(
                 s.window.hwnd(),
                 {"System Information Is Unavailable At This Time", "", trelvo::Icon::None});
             return false;
         }},
    };

    const UINT_PTR timer = SetTimer(nullptr, 0, 100, onTick);
    int failures = 0;
    for (const Shot& shot : shots) {
        const std::wstring file = out + L"\\" + trelvo::widen(shot.file);
        DeleteFileW(file.c_str());
        auto scene = std::make_unique<Scene>();
        scene->dir = dir;
        scene->window.show();
        settle();
        trelvo::win32::FileDialogs::setAnswerer(nullptr);
        catcher = Catcher{};
        catcher.main = scene->window.hwnd();
        catcher.target = file;
        if (shot.act(*scene)) {
            settle();
            catcher.target.clear();
            catcher.saved = capture(scene->window.hwnd(), file);
        }
        settle();
        if (!catcher.saved) {
            std::fprintf(stderr, "trelvo-shots: nothing captured for %s\n", shot.file);
            ++failures;
        } else {
            std::printf("%s\n", shot.file);
        }
        DestroyWindow(scene->window.hwnd());
        settle(1);
    }
    KillTimer(nullptr, timer);
    return failures == 0 ? 0 : 1;
}
