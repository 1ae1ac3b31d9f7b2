// The program's pictures and fixed texts in trelvo.exe, as the Win32 windows use them.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string_view>

namespace trelvo::win32 {

// The program icon (several sizes in one .ico); the system picks the size it draws.
HICON programIcon();

// The pointing hand of link labels; its hot spot is the fingertip (column 12, row 1).
HCURSOR handCursor();

// The About window's logo, decoded from its JPEG; nullptr when it cannot be decoded.
HBITMAP logoBitmap();

// The fixed texts exactly as stored (CR LF line ends), ASCII.
std::string_view helpText();
std::string_view disclaimerText();

}  // namespace trelvo::win32
