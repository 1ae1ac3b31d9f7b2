// The small pieces of trelvo-cli on their own: decal name patterns, CSV rows and output names.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "cli/batch.h"
#include "cli/csv.h"
#include "engine/glob.h"
#include "engine/output_name.h"

namespace {

using trelvo::cli::appendCsvRow;
using trelvo::globMatch;

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

// The output name is the input with its last two characters replaced by "_new.d", whatever the
// spelling of the folder: a Windows user's drive letters, backslashes and server shares pass
// through untouched.
struct OutputNameRow {
    const char* label;  // names the row in test listings
    const char* input;
    std::optional<std::string> output;
};

void PrintTo(const OutputNameRow& row, std::ostream* os) {
    *os << row.label;
}

class DerivedOutputName : public ::testing::TestWithParam<OutputNameRow> {};

TEST_P(DerivedOutputName, LastTwoCharactersBecomeNewD) {
    EXPECT_EQ(trelvo::DeriveOutputName(GetParam().input), GetParam().output) << GetParam().input;
}

TEST_P(DerivedOutputName, PlanUsesIt) {
    trelvo::cli::Options options;
    options.layer = "26:1";
    options.inputs = {GetParam().input};
    const trelvo::cli::Planned planned = trelvo::cli::makePlan(options);
    if (GetParam().output) {
        ASSERT_TRUE(planned.plan) << planned.error;
        ASSERT_EQ(planned.plan->jobs.size(), 1u);
        EXPECT_EQ(planned.plan->jobs[0].output, *GetParam().output);
    } else {
        EXPECT_FALSE(planned.plan);
        EXPECT_EQ(planned.error, std::string("cannot derive an output name from '") +
                                     GetParam().input +
                                     "' (it does not end in a point and one character); "
                                     "give -o OUTPUT");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, DerivedOutputName,
    ::testing::Values(OutputNameRow{"plain", "parts.d", "parts_new.d"},
                      OutputNameRow{"drive_letter", "C:\\Lib\\parts.d", "C:\\Lib\\parts_new.d"},
                      OutputNameRow{"dot_backslash", ".\\parts.d", ".\\parts_new.d"},
                      OutputNameRow{"server_share", "\\\\server\\share\\parts.d",
                                    "\\\\server\\share\\parts_new.d"},
                      OutputNameRow{"umlaut", "C:\\Bibliothek\\Stecker \xC3\xBC.d",
                                    "C:\\Bibliothek\\Stecker \xC3\xBC_new.d"},
                      OutputNameRow{"upper_case", "C:\\Lib\\PARTS.D", "C:\\Lib\\PARTS_new.d"},
                      OutputNameRow{"multibyte_last", "C:\\Lib\\parts.\xC3\xBC",
                                    "C:\\Lib\\parts_new.d"},
                      OutputNameRow{"name_is_extension", "C:\\Lib\\.d", "C:\\Lib\\_new.d"},
                      OutputNameRow{"forward_slashes", "C:/Lib/parts.d", "C:/Lib/parts_new.d"},
                      OutputNameRow{"posix_absolute", "/lib/parts.d", "/lib/parts_new.d"},
                      OutputNameRow{"no_extension", "C:\\Lib\\parts", std::nullopt},
                      OutputNameRow{"point_in_folder_only", "C:\\Lib.d\\parts", std::nullopt},
                      OutputNameRow{"long_extension", "C:\\Lib\\parts.dd", std::nullopt}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
