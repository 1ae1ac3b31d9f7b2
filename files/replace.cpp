#include "files/replace.h"

#include <utility>

#include "files/replace_system.h"

namespace trelvo {

TempFile::TempFile(std::string path, std::intptr_t lock) : path_(std::move(path)), lock_(lock) {
    detail::armCleanup(path_);
}

TempFile::TempFile(TempFile&& other) noexcept
    : path_(std::exchange(other.path_, {})), lock_(std::exchange(other.lock_, -1)) {}

void TempFile::forget() {
    detail::disarmCleanup(std::exchange(path_, {}));
    detail::releaseLock(std::exchange(lock_, -1));
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
    constexpr std::string_view kAlnum =
        "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    if (digits == 0 || tail.size() != digits + 7 || tail[digits] != '-' ||
        tail.find_first_not_of(kAlnum, digits + 1) != std::string_view::npos)
        return 0;
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
