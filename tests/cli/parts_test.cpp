// The small pieces of trelvo-cli on their own: decal name patterns and CSV rows.
#include <gtest/gtest.h>

#include <string>

#include "cli/csv.h"
#include "cli/glob.h"

namespace {

using trelvo::cli::appendCsvRow;
using trelvo::cli::globMatch;

struct GlobRow {
    const char* pattern;
    const char* name;
    bool match;
};

class DecalGlob : public ::testing::TestWithParam<GlobRow> {};

TEST_P(DecalGlob, Matches) {
    EXPECT_EQ(globMatch(GetParam().pattern, GetParam().name), GetParam().match)
        << GetParam().pattern << " vs " << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DecalGlob,
    ::testing::Values(GlobRow{"SOT23", "SOT23", true}, GlobRow{"SOT23", "SOT23-5", false},
                      GlobRow{"SOT*", "SOT23-5", true}, GlobRow{"SOT*", "SOT", true},
                      GlobRow{"*", "", true}, GlobRow{"", "", true}, GlobRow{"", "A", false},
                      GlobRow{"?", "", false}, GlobRow{"?", "A", true},
                      GlobRow{"S?T23", "SOT23", true}, GlobRow{"sot*", "SOT23", false},
                      GlobRow{"*23", "SOT23", true}, GlobRow{"*23", "SOT23-5", false},
                      GlobRow{"*-*-*", "A-B-C", true}, GlobRow{"*-*-*", "A-B", false},
                      GlobRow{"a*b*c", "aXbYbZc", true}, GlobRow{"a*b*c", "aXbYcZ", false},
                      GlobRow{"**", "x", true}, GlobRow{"[AB]", "A", false},
                      GlobRow{"[AB]", "[AB]", true}, GlobRow{"R\\*", "R\\X", true},
                      GlobRow{"*?", "", false}, GlobRow{"?*?", "ab", true}));

TEST(CsvRow, PlainFieldsAreWrittenAsTheyAre) {
    std::string out;
    appendCsvRow(out, {"a.d", "SOT23", "12", "", "0.254"});
    EXPECT_EQ(out, "a.d,SOT23,12,,0.254\r\n");
}

TEST(CsvRow, CommasQuotesAndLineBreaksAreQuoted) {
    std::string out;
    appendCsvRow(out, {"a,b", "say \"hi\"", "two\nlines", "cr\r", " spaced "});
    EXPECT_EQ(out, "\"a,b\",\"say \"\"hi\"\"\",\"two\nlines\",\"cr\r\", spaced \r\n");
}

}  // namespace
