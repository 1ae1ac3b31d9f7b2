// The slips a careless user makes, as trelvo-cli meets them: for each, the exit status, the
// messages, and every file in the folder afterwards, byte for byte (an output that was already
// there included). None may end in a wrong library reported as done.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli_run.h"
#include "test_files.h"

namespace {

using trelvo::test::readFile;
using trelvo::test::TempDir;
using trelvo::test::writeFile;

std::string sample(const std::string& name) {
    return readFile(std::string(TRELVO_TEST_DATA) + "/" + name);
}

// The lines of a library, each with CR LF, as every output has them, with some lines replaced.
std::string rewritten(const std::string& library,
                      const std::vector<std::pair<std::string, std::string>>& edits) {
    std::string out;
    std::size_t start = 0;
    while (start < library.size()) {
        std::size_t end = library.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = library.size();
        std::string line = library.substr(start, end - start);
        for (const auto& [from, to] : edits) {
            if (line == from) {
                line = to;
                break;
            }
        }
        out += line + "\r\n";
        start = end + (library.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return out;
}

const std::string kMixed = sample("mixed-units.d");
const std::string kNoEmpty = sample("no-empty-lines.d");
const std::string kKeep = "KEEP\r\n";

// What every row starts from.
const std::map<std::string, std::string> kFolder = {
    {"parts.d", kMixed},
    {"flat.d", kNoEmpty},
    {"precious.d", kKeep},
    {"notlib.d", "not a library\r\n"},
    {"empty.d", ""},
    {"binary.d", std::string("\x7f" "ELF\x02\x01\x01\0\0\xff\r\n", 13)},
    {"bom.d", "\xEF\xBB\xBF*PADS-LIBRARY-PCB-DECALS-V9*\r\n"},
    {"signature.d", "*PADS-LIBRARY-PCB-DECALS-V9*\r\n"},
    {"halfway.d", rewritten(kMixed, {{"OPEN 2 0.254 26 -1", "OPEN 2 wide 26 -1"}})},
};

const std::string kTry = "\nTry 'trelvo-cli --help' for more information.\n";

std::string done(int count, const std::string& out) {
    return "Processing complete.\n" + std::to_string(count) +
           " Decal(s) updated.\nUpdated decal file written to: " + out + "\n";
}

struct Slip {
    std::vector<std::string> args;
    int status;
    std::string out, err;
    std::map<std::string, std::string> written;  // files besides kFolder's, or changed
};

const std::string kMixedThin = rewritten(
    kMixed, {{"OPEN 2 10 26 -1", "OPEN  2  5  26  -1"}, {"OPEN 2 0.254 26 -1", "OPEN  2  0.127  26  -1"}});

const Slip kSlips[] = {
    // 1. "mil" is mils, and each side of a pair may carry its own unit.
    {{"--width", "*:5mil", "parts.d"}, 0, done(2, "parts_new.d"), "",
     {{"parts_new.d", rewritten(kMixedThin, {{"CLOSED 2 12 27 -1", "CLOSED  2  5  27  -1"}})}}},
    {{"--width", "10mil:5mil", "parts.d"}, 0, done(2, "parts_new.d"), "", {{"parts_new.d", kMixedThin}}},
    {{"--width", "10:0.127mm", "parts.d"}, 0, done(2, "parts_new.d"), "", {{"parts_new.d", kMixedThin}}},
    {{"--width", "10mil:0.127mm", "parts.d"}, 0, done(2, "parts_new.d"), "", {{"parts_new.d", kMixedThin}}},
    {{"--width", "*:5MM", "parts.d"}, 2, "",
     "trelvo-cli: --width *:5MM: the new width '5MM' has a unit other than mil or mm" + kTry, {}},
    {{"--width", "*:5in", "parts.d"}, 2, "",
     "trelvo-cli: --width *:5in: the new width '5in' has a unit other than mil or mm" + kTry, {}},
    {{"--width", "0.1um:5", "parts.d"}, 2, "",
     "trelvo-cli: --width 0.1um:5: the old width '0.1um' has a unit other than mil or mm" + kTry, {}},
    {{"--width", "5 m m:1", "parts.d"}, 2, "",
     "trelvo-cli: --width 5 m m:1: the old width '5 m m' has a unit other than mil or mm" + kTry, {}},
    // 2. New values are checked before any file is touched.
    {{"--layer", "26:1:3", "parts.d"}, 2, "",
     "trelvo-cli: --layer 26:1:3: the new layer '1:3' is not a layer number" + kTry, {}},
    {{"--layer", "26:abc", "parts.d"}, 2, "",
     "trelvo-cli: --layer 26:abc: the new layer 'abc' is not a layer number" + kTry, {}},
    {{"--layer", "26:-5", "parts.d"}, 2, "",
     "trelvo-cli: --layer 26:-5: the new layer '-5' is not a layer number" + kTry, {}},
    {{"--layer", "26:1e3", "parts.d"}, 2, "",
     "trelvo-cli: --layer 26:1e3: the new layer '1e3' is not a layer number" + kTry, {}},
    {{"--layer", "x:1", "parts.d"}, 2, "",
     "trelvo-cli: --layer x:1: the old layer 'x' is neither a layer number nor \"*\"" + kTry, {}},
    {{"--width", "*:-3", "parts.d"}, 2, "",
     "trelvo-cli: --width *:-3: the new width '-3' is negative" + kTry, {}},
    {{"--width", "*:abc", "parts.d"}, 2, "",
     "trelvo-cli: --width *:abc: the new width 'abc' is not a number" + kTry, {}},
    // 3. A failed run leaves the output exactly as it was: kept, or absent.
    {{"--layer", "26:1", "-o", "precious.d", "notlib.d"}, 6, "",
     "trelvo-cli: notlib.d: File format error: Error in Decal Lib (*.d) format...exiting. (the "
     "first line does not begin with *PADS-LIBRARY-PCB-DECALS)\n",
     {}},
    {{"--width", "*:5", "-o", "precious.d", "halfway.d"}, 7, "",
     "trelvo-cli: halfway.d: File write error: Error: File I/O or User Entry -Processing "
     "incomplete! (line 12: the width 'wide' is not a number)\n",
     {}},
    {{"--layer", "26:1", "empty.d"}, 7, "",
     "trelvo-cli: empty.d: File write error: Error: File I/O or User Entry -Processing "
     "incomplete! (the file is empty)\n",
     {}},
    {{"--layer", "26:1", "binary.d"}, 6, "",
     "trelvo-cli: binary.d: File format error: Error in Decal Lib (*.d) format...exiting. (the "
     "first line does not begin with *PADS-LIBRARY-PCB-DECALS)\n",
     {}},
    // 4. Libraries without empty lines between decals: each decal in its own unit, counted.
    {{"--width", "*:0.127mm", "flat.d"}, 0, done(2, "flat_new.d"), "",
     {{"flat_new.d", rewritten(kNoEmpty, {{"OPEN 2 10 26 -1", "OPEN  2  5  26  -1"},
                                          {"CLOSED 2 12 27 -1", "CLOSED  2  5  27  -1"},
                                          {"OPEN 2 0.254 26 -1", "OPEN  2  0.127  26  -1"}})}}},
    {{"--layer", "26:1", "--decal", "SOT*", "flat.d"}, 0, done(1, "flat_new.d"), "",
     {{"flat_new.d", rewritten(kNoEmpty, {{"OPEN 2 0.254 26 -1", "OPEN  2  0.254  1  -1"}})}}},
    // 5. Runs that change nothing say so; a byte order mark is named.
    {{"--layer", "99:1", "parts.d"}, 0, done(0, "parts_new.d"),
     "trelvo-cli: parts.d: warning: no outline piece matched the entries; nothing was changed\n",
     {{"parts_new.d", rewritten(kMixed, {})}}},
    {{"--layer", "26:1", "signature.d"}, 0, done(0, "signature_new.d"),
     "trelvo-cli: signature.d: warning: no decal header was recognised, so no decal is counted\n"
     "trelvo-cli: signature.d: warning: no outline piece matched the entries; nothing was "
     "changed\n",
     {{"signature_new.d", "*PADS-LIBRARY-PCB-DECALS-V9*\r\n"}}},
    {{"--layer", "26:1", "--decal", "ZZZ*", "parts.d"}, 0, done(0, "parts_new.d"),
     "trelvo-cli: parts.d: warning: no outline piece matched the entries; nothing was changed\n"
     "trelvo-cli: warning: --decal 'ZZZ*' matched no decal\n",
     {{"parts_new.d", rewritten(kMixed, {})}}},
    {{"--layer", "26:1", "bom.d"}, 6, "",
     "trelvo-cli: bom.d: File format error: Error in Decal Lib (*.d) format...exiting. (the file "
     "starts with a UTF-8 byte order mark)\n",
     {}},
    // Messages name the file and the system's reason; a dry run says what it would write.
    {{"--layer", "26:1", "missing.d"}, 4, "",
     "trelvo-cli: missing.d: File read error: Filename error -please check dir and filename and "
     "retry. (" + trelvo::test::noSuchFileText() + ")\n",
     {}},
    {{"--layer", "26:1", "--dry-run", "parts.d"}, 0,
     "Processing complete.\n2 Decal(s) updated.\nDry run, nothing written. The update would be "
     "written to: parts_new.d\n",
     "", {}},
    {{"--layer", "26:1", "parts.d", "missing.d", "notlib.d"}, 6,
     done(2, "parts_new.d") +
         "parts.d: Done, 2 decal(s) updated -> parts_new.d\nmissing.d: File read error\n"
         "notlib.d: File format error\n",
     "trelvo-cli: missing.d: File read error: Filename error -please check dir and filename and "
     "retry. (" + trelvo::test::noSuchFileText() + ")\n"
     "trelvo-cli: notlib.d: File format error: Error in Decal Lib (*.d) format...exiting. (the "
     "first line does not begin with *PADS-LIBRARY-PCB-DECALS)\n",
     {{"parts_new.d", rewritten(kMixed, {{"OPEN 2 10 26 -1", "OPEN  2  10  1  -1"},
                                         {"OPEN 2 0.254 26 -1", "OPEN  2  0.254  1  -1"}})}}},
};

class Slips : public ::testing::TestWithParam<Slip> {};

TEST_P(Slips, StatusMessagesAndFiles) {
    const Slip& slip = GetParam();
    TempDir dir;
    for (const auto& [name, bytes] : kFolder)
        writeFile(dir.file(name), bytes);
    const auto r = trelvo::test::runCli(slip.args, dir);
    EXPECT_EQ(r.status, slip.status);
    EXPECT_EQ(r.out, slip.out);
    EXPECT_EQ(r.err, slip.err);
    std::map<std::string, std::string> expected = kFolder;
    for (const auto& [name, bytes] : slip.written)
        expected[name] = bytes;
    std::vector<std::string> names;
    for (const auto& [name, bytes] : expected) {
        names.push_back(name);
        EXPECT_EQ(readFile(dir.file(name)), bytes) << name;
    }
    EXPECT_EQ(trelvo::test::listDir(dir), names);  // nothing else, no temporary file
}

std::string rowName(const ::testing::TestParamInfo<Slip>& info) {
    return "row" + std::to_string(info.index + 1);
}

INSTANTIATE_TEST_SUITE_P(Table, Slips, ::testing::ValuesIn(kSlips), rowName);

}  // namespace
