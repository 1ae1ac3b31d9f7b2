// Loaded into trelvo-cli with LD_PRELOAD by the in-place tests, to make one step of the
// replacement fail the way a full disk or a broken file system would. TRELVO_TEST_FAULT names
// the step: "mkstemp", "fsync", "rename" (the rename over the input), "link" (forces the copy
// that stands in for a hard link), or "corrupt" (spoils the first block written to the temporary
// file, which the read-back check must catch). Only files of an in-place run are affected.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

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

bool isTempFd(int fd) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[4096];
    const ssize_t n = ::readlink(link, target, sizeof target - 1);
    if (n <= 0)
        return false;
    target[n] = '\0';
    return isTempName(target);
}

template <typename F>
F next(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

bool corrupted = false;

}  // namespace

extern "C" {

int mkstemp(char* tmpl) {
    if (faultIs("mkstemp")) {
        errno = EACCES;
        return -1;
    }
    return next<int (*)(char*)>("mkstemp")(tmpl);
}

int mkstemp64(char* tmpl) {
    if (faultIs("mkstemp")) {
        errno = EACCES;
        return -1;
    }
    return next<int (*)(char*)>("mkstemp64")(tmpl);
}

int fsync(int fd) {
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
        errno = EIO;
        return -1;
    }
    return next<int (*)(const char*, const char*)>("rename")(from, to);
}

int link(const char* from, const char* to) {
    if (faultIs("link")) {
        errno = EPERM;
        return -1;
    }
    return next<int (*)(const char*, const char*)>("link")(from, to);
}

ssize_t write(int fd, const void* buf, size_t count) {
    auto real = next<ssize_t (*)(int, const void*, size_t)>("write");
    if (faultIs("corrupt") && !corrupted && count > 0 && isTempFd(fd)) {
        corrupted = true;
        std::vector<char> copy(static_cast<const char*>(buf),
                               static_cast<const char*>(buf) + count);
        copy[0] = copy[0] == '#' ? '*' : '#';
        return real(fd, copy.data(), count);
    }
    return real(fd, buf, count);
}

}  // extern "C"
