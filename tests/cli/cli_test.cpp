// trelvo-cli as scripts use it: the built binary on real files, its exit status, stdout, stderr
// and the files it leaves.
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

const std::string kSig = "*PADS-LIBRARY-PCB-DECALS-V9*";
const std::string kLib = crlf({kSig, "", "DIP8 I 0 0 2 2 4 0 8 1 0", "OPEN 2 10 26 -1", "0 0", "",
                                "SOT23 M 0 0 1 1 3 0 3 1 0", "CIRCLE 2 0.254 26 -1", "0 0"});

using Cli = trelvo::test::CliResult;

Cli run(const std::vector<std::string>& args, const TempDir& dir) {
    return trelvo::test::runCli(args, dir);
}

TEST(TrelvoCli, DoneWithDerivedOutputName) {
    TempDir dir;
    writeFile(dir.file("parts.d"), kLib);
    const Cli r = run({"--layer", "26:1", "parts.d"}, dir);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Processing complete.\n2 Decal(s) updated.\nUpdated decal file written to: parts_new.d\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(readFile(dir.file("parts_new.d")),
              crlf({kSig, "", "DIP8 I 0 0 2 2 4 0 8 1 0", "OPEN  2  10  1  -1", "0 0", "",
                    "SOT23 M 0 0 1 1 3 0 3 1 0", "CIRCLE  2  0.254  1  -1", "0 0"}));
    EXPECT_EQ(readFile(dir.file("parts.d")), kLib);
}

TEST(TrelvoCli, OptionFormsAndWidths) {
    TempDir dir;
    writeFile(dir.file("parts.D"), kLib);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--width=10:5", "-o", "out.d", "parts.D"},
          std::vector<std::string>{"--width", "10:5", "-oout.d", "parts.D"},
          std::vector<std::string>{"--output=out.d", "--width", "0.254mm:0.127mm", "--", "parts.D"}}) {
        std::filesystem::remove(dir.file("out.d"));
        const Cli r = run(args, dir);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(readFile(dir.file("out.d")),
                  crlf({kSig, "", "DIP8 I 0 0 2 2 4 0 8 1 0", "OPEN  2  5  26  -1", "0 0", "",
                        "SOT23 M 0 0 1 1 3 0 3 1 0", "CIRCLE  2  0.127  26  -1", "0 0"}));
    }
}

TEST(TrelvoCli, ValuesAreSplitAtTheFirstColonAndNotTrimmed) {
    TempDir dir;
    writeFile(dir.file("parts.d"), kLib);
    // "26 :1": the old layer "26 " is no layer number.
    Cli r = run({"--layer", "26 :1", "parts.d"}, dir);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("trelvo-cli: --layer 26 :1: the old layer '26 ' is neither", 0), 0u) << r.err;
    // A new width is written in its shortest form, as a rules run writes it.
    r = run({"--width", "10: +5.0", "parts.d"}, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(readFile(dir.file("parts_new.d")).find("OPEN  2  5  26  -1\r\n"), std::string::npos);
    // Over what the format allows: a usage error naming the option and the value.
    for (const auto& [option, value, says] :
         {std::tuple{"--layer", "26:251", "the new layer '251' is over 250"},
          std::tuple{"--width", "10:6.36mm", "the new width '6.36mm' is over 250 mil (6.35 mm)"},
          std::tuple{"--width", "10:99999999999999999999mil", "the new width '99999999999999999999mil' is over"}}) {
        r = run({option, value, "-o", "over.d", "parts.d"}, dir);
        EXPECT_EQ(r.status, 2) << value;
        EXPECT_EQ(r.err.rfind("trelvo-cli: " + std::string(option) + " " + value + ": " + says, 0), 0u) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir.file("over.d")));
    }
}

TEST(TrelvoCli, OutcomesAndExitStatuses) {
    TempDir dir;
    writeFile(dir.file("parts.d"), kLib);
    writeFile(dir.file("bad.d"), "*PADS-LIBRARY-PART-TYPES-V9*\r\n");
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string err;
    };
    const Row rows[] = {
        {{"--layer", ":1", "parts.d"}, 3,
         "trelvo-cli: parts.d: User entry error: --layer: the old layer is empty\n"},
        {{"--width", "10:", "parts.d"}, 3,
         "trelvo-cli: parts.d: User entry error: --width: the new width is empty\n"},
        {{"--layer", "26:1", "-o", "", "parts.d"}, 3,
         "trelvo-cli: parts.d: User entry error: the name given with -o is empty\n"},
        {{"--layer", "26:1", "missing.d"}, 4,
         "trelvo-cli: missing.d: File read error: Filename error -please check dir and filename "
         "and retry. (" + trelvo::test::noSuchFileText() + ")\n"},
        {{"parts.d"}, 5,
         "trelvo-cli: parts.d: Selection error: No options selected to process -select Layer "
         "and/or Width.\n"},
        {{"--layer", "26:1", "bad.d"}, 6,
         "trelvo-cli: bad.d: File format error: Error in Decal Lib (*.d) format...exiting. (the "
         "first line does not begin with *PADS-LIBRARY-PCB-DECALS)\n"},
        {{"--layer", "26:1", "-o", "parts.d", "parts.d"}, 7,
         "trelvo-cli: parts.d: File write error: Error: File I/O or User Entry -Processing "
         "incomplete! ('parts.d' is the file being read)\n"},
    };
    for (const auto& row : rows) {
        const Cli r = run(row.args, dir);
        EXPECT_EQ(r.status, row.status) << row.args.front();
        EXPECT_EQ(r.err, row.err);
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(readFile(dir.file("parts.d")), kLib);
    EXPECT_EQ(trelvo::test::listDir(dir), (std::vector<std::string>{"bad.d", "parts.d"}));
}

TEST(TrelvoCli, UsageErrors) {
    TempDir dir;
    writeFile(dir.file("parts.d"), kLib);
    writeFile(dir.file("parts.txt"), kLib);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, std::vector<std::string>{"--layer", "26:1"},
          std::vector<std::string>{"--bogus", "parts.d"}, std::vector<std::string>{"--layer", "261", "parts.d"},
          std::vector<std::string>{"--layer", "26:1", "parts.txt"}, std::vector<std::string>{"parts.d", "-o"}}) {
        const Cli r = run(args, dir);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args.front());
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("trelvo-cli: ", 0), 0u) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("parts_new.d")));
}

TEST(TrelvoCli, HelpAndVersion) {
    TempDir dir;
    Cli r = run({"--version"}, dir);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "trelvo-cli 1.0.2\n");
    r = run({"--help"}, dir);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("Usage: trelvo-cli ", 0), 0u);
    EXPECT_NE(r.out.find("--layer OLD:NEW"), std::string::npos);
    EXPECT_NE(r.out.find("--width OLD:NEW"), std::string::npos);
}

TEST(TrelvoCli, RealLibraryWithWidthConversion) {
    const std::string lib = std::string(TRELVO_REAL_LIBRARIES) + "/dirtbirb__pads2step__MOLEX_1051330011.d";
    if (!std::filesystem::exists(lib)) GTEST_SKIP() << "no real libraries";
    TempDir dir;
    const Cli r = run({"--layer", "*:26", "--width", "*:10", "-o", "out.d", lib}, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Processing complete.\n1 Decal(s) updated.\nUpdated decal file written to: out.d\n");
    // A metric decal: 10 mils is written as 0.254 on every outline.
    const std::string out = readFile(dir.file("out.d"));
    EXPECT_NE(out.find("  0.254  26  -1\r\n"), std::string::npos);
}

}  // namespace
