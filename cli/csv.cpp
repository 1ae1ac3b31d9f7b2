#include "cli/csv.h"

namespace trelvo::cli {

namespace {

template <typename Fields>
void appendRow(std::string& out, const Fields& fields) {
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

}  // namespace

void appendCsvRow(std::string& out, std::initializer_list<std::string_view> fields) {
    appendRow(out, fields);
}

void appendCsvRow(std::string& out, const std::vector<std::string>& fields) {
    appendRow(out, fields);
}

}  // namespace trelvo::cli
