#include "files/utf16.h"

namespace trelvo {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at s[i], advancing i; malformed input yields U+FFFD for one byte.
char32_t decode(std::string_view s, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b0 = byte(i);
    std::size_t len = 1;
    char32_t cp = b0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else if (b0 >= 0x80) {
        len = 0;  // no lead byte
    }
    bool ok = len != 0 && i + len <= s.size();
    for (std::size_t k = 1; ok && k < len; ++k) {
        ok = (byte(i + k) & 0xC0) == 0x80;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if (!ok || cp < min || cp > 0x10FFFF) {  // malformed, overlong or out of range
        ++i;
        return kReplacement;
    }
    i += len;
    return cp;
}

void encode(char32_t cp, std::string& out) {
    static constexpr unsigned char kLead[] = {0x00, 0xC0, 0xE0, 0xF0};
    const int more = cp < 0x80 ? 0 : cp < 0x800 ? 1 : cp < 0x10000 ? 2 : 3;  // continuation bytes
    out += static_cast<char>(kLead[more] | (cp >> (6 * more)));
    for (int k = more - 1; k >= 0; --k)
        out += static_cast<char>(0x80 | ((cp >> (6 * k)) & 0x3F));
}

bool isHigh(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool isLow(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

std::u16string toUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const char32_t cp = decode(utf8, i);
        if (cp >= 0x10000) {
            const char32_t v = cp - 0x10000;
            out += static_cast<char16_t>(0xD800 + (v >> 10));
            out += static_cast<char16_t>(0xDC00 + (v & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string fromUtf16(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char32_t u = utf16[i];
        if (isHigh(u) && i + 1 < utf16.size() && isLow(utf16[i + 1])) {
            encode(0x10000 + ((u - 0xD800) << 10) + (utf16[i + 1] - 0xDC00), out);
            ++i;
        } else {
            encode(u, out);  // a lone surrogate is kept as its own 3-byte sequence
        }
    }
    return out;
}

#if defined(_WIN32)
static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::wstring widen(std::string_view utf8) {
    const std::u16string u = toUtf16(utf8);
    return std::wstring(reinterpret_cast<const wchar_t*>(u.data()), u.size());
}

std::string narrow(std::wstring_view utf16) {
    return fromUtf16(
        std::u16string_view(reinterpret_cast<const char16_t*>(utf16.data()), utf16.size()));
}
#endif

}  // namespace trelvo
