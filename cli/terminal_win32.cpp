// The terminal on Windows: whether standard error is a console and its width, from the
// console's screen buffer; text goes to it as UTF-16.
#include <windows.h>

#include <string>

#include "cli/terminal.h"
#include "files/utf16.h"

namespace trelvo::cli::terminal {

namespace {

HANDLE stderrHandle() {
    return GetStdHandle(STD_ERROR_HANDLE);
}

}  // namespace

bool stderrIsOne() {
    // _isatty is also true for NUL and other character devices; only a console has a mode and a
    // screen buffer.
    DWORD mode = 0;
    CONSOLE_SCREEN_BUFFER_INFO info{};
    return GetConsoleMode(stderrHandle(), &mode) &&
           GetConsoleScreenBufferInfo(stderrHandle(), &info);
}

void clearLine() {
    const HANDLE h = stderrHandle();
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(h, &info))
        return;
    const COORD start{0, info.dwCursorPosition.Y};
    DWORD done = 0;
    FillConsoleOutputCharacterW(h, L' ', static_cast<DWORD>(info.dwSize.X), start, &done);
    FillConsoleOutputAttribute(h, info.wAttributes, static_cast<DWORD>(info.dwSize.X), start,
                               &done);
    SetConsoleCursorPosition(h, start);
}

void showLine(std::string_view text) {
    const HANDLE h = stderrHandle();
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(h, &info))
        return;
    // The console wraps at the width of its buffer; it counts UTF-16 units of the line here,
    // which is what a name in a Western or CJK script takes closely enough.
    std::wstring line = widen(text);
    const std::size_t room = info.dwSize.X > 1 ? static_cast<std::size_t>(info.dwSize.X) - 1 : 0;
    if (line.size() > room) {
        line.resize(room);
        if (!line.empty() && line.back() >= 0xD800 && line.back() < 0xDC00)
            line.pop_back();  // never half a surrogate pair
    }
    for (wchar_t& c : line) {
        if (c < 0x20)
            c = L'?';
    }
    DWORD done = 0;
    WriteConsoleW(h, line.data(), static_cast<DWORD>(line.size()), &done, nullptr);
}

}  // namespace trelvo::cli::terminal
