// The Win32 half of long_path.h: relative names made full with GetFullPathNameW, which also
// drops "." and ".." parts (the extended-length form would take them literally).
#include <windows.h>

#include "files/long_path.h"
#include "files/utf16.h"

namespace trelvo {

namespace {

std::u16string_view units(std::wstring_view w) {
    return std::u16string_view(reinterpret_cast<const char16_t*>(w.data()), w.size());
}

std::wstring wide(const std::u16string& u) {
    return std::wstring(reinterpret_cast<const wchar_t*>(u.data()), u.size());
}

// The full form of path, or nothing when the system cannot make one.
std::wstring fullPathName(const std::wstring& path) {
    std::wstring full(path.size() + MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (n == 0)
            return {};
        if (n < full.size()) {
            full.resize(n);
            return full;
        }
        full.resize(n);  // n counts the NUL when the buffer was too small
    }
}

}  // namespace

std::wstring systemPath(std::string_view utf8) {
    std::wstring w = widen(utf8);
    const std::u16string_view u = units(w);
    if (isVerbatimPath(u) || (w.size() < kLongPathFrom && isFullPath(u)))
        return w;
    // ".." parts count against the limit too: the length that matters is the full path's.
    const std::wstring full = fullPathName(w);
    if (full.empty() || full.size() < kLongPathFrom)
        return w;
    return wide(longPathForm(units(full)));
}

}  // namespace trelvo
