// CSV rows as RFC 4180 writes them: fields separated by commas, a field holding a comma, a double
// quote, CR or LF enclosed in double quotes with its quotes doubled, each record ended by CR LF.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace trelvo::cli {

void appendCsvRow(std::string& out, std::initializer_list<std::string_view> fields);
void appendCsvRow(std::string& out, const std::vector<std::string>& fields);

}  // namespace trelvo::cli
