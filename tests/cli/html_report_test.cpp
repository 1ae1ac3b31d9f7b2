// trelvo-cli --html: each drawing's frame holds every label and text at its height before and
// after, each says what it is in a hover title, and a layer has one colour on every page.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <sstream>
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

// The value of the attribute name="..." in a tag, or "".
std::string attribute(std::string_view tag, const std::string& name) {
    const std::string key = " " + name + "=\"";
    std::size_t at = tag.find(key);
    if (at == std::string_view::npos)
        return {};
    at += key.size();
    return std::string(tag.substr(at, tag.find('"', at) - at));
}

// The text between from and to after position at (advanced past it), or nothing.
std::optional<std::string> between(const std::string& s, const std::string& from,
                                   const std::string& to, std::size_t& at) {
    const std::size_t a = s.find(from, at);
    if (a == std::string::npos)
        return std::nullopt;
    const std::size_t b = s.find(to, a + from.size());
    if (b == std::string::npos)
        return std::nullopt;
    at = b + to.size();
    return s.substr(a + from.size(), b - a - from.size());
}

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
    std::vector<std::string> titles;
    for (const std::string& svg :
         drawings({"--rules", kData + "/ref-des-twice-as-high.toml", kData + "/house.d"})) {
        std::size_t at = 0;
        const auto box = between(svg, "viewBox=\"", "\"", at);
        if (!box)
            continue;
        double left = 0, top = 0, width = 0, height = 0;
        std::istringstream(*box) >> left >> top >> width >> height;
        const double right = left + width, bottom = top + height;
        while (const auto tag = between(svg, "<text ", ">", at)) {
            if (attribute(" " + *tag, "font-family") != "monospace" ||
                svg.compare(at, 7, "<title>") != 0)
                continue;
            // From x along textLength; from its size above the baseline (y grows downwards) to a
            // quarter of it below; the stroke around.
            const auto number = [&](const char* name) { return std::stod(attribute(" " + *tag, name)); };
            const double x = number("x"), y = number("y"), size = number("font-size");
            const double half = number("stroke-width") / 2;
            titles.push_back(*between(svg, "<title>", "</title>", at));
            EXPECT_GE(x - half, left) << titles.back();
            EXPECT_LE(x + number("textLength") + half, right) << titles.back();
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
    std::map<std::string, std::string> colours;
    for (const std::string& part : parts) {
        std::size_t at = 0;
        while (const auto colour = between(part, "background:", "\"></span>layer ", at)) {
            const std::string layer = part.substr(at, part.find('<', at) - at);
            EXPECT_EQ(colours.try_emplace(layer, *colour).first->second, *colour);
        }
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
