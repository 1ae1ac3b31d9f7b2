// UTF-8 names inside trelvo-cli, std::filesystem paths at the edge. On Windows the conversion
// must go through UTF-16 (the narrow std::filesystem interface would use the ANSI code page);
// on Linux a name is bytes and passes through untouched.
#pragma once

#include <filesystem>
#include <string>

#if defined(_WIN32)
#include "files/utf16.h"
#endif

namespace trelvo::cli {

inline std::filesystem::path toPath(const std::string& name) {
#if defined(_WIN32)
    return std::filesystem::path(widen(name));
#else
    return std::filesystem::path(name);
#endif
}

inline std::string fromPath(const std::filesystem::path& path) {
#if defined(_WIN32)
    return narrow(path.native());
#else
    return path.native();
#endif
}

}  // namespace trelvo::cli
