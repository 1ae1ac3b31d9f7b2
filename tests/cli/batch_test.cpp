// trelvo-cli for batch work: several INPUTs, the change report, the decal filter, dry runs and
// in-place replacement. Each test runs the built binary on real files in a private folder.
#if !defined(_WIN32)
#include <sys/wait.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli_run.h"
#include "files/file_streams.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;
using trelvo::test::crlf;
using trelvo::test::listDir;
using trelvo::test::readFile;
using trelvo::test::runCli;
using trelvo::test::TempDir;
using trelvo::test::writeFile;

const std::string kSig = "*PADS-LIBRARY-PCB-DECALS-V9*";

// Three decals and one piece line before the first of them.
const std::string kLib = crlf({kSig,                         // 1
                               "OPEN 2 10 26 -1",            // 2: before any decal
                               "",                           // 3
                               "DIP8 I 0 0 2 2 4 0 8 1 0",   // 4
                               "OPEN 2 10 26 -1",            // 5
                               "0 0",                        // 6
                               "",                           // 7
                               "SOT23 M 0 0 1 1 3 0 3 1 0",  // 8
                               "CIRCLE 2 0.254 26 -1",       // 9
                               "0 0",                        // 10
                               "",                           // 11
                               "SO8 I 0 0 2 2 4 0 8 1 0",    // 12
                               "CLOSED 5 10 26 -1",          // 13
                               "OPEN 2 12 3 -1"});           // 14

const std::string kLibLayer1 =
    crlf({kSig, "OPEN  2  10  1  -1", "", "DIP8 I 0 0 2 2 4 0 8 1 0", "OPEN  2  10  1  -1", "0 0",
          "", "SOT23 M 0 0 1 1 3 0 3 1 0", "CIRCLE  2  0.254  1  -1", "0 0", "",
          "SO8 I 0 0 2 2 4 0 8 1 0", "CLOSED  5  10  1  -1", "OPEN 2 12 3 -1"});

const std::string kDone3 = "Processing complete.\n3 Decal(s) updated.\n";

const std::string kHeader =
    "input,decal,line,keyword,old_layer,new_layer,old_width,new_width,unit\r\n";

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    return lines;
}

// ---- Several inputs ------------------------------------------------------------------------

TEST(TrelvoCliBatch, EveryFileGetsItsOwnPassAndTheWorstOutcomeIsTheStatus) {
    TempDir dir;
    writeFile(dir.file("a.d"), kLib);
    writeFile(dir.file("bad.d"), crlf({"not a library", ""}));
    writeFile(dir.file("b.D"), kLib);
    const auto r = runCli({"--layer", "26:1", "a.d", "bad.d", "missing.d", "b.D"}, dir);
    EXPECT_EQ(r.status, 6) << r.err;  // format error (6) beats read error (4) and done (0)

    // The files after a failure were still processed.
    EXPECT_EQ(readFile(dir.file("a_new.d")), kLibLayer1);
    EXPECT_EQ(readFile(dir.file("b_new.d")), kLibLayer1);
    EXPECT_FALSE(fs::exists(dir.file("bad_new.d")));  // a failed run leaves no output
    EXPECT_FALSE(fs::exists(dir.file("missing_new.d")));

    EXPECT_EQ(r.out, kDone3 + "Updated decal file written to: a_new.d\n" + kDone3 +
                         "Updated decal file written to: b_new.d\n"
                         "a.d: Done, 3 decal(s) updated -> a_new.d\n"
                         "bad.d: File format error\n"
                         "missing.d: File read error\n"
                         "b.D: Done, 3 decal(s) updated -> b_new.d\n");
    // Exactly the single-run messages, in order; no progress line off a terminal.
    EXPECT_EQ(r.err,
              "trelvo-cli: bad.d: File format error: Error in Decal Lib (*.d) format...exiting. "
              "(the first line does not begin with *PADS-LIBRARY-PCB-DECALS)\n"
              "trelvo-cli: missing.d: File read error: Filename error -please check dir and "
              "filename and retry. (" + trelvo::test::noSuchFileText() + ")\n");
}

TEST(TrelvoCliBatch, StatusIsTheHighestOutcome) {
    TempDir dir;
    writeFile(dir.file("a.d"), kLib);
    writeFile(dir.file("empty.d"), "");
    // Empty input: write error (7); missing: read error (4).
    auto r = runCli({"--layer", "26:1", "missing.d", "empty.d", "a.d"}, dir);
    EXPECT_EQ(r.status, 7);
    EXPECT_TRUE(has(r.out, "empty.d: File write error\n"));
    // No pair given: every file ends with the selection error (5), none is written.
    r = runCli({"a.d", "missing.d"}, dir);
    EXPECT_EQ(r.status, 5);
    EXPECT_EQ(r.out, "a.d: Selection error\nmissing.d: File read error\n");
    // All done: 0.
    fs::remove(dir.file("a_new.d"));
    writeFile(dir.file("c.d"), kLib);
    r = runCli({"--width", "*:5", "a.d", "c.d"}, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r.out,
                    "a.d: Done, 3 decal(s) updated -> a_new.d\n"
                    "c.d: Done, 3 decal(s) updated -> c_new.d\n"));
}

TEST(TrelvoCliBatch, UsageErrorsAreFoundBeforeAnyFileIsTouched) {
    TempDir dir;
    writeFile(dir.file("a.d"), kLib);
    writeFile(dir.file("b.d"), kLib);
    writeFile(dir.file("B.D"), kLib);
    writeFile(dir.file("parts.txt"), kLib);
    writeFile(dir.file("a_new.d"), "older output");
#if !defined(_WIN32)
    // Symbolic links need a privilege on Windows; its own suite covers the other spellings.
    fs::create_symlink("a.d", dir.file("link.d"));
#endif
    const std::vector<std::string> before = listDir(dir);
    std::vector<std::vector<std::string>> cases = {
        {"--layer", "26:1", "-o", "out.d", "b.d", "B.D"},       // -o with several
        {"--layer", "26:1", "b.d", "parts.txt"},                // no name to derive
        {"--layer", "26:1", "b.d", "b.d"},                      // the same file twice
        {"--layer", "26:1", "a.d", "a_new.d"},                  // an output is another input
        {"--layer", "26:1", "b.d", "b.D"},                      // two outputs in one file
        {"--layer", "26:1", "--in-place", "-o", "x.d", "b.d"},  // in place and -o
        {"--layer", "26:1", "--no-backup", "b.d"},              // no backup without in place
        {"--layer", "26:1", "--dry-run=yes", "b.d"},            // a flag with a value
        {"--layer", "26:1", "--report", "b.d", "b.d"},          // the report over an input
        {"--layer", "26:1", "--report", "b_new.d", "b.d"},      // ... over an output
        {"--layer", "26:1", "--decal"},                         // a missing value
        {"--layer", "26:1", "--in-place", "b.d", "b.d.orig"},   // a backup over an input
        {"--layer", "26:1", "--backup=numbered", "b.d"},        // a backup without in place
        {"--layer", "26:1", "--in-place", "--backup=t", "b.d"},  // an unknown backup
        {"--layer", "26:1", "--in-place", "--backup=none", "--no-backup", "b.d"},
    };
#if !defined(_WIN32)
    cases.push_back({"--layer", "26:1", "--in-place", "a.d", "link.d"});  // the same file by a link
#endif
    for (const auto& args : cases) {
        const auto r = runCli(args, dir);
        std::string shown;
        for (const auto& a : args)
            shown += a + " ";
        EXPECT_EQ(r.status, 2) << shown << r.err;
        EXPECT_EQ(r.out, "") << shown;
        EXPECT_TRUE(r.err.starts_with("trelvo-cli: ")) << shown << r.err;
        EXPECT_TRUE(has(r.err, "Try 'trelvo-cli --help'")) << shown;
        EXPECT_EQ(listDir(dir), before) << shown;
    }
    EXPECT_EQ(readFile(dir.file("a_new.d")), "older output");
}

TEST(TrelvoCliBatch, EmptyInputNameFailsAsForOneInput) {
    TempDir dir;
    writeFile(dir.file("a.d"), kLib);
    const auto r = runCli({"--layer", "26:1", "", "a.d"}, dir);
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(has(r.out, ": User entry error\na.d: Done, 3 decal(s) updated -> a_new.d\n"));
}

// ---- Decal filter --------------------------------------------------------------------------

TEST(TrelvoCliDecal, OnlyMatchingDecalsAreRewrittenAndCounted) {
    TempDir dir;
    writeFile(dir.file("lib.d"), kLib);
    const auto r = runCli({"--layer", "26:1", "--decal", "SO*", "lib.d"}, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "Processing complete.\n2 Decal(s) updated.\n"
              "Updated decal file written to: lib_new.d\n");
    // Line 2 lies before any decal and stays as read; DIP8 is not selected.
    EXPECT_EQ(readFile(dir.file("lib_new.d")),
              crlf({kSig, "OPEN 2 10 26 -1", "", "DIP8 I 0 0 2 2 4 0 8 1 0", "OPEN 2 10 26 -1",
                    "0 0", "", "SOT23 M 0 0 1 1 3 0 3 1 0", "CIRCLE  2  0.254  1  -1", "0 0", "",
                    "SO8 I 0 0 2 2 4 0 8 1 0", "CLOSED  5  10  1  -1", "OPEN 2 12 3 -1"}));
}

TEST(TrelvoCliDecal, PatternsQuestionMarkRepeatAndCase) {
    TempDir dir;
    writeFile(dir.file("lib.d"), kLib);
    struct Row {
        std::vector<std::string> globs;
        std::set<std::string> decals;  // decals expected in the report
    };
    const std::vector<Row> rows = {
        {{"SO?"}, {"SO8"}},
        {{"S?T*"}, {"SOT23"}},
        {{"DIP8", "SO8"}, {"DIP8", "SO8"}},
        {{"*"}, {"DIP8", "SOT23", "SO8"}},
        {{"so*"}, {}},  // case-sensitive
        {{"DIP"}, {}},  // the whole name must match
        {{""}, {}},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args = {"--layer", "26:1", "--report", "-", "--dry-run"};
        for (const auto& g : row.globs) {
            args.push_back("--decal");
            args.push_back(g);
        }
        args.push_back("lib.d");
        const auto r = runCli(args, dir);
        EXPECT_EQ(r.status, 0);
        std::set<std::string> seen;
        for (const auto& l : splitLines(r.out)) {
            if (l.starts_with("lib.d,"))
                seen.insert(l.substr(6, l.find(',', 6) - 6));
        }
        EXPECT_EQ(seen, row.decals) << row.globs.front();
        EXPECT_TRUE(has(r.err, std::to_string(row.decals.size()) + " Decal(s) updated."))
            << row.globs.front();
    }
}

TEST(TrelvoCliDecal, WithoutFilterLinesBeforeTheFirstDecalAreRewritten) {
    TempDir dir;
    writeFile(dir.file("lib.d"), kLib);
    const auto r = runCli({"--layer", "26:1", "lib.d"}, dir);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(readFile(dir.file("lib_new.d")), kLibLayer1);
}

// ---- Change report -------------------------------------------------------------------------

TEST(TrelvoCliReport, OneRowPerRewrittenLine) {
    TempDir dir;
    writeFile(dir.file("lib.d"), kLib);
    const auto r =
        runCli({"--layer", "26:1", "--width", "*:5", "--report", "changes.csv", "lib.d"}, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kDone3 + "Updated decal file written to: lib_new.d\n");
    EXPECT_EQ(readFile(dir.file("changes.csv")), kHeader +
                                                     "lib.d,,2,OPEN,26,1,10,5,I\r\n"
                                                     "lib.d,DIP8,5,OPEN,26,1,10,5,I\r\n"
                                                     "lib.d,SOT23,9,CIRCLE,26,1,0.254,0.127,M\r\n"
                                                     "lib.d,SO8,13,CLOSED,26,1,10,5,I\r\n");
}

TEST(TrelvoCliReport, FieldsAreQuotedAsCsvWants) {
    TempDir dir;
#if defined(_WIN32)
    // A Windows file name cannot hold a quote; the decal name still does.
    const std::string name = "we,ird.d";
    const std::string quotedName = "\"we,ird.d\"";
#else
    const std::string name = "we,ird\".d";
    const std::string quotedName = "\"we,ird\"\".d\"";
#endif
    writeFile(dir.file(name), crlf({kSig, "", "A,\"B\" I 0 0 2 2 4 0 8 1 0", "OPEN 2 10 26 -1"}));
    const auto r = runCli({"--layer", "26:1", "--report", "-", name}, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kHeader + quotedName + ",\"A,\"\"B\"\"\",4,OPEN,26,1,10,10,I\r\n");
    // The report has standard output to itself; the completion text moves to standard error.
    EXPECT_TRUE(has(r.err, "Processing complete.\n1 Decal(s) updated.\n"));
}

TEST(TrelvoCliReport, ReportOnlyListsFilesThatSucceeded) {
    TempDir dir;
    writeFile(dir.file("a.d"), kLib);
    // Rewrites line 5, then meets a decal with a unit letter of "X".
    writeFile(dir.file("late.d"), crlf({kSig, "", "DIP8 I 0 0 2 2 4 0 8 1 0", "OPEN 2 10 26 -1", "",
                                        "BAD X 0 0 2 2 4 0 8 1 0", "OPEN 2 10 26 -1"}));
    const auto r =
        runCli({"--layer", "26:1", "--decal", "DIP8", "--report", "-", "late.d", "a.d"}, dir);
    EXPECT_EQ(r.status, 6);
    EXPECT_EQ(r.out, kHeader + "a.d,DIP8,5,OPEN,26,1,10,10,I\r\n");
    EXPECT_TRUE(
        has(r.err, "late.d: File format error\na.d: Done, 1 decal(s) updated -> a_new.d\n"));
}

TEST(TrelvoCliReport, AReportThatCannotBeWrittenIsAWriteError) {
    TempDir dir;
    writeFile(dir.file("a.d"), kLib);
    // Cannot be created: found before any file is processed.
    auto r = runCli({"--layer", "26:1", "--report", "no/such/folder.csv", "a.d"}, dir);
    EXPECT_EQ(r.status, 7);
    // The second line is the system's reason, in its words (Windows speaks of a path).
    EXPECT_TRUE(r.err.starts_with("trelvo-cli: cannot write the report 'no/such/folder.csv'\n"
                                  "trelvo-cli: cannot create a temporary file in 'no/such': "))
        << r.err;
    EXPECT_EQ(listDir(dir), std::vector<std::string>{"a.d"});
    // Fails while being written: the updates stand, the status says the report is incomplete.
#if defined(_WIN32)
    GTEST_SKIP() << "Windows has no device that is always full";
#endif
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    r = runCli({"--layer", "26:1", "--report", "/dev/full", "a.d"}, dir);
    EXPECT_EQ(r.status, 7);
    EXPECT_EQ(readFile(dir.file("a_new.d")), kLibLayer1);
    EXPECT_TRUE(has(r.err, "trelvo-cli: the report '/dev/full' could not be written\n"
                           "trelvo-cli: cannot write '/dev/full': No space left on device\n"))
        << r.err;
}

// Reads a library the way the engine does (CR, CR LF and LF end a line) and lists the eligible
// piece header lines: line number -> (decal name, unit letter).
std::map<std::uint64_t, std::pair<std::string, std::string>> eligiblePieces(
    const std::string& bytes) {
    std::vector<std::string> lines;
    std::string cur;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(cur);
            cur.clear();
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            cur += c;
        }
    }
    if (!cur.empty())
        lines.push_back(cur);

    auto fields = [](const std::string& l) {
        std::vector<std::string> f;
        std::istringstream in(l);
        for (std::string w; std::getline(in, w, ' ');) {
            if (!w.empty())
                f.push_back(w);
        }
        return f;
    };
    std::map<std::uint64_t, std::pair<std::string, std::string>> out;
    std::string decal, unit = "I";
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const auto f = fields(lines[i]);
        if (lines[i - 1].empty() && f.size() == 11) {
            decal = f[0];
            unit = f[1];
        }
        const std::string key = lines[i].substr(0, 4);
        if ((key == "OPEN" || key == "CLOS" || key == "CIRC") && f.size() == 5 && f[4] == "-1") {
            out[i + 1] = {decal, unit};
        }
    }
    return out;
}

TEST(TrelvoCliReport, RealLibraryWithMillimetreAndMilDecals) {
    const std::string lib =
        std::string(TRELVO_REAL_LIBRARIES) + "/zpqqq10__surviveCS__GPS_V2_PCB.d";
    if (!fs::exists(lib))
        GTEST_SKIP() << "no real libraries";
    TempDir dir;
    const auto r = runCli({"--layer", "*:7", "--report", "changes.csv", "-o", "out.d", lib}, dir);
    ASSERT_EQ(r.status, 0) << r.err;

    const auto expected = eligiblePieces(readFile(lib));
    const auto rows = splitLines(readFile(dir.file("changes.csv")));
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0] + "\n", kHeader);
    std::map<std::uint64_t, std::pair<std::string, std::string>> seen;
    std::set<std::string> units;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        // input,decal,line,keyword,old_layer,new_layer,old_width,new_width,unit
        std::vector<std::string> f;
        std::istringstream in(rows[i].substr(0, rows[i].size() - 1));  // without the CR
        for (std::string w; std::getline(in, w, ',');)
            f.push_back(w);
        ASSERT_EQ(f.size(), 9u) << rows[i];
        EXPECT_EQ(f[0], lib);
        EXPECT_EQ(f[5], "7");
        EXPECT_EQ(f[6], f[7]);  // widths untouched
        const std::uint64_t line = std::stoull(f[2]);
        EXPECT_TRUE(seen.emplace(line, std::make_pair(f[1], f[8])).second) << "twice: " << line;
        units.insert(f[8]);
    }
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(units, (std::set<std::string>{"I", "M"}));

    // The lines named in the report are exactly the lines that differ in the output.
    const auto outLines = splitLines(readFile(dir.file("out.d")));
    std::vector<std::string> inLines;
    {
        std::istringstream in(readFile(lib));
        for (std::string l; std::getline(in, l);)
            inLines.push_back(l);
    }
    ASSERT_EQ(outLines.size(), inLines.size());
    for (std::size_t i = 0; i < inLines.size(); ++i) {
        std::string a = inLines[i], b = outLines[i];
        if (!a.empty() && a.back() == '\r')
            a.pop_back();
        if (!b.empty() && b.back() == '\r')
            b.pop_back();
        EXPECT_EQ(a != b, seen.contains(i + 1)) << "line " << i + 1;
    }
}

// ---- Dry run -------------------------------------------------------------------------------

TEST(TrelvoCliDryRun, SameOutcomeCountAndReportButNoFile) {
    TempDir dir;
    writeFile(dir.file("a.d"), kLib);
    writeFile(dir.file("bad.d"), "nonsense\r\n");
    const auto dry =
        runCli({"--layer", "26:1", "--report", "dry.csv", "--dry-run", "a.d", "bad.d"}, dir);
    EXPECT_EQ(listDir(dir), (std::vector<std::string>{"a.d", "bad.d", "dry.csv"}));
    const auto real = runCli({"--layer", "26:1", "--report", "real.csv", "a.d", "bad.d"}, dir);
    EXPECT_EQ(dry.status, 6);
    EXPECT_EQ(real.status, 6);
    EXPECT_EQ(readFile(dir.file("dry.csv")), readFile(dir.file("real.csv")));
    EXPECT_EQ(dry.err, real.err);
    EXPECT_TRUE(has(dry.out, kDone3 + "Dry run, nothing written. The update would be written to: "
                                      "a_new.d\n"));
    EXPECT_TRUE(has(dry.out,
                    "a.d: Done, 3 decal(s) updated (dry run, nothing written)\n"
                    "bad.d: File format error\n"));
}

TEST(TrelvoCliDryRun, InPlaceDryRunTouchesNothing) {
    TempDir dir;
    writeFile(dir.file("a.d"), kLib);
    const auto r = runCli({"--layer", "26:1", "--dry-run", "--in-place", "a.d"}, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kDone3 + "Dry run, nothing written. The update would replace: a.d\n");
    EXPECT_EQ(listDir(dir), std::vector<std::string>{"a.d"});
    EXPECT_EQ(readFile(dir.file("a.d")), kLib);
}

// ---- In place ------------------------------------------------------------------------------

TEST(TrelvoCliInPlace, ReplacesTheInputAndKeepsTheOriginal) {
    TempDir dir;
    writeFile(dir.file("a.d"), kLib);
    writeFile(dir.file("b.d"), kLib);
    fs::permissions(dir.file("a.d"), fs::perms(0640));
    const auto r = runCli({"--layer", "26:1", "--in-place", "a.d", "b.d"}, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kDone3 + "Updated decal file written to: a.d\n" + kDone3 +
                         "Updated decal file written to: b.d\n"
                         "a.d: Done, 3 decal(s) updated -> a.d (original kept as a.d.orig)\n"
                         "b.d: Done, 3 decal(s) updated -> b.d (original kept as b.d.orig)\n");
    EXPECT_EQ(readFile(dir.file("a.d")), kLibLayer1);
    EXPECT_EQ(readFile(dir.file("a.d.orig")), kLib);
#if !defined(_WIN32)
    EXPECT_EQ(fs::status(dir.file("a.d")).permissions(), fs::perms(0640));
#endif
    EXPECT_EQ(listDir(dir), (std::vector<std::string>{"a.d", "a.d.orig", "b.d", "b.d.orig"}));

    // A second run replaces the backup with the file as it was before that run.
    const auto again = runCli({"--layer", "1:2", "--in-place", "a.d"}, dir);
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(readFile(dir.file("a.d.orig")), kLibLayer1);
}

TEST(TrelvoCliInPlace, RealLibrariesComeOutAsFromAPlainRun) {
    // CR LF, LF-only and mixed line ends, "M" and "I" decals: the read-back check must accept
    // them all, and the replaced file must be exactly what the plain run writes.
    std::vector<std::string> libs;
    if (fs::is_directory(TRELVO_REAL_LIBRARIES)) {
        for (const auto& e : fs::directory_iterator(TRELVO_REAL_LIBRARIES)) {
            if (e.path().extension() == ".d")
                libs.push_back(e.path().string());
        }
    }
    if (libs.empty())
        GTEST_SKIP() << "no real libraries";
    std::sort(libs.begin(), libs.end());
    TempDir dir;
    std::vector<std::string> args = {"--layer", "*:5", "--width", "*:10", "--in-place"};
    for (std::size_t i = 0; i < libs.size(); ++i) {
        const std::string name = "lib" + std::to_string(i) + ".d";
        fs::copy_file(libs[i], dir.file(name));
        fs::permissions(dir.file(name), fs::perms(0644));
        args.push_back(name);
    }
    const auto r = runCli(args, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    for (std::size_t i = 0; i < libs.size(); ++i) {
        const std::string name = "lib" + std::to_string(i) + ".d";
        EXPECT_EQ(readFile(dir.file(name + ".orig")), readFile(libs[i])) << libs[i];
        const auto plain =
            runCli({"--layer", "*:5", "--width", "*:10", "-o", "plain.d", libs[i]}, dir);
        EXPECT_EQ(plain.status, 0) << plain.err;
        EXPECT_EQ(readFile(dir.file(name)), readFile(dir.file("plain.d"))) << libs[i];
    }
}

// A library another run holds (here this test, with the same lock) is neither replaced nor
// written over: the run fails at once with the write error and says why.
TEST(TrelvoCliInPlace, ALibraryAnotherRunHoldsIsLeftAlone) {
    TempDir dir;
    writeFile(dir.file("a.d"), kLib);
    writeFile(dir.file("b.d"), kLib);
    std::string why;
    const auto held = trelvo::UpdateLock::take(dir.file("a.d"), trelvo::native::identify(dir.file("a.d")), why);
    ASSERT_TRUE(held) << why;
    auto r = runCli({"--layer", "26:1", "--in-place", "a.d"}, dir);
    EXPECT_EQ(r.status, 7);
    EXPECT_EQ(r.err, "trelvo-cli: a.d: File write error: Error: File I/O or User Entry "
                     "-Processing incomplete!\ntrelvo-cli: cannot update 'a.d': another run is "
                     "updating it; 'a.d' is unchanged\n");
    r = runCli({"--layer", "26:1", "-o", "a.d", "b.d"}, dir);
    EXPECT_EQ(r.status, 7);
    EXPECT_TRUE(has(r.err, "(cannot update 'a.d': another run is updating it)")) << r.err;
    EXPECT_EQ(readFile(dir.file("a.d")), kLib);
    EXPECT_EQ(listDir(dir), (std::vector<std::string>{"a.d", "b.d"}));
}

TEST(TrelvoCliInPlace, NumberedBackupsKeepEveryOriginal) {
    TempDir dir;
    writeFile(dir.file("a.d"), kLib);
    writeFile(dir.file("a.d.orig"), "simple");
    writeFile(dir.file("a.d.orig.01"), "not numbered so");
    for (const char* layers : {"26:1", "1:2"})
        EXPECT_EQ(runCli({"--layer", layers, "--in-place", "--backup=numbered", "a.d"}, dir).status, 0);
    const auto r = runCli({"--layer", "2:3", "--in-place", "--backup", "none", "a.d"}, dir);
    EXPECT_EQ(r.out, kDone3 + "Updated decal file written to: a.d\n");
    EXPECT_EQ(readFile(dir.file("a.d.orig.1")), kLib);
    EXPECT_EQ(readFile(dir.file("a.d.orig.2")), kLibLayer1);
    EXPECT_EQ(readFile(dir.file("a.d.orig")), "simple");
    EXPECT_EQ(listDir(dir), (std::vector<std::string>{"a.d", "a.d.orig", "a.d.orig.01",
                                                      "a.d.orig.1", "a.d.orig.2"}));
}

// Each line keeps its own line end: a library kept in version control changes only where a
// line was rebuilt. Without the option every line ends in CR LF.
TEST(TrelvoCliInPlace, KeepLineEnds) {
    const auto ended = [](const std::string& lib, const std::vector<std::string>& ends) {
        std::string out;
        std::size_t n = 0;
        for (std::size_t at = 0, end; at < lib.size(); at = end + 2, ++n)
            out += lib.substr(at, (end = lib.find("\r\n", at)) - at) + ends[n % ends.size()];
        return out;
    };
    for (const auto& ends : std::vector<std::vector<std::string>>{{"\n"}, {"\r"}, {"\n", "\r", "\r\n"}}) {
        TempDir dir;
        writeFile(dir.file("a.d"), ended(kLib, ends));
        const auto r = runCli({"--layer", "26:1", "--in-place", "--keep-line-ends", "a.d"}, dir);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(readFile(dir.file("a.d")), ended(kLibLayer1, ends));
        EXPECT_EQ(runCli({"--layer", "1:1", "-o", "b.d", "a.d"}, dir).status, 0);
        EXPECT_EQ(readFile(dir.file("b.d")), kLibLayer1);
    }
}

#if !defined(_WIN32)
TEST(TrelvoCliInPlace, NoBackupAndSymbolicLinks) {
    TempDir dir;
    fs::create_directory(dir.file("libs"));
    writeFile(dir.file("libs/a.d"), kLib);
    fs::create_symlink("libs/a.d", dir.file("link.d"));
    const auto r = runCli({"--layer", "26:1", "--in-place", "--no-backup", "link.d"}, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kDone3 + "Updated decal file written to: link.d\n");
    EXPECT_TRUE(fs::is_symlink(dir.file("link.d")));
    EXPECT_EQ(readFile(dir.file("libs/a.d")), kLibLayer1);
    EXPECT_EQ(listDir(dir), (std::vector<std::string>{"libs", "link.d"}));
    EXPECT_EQ(fs::directory_iterator(dir.file("libs"))->path().filename(), "a.d");
}
#endif

#if !defined(_WIN32)
// A library without write permission is not replaced, as on Windows: the run fails as a write
// error and leaves nothing behind. (mode 444 holds for root too, who may write it.)
TEST(TrelvoCliInPlace, ReadOnlyLibraryIsNotReplaced) {
    TempDir dir;
    writeFile(dir.file("a.d"), kLib);
    fs::permissions(dir.file("a.d"), fs::perms::owner_read | fs::perms::group_read |
                                         fs::perms::others_read);
    const auto r = runCli({"--layer", "26:1", "--in-place", "a.d"}, dir);
    fs::permissions(dir.file("a.d"), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(r.status, 7);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "trelvo-cli: a.d: File write error: Error: File I/O or User Entry "
                     "-Processing incomplete!\ntrelvo-cli: cannot replace 'a.d': the file is "
                     "read-only; 'a.d' is unchanged\n");
    EXPECT_EQ(readFile(dir.file("a.d")), kLib);
    EXPECT_EQ(listDir(dir), std::vector<std::string>{"a.d"});
}
#endif

#if !defined(_WIN32)
// Past the file-size limit the run ends in its write error with the system's reason, not killed
// by SIGXFSZ, and leaves no temporary file.
TEST(TrelvoCliFaults, FileSizeLimitIsAWriteError) {
    TempDir dir;
    std::string big = kLib.substr(0, kLib.rfind("*END*"));
    while (big.size() < 65536)
        big += "\"Description\" filler\r\n";
    writeFile(dir.file("lib.d"), big + "*END*\r\n");
    const std::string command = "cd '" + dir.path().string() + "' && ulimit -f 4 && exec '" +
                                TRELVO_CLI + "' --layer 26:1 -o out.d lib.d 2>err.txt >/dev/null";
    const int status = std::system(("bash -c \"" + command + "\"").c_str());
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 7);
    EXPECT_TRUE(has(readFile(dir.file("err.txt")), "cannot write 'out.d': File too large"))
        << readFile(dir.file("err.txt"));
    EXPECT_EQ(listDir(dir), (std::vector<std::string>{"err.txt", "lib.d"}));
}
#endif

TEST(TrelvoCliInPlace, AFailedPassLeavesTheInputAlone) {
    TempDir dir;
    const std::string late = crlf({kSig, "", "DIP8 I 0 0 2 2 4 0 8 1 0", "OPEN 2 10 26 -1", "",
                                   "BAD X 0 0 2 2 4 0 8 1 0", "OPEN 2 10 26 -1"});
    writeFile(dir.file("late.d"), late);
    writeFile(dir.file("a.d"), kLib);
    auto r = runCli({"--layer", "26:1", "--in-place", "late.d", "missing.d", "a.d"}, dir);
    EXPECT_EQ(r.status, 6);
    EXPECT_EQ(readFile(dir.file("late.d")), late);
    EXPECT_EQ(readFile(dir.file("a.d")), kLibLayer1);
    EXPECT_EQ(listDir(dir), (std::vector<std::string>{"a.d", "a.d.orig", "late.d"}));
    EXPECT_TRUE(has(r.out, "late.d: File format error\nmissing.d: File read error\n"));

    // A folder is no plain file.
    fs::create_directory(dir.file("dir.d"));
    r = runCli({"--layer", "26:1", "--in-place", "dir.d"}, dir);
    EXPECT_EQ(r.status, 4);
}

#if !defined(_WIN32)
// Faults injected with a preloaded shim: Linux only. The Windows suite makes the replacement fail
// with the system's own sharing locks instead.

// The environment that loads the fault shim. A sanitizer build would refuse to start with a
// library ahead of its runtime; the shim needs none, so that check is turned off.
std::vector<std::string> faultEnv(const std::string& fault) {
    const char* asan = std::getenv("ASAN_OPTIONS");
    return {std::string("LD_PRELOAD=") + TRELVO_FAULT_SHIM, "TRELVO_TEST_FAULT=" + fault,
            std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":verify_asan_link_order=0"};
}

struct Fault {
    const char* name;
    const char* detail;  // part of the extra line on standard error
};

class TrelvoCliInPlaceFault : public ::testing::TestWithParam<Fault> {};

TEST_P(TrelvoCliInPlaceFault, InputUntouchedAndNoTemporaryFileLeft) {
    TempDir dir;
    writeFile(dir.file("a.d"), kLib);
    writeFile(dir.file("b.d"), kLib);
    const auto r = runCli({"--layer", "26:1", "--in-place", "--report", "-", "a.d"}, dir,
                          faultEnv(GetParam().name));
    EXPECT_EQ(r.status, 7) << r.err;
    EXPECT_EQ(readFile(dir.file("a.d")), kLib);
    EXPECT_EQ(r.out, kHeader);  // nothing changed, so nothing reported
    EXPECT_TRUE(has(r.err,
                    "trelvo-cli: a.d: File write error: Error: File I/O or User Entry "
                    "-Processing incomplete!\n"))
        << r.err;
    EXPECT_TRUE(has(r.err, GetParam().detail)) << r.err;
    EXPECT_TRUE(has(r.err, "'a.d' is unchanged")) << r.err;
    for (const auto& name : listDir(dir)) {
        EXPECT_TRUE(name == "a.d" || name == "b.d" || name == "a.d.orig") << name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, TrelvoCliInPlaceFault,
    ::testing::Values(Fault{"mkstemp", "cannot create a temporary file"},
                      Fault{"fsync", "cannot flush to disk"}, Fault{"rename", "cannot replace"},
                      Fault{"corrupt", "the check of the written file failed: line 1 "}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TrelvoCliInPlace, BackupIsCopiedWhereLinksAreRefused) {
    TempDir dir;
    writeFile(dir.file("a.d"), kLib);
    const auto r = runCli({"--layer", "26:1", "--in-place", "a.d"}, dir, faultEnv("link"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(dir.file("a.d")), kLibLayer1);
    EXPECT_EQ(readFile(dir.file("a.d.orig")), kLib);
    EXPECT_EQ(listDir(dir), (std::vector<std::string>{"a.d", "a.d.orig"}));
}

#endif

}  // namespace
