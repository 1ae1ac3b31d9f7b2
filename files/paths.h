// UTF-8 names inside Trelvo, std::filesystem paths at the edge. On Windows the conversion goes
// through UTF-16 (the narrow std::filesystem interface would use the ANSI code page); on Linux a
// name is bytes and passes through untouched.
#pragma once

#include <filesystem>
#include <string>

namespace trelvo {

std::filesystem::path toPath(const std::string& name);
std::string fromPath(const std::filesystem::path& path);

}  // namespace trelvo
