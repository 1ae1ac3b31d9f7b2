// trelvo-cli --html: each drawing's frame holds every label and text at its height before and
// after, each says what it is in a hover title, and a layer has one colour on every page.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "cli_run.h"
#include "test_files.h"

namespace {

using trelvo::test::readFile;
using trelvo::test::runCli;
using trelvo::test::TempDir;

const std::string kData = TRELVO_TEST_DATA;
using Matches = std::sregex_iterator;

// The page of `trelvo-cli --dry-run ARGS... --html page.html`, split at its drawings (the first
// part is what comes before them).
std::vector<std::string> drawings(std::vector<std::string> args) {
    TempDir dir;
    args.insert(args.end(), {"--dry-run", "--html", "page.html"});
    EXPECT_EQ(runCli(args, dir).status, 0);
    const std::string page = readFile(dir.file("page.html"));
    std::vector<std::string> parts;
    for (std::size_t at = 0, next = 0; next != std::string::npos; at = next + 1) {
        next = page.find("<svg class=\"drawing\"", at);
        parts.push_back(page.substr(at, next - at));
    }
    return parts;
}

TEST(HtmlPage, LabelMadeTwiceAsHighStaysWholeInsideTheAfterDrawing) {
    static const std::regex box(R"re(viewBox="(\S+) (\S+) (\S+) (\S+)")re");
    static const std::regex text(
        R"re(<text x="(\S+)" y="(\S+)" font-family="monospace" font-size="(\S+)" textLength="(\S+)")re"
        R"re([^>]* stroke-width="(\S+)"><title>([^<]*)</title>)re");
    std::vector<std::string> titles;
    for (const std::string& svg :
         drawings({"--rules", kData + "/ref-des-twice-as-high.toml", kData + "/house.d"})) {
        std::smatch b;
        if (!std::regex_search(svg, b, box))
            continue;
        const double left = std::stod(b[1]), top = std::stod(b[2]);
        const double right = left + std::stod(b[3]), bottom = top + std::stod(b[4]);
        for (Matches t(svg.begin(), svg.end(), text), end; t != end; ++t) {
            // From x along textLength; from its size above the baseline (y grows downwards) to a
            // quarter of it below; the stroke around.
            const double x = std::stod((*t)[1]), y = std::stod((*t)[2]), size = std::stod((*t)[3]);
            const double half = std::stod((*t)[5]) / 2;
            titles.push_back((*t)[6]);
            EXPECT_GE(x - half, left) << titles.back();
            EXPECT_LE(x + std::stod((*t)[4]) + half, right) << titles.back();
            EXPECT_GE(y - size - half, top) << titles.back();
            EXPECT_LE(y + size / 4 + half, bottom) << titles.back();
        }
    }
    // SOIC8 before and after, then R0805.
    EXPECT_EQ(titles, (std::vector<std::string>{
                          "label REF-DES: height 50 mil, width 5 mil, layer 26",
                          "label PART-TYPE: height 50 mil, width 5 mil, layer 1",
                          "text PIN 1: height 40 mil, width 4 mil, layer 26",
                          "label REF-DES: height 100 mil, width 5 mil, layer 26",
                          "label PART-TYPE: height 50 mil, width 5 mil, layer 1",
                          "text PIN 1: height 40 mil, width 4 mil, layer 26",
                          "label REF-DES: height 1.27 mm, width 0.127 mm, layer 26",
                          "label REF-DES: height 2.54 mm, width 0.127 mm, layer 26"}));
}

// The legend of a page: each layer's colour.
std::map<std::string, std::string> legend(const std::vector<std::string>& parts) {
    static const std::regex swatch(R"re(background:(#\w+)"></span>layer ([^<]*))re");
    std::map<std::string, std::string> colours;
    for (const std::string& part : parts) {
        for (Matches m(part.begin(), part.end(), swatch), end; m != end; ++m)
            EXPECT_EQ(colours.try_emplace((*m)[2], (*m)[1]).first->second, (*m)[1]);
    }
    return colours;
}

TEST(HtmlPage, ALayerHasOneColourOnEveryPage) {
    // Layers 1, 20, 26 and 27 on one page; 20, 26 and 27 on the other, met in another order.
    const auto a = legend(drawings({"--layer", "27:20", kData + "/house.d"}));
    const auto b =
        legend(drawings({"--layer", "20:27", kData + "/outlines-on-layers-20-and-26.d"}));
    ASSERT_EQ(a.size(), 4u);
    ASSERT_EQ(b.size(), 3u);
    for (const auto& [layer, colour] : b)
        EXPECT_EQ(a.at(layer), colour) << "layer " << layer;
    std::set<std::string> distinct;
    for (const auto& [layer, colour] : a)
        distinct.insert(colour);
    EXPECT_EQ(distinct.size(), a.size());
}

}  // namespace
