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

struct Figure {
    double minX, minY, width, height;                       // the viewBox
    std::vector<std::map<std::string, std::string>> texts;  // attributes, and "title"
};

// The drawings of a page in order: for each decal, before and after.
std::vector<Figure> figures(const std::string& page) {
    static const std::regex svg(
        R"re(<svg class="drawing"[^>]*viewBox="(\S+) (\S+) (\S+) (\S+)")re");
    static const std::regex text(R"re(<text ([^>]*)><title>([^<]*)</title>)re");
    static const std::regex attribute(R"re(([\w-]+)="([^"]*)")re");
    std::vector<Figure> out;
    for (std::sregex_iterator s(page.begin(), page.end(), svg), end; s != end; ++s) {
        Figure f{
            std::stod((*s)[1]), std::stod((*s)[2]), std::stod((*s)[3]), std::stod((*s)[4]), {}};
        const std::size_t close = page.find("</svg>", static_cast<std::size_t>(s->position()));
        const std::string body = page.substr(static_cast<std::size_t>(s->position()),
                                             close - static_cast<std::size_t>(s->position()));
        for (std::sregex_iterator t(body.begin(), body.end(), text); t != end; ++t) {
            std::map<std::string, std::string> a{{"title", (*t)[2]}};
            const std::string tag = (*t)[1];
            for (std::sregex_iterator k(tag.begin(), tag.end(), attribute); k != end; ++k)
                a[(*k)[1]] = (*k)[2];
            f.texts.push_back(a);
        }
        out.push_back(f);
    }
    return out;
}

TEST(HtmlPage, LabelMadeTwiceAsHighStaysWholeInsideTheAfterDrawing) {
    TempDir dir;
    const auto r = runCli({"--rules", kData + "/ref-des-twice-as-high.toml", "--dry-run", "--html",
                           "page.html", kData + "/house.d"},
                          dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<Figure> drawn = figures(readFile(dir.file("page.html")));
    ASSERT_EQ(drawn.size(), 4u);  // SOIC8 and R0805, before and after
    const std::vector<std::vector<std::string>> titles = {
        {"label REF-DES: height 50 mil, width 5 mil, layer 26",
         "label PART-TYPE: height 50 mil, width 5 mil, layer 1",
         "text PIN 1: height 40 mil, width 4 mil, layer 26"},
        {"label REF-DES: height 100 mil, width 5 mil, layer 26",
         "label PART-TYPE: height 50 mil, width 5 mil, layer 1",
         "text PIN 1: height 40 mil, width 4 mil, layer 26"},
        {"label REF-DES: height 1.27 mm, width 0.127 mm, layer 26"},
        {"label REF-DES: height 2.54 mm, width 0.127 mm, layer 26"}};
    for (std::size_t i = 0; i < drawn.size(); ++i) {
        const Figure& f = drawn[i];
        std::vector<std::string> seen;
        for (const auto& t : f.texts) {
            seen.push_back(t.at("title"));
            // A text covers textLength from x, and from a quarter of its size under the
            // baseline to its size above it (y grows downwards), with its stroke around.
            const double x = std::stod(t.at("x")), y = std::stod(t.at("y"));
            const double size = std::stod(t.at("font-size")),
                         half = std::stod(t.at("stroke-width")) / 2;
            EXPECT_GE(x - half, f.minX) << t.at("title");
            EXPECT_LE(x + std::stod(t.at("textLength")) + half, f.minX + f.width) << t.at("title");
            EXPECT_GE(y - size - half, f.minY) << t.at("title");
            EXPECT_LE(y + size / 4 + half, f.minY + f.height) << t.at("title");
        }
        EXPECT_EQ(seen, titles[i]) << "drawing " << i;
    }
}

// The legend's colour of each layer, and the colours the pieces of each drawing are drawn in.
struct Colours {
    std::map<std::string, std::string> legend;
    std::vector<std::vector<std::string>> strokes;
};

Colours coloursOf(const std::string& page) {
    static const std::regex swatch(R"re(background:(#\w+)"></span>layer ([^<]*))re");
    // A piece's line; the band under a rewritten one goes on in a class of its own.
    static const std::regex path(
        R"re(<path d="[^"]*" fill="none" stroke="(#\w+)" stroke-width="[^"]*" [^>]*round"/>)re");
    Colours c;
    const std::sregex_iterator end;
    for (std::sregex_iterator s(page.begin(), page.end(), swatch); s != end; ++s)
        c.legend[(*s)[2]] = (*s)[1];
    for (std::size_t at = page.find("<figure>"); at != std::string::npos;
         at = page.find("<figure>", at + 1)) {
        const std::string figure = page.substr(at, page.find("</figure>", at) - at);
        c.strokes.emplace_back();
        for (std::sregex_iterator p(figure.begin(), figure.end(), path); p != end; ++p)
            c.strokes.back().push_back((*p)[1]);
    }
    return c;
}

TEST(HtmlPage, ALayerHasOneColourOnEveryPage) {
    TempDir dir;
    // Layers 1, 20, 26 and 27 on one page; 20, 26 and 27 on the other, met in another order.
    ASSERT_EQ(runCli({"--layer", "27:20", "--dry-run", "--html", "a.html", kData + "/house.d"}, dir)
                  .status,
              0);
    ASSERT_EQ(runCli({"--layer", "20:27", "--dry-run", "--html", "b.html",
                      kData + "/outlines-on-layers-20-and-26.d"},
                     dir)
                  .status,
              0);
    const Colours a = coloursOf(readFile(dir.file("a.html")));
    const Colours b = coloursOf(readFile(dir.file("b.html")));
    ASSERT_EQ(a.legend.size(), 4u);
    ASSERT_EQ(b.legend.size(), 3u);
    std::set<std::string> distinct;
    for (const auto& [layer, colour] : a.legend)
        distinct.insert(colour);
    EXPECT_EQ(distinct.size(), a.legend.size());
    for (const auto& [layer, colour] : b.legend)
        EXPECT_EQ(a.legend.at(layer), colour) << "layer " << layer;
    // The legend tells the colours the drawings use.
    const std::string c20 = b.legend.at("20"), c26 = b.legend.at("26"), c27 = b.legend.at("27");
    EXPECT_EQ(b.strokes, (std::vector<std::vector<std::string>>{{c20, c26}, {c27, c26}}));
}

}  // namespace
