// Replacing a file by a new version without ever leaving it half-written: written beside it,
// flushed to disk where that matters, then renamed over it. Every output (and with --in-place the
// library itself) is written so: a failed run leaves it as it was.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "files/native_file.h"

namespace trelvo {

// A uniquely named empty file in the folder of another file. Removed again when this object goes
// away (or when the program is interrupted) unless it has been renamed into place.
class TempFile {
public:
    // Nothing, with errorText set, when the folder does not allow it. The name carries the
    // process number (and on Linux the file stays locked while this object has it), so that
    // those a killed process left for the same target (SIGKILL, a power cut) are removed first.
    static std::optional<TempFile> createBeside(const std::string& target, std::string& errorText);

    // Takes charge of an existing file (and of the handle that holds its lock, if any).
    explicit TempFile(std::string path, std::intptr_t lock = -1);
    TempFile(TempFile&& other) noexcept;
    TempFile& operator=(TempFile&&) = delete;
    TempFile(const TempFile&) = delete;
    ~TempFile();

    const std::string& path() const { return path_; }
    void forget();  // it has become another file's name

private:
    std::string path_;
    std::intptr_t lock_ = -1;  // an open handle that holds the file's lock, or -1
};

// Removes this process's temporary files when interrupted: SIGINT, SIGTERM or SIGHUP (unless
// ignored, as under nohup); on Windows Ctrl+C, Ctrl+Break, a closed console, log-off, shutdown.
void installTempCleanup();

// While one exists, an interruption waits: a temporary file being made is known to the cleanup
// by then, a file being put in place is in place. May nest.
class HeldInterruptions {
public:
    HeldInterruptions();
    ~HeldInterruptions();
    HeldInterruptions(const HeldInterruptions&) = delete;
    HeldInterruptions& operator=(const HeldInterruptions&) = delete;

private:
    unsigned char saved_[128];  // the signal mask to restore (Linux)
};

// What the replacement carries over from the original file.
struct KeptAttributes {
#if defined(_WIN32)
    std::uint32_t attributes = 0;  // FILE_ATTRIBUTE_* of the original
#else
    std::uint32_t mode = 0;  // permission bits (07777)
    std::uint32_t uid = 0;
    std::uint32_t gid = 0;
#endif
};

// The attributes of the file path leads to (links followed); nothing for a folder, a device or
// what cannot be reached.
std::optional<KeptAttributes> plainFileAttributes(const std::string& path);

// What a file created afresh by this process would get (on Linux 0666 less the umask).
KeptAttributes newFileAttributes();

// How a file is put in place.
struct Replacement {
    std::optional<std::string> backup;  // where the target is kept, if anywhere
    bool backupReplaces = true;  // an older file of the backup's name is replaced, else it fails
    bool flush = true;           // the new file is flushed to disk first
    // When set, the target must still be this (checked last, just before it is kept and replaced).
    std::optional<native::FileState> unchanged;
};

// Gives temp the attributes of original (on Linux the permissions and, where allowed, the owner),
// flushes it, keeps the target as the backup and renames temp over target, as how says. On
// failure returns what went wrong; the target is then unchanged.
std::optional<std::string> replaceFile(const std::string& target, const KeptAttributes& original,
                                       TempFile& temp, const Replacement& how = {});

// "cannot replace 'PATH': another program changed it during the run".
std::string changedText(const std::string& path);

// The file a symbolic link at path points to (what a replacement of path replaces), or path
// itself when it is no link or leads nowhere.
std::string linkTarget(const std::string& path);

// "WHAT 'PATH': REASON", the reason being the system's text for the call that just failed.
std::string failureText(const std::string& what, const std::string& path);

// The system's text for the last failed call (errno, or GetLastError on Windows).
std::string lastErrorText();

}  // namespace trelvo
