// Native files on Linux: open/read/write/close on descriptors, identities from st_dev and
// st_ino, reasons from errno.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "files/native_file.h"

namespace trelvo::native {

namespace {

FileId idOf(const struct stat& st) {
    return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                  true};
}

FileState stateOf(const struct stat& st) {
    return FileState{idOf(st), static_cast<std::uint64_t>(st.st_size),
                     std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec};
}

// fd, with id set, when fstat succeeds and accept takes its mode; else kNoFile, fd closed and
// errno kept (refused for a mode not taken).
Handle withId(int fd, FileId& id, bool (*accept)(mode_t), int refused) {
    if (fd < 0)
        return kNoFile;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !accept(st.st_mode)) {
        const int error = accept(st.st_mode) ? errno : refused;
        ::close(fd);
        errno = error;
        return kNoFile;
    }
    id = idOf(st);
    return fd;
}

}  // namespace

Handle openRead(const std::string& path, FileId& id) {
    // A folder opens fine on Linux but is not a text file.
    const auto notFolder = [](mode_t mode) { return !S_ISDIR(mode); };
    return withId(::open(path.c_str(), O_RDONLY | O_CLOEXEC), id, notFolder, EISDIR);
}

std::optional<FileState> stateOf(Handle h) {
    struct stat st {};
    if (::fstat(static_cast<int>(h), &st) != 0)
        return std::nullopt;
    return stateOf(st);
}

std::optional<FileState> stateOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return stateOf(st);
}

bool lockForUpdate(Handle h) {
    while (::flock(static_cast<int>(h), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR)
            return errno != EWOULDBLOCK;
    }
    return true;
}

Handle openForLock(const std::string& path, FileId& id) {
    const auto plain = [](mode_t mode) { return S_ISREG(mode); };
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    const Handle h = withId(fd, id, plain, 0);
    return h != kNoFile ? h : openRead(path, id);
}

Handle openWrite(const std::string& path, FileId& id) {
    // Non-blocking only for the open itself: a pipe nobody reads would otherwise hang the run
    // (and the window) forever; it fails with ENXIO instead.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0)
        return kNoFile;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return kNoFile;
    }
    // Without its identity the file could be the input: then it is not written at all.
    const auto anyKind = [](mode_t) { return true; };
    return withId(fd, id, anyKind, 0);
}

bool truncate(Handle h) {
    struct stat st {};
    if (::fstat(static_cast<int>(h), &st) != 0)
        return false;
    // As O_TRUNC would: a pipe or terminal has no length to cut. Nor has an empty file, and
    // cutting it anyway costs much: ext4 then writes the whole new file out to disk on close,
    // which the caller waits for (the guard for programs that rewrite a file by truncating it).
    if (!S_ISREG(st.st_mode) || st.st_size == 0)
        return true;
    for (;;) {
        if (::ftruncate(static_cast<int>(h), 0) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

FileId identify(const std::string& path) {
    const auto state = stateOf(path);
    return state ? state->id : FileId{};
}

PathKind kindOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT ? PathKind::Missing : PathKind::Other;
    if (S_ISREG(st.st_mode))
        return PathKind::File;
    return S_ISDIR(st.st_mode) ? PathKind::Folder : PathKind::Other;
}

bool mayWrite(const std::string& path) {
    return ::access(path.c_str(), W_OK) == 0;
}

std::int64_t read(Handle h, char* data, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(static_cast<int>(h), data, size);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

bool writeAll(Handle h, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(static_cast<int>(h), data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool writeAll(Handle h, const ByteSpan* spans, std::size_t count) {
    iovec gathered[IOV_MAX];
    while (count > 0) {
        const std::size_t n = std::min<std::size_t>(count, IOV_MAX);
        for (std::size_t i = 0; i < n; ++i)
            gathered[i] = {const_cast<char*>(spans[i].data), spans[i].size};
        // A short write goes on from where it stopped, in the span it stopped in.
        iovec* at = gathered;
        std::size_t left = n;
        while (left > 0) {
            const ssize_t written = ::writev(static_cast<int>(h), at, static_cast<int>(left));
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            auto rest = static_cast<std::size_t>(written);
            while (left > 0 && rest >= at->iov_len) {
                rest -= at->iov_len;
                ++at;
                --left;
            }
            if (left > 0) {
                at->iov_base = static_cast<char*>(at->iov_base) + rest;
                at->iov_len -= rest;
            }
        }
        spans += n;
        count -= n;
    }
    return true;
}

std::optional<std::uint64_t> plainFileSize(Handle h) {
    struct stat st {};
    if (::fstat(static_cast<int>(h), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

bool close(Handle h) {
    return ::close(static_cast<int>(h)) == 0;
}

}  // namespace trelvo::native
