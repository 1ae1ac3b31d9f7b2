// The desktop services on Windows: file attributes, CreateProcessW and ShellExecuteW.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <shellapi.h>

#include "platform/desktop.h"
#include "files/utf16.h"

namespace trelvo {

namespace {

class ShellUrlOpener : public UrlOpener {
public:
    int open(const std::string& url) override {
        // No owner, the target's default verb, no parameters, no folder, a normal window.
        const auto result = reinterpret_cast<INT_PTR>(
            ShellExecuteW(nullptr, nullptr, widen(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        return static_cast<int>(result);
    }
};

UrlOpener* installed = nullptr;

DWORD attributes(const std::string& path) {
    return path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(widen(path).c_str());
}

}  // namespace

bool fileExists(const std::string& path) {
    const DWORD a = attributes(path);
    constexpr DWORD kSkipped =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return a != INVALID_FILE_ATTRIBUTES && (a & kSkipped) == 0;
}

bool existsAsFile(const std::string& path) {
    const DWORD a = attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool startProgram(const std::string& path) {
    if (path.empty())
        return false;
    std::wstring program = widen(path);
    // The path is the program itself; the command line repeats it, quoted, as its first word.
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;  // a normal window that takes the focus
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &si, &pi)) {
        return false;
    }
    // Not waited for: the tool runs on its own.
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

UrlOpener& urlOpener() {
    static ShellUrlOpener shell;
    return installed != nullptr ? *installed : shell;
}

void setUrlOpener(UrlOpener* opener) {
    installed = opener;
}

std::string fromSystemCodePage(std::string_view bytes) {
    if (bytes.empty())
        return {};
    const int n =
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
    return narrow(text);
}

}  // namespace trelvo
