// House rules: what a rules file changes in one pass over tests/data/house.d (every other byte
// unchanged), what a bad rules file is told, the checker's findings and exit statuses, and
// trelvo-cli with --rules beside the pair options on the real libraries.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli/rules_file.h"
#include "cli_run.h"
#include "engine/check.h"
#include "engine/update.h"
#include "files/line_io.h"
#include "test_files.h"

namespace {

using trelvo::test::readFile;
using trelvo::test::runCli;
using trelvo::test::TempDir;
using trelvo::test::writeFile;

const std::string kHouse = readFile(std::string(TRELVO_TEST_DATA) + "/house.d");

// kHouse with some of its lines (1-based) replaced.
std::string houseWith(const std::map<int, std::string>& lines) {
    std::string out;
    std::size_t at = 0;
    for (int n = 1; at < kHouse.size(); ++n) {
        const std::size_t end = kHouse.find("\r\n", at);
        const auto found = lines.find(n);
        out += (found != lines.end() ? found->second : kHouse.substr(at, end - at)) + "\r\n";
        at = end + 2;
    }
    return out;
}

struct Pass {
    std::string output;
    trelvo::UpdateResult result;
};

Pass runRules(const std::string& toml, const std::string& library = kHouse) {
    std::string why;
    const auto file = trelvo::cli::parseRulesFile(toml, "house.toml", why);
    EXPECT_TRUE(file) << why;
    if (!file)
        return {};
    trelvo::MemorySource in(library);
    Pass p;
    trelvo::StringSink out(p.output);
    p.result = trelvo::runUpdate({in, &out, file->rules});
    return p;
}

const std::string kFont = " \"Regular <Romansim Stroke Font>\"";

struct RulesRow {
    const char* name;
    std::string toml;
    std::map<int, std::string> changed;
    std::size_t warnings = 0;
    std::map<int, std::string> input = {};  // lines of kHouse replaced before the run
};

class HouseRules : public testing::TestWithParam<RulesRow> {};

std::string fillerRules() {
    std::string rules;
    for (int i = 0; i < 5; ++i)
        rules += "[[piece]]\nlayer = \"99" + std::to_string(i) + "\"\nset = { layer = \"98\" }\n";
    return rules;
}
const std::string kFillerRules = fillerRules();

TEST_P(HouseRules, ChangeExactlyTheirLines) {
    const RulesRow& row = GetParam();
    std::map<int, std::string> expected = row.changed;
    expected.insert(row.input.begin(), row.input.end());
    // Also behind rules that match nothing: past a few piece rules, verdicts are kept.
    for (const std::string& fillers : {std::string(), kFillerRules}) {
        const Pass p = runRules(row.toml + fillers, houseWith(row.input));
        EXPECT_EQ(p.result.outcome, trelvo::Outcome::Done) << p.result.detail;
        EXPECT_EQ(p.output, houseWith(expected)) << fillers;
        EXPECT_EQ(p.result.rewrittenLines, row.changed.size());
        EXPECT_EQ(p.result.warnings.size(), row.warnings);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, HouseRules,
    testing::Values(
        RulesRow{"SwapInOnePass",
                 "[[piece]]\nlayer = \"26\"\nset = { layer = \"27\" }\n"
                 "[[piece]]\nlayer = \"27\"\nset = { layer = \"26\" }\n",
                 {{2, "OPEN  2  10  27  -1"},
                  {13, "OPEN  2  10  27  -1"},
                  {16, "CLOSED  5  8  26  -1"},
                  {22, "CIRCLE  2  6  27  -1"},
                  {41, "OPEN  2  0.254  27  -1"},
                  {44, "CLOSED  2  0.2  26  -1"},
                  {60, "OPEN  2  10  27  -1"}}},
        RulesRow{"FirstMatchDecides",
                 "[[piece]]\nlayer = \"26\"\nwidth = \"10mil\"\nset = { width = \"5mil\" }\n"
                 "[[piece]]\nlayer = \"26\"\nset = { layer = \"1\" }\n",
                 {{2, "OPEN  2  5  26  -1"},
                  {13, "OPEN  2  5  26  -1"},
                  {22, "CIRCLE  2  6  1  -1"},
                  {41, "OPEN  2  0.127  26  -1"},
                  {60, "OPEN  2  5  26  -1"}}},
        RulesRow{"UnitsBothWaysInShortestForm",
                 "[[piece]]\nwidth = \"0.254mm\"\nset = { width = \"0.1270mm\" }\n",
                 {{2, "OPEN  2  5  26  -1"},
                  {13, "OPEN  2  5  26  -1"},
                  {41, "OPEN  2  0.127  26  -1"},
                  {60, "OPEN  2  5  26  -1"}}},
        // 6 mil is 0.1524 mm, 8 mil 0.2032 mm, 10 mil exactly 0.254 mm: both ends are included.
        // The same piece line in an I decal and in an M one, where its 10 is 10 mm.
        RulesRow{"UnitIsPartOfTheMatch",
                 "[[piece]]\nwidth = \"10mil\"\nset = { layer = \"3\" }\n",
                 {{2, "OPEN  2  10  3  -1"}, {13, "OPEN  2  10  3  -1"}, {60, "OPEN  2  10  3  -1"}},
                 0,
                 {{41, "OPEN 2 10 26 -1"}}},
        RulesRow{"MillimetreRangeEndsIncluded",
                 "[[piece]]\nwidth = \"0.2mm..0.254mm\"\nset = { layer = \"3\" }\n",
                 {{2, "OPEN  2  10  3  -1"},
                  {13, "OPEN  2  10  3  -1"},
                  {16, "CLOSED  5  8  3  -1"},
                  {41, "OPEN  2  0.254  3  -1"},
                  {44, "CLOSED  2  0.2  3  -1"},
                  {60, "OPEN  2  10  3  -1"}}},
        RulesRow{"MilRangeEndsIncluded",
                 "[[piece]]\nwidth = \"6mil..8mil\"\nset = { layer = \"3\" }\n",
                 {{16, "CLOSED  5  8  3  -1"},
                  {22, "CIRCLE  2  6  3  -1"},
                  {44, "CLOSED  2  0.2  3  -1"}}},
        RulesRow{"AnyStyleAndKeyword",
                 "[[piece]]\nstyle = \"*\"\nkeyword = [\"OPEN\"]\ndecal = [\"SO*\"]\n"
                 "set = { layer = \"9\" }\n",
                 {{13, "OPEN  2  10  9  -1"}, {25, "OPEN  2  10  9  5"}}},
        RulesRow{"DecalGlobsNeverBeforeTheFirstDecal",
                 "[[piece]]\nkeyword = \"CIRCLE\"\nset = { width = \"1mil\" }\n"
                 "[[piece]]\ndecal = [\"*\"]\nlayer = \"26\"\nset = { layer = \"2\" }\n",
                 {{13, "OPEN  2  10  2  -1"},
                  {22, "CIRCLE  2  1  26  -1"},
                  {41, "OPEN  2  0.254  2  -1"},
                  {60, "OPEN  2  10  2  -1"}}},
        // Only the changed fields' texts are replaced; the spacing stays. BROKEN1 holds two
        // labels where its header counts one: its labels are left alone, with a warning.
        RulesRow{"LabelsKeepTheirSpacing",
                 "[[label]]\nname = \"REF-DES\"\nset = { height = \"1mm\", width = \"0.15mm\" }\n",
                 {{9, "0     100   0     0 39.37    5.906     26 0 34" + kFont},
                  {39, "-1 1 0 0 1 0.15 26 0 34" + kFont}},
                 1},
        // Two labels alike but for their names.
        RulesRow{"LabelByName",
                 "[[label]]\nname = \"PART-TYPE\"\nset = { height = \"60mil\" }\n",
                 {{11, "0 0 0 0 60 5 26 0 33" + kFont}},
                 1,
                 {{11, "0 0 0 0 50 5 26 0 33" + kFont}}},
        RulesRow{"LabelByLayerAndHeight",
                 "[[label]]\nlayer = \"1\"\nheight = \"50mil\"\nset = { layer = \"21\" }\n",
                 {{11, "0 0 0 0 50 5 21 0 33" + kFont}},
                 1},
        RulesRow{"TextByGlob",
                 "[[text]]\ntext = \"PIN*\"\nset = { height = \"50mil\", width = \"0.1mm\" }\n"
                 "[[text]]\nset = { layer = \"1\" }\n",
                 {{28, "-50 -60 0 26 50 3.937 0 0 0" + kFont}},
                 1}),
    [](const testing::TestParamInfo<RulesRow>& info) { return info.param.name; });

TEST(HouseRulesReport, TellsEachChangeInLineOrder) {
    std::vector<std::string> seen;
    std::string why;
    const auto file = trelvo::cli::parseRulesFile(
        "[[label]]\nname = \"REF-DES\"\nset = { height = \"1mm\" }\n"
        "[[piece]]\nlayer = \"27\"\nset = { layer = \"26\" }\n",
        "house.toml", why);
    ASSERT_TRUE(file) << why;
    trelvo::MemorySource in(kHouse);
    const auto result = trelvo::runUpdate(
        {in, nullptr, file->rules, {}, [&](const trelvo::Rewrite& c) {
             seen.push_back(std::string(c.decal_name) + " " + std::to_string(c.line_number) + " " +
                            std::to_string(c.rule) + " " + std::string(c.name) + " " +
                            std::string(c.old_height) + ">" + std::string(c.new_height) + " " +
                            std::string(c.old_layer) + ">" + std::string(c.new_layer));
         }});
    EXPECT_EQ(result.decals, 2);
    EXPECT_EQ(seen, (std::vector<std::string>{"SOIC8 9 1 REF-DES 50>39.37 26>26",
                                              "SOIC8 16 1  > 27>26", "R0805 39 1 REF-DES 1.27>1 26>26",
                                              "R0805 44 1  > 27>26"}));
}

struct BadRow {
    const char* name;
    std::string toml;
    std::string message;
};

class BadRulesFile : public testing::TestWithParam<BadRow> {};

TEST_P(BadRulesFile, IsToldWhereAndWhy) {
    std::string why;
    EXPECT_FALSE(trelvo::cli::parseRulesFile(GetParam().toml, "house.toml", why));
    EXPECT_EQ(why, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadRulesFile,
    testing::Values(
        BadRow{"Syntax", "[[piece]]\nlayer = = 1\n",
               "house.toml:2:9: Error while parsing value: could not determine value type"},
        BadRow{"UnknownTable", "[[pieces]]\nset = {}\n",
               "house.toml:1:3: unknown table 'pieces': the tables are [[piece]], [[label]], "
               "[[text]] and [[check]]"},
        BadRow{"Typo", "[[piece]]\nwidht = \"10mil\"\nset = { width = \"5mil\" }\n",
               "house.toml:2:1: unknown key 'widht' in [[piece]]"},
        BadRow{"WrongType", "[[piece]]\nlayer = 26\nset = { layer = \"1\" }\n",
               "house.toml:2:9: 'layer' must be a string"},
        BadRow{"NoUnit", "[[piece]]\nset = { width = \"5\" }\n",
               "house.toml:2:17: the width '5' has no unit: write mil or mm after it"},
        BadRow{"ReversedRange", "[[label]]\nheight = \"2mm..50mil\"\nset = { layer = \"1\" }\n",
               "house.toml:2:10: the range '2mm..50mil' has its ends reversed"},
        BadRow{"NoSet", "\n[[text]]\nlayer = \"26\"\n", "house.toml:2:1: [[text]] has no 'set'"},
        BadRow{"CheckWithoutAllow", "[[check]]\nname = \"x\"\n",
               "house.toml:1:1: [[check]] has neither 'allow' nor 'forbid = true'"},
        BadRow{"Keyword", "[[piece]]\nkeyword = [\"ARC\"]\nset = { layer = \"1\" }\n",
               "house.toml:2:11: the keyword 'ARC' is none of OPEN, CLOSED, CIRCLE"},
        BadRow{"NewLayer", "[[piece]]\nset = { layer = \"*\" }\n",
               "house.toml:2:17: the new layer '*' is not a layer number"},
        BadRow{"NewLayerOverTheFormat", "[[piece]]\nset = { layer = \"251\" }\n",
               "house.toml:2:17: the new layer '251' is over 250, the most the format allows"},
        BadRow{"NewWidthOverTheFormat", "[[label]]\nset = { width = \"6.36mm\" }\n",
               "house.toml:2:17: the new width '6.36mm' is over 250 mil (6.35 mm), the most the "
               "format allows"},
        BadRow{"AllowedLayer", "[[check]]\nallow = { layer = [\"26\", \"x\"] }\n",
               "house.toml:2:19: the layer 'x' is not a layer number"},
        BadRow{"NotArrayOfTables", "[piece]\nset = { layer = \"1\" }\n",
               "house.toml:1:1: 'piece' must be written [[piece]]"}),
    [](const testing::TestParamInfo<BadRow>& info) { return info.param.name; });

TEST(RulesFile, AllowsAListOfLayers) {
    std::string why;
    const auto file = trelvo::cli::parseRulesFile(
        "[[check]]\nallow = { layer = [\"26\", \"27\"] }\n[[check]]\nallow = { layer = \"1\" }\n",
        "house.toml", why);
    ASSERT_TRUE(file) << why;
    EXPECT_EQ(file->rules.checks[0].allowedLayers, (std::vector<std::string>{"26", "27"}));
    EXPECT_EQ(file->rules.checks[1].allowedLayers, (std::vector<std::string>{"1"}));
}

TEST(RulesFileWarnings, ARuleBehindOneThatTakesAllItsLines) {
    std::string why;
    const auto file = trelvo::cli::parseRulesFile(
        "[[piece]]\nset = { layer = \"1\" }\n[[piece]]\nlayer = \"26\"\nset = { layer = \"2\" }\n"
        "[[piece]]\ndecal = \"X*\"\nset = { layer = \"2\" }\n",
        "house.toml", why);
    ASSERT_TRUE(file) << why;
    EXPECT_EQ(file->warnings,
              (std::vector<std::string>{
                  "house.toml:3:1: warning: [[piece]] rule 2 can never match: rule 1 takes all its lines",
                  "house.toml:6:1: warning: [[piece]] rule 3 can never match: rule 1 takes all its lines"}));
}

// ---- trelvo-cli ----

const std::string kChecks =
    "[[check]]\nname = \"silk width\"\nlayer = \"26\"\nallow = { width = [\"10mil\", \"0.254mm\"] }\n"
    "[[check]]\nname = \"no layer 1 labels\"\nkind = \"label\"\nlayer = \"1\"\nforbid = true\n"
    "severity = \"warning\"\n";

struct CheckRow {
    const char* name;
    std::vector<std::string> args;
    int status;
    std::string out, err;
};

class TrelvoCliCheck : public testing::TestWithParam<CheckRow> {};

const std::string kLongName(41, 'N');  // one character over what the format allows

TEST_P(TrelvoCliCheck, FindingsAndStatus) {
    TempDir dir;
    writeFile(dir.file("checks.toml"), kChecks);
    writeFile(dir.file("globs.toml"),
              "[[check]]\nname = \"SO silk\"\ndecal = [\"SO*\"]\nlayer = \"26\"\n"
              "allow = { width = [\"5mil\"] }\n"
              "[[check]]\nname = \"thin\"\nallow = { width = [\"0mil..9mil\"] }\n"
              "severity = \"warning\"\n");
    writeFile(dir.file("fields.toml"),
              "[[check]]\nname = \"ref-des\"\nkind = \"label\"\nlabel = \"REF-DES\"\n"
              "allow = { height = [\"60mil\", \"1.5mm\"], width = [\"6mil..8mil\", \"0.15mm\"] }\n");
    writeFile(dir.file("house.d"), kHouse);
    writeFile(dir.file("notlib.d"), "not a library\r\n");
    writeFile(dir.file("none.toml"), "[[piece]]\nset = { layer = \"1\" }\n");
    // R0805's header counts 3 pieces over its 2: its first terminal line is no third piece.
    writeFile(dir.file("three.d"), houseWith({{37, "R0805 M 0 0 0 1 3 0 2 1 0"}}));
    writeFile(dir.file("beyond.d"),
              houseWith({{6, kLongName + " I 0 0 1 2 4 1 2 1 0"},
                         {9, "0 100 0 0 5 5 251 0 34" + kFont},
                         {13, "OPEN 2 300 26 -1"},
                         {22, "CIRCLE 3 6 26 -1\r\n-10 0"},
                         {28, "-50 -60 0 26 40 60 0 0 0" + kFont},
                         {41, "OPEN 2 7 26 -1"}}));
    const auto r = runCli(GetParam().args, dir);
    EXPECT_EQ(r.status, GetParam().status);
    EXPECT_EQ(r.out, GetParam().out);
    EXPECT_EQ(r.err, GetParam().err);
}

const std::string kFindings =
    "house.d:11: SOIC8: warning: no layer 1 labels: forbidden: label PART-TYPE on layer 1, width 5 "
    "(mil), height 50\n"
    "house.d:22: SOIC8: error: silk width: width 6 (mil), allowed 10mil, 0.254mm\n"
    "house.d:58: BROKEN1: error: structure: the header counts 1 piece, but piece 1 is no piece "
    "header line\n"
    "house.d: 2 error(s), 1 warning(s)\n";

INSTANTIATE_TEST_SUITE_P(
    Table, TrelvoCliCheck,
    testing::Values(
        CheckRow{"Errors", {"--check", "checks.toml", "house.d"}, 1, kFindings, ""},
        CheckRow{"Csv",
                 {"--check", "checks.toml", "--format", "csv", "house.d"},
                 1,
                 "input,decal,line,kind,check,severity,found,allowed,name\r\n"
                 "house.d,SOIC8,11,label,no layer 1 labels,warning,\"label PART-TYPE on layer 1, "
                 "width 5 (mil), height 50\",,PART-TYPE\r\n"
                 "house.d,SOIC8,22,piece,silk width,error,width 6 (mil),\"10mil, 0.254mm\",CIRCLE\r\n"
                 "house.d,BROKEN1,58,decal,structure,error,\"the header counts 1 piece, but piece 1 "
                 "is no piece header line\",,\r\n",
                 "trelvo-cli: house.d: 2 error(s), 1 warning(s)\n"},
        CheckRow{"UnreadableWins",
                 {"--check", "checks.toml", "house.d", "missing.d", "notlib.d"},
                 6,
                 kFindings,
                 "trelvo-cli: missing.d: File read error: Filename error -please check dir and "
                 "filename and retry. (" + trelvo::test::noSuchFileText() + ")\n"
                 "trelvo-cli: notlib.d: File format error: Error in Decal Lib (*.d) "
                 "format...exiting. (the first line does not begin with "
                 "*PADS-LIBRARY-PCB-DECALS)\n"},
        // The same piece line in decals a check's glob takes and in one it does not, and
        // before the first decal: each judged apart.
        CheckRow{"DecalGlobsJudgedPerDecal",
                 {"--check", "globs.toml", "house.d"},
                 1,
                 "house.d:2: warning: thin: width 10 (mil), allowed 0mil..9mil\n"
                 "house.d:13: SOIC8: error: SO silk: width 10 (mil), allowed 5mil\n"
                 "house.d:13: SOIC8: warning: thin: width 10 (mil), allowed 0mil..9mil\n"
                 "house.d:22: SOIC8: error: SO silk: width 6 (mil), allowed 5mil\n"
                 // A dashed outline (style 5) is checked like any other.
                 "house.d:25: SOIC8: error: SO silk: width 10 (mil), allowed 5mil\n"
                 "house.d:25: SOIC8: warning: thin: width 10 (mil), allowed 0mil..9mil\n"
                 "house.d:41: R0805: warning: thin: width 0.254 (mm), allowed 0mil..9mil\n"
                 "house.d:58: BROKEN1: error: structure: the header counts 1 piece, but piece 1 "
                 "is no piece header line\n"
                 "house.d:60: BROKEN1: warning: thin: width 10 (mil), allowed 0mil..9mil\n"
                 "house.d: 4 error(s), 5 warning(s)\n",
                 ""},
        // A label wrong in two fields: two findings naming it, each with its field's list.
        CheckRow{"EachFieldItsOwnFinding",
                 {"--check", "fields.toml", "house.d"},
                 1,
                 "house.d:9: SOIC8: error: ref-des: label REF-DES: width 5 (mil), allowed "
                 "6mil..8mil, 0.15mm\n"
                 "house.d:9: SOIC8: error: ref-des: label REF-DES: height 50 (mil), allowed 60mil, "
                 "1.5mm\n"
                 // 0.127 mm is 5 mil: within no range in either unit.
                 "house.d:39: R0805: error: ref-des: label REF-DES: width 0.127 (mm), allowed "
                 "6mil..8mil, 0.15mm\n"
                 "house.d:39: R0805: error: ref-des: label REF-DES: height 1.27 (mm), allowed 60mil, "
                 "1.5mm\n"
                 "house.d:56: BROKEN1: error: ref-des: label REF-DES: width 5 (mil), allowed "
                 "6mil..8mil, 0.15mm\n"
                 "house.d:56: BROKEN1: error: ref-des: label REF-DES: height 50 (mil), allowed "
                 "60mil, 1.5mm\n"
                 "house.d:58: BROKEN1: error: structure: the header counts 1 piece, but piece 1 "
                 "is no piece header line\n"
                 "house.d: 7 error(s), 0 warning(s)\n",
                 ""},
        CheckRow{"TheCountThatIsWrongIsBlamed",
                 {"--check", "none.toml", "three.d"},
                 1,
                 "three.d:47: R0805: error: structure: the header counts 3 pieces, but piece 3 is "
                 "no piece header line\n"
                 "three.d:58: BROKEN1: error: structure: the header counts 1 piece, but piece 1 "
                 "is no piece header line\n"
                 "three.d: 2 error(s), 0 warning(s)\n",
                 "trelvo-cli: none.toml: warning: no [[check]] table; only the decals' structure is "
                 "checked\n"},
        CheckRow{"WhatTheFormatAllows",
                 {"--check", "none.toml", "beyond.d"},
                 1,
                 "beyond.d:6: " + kLongName + ": error: structure: the decal name '" + kLongName +
                     "' has 41 characters, over 40\n"
                     "beyond.d:9: " + kLongName +
                     ": error: structure: the label height 5 (mil) is outside 10 to 1000 mil\n"
                     "beyond.d:9: " + kLongName +
                     ": error: structure: the label layer 251 is outside 0 to 250\n"
                     "beyond.d:13: " + kLongName +
                     ": error: structure: the piece width 300 (mil) is outside 0 to 250 mil\n"
                     "beyond.d:22: " + kLongName +
                     ": error: structure: the circle counts 3 corners, not 2\n"
                     "beyond.d:29: " + kLongName +
                     ": error: structure: the text width 60 (mil) is outside 1 to 50 mil\n"
                     "beyond.d:42: R0805: error: structure: the piece width 7 (mm) is outside 0 to "
                     "6.35 mm\n"
                     "beyond.d:59: BROKEN1: error: structure: the header counts 1 piece, but piece 1 "
                     "is no piece header line\n"
                     "beyond.d: 8 error(s), 0 warning(s)\n",
                 "trelvo-cli: none.toml: warning: no [[check]] table; only the decals' structure is "
                 "checked\n"},
        CheckRow{"RulesFileIsAnInput",
                 {"--check", "house.d", "house.d"},
                 2,
                 "",
                 "trelvo-cli: --check 'house.d' names an INPUT\nTry 'trelvo-cli --help' for more "
                 "information.\n"},
        CheckRow{"SurveyListsLabelStyles",
                 {"--survey", "--format", "csv-labels", "house.d"},
                 0,
                 "input,kind,name,unit,height,width,layer,count,decals\r\n"
                 "house.d,label,PART-TYPE,I,50,5,1,1,1\r\n"
                 "house.d,label,REF-DES,I,50,5,26,1,1\r\n"
                 "house.d,label,REF-DES,M,1.27,0.127,26,1,1\r\n"
                 "house.d,text,,I,40,4,26,1,1\r\n",
                 "trelvo-cli: house.d: 3 decal(s) recognised (2 I, 1 M), 3 with eligible pieces; 8 "
                 "outline piece(s)\n"
                 "trelvo-cli: warning: house.d: 1 eligible piece(s) come before the first "
                 "recognised decal header; a run rewrites them, taking their widths as mils, but "
                 "counts no decal for them, and --decal leaves them alone\n"
                 "trelvo-cli: warning: house.d: 1 decal(s) do not follow their header's counts; "
                 "their labels and texts are not listed (trelvo-cli --check tells where)\n"},
        CheckRow{"NotWithRunOptions",
                 {"--check", "checks.toml", "--in-place", "house.d"},
                 2,
                 "",
                 "trelvo-cli: --check cannot be used with --in-place (it changes nothing)\nTry "
                 "'trelvo-cli --help' for more information.\n"}),
    [](const testing::TestParamInfo<CheckRow>& info) { return info.param.name; });

TEST(TrelvoCliRules, InPlaceWithReportChangesLabelsSafely) {
    TempDir dir;
    writeFile(dir.file("house.toml"),
              "[[label]]\nname = \"REF-DES\"\nset = { height = \"1mm\" }\n"
              "[[piece]]\nlayer = \"27\"\nset = { layer = \"26\" }\n");
    writeFile(dir.file("house.d"), kHouse);
    const auto r = runCli({"--rules", "house.toml", "--in-place", "--report", "-", "house.d"}, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "input,decal,line,kind,name,rule,old_layer,new_layer,old_width,new_width,old_height,"
              "new_height,unit\r\n"
              "house.d,SOIC8,9,label,REF-DES,1,26,26,5,5,50,39.37,I\r\n"
              "house.d,SOIC8,16,piece,CLOSED,1,27,26,8,8,,,I\r\n"
              "house.d,R0805,39,label,REF-DES,1,26,26,0.127,0.127,1.27,1,M\r\n"
              "house.d,R0805,44,piece,CLOSED,1,27,26,0.2,0.2,,,M\r\n");
    EXPECT_EQ(readFile(dir.file("house.d")),
              houseWith({{9, "0     100   0     0 39.37    5     26 0 34" + kFont},
                         {16, "CLOSED  5  8  26  -1"},
                         {39, "-1 1 0 0 1 0.127 26 0 34" + kFont},
                         {44, "CLOSED  2  0.2  26  -1"}}));
    EXPECT_EQ(readFile(dir.file("house.d.orig")), kHouse);
    EXPECT_NE(r.err.find("trelvo-cli: house.d: warning: decal 'BROKEN1' (line 54): its labels and "
                         "texts were left as they are: the header counts 1 piece, but piece 1 is "
                         "no piece header line\n"),
              std::string::npos)
        << r.err;
}

// A rule or check that takes nothing is named with its line, after the run; its status stays.
TEST(TrelvoCliRules, RulesAndChecksThatTakeNothingAreNamed) {
    TempDir dir;
    writeFile(dir.file("house.d"), kHouse);
    const std::string rules = std::string(TRELVO_TEST_DATA) + "/matches-nothing.toml";
    const std::string onlyChanges = std::string(TRELVO_TEST_DATA) + "/ref-des-twice-as-high.toml";
    const std::string broken =
        "trelvo-cli: house.d: warning: decal 'BROKEN1' (line 54): its labels and texts were left "
        "as they are: the header counts 1 piece, but piece 1 is no piece header line\n";
    const std::string label = "trelvo-cli: " + rules + ":7: warning: this [[label]] rule matched nothing\n";
    const std::string piece = "trelvo-cli: " + rules + ":11: warning: this [[piece]] rule matched nothing\n";
    const std::string silk = "trelvo-cli: " + rules + ":15: warning: this [[check]] 'silk' matched no piece\n";
    const std::string typo = "trelvo-cli: " + rules + ":20: warning: this [[check]] 'typo' matched no label\n";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string err;
    } rows[] = {
        {{"--rules", rules, "-o", "out.d", "house.d"}, 0, broken + label + piece + typo},
        // A dry run writes nothing to check.
        {{"--rules", rules, "--dry-run", "house.d"}, 0, broken + label + piece},
        // The library before the change has no layer 21.
        {{"--check", rules, "house.d"}, 1, silk + typo},
        {{"--check", onlyChanges, "house.d"}, 1,
         "trelvo-cli: " + onlyChanges + ": warning: no [[check]] table; only the decals' structure "
         "is checked\n"},
    };
    for (const auto& row : rows) {
        const auto r = runCli(row.args, dir);
        EXPECT_EQ(r.status, row.status) << row.args[1];
        EXPECT_EQ(r.err, row.err);
    }
}

TEST(TrelvoCliRules, UsageErrorsTouchNothing) {
    TempDir dir;
    writeFile(dir.file("bad.toml"), "[[piece]]\nset = { width = \"5\" }\n");
    writeFile(dir.file("good.toml"), "[[piece]]\nset = { layer = \"1\" }\n");
    writeFile(dir.file("house.d"), kHouse);
    writeFile(dir.file("big.toml"), std::string(trelvo::cli::kMaxRulesFileSize + 1, '#'));
    const std::vector<std::pair<std::vector<std::string>, std::string>> rows = {
        {{"--rules", "bad.toml", "house.d"},
         "bad.toml:2:17: the width '5' has no unit: write mil or mm after it"},
        {{"--rules", "good.toml", "--layer", "26:1", "house.d"},
         "--rules cannot be used with --layer or --width"},
        {{"--rules", "good.toml", "-o", "good.toml", "house.d"},
         "--rules 'good.toml' names a file the run writes"},
        {{"--rules", "house.d", "house.d"}, "--rules 'house.d' names an INPUT"},
        // The rules file and the INPUT the wrong way round.
        {{"--rules", "house.d", "good.toml"}, "house.d: a decal library, not a rules file (TOML)"},
        {{"--rules", "big.toml", "house.d"}, "big.toml: the rules file is larger than 1 MB"},
    };
    for (const auto& [args, message] : rows) {
        const auto r = runCli(args, dir);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "trelvo-cli: " + message + "\nTry 'trelvo-cli --help' for more information.\n");
        EXPECT_FALSE(std::filesystem::exists(dir.file("house_new.d")));
        EXPECT_EQ(readFile(dir.file("house.d")), kHouse);
    }
}

// A one-rule file and the matching pair option write the same bytes on every real library.
TEST(TrelvoCliRules, OneRuleIsThePairOptionOnTheRealLibraries) {
    const std::filesystem::path libraries(TRELVO_REAL_LIBRARIES);
    if (!std::filesystem::is_directory(libraries))
        GTEST_SKIP() << "no real libraries at " << libraries;
    TempDir dir;
    writeFile(dir.file("layer.toml"), "[[piece]]\nlayer = \"26\"\nset = { layer = \"1\" }\n");
    writeFile(dir.file("width.toml"), "[[piece]]\nwidth = \"10mil\"\nset = { width = \"5mil\" }\n");
    int libs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(libraries)) {
        if (entry.path().extension() != ".d")
            continue;
        ++libs;
        const std::string lib = trelvo::test::nameOf(entry.path());
        for (const auto& [rules, option, value] :
             {std::tuple{"layer.toml", "--layer", "26:1"}, std::tuple{"width.toml", "--width", "10:5"}}) {
            const auto a = runCli({option, value, "-o", "pair.d", lib}, dir);
            const auto b = runCli({"--rules", rules, "-o", "rules.d", lib}, dir);
            EXPECT_EQ(a.status, b.status) << lib;
            EXPECT_EQ(a.out.substr(0, a.out.find("written")), b.out.substr(0, b.out.find("written")))
                << lib;
            EXPECT_EQ(readFile(dir.file("pair.d")), readFile(dir.file("rules.d"))) << lib << rules;
        }
        // Every real library follows its headers' counts.
        const auto check = runCli({"--check", "layer.toml", lib}, dir);
        EXPECT_EQ(check.status, 0) << check.out;
    }
    EXPECT_EQ(libs, 13);
}

// A value a rule writes passes a check that allows it at a range end given in the other unit,
// on the sample library and on every real one.
TEST(TrelvoCliRules, WhatTheRulesWriteTheirChecksAllow) {
    TempDir dir;
    writeFile(dir.file("house.d"), kHouse);
    std::vector<std::string> libs = {"house.d"};
    const std::filesystem::path libraries(TRELVO_REAL_LIBRARIES);
    if (std::filesystem::is_directory(libraries)) {
        for (const auto& entry : std::filesystem::directory_iterator(libraries)) {
            if (entry.path().extension() == ".d")
                libs.push_back(trelvo::test::nameOf(entry.path()));
        }
    } else {
        std::cerr << "no real libraries at " << libraries << ": the sample library only\n";
    }
    for (const std::string& lib : libs) {
        const auto r = runCli({"--rules", std::string(TRELVO_TEST_DATA) + "/rules-meet-their-checks.toml",
                               "-o", "out.d", lib},
                              dir);
        // Labels of a decal whose lines do not follow its counts stay as they were, and may fail.
        EXPECT_TRUE(r.status == 0 || r.status == 1) << lib << r.err;
        EXPECT_NE(r.out.find("out.d: "), std::string::npos) << lib << r.out;
        for (const char* written : {"width 3.937 (mil)", "width 0.1 (mm)", "width 6 (mil)",
                                    "width 0.152 (mm)", "height 51.181 (mil)", "height 1.3 (mm)"})
            EXPECT_EQ(r.out.find(written), std::string::npos) << lib << ": " << written << "\n" << r.out;
        if (lib == "house.d") {
            EXPECT_EQ(r.out.substr(r.out.find("out.d:")),
                      "out.d:56: BROKEN1: error: ref-des: label REF-DES: height 50 (mil), allowed "
                      "1.3mm..2mm\n"
                      "out.d: 1 error(s), 0 warning(s)\n");
        }
    }
}

// One decal too long to hold (a run holds a decal's lines until its labels may change), whose
// text comes after 5 MB of pieces.
std::string longDecalLibrary() {
    std::string lib = "*PADS-LIBRARY-PCB-DECALS-V9*\r\n\r\nBIG I 0 0 0 1 200000 1 0 0 0\r\n"
                      "0 0 0 0 50 5 26 0 34" + kFont + "\r\nREF-DES\r\n";
    for (int i = 0; i < 200000; ++i)
        lib += "OPEN 2 10 26 -1\r\n0 0\r\n1 1\r\n";
    return lib + "0 0 0 26 40 4 0 0 0" + kFont + "\r\nLAST\r\n";
}

// A run's checks with more findings than are kept in memory print what --check prints of the
// written output, after the run's own lines.
TEST(TrelvoCliRules, ManyFindingsAsTheCheckerPrintsThem) {
    TempDir dir;
    writeFile(dir.file("long.d"), longDecalLibrary());
    writeFile(dir.file("r.toml"), "[[piece]]\nlayer = \"27\"\nset = { layer = \"26\" }\n"
                                  "[[check]]\nname = \"10 mil\"\nwidth = \"10mil\"\nforbid = true\n");
    const auto run = runCli({"--rules", "r.toml", "-o", "out.d", "long.d"}, dir);
    const auto check = runCli({"--check", "r.toml", "out.d"}, dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(check.status, 1);
    const std::string head = "Processing complete.\n0 Decal(s) updated.\nUpdated decal file written to: out.d\n";
    EXPECT_EQ(run.out.substr(0, head.size()), head);
    EXPECT_EQ(run.out.substr(head.size()), check.out);
    EXPECT_GT(check.out.size(), std::size_t{1} << 20);
}

// The checks a run makes while it writes its output find exactly what checking the written output
// finds, whether the run holds decals for their labels, only rewrites pieces, or is kept to some
// decals: on house.d and on every real library.
TEST(HouseRulesChecks, MadeWhileWritingAreThoseOfTheWrittenOutput) {
    const std::string checks =
        "[[check]]\nname = \"silk\"\nlayer = \"26\"\nallow = { width = [\"10mil\", \"0.2mm\"] }\n"
        "[[check]]\nname = \"labels\"\nkind = \"label\"\nallow = { height = [\"1mm\"] }\n"
        "[[check]]\nname = \"texts\"\nkind = \"text\"\nforbid = true\nseverity = \"warning\"\n"
        "[[check]]\nname = \"10 mil\"\nwidth = \"10mil\"\nforbid = true\n";
    const std::string changes[] = {
        "[[piece]]\nlayer = \"26\"\nset = { width = \"0.2mm\" }\n" + kFillerRules,
        "[[piece]]\nlayer = \"26\"\nset = { width = \"0.2mm\" }\n[[label]]\nname = \"REF-DES\"\n"
        "set = { height = \"1mm\" }\n[[text]]\nset = { layer = \"1\" }\n"};
    std::vector<std::string> libraries{kHouse, longDecalLibrary()};
    const std::filesystem::path real(TRELVO_REAL_LIBRARIES);
    if (std::filesystem::is_directory(real)) {
        for (const auto& entry : std::filesystem::directory_iterator(real)) {
            if (entry.path().extension() == ".d")
                libraries.push_back(readFile(entry.path().string()));
        }
    }
    const auto text = [](const trelvo::Finding& f) {
        return std::to_string(f.line) + "|" + std::string(f.decal) + "|" + trelvo::kindName(f.kind) +
               "|" + std::string(f.check) + "|" + (f.error ? "E" : "W") + "|" +
               std::string(f.found) + "|" + std::string(f.allowed);
    };
    std::size_t findings = 0;
    for (const std::string& library : libraries) {
        for (const std::string& change : changes) {
            for (const bool someDecals : {false, true}) {
                std::string why;
                const auto file = trelvo::cli::parseRulesFile(change + checks, "house.toml", why);
                ASSERT_TRUE(file) << why;
                trelvo::MemorySource in(library);
                std::string output;
                trelvo::StringSink out(output);
                std::vector<std::string> whileWriting, afterwards;
                trelvo::UpdateRequest request{in, &out, file->rules};
                if (someDecals)
                    request.decalFilter = [](std::string_view name) { return name < "M"; };
                request.onFinding = [&](const trelvo::Finding& f) { whileWriting.push_back(text(f)); };
                const trelvo::UpdateResult run = trelvo::runUpdate(request);
                ASSERT_EQ(run.outcome, trelvo::Outcome::Done) << run.detail;
                trelvo::MemorySource written(output);
                const trelvo::CheckResult check = trelvo::runCheck(
                    {written, file->rules, [&](const trelvo::Finding& f) { afterwards.push_back(text(f)); },
                     false});
                EXPECT_EQ(whileWriting, afterwards) << change << someDecals;
                EXPECT_EQ(run.checkErrors, check.errors);
                EXPECT_EQ(run.checkWarnings, check.warnings);
                findings += afterwards.size();
            }
        }
    }
    EXPECT_GT(findings, 1000u);
}

// Lines ended by LF or CR LF; fields split at spaces.
std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> fieldsOf(const std::string& line) {
    std::istringstream in(line);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

// On the real libraries a label rule changes the label lines it reports, and in them only the
// height and width texts; every other byte stays.
TEST(TrelvoCliRules, LabelsOnTheRealLibrariesChangeOnlyTheirFields) {
    const std::filesystem::path libraries(TRELVO_REAL_LIBRARIES);
    if (!std::filesystem::is_directory(libraries))
        GTEST_SKIP() << "no real libraries at " << libraries;
    TempDir dir;
    writeFile(dir.file("labels.toml"),
              "[[label]]\nset = { height = \"1mm\", width = \"0.15mm\" }\n");
    std::size_t changed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(libraries)) {
        if (entry.path().extension() != ".d")
            continue;
        const std::string lib = trelvo::test::nameOf(entry.path());
        const auto r = runCli({"--rules", "labels.toml", "--report", "-", "-o", "out.d", lib}, dir);
        ASSERT_EQ(r.status, 0) << lib << r.err;
        const auto in = linesOf(readFile(lib)), out = linesOf(readFile(dir.file("out.d")));
        ASSERT_EQ(in.size(), out.size()) << lib;
        std::size_t differing = 0;
        for (std::size_t i = 0; i < in.size(); ++i) {
            if (in[i] == out[i])
                continue;
            ++differing;
            auto a = fieldsOf(in[i]), b = fieldsOf(out[i]);
            ASSERT_EQ(a.size(), b.size()) << lib << ":" << i + 1;
            a[4] = b[4];  // height
            a[5] = b[5];  // width
            EXPECT_EQ(a, b) << lib << ":" << i + 1;
        }
        EXPECT_EQ(differing, linesOf(r.out).size() - 1) << lib;  // a report row each
        changed += differing;
    }
    EXPECT_GT(changed, 0u);
}

}  // namespace
