// Linux: a name is bytes, a path holds them as they are.
#include "files/paths.h"

namespace trelvo {

std::filesystem::path toPath(const std::string& name) {
    return std::filesystem::path(name);
}

std::string fromPath(const std::filesystem::path& path) {
    return path.native();
}

}  // namespace trelvo
