// trelvo-cli --html: a layer has one colour on every page.
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
