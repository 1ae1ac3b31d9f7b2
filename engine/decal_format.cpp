#include "engine/decal_format.h"

#include <cstring>

namespace trelvo {

void rebuildPieceLine(std::string_view keyword, std::string_view field2, std::string_view width,
                      std::string_view layer, std::string_view field5, std::string& out) {
    // One resize and a copy per field: this runs for every rewritten line, and appending piece
    // by piece checked the capacity nine times.
    const std::size_t total =
        keyword.size() + field2.size() + width.size() + layer.size() + field5.size() + 8;
    out.resize(total);
    char* p = out.data();
    for (std::string_view f : {keyword, field2, width, layer}) {
        if (!f.empty())
            std::memcpy(p, f.data(), f.size());
        p += f.size();
        p[0] = ' ';
        p[1] = ' ';
        p += 2;
    }
    if (!field5.empty())
        std::memcpy(p, field5.data(), field5.size());
}

}  // namespace trelvo
