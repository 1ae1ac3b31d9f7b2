// The few file calls the channels need, on each system's own interface: POSIX descriptors on
// Linux, Win32 handles (with UTF-16 names) on Windows. Paths are UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace trelvo {

// Bytes to write, where they lie.
struct ByteSpan {
    const char* data;
    std::size_t size;
};

}  // namespace trelvo

namespace trelvo::native {

using Handle = std::intptr_t;
inline constexpr Handle kNoFile = -1;  // also the value of INVALID_HANDLE_VALUE

// Which file a name leads to, after links: same identity, same file, whatever the spelling.
struct FileId {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    bool known = false;
    bool operator==(const FileId& o) const {
        return known && o.known && volume == o.volume && index == o.index;
    }
};

// An existing file for reading; a folder or device is refused. kNoFile on failure.
Handle openRead(const std::string& path, FileId& id);

// What tells whether a file was changed: its identity, size and time of last modification.
struct FileState {
    FileId id;
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // in the system's units
    bool operator==(const FileState&) const = default;
};
std::optional<FileState> stateOf(Handle h);
std::optional<FileState> stateOf(const std::string& path);  // what path names now

// An existing plain file to hold a lock on: open for writing too where allowed (a network file
// system locks only files open for writing). kNoFile on failure.
Handle openForLock(const std::string& path, FileId& id);

// Takes, without waiting, a lock that other Trelvo runs honour and nothing else notices (flock;
// on Windows a byte range past any end a file can have). False only when another process holds
// it; a file system without locks lets every run go on.
bool lockForUpdate(Handle h);

// Opens the file for writing, creating it when there is none, but leaves an existing file's
// bytes alone: id says which file it is before anything is lost (see truncate). Never waits for
// a reader (a pipe nobody reads fails at once). Refuses a folder, and on Windows a read-only file.
Handle openWrite(const std::string& path, FileId& id);

// Empties a file opened by openWrite; a pipe or device has nothing to empty. False on failure.
bool truncate(Handle h);

// The identity of what path names now; known is false when it names nothing reachable.
FileId identify(const std::string& path);

// What a path names now, links followed. Other: a pipe, device or console (written, not replaced).
enum class PathKind { Missing, File, Folder, Other };
PathKind kindOf(const std::string& path);

// Whether this process may write the existing file (by permissions, or the read-only attribute).
bool mayWrite(const std::string& path);

// Up to size bytes; 0 at end of file, -1 on an error.
std::int64_t read(Handle h, char* data, std::size_t size);

bool writeAll(Handle h, const char* data, std::size_t size);
// The spans in order, gathered into as few system calls as the system allows.
bool writeAll(Handle h, const ByteSpan* spans, std::size_t count);

// The size of a plain file; nothing for a pipe, a device or a failure.
std::optional<std::uint64_t> plainFileSize(Handle h);

// False when the system reports that data could not be stored.
bool close(Handle h);

#if defined(_WIN32)
// Called with its name before each Win32 file step that reads, changes or removes a file. Set only
// in the kill tests' build of trelvo-cli, to end the process at a chosen step as a power cut would
// (on Linux a preloaded shim does that). False makes the step fail as unsupported: only "link"
// asks, which then falls back to a copy.
extern bool (*testFileStep)(const char* step);
inline bool fileStep(const char* step) {
    return !testFileStep || testFileStep(step);
}
#endif

}  // namespace trelvo::native
