// Fuzz target for the field splitter. Besides crashes it checks what every caller relies on: the
// index range, the cap of 10000, trimmed fields and, with a single-space delimiter, that the
// fields are exactly the words of the line.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/fields.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

void check(bool ok, const char* what) {
    if (!ok)
        fail(what);
}

// The words of a line: maximal runs of characters other than a space.
std::vector<std::string_view> words(std::string_view s) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && s[i] == ' ')
            ++i;
        if (i == s.size())
            break;
        const std::size_t start = i;
        while (i < s.size() && s[i] != ' ')
            ++i;
        out.push_back(s.substr(start, i - start));
    }
    return out;
}

void checkSplit(std::string_view text, std::string_view dlm, int16_t lb, const trelvo::Fields& f) {
    const std::size_t capacity = static_cast<std::size_t>(trelvo::Fields::kMaxIndex - lb + 1);
    check(f.count() >= 1, "at least one field");
    check(f.count() <= capacity, "no more than 10000 - lb + 1 fields");
    check(f.lbound() == lb, "first index is the one asked for");
    check(f.ubound() == lb + static_cast<int>(f.count()) - 1, "last index matches the count");

    std::size_t from = 0;
    for (int i = f.lbound(); i <= f.ubound(); ++i) {
        const std::string_view field = f[i];
        check(field.empty() || (field.front() != ' ' && field.back() != ' '), "field trimmed");
        // Fields come from the text in order.
        const auto at = text.find(field, from);
        check(at != std::string_view::npos, "field taken from the text, in order");
        from = at + field.size();
    }

    if (dlm != " ")
        return;
    const auto w = words(text);
    if (w.empty()) {
        check(f.count() == 1 && f[lb].empty(), "blank text gives one empty field");
        return;
    }
    check(f.count() == std::min(w.size(), capacity), "one field per word, up to the cap");
    for (std::size_t k = 0; k < f.count(); ++k) {
        const std::string_view field = f[lb + static_cast<int>(k)];
        check(field.find(' ') == std::string_view::npos, "no field contains a space");
        check(!field.empty(), "no empty field beside others");
        check(field == w[k], "field equals the word");
    }
}

}  // namespace

// Layout of the input: one mode byte, then (by mode) a first index and a delimiter, then the text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const uint8_t mode = data[0];
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);

    int16_t lb = 1;
    if (mode & 1) {
        if (rest.size() < 2)
            return 0;
        uint16_t raw = 0;
        std::memcpy(&raw, rest.data(), 2);
        lb = static_cast<int16_t>(raw);
        rest.remove_prefix(2);
    }
    std::string dlm = " ";
    if (mode & 2) {
        const std::size_t len = (mode >> 2) & 3;  // 0 to 3 characters, the empty one included
        if (rest.size() < len)
            return 0;
        dlm.assign(rest.substr(0, len));
        rest.remove_prefix(len);
    }
    const std::string text(rest);

    trelvo::Fields f;
    try {
        trelvo::Str2Ary_All(text, dlm, lb, f);
    } catch (const std::invalid_argument&) {
        check(dlm.empty() || lb > trelvo::Fields::kMaxIndex, "refused only for bad arguments");
        return 0;
    }
    check(!dlm.empty() && lb <= trelvo::Fields::kMaxIndex, "bad arguments refused");
    check(text == rest, "the caller's text is left as it was");
    checkSplit(text, dlm, lb, f);

    // The update pass splits piece (5 fields) and decal header lines (11) without copying.
    if (dlm == " " && lb == 1) {
        for (const int max : {5, 11}) {
            std::string_view first[11];
            const int n = trelvo::SplitAtSpaces(text, first, max);
            check(n == static_cast<int>(std::min<std::size_t>(f.count(), max + 1)),
                  "SplitAtSpaces count");
            for (int i = 0; i < std::min(n, max); ++i)
                check(first[i] == f[i + 1], "SplitAtSpaces fields");
        }
    }

    // Refilling the same sequence with other text must give what a fresh split gives.
    const std::string other = text.substr(text.size() / 2) + " x";
    trelvo::Str2Ary_All(other, dlm, lb, f);
    const trelvo::Fields fresh = trelvo::Str2Ary_All(other, dlm, lb);
    check(f.count() == fresh.count(), "refill gives the same count");
    for (int i = f.lbound(); i <= f.ubound(); ++i)
        check(f[i] == fresh[i], "refill same fields");
    checkSplit(other, dlm, lb, f);
    return 0;
}
