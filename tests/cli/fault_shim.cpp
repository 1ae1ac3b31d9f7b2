// Loaded into trelvo-cli with LD_PRELOAD by the in-place tests, to make one step of the
// replacement fail the way a full disk or a broken file system would. TRELVO_TEST_FAULT names
// the step: "mkstemp", "fsync", "rename" (the rename over the input), "link" (forces the copy
// that stands in for a hard link), or "corrupt" (spoils the first block written to the temporary
// file, which the read-back check must catch). Only files of an in-place run are affected.
//
// It also kills the process outright, as a power cut or kill -9 would. File steps are counted:
// each read, write (or writev), ftruncate, fsync, fchmod or fchown of a file under
// TRELVO_TEST_KILL_DIR (an absolute path) and each mkstemp, link, rename, unlink or unlinkat. TRELVO_TEST_STEP_LOG names a
// file that gets one line per step ("NUMBER NAME"); with TRELVO_TEST_KILL_AT=N the process sends
// itself SIGKILL (or the signal TRELVO_TEST_SIGNAL names) just before step N, or, for a write with
// TRELVO_TEST_KILL_HALF=1, after writing the first half of its bytes.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool faultIs(const char* name) {
    const char* f = std::getenv("TRELVO_TEST_FAULT");
    return f && std::strcmp(f, name) == 0;
}

bool isTempName(const char* path) {
    return path && std::strstr(path, ".trelvo-") != nullptr;
}

// The path an open descriptor refers to, into target; false when it has none.
bool fdPath(int fd, char (&target)[4096]) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = ::readlink(link, target, sizeof target - 1);
    if (n <= 0)
        return false;
    target[n] = '\0';
    return true;
}

bool isTempFd(int fd) {
    char target[4096];
    return fdPath(fd, target) && isTempName(target);
}

template <typename F>
F next(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

bool corrupted = false;

bool fdInKillDir(int fd) {
    const char* dir = std::getenv("TRELVO_TEST_KILL_DIR");
    if (!dir || !*dir)
        return false;
    char target[4096];
    if (!fdPath(fd, target))
        return false;
    const std::size_t len = std::strlen(dir);
    return std::strncmp(target, dir, len) == 0 && (target[len] == '/' || target[len] == '\0');
}

long steps = 0;

// Counts one step; true when the process is to die at it (see the file comment).
bool killStep(const char* name) {
    if (!std::getenv("TRELVO_TEST_KILL_DIR"))
        return false;
    const long step = ++steps;
    if (const char* log = std::getenv("TRELVO_TEST_STEP_LOG")) {
        const int fd = ::open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd >= 0) {
            char line[128];
            const int n = std::snprintf(line, sizeof line, "%ld %s\n", step, name);
            next<ssize_t (*)(int, const void*, size_t)>("write")(fd, line,
                                                               static_cast<std::size_t>(n));
            ::close(fd);
        }
    }
    const char* at = std::getenv("TRELVO_TEST_KILL_AT");
    return at && std::strtol(at, nullptr, 10) == step;
}

// TRELVO_TEST_SIGNAL (a number) sends that signal instead of SIGKILL: the program may hold it
// back for a moment, and the step then goes on.
const char* testSignal() {
    return std::getenv("TRELVO_TEST_SIGNAL");
}

void die() {
    if (const char* sig = testSignal()) {
        ::kill(::getpid(), std::atoi(sig));
        return;
    }
    ::kill(::getpid(), SIGKILL);
    for (;;)
        ::pause();
}

void maybeDie(const char* name) {
    if (killStep(name))
        die();
}

void maybeDieAtFd(const char* name, int fd) {
    if (fdInKillDir(fd))
        maybeDie(name);
}

// A kill comes before the step; a signal just after it, where the program must already hold it
// back to know the file it made or to have put one in place.
template <typename F>
int step(const char* name, F&& real) {
    const bool hit = killStep(name);
    if (hit && !testSignal())
        die();
    const int result = real();
    if (hit)
        die();
    return result;
}

}  // namespace

extern "C" {

int mkstemp(char* tmpl) {
    if (faultIs("mkstemp")) {
        maybeDie("mkstemp");
        errno = EACCES;
        return -1;
    }
    return step("mkstemp", [&] { return next<int (*)(char*)>("mkstemp")(tmpl); });
}

int mkstemp64(char* tmpl) {
    if (faultIs("mkstemp")) {
        maybeDie("mkstemp");
        errno = EACCES;
        return -1;
    }
    return step("mkstemp", [&] { return next<int (*)(char*)>("mkstemp64")(tmpl); });
}

int fsync(int fd) {
    maybeDieAtFd("fsync", fd);
    if (faultIs("fsync") && isTempFd(fd)) {
        errno = EIO;
        return -1;
    }
    return next<int (*)(int)>("fsync")(fd);
}

int rename(const char* from, const char* to) {
    const std::size_t n = to ? std::strlen(to) : 0;
    const bool toBackup = n >= 5 && std::strcmp(to + n - 5, ".orig") == 0;
    if (faultIs("rename") && isTempName(from) && !toBackup) {
        maybeDie("rename");
        errno = EIO;
        return -1;
    }
    return step("rename", [&] { return next<int (*)(const char*, const char*)>("rename")(from, to); });
}

int link(const char* from, const char* to) {
    if (faultIs("link")) {
        maybeDie("link");
        errno = EPERM;
        return -1;
    }
    return step("link", [&] { return next<int (*)(const char*, const char*)>("link")(from, to); });
}

ssize_t write(int fd, const void* buf, size_t count) {
    auto real = next<ssize_t (*)(int, const void*, size_t)>("write");
    if (fdInKillDir(fd) && killStep("write")) {
        const char* half = std::getenv("TRELVO_TEST_KILL_HALF");
        if (!testSignal() && half && std::strcmp(half, "1") == 0 && count / 2 > 0)
            real(fd, buf, count / 2);
        die();
    }
    if (faultIs("corrupt") && !corrupted && count > 0 && isTempFd(fd)) {
        corrupted = true;
        std::vector<char> copy(static_cast<const char*>(buf),
                               static_cast<const char*>(buf) + count);
        copy[0] = copy[0] == '#' ? '*' : '#';
        return real(fd, copy.data(), count);
    }
    return real(fd, buf, count);
}

ssize_t writev(int fd, const struct iovec* iov, int count) {
    auto real = next<ssize_t (*)(int, const struct iovec*, int)>("writev");
    if (fdInKillDir(fd) && killStep("write")) {
        const char* half = std::getenv("TRELVO_TEST_KILL_HALF");
        if (!testSignal() && half && std::strcmp(half, "1") == 0) {
            // The first half of the bytes, as the system may write part of a gathered write.
            std::size_t total = 0;
            for (int i = 0; i < count; ++i)
                total += iov[i].iov_len;
            std::vector<struct iovec> part(iov, iov + count);
            std::size_t left = total / 2;
            int n = 0;
            for (; n < count && left > 0; ++n) {
                part[static_cast<std::size_t>(n)].iov_len = std::min(left, iov[n].iov_len);
                left -= part[static_cast<std::size_t>(n)].iov_len;
            }
            if (n > 0)
                real(fd, part.data(), n);
        }
        die();
    }
    if (faultIs("corrupt") && !corrupted && count > 0 && iov[0].iov_len > 0 && isTempFd(fd)) {
        corrupted = true;
        std::vector<struct iovec> spoiled(iov, iov + count);
        std::vector<char> first(static_cast<const char*>(iov[0].iov_base),
                                static_cast<const char*>(iov[0].iov_base) + iov[0].iov_len);
        first[0] = first[0] == '#' ? '*' : '#';
        spoiled[0].iov_base = first.data();
        return real(fd, spoiled.data(), count);
    }
    return real(fd, iov, count);
}

ssize_t read(int fd, void* buf, size_t count) {
    maybeDieAtFd("read", fd);
    return next<ssize_t (*)(int, void*, size_t)>("read")(fd, buf, count);
}

ssize_t __read_chk(int fd, void* buf, size_t count, size_t size) {
    maybeDieAtFd("read", fd);
    return next<ssize_t (*)(int, void*, size_t, size_t)>("__read_chk")(fd, buf, count, size);
}

int ftruncate(int fd, off_t length) {
    maybeDieAtFd("ftruncate", fd);
    return next<int (*)(int, off_t)>("ftruncate")(fd, length);
}

int fchmod(int fd, mode_t mode) {
    maybeDieAtFd("fchmod", fd);
    return next<int (*)(int, mode_t)>("fchmod")(fd, mode);
}

int fchown(int fd, uid_t owner, gid_t group) {
    maybeDieAtFd("fchown", fd);
    return next<int (*)(int, uid_t, gid_t)>("fchown")(fd, owner, group);
}

int unlink(const char* path) {
    maybeDie("unlink");
    return next<int (*)(const char*)>("unlink")(path);
}

int unlinkat(int dirfd, const char* path, int flags) {
    maybeDie("unlinkat");
    return next<int (*)(int, const char*, int)>("unlinkat")(dirfd, path, flags);
}

}  // extern "C"
