// Decal name patterns for --decal and the decals of a rule: shell-style "*" (any run of characters, also none) and "?"
// (exactly one character). Every other character, "[" and "\" included, stands for itself, so
// decal names with brackets need no quoting. Case-sensitive, byte for byte.
#pragma once

#include <string_view>

namespace trelvo {

bool globMatch(std::string_view pattern, std::string_view name);

}  // namespace trelvo
