// Windows: paths hold UTF-16, converted from and to the program's UTF-8.
#include "files/paths.h"

#include "files/utf16.h"

namespace trelvo {

std::filesystem::path toPath(const std::string& name) {
    return std::filesystem::path(widen(name));
}

std::string fromPath(const std::filesystem::path& path) {
    return narrow(path.native());
}

}  // namespace trelvo
