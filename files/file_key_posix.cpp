// Linux: names are compared byte for byte once made absolute.
#include "files/file_key.h"

#include <filesystem>
#include <system_error>

#include "files/paths.h"

namespace trelvo {

FileKey::FileKey(const std::string& name) : id_(native::identify(name)) {
    std::error_code ec;
    auto p = std::filesystem::weakly_canonical(std::filesystem::absolute(toPath(name), ec), ec);
    path_ = ec ? name : fromPath(p);
}

bool FileKey::operator==(const FileKey& o) const {
    if (id_.known && o.id_.known)
        return id_ == o.id_;
    return path_ == o.path_;
}

}  // namespace trelvo
