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

std::string failureText(const std::string& what, const std::string& path) {
    std::string reason = lastErrorText();  // before anything else can change it
    return what + " '" + path + "': " + reason;
}

}  // namespace trelvo
