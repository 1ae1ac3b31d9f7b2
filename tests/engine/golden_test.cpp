// Golden outputs of the update pass: generated libraries that hold every kind of line, run with
// several entry sets, must give exactly the committed bytes. These tests pin the output while the
// pass and the file channels are tuned for speed.
//
// The small library's outputs are committed whole (golden/kinds-*.out.d) so a difference shows
// the line; the block-boundary library is several MiB, so only its size and FNV-1a digest are
// committed (golden/blocks.digest). To regenerate after an intended change of output:
//   TRELVO_GOLDEN_UPDATE=1 ./trelvo_golden_tests
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <new>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/messages.h"
#include "engine/rules.h"
#include "engine/update.h"
#include "files/file_streams.h"
#include "test_files.h"

// Counts heap allocations while counting is switched on, to show that copying lines does not
// allocate.
namespace {
std::atomic<bool> gCounting{false};
std::atomic<long> gAllocations{0};
}  // namespace

void* operator new(std::size_t size) {
    if (gCounting.load(std::memory_order_relaxed))
        gAllocations.fetch_add(1);
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace trelvo {
namespace {

using test::readFile;
using test::writeFile;

constexpr std::size_t kMiB = std::size_t{1} << 20;  // the channels' read and write block

// Builds a library line by line with an explicit line end for each line.
class Lib {
public:
    Lib& line(const std::string& text, const char* eol = "\r\n") {
        bytes_ += text;
        bytes_ += eol;
        return *this;
    }
    Lib& raw(const std::string& bytes) {
        bytes_ += bytes;
        return *this;
    }
    std::size_t size() const { return bytes_.size(); }
    const std::string& bytes() const { return bytes_; }

    // Ordinary decals (no line of them reaches the target) until the library is within a few
    // hundred bytes of offset, then one ordinary line that ends exactly there (its CR LF included).
    Lib& fillTo(std::size_t offset, unsigned& serial) {
        while (size() + 700 < offset)
            fillerDecal(serial++);
        if (offset < size() + 4)
            throw std::logic_error("fillTo: already past " + std::to_string(offset) + " at " +
                                   std::to_string(size()));
        const std::size_t gap = offset - size();
        std::string filler(gap - 2, 'x');
        filler[0] = 'F';
        return line(filler);
    }

    // A small decal in the usual shape, its unit alternating so both conversions are exercised.
    void fillerDecal(unsigned n) {
        const bool mm = n % 3 == 0;
        line("");
        line("FILL" + std::to_string(n) + (mm ? " M" : " I") + " 0 0 2 2 3 0 2 1 0");
        line("TIMESTAMP 2020.1.1.12.0.0");
        line("0 0 0 0 50 5 26 0 33 \"Regular <Romansim Stroke Font>\"");
        line("REF-DES");
        line(std::string("OPEN 2 ") + (mm ? "0.254" : "10") + (n % 2 ? " 26 -1" : " 1 -1"));
        line("-1.5 0");
        line("1.5 0");
        line(std::string("CLOSED  3 ") + (mm ? "0.3048" : "12") + " 26 -1");
        line("0 0");
        line("1 1");
        line("0 1");
        line(std::string("CIRCLE 2 ") + (mm ? "0.127" : "5.0") + " 20 -1");
        line("0 0");
        line("0 1");
        line("T-1 0 -1 0 1");
        line("T1 0 1 0 2");
        line("PAD 0 3 P 0");
        line("-2 60 R");
        line("-1 0 R");
        line("0 60 R");
    }

private:
    std::string bytes_;
};

// Every kind of line the format knows, with the oddities of real exports, in under 4 KiB.
std::string kindsLibrary() {
    Lib lib;
    lib.line("*PADS-LIBRARY-PCB-DECALS-V9* trailing mark");
    lib.line("");
    lib.line("DIP8 I 0 0 2 2 17 0 8 1 0");
    lib.line("TIMESTAMP 2017.10.26.14.12.31");
    lib.line("\"Geometry.Height\" 6.7mm");
    lib.line("0     1.39  0     0 1.2   0.12  1 17 42 \"Default Font\"");
    lib.line("REF-DES");
    lib.line("OPEN 2 10 26 -1");  // eligible: layer 26, width 10
    lib.line("-100 0");
    lib.line("100 0");
    lib.line("CLOSED   5 10.0 26 -1");  // width compared as a number
    lib.line("-4    -0.5 ");
    lib.line("CIRCLE 2 12 26 -1");
    lib.line("OPEN 2 10 01 -1");  // layer compared as text
    lib.line("OPEN 2 10 1 -1");
    lib.line("OPEN 2 10 26 -1 extra");  // 6 fields: not eligible
    lib.line("OPEN 2 10 26 0");         // field 5 not "-1"
    lib.line("OPEN 2 10 26 -1.0");
    lib.line("OPEN 2 10 26\t-1");            // a tab is no delimiter: 4 fields
    lib.line("  OPEN 2 10 26 -1");           // keyword not at the start
    lib.line("OPEN   2   10   26   -1   ");  // eligible, respaced when rebuilt
    lib.line("open 2 10 26 -1");             // case-sensitive
    lib.line("OPENX 2 10 26 -1");            // only four characters are tested
    lib.line("CLOS 2 8 26 -1");
    lib.line("CIRC 2 7.874 26 -1");
    lib.line("COPCLS 4 10 26 -1");  // copper: not an outline piece
    lib.line("KPTCLS 4 10 26 -1");
    lib.line("OPEN");  // one field
    lib.line("T-1.3  2.2   -1.3  2.2   1");
    lib.line("PAD 0 5 N 0    ");
    lib.line("-2 0.45 RF  0   90   1.5 0  ");
    lib.line("");
    lib.line("");  // several empty lines
    lib.line("");
    lib.line("OPENHDR M 0 0 2 2 6 0 8 1 0");  // a header that also looks like a piece line
    lib.line("OPEN 2 0.254 26 -1");           // mm decal: 10 mils is 0.254 mm
    lib.line("OPEN 2 0.3048 26 -1");          // 12 mils converts to 0.305, not 0.3048
    lib.line("OPEN 2 0.305 26 -1");
    lib.line("CLOSED 3 0.2540 1 -1");
    lib.line("CIRCLE 2 0.127 27 -1");
    lib.line("   ");                         // spaces only: not an empty line
    lib.line("SPACED I 0 0 2 2 6 0 8 1 0");  // so this is no header; the mm unit stays
    lib.line("OPEN 2 0.254 26 -1");
    lib.line("OPEN 2 10 26 -1");
    lib.line("");
    lib.line("TWELVE I 0 0 2 2 6 0 8 1 0 x");  // 12 fields: not a header, unit stays mm
    lib.line("OPEN 2 0.254 26 -1");
    lib.line("");
    lib.line("CR_ONLY I 0 0 2 2 6 0 8 1 0", "\r");  // lone CR line ends
    lib.line("OPEN 2 10 26 -1", "\r");
    lib.line("-1 0", "\r");
    lib.line("CLOSED 2 10 26 -1", "\r\n");
    lib.line("-1 0", "\n");  // LF line ends
    lib.line("OPEN 2 10 26 -1", "\n");
    lib.line("1 0", "\n\r");               // LF, then a CR that ends an empty line
    lib.line("LFCR M 0 0 2 2 6 0 8 1 0");  // so this line follows an empty one
    lib.line("OPEN 2 0.254 26 -1");
    lib.line("OPEN 2 0.2 26 -1");  // 7.874 mils
    lib.line("");
    lib.line("MM M 0 0 2 2 6 0 8 1 0");
    lib.line("OPEN 2 0.254 20 -1");  // no rewrite in this decal for layer 26
    lib.line("");
    lib.line("NOLAYER I 0 0 2 2 6 0 8 1 0");
    lib.line("OPEN 2 -10 26 -1");
    lib.line("OPEN 2 +10 26 -1");
    lib.line("OPEN 2 010.00 26 -1");
    lib.line("");
    lib.line("*PADS-LIBRARY-PCB-DECALS-V9*");  // the signature later on is an ordinary line
    lib.line("");
    lib.raw("*END*");  // last line without a line end
    return lib.bytes();
}

// A library of about 8 MiB with the awkward cases placed at the channels' 1 MiB block boundaries.
std::string blocksLibrary() {
    Lib lib;
    unsigned serial = 0;
    const std::string kinds = kindsLibrary();
    lib.line("*PADS-LIBRARY-PCB-DECALS-V9*");
    lib.raw(kinds.substr(kinds.find("\r\n") + 2));
    lib.line("");

    // An eligible piece line that crosses the first boundary.
    lib.fillTo(1 * kMiB - 7, serial).line("OPEN 2 10 26 -1").line("-1 0").line("1 0");
    // Its CR the last byte of a block, its LF the first byte of the next.
    lib.fillTo(2 * kMiB - 18, serial).line("CLOSED 2 10 26 -1").line("0 0").line("1 1");
    // A lone CR as the last byte of a block, the next piece line at the start of the next.
    lib.fillTo(3 * kMiB - 16, serial).line("OPEN 2 10 26 -1", "\r").line("OPEN 2 12 26 -1");
    lib.line("0 0").line("1 1");
    // An empty line whose CR ends a block: the decal header after it starts the next block.
    lib.fillTo(4 * kMiB - 1, serial).line("").line("BOUNDARY I 0 0 2 2 1 0 0 0 0");
    lib.line("OPEN 2 10 26 -1").line("0 0").line("1 1");
    // An ordinary line longer than a whole block.
    lib.fillTo(4 * kMiB + 1000, serial).line(std::string(3 * kMiB / 2, 'L'));
    // An eligible piece line longer than a block, spaced out; rebuilt it is short again.
    lib.fillTo(5 * kMiB + 3 * kMiB / 4, serial);
    lib.line("OPEN" + std::string(kMiB + 5, ' ') + "2 10 26" + std::string(100, ' ') + "-1");
    lib.line("0 0").line("1 1");
    // A LF as the first byte of a block, after a character other than CR.
    lib.fillTo(7 * kMiB - 15, serial).line("OPEN 2 10 26 -1", "\n").line("0 0");
    lib.fillTo(8 * kMiB - 50, serial);
    for (int i = 0; i < 5; ++i)
        lib.fillerDecal(serial++);
    lib.line("");
    lib.raw("*END*");
    return lib.bytes();
}

// The four entry texts of the dialog, as typed.
struct EntryTexts {
    std::string old_lyr, new_lyr, old_wd, new_wd;
};

struct EntrySet {
    const char* name;
    bool enLyr, enWd;
    EntryTexts entries;
};

const EntrySet kEntrySets[] = {
    {"layer", true, false, {"26", "1", "", ""}},
    {"width-mils", false, true, {"", "", "10", "5"}},
    {"width-mm", false, true, {"", "", "0.254mm", "0.127mm"}},
    {"layer-and-width", true, true, {"26", "26", "12", "8"}},
    {"any-layer-any-width", true, true, {"*", "3", "*", "0.127mm"}},
    {"both", true, true, {"26", "1", "10", "5"}},
};

struct RunResult {
    Outcome outcome;
    std::string text;  // the report
    std::string output;
};

// The dialog's pairs over a library held in memory: the pass sees the same bytes a file gives.
RunResult runPass(const std::string& input, const EntrySet& set,
                  const std::function<void(const Rewrite&)>& onRewrite = {},
                  bool dryRun = false) {
    const EntryTexts& e = set.entries;
    std::string why;
    const auto rules = compilePairs({set.enLyr, set.enWd, e.old_lyr, e.new_lyr, e.old_wd, e.new_wd}, why);
    RunResult r;
    if (!rules) {
        r.outcome = Outcome::RunError;
        return r;
    }
    MemorySource source(input);
    StringSink sink(r.output);
    UpdateRequest request{source, dryRun ? nullptr : &sink, *rules, {}, onRewrite};
    const UpdateResult result = runUpdate(request);
    r.outcome = result.outcome;
    r.text = messages::forOutcome(result.outcome, result.decals, "lib_new.d").text;
    return r;
}

std::uint64_t fnv1a(const std::string& bytes) {
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 0x100000001b3ULL;
    }
    return h;
}

bool updating() {
    const char* v = std::getenv("TRELVO_GOLDEN_UPDATE");
    return v && *v && std::string(v) != "0";
}

std::string goldenPath(const std::string& name) {
    return std::string(TRELVO_GOLDEN_DIR) + "/" + name;
}

// The count line of the report ("N Decal(s) updated.").
std::string countLine(const std::string& report) {
    const auto a = report.find('\r');
    const auto b = report.find('\r', a + 1);
    return a == std::string::npos ? report : report.substr(a + 1, b - a - 1);
}

// Name and first differing line, so a failure says where the bytes went wrong.
void expectSameBytes(const std::string& actual, const std::string& expected,
                     const std::string& what) {
    if (actual == expected)
        return;
    std::size_t line = 1;
    std::size_t i = 0;
    for (; i < actual.size() && i < expected.size() && actual[i] == expected[i]; ++i) {
        if (actual[i] == '\n')
            ++line;
    }
    const auto around = [i](const std::string& s) { return s.substr(i < 20 ? 0 : i - 20, 60); };
    ADD_FAILURE() << what << ": first difference at byte " << i << " (line " << line << ")\n"
                  << "  actual:   " << ::testing::PrintToString(around(actual)) << "\n"
                  << "  expected: " << ::testing::PrintToString(around(expected));
}

std::map<std::string, std::string> readDigests(const std::string& file) {
    std::map<std::string, std::string> d;
    std::ifstream in(goldenPath(file));
    std::string name, value;
    while (in >> name >> value)
        d[name] = value;
    return d;
}

// "size:fnv1a:count" of one run.
std::string digestOf(const RunResult& r) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%zu:%016llx:", r.output.size(),
                  static_cast<unsigned long long>(fnv1a(r.output)));
    const std::string count = countLine(r.text);
    return buf + count.substr(0, count.find(' '));
}

// Runs every entry set over input; compares (or, when updating, writes) the digests in
// digestFile and, when filePrefix is given, the whole outputs.
void checkGolden(const std::string& input, const std::string& digestFile, const char* filePrefix) {
    std::ostringstream now;
    std::vector<std::pair<std::string, std::string>> outputs;
    for (const EntrySet& set : kEntrySets) {
        RunResult r = runPass(input, set);
        ASSERT_EQ(r.outcome, Outcome::Done) << set.name << ": " << r.text;
        now << set.name << ' ' << digestOf(r) << '\n';
        if (filePrefix)
            outputs.emplace_back(std::string(filePrefix) + set.name + ".out.d",
                                 std::move(r.output));
    }
    if (updating()) {
        for (const auto& [file, bytes] : outputs)
            writeFile(goldenPath(file), bytes);
        std::ofstream(goldenPath(digestFile), std::ios::binary) << now.str();
        GTEST_SKIP() << "wrote " << goldenPath(digestFile);
    }
    for (const auto& [file, bytes] : outputs) {
        const std::string expected = readFile(goldenPath(file));
        ASSERT_FALSE(expected.empty()) << "missing golden file " << goldenPath(file);
        expectSameBytes(bytes, expected, file);
    }
    const auto expected = readDigests(digestFile);
    ASSERT_EQ(expected.size(), std::size(kEntrySets)) << "missing or short " << digestFile;
    std::istringstream lines(now.str());
    std::string name, value;
    while (lines >> name >> value)
        EXPECT_EQ(value, expected.at(name)) << digestFile << ": " << name;
}

TEST(GoldenKinds, OutputsMatchCommittedFiles) {
    checkGolden(kindsLibrary(), "kinds.digest", "kinds-");
}

// A few lines of the committed outputs checked by hand against the rules, so the golden files are
// not merely "whatever the engine did".
TEST(GoldenKindsByHand, LayerSetRewritesOnlyEligibleLinesOnLayer26) {
    const std::string out = runPass(kindsLibrary(), kEntrySets[0]).output;
    EXPECT_NE(out.find("\r\nOPEN  2  10  1  -1\r\n-100 0\r\n"), std::string::npos);
    EXPECT_NE(out.find("\r\nCLOSED  5  10.0  1  -1\r\n"), std::string::npos);
    EXPECT_NE(out.find("\r\nOPEN 2 10 01 -1\r\n"), std::string::npos);
    EXPECT_NE(out.find("\r\nOPEN 2 10 26 -1 extra\r\n"), std::string::npos);
    EXPECT_NE(out.find("\r\nOPEN 2 10 26\t-1\r\n"), std::string::npos);
    EXPECT_NE(out.find("\r\nOPENX  2  10  1  -1\r\n"), std::string::npos);
    EXPECT_NE(out.find("\r\nCOPCLS 4 10 26 -1\r\n"), std::string::npos);
    EXPECT_NE(out.find("\r\nOPENHDR M 0 0 2 2 6 0 8 1 0\r\n"), std::string::npos);
    // Lone CR and LF line ends come back as CR LF; the last line gains one.
    EXPECT_NE(out.find("\r\nCR_ONLY I 0 0 2 2 6 0 8 1 0\r\nOPEN  2  10  1  -1\r\n-1 0\r\n"),
              std::string::npos);
    EXPECT_TRUE(out.ends_with("\r\n*END*\r\n"));
}

TEST(GoldenKindsByHand, MilEntriesConvertOnMillimetreDecals) {
    const std::string out = runPass(kindsLibrary(), kEntrySets[1]).output;
    // OPENHDR is an "M" decal: 10 mils is 0.254 mm and 5 mils is written 0.127.
    EXPECT_NE(out.find("OPENHDR M 0 0 2 2 6 0 8 1 0\r\nOPEN  2  0.127  26  -1\r\n"),
              std::string::npos);
    EXPECT_NE(out.find("\r\nCLOSED  3  0.127  1  -1\r\n"), std::string::npos);  // 0.2540
    // After the line of spaces the unit is still mm, so a field 10 does not match 0.254.
    EXPECT_NE(
        out.find("SPACED I 0 0 2 2 6 0 8 1 0\r\nOPEN  2  0.127  26  -1\r\nOPEN 2 10 26 -1\r\n"),
        std::string::npos);
    // "I" decal: 10.0 and 010.00 equal 10 and take the entry text 5.
    EXPECT_NE(out.find("\r\nCLOSED  5  5  26  -1\r\n"), std::string::npos);
    EXPECT_NE(out.find("\r\nOPEN  2  5  26  -1\r\n"), std::string::npos);
}

TEST(GoldenBlocks, OutputsMatchCommittedDigests) {
    const std::string lib = blocksLibrary();
    ASSERT_GT(lib.size(), 8 * kMiB - 100);
    // The cases sit where they were meant to.
    ASSERT_EQ(lib.substr(2 * kMiB - 1, 2), "\r\n");
    ASSERT_EQ(lib.substr(3 * kMiB - 1, 5), "\rOPEN");
    ASSERT_EQ(lib.substr(4 * kMiB - 3, 4), "\r\n\r\n");
    ASSERT_EQ(lib.substr(7 * kMiB - 2, 3), "-1\n");
    ASSERT_EQ(lib.substr(1 * kMiB - 7, 15), "OPEN 2 10 26 -1");

    checkGolden(lib, "blocks.digest", nullptr);
}

// The block-boundary cases by hand: the output of the layer run against the rules.
TEST(GoldenBlocks, BoundaryLinesByHand) {
    const std::string out = runPass(blocksLibrary(), kEntrySets[0]).output;
    EXPECT_NE(out.find("\r\nCLOSED  2  10  1  -1\r\n0 0\r\n1 1\r\n"), std::string::npos);
    EXPECT_NE(out.find("\r\nOPEN  2  10  1  -1\r\nOPEN  2  12  1  -1\r\n0 0\r\n"),
              std::string::npos);
    EXPECT_NE(out.find("\r\n\r\nBOUNDARY I 0 0 2 2 1 0 0 0 0\r\nOPEN  2  10  1  -1\r\n"),
              std::string::npos);
    EXPECT_NE(out.find("\r\n" + std::string(3 * kMiB / 2, 'L') + "\r\n"), std::string::npos);
    EXPECT_NE(out.find("\r\nOPEN  2  10  1  -1\r\n0 0\r\n1 1\r\n"), std::string::npos);
    EXPECT_EQ(out.find("OPEN    "), std::string::npos);  // the long piece line was rebuilt
    EXPECT_TRUE(out.ends_with("\r\n\r\n*END*\r\n"));
}

// The bulk copy of plain lines is a shortcut for ReadLine + WriteLine: over random bytes rich in
// CR, LF and stop characters, both ways give the same output and the same number of lines.
TEST(GoldenStreams, CopyPlainLinesEqualsLineByLineCopy) {
    std::string soup;
    std::uint64_t x = 42;
    const char alphabet[] = {'\r', '\n', 'O', 'C', 'x', ' ', 'y', 'z'};
    while (soup.size() < 3 * kMiB + 12345) {
        x = x * 6364136223846793005ULL + 1442695040888963407ULL;
        const unsigned r = static_cast<unsigned>(x >> 33);
        // Mostly ordinary lines of 0..40 characters ending in CR LF, with odd bytes between.
        if (r % 4 != 0) {
            soup.append(r / 8 % 41, 'a');
            soup += "\r\n";
        } else {
            soup += alphabet[r / 4 % 8];
        }
    }
    auto copy = [&](bool bulk, std::string& out, std::uint64_t& lines) {
        MemorySource source(soup);
        StringSink sink(out);
        LineReader in(source);
        LineWriter writer(sink);
        std::string_view line;
        while (!in.atEnd()) {
            if (bulk) {
                const std::uint64_t before = lines;
                ASSERT_TRUE(in.copyPlainLines(&writer, "OC", lines));
                if (lines != before)
                    continue;
            }
            ASSERT_TRUE(in.readLine(line));
            ASSERT_TRUE(writer.writeLine(line));
            ++lines;
        }
        ASSERT_TRUE(writer.flush());
    };
    std::uint64_t plainLines = 0, bulkLines = 0;
    std::string plain, bulk;
    copy(false, plain, plainLines);
    copy(true, bulk, bulkLines);
    EXPECT_EQ(bulkLines, plainLines);
    expectSameBytes(bulk, plain, "bulk copy");
}

// Lines copied in bulk still count: every rewrite reported to a front end names the input line
// it came from.
TEST(GoldenHooks, RewritesReportTheirInputLineNumbers) {
    const std::string lib = blocksLibrary();
    // The input's lines, by the channels' line ends (CR, CR LF or LF).
    std::vector<std::string_view> lines;
    for (std::size_t start = 0, i = 0; i <= lib.size(); ++i) {
        if (i == lib.size()) {
            if (i > start)
                lines.emplace_back(lib.data() + start, i - start);
            break;
        }
        if (lib[i] != '\r' && lib[i] != '\n')
            continue;
        lines.emplace_back(lib.data() + start, i - start);
        if (lib[i] == '\r' && i + 1 < lib.size() && lib[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    std::size_t reported = 0;
    const auto observe = [&](const Rewrite& r) {
        ++reported;
        ASSERT_GE(r.line_number, 1U);
        ASSERT_LE(r.line_number, lines.size());
        const std::string_view line = lines[r.line_number - 1];
        EXPECT_TRUE(line.starts_with(r.keyword)) << r.line_number << ": " << line.substr(0, 60);
        EXPECT_EQ(r.old_layer, "26") << r.line_number;
    };
    ASSERT_EQ(runPass(lib, kEntrySets[0], observe, true).outcome, Outcome::Done);
    EXPECT_GT(reported, 20000U);
}

// Lines copied unchanged must not allocate: the allocations of a pass do not grow with the
// number of lines (only with the longest line that crosses a block boundary).
TEST(GoldenAllocations, DoNotGrowWithTheLibrary) {
    auto library = [](unsigned decals) {
        Lib lib;
        lib.line("*PADS-LIBRARY-PCB-DECALS-V9*");
        for (unsigned n = 0; n < decals; ++n)
            lib.fillerDecal(n);
        return lib.bytes();
    };
    // From a file to a file, as a front end runs it: what is counted is the pass's own.
    auto allocationsOf = [](const std::string& input, const EntrySet& set) {
        test::TempDir dir;
        writeFile(dir.file("lib.d"), input);
        const EntryTexts& e = set.entries;
        std::string why;
        const auto rules =
            compilePairs({set.enLyr, set.enWd, e.old_lyr, e.new_lyr, e.old_wd, e.new_wd}, why);
        const auto file = InputFile::open(dir.file("lib.d"), why);
        const auto out = OutputFile::open(dir.file("out.d"), OutputFile::Mode::Staged, {}, why);
        gAllocations = 0;
        gCounting = true;
        const UpdateResult result = runUpdate({*file, out.get(), *rules});
        gCounting = false;
        EXPECT_EQ(result.outcome, Outcome::Done);
        EXPECT_TRUE(out->commit(why)) << why;
        return gAllocations.load();
    };
    const std::string small = library(5000);   // about 2 MiB
    const std::string large = library(20000);  // about 8 MiB
    for (const EntrySet& set : kEntrySets) {
        const long a = allocationsOf(small, set);
        const long b = allocationsOf(large, set);
        // The channels' buffers are allocated on every run: none seen means the counting
        // operator new is not the one in use (as with a runtime linked in a way that keeps its own).
        EXPECT_GT(a, 0) << set.name;
        EXPECT_EQ(a, b) << set.name;
        EXPECT_LT(b, 64) << set.name;
    }
}

}  // namespace
}  // namespace trelvo
