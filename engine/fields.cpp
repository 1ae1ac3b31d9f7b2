#include "engine/fields.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace trelvo {

std::string_view trimSpaces(std::string_view s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return s.substr(s.size());
    const auto last = s.find_last_not_of(' ');
    return s.substr(first, last - first + 1);
}

namespace {

std::string_view trimLeadingSpaces(std::string_view s) {
    const auto first = s.find_first_not_of(' ');
    return first == std::string_view::npos ? s.substr(s.size()) : s.substr(first);
}

}  // namespace

void Str2Ary_All(std::string_view xstr, std::string_view dlm, int16_t ary_lb, Fields& out) {
    if (ary_lb > Fields::kMaxIndex) throw std::invalid_argument("Str2Ary_All: first index above 10000");
    if (dlm.empty()) throw std::invalid_argument("Str2Ary_All: empty delimiter");

    // Work on our own copy: the caller's text may live in a buffer that is reused.
    out.lb_ = ary_lb;
    out.text_.assign(xstr);
    out.fields_.clear();

    const std::size_t capacity = static_cast<std::size_t>(Fields::kMaxIndex - ary_lb + 1);
    std::string_view rest = trimLeadingSpaces(out.text_);
    while (out.fields_.size() < capacity) {
        const auto p = rest.find(dlm);
        if (p == std::string_view::npos) {
            out.fields_.push_back(trimSpaces(rest));
            break;
        }
        out.fields_.push_back(trimSpaces(rest.substr(0, p)));
        rest = trimLeadingSpaces(rest.substr(p + dlm.size()));
        if (rest.empty()) break;
    }
}

namespace {

// Bit i set where byte i of the 8 bytes at p is not a space (p[0] is bit 0).
unsigned nonSpaceBits(const char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap64(v);
    constexpr std::uint64_t k7f = 0x7f7f7f7f7f7f7f7fULL;
    const std::uint64_t x = v ^ 0x2020202020202020ULL;  // spaces become zero bytes
    // High bit of each byte set where the byte is not zero, exactly (no borrow between bytes).
    const std::uint64_t high = (((x & k7f) + k7f) | x) & ~k7f;
    return static_cast<unsigned>(((high >> 7) * 0x0102040810204080ULL) >> 56);
}

// The plain loop, for lines too short or too long for the bit masks.
int splitAtSpacesLoop(const char* p, const char* end, std::string_view* out, int max) {
    while (p < end && *p == ' ')
        ++p;
    if (p == end) {
        if (max > 0)
            out[0] = std::string_view(end, 0);
        return 1;
    }
    int n = 0;
    while (p < end) {
        if (n == max)
            return max + 1;
        const char* const start = p;
        while (p < end && *p != ' ')
            ++p;
        out[n++] = std::string_view(start, static_cast<std::size_t>(p - start));
        while (p < end && *p == ' ')
            ++p;
    }
    return n;
}

}  // namespace

int SplitAtSpaces(std::string_view xstr, std::string_view* out, int max) {
    const char* const p = xstr.data();
    const std::size_t size = xstr.size();
    // Piece and header lines are short: one mask of the bytes that are not spaces, eight bytes
    // at a time, gives every field's start and end without a branch per byte.
    if (size < 8 || size > 63)
        return splitAtSpacesLoop(p, p + size, out, max);
    std::uint64_t word = 0;
    std::size_t at = 0;
    for (; at + 8 <= size; at += 8)
        word |= std::uint64_t{nonSpaceBits(p + at)} << at;
    if (at < size) {
        // The last 8 bytes, shifted so that the bytes already seen drop out.
        const std::size_t seen = at - (size - 8);
        word |= std::uint64_t{nonSpaceBits(p + size - 8) >> seen} << at;
    }
    // Past the end is all spaces (bit 63 is never set, as size < 64).
    std::uint64_t starts = word & ~(word << 1);
    std::uint64_t ends = ~word & (word << 1);
    if (starts == 0) {
        if (max > 0)
            out[0] = std::string_view(p + size, 0);
        return 1;
    }
    // No bit count: the portable build has no instruction for it.
    int n = 0;
    for (; starts != 0 && n < max; ++n) {
        const int s = std::countr_zero(starts);
        const int e = std::countr_zero(ends);
        out[n] = std::string_view(p + s, static_cast<std::size_t>(e - s));
        starts &= starts - 1;
        ends &= ends - 1;
    }
    return starts != 0 ? max + 1 : n;
}

Fields Str2Ary_All(std::string_view xstr, std::string_view dlm, int16_t ary_lb) {
    Fields f;
    Str2Ary_All(xstr, dlm, ary_lb, f);
    return f;
}

}  // namespace trelvo
