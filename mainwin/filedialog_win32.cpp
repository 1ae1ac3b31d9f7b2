#include "mainwin/filedialog_win32.h"

#include <cwchar>

#include "files/utf16.h"

namespace trelvo::win32 {

namespace {

FileDialogs::Answerer& answerer() {
    static FileDialogs::Answerer a;
    return a;
}

}  // namespace

void OpenFileRequest::fill(HWND owner) {
    namespace form = design::mainForm;
    filter.clear();
    for (const design::FileFilter& f : form::kOpenDialogFilters) {
        filter += widen(f.description);
        filter += L'\0';
        filter += widen(f.pattern);
        filter += L'\0';
    }
    title = widen(form::kOpenDialogTitle);
    // The first Browse opens with no file name, in the default folder.
    file.fill(L'\0');
    fileTitle.fill(L'\0');

    ofn = OPENFILENAMEW{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.hInstance = GetModuleHandleW(nullptr);
    ofn.lpstrFilter = filter.c_str();  // ends in the string's own NUL: a double NUL
    ofn.nFilterIndex = form::kOpenDialogFilterIndex;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrFileTitle = fileTitle.data();
    ofn.nMaxFileTitle = static_cast<DWORD>(fileTitle.size());
    ofn.lpstrTitle = title.c_str();
    ofn.Flags = 0;
}

std::optional<std::wstring> FileDialogs::getOpenFileName(OpenFileRequest& request) {
    if (answerer()) {
        std::optional<std::wstring> answer = answerer()(request.ofn);
        if (!answer)
            return std::nullopt;
        // The dialog writes into the request's buffer and fails when the path does not fit.
        if (answer->size() >= request.ofn.nMaxFile)
            return std::nullopt;
        std::wmemcpy(request.ofn.lpstrFile, answer->c_str(), answer->size() + 1);
        return answer;
    }
    if (!GetOpenFileNameW(&request.ofn))
        return std::nullopt;
    return std::wstring(request.ofn.lpstrFile);
}

void FileDialogs::setAnswerer(Answerer a) {
    answerer() = std::move(a);
}

}  // namespace trelvo::win32
