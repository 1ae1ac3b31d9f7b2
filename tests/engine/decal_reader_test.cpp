// The reader of the decal format, and what the passes make of a decal whose header only the
// counts of the decal before it show (no empty line before it, no TIMESTAMP line after it).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/check.h"
#include "engine/decal_reader.h"
#include "engine/survey.h"
#include "engine/update.h"
#include "test_files.h"

namespace trelvo {
namespace {

const std::string kByCounts = TRELVO_TEST_DATA "/header-found-by-counts.d";

std::vector<Place> placesOf(const std::string& bytes) {
    MemorySource in(bytes);
    DecalReader reader(in, 7);  // small blocks: lines across their ends
    std::vector<Place> places;
    std::string_view line;
    for (auto step = reader.start(line); step == DecalReader::Step::Line;
         step = reader.next(DecalReader::Sight::All, {}, line))
        places.push_back(reader.place());
    return places;
}

TEST(DecalReader, TellsEachLinesPlaceAndFindsAHeaderByTheCountsBeforeIt) {
    using P = Place;
    const std::vector<Place> expected = {
        P::Signature, P::Empty,  P::Header,    P::Timestamp, P::Label,  P::LabelName,
        P::Piece,     P::Corner, P::Corner,    P::Terminal,  P::PadStack, P::PadLayer,
        P::PadLayer,  P::Header, P::Piece,     P::Corner,    P::Corner, P::Empty,
        P::Rest};
    EXPECT_EQ(placesOf(test::readFile(kByCounts)), expected);
}

std::string withCrLf(const std::string& bytes) {
    std::string crlf;
    for (char c : bytes) {
        if (c == '\n' && !crlf.ends_with('\r'))
            crlf += '\r';
        crlf += c;
    }
    return crlf;
}

// A walk that looks at pieces only (or labels and texts too) is handed the lines it asks for with
// the places a walk of every line gives them, finds each decal's lines ended as that walk does,
// and copies every other line on byte for byte.
TEST(DecalReader, AWalkOfPiecesPlacesLinesAsAWalkOfEveryLine) {
    using Sight = DecalReader::Sight;
    for (const char* name : {"header-found-by-counts.d", "empty-attribute.d", "house.d",
                             "mixed-units.d", "no-empty-lines.d", "outlines.d",
                             "ends-inside-counts.d", "odd-counted-lines.d", "header-among-counted-lines.d"}) {
        const std::string bytes = withCrLf(test::readFile(TRELVO_TEST_DATA "/" + std::string(name)));
        for (std::size_t block : {std::size_t{7}, std::size_t{1} << 16}) {
            std::vector<Place> every;
            std::vector<std::string> endings, ended;
            MemorySource all(bytes);
            DecalReader walk(all, block);
            std::string_view line;
            for (auto step = walk.start(line); step == DecalReader::Step::Line;
                 step = walk.next(Sight::All, {}, line)) {
                every.push_back(walk.place());
                if (walk.entered())
                    endings.push_back(walk.ended().why());
            }
            endings.push_back(walk.ended().why());
            for (Sight sight : {Sight::Pieces, Sight::Items}) {
                MemorySource in(bytes);
                std::string copy;
                StringSink sink(copy);
                LineWriter out(sink);
                DecalReader reader(in, block);
                auto step = reader.start(line);
                ASSERT_TRUE(out.writeLine(line));
                std::vector<Place> seen(every.size(), Place::Signature);
                while ((step = reader.next(sight, {&out}, line)) == DecalReader::Step::Line) {
                    ASSERT_LE(reader.lineNumber(), every.size()) << name;
                    seen[reader.lineNumber() - 1] = reader.place();
                    if (reader.entered())
                        ended.push_back(reader.ended().why());
                    EXPECT_EQ(reader.place(), every[reader.lineNumber() - 1])
                        << name << " line " << reader.lineNumber();
                    ASSERT_TRUE(out.writeLine(line));
                }
                ASSERT_EQ(step, DecalReader::Step::End) << name;
                ended.push_back(reader.ended().why());
                EXPECT_EQ(ended, endings) << name;
                ended.clear();
                ASSERT_TRUE(out.finish());
                EXPECT_TRUE(copy == bytes) << name << " not copied as it was";
                for (std::size_t i = 0; i < every.size(); ++i) {
                    const bool asked = every[i] == Place::Piece || every[i] == Place::Header ||
                                       (sight == Sight::Items &&
                                        (every[i] == Place::Label || every[i] == Place::Text));
                    if (asked) {
                        EXPECT_EQ(seen[i], every[i]) << name << " line " << i + 1 << " not handed out";
                    }
                }
            }
        }
    }
}

// Rewrites every piece width to 5 mil, in each decal's own unit.
UpdateResult widthTo5Mil(const std::string& bytes, std::string& out,
                         std::function<bool(std::string_view)> filter = {}) {
    std::string why;
    const auto rules = compileOptionPairs({false, true, "", "", "*", "5mil"}, why);
    MemorySource in(bytes);
    StringSink sink(out);
    return runUpdate({in, &sink, *rules, std::move(filter)});
}

std::string withLines(std::string bytes, const std::vector<std::pair<std::string, std::string>>& edits) {
    for (const auto& [from, to] : edits)
        bytes.replace(bytes.find(from + "\n"), from.size(), to);
    return withCrLf(bytes);
}

TEST(DecalReader, ADecalFoundByCountsIsReadInItsOwnUnit) {
    const std::string bytes = test::readFile(kByCounts);
    std::string out;
    UpdateResult r = widthTo5Mil(bytes, out);
    EXPECT_EQ(r.outcome, Outcome::Done);
    EXPECT_EQ(r.decalHeaders, 2u);
    EXPECT_EQ(r.decals, 2);
    EXPECT_EQ(out, withLines(bytes, {{"CIRCLE 2 10 26 -1", "CIRCLE  2  5  26  -1"},
                                     {"CIRCLE 2 0.254 26 -1", "CIRCLE  2  0.127  26  -1"}}));

    // Named by --decal like any other.
    out.clear();
    r = widthTo5Mil(bytes, out, [](std::string_view name) { return name == "METRIC"; });
    EXPECT_EQ(r.decals, 1);
    EXPECT_EQ(out, withLines(bytes, {{"CIRCLE 2 0.254 26 -1", "CIRCLE  2  0.127  26  -1"}}));

    MemorySource in(bytes);
    const Survey s = runSurvey({in});
    EXPECT_EQ(s.decals, 2u);
    EXPECT_EQ(s.decalsMm, 1u);
    EXPECT_EQ(s.decalsMils, 1u);
    EXPECT_EQ(s.decalsOffCount, 0u);
}

TEST(DecalReader, TheCheckerTellsADecalFoundByCountsApart) {
    // Widths of exactly 10 mil: 0.254 mm is that, 10 mm would not be.
    RuleSet rules;
    Check c;
    c.name = "width";
    c.allowedWidths.push_back(equalTest({*Decimal::parse("10"), Unit::Mils, "10mil"}));
    c.allowedWidthsText = {"10mil"};
    rules.checks.push_back(c);
    const std::string bytes = test::readFile(kByCounts);
    MemorySource in(bytes);
    std::vector<std::string> findings;
    const CheckResult r = runCheck({in, rules, [&](const Finding& f) {
                                        findings.push_back(std::string(f.decal) + ": " +
                                                           std::string(f.found));
                                    }});
    EXPECT_EQ(r.outcome, Outcome::Done);
    EXPECT_EQ(r.decalHeaders, 2u);
    EXPECT_EQ(findings, std::vector<std::string>{});
}

}  // namespace
}  // namespace trelvo
