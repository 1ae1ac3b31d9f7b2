#include "cli/csv.h"

namespace trelvo::cli {

void appendCsvRow(std::string& out, std::initializer_list<std::string_view> fields) {
    bool first = true;
    for (std::string_view f : fields) {
        if (!first)
            out += ',';
        first = false;
        if (f.find_first_of(",\"\r\n") == std::string_view::npos) {
            out += f;
            continue;
        }
        out += '"';
        for (char c : f) {
            if (c == '"')
                out += '"';
            out += c;
        }
        out += '"';
    }
    out += "\r\n";
}

}  // namespace trelvo::cli
