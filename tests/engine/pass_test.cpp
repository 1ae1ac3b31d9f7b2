// The update pass over real files, as a front end runs it (entries checked, the input opened,
// the pairs compiled, a staged output, the pass, the commit): every outcome with its exact
// report, the bytes left in the output, and the input left untouched.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/check.h"
#include "engine/messages.h"
#include "engine/update.h"
#include "flaky_streams.h"
#include "engine/output_name.h"
#include "pair_run.h"
#include "test_files.h"

namespace trelvo {
namespace {

using test::crlf;
using test::readFile;
using test::writeFile;

const std::string kSig = "*PADS-LIBRARY-PCB-DECALS-V9*";
const std::string kNoFile = "<no output file>";

std::string doneText(long count, const std::string& out) {
    return "Processing complete.\r" + std::to_string(count) +
           " Decal(s) updated.\rUpdated decal file written to: " + out;
}

// The four entry texts of the dialog, as typed.
struct EntryTexts {
    std::string old_lyr, new_lyr, old_wd, new_wd;
};

struct Result {
    Outcome outcome;
    std::vector<Report> reports;
    std::string output;  // kNoFile when none was created
    std::string outPath;
};

struct Pass {
    bool enLyr = true;
    bool enWd = false;
    EntryTexts entries{"26", "1", "10", "5"};
    std::function<bool(std::string_view)> decalFilter;
    std::function<void(const Rewrite&)> onRewrite;
    bool dryRun = false;

    Result run(const std::string& input) const {
        test::TempDir dir;
        const std::string in = dir.file("lib.d");
        writeFile(in, input);
        return runOn(in, dir.file("lib_new.d"), input);
    }

    Result runOn(const std::string& in, const std::string& out, const std::string& input) const {
        Result r;
        r.outcome = update(in, out, r);
        r.outPath = out;
        r.output = std::filesystem::is_regular_file(test::pathOf(out)) ? readFile(out) : kNoFile;
        EXPECT_EQ(readFile(in), input) << "the input was changed";
        return r;
    }

private:
    Outcome update(const std::string& in, const std::string& out, Result& r) const {
        const auto run = test::runPairsOnFiles(
            in, out, {enLyr, enWd, entries.old_lyr, entries.new_lyr, entries.old_wd, entries.new_wd},
            decalFilter, onRewrite, dryRun);
        r.reports.push_back(run.report);
        return run.outcome;
    }
};

Pass layers(std::string oldL, std::string newL) {
    Pass p;
    p.entries = {std::move(oldL), std::move(newL), "10", "5"};
    return p;
}

Pass widths(std::string oldW, std::string newW) {
    Pass p;
    p.enLyr = false;
    p.enWd = true;
    p.entries = {"0", "1", std::move(oldW), std::move(newW)};
    return p;
}

Pass both(std::string oldL, std::string newL, std::string oldW, std::string newW) {
    Pass p;
    p.enWd = true;
    p.entries = {std::move(oldL), std::move(newL), std::move(oldW), std::move(newW)};
    return p;
}

void expectDone(const Result& r, long count, const std::string& output) {
    EXPECT_EQ(r.outcome, Outcome::Done);
    ASSERT_EQ(r.reports.size(), 1u);
    EXPECT_EQ(r.reports[0].text, doneText(count, r.outPath));
    EXPECT_EQ(r.reports[0].title, "Done");
    EXPECT_EQ(r.reports[0].icon, Icon::Information);
    EXPECT_EQ(r.output, output);
}

void expectFailure(const Result& r, Outcome outcome, const std::string& text,
                   const std::string& title, Icon icon, const std::string& output) {
    EXPECT_EQ(r.outcome, outcome);
    ASSERT_EQ(r.reports.size(), 1u);
    EXPECT_EQ(r.reports[0].text, text);
    EXPECT_EQ(r.reports[0].title, title);
    EXPECT_EQ(r.reports[0].icon, icon);
    EXPECT_EQ(r.output, output);
}

void expectWriteError(const Result& r, const std::string& output) {
    expectFailure(r, Outcome::RunError, "Error: File I/O or User Entry -Processing incomplete!",
                  "File write error", Icon::Warning, output);
}

void expectFormatError(const Result& r, const std::string& output) {
    expectFailure(r, Outcome::FormatError, "Error in Decal Lib (*.d) format...exiting.",
                  "File format error", Icon::Error, output);
}

// A library with an inch decal and a metric decal.
const std::string kMixed = crlf({kSig, "", "DIP8 I 0 0 2 2 4 0 8 1 0", "TIMESTAMP 2003.08.01.12.00.00",
                                  "OPEN 2 10 26 -1", "0 0", "100 0", "CLOSED 5 12 20 -1", "0 0",
                                  "COPCLS 4 10 1 3", "", "SOT23 M 0 0 1 1 3 0 3 1 0",
                                  "CIRCLE 2 0.254 26 -1", "0 0", "OPEN 2 0.3048 26 -1"});

// ----- whole-library runs ---------------------------------------------------------------------

TEST(UpdatePass, LayerRuleRewritesAndRespacesMatchingPieces) {
    const auto r = layers("26", "1").run(kMixed);
    expectDone(r, 2,
               crlf({kSig, "", "DIP8 I 0 0 2 2 4 0 8 1 0", "TIMESTAMP 2003.08.01.12.00.00",
                     "OPEN  2  10  1  -1", "0 0", "100 0", "CLOSED 5 12 20 -1", "0 0",
                     "COPCLS 4 10 1 3", "", "SOT23 M 0 0 1 1 3 0 3 1 0", "CIRCLE  2  0.254  1  -1",
                     "0 0", "OPEN  2  0.3048  1  -1"}));
}

TEST(UpdatePass, MilEntriesAreConvertedForMetricDecals) {
    // 10 mils is 0.254 mm; 12 mils is 0.305 mm and must not match 0.3048.
    auto r = widths("10", "5").run(kMixed);
    expectDone(r, 2,
               crlf({kSig, "", "DIP8 I 0 0 2 2 4 0 8 1 0", "TIMESTAMP 2003.08.01.12.00.00",
                     "OPEN  2  5  26  -1", "0 0", "100 0", "CLOSED 5 12 20 -1", "0 0",
                     "COPCLS 4 10 1 3", "", "SOT23 M 0 0 1 1 3 0 3 1 0", "CIRCLE  2  0.127  26  -1",
                     "0 0", "OPEN 2 0.3048 26 -1"}));
    r = widths("12", "8").run(kMixed);
    EXPECT_EQ(r.reports.at(0).text, doneText(1, r.outPath));
    EXPECT_NE(r.output.find("CLOSED  5  8  20  -1\r\n"), std::string::npos);
    EXPECT_NE(r.output.find("OPEN 2 0.3048 26 -1\r\n"), std::string::npos);
}

TEST(UpdatePass, ADecalKnownByTheCountsBeforeItKeepsItsUnitInTheDialogsRun) {
    // METRIC follows INCH with neither an empty line nor a TIMESTAMP line between.
    const auto r = widths("*", "5").run(test::readFile(TRELVO_TEST_DATA "/header-found-by-counts.d"));
    ASSERT_EQ(r.reports.at(0).text, doneText(2, r.outPath));
    EXPECT_NE(r.output.find("\r\nCIRCLE  2  5  26  -1\r\n"), std::string::npos);
    EXPECT_NE(r.output.find("\r\nCIRCLE  2  0.127  26  -1\r\n"), std::string::npos);
}

TEST(UpdatePass, MillimetreEntriesAreConvertedForInchDecals) {
    const auto r = widths("0.254mm", "0.127mm").run(kMixed);
    expectDone(r, 2,
               crlf({kSig, "", "DIP8 I 0 0 2 2 4 0 8 1 0", "TIMESTAMP 2003.08.01.12.00.00",
                     "OPEN  2  5  26  -1", "0 0", "100 0", "CLOSED 5 12 20 -1", "0 0",
                     "COPCLS 4 10 1 3", "", "SOT23 M 0 0 1 1 3 0 3 1 0", "CIRCLE  2  0.127  26  -1",
                     "0 0", "OPEN 2 0.3048 26 -1"}));
}

TEST(UpdatePass, AnyWidthToMillimetres) {
    const auto r = widths("*", "0.127mm").run(kMixed);
    expectDone(r, 2,
               crlf({kSig, "", "DIP8 I 0 0 2 2 4 0 8 1 0", "TIMESTAMP 2003.08.01.12.00.00",
                     "OPEN  2  5  26  -1", "0 0", "100 0", "CLOSED  5  5  20  -1", "0 0",
                     "COPCLS 4 10 1 3", "", "SOT23 M 0 0 1 1 3 0 3 1 0", "CIRCLE  2  0.127  26  -1",
                     "0 0", "OPEN  2  0.127  26  -1"}));
}

TEST(UpdatePass, LayerGatesTheWidthRule) {
    // Layer 26 to 26 with width 12 to 8: lines on 26 are respaced, widths change only where 12.
    const std::string in = crlf({kSig, "", "D I 0 0 1 1 1 0 1 1 0", "OPEN 2 12 26 -1",
                                  "OPEN 2 10 26 -1", "CLOSED 2 12 20 -1", "", "E I 0 0 1 1 1 0 1 1 0",
                                  "OPEN 2 12 20 -1"});
    const auto r = both("26", "26", "12", "8").run(in);
    expectDone(r, 1,
               crlf({kSig, "", "D I 0 0 1 1 1 0 1 1 0", "OPEN  2  8  26  -1", "OPEN  2  10  26  -1",
                     "CLOSED 2 12 20 -1", "", "E I 0 0 1 1 1 0 1 1 0", "OPEN 2 12 20 -1"}));
}

TEST(UpdatePass, EntriesAreUsedAsTyped) {
    const std::string in = crlf({kSig, "", "D I 0 0 1 1 1 0 1 1 0", "OPEN 2 10 26 -1", "OPEN 2 10 01 -1"});
    // Layers compare as text: 1 does not match 01, "26 " matches nothing.
    EXPECT_EQ(layers("1", "5").run(in).output, in);
    EXPECT_EQ(layers("26 ", "5").run(in).output, in);
    // A new width in the entry's own unit is written exactly as typed.
    EXPECT_NE(widths(" 10 ", "5.0").run(in).output.find("OPEN  2  5.0  26  -1\r\n"), std::string::npos);
    // Widths compare as numbers.
    const std::string wide = crlf({kSig, "", "D I 0 0 1 1 1 0 1 1 0", "OPEN 2 10.000 26 -1"});
    EXPECT_NE(widths("10", "5").run(wide).output.find("OPEN  2  5  26  -1\r\n"), std::string::npos);
}

TEST(UpdatePass, OnlyEligiblePieceHeaderLinesAreRewritten) {
    const std::string in = crlf({kSig, "", "D I 0 0 1 1 1 0 1 1 0", "OPEN 2 10 26 -1 7",
                                  "OPEN 2 10 26 0", "OPEN 2 10 26 -1.0", "open 2 10 26 -1",
                                  "COPCLS 2 10 26 -1", "KEEPOUT 2 10 26 -1", "OPEN\t2 10 26 -1",
                                  "CIRCLE 2 10 26 -1 ", "CLOSED  2 10 26   -1"});
    const auto r = layers("*", "1").run(in);
    expectDone(r, 1,
               crlf({kSig, "", "D I 0 0 1 1 1 0 1 1 0", "OPEN 2 10 26 -1 7", "OPEN 2 10 26 0",
                     "OPEN 2 10 26 -1.0", "open 2 10 26 -1", "COPCLS 2 10 26 -1",
                     "KEEPOUT 2 10 26 -1", "OPEN\t2 10 26 -1", "CIRCLE  2  10  1  -1",
                     "CLOSED  2  10  1  -1"}));
}

TEST(UpdatePass, DecalsAreCountedOncePerRewrittenDecal) {
    const std::string in =
        crlf({kSig, "", "A I 0 0 1 1 1 0 1 1 0", "OPEN 2 10 26 -1", "OPEN 2 10 26 -1", "CLOSED 2 10 26 -1",
              "", "", "B I 0 0 1 1 1 0 1 1 0", "OPEN 2 10 20 -1", "", "C I 0 0 1 1 1 0 1 1 0",
              "OPEN 2 10 20 -1", "OPEN 2 10 26 -1"});
    const auto r = layers("26", "1").run(in);
    EXPECT_EQ(r.reports.at(0).text, doneText(2, r.outPath));
}

TEST(UpdatePass, ALineOfSpacesDoesNotSeparateDecals) {
    // The second decal's header is not recognised: its pieces keep the metric unit of the first,
    // and it is not counted as a decal of its own.
    const std::string in = crlf({kSig, "", "A M 0 0 1 1 1 0 1 1 0", "OPEN 2 0.254 26 -1", "  ",
                                  "B I 0 0 1 1 1 0 1 1 0", "OPEN 2 0.254 26 -1"});
    const auto r = widths("10", "5").run(in);
    expectDone(r, 1,
               crlf({kSig, "", "A M 0 0 1 1 1 0 1 1 0", "OPEN  2  0.127  26  -1", "  ",
                     "B I 0 0 1 1 1 0 1 1 0", "OPEN  2  0.127  26  -1"}));
}

TEST(UpdatePass, HeaderNamedLikeAPieceIsNeverEligible) {
    const std::string in = crlf({kSig, "", "OPEN8 I 0 0 1 1 1 0 1 1 0", "OPEN 2 10 26 -1"});
    const auto r = layers("*", "1").run(in);
    expectDone(r, 1, crlf({kSig, "", "OPEN8 I 0 0 1 1 1 0 1 1 0", "OPEN  2  10  1  -1"}));
}

TEST(UpdatePass, OutputIsAValidInput) {
    const auto first = layers("26", "1").run(kMixed);
    const auto second = layers("1", "26").run(first.output);
    // Back on layer 26 but respaced: every rebuilt line splits into the same five fields.
    EXPECT_EQ(second.reports.at(0).text, doneText(2, second.outPath));
    EXPECT_NE(second.output.find("OPEN  2  10  26  -1\r\n"), std::string::npos);
}

// ----- line ends ------------------------------------------------------------------------------

TEST(UpdatePassLineEnds, UnchangedCrLfLibraryComesBackByteForByte) {
    const auto r = layers("99", "1").run(kMixed);
    expectDone(r, 0, kMixed);
}

TEST(UpdatePassLineEnds, EveryLineEndBecomesCrLf) {
    const std::string lf = kSig + "\n\nD I 0 0 1 1 1 0 1 1 0\nOPEN 2 10 26 -1\n0 0\n";
    const std::string cr = kSig + "\r\rD I 0 0 1 1 1 0 1 1 0\rOPEN 2 10 26 -1\r0 0";
    const std::string mixed = kSig + "\r\n\nD I 0 0 1 1 1 0 1 1 0\rOPEN 2 10 26 -1\r\n0 0";
    const std::string expected = crlf({kSig, "", "D I 0 0 1 1 1 0 1 1 0", "OPEN  2  10  1  -1", "0 0"});
    for (const auto* in : {&lf, &cr, &mixed}) expectDone(layers("26", "1").run(*in), 1, expected);
}

TEST(UpdatePassLineEnds, EmptyLinesAndTrailingLineEnds) {
    EXPECT_EQ(layers("26", "1").run(kSig + "\r\n\r\n\r\n").output, crlf({kSig, "", ""}));
    EXPECT_EQ(layers("26", "1").run(kSig + "\n\r\n\r").output, crlf({kSig, "", ""}));
    EXPECT_EQ(layers("26", "1").run(kSig + "\r\n \r\n").output, crlf({kSig, " "}));
}

TEST(UpdatePassLineEnds, EightBitAndNulBytesAreKept) {
    const std::string in = kSig + "\r\n" + std::string("\0\xff\xe5\xae\x8b \x80", 7) + "\r\n";
    expectDone(layers("26", "1").run(in), 0, in);
}

// ----- signature --------------------------------------------------------------------------------

TEST(UpdatePassSignature, OnlyTheFirst24CharactersAreTested) {
    expectDone(layers("26", "1").run("*PADS-LIBRARY-PCB-DECALS\r\n"), 0, "*PADS-LIBRARY-PCB-DECALS\r\n");
    expectDone(layers("26", "1").run(kSig + " extra"), 0, kSig + " extra\r\n");
}

TEST(UpdatePassSignature, AnythingElseIsAFormatError) {
    for (const std::string& in : std::vector<std::string>{"*pads-library-pcb-decals-v9*\r\n", "*PADS-LIBRARY-PCB-DECAL\r\n",
                                 " *PADS-LIBRARY-PCB-DECALS\r\n", "\r\n" + kSig + "\r\n",
                                 "*PADS-LIBRARY-PART-TYPES-V9*\r\nOPEN 2 10 26 -1\r\n"}) {
        expectFormatError(layers("26", "1").run(in), kNoFile);
    }
    // Later lines are never tested for the signature.
    expectDone(layers("26", "1").run(crlf({kSig, "*pads"})), 0, crlf({kSig, "*pads"}));
}

TEST(UpdatePassSignature, UnitLetterOtherThanMOrIEndsThePassBeforeThatLine) {
    for (const char* letter : {"m", "i", "MM", "X", "-"}) {
        const std::string in = crlf({kSig, "", "A I 0 0 1 1 1 0 1 1 0", "OPEN 2 10 26 -1", "",
                                     std::string("B ") + letter + " 0 0 1 1 1 0 1 1 0", "OPEN 2 10 26 -1"});
        expectFormatError(layers("26", "1").run(in), kNoFile);
    }
    // Ten or twelve fields: not a header, so the letter is not read.
    const std::string ten = crlf({kSig, "", "B x 0 0 1 1 1 0 1 1", "OPEN 2 10 26 -1"});
    expectDone(layers("99", "1").run(ten), 0, ten);
}

// ----- entries and the width preparation ----------------------------------------------------------

TEST(UpdatePassEntries, NoPairSelected) {
    Pass p;
    p.enLyr = false;
    const auto r = p.run(kMixed);
    expectFailure(r, Outcome::SelectionError,
                  "No options selected to process -select Layer and/or Width.", "Selection error",
                  Icon::Warning, kNoFile);
}

TEST(UpdatePassEntries, BadWidthPairsFailBeforeTheOutputExists) {
    // A new width that is no number (or negative) is the entry check's; an old one, or a pair
    // that mixes millimetres with a width without a unit, fails the pass.
    const struct {
        const char *o, *n;
        Outcome outcome;
    } rows[] = {
        {"0.254mm", "5", Outcome::RunError}, {"10", "5mm", Outcome::RunError},
        {"abc", "5", Outcome::RunError},     {"*m", "5mm", Outcome::RunError},
        {"1e3", "5", Outcome::RunError},     {"10mils", "5", Outcome::RunError},
        {"5 m m", "5mil", Outcome::RunError}, {"10", "*", Outcome::UserEntryError},
        {"*", "*", Outcome::UserEntryError},   {"10", "0x5", Outcome::UserEntryError},
        {"10", "5,0", Outcome::UserEntryError}, {"10", "-5", Outcome::UserEntryError},
        {"10", "5MM", Outcome::UserEntryError}, {"10", "5 m m", Outcome::UserEntryError},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.o) + " -> " + row.n);
        const auto r = widths(row.o, row.n).run(kMixed);
        EXPECT_EQ(r.outcome, row.outcome);
        EXPECT_EQ(r.output, kNoFile);
    }
}

TEST(UpdatePassEntries, MilSuffixIsMils) {
    const std::string metric = crlf({kSig, "", "A M 0 0 1 1 1 0 1 1 0", "OPEN 2 0.254 26 -1", "OPEN 2 10 26 -1"});
    expectDone(widths("10mil", "5mil").run(metric), 1,
               crlf({kSig, "", "A M 0 0 1 1 1 0 1 1 0", "OPEN  2  0.127  26  -1", "OPEN 2 10 26 -1"}));
    // Each entry carries its own unit: mils matched, millimetres written.
    const std::string inch = crlf({kSig, "", "A I 0 0 1 1 1 0 1 1 0", "OPEN 2 10 26 -1"});
    expectDone(widths("10 mil ", "0.127mm").run(inch), 1,
               crlf({kSig, "", "A I 0 0 1 1 1 0 1 1 0", "OPEN  2  5  26  -1"}));
}

TEST(UpdatePassEntries, DisabledWidthPairIsNeverRead) {
    Pass p = layers("26", "1");
    p.entries.old_wd = "";
    p.entries.new_wd = "junk";
    expectDone(p.run(kMixed), 2, layers("26", "1").run(kMixed).output);
}

TEST(UpdatePassEntries, NonNumericWidthFieldFailsWhenTheRuleIsEvaluated) {
    const std::string in = crlf({kSig, "", "A I 0 0 1 1 1 0 1 1 0", "OPEN 2 10 26 -1", "OPEN 2 wide 26 -1",
                                  "OPEN 2 10 26 -1"});
    expectWriteError(widths("*", "5").run(in), kNoFile);
    // Gated off by the layer rule: never read.
    expectDone(both("20", "1", "*", "5").run(in), 0, in);
}

// ----- files ------------------------------------------------------------------------------------

TEST(UpdatePassFiles, EmptyInputIsAWriteErrorWithNoOutput) {
    expectWriteError(layers("26", "1").run(""), kNoFile);
}

TEST(UpdatePassFiles, SignatureOnly) {
    expectDone(layers("26", "1").run(kSig), 0, kSig + "\r\n");
}

TEST(UpdatePassFiles, OutputThatCannotBeCreated) {
    test::TempDir dir;
    const std::string in = dir.file("lib.d");
    writeFile(in, kMixed);
    expectWriteError(layers("26", "1").runOn(in, dir.file("missing/out.d"), kMixed), kNoFile);
    std::filesystem::create_directory(dir.file("folder"));
    auto r = layers("26", "1").runOn(in, dir.file("folder"), kMixed);
    EXPECT_EQ(r.outcome, Outcome::RunError);
}

#if !defined(_WIN32)
// Windows has no device that is always full; channels_win32_test.cpp breaks an output pipe while
// the pass writes to it instead.
TEST(UpdatePassFiles, FullDeviceIsNeverReportedAsDone) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    test::TempDir dir;
    const std::string in = dir.file("lib.d");
    writeFile(in, kMixed);
    const auto r = layers("26", "1").runOn(in, "/dev/full", kMixed);
    EXPECT_EQ(r.outcome, Outcome::RunError);
    ASSERT_EQ(r.reports.size(), 1u);
    EXPECT_EQ(r.reports[0].title, "File write error");
}
#endif

TEST(UpdatePassFiles, InputAndOutputTheSameFileIsRefused) {
    test::TempDir dir;
    const std::string in = dir.file("lib.d");
    writeFile(in, kMixed);
    std::filesystem::create_hard_link(test::pathOf(in), test::pathOf(dir.file("hard.d")));
    std::vector<std::string> outputs{in, dir.file("hard.d"), dir.file("./lib.d")};
    const bool linked = test::makeSymlink(in, dir.file("link.d"));
#if !defined(_WIN32)
    ASSERT_TRUE(linked);
#endif
    // On Windows, channels_win32_test.cpp makes the link with the Win32 call, or says why not.
    if (linked) outputs.push_back(dir.file("link.d"));
    for (const std::string& out : outputs) {
        SCOPED_TRACE(out);
        const auto r = layers("26", "1").runOn(in, out, kMixed);
        expectWriteError(r, kMixed);  // the "output" is the untouched input
    }
}

// ----- run sequence -----------------------------------------------------------------------------

TEST(RunSequence, EntryCheck) {
    struct Row {
        const char* in;
        const char* out;
        bool enLyr, enWd;
        EntryTexts e;
        bool valid;
    };
    const Row rows[] = {
        {"a.d", "b.d", true, false, {"0", "1", "10", "5"}, true},
        {"", "b.d", true, false, {"0", "1", "10", "5"}, false},
        {"a.d", "", true, false, {"0", "1", "10", "5"}, false},
        {"a.d", "b.d", true, false, {"", "1", "10", "5"}, false},
        {"a.d", "b.d", true, false, {"0", "", "10", "5"}, false},
        {"a.d", "b.d", true, false, {" ", "1", "", ""}, true},  // blanks count as filled
        {"a.d", "b.d", false, true, {"", "", "10", "5"}, true},
        {"a.d", "b.d", false, true, {"0", "1", "", "5"}, false},
        {"a.d", "b.d", false, false, {"", "", "", ""}, true},
        {"", "", true, true, {"", "", "", ""}, false},
        // New values are written into the library: a layer number, a width of at least 0.
        {"a.d", "b.d", true, false, {"26", "1:3", "10", "5"}, false},
        {"a.d", "b.d", true, false, {"26", " 7", "10", "5"}, false},
        {"a.d", "b.d", true, false, {"26", "abc", "10", "5"}, false},
        {"a.d", "b.d", true, false, {"26", "-5", "10", "5"}, false},
        {"a.d", "b.d", true, false, {"26", "1e3", "10", "5"}, false},
        {"a.d", "b.d", true, false, {"x", "007", "10", "5"}, true},  // the old one is only compared
        {"a.d", "b.d", false, true, {"26", "x", "10", "-3"}, false},
        {"a.d", "b.d", false, true, {"26", "x", "10", "*"}, false},
        {"a.d", "b.d", false, true, {"26", "x", "10", "5in"}, false},
        {"a.d", "b.d", false, true, {"26", "x", "abc", "0"}, true},  // the pass reads the old one
        {"a.d", "b.d", false, true, {"26", "x", "10", " 0.127 mm "}, true},
        {"a.d", "b.d", false, true, {"26", "x", "10", "5mil"}, true},
        // ... and within what the format allows: layers to 250, widths to 250 mil (6.35 mm).
        {"a.d", "b.d", true, false, {"26", "250", "10", "5"}, true},
        {"a.d", "b.d", true, false, {"26", "000250", "10", "5"}, true},
        {"a.d", "b.d", true, false, {"26", "251", "10", "5"}, false},
        {"a.d", "b.d", true, false, {"26", "99999", "10", "5"}, false},
        {"a.d", "b.d", true, false, {"999", "1", "10", "5"}, true},  // the old one is only compared
        {"a.d", "b.d", false, true, {"26", "x", "10", "250"}, true},
        {"a.d", "b.d", false, true, {"26", "x", "10", "250.001"}, false},
        {"a.d", "b.d", false, true, {"26", "x", "10", "251mil"}, false},
        {"a.d", "b.d", false, true, {"26", "x", "10", "6.35mm"}, true},
        {"a.d", "b.d", false, true, {"26", "x", "10", "6.351mm"}, false},
        {"a.d", "b.d", false, true, {"26", "x", "10", "99999999999999999999"}, false},
        {"a.d", "b.d", false, true, {"26", "x", "300", "5"}, true},
    };
    for (const auto& row : rows) {
        Pass p;
        p.enLyr = row.enLyr;
        p.enWd = row.enWd;
        p.entries = row.e;
        test::TempDir dir;
        writeFile(dir.file("a.d"), kMixed);
        const auto in = std::string(row.in).empty() ? "" : dir.file(row.in);
        const auto out = std::string(row.out).empty() ? "" : dir.file(row.out);
        const Result r = p.runOn(in, out, std::string(row.in).empty() ? "" : kMixed);
        EXPECT_EQ(r.outcome == Outcome::UserEntryError, !row.valid)
            << row.in << "|" << row.e.old_lyr << "|" << row.e.new_lyr << "|" << row.e.new_wd;
        if (!row.valid) {
            EXPECT_EQ(r.reports[0].text, "Invalid or empty entry boxes -please enter values for processing.");
            EXPECT_EQ(r.reports[0].title, "User entry error");
            EXPECT_EQ(r.reports[0].icon, Icon::Warning);
            EXPECT_EQ(r.output, kNoFile);
        }
    }
}

TEST(RunSequence, MissingInputIsAReadErrorAndNothingIsCreated) {
    test::TempDir dir;
    const auto r = layers("26", "1").runOn(dir.file("missing.d"), dir.file("out.d"), "");
    expectFailure(r, Outcome::FileReadError, "Filename error -please check dir and filename and retry.",
                  "File read error", Icon::Warning, kNoFile);
    // A second run overwrites the output of the first.
    writeFile(dir.file("lib.d"), kMixed);
    for (int i = 0; i < 2; ++i)
        expectDone(layers("26", "1").runOn(dir.file("lib.d"), dir.file("out.d"), kMixed), 2,
                   layers("26", "1").run(kMixed).output);
}

TEST(RunSequence, FolderAsInputIsAReadError) {
    test::TempDir dir;
    const auto r = layers("26", "1").runOn(dir.path().string(), dir.file("out.d"), readFile(dir.path().string()));
    EXPECT_EQ(r.outcome, Outcome::FileReadError);
    EXPECT_EQ(r.output, kNoFile);
}

TEST(RunSequence, DerivedOutputNames) {
    const std::pair<const char*, const char*> rows[] = {
        {"/lib/parts.d", "/lib/parts_new.d"}, {"/lib/parts.D", "/lib/parts_new.d"},
        {"parts.x", "parts_new.d"},           {"a.d", "a_new.d"},
        {"/lib/t\xc3\xa9st.\xc3\xa9", "/lib/t\xc3\xa9st_new.d"},
    };
    for (const auto& [in, out] : rows) EXPECT_EQ(DeriveOutputName(in).value_or("<none>"), out) << in;
    for (const char* in : {"parts.txt", "parts", "", ".", "d", "/lib/parts.dd"}) {
        EXPECT_FALSE(DeriveOutputName(in).has_value()) << in;
    }
}

// ----- observer and filter ----------------------------------------------------------------------

TEST(UpdatePassHooks, ObserverSeesEveryRewrittenLine) {
    Pass p = both("*", "1", "10", "5");
    std::vector<std::string> seen;
    p.onRewrite = [&](const Rewrite& w) {
        seen.push_back(std::string(w.decal_name) + "|" + std::to_string(w.line_number) + "|" +
                       std::string(w.keyword) + "|" + std::string(w.old_layer) + ">" +
                       std::string(w.new_layer) + "|" + std::string(w.old_width) + ">" +
                       std::string(w.new_width) + "|" + std::string(unitLetter(w.decal_unit)));
    };
    p.run(kMixed);
    EXPECT_EQ(seen, (std::vector<std::string>{"DIP8|5|OPEN|26>1|10>5|I", "DIP8|8|CLOSED|20>1|12>12|I",
                                              "SOT23|13|CIRCLE|26>1|0.254>0.127|M",
                                              "SOT23|15|OPEN|26>1|0.3048>0.3048|M"}));
}

TEST(UpdatePassHooks, DecalFilterLimitsRewritingAndCounting) {
    Pass p = layers("*", "1");
    p.decalFilter = [](std::string_view name) { return name == "SOT23"; };
    const std::string in = crlf({kSig, "OPEN 2 10 26 -1"}) + kMixed.substr(kSig.size() + 2);
    const auto r = p.run(in);
    EXPECT_EQ(r.reports.at(0).text, doneText(1, r.outPath));
    EXPECT_NE(r.output.find("\r\nOPEN 2 10 26 -1\r\n"), std::string::npos);  // before any decal
    EXPECT_NE(r.output.find("CLOSED 5 12 20 -1"), std::string::npos);
    EXPECT_NE(r.output.find("CIRCLE  2  0.254  1  -1"), std::string::npos);
}

TEST(UpdatePassHooks, DryRunCreatesNothing) {
    Pass p = layers("26", "1");
    p.dryRun = true;
    const auto r = p.run(kMixed);
    EXPECT_EQ(r.outcome, Outcome::Done);
    EXPECT_EQ(r.reports.at(0).text, doneText(2, r.outPath));
    EXPECT_EQ(r.output, kNoFile);
}

// ----- real exported libraries ----------------------------------------------------------------

TEST(RealLibraries, UnchangedWhenNothingMatchesAndCountsTheirDecals) {
    const std::filesystem::path dir = TRELVO_REAL_LIBRARIES;
    if (!std::filesystem::exists(dir)) GTEST_SKIP() << "no real libraries at " << dir;
    int seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".d") continue;
        ++seen;
        SCOPED_TRACE(entry.path().filename().string());
        const std::string bytes = readFile(entry.path().string());
        test::TempDir tmp;
        // Nothing matches: the output is the input with CR LF line ends.
        auto r = layers("no-such-layer", "1").runOn(entry.path().string(), tmp.file("out.d"), bytes);
        ASSERT_EQ(r.outcome, Outcome::Done);
        std::string expected;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\r') {
                expected += "\r\n";
                if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
            } else if (bytes[i] == '\n') {
                expected += "\r\n";
            } else {
                expected += bytes[i];
            }
        }
        if (!bytes.empty() && bytes.back() != '\n' && bytes.back() != '\r') expected += "\r\n";
        EXPECT_EQ(r.output, expected);

        // Every outline to layer 1 changes only outline header lines, and keeps the line count.
        r = layers("*", "1").runOn(entry.path().string(), tmp.file("out.d"), bytes);
        ASSERT_EQ(r.outcome, Outcome::Done);
        std::size_t changed = 0;
        std::size_t a = 0, b = 0;
        while (a < expected.size() && b < r.output.size()) {
            const auto ea = expected.find("\r\n", a);
            const auto eb = r.output.find("\r\n", b);
            const std::string la = expected.substr(a, ea - a), lb = r.output.substr(b, eb - b);
            if (la != lb) {
                ++changed;
                EXPECT_TRUE(la.rfind("OPEN", 0) == 0 || la.rfind("CLOS", 0) == 0 || la.rfind("CIRC", 0) == 0) << la;
                EXPECT_NE(lb.find("  1  -1"), std::string::npos) << lb;
            }
            a = ea + 2;
            b = eb + 2;
        }
        EXPECT_EQ(a, expected.size());
        EXPECT_EQ(b, r.output.size());
        EXPECT_GT(changed, 0u);
    }
    EXPECT_GE(seen, 10);
}

}  // namespace
}  // namespace trelvo

namespace trelvo {
namespace {

// The checker's structure check counts a decal's terminal lines (passed over in bulk) against its
// header, at every block size: too few, too many, or a TIMESTAMP line among them.
TEST(CheckStructure, TerminalsAgainstTheirCount) {
    const std::string head = "*PADS-LIBRARY-PCB-DECALS-V9*\r\n\r\nD1 I 0 0 0 0 0 0 3 0 0\r\n"
                             "TIMESTAMP 2024.1.1.1.1.1\r\n";
    const std::string tail = "PAD 0 3 P 0\r\n-2 60 R\r\n";
    const struct {
        std::string terminals;
        std::string found;  // the structure finding; empty: none
    } rows[] = {
        {"T0 0 0 0 1\r\nT1 0 0 0 2\r\nT2 0 0 0 3\r\n", ""},
        {"T0 0 0 0 1\r\nT1 0 0 0 2\r\n", "the header counts 3 terminals, 2 follow"},
        {"T0 0 0 0 1\r\nT1 0 0 0 2\r\nT2 0 0 0 3\r\nT3 0 0 0 4\r\n",
         "the header counts 3 terminals, 4 follow"},
        {"T0 0 0 0 1\r\nTIMESTAMP 2024\r\nT2 0 0 0 3\r\n", "the header counts 3 terminals, 1 follow"},
    };
    const RuleSet none;
    for (const auto& row : rows) {
        for (const std::size_t block : {std::size_t{3}, std::size_t{16}, kDefaultReadBlock}) {
            SCOPED_TRACE(row.terminals + " block " + std::to_string(block));
            const std::string lib = head + row.terminals + tail;
            MemorySource in(lib);
            std::vector<std::string> found;
            const CheckResult r = runCheck(
                {in, none, [&](const Finding& f) { found.emplace_back(f.found); }, true, block});
            EXPECT_EQ(r.outcome, Outcome::Done);
            EXPECT_EQ(found, row.found.empty() ? std::vector<std::string>{}
                                               : std::vector<std::string>{row.found});
        }
    }
}

}  // namespace
}  // namespace trelvo

namespace trelvo {
namespace {

// A pass whose input or output fails part way (or throws) ends at once, telling the failure's
// reason, with the bytes written before it a part of the whole output.
TEST(UpdatePassFailures, EndAtTheFirstFailureWithItsReason) {
    const std::string lib = readFile(std::string(TRELVO_TEST_DATA) + "/house.d");
    ASSERT_FALSE(lib.empty());
    std::string why;
    const auto rules = compilePairs({true, false, "26", "1", "", ""}, why);
    ASSERT_TRUE(rules) << why;
    const struct {
        int readFails, writeFails;
        bool readThrows;
        const char* detail;
    } rows[] = {{0, 0, false, ""},
                {5, 0, false, "read 5 failed"},
                {0, 3, false, "write 3 failed"},
                {15, 1, false, "write 1 failed"},  // the write failed first
                {30, 2, false, "write 2 failed"},
                {4, 0, true, "read 4 threw"},
                {1, 0, false, "read 1 failed"}};
    std::string whole;
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "read " << row.readFails << " write " << row.writeFails
                                        << (row.readThrows ? " throws" : ""));
        std::string output;
        test::FlakySource in(lib, row.readFails, row.readThrows);
        test::FlakySink out(output, row.writeFails);
        UpdateRequest request{in, &out, *rules};
        request.readBlock = 64;
        request.writeBlock = 48;
        const UpdateResult r = runUpdate(request);
        EXPECT_EQ(r.outcome, row.readFails || row.writeFails ? Outcome::RunError : Outcome::Done);
        EXPECT_EQ(r.detail, row.detail);
        if (r.outcome == Outcome::Done)
            whole = output;
        EXPECT_TRUE(whole.starts_with(output));
    }
}

// Asked to, the pass ends every line as it ended in the input, whatever block boundary a CR
// falls on: only the rebuilt lines differ from the input.
TEST(UpdatePassLineEnds, KeptWhenAsked) {
    const std::string lib = readFile(std::string(TRELVO_TEST_DATA) + "/house.d");
    ASSERT_FALSE(lib.empty());
    std::string why;
    const auto rules = compilePairs({true, true, "26", "1", "*", "7"}, why);
    ASSERT_TRUE(rules) << why;
    std::string rebuiltWhole;  // the usual output, every line ending in CR LF
    MemorySource whole(lib);
    StringSink all(rebuiltWhole);
    ASSERT_EQ(runUpdate({whole, &all, *rules}).outcome, Outcome::Done);
    const auto linesOf = [](const std::string& bytes) {
        std::vector<std::string> lines;
        for (std::size_t at = 0, end; at < bytes.size(); at = end + 2)
            lines.push_back(bytes.substr(at, (end = bytes.find("\r\n", at)) - at));
        return lines;
    };
    const auto in = linesOf(lib), rebuilt = linesOf(rebuiltWhole);
    ASSERT_EQ(in.size(), rebuilt.size());
    const std::vector<std::vector<std::string>> endings = {
        {"\n"}, {"\r"}, {"\r\n", "\n", "\r", "\r", "\r\n"}};  // no LF after a CR
    for (const auto& ends : endings) {
        for (const bool lastEnded : {true, false}) {
            std::string input, expected;
            for (std::size_t i = 0; i < in.size(); ++i) {
                const std::string end = i + 1 == in.size() && !lastEnded ? "" : ends[i % ends.size()];
                input += in[i] + end;
                expected += rebuilt[i] + end;
            }
            for (const std::size_t block : {1, 2, 3, 7, 64, 1 << 18}) {
                SCOPED_TRACE(testing::Message() << "ends " << ends.size() << " block " << block
                                                << (lastEnded ? "" : " last line unended"));
                std::string output;
                MemorySource source(input);
                StringSink sink(output);
                UpdateRequest request{source, &sink, *rules};
                request.readBlock = block;
                request.writeBlock = block == 1 ? 5 : block;
                request.keepLineEnds = true;
                const UpdateResult r = runUpdate(request);
                EXPECT_EQ(r.outcome, Outcome::Done);
                EXPECT_EQ(output, expected);
            }
        }
    }
    EXPECT_NE(rebuiltWhole, lib);
}

}  // namespace
}  // namespace trelvo
