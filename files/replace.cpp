#include "files/replace.h"

#include "files/replace_system.h"

namespace trelvo {

TempFile::TempFile(std::string path) : path_(std::move(path)) {
    detail::armCleanup(path_);
}

TempFile::TempFile(std::string path, std::intptr_t lock) : TempFile(std::move(path)) {
    lock_ = lock;
}

TempFile::TempFile(TempFile&& other) noexcept
    : path_(std::move(other.path_)), lock_(other.lock_) {
    other.path_.clear();
    other.lock_ = -1;
}

void TempFile::forget() {
    detail::disarmCleanup(path_);
    path_.clear();
    detail::releaseLock(lock_);
    lock_ = -1;
}

TempFile::~TempFile() {
    if (!path_.empty()) {
        detail::removeFile(path_);
        detail::disarmCleanup(path_);
    }
    // Only once the file is gone: until then it must not look abandoned.
    detail::releaseLock(lock_);
}

namespace detail {

std::uint64_t tempOwner(std::string_view tail, std::size_t maxDigits) {
    if (tail.ends_with(".orig"))
        tail.remove_suffix(5);
    std::size_t digits = 0;
    std::uint64_t pid = 0;
    while (digits < tail.size() && digits < maxDigits && tail[digits] >= '0' && tail[digits] <= '9')
        pid = pid * 10 + static_cast<std::uint64_t>(tail[digits++] - '0');
    if (digits == 0 || tail.size() != digits + 7 || tail[digits] != '-')
        return 0;
    for (char c : tail.substr(digits + 1)) {
        const bool alnum =
            (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alnum)
            return 0;
    }
    return pid;
}

}  // namespace detail

std::string changedText(const std::string& path) {
    return "cannot replace '" + path + "': another program changed it during the run";
}

std::string failureText(const std::string& what, const std::string& path) {
    std::string reason = lastErrorText();  // before anything else can change it
    return what + " '" + path + "': " + reason;
}

}  // namespace trelvo
