// What the fuzz targets' oracles share: the failure of an invariant, and a library's lines as
// the engine reads them. Left out of the coverage, so that the fuzzer's feedback and its time go
// to the engine.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#if defined(__clang__)
#define TRELVO_ORACLE __attribute__((no_sanitize("coverage")))
#else
#define TRELVO_ORACLE
#endif

namespace trelvo::fuzz {

[[noreturn]] TRELVO_ORACLE inline void fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

TRELVO_ORACLE inline void check(bool ok, const char* what) {
    if (!ok)
        fail(what);
}

// Lines of a library: a line ends at CR, CR LF or LF; a last line without an end is a line.
TRELVO_ORACLE inline std::vector<std::string_view> splitLines(std::string_view s) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\r' && s[i] != '\n')
            continue;
        out.emplace_back(s.substr(start, i - start));
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < s.size())
        out.emplace_back(s.substr(start));
    return out;
}

}  // namespace trelvo::fuzz
