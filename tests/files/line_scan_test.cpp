// The bulk scan for plain lines: fixed cases, then every vector path against the plain loop on
// random text, from every start, so chunk edges, lone CRs and LFs and stops fall everywhere.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>

#include "files/line_scan.h"

namespace trelvo {
namespace {

constexpr ScanPath kPaths[] = {ScanPath::Scalar, ScanPath::Avx2};
const LineStops kPass = LineStops::prefixes({"OP", "CL", "CI", "TI"});

struct Case {
    std::string text;
    LineStops stop;
    std::size_t end;  // of the run from 0
    std::uint64_t lines;
};

TEST(PlainRun, FixedCases) {
    const std::string many(100, 'x');
    const Case cases[] = {
        {"", "OC", 0, 0},
        {"abc\r\n", "OC", 5, 1},
        {"abc\r\nOPEN", "OC", 5, 1},                    // a stop character begins the next line
        {"abc\r\n\r\nx\r\n", "OC", 5, 1},               // an empty line
        {"abc\r\nde\nx\r\n", "OC", 5, 1},               // a lone LF ends the second line
        {"abc\r\nde\rx\r\n", "OC", 5, 1},               // a lone CR
        {"abc\r\n\nx\r\n", "OC", 5, 1},                 // an empty line ended by LF
        {"abc\r\nde", "OC", 5, 1},                      // no line end in the data
        {"abc\r", "OC", 0, 0},                          // CR LF split by the data's end
        {"Cx\r\n", "OC", 0, 0},
        {"Cx\r\n", "", 4, 1},
        {"Tx\r\nPy\r\nOz\r\n", "OCP", 4, 1},
        {"Tx\r\nPy\r\nOz\r\n", "OCT", 0, 0},
        {"ab\r\nPy\r\nTz\r\n", "OCPTX", 4, 1},          // more stops than the vector paths hold
        // Two-character prefixes: O and C lines go by unless OPEN, CLOSED or CIRCLE.
        {"ab\r\nOx\r\nCx\r\nTx\r\nCIRCLE\r\n", kPass, 16, 4},
        {"Ox\r\nOPEN\r\n", kPass, 4, 1},
        {"Cx\r\nO\r\nCL\r\n", kPass, 7, 2},
        {"ab\r\nT", kPass, 4, 1},                       // the second character is beyond the data
        {many + "\r\n" + many + "\r\nTIMESTAMP\r\n", kPass, 204, 2},
        {many + "\r\n" + many + "\r\n" + many + "\rz\r\n", "OC", 204, 2},
        {many + "\r\n" + many + "\r\nO" + many + "\r\n", "OC", 204, 2},
        {"a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\nh\r\ni\r\nj\r\nk\r\nl\r\n", "OC", 36, 12},
    };
    for (const ScanPath path : kPaths) {
        if (!scanPathAvailable(path))
            continue;
        for (const Case& c : cases) {
            std::uint64_t lines = 7;
            EXPECT_EQ(plainRunEndWith(path, c.text.data(), 0, c.text.size(), c.stop, lines), c.end)
                << static_cast<int>(path) << ": " << testing::PrintToString(c.text);
            EXPECT_EQ(lines, 7 + c.lines) << static_cast<int>(path) << ": "
                                          << testing::PrintToString(c.text);
        }
    }
}

TEST(PlainRun, VectorPathsAgreeWithThePlainLoop) {
    std::mt19937 rng(12345);
    const LineStops stops[] = {"", "OC", "OCP", "OCT", "OCPTX", kPass};
    // Mostly ordinary text with CR LF, seasoned with what stops a run.
    const char alphabet[] = "ab 1.-PTOCLI\r\n";
    for (int round = 0; round < 3000; ++round) {
        const std::size_t size = rng() % 300;
        const unsigned spice = 1 + rng() % 40;
        std::string text;
        while (text.size() < size) {
            if (rng() % spice == 0) {
                text += alphabet[rng() % (sizeof alphabet - 1)];
            } else {
                text.append(rng() % 30, 'x');
                text += "\r\n";
            }
        }
        const LineStops& stop = stops[rng() % std::size(stops)];
        for (std::size_t p = 0; p <= text.size(); ++p) {
            std::uint64_t expectLines = 0;
            const std::size_t expect = plainRunEndWith(ScanPath::Scalar, text.data(), p,
                                                       text.size(), stop, expectLines);
            for (const ScanPath path : {ScanPath::Avx2}) {
                if (!scanPathAvailable(path))
                    continue;
                std::uint64_t lines = 0;
                ASSERT_EQ(plainRunEndWith(path, text.data(), p, text.size(), stop, lines), expect)
                    << static_cast<int>(path) << " from " << p << " in "
                    << testing::PrintToString(text);
                ASSERT_EQ(lines, expectLines) << static_cast<int>(path) << " from " << p;
            }
        }
    }
}

// Counted runs (a piece's corners, a decal's terminals): the vector path against the plain loop,
// from every start and with every count, with and without refused prefixes.
TEST(CountedRun, VectorPathAgreesWithThePlainLoop) {
    if (!scanPathAvailable(ScanPath::Avx2))
        GTEST_SKIP() << "no AVX2 here";
    std::mt19937 rng(99);
    const Initials corners("0123456789-+. T");
    const LineStops timestamp = LineStops::prefixes({"TI"});
    const char alphabet[] = "12 .-xTI\r\n";
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const std::size_t size = rng() % 200;
        while (text.size() < size) {
            if (rng() % 6 == 0)
                text += alphabet[rng() % (sizeof alphabet - 1)];
            else
                text += std::string(rng() % 12, '1' + static_cast<char>(rng() % 3)) + "\r\n";
        }
        const LineStops* refuse = round % 2 ? &timestamp : nullptr;
        for (std::size_t p = 0; p <= text.size(); ++p) {
            const std::uint64_t count = rng() % 3 ? rng() % 40 : 1;
            std::uint64_t expectLines = 0, lines = 0;
            const std::size_t expect = countedRunEndWith(ScanPath::Scalar, text.data(), p,
                                                         text.size(), count, corners, refuse,
                                                         expectLines);
            ASSERT_EQ(countedRunEndWith(ScanPath::Avx2, text.data(), p, text.size(), count,
                                        corners, refuse, lines),
                      expect)
                << "from " << p << " count " << count << " in " << testing::PrintToString(text);
            ASSERT_EQ(lines, expectLines) << "from " << p;
        }
    }
}

}  // namespace
}  // namespace trelvo
