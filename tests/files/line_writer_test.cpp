// The line writer handing bytes that stay where they lie (a mapped library's) to its sink as
// spans: the bytes written are those of copying every one, whatever the mix and the sizes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/line_io.h"

namespace trelvo {
namespace {

// Keeps how many spans each write was given, and the bytes.
class SpanSink final : public ByteSink {
public:
    bool write(const char* data, std::size_t size) override {
        bytes.append(data, size);
        ++writes;
        return true;
    }
    bool writeSpans(const ByteSpan* spans, std::size_t count) override {
        for (std::size_t i = 0; i < count; ++i)
            bytes.append(spans[i].data, spans[i].size);
        gathered.push_back(count);
        return true;
    }
    std::string failure() const override { return {}; }
    std::string bytes;
    int writes = 0;
    std::vector<std::size_t> gathered;
};

TEST(LineWriter, SpansOfBytesInPlaceWriteWhatCopiesWould) {
    // Lines followed by their CR LF in place, a line whose line end is LF, and rebuilt lines.
    std::string library;
    for (int i = 0; i < 3000; ++i)
        library += "OPEN 2 10 26 -1\r\n" + std::to_string(i) + " 0\r\n";
    library += "LAST LF\n";
    // Blocks too small for a line, smaller than a flush of 1024 spans, and large.
    for (std::size_t block : {std::size_t{5}, std::size_t{64}, std::size_t{20000}, kDefaultWriteBlock}) {
        SCOPED_TRACE(block);
        SpanSink copied, spanned;
        LineWriter plain(copied, block), inPlace(spanned, block);
        inPlace.keepInPlace(library);
        std::string rebuilt;
        for (std::size_t at = 0, n = 0; at < library.size(); ++n) {
            const std::size_t end = library.find_first_of("\r\n", at);
            const std::string_view line(library.data() + at, end - at);
            if (n % 7 == 3) {
                rebuilt = "OPEN  2  10  " + std::to_string(n) + "  -1";  // rebuilt, not in place
                ASSERT_TRUE(plain.writeLine(rebuilt) && inPlace.writeLine(rebuilt));
            } else if (n % 11 == 5) {
                // Bytes as they are: a run in place, and a copy of it that is not.
                const std::string copy(line);
                ASSERT_TRUE(plain.write(line.data(), line.size()) && inPlace.write(line.data(), line.size()));
                ASSERT_TRUE(plain.write(copy.data(), copy.size()) && inPlace.write(copy.data(), copy.size()));
                ASSERT_TRUE(plain.writeLine("") && inPlace.writeLine(""));
            } else {
                ASSERT_TRUE(plain.writeLine(line) && inPlace.writeLine(line));
            }
            at = end + (library[end] == '\r' ? 2 : 1);
        }
        ASSERT_TRUE(plain.finish() && inPlace.finish());
        EXPECT_EQ(spanned.bytes, copied.bytes);
        EXPECT_EQ(spanned.writes, 0) << "every byte goes as a span";
        ASSERT_FALSE(spanned.gathered.empty());
        for (std::size_t count : spanned.gathered)
            EXPECT_LE(count, 1024u);
        // The unchanged lines between two rebuilt ones go as one span.
        if (block == kDefaultWriteBlock) {
            EXPECT_LT(spanned.gathered.size(), 20u);
        }
    }
}

}  // namespace
}  // namespace trelvo

namespace trelvo {
namespace {

// A rebuilt line that comes when 1024 spans are waiting: it is written after them, and the next
// rebuilt lines, longer ones, do not write over it before it goes.
TEST(LineWriter, ACopyAtTheSpanLimitIsKeptUntilWritten) {
    std::string library;
    for (int i = 0; i < 4000; ++i)
        library += "0 " + std::to_string(i) + "\r\n";
    SpanSink copied, spanned;
    LineWriter plain(copied), inPlace(spanned);
    inPlace.keepInPlace(library);
    std::size_t at = 0;
    for (int n = 0; at < library.size(); ++n) {
        const std::string rebuilt = std::string(n < 600 ? 10 : 200, char('a' + n % 26));
        ASSERT_TRUE(plain.writeLine(rebuilt) && inPlace.writeLine(rebuilt));
        const std::size_t end = library.find('\r', at);
        const std::string_view line(library.data() + at, end - at);
        ASSERT_TRUE(plain.writeLine(line) && inPlace.writeLine(line));
        at = end + 2;
    }
    ASSERT_TRUE(plain.finish() && inPlace.finish());
    EXPECT_TRUE(spanned.bytes == copied.bytes);
}

}  // namespace
}  // namespace trelvo
