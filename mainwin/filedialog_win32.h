// The one place where the Win32 program asks the user for a file to open: GetOpenFileNameW with
// the request the main window fills once at load. Tests answer it instead of the dialog.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <commdlg.h>

#include <array>
#include <functional>
#include <optional>
#include <string>

#include "mainwin/design.h"

namespace trelvo::win32 {

// OpenDlgRec: the OPENFILENAMEW record and the buffers it points to, kept for the window's life
// so that each Browse opens on the file chosen the time before.
struct OpenFileRequest {
    OPENFILENAMEW ofn{};
    std::wstring filter;  // description NUL pattern NUL ... NUL
    std::wstring title;
    std::array<wchar_t, design::mainForm::kOpenDialogPathChars + 1> file{};
    std::array<wchar_t, design::mainForm::kOpenDialogPathChars + 1> fileTitle{};

    OpenFileRequest() = default;
    OpenFileRequest(const OpenFileRequest&) = delete;  // ofn points into this object
    OpenFileRequest& operator=(const OpenFileRequest&) = delete;

    // Fills the record for owner: title, the two filters with the first active, the buffers.
    void fill(HWND owner);
};

class FileDialogs {
public:
    // Shows the dialog for the request. On a choice returns the path as the dialog wrote it into
    // the request's buffer; nothing when the user cancelled or the dialog failed (a path longer
    // than the buffer, say).
    static std::optional<std::wstring> getOpenFileName(OpenFileRequest& request);

    // Tests install an answerer: it sees the record as the dialog would and its answer counts as
    // the user's (nothing: cancelled).
    using Answerer = std::function<std::optional<std::wstring>(const OPENFILENAMEW& request)>;
    static void setAnswerer(Answerer answerer);
};

}  // namespace trelvo::win32
