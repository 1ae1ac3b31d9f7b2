// Names are made absolute first; on Windows they compare without regard to case, and a file yet
// to be written is known by its folder's identity and its name.
#include "files/file_key.h"

#if defined(_WIN32)
#include <windows.h>
#endif

#include <filesystem>
#include <system_error>

#include "files/paths.h"
#include "files/utf16.h"

namespace trelvo {

#if defined(_WIN32)
namespace {

bool sameIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace
#endif

FileKey::FileKey(const std::string& name) : id_(native::identify(name)) {
    std::error_code ec;
    auto p = std::filesystem::weakly_canonical(std::filesystem::absolute(toPath(name), ec), ec);
    path_ = ec ? name : fromPath(p);
#if defined(_WIN32)
    if (!id_.known) {
        const auto absolute = std::filesystem::absolute(toPath(name), ec);
        if (!ec && absolute.has_filename()) {
            folder_ = native::identify(fromPath(absolute.parent_path()));
            leaf_ = absolute.filename().native();
        }
    }
#endif
}

bool FileKey::operator==(const FileKey& o) const {
    if (id_.known && o.id_.known)
        return id_ == o.id_;
#if defined(_WIN32)
    if (id_.known || o.id_.known)
        return false;  // one exists, the other does not
    if (folder_.known && o.folder_.known)
        return folder_ == o.folder_ && sameIgnoringCase(leaf_, o.leaf_);
    return sameIgnoringCase(widen(path_), widen(o.path_));
#else
    return path_ == o.path_;  // byte for byte
#endif
}

}  // namespace trelvo
