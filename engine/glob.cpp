#include "engine/glob.h"

#include <cstddef>

namespace trelvo {

bool globMatch(std::string_view pattern, std::string_view name) {
    // Greedy match with one backtrack point: on a mismatch, let the last "*" take one more
    // character. Linear in practice, never exponential.
    std::size_t p = 0, n = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

}  // namespace trelvo
