// UTF-8 to UTF-16 and back, as every file name crosses into Windows: well-formed text both
// ways, unpaired surrogates carried through unchanged, bytes that are not UTF-8 replaced.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "files/utf16.h"

namespace trelvo {
namespace {

// Shows a UTF-16 string as its code units, so that a failure says which one differs.
std::string units(std::u16string_view s) {
    std::string out;
    char buf[8];
    for (char16_t u : s) {
        std::snprintf(buf, sizeof buf, "%04X ", static_cast<unsigned>(u));
        out += buf;
    }
    return out;
}

std::string bytes(std::string_view s) {
    std::string out;
    char buf[8];
    for (char c : s) {
        std::snprintf(buf, sizeof buf, "%02X ",
                      static_cast<unsigned>(static_cast<unsigned char>(c)));
        out += buf;
    }
    return out;
}

struct Both {
    const char* what;
    std::string utf8;
    std::u16string utf16;
};

// Each row converts to the other form and back.
const Both kRoundTrips[] = {
    {"empty", "", u""},
    {"ASCII", "C:\\Lib\\parts.d", u"C:\\Lib\\parts.d"},
    {"NUL stays a unit", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    {"last one-byte form", "\x7f", u"\u007f"},
    {"first two-byte form", "\xc2\x80", u"\u0080"},
    {"u umlaut", "Stecker \xc3\xbc.d", u"Stecker \u00fc.d"},
    {"last two-byte form", "\xdf\xbf", u"\u07ff"},
    {"first three-byte form", "\xe0\xa0\x80", u"\u0800"},
    {"CJK", "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.d", u"\u65e5\u672c\u8a9e.d"},
    {"last unit before the surrogates", "\xed\x9f\xbf", u"\ud7ff"},
    {"first unit after the surrogates", "\xee\x80\x80", u"\ue000"},
    {"replacement character itself", "\xef\xbf\xbd", u"\ufffd"},
    {"last three-byte form", "\xef\xbf\xbf", u"\uffff"},
    {"first astral, a surrogate pair", "\xf0\x90\x80\x80", u"\xd800\xdc00"},
    {"astral emoji", "x\xf0\x9f\x98\x80y", u"x\xd83d\xde00y"},
    {"last code point", "\xf4\x8f\xbf\xbf", u"\xdbff\xdfff"},
    {"lone high surrogate", "\xed\xa0\x80", u"\xd800"},
    {"lone low surrogate", "\xed\xbf\xbf", u"\xdfff"},
    {"high surrogate at the end", "a\xed\xa0\xbd", u"a\xd83d"},
    {"low surrogate at the start",
     "\xed\xb8\x80"
     "b",
     u"\xde00"
     "b"},
    {"pair in the wrong order", "\xed\xb8\x80\xed\xa0\xbd", u"\xde00\xd83d"},
    {"two high surrogates", "\xed\xa0\xbd\xed\xa0\xbd", u"\xd83d\xd83d"},
    {"high surrogate before a plain unit",
     "\xed\xa0\xbd"
     "A",
     u"\xd83d"
     "A"},
};

TEST(Utf16, RoundTripsBothWays) {
    for (const Both& row : kRoundTrips) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(units(toUtf16(row.utf8)), units(row.utf16));
        EXPECT_EQ(bytes(fromUtf16(row.utf16)), bytes(row.utf8));
    }
}

struct Invalid {
    const char* what;
    std::string utf8;
    std::u16string utf16;  // every byte that is not part of a well-formed sequence is one U+FFFD
};

const Invalid kInvalid[] = {
    {"lone continuation byte", "a\x80z", u"a\ufffdz"},
    {"byte that never occurs", "\xff\xfe", u"\ufffd\ufffd"},
    {"two-byte form cut short at the end", "a\xc3", u"a\ufffd"},
    {"two-byte form broken by ASCII", "\xc3(", u"\ufffd("},
    {"three-byte form cut short", "\xe6\x97", u"\ufffd\ufffd"},
    {"four-byte form cut short before ASCII",
     "\xf0\x9f\x98"
     "a",
     u"\ufffd\ufffd\ufffd"
     "a"},
    {"overlong slash in two bytes", "..\xc0\xaf", u"..\ufffd\ufffd"},
    {"overlong NUL", "\xc0\x80", u"\ufffd\ufffd"},
    {"overlong in two bytes, largest", "\xc1\xbf", u"\ufffd\ufffd"},
    {"overlong backslash in three bytes", "\xe0\x81\x9c", u"\ufffd\ufffd\ufffd"},
    {"overlong in three bytes, largest", "\xe0\x9f\xbf", u"\ufffd\ufffd\ufffd"},
    {"overlong slash in four bytes", "\xf0\x80\x80\xaf", u"\ufffd\ufffd\ufffd\ufffd"},
    {"overlong in four bytes, largest", "\xf0\x8f\xbf\xbf", u"\ufffd\ufffd\ufffd\ufffd"},
    {"above the last code point", "\xf4\x90\x80\x80", u"\ufffd\ufffd\ufffd\ufffd"},
    {"five-byte form", "\xf8\x88\x80\x80\x80", u"\ufffd\ufffd\ufffd\ufffd\ufffd"},
    {"valid text after a bad byte", "\xfe\xc3\xbc", u"\ufffd\u00fc"},
};

TEST(Utf16, BytesThatAreNotUtf8BecomeReplacementCharacters) {
    for (const Invalid& row : kInvalid) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(units(toUtf16(row.utf8)), units(row.utf16));
    }
    // The replacement is real text: it comes back as U+FFFD, never as the bytes that were bad.
    EXPECT_EQ(bytes(fromUtf16(toUtf16("\xc0\xaf"))), bytes("\xef\xbf\xbd\xef\xbf\xbd"));
}

TEST(Utf16, EveryUnitAndEveryPairComesBack) {
    // Each of the 65,536 units alone (surrogates included), then a high and a low surrogate of
    // every kind combined: nothing that a Windows name can hold is lost on the way to UTF-8.
    for (char32_t u = 0; u <= 0xFFFF; ++u) {
        const std::u16string one(1, static_cast<char16_t>(u));
        ASSERT_EQ(toUtf16(fromUtf16(one)), one) << units(one);
    }
    for (char16_t hi : {u'\xd800', u'\xd801', u'\xdbfe', u'\xdbff'}) {
        for (char32_t lo = 0xDC00; lo <= 0xDFFF; ++lo) {
            const std::u16string pair{hi, static_cast<char16_t>(lo)};
            const std::string utf8 = fromUtf16(pair);
            ASSERT_EQ(utf8.size(), 4u) << units(pair);  // one code point, not two surrogates
            ASSERT_EQ(toUtf16(utf8), pair) << units(pair);
        }
    }
}

#if defined(_WIN32)
TEST(Utf16, WidenAndNarrowAreTheSameForWin32Calls) {
    EXPECT_EQ(widen("Stecker \xc3\xbc.d"), L"Stecker \u00fc.d");
    EXPECT_EQ(widen("x\xf0\x9f\x98\x80"), L"x\xd83d\xde00");
    EXPECT_EQ(widen("\xc0\xaf"), L"\xfffd\xfffd");
    EXPECT_EQ(narrow(L"\u65e5\u672c.d"), "\xe6\x97\xa5\xe6\x9c\xac.d");
    EXPECT_EQ(narrow(std::wstring(1, L'\xd800')), "\xed\xa0\x80");
}
#endif

}  // namespace
}  // namespace trelvo
