// The desktop services the windows need besides the registry: testing for a file, starting a
// program, opening a web address with the desktop's handler, and reading text in the system's
// code page. Paths and texts are UTF-8 inside the program; each platform converts at its edge.
#pragma once

#include <string>
#include <string_view>

namespace trelvo {

// True when path names an existing ordinary file: not a folder, not hidden, not a system file.
// Linux has no hidden or system attribute; a name starting with "." is what file managers hide,
// so it counts as hidden.
bool fileExists(const std::string& path);

// True when path names something a run would empty when writing to it: anything that exists and
// is not a folder, hidden and system files included.
bool existsAsFile(const std::string& path);

// Starts the program at path on its own, in a normal window that takes the focus, without
// waiting for it and without arguments. False when it could not be started.
bool startProgram(const std::string& path);

// Opens web addresses. The result follows ShellExecute: above 32 means success.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    virtual int open(const std::string& url) = 0;
};

inline constexpr int kUrlOpened = 33;
inline constexpr int kUrlNoHandler = 31;  // SE_ERR_NOASSOC: nothing is registered to open it

// The desktop's handler, unless a test has put its own in place.
UrlOpener& urlOpener();
// Tests install their opener here; nullptr puts the desktop's back.
void setUrlOpener(UrlOpener* opener);

// Bytes of a text in the system's code page (as the registry's "A" calls return them), as UTF-8.
std::string fromSystemCodePage(std::string_view bytes);

}  // namespace trelvo
