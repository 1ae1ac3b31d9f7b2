#include "engine/decal_format.h"

namespace trelvo {

void rebuildPieceLine(std::string_view keyword, std::string_view field2, std::string_view width,
                      std::string_view layer, std::string_view field5, std::string& out) {
    out.clear();
    for (std::string_view f : {keyword, field2, width, layer}) {
        out += f;
        out += "  ";
    }
    out += field5;
}

}  // namespace trelvo
