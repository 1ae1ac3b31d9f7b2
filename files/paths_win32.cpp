// Windows: paths hold UTF-16, converted from and to the program's UTF-8; a long one in its
// extended-length form, which the C++ library's file calls pass on to the system.
#include "files/paths.h"

#include "files/long_path.h"
#include "files/utf16.h"

namespace trelvo {

std::filesystem::path toPath(const std::string& name) {
    return std::filesystem::path(systemPath(name));
}

std::string fromPath(const std::filesystem::path& path) {
    return narrow(path.native());
}

}  // namespace trelvo
