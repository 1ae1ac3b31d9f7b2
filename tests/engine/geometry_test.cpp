// The geometry reader: every decal of the real libraries reads without a line left unread, with
// the piece and terminal counts its header gives, and boxes of hand-checked decals.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/decal_reader.h"
#include "engine/fields.h"
#include "engine/geometry.h"

namespace {

using namespace trelvo;

const std::string kReal = TRELVO_REAL_LIBRARIES;

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A decal's lines with their places, as the reader hands them out.
struct ReadDecal {
    Decal decal;
    std::vector<std::string> lines;
    std::vector<Place> places;
    DecalGeometry geometry() const {
        std::vector<PlacedLine> placed;
        for (std::size_t i = 0; i < lines.size(); ++i)
            placed.push_back({lines[i], places[i]});
        return ReadDecalGeometry(decal, placed);
    }
};

std::vector<ReadDecal> decalsOf(const std::string& text) {
    MemorySource in(text);
    DecalReader reader(in);
    std::vector<ReadDecal> decals;
    std::string_view line;
    std::string previous;
    for (auto step = reader.start(line); step == DecalReader::Step::Line;
         step = reader.next(DecalReader::Sight::All, {}, line)) {
        if (reader.entered()) {
            // A header known by the TIMESTAMP line after it went with the decal before.
            if (reader.decal().header != reader.lineNumber() && !decals.empty()) {
                decals.back().lines.pop_back();
                decals.back().places.pop_back();
            }
            decals.push_back({reader.decal(), {}, {}});
            if (reader.decal().header != reader.lineNumber()) {
                decals.back().lines.push_back(previous);
                decals.back().places.push_back(Place::Header);
            }
        }
        previous.assign(line);
        if (!decals.empty()) {
            decals.back().lines.emplace_back(line);
            decals.back().places.push_back(reader.place());
        }
    }
    return decals;
}

std::size_t fieldAsCount(std::string_view line, int i) {
    const Fields f = Str2Ary_All(line, " ", 1);
    return std::stoul(std::string(f[i]));
}

void expectBox(const Box& b, double x1, double y1, double x2, double y2) {
    ASSERT_FALSE(b.empty);
    EXPECT_NEAR(b.minX, x1, 1e-9);
    EXPECT_NEAR(b.minY, y1, 1e-9);
    EXPECT_NEAR(b.maxX, x2, 1e-9);
    EXPECT_NEAR(b.maxY, y2, 1e-9);
}

// Reads the decal called name from a library.
DecalGeometry decalOf(const std::string& text, std::string_view name) {
    for (const ReadDecal& d : decalsOf(text)) {
        if (d.decal.name == name)
            return d.geometry();
    }
    ADD_FAILURE() << "no decal " << name;
    return {};
}

TEST(Geometry, EveryDecalOfTheRealLibrariesReads) {
    if (!std::filesystem::exists(kReal))
        GTEST_SKIP() << "no real libraries";
    std::size_t libraries = 0, decals = 0;
    for (const auto& e : std::filesystem::directory_iterator(kReal)) {
        if (e.path().extension() != ".d")
            continue;
        ++libraries;
        const std::string text = slurp(e.path().string());
        std::size_t timestamps = 0, read = 0;
        for (std::size_t at = text.find("TIMESTAMP"); at != std::string::npos;
             at = text.find("TIMESTAMP", at + 1))
            timestamps += at == 0 || text[at - 1] == '\n' || text[at - 1] == '\r';
        // Decals one after the other by their counts, with or without empty lines between.
        for (const ReadDecal& r : decalsOf(text)) {
            const DecalGeometry d = r.geometry();
            ++read;
            SCOPED_TRACE(e.path().filename().string() + ": " + d.name);
            EXPECT_TRUE(d.unread.empty())
                << "first unread line " << (d.unread.empty() ? 0 : d.unread[0] + 1);
            EXPECT_EQ(d.pieces.size(), fieldAsCount(r.lines[0], 7));
            EXPECT_EQ(d.terminals.size(), fieldAsCount(r.lines[0], 9));
            for (const GeometryPiece& p : d.pieces) {
                if (p.keyword == "CIRCLE") {
                    EXPECT_EQ(p.points.size(), 2u);
                }
            }
        }
        EXPECT_EQ(read, timestamps) << e.path();
        decals += read;
    }
    EXPECT_EQ(libraries, 13u);
    EXPECT_EQ(decals, 1u + 1 + 1 + 1 + 1 + 1 + 1 + 14 + 16 + 9 + 131 + 470 + 1182);
}

TEST(Geometry, HandCheckedBoxes) {
    if (!std::filesystem::exists(kReal))
        GTEST_SKIP() << "no real libraries";
    {
        const std::string text =
            slurp(kReal + "/stefan-zugravel__introduzione_elettronica__TRV20510M.d");
        const DecalGeometry d = decalOf(text, "TRV20510M");
        EXPECT_EQ(d.unit, Unit::Millimetres);
        ASSERT_EQ(d.pieces.size(), 4u);
        expectBox(DecalBox(d), -2.8, -8.62, 18.8, 3.3);
        // Two half circles of radius 0.05 about (0, 2.85): 90 to 270 degrees, then -90 to 90.
        const GeometryPiece& mark = d.pieces[3];
        ASSERT_EQ(mark.points.size(), 5u);
        EXPECT_TRUE(mark.points[1].arc);
        EXPECT_EQ(mark.points[1].begin, 90);
        EXPECT_EQ(mark.points[1].sweep, 180);
        expectBox(PieceBox(mark), -0.05, 2.8, 0.05, 2.9);
        ASSERT_EQ(d.terminals.size(), 4u);
        EXPECT_EQ(d.terminals[2].x, 12);
        EXPECT_EQ(d.terminals[2].pin, "7");
    }
    {
        const std::string text = slurp(kReal + "/dirtbirb__pads2step__MOLEX_1051330011.d");
        const DecalGeometry d = decalOf(text, "MOLEX_1051330011");
        ASSERT_EQ(d.pieces.size(), 7u);
        expectBox(PieceBox(d.pieces[0]), -4, -0.5, 4, 3.25);
        // A circle from the two ends of its diameter.
        EXPECT_EQ(d.pieces[1].keyword, "CIRCLE");
        expectBox(PieceBox(d.pieces[1]), -0.25, -0.25, 0.25, 0.25);
        EXPECT_EQ(d.pieces[4].width, 0.12);
        EXPECT_EQ(d.pieces[4].layer, "27");
    }
}

TEST(Geometry, LabelsAndTextsWithTheirPlaceSizeAndLayer) {
    const std::string text = slurp(std::string(TRELVO_TEST_DATA) + "/house.d");
    const DecalGeometry d = decalOf(text, "SOIC8");
    ASSERT_EQ(d.texts.size(), 3u);
    const auto same = [](const GeometryText& t, bool label, std::size_t line, double x, double y,
                         double h, double w, const char* layer, const char* what) {
        EXPECT_EQ(t.label, label);
        EXPECT_EQ(t.line, line);
        EXPECT_EQ(t.x, x);
        EXPECT_EQ(t.y, y);
        EXPECT_EQ(t.height, h);
        EXPECT_EQ(t.width, w);
        EXPECT_EQ(t.layer, layer);
        EXPECT_EQ(t.text, what);
    };
    same(d.texts[0], true, 3, 0, 100, 50, 5, "26", "REF-DES");
    same(d.texts[1], true, 5, 0, 0, 50, 5, "1", "PART-TYPE");
    same(d.texts[2], false, 22, -50, -60, 40, 4, "26", "PIN 1");
    EXPECT_EQ(d.pieces.size(), 4u);
    EXPECT_EQ(d.terminals.size(), 2u);
}

TEST(Geometry, UnreadableLinesAreLeftOut) {
    const std::string lib = "*PADS-LIBRARY-PCB-DECALS-V9*\n"
                            "\n"
                            "X M 0 0 0 0 2 0 1 1 0\n"
                            "TIMESTAMP 2020\n"
                            "OPEN 2 0.1 26 -1\n"
                            "0 0\n"
                            "1 one\n"
                            "CLOSED 2 0.1 26 -1\n"
                            "0 0\n"
                            "2 2\n"
                            "Tfar 0 0 0 1\n"
                            "PAD 0 1 P 0\n"
                            "-2 1 R\n"
                            "\n"
                            "NEXT M 0 0 0 0 0 0 0 0 0\n";
    const DecalGeometry d = decalOf(lib, "X");
    EXPECT_EQ(d.name, "X");
    ASSERT_EQ(d.pieces.size(), 1u);  // the OPEN piece with an unreadable corner is left out
    EXPECT_EQ(d.pieces[0].keyword, "CLOSED");
    EXPECT_TRUE(d.terminals.empty());
    EXPECT_EQ(d.unread, (std::vector<std::size_t>{4, 8}));
    // Counts that are no counts: nothing is known of the lines, nothing is drawn.
    const DecalGeometry b = decalOf("*PADS-LIBRARY-PCB-DECALS-V9*\n\nBIG M 0 0 9223372036854775807 "
                                    "99999999999999999999999 9223372036854775807 0 0 0 0\n"
                                    "TIMESTAMP 2020\nOPEN 1 1 1 -1\n0 0\n",
                                    "BIG");
    EXPECT_TRUE(b.pieces.empty());
    EXPECT_EQ(b.unread, (std::vector<std::size_t>{2}));
    // Cut short: no more than the lines there are.
    const DecalGeometry part = decalOf(lib.substr(0, lib.find("1 one")), "X");
    ASSERT_EQ(part.pieces.size(), 1u);
    EXPECT_EQ(part.pieces[0].points.size(), 1u);
}

}  // namespace
