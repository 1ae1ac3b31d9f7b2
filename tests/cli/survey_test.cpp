// trelvo-cli --survey: the counts of a small library with every kind of piece, exactly as
// printed, and the statuses of files that are not libraries.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli_run.h"
#include "test_files.h"

namespace {

using trelvo::test::crlf;
using trelvo::test::readFile;
using trelvo::test::TempDir;
using trelvo::test::writeFile;
using Cli = trelvo::test::CliResult;

const std::string kSig = "*PADS-LIBRARY-PCB-DECALS-V9*";
// A piece before the first decal; a dashed piece and one of 6 fields; widths 10 and 10.0; a decal
// (SOT89) that no empty line precedes, found by its TIMESTAMP line.
const std::string kLib =
    crlf({kSig, "OPEN 2 5 26 -1", "0 0", "1 1", "", "DIP8 I 0 0 2 2 4 0 8 1 0",
          "TIMESTAMP 2020.1.1.0.0.0", "OPEN 2 10 26 -1", "0 0", "CLOSED 5 10.0 26 -2",
          "CIRCLE 2 10.0 26 -1 7", "", "SOT23 M 0 0 1 1 3 0 3 1 0", "TIMESTAMP 2020.1.1.0.0.0",
          "CIRCLE   2 0.254 26 -1", "SOT89 M 0 0 1 1 3 0 3 1 0", "TIMESTAMP 2020.1.1.0.0.0",
          "CIRCLE 2 0.2540 26 -1", "OPEN 2 0.254 1 -1"});

Cli run(const std::vector<std::string>& args, const TempDir& dir) {
    return trelvo::test::runCli(args, dir);
}

std::vector<std::string> filesIn(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        names.push_back(e.path().filename().string());
    return names;
}

TEST(TrelvoCliSurvey, Table) {
    TempDir dir;
    writeFile(dir.file("parts.d"), kLib);
    const Cli r = run({"--survey", "parts.d"}, dir);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "parts.d: 3 decal(s) recognised (1 I, 2 M), 3 with eligible pieces; 7 outline "
              "piece(s)\n"
              "unit  keyword  layer  width  field 5  pieces  decals  a run\n"
              "I     CIRCLE   26     10     -1            1       1  not eligible: 6 fields\n"
              "I     CLOSED   26     10     -2            1       1  not eligible: line style -2\n"
              "I     OPEN     26     5      -1            1       0  eligible (before the first "
              "decal header)\n"
              "I     OPEN     26     10     -1            1       1  eligible\n"
              "M     CIRCLE   26     0.254  -1            2       2  eligible\n"
              "M     OPEN     1      0.254  -1            1       1  eligible\n"
              "warning: parts.d: 1 eligible piece(s) come before the first recognised decal "
              "header; a run rewrites them, taking their widths as mils, but counts no decal for "
              "them, and --decal leaves them alone\n");
    // Nothing written, nothing changed.
    EXPECT_EQ(filesIn(dir), std::vector<std::string>{"parts.d"});
    EXPECT_EQ(readFile(dir.file("parts.d")), kLib);
}

TEST(TrelvoCliSurvey, CsvForSeveralInputs) {
    TempDir dir;
    writeFile(dir.file("parts.d"), kLib);
    writeFile(dir.file("empty.d"), crlf({kSig, "", "R0402 M 0 0 0 0 0 0 2 1 0"}));
    const Cli r = run({"--survey", "--format", "csv", "parts.d", "empty.d"}, dir);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "input,unit,keyword,layer,width,field_5,pieces,decals,a_run\r\n"
              "parts.d,I,CIRCLE,26,10,-1,1,1,not eligible: 6 fields\r\n"
              "parts.d,I,CLOSED,26,10,-2,1,1,not eligible: line style -2\r\n"
              "parts.d,I,OPEN,26,5,-1,1,0,eligible (before the first decal header)\r\n"
              "parts.d,I,OPEN,26,10,-1,1,1,eligible\r\n"
              "parts.d,M,CIRCLE,26,0.254,-1,2,2,eligible\r\n"
              "parts.d,M,OPEN,1,0.254,-1,1,1,eligible\r\n");
    EXPECT_EQ(r.err,
              "trelvo-cli: parts.d: 3 decal(s) recognised (1 I, 2 M), 3 with eligible pieces; 7 "
              "outline piece(s)\n"
              "trelvo-cli: warning: parts.d: 1 eligible piece(s) come before the first recognised "
              "decal header; a run rewrites them, taking their widths as mils, but counts no decal "
              "for them, and --decal leaves them alone\n"
              "trelvo-cli: empty.d: 1 decal(s) recognised (0 I, 1 M), 0 with eligible pieces; 0 "
              "outline piece(s)\n");
}

// A thousand shapes: each keeps its own count however many others there are.
TEST(TrelvoCliSurvey, ManyShapes) {
    TempDir dir;
    std::vector<std::string> lines{kSig, "", "A I 0 0 0 0 2000 0 0 1 0"};
    for (int layer = 1000; layer >= 1; --layer) {
        lines.push_back("OPEN 2 10 " + std::to_string(layer) + " -1");
        lines.push_back("OPEN  3  10  " + std::to_string(layer) + "  -1");  // same shape
    }
    lines.insert(lines.end(), {"", "B I 0 0 0 0 1000 0 0 1 0"});
    for (int layer = 1; layer <= 1000; ++layer)
        lines.push_back("OPEN 2 10 " + std::to_string(layer) + " -1");
    std::string lib;
    for (const std::string& line : lines)
        lib += line + "\r\n";
    writeFile(dir.file("many.d"), lib);
    const Cli r = run({"--survey", "--format", "csv", "many.d"}, dir);
    EXPECT_EQ(r.status, 0);
    std::string want = "input,unit,keyword,layer,width,field_5,pieces,decals,a_run\r\n";
    for (int layer = 1; layer <= 1000; ++layer)
        want += "many.d,I,OPEN," + std::to_string(layer) + ",10,-1,3,2,eligible\r\n";
    EXPECT_EQ(r.out, want);
}

// A shape whose fields are long is counted as one shape as well.
TEST(TrelvoCliSurvey, LongFields) {
    TempDir dir;
    const std::string name(70, 'L');
    writeFile(dir.file("long.d"),
              crlf({kSig, "", "A I 0 0 0 0 1 0 0 1 0", "OPEN 2 10 " + name + " -1",
                    "OPEN 2 10 26 -1", "OPEN  3  10  " + name + "  -1"}));
    const Cli r = run({"--survey", "--format", "csv", "long.d"}, dir);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "input,unit,keyword,layer,width,field_5,pieces,decals,a_run\r\n"
              "long.d,I,OPEN,26,10,-1,1,1,eligible\r\n"
              "long.d,I,OPEN," + name + ",10,-1,2,1,eligible\r\n");
}

TEST(TrelvoCliSurvey, FilesThatAreNoLibraries) {
    TempDir dir;
    writeFile(dir.file("good.d"), crlf({kSig, "", "R0402 M 0 0 0 0 0 0 2 1 0"}));
    writeFile(dir.file("unit.d"),
              crlf({kSig, "", "R0402 M 0 0 0 0 0 0 2 1 0", "", "R0603 m 0 0 0 0 0 0 2 1 0"}));
    writeFile(dir.file("text.d"), crlf({"*pads-library-pcb-decals-v9*"}));
    writeFile(dir.file("nothing.d"), "");

    Cli r = run({"--survey", "unit.d"}, dir);
    EXPECT_EQ(r.status, 6);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "trelvo-cli: unit.d: File format error: Error in Decal Lib (*.d) format...exiting. "
              "(line 5: the unit letter 'm' of decal 'R0603' is neither M nor I)\n");
    r = run({"--survey", "text.d"}, dir);
    EXPECT_EQ(r.status, 6);
    EXPECT_EQ(r.err,
              "trelvo-cli: text.d: File format error: Error in Decal Lib (*.d) format...exiting. "
              "(the first line does not begin with *PADS-LIBRARY-PCB-DECALS)\n");
    r = run({"--survey", "missing.d"}, dir);
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.err,
              "trelvo-cli: missing.d: File read error: Filename error -please check dir and "
              "filename and retry. (" + trelvo::test::noSuchFileText() + ")\n");
    // As a run ends on a file without a single line.
    r = run({"--survey", "nothing.d"}, dir);
    EXPECT_EQ(r.status, 7);
    EXPECT_EQ(r.err,
              "trelvo-cli: nothing.d: File write error: Error: File I/O or User Entry -Processing "
              "incomplete! (the file is empty)\n");
    // The others are still surveyed; the status is the highest.
    r = run({"--survey", "missing.d", "good.d", "unit.d"}, dir);
    EXPECT_EQ(r.status, 6);
    EXPECT_EQ(r.out,
              "good.d: 1 decal(s) recognised (0 I, 1 M), 0 with eligible pieces; 0 outline "
              "piece(s)\nno outline pieces\n");
    EXPECT_EQ(filesIn(dir).size(), 4u);
}

TEST(TrelvoCliSurvey, UsageErrors) {
    TempDir dir;
    writeFile(dir.file("parts.d"), kLib);
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--survey", "--layer", "26:1", "parts.d"},
         "--survey cannot be used with --layer (it changes nothing)"},
        {{"--survey", "--dry-run", "parts.d"},
         "--survey cannot be used with --dry-run (it changes nothing)"},
        {{"--survey", "-o", "x.d", "parts.d"},
         "--survey cannot be used with -o (it changes nothing)"},
        {{"--survey", "--html", "p.html", "parts.d"},
         "--survey cannot be used with --html (it changes nothing)"},
        {{"--format", "csv", "--layer", "26:1", "parts.d"}, "--format needs --survey"},
        {{"--survey", "--format", "xml", "parts.d"}, "--format takes table, csv or csv-labels"},
        {{"--survey"}, "missing INPUT"},
    };
    for (const auto& [args, why] : cases) {
        const Cli r = run(args, dir);
        EXPECT_EQ(r.status, 2) << why;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err,
                  "trelvo-cli: " + why + "\nTry 'trelvo-cli --help' for more information.\n");
    }
    EXPECT_EQ(filesIn(dir), std::vector<std::string>{"parts.d"});
}

}  // namespace
