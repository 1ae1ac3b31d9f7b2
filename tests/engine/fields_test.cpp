#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/fields.h"

namespace trelvo {
namespace {

std::vector<std::string> fieldsOf(const Fields& f) {
    std::vector<std::string> out;
    for (int i = f.lbound(); i <= f.ubound(); ++i) out.emplace_back(f[i]);
    return out;
}

struct SplitCase {
    const char* name;
    std::string text;
    std::vector<std::string> fields;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

class SplitBySpace : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitBySpace, GivesFieldsNumberedFromOne) {
    const auto& c = GetParam();
    const Fields f = Str2Ary_All(c.text, " ", 1);
    EXPECT_EQ(f.lbound(), 1);
    EXPECT_EQ(f.ubound(), static_cast<int>(c.fields.size()));
    EXPECT_EQ(fieldsOf(f), c.fields);
}

// The pass's split without copies: the same first fields, and a count that says "more" past max.
TEST_P(SplitBySpace, SplitAtSpacesGivesTheSameFirstFields) {
    const auto& c = GetParam();
    for (int max = 0; max <= 12; ++max) {
        std::vector<std::string_view> out(static_cast<std::size_t>(max) + 1, "untouched");
        const int n = SplitAtSpaces(c.text, out.data(), max);
        const int all = static_cast<int>(c.fields.size());
        EXPECT_EQ(n, std::min(all, max + 1)) << "max " << max;
        for (int i = 0; i < std::min(n, max); ++i)
            EXPECT_EQ(out[static_cast<std::size_t>(i)], c.fields[static_cast<std::size_t>(i)]);
        // Nothing is stored past max.
        EXPECT_EQ(out[static_cast<std::size_t>(max)], "untouched");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SplitBySpace,
    ::testing::Values(
        SplitCase{"Empty", "", {""}},
        SplitCase{"SpacesOnly", "     ", {""}},
        SplitCase{"PieceLine", "OPEN 2 10 26 -1", {"OPEN", "2", "10", "26", "-1"}},
        SplitCase{"RunsOfSpaces", "  OPEN   2 10   26 -1   ", {"OPEN", "2", "10", "26", "-1"}},
        SplitCase{"TabStaysInField", "a\tb c", {"a\tb", "c"}},
        SplitCase{"TrailingTabIsNotTrimmed", "a b\t", {"a", "b\t"}},
        SplitCase{"SingleWord", "COPCLS", {"COPCLS"}},
        SplitCase{"OtherWhitespaceIsOrdinary", "a\vb\xc2\xa0" "c d", {"a\vb\xc2\xa0" "c", "d"}},
        SplitCase{"DecalHeader", "DIP8 I 0 0 2 2 4 0 8 1 0",
                  {"DIP8", "I", "0", "0", "2", "2", "4", "0", "8", "1", "0"}}),
    [](const auto& info) { return info.param.name; });

// Every length around the 8-byte steps of the fast split, spaces anywhere.
TEST(SplitAtSpaces, AgreesWithStr2AryAllOnRandomLines) {
    std::mt19937 rng(7);
    const char alphabet[] = {' ', ' ', ' ', 'a', '-', '1', '\t', '\x80'};
    for (std::size_t size = 0; size <= 80; ++size) {
        for (int round = 0; round < 200; ++round) {
            std::string text(size, ' ');
            for (char& c : text)
                c = alphabet[rng() % sizeof alphabet];
            const Fields all = Str2Ary_All(text, " ", 1);
            for (const int max : {0, 1, 5, 11}) {
                std::string_view out[12];
                const int n = SplitAtSpaces(text, out, max);
                ASSERT_EQ(n, static_cast<int>(std::min<std::size_t>(all.count(), max + 1)))
                    << "'" << text << "' max " << max;
                for (int i = 0; i < std::min(n, max); ++i) {
                    ASSERT_EQ(out[i], all[i + 1]) << "'" << text << "' field " << i + 1;
                    // Views into the text itself, not copies.
                    ASSERT_TRUE(out[i].data() >= text.data() &&
                                out[i].data() + out[i].size() <= text.data() + text.size());
                }
            }
        }
    }
}

TEST(Str2AryAll, StopsAtTenThousandFields) {
    std::string exact;
    for (int i = 1; i <= 10000; ++i) exact.append("w").append(std::to_string(i)).append(" ");
    Fields f = Str2Ary_All(exact, " ", 1);
    EXPECT_EQ(f.ubound(), 10000);
    EXPECT_EQ(f[10000], "w10000");

    const std::string more = exact + "w10001 w10002";
    f = Str2Ary_All(more, " ", 1);
    EXPECT_EQ(f.ubound(), 10000);
    EXPECT_EQ(f[10000], "w10000");
}

TEST(Str2AryAll, CapCountsFromTheChosenFirstIndex) {
    std::string text;
    for (int i = 0; i < 10005; ++i) text += "x ";
    const Fields f = Str2Ary_All(text, " ", 9998);
    EXPECT_EQ(f.lbound(), 9998);
    EXPECT_EQ(f.ubound(), 10000);
    EXPECT_EQ(f.count(), 3u);
}

TEST(Str2AryAll, FirstIndexZero) {
    const Fields f = Str2Ary_All("a b", " ", 0);
    EXPECT_EQ(f.lbound(), 0);
    EXPECT_EQ(f.ubound(), 1);
    EXPECT_EQ(f[0], "a");
    EXPECT_EQ(f[1], "b");
}

TEST(Str2AryAll, FirstIndexAboveCapFails) {
    EXPECT_THROW(Str2Ary_All("a", " ", 10001), std::invalid_argument);
    EXPECT_NO_THROW(Str2Ary_All("a b", " ", 10000));
    EXPECT_EQ(Str2Ary_All("a b", " ", 10000).count(), 1u);
}

TEST(Str2AryAll, OtherDelimiters) {
    EXPECT_EQ(fieldsOf(Str2Ary_All(" a , b ,c", ",", 1)), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(fieldsOf(Str2Ary_All("a::b", "::", 1)), (std::vector<std::string>{"a", "b"}));
    EXPECT_THROW(Str2Ary_All("a", "", 1), std::invalid_argument);
}

TEST(Str2AryAll, ReusedFieldsDoNotKeepOldLines) {
    Fields f;
    Str2Ary_All("CLOSED 5 12 26 -1 extra", " ", 1, f);
    Str2Ary_All("OPEN 2", " ", 1, f);
    EXPECT_EQ(fieldsOf(f), (std::vector<std::string>{"OPEN", "2"}));
}

}  // namespace
}  // namespace trelvo
