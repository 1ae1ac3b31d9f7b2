// The desktop services the About window needs besides the registry: testing for a file,
// starting a program and opening a web address with the desktop's handler.
#pragma once

#include <QString>

namespace trelvo {

// True when path names an existing plain file: not a folder, not hidden. Linux has no hidden or
// system attribute; a name starting with "." is what file managers hide, so it counts as hidden.
bool fileExists(const QString& path);

// Starts the program at path on its own (detached, not waited for, no arguments). False when it
// could not be started: no such file, not executable, or the start failed.
bool startProgram(const QString& path);

// Opens web addresses. The result follows ShellExecute: above 32 means success.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    virtual int open(const QString& url) = 0;
};

inline constexpr int kUrlOpened = 33;
inline constexpr int kUrlNoHandler = 31;  // SE_ERR_NOASSOC: nothing is registered to open it

// The desktop's handler (QDesktopServices), unless a test has put its own in place.
UrlOpener& urlOpener();
// Tests install their opener here; nullptr puts the desktop's back.
void setUrlOpener(UrlOpener* opener);

}  // namespace trelvo
