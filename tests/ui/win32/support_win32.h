// Helpers of the Win32 window tests: message boxes and the file-open dialog answered without a
// modal loop, modal windows scripted as they open, keys sent the way the message loop sends
// them, and controls looked at as the system sees them.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/report.h"
#include "mainwin/filedialog_win32.h"
#include "files/utf16.h"
#include "ui/win32/ui_win32.h"

namespace trelvo::test {

struct ShownBox {
    std::string text;
    std::string title;
    Icon icon;
    HWND owner;
};

// Records every box instead of showing it, for as long as it lives.
class BoxRecorder {
public:
    BoxRecorder() {
        win32::MessageBoxes::setRecorder(
            [this](HWND owner, const Report& r) { boxes.push_back({r.text, r.title, r.icon, owner}); });
    }
    ~BoxRecorder() { win32::MessageBoxes::setRecorder(nullptr); }
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    std::vector<ShownBox> boxes;
};

// What the dialog was asked for, copied when it was shown.
struct SeenRequest {
    DWORD structSize;
    HWND owner;
    std::wstring filter;  // with its NULs, up to and including the closing double NUL
    DWORD filterIndex;
    DWORD maxFile;
    DWORD maxFileTitle;
    std::wstring title;
    DWORD flags;
    std::wstring initialFile;
};

// Answers the file-open dialog from a queue (no answer left counts as a cancel).
class FileAnswers {
public:
    FileAnswers() {
        win32::FileDialogs::setAnswerer([this](const OPENFILENAMEW& r) {
            SeenRequest seen{r.lStructSize, r.hwndOwner, {}, r.nFilterIndex, r.nMaxFile,
                             r.nMaxFileTitle, r.lpstrTitle ? r.lpstrTitle : L"", r.Flags,
                             r.lpstrFile ? r.lpstrFile : L""};
            for (const wchar_t* p = r.lpstrFilter; p != nullptr; ++p) {
                seen.filter += *p;
                if (p[0] == L'\0' && p != r.lpstrFilter && p[-1] == L'\0')
                    break;
            }
            requests.push_back(seen);
            std::optional<std::wstring> answer;
            if (!answers.empty()) {
                answer = answers.front();
                answers.pop_front();
            }
            return answer;
        });
    }
    ~FileAnswers() { win32::FileDialogs::setAnswerer(nullptr); }
    FileAnswers(const FileAnswers&) = delete;
    FileAnswers& operator=(const FileAnswers&) = delete;

    std::deque<std::optional<std::wstring>> answers;
    std::vector<SeenRequest> requests;
};

// Acts on each modal window as its loop starts, in turn; a window with no action left is
// closed at once, so a test can never wait forever. Each action that leaves its window open
// has it closed afterwards.
class ModalScript {
public:
    using Action = std::function<void(win32::Window&)>;
    ModalScript() {
        win32::setModalHook([this](win32::Window& w) {
            ++opened;
            if (!actions.empty()) {
                Action a = std::move(actions.front());
                actions.pop_front();
                a(w);
            }
            w.close();
        });
    }
    ~ModalScript() { win32::setModalHook(nullptr); }
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;

    std::deque<Action> actions;
    int opened = 0;
};

// A key pressed on the focused control, through the window's key roles as the message loop
// hands it over. True when the window dealt with it itself.
inline bool pressKey(win32::Window& w, WPARAM key, UINT message = WM_KEYDOWN) {
    MSG msg{};
    msg.hwnd = GetFocus() != nullptr ? GetFocus() : w.hwnd();
    msg.message = message;
    msg.wParam = key;
    if (w.preTranslate(msg))
        return true;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return false;
}

// Handles what is queued (posted notifications, paints).
inline void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT)
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

inline std::wstring className(HWND h) {
    wchar_t name[64] = {};
    GetClassNameW(h, name, 64);
    return name;
}

// A control's rectangle in its window's client area.
inline RECT clientRect(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

inline SIZE clientSize(HWND window) {
    RECT r;
    GetClientRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

inline LOGFONTW fontOf(HWND control) {
    LOGFONTW lf{};
    auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    GetObjectW(font, sizeof lf, &lf);
    return lf;
}

inline LOGFONTW messageFont() {
    NONCLIENTMETRICSW m{};
    m.cbSize = sizeof m;
    SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0, 96);
    return m.lfMessageFont;
}

// The colours the window gives a control for painting: background and text.
struct Painted {
    HBRUSH brush;
    COLORREF back;
    COLORREF text;
};
inline Painted paintedColours(HWND window, HWND control, UINT message) {
    HDC dc = CreateCompatibleDC(nullptr);
    const auto brush = reinterpret_cast<HBRUSH>(
        SendMessageW(window, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control)));
    Painted p{brush, GetBkColor(dc), GetTextColor(dc)};
    DeleteDC(dc);
    return p;
}

// A path as the Windows programs see it.
inline std::string winPath(const std::string& p) {
    std::string out = p;
    for (char& c : out) {
        if (c == '/')
            c = '\\';
    }
    return out;
}

}  // namespace trelvo::test
