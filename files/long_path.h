// Windows takes a path of MAX_PATH (260) characters or more only in its extended-length form,
// "\\?\C:\..." or "\\?\UNC\server\share\...", passed on as it is: no relative parts, no forward
// slashes. Every name goes through systemPath where it becomes UTF-16 for a file call.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace trelvo {

// The length from which a path needs the extended-length form.
inline constexpr std::size_t kLongPathFrom = 260;

// The extended-length form of a full path (drive or UNC, as GetFullPathNameW gives it), with
// backslashes only. A path shorter than kLongPathFrom, already verbatim, or not full (relative,
// "C:name", "\name") comes back unchanged. No system call: the same on every system.
std::u16string longPathForm(std::u16string_view fullPath);

// Whether path names its place without the current folder or drive: "C:\..." or "\\server\...".
bool isFullPath(std::u16string_view path);

// "\\?\..." or "\\.\...": names the system takes as they are.
bool isVerbatimPath(std::u16string_view path);

#if defined(_WIN32)
// utf8 in UTF-16 for a Win32 file call: made full first (GetFullPathNameW) when it is relative
// and then in the extended-length form when it is that long; shorter paths unchanged.
std::wstring systemPath(std::string_view utf8);
#endif

}  // namespace trelvo
