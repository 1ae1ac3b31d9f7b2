// The output name a front end derives from an input: "_new.d" in place of the last two
// characters when the second-to-last is "." (parts.d, parts.D, parts.x give parts_new.d).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace trelvo {

// Nothing for any other name.
std::optional<std::string> DeriveOutputName(std::string_view input);

}  // namespace trelvo
