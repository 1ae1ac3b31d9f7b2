// UTF-8 inside the program, UTF-16 at the edge to Windows. Windows file names may hold unpaired
// surrogates, so both directions carry them through (as 3-byte sequences, like WTF-8) instead of
// losing them: every name that comes from the system goes back to it unchanged.
#pragma once

#include <string>
#include <string_view>

namespace trelvo {

// Bytes that are not UTF-8 become U+FFFD.
std::u16string toUtf16(std::string_view utf8);
std::string fromUtf16(std::u16string_view utf16);

#if defined(_WIN32)
// The same for the Win32 calls, whose wchar_t is a UTF-16 unit.
std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);
#endif

}  // namespace trelvo
