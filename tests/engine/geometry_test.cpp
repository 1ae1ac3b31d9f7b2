// The geometry reader: every decal of the real libraries reads without a line left unread, with
// the piece and terminal counts its header gives, and boxes of hand-checked decals.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/fields.h"
#include "engine/geometry.h"

namespace {

using namespace trelvo;

const std::string kReal = TRELVO_REAL_LIBRARIES;

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Lines end at CR LF, CR or LF, as the libraries are read.
std::vector<std::string_view> linesOf(const std::string& text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.emplace_back(text.data() + start, i - start);
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < text.size())
        lines.emplace_back(text.data() + start, text.size() - start);
    return lines;
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
DecalGeometry decalOf(const std::vector<std::string_view>& lines, std::string_view name) {
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].starts_with(name) && lines[i].size() > name.size() &&
            lines[i][name.size()] == ' ') {
            std::size_t next = 0;
            return ReadDecalGeometry(lines, i, next);
        }
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
        const auto lines = linesOf(text);
        std::size_t timestamps = 0, read = 0;
        for (const auto& l : lines)
            timestamps += l.starts_with("TIMESTAMP");
        // Decals one after the other by their counts, with or without empty lines between.
        for (std::size_t i = 1; i < lines.size();) {
            if (Str2Ary_All(lines[i], " ", 1).count() != 11) {
                ++i;
                continue;
            }
            std::size_t next = 0;
            const DecalGeometry d = ReadDecalGeometry(lines, i, next);
            ++read;
            SCOPED_TRACE(e.path().filename().string() + ": " + d.name);
            EXPECT_TRUE(d.unread.empty())
                << "first unread line " << (d.unread.empty() ? 0 : d.unread[0] + 1);
            EXPECT_EQ(d.pieces.size(), fieldAsCount(lines[i], 7));
            EXPECT_EQ(d.terminals.size(), fieldAsCount(lines[i], 9));
            for (const GeometryPiece& p : d.pieces) {
                if (p.keyword == "CIRCLE") {
                    EXPECT_EQ(p.points.size(), 2u);
                }
            }
            ASSERT_GT(next, i);
            i = next;
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
        const DecalGeometry d = decalOf(linesOf(text), "TRV20510M");
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
        const DecalGeometry d = decalOf(linesOf(text), "MOLEX_1051330011");
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
    const auto lines = linesOf(text);
    const DecalGeometry d = decalOf(lines, "SOIC8");
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
    same(d.texts[0], true, 8, 0, 100, 50, 5, "26", "REF-DES");
    same(d.texts[1], true, 10, 0, 0, 50, 5, "1", "PART-TYPE");
    same(d.texts[2], false, 27, -50, -60, 40, 4, "26", "PIN 1");
    EXPECT_EQ(d.pieces.size(), 4u);
    EXPECT_EQ(d.terminals.size(), 2u);
}

TEST(Geometry, UnreadableLinesAreLeftOut) {
    const std::vector<std::string_view> lines = {"*PADS-LIBRARY-PCB-DECALS-V9*",
                                                 "",
                                                 "X M 0 0 0 0 2 0 1 1 0",
                                                 "TIMESTAMP 2020",
                                                 "OPEN 2 0.1 26 -1",
                                                 "0 0",
                                                 "1 one",
                                                 "CLOSED 2 0.1 26 -1",
                                                 "0 0",
                                                 "2 2",
                                                 "Tfar 0 0 0 1",
                                                 "PAD 0 1 P 0",
                                                 "-2 1 R",
                                                 "",
                                                 "NEXT M 0 0 0 0 0 0 0 0 0"};
    std::size_t next = 0;
    const DecalGeometry d = ReadDecalGeometry(lines, 2, next);
    EXPECT_EQ(d.name, "X");
    ASSERT_EQ(d.pieces.size(), 1u);  // the OPEN piece with an unreadable corner is left out
    EXPECT_EQ(d.pieces[0].keyword, "CLOSED");
    EXPECT_TRUE(d.terminals.empty());
    EXPECT_EQ(d.unread, (std::vector<std::size_t>{6, 10}));
    EXPECT_EQ(next, 13u);
    // Not a decal header: nothing, one line on.
    const DecalGeometry none = ReadDecalGeometry(lines, 4, next);
    EXPECT_TRUE(none.name.empty());
    EXPECT_EQ(next, 5u);
    // Counts far beyond the lines there are, or beyond any integer, read to the end.
    const std::vector<std::string_view> big = {
        "BIG M 0 0 9223372036854775807 99999999999999999999999 9223372036854775807 0 0 0 0",
        "TIMESTAMP 2020", "x", "y"};
    const DecalGeometry b = ReadDecalGeometry(big, 0, next);
    EXPECT_EQ(b.name, "BIG");
    EXPECT_TRUE(b.pieces.empty());
    EXPECT_EQ(next, 4u);
    // Cut short: no more than the lines there are.
    const std::vector<std::string_view> cut(lines.begin(), lines.begin() + 6);
    const DecalGeometry part = ReadDecalGeometry(cut, 2, next);
    EXPECT_EQ(next, 6u);
    ASSERT_EQ(part.pieces.size(), 1u);
    EXPECT_EQ(part.pieces[0].points.size(), 1u);
}

}  // namespace
