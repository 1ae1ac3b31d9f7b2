#include "engine/output_name.h"

namespace trelvo {

std::optional<std::string> DeriveOutputName(std::string_view input) {
    if (input.empty())
        return std::nullopt;
    // The last character may take several bytes in UTF-8.
    std::size_t last = input.size() - 1;
    while (last > 0 && (static_cast<unsigned char>(input[last]) & 0xC0) == 0x80)
        --last;
    if (last == 0 || input[last - 1] != '.')
        return std::nullopt;
    std::string out(input.substr(0, last - 1));
    out += "_new.d";
    return out;
}

}  // namespace trelvo
