// trelvo-cli --check --format sarif: the log a code scanning service reads, its strings and its
// artifact URIs.
#include <gtest/gtest.h>

#include <string>

#include "cli/sarif.h"
#include "cli_run.h"
#include "test_files.h"
#include "trelvo_version.h"

namespace {

using trelvo::test::readFile;
using trelvo::test::TempDir;
using trelvo::test::writeFile;

std::string replaced(std::string s, const std::string& from, const std::string& to) {
    for (auto at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

// Each finding a result on its INPUT's line, the checks its rules, an INPUT that cannot be read
// a notification; the summaries stay on standard error, the status as without SARIF.
TEST(SarifLog, OneResultPerFindingOnItsLine) {
    TempDir dir;
    writeFile(dir.file("house.d"), readFile(std::string(TRELVO_TEST_DATA) + "/house.d"));
    writeFile(dir.file("checks.toml"),
              "[[check]]\nname = \"silk width\"\nlayer = \"26\"\nallow = { width = [\"10mil\", "
              "\"0.254mm\"] }\n[[check]]\nname = \"no layer 1 labels\"\nkind = \"label\"\n"
              "layer = \"1\"\nforbid = true\nseverity = \"warning\"\n");
    const auto r = trelvo::test::runCli(
        {"--check", "checks.toml", "--format", "sarif", "house.d", "missing.d"}, dir);
    EXPECT_EQ(r.status, 4);
    const std::string expected =
        replaced(replaced(readFile(std::string(TRELVO_TEST_DATA) + "/house-checks.sarif"),
                          "@VERSION@", TRELVO_VERSION),
                 "@NO_SUCH_FILE@", trelvo::test::noSuchFileText());
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.err, "trelvo-cli: house.d: 2 error(s), 1 warning(s)\n"
                     "trelvo-cli: missing.d: File read error: Filename error -please check dir "
                     "and filename and retry. (" + trelvo::test::noSuchFileText() + ")\n");
}

// Nothing found: an empty list of results; the warnings on the rules file are notifications too.
TEST(SarifLog, NothingFoundAndTheWarnings) {
    TempDir dir;
    writeFile(dir.file("house.d"), readFile(std::string(TRELVO_TEST_DATA) + "/house.d"));
    writeFile(dir.file("none.toml"), "[[piece]]\nset = { layer = \"1\" }\n");
    const auto r = trelvo::test::runCli({"--check", "none.toml", "--format", "sarif", "house.d"}, dir);
    EXPECT_EQ(r.status, 1);  // BROKEN1's structure
    EXPECT_NE(r.out.find("\n      \"results\": [\n        {\"ruleId\": \"structure\", \"ruleIndex\": 0, "),
              std::string::npos);
    EXPECT_TRUE(r.out.ends_with(
        "      \"invocations\": [\n        {\n          \"executionSuccessful\": true,\n"
        "          \"toolConfigurationNotifications\": [\n            {\"level\": \"warning\", "
        "\"message\": {\"text\": \"none.toml: warning: no [[check]] table; only the decals' "
        "structure is checked\"}}\n          ]\n        }\n      ]\n    }\n  ]\n}\n"))
        << r.out;

    writeFile(dir.file("fine.d"), "*PADS-LIBRARY-PCB-DECALS-V9*\r\n\r\n*END*\r\n");
    const auto fine = trelvo::test::runCli({"--check", "none.toml", "--format", "sarif", "fine.d"}, dir);
    EXPECT_EQ(fine.status, 0);
    EXPECT_NE(fine.out.find("\n      \"results\": [],\n      \"invocations\": [\n"), std::string::npos)
        << fine.out;
}

TEST(SarifLog, JsonStrings) {
    const struct {
        std::string text, json;
    } rows[] = {
        {"", "\"\""},
        {"R0805: \"x\" \\ y", "\"R0805: \\\"x\\\" \\\\ y\""},
        {"tab\there\r\n\x01", "\"tab\\u0009here\\u000d\\u000a\\u0001\""},
        {"\xC2\xB5m \xE2\x82\xAC \xF0\x9F\x98\x80", "\"\xC2\xB5m \xE2\x82\xAC \xF0\x9F\x98\x80\""},
        // Not UTF-8: each byte read as Latin-1 (a library written in a Windows code page).
        {"\xB5m", "\"\xC2\xB5m\""},
        {"\xE2\x82", "\"\xC3\xA2\xC2\x82\""},                      // cut short
        {"\xC0\xAF", "\"\xC3\x80\xC2\xAF\""},                      // overlong
        {"\xED\xA0\x80", "\"\xC3\xAD\xC2\xA0\xC2\x80\""},          // a surrogate
        {"\xF4\x90\x80\x80", "\"\xC3\xB4\xC2\x90\xC2\x80\xC2\x80\""},  // past U+10FFFF
        {"\xFF", "\"\xC3\xBF\""},
    };
    for (const auto& row : rows) {
        std::string json;
        trelvo::cli::appendJsonString(json, row.text);
        EXPECT_EQ(json, row.json) << row.text;
    }
}

TEST(SarifLog, ArtifactUris) {
    const struct {
        const char* path;
        const char* uri;
    } rows[] = {
        {"lib.d", "lib.d"},
        {"libs/SMD parts.d", "libs/SMD%20parts.d"},
        {"100%#?.d", "100%25%23%3F.d"},
        {"\xC2\xB5.d", "%C2%B5.d"},
#ifdef _WIN32
        {"libs\\parts.d", "libs/parts.d"},
        {"C:\\libs\\parts.d", "file:///C:/libs/parts.d"},
        {"\\\\server\\share\\parts.d", "file://server/share/parts.d"},
        {"/libs/parts.d", "file:///libs/parts.d"},
#else
        {"/home/x/parts.d", "file:///home/x/parts.d"},
        {"a:b.d", "a%3Ab.d"},  // not taken for a scheme (on Windows, a drive)
        {"libs\\parts.d", "libs%5Cparts.d"},
#endif
    };
    for (const auto& row : rows)
        EXPECT_EQ(trelvo::cli::artifactUri(row.path), row.uri) << row.path;
}

}  // namespace
