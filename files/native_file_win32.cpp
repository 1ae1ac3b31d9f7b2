// Native files on Windows: CreateFileW/ReadFile/WriteFile on handles (names in UTF-16),
// identities from the volume serial number and the file index.
#include <windows.h>

#include <algorithm>

#include "files/long_path.h"
#include "files/native_file.h"

namespace trelvo::native {

bool (*testFileStep)(const char* step) = nullptr;

namespace {

HANDLE handleOf(Handle h) {
    return reinterpret_cast<HANDLE>(h);
}

Handle fromHandle(HANDLE h) {
    return h == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<Handle>(h);
}

std::uint64_t joined(DWORD high, DWORD low) {
    return (std::uint64_t{high} << 32) | low;
}

FileId idOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return FileId{info.dwVolumeSerialNumber, joined(info.nFileIndexHigh, info.nFileIndexLow), true};
}

FileId idOf(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info))
        return {};
    return idOf(info);
}

// Other programs may go on reading, writing or renaming the file: our lock must not fail them.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

Handle openRead(const std::string& path, FileId& id) {
    // A folder cannot be opened without FILE_FLAG_BACKUP_SEMANTICS; a file that another
    // program holds with a sharing lock fails at once (ERROR_SHARING_VIOLATION), never waits.
    fileStep("open");
    HANDLE h =
        CreateFileW(systemPath(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return kNoFile;
    // A console, pipe or device such as CON would wait for input that never comes.
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        SetLastError(ERROR_INVALID_FUNCTION);
        return kNoFile;
    }
    id = idOf(h);
    return fromHandle(h);
}

std::optional<FileState> stateOf(Handle h) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handleOf(h), &info))
        return std::nullopt;
    const FILETIME& t = info.ftLastWriteTime;
    return FileState{idOf(info), joined(info.nFileSizeHigh, info.nFileSizeLow),
                     static_cast<std::int64_t>(joined(t.dwHighDateTime, t.dwLowDateTime))};
}

Handle openForLock(const std::string& path, FileId& id) {
    return openRead(path, id);  // LockFileEx takes a handle open for reading
}

std::optional<FileState> stateOf(const std::string& path) {
    // No access asked, only the identity: works on a file others hold locked, and on folders.
    HANDLE h = CreateFileW(systemPath(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::nullopt;
    const auto state = stateOf(fromHandle(h));
    CloseHandle(h);
    return state;
}

bool lockForUpdate(Handle h) {
    // Windows locks are mandatory for the bytes they cover: these are bytes no file reaches.
    OVERLAPPED at{};
    at.Offset = 0xFFFFFFFE;
    at.OffsetHigh = 0x7FFFFFFF;
    if (LockFileEx(handleOf(h), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
        return true;
    return GetLastError() != ERROR_LOCK_VIOLATION;
}

Handle openWrite(const std::string& path, FileId& id) {
    // OPEN_ALWAYS, emptied later in truncate: CREATE_ALWAYS refuses an existing hidden or system
    // file, which is so replaced as any other, keeping its attributes. A named pipe opens at once
    // or fails (no instance free). A temporary file (or a device) is opened here: shared for
    // deletion, so that the Ctrl+C cleanup can remove it while the pass still writes it.
    fileStep("open for writing");
    HANDLE h = CreateFileW(systemPath(path).c_str(), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return kNoFile;
    if (GetFileType(h) == FILE_TYPE_DISK) {
        BY_HANDLE_FILE_INFORMATION info{};
        // Without its identity the file could be the input: then it is not written at all.
        // Windows refuses to open a read-only file for writing, Wine run by root does not: so
        // the attribute means "keep this" wherever the program runs.
        if (!GetFileInformationByHandle(h, &info) ||
            (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
            CloseHandle(h);
            return kNoFile;
        }
        id = idOf(info);
    }
    return fromHandle(h);
}

bool truncate(Handle h) {
    if (GetFileType(handleOf(h)) != FILE_TYPE_DISK)
        return true;
    fileStep("truncate");
    return SetEndOfFile(handleOf(h)) != 0;
}

FileId identify(const std::string& path) {
    const auto state = stateOf(path);
    return state ? state->id : FileId{};
}

PathKind kindOf(const std::string& path) {
    // The device space is never opened to be looked at: that would take a pipe's only instance.
    if (path.starts_with("\\\\.\\") || path.starts_with("//./"))
        return PathKind::Other;
    const std::wstring name = systemPath(path);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &data)) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PathKind::Missing
                                                                               : PathKind::Other;
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return PathKind::Folder;
    HANDLE h = CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return PathKind::File;  // locked by another program, but a file on a disk
    const bool disk = GetFileType(h) == FILE_TYPE_DISK;
    CloseHandle(h);
    return disk ? PathKind::File : PathKind::Other;
}

bool mayWrite(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(systemPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_READONLY);
}

std::int64_t read(Handle h, char* data, std::size_t size) {
    fileStep("read");
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!ReadFile(handleOf(h), data, want, &got, nullptr))
        return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
    return got;
}

bool writeAll(Handle h, const char* data, std::size_t size) {
    // Under the kill tests a block goes in two halves, so that a run can end half-way through.
    std::size_t part = testFileStep && size > 1 ? size / 2 : size;
    while (size > 0) {
        fileStep("write");
        DWORD done = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(part, 1u << 30));
        if (!WriteFile(handleOf(h), data, chunk, &done, nullptr) || done == 0)
            return false;
        data += done;
        size -= done;
        part = size;
    }
    return true;
}

std::optional<std::uint64_t> plainFileSize(Handle h) {
    LARGE_INTEGER size{};
    if (GetFileType(handleOf(h)) != FILE_TYPE_DISK || !GetFileSizeEx(handleOf(h), &size))
        return std::nullopt;
    return static_cast<std::uint64_t>(size.QuadPart);
}

bool writeAll(Handle h, const ByteSpan* spans, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (!writeAll(h, spans[i].data, spans[i].size))
            return false;
    }
    return true;
}

bool close(Handle h) {
    fileStep("close");
    return CloseHandle(handleOf(h)) != 0;
}

}  // namespace trelvo::native
