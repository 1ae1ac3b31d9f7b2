// File channels: line splitting across block boundaries, CR LF written after every line, channel
// numbering and closing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "files/channels.h"
#include "test_files.h"

namespace trelvo {
namespace {

constexpr std::size_t kBlock = std::size_t{1} << 20;

std::vector<std::string> readAll(const std::string& bytes) {
    test::TempDir dir;
    const std::string path = dir.file("in.d");
    test::writeFile(path, bytes);
    FileChannels files;
    const int16_t ch = files.FreeFile();
    EXPECT_TRUE(files.OpenInput(ch, path));
    std::vector<std::string> lines;
    std::string_view line;
    while (!files.AtEnd(ch)) {
        EXPECT_TRUE(files.ReadLine(ch, line));
        lines.emplace_back(line);
    }
    EXPECT_FALSE(files.ReadLine(ch, line));  // reading past the end fails
    EXPECT_TRUE(files.Close(ch));
    return lines;
}

TEST(FileChannels, LineEnds) {
    using L = std::vector<std::string>;
    EXPECT_EQ(readAll(""), L{});
    EXPECT_EQ(readAll("a"), L{"a"});
    EXPECT_EQ(readAll("a\r\n"), L{"a"});
    EXPECT_EQ(readAll("a\r\nb"), (L{"a", "b"}));
    EXPECT_EQ(readAll("a\rb\nc\r\nd"), (L{"a", "b", "c", "d"}));
    EXPECT_EQ(readAll("\r\n\r\n"), (L{"", ""}));
    EXPECT_EQ(readAll("\n\r"), (L{"", ""}));
    EXPECT_EQ(readAll("a\r\r\nb"), (L{"a", "", "b"}));
}

TEST(FileChannels, LinesAcrossBlockBoundaries) {
    // A CR as the last byte of a block followed by LF as the first of the next is one line end.
    std::string bytes(kBlock - 1, 'x');
    bytes += "\r\nnext\r\n";
    auto lines = readAll(bytes);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), kBlock - 1);
    EXPECT_EQ(lines[1], "next");

    // A line of several blocks, then a short one without a line end.
    bytes = std::string(3 * kBlock + 17, 'y') + "\nz";
    lines = readAll(bytes);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string(3 * kBlock + 17, 'y'));
    EXPECT_EQ(lines[1], "z");

    // A lone CR that ends a block, followed by another line.
    bytes = std::string(kBlock - 1, 'w') + "\rv";
    lines = readAll(bytes);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "v");

    // A file that ends exactly with the CR of a CR LF split over the block end.
    bytes = std::string(kBlock - 1, 'u') + "\r\n";
    EXPECT_EQ(readAll(bytes).size(), 1u);
}

// Copies a file the way the update pass does (runs of plain lines in bulk, the others one by one)
// through channels with the given block sizes.
std::string copyThrough(const std::string& bytes, std::size_t readBlock, std::size_t writeBlock) {
    test::TempDir dir;
    test::writeFile(dir.file("in.d"), bytes);
    FileChannels files(readBlock, writeBlock);
    EXPECT_TRUE(files.OpenInput(1, dir.file("in.d")));
    EXPECT_TRUE(files.OpenOutput(2, dir.file("out.d")));
    std::uint64_t plain = 0;
    std::string_view line;
    while (!files.AtEnd(1)) {
        const std::uint64_t before = plain;
        EXPECT_TRUE(files.CopyPlainLines(1, 2, "OC", plain));
        if (plain != before)
            continue;
        EXPECT_TRUE(files.ReadLine(1, line));
        EXPECT_TRUE(files.WriteLine(2, line));
    }
    EXPECT_TRUE(files.Close(1));
    EXPECT_TRUE(files.Close(2));
    return test::readFile(dir.file("out.d"));
}

TEST(FileChannels, BlockSizesChangeNoByte) {
    std::string bytes = "*PADS-LIBRARY-PCB-DECALS\r\n";
    for (int i = 0; i < 40; ++i) {
        bytes += "plain line " + std::to_string(i) + "\r\n";
        bytes += i % 3 ? "OPEN 2 10 26 -1\r\n" : "CLOSED 5 8 1 -1\n";
        bytes += i % 4 ? "\r\n" : "\r";
        bytes += std::string(static_cast<std::size_t>(i * 7 + 1), 'q') + "\n\r\n";
    }
    bytes += "last";
    const std::string expected = copyThrough(bytes, FileChannels::kDefaultReadBlock,
                                             FileChannels::kDefaultWriteBlock);
    EXPECT_EQ(std::count(expected.begin(), expected.end(), '\n'), 40 * 5 + 2);
    for (std::size_t read : {1, 2, 3, 16, 31, 32, 33, 64, 100}) {
        for (std::size_t write : {1, 7, 64}) {
            EXPECT_EQ(copyThrough(bytes, read, write), expected) << read << " " << write;
        }
    }
}

// Lines the keep callback lets go are copied with the plain lines and never handed out (unless
// a block boundary splits them); every byte and every line number stays as without it.
TEST(FileChannels, KeptLinesGoWithTheBulkCopy) {
    std::string bytes = "*PADS-LIBRARY-PCB-DECALS\r\n";
    for (int i = 0; i < 40; ++i) {
        bytes += "plain line " + std::to_string(i) + "\r\n";
        bytes += "OPEN 2 10 " + std::to_string(i) + " -1\r\n";
        bytes += i % 3 ? "CLOSED 5 8 1 -1\r\n" : "CLOSED 5 8 1 -1\n";
        bytes += i % 4 ? "\r\n" : "\r";
        bytes += std::string(static_cast<std::size_t>(i * 7 + 1), 'q') + "\n\r\n";
    }
    bytes += "last";
    const std::string expected = copyThrough(bytes, FileChannels::kDefaultReadBlock,
                                             FileChannels::kDefaultWriteBlock);
    const LineStops stop = "OC";
    for (std::size_t read : {std::size_t{1}, std::size_t{3}, std::size_t{16}, std::size_t{33},
                             std::size_t{100}, FileChannels::kDefaultReadBlock}) {
        SCOPED_TRACE(read);
        test::TempDir dir;
        test::writeFile(dir.file("in.d"), bytes);
        FileChannels files(read, 64);
        ASSERT_TRUE(files.OpenInput(1, dir.file("in.d")));
        ASSERT_TRUE(files.OpenOutput(2, dir.file("out.d")));
        struct Asked {
            int open = 0, closed = 0;
        } asked;
        const FileChannels::KeepLine keep{
            [](void* context, std::string_view l) {
                auto& a = *static_cast<Asked*>(context);
                ++(l.starts_with("OPEN") ? a.open : a.closed);
                return l.starts_with("OPEN");
            },
            &asked};
        std::uint64_t lineNumber = 0;
        std::string_view line;
        int handedOpen = 0, handedClosed = 0;
        for (;;) {
            const auto next = files.CopyToNextLine(1, 2, &stop, line, lineNumber, keep);
            if (next == FileChannels::Next::End)
                break;
            ASSERT_EQ(next, FileChannels::Next::Line);
            handedOpen += line.starts_with("OPEN");
            handedClosed += line.starts_with("CLOSED");
            ASSERT_TRUE(files.WriteLine(2, line));
        }
        EXPECT_TRUE(files.Close(1));
        EXPECT_TRUE(files.Close(2));
        EXPECT_EQ(test::readFile(dir.file("out.d")), expected);
        EXPECT_EQ(lineNumber, 40u * 6 + 2);
        EXPECT_EQ(handedClosed, 40);  // held back or not asked about (a lone LF)
        if (read == FileChannels::kDefaultReadBlock) {
            EXPECT_EQ(handedOpen, 0);
            EXPECT_EQ(asked.open, 40);
            EXPECT_EQ(asked.closed, 26);  // the ones that end in CR LF
        }
    }
}

TEST(FileChannels, BulkCopyCountsLongRunsOfLines) {
    // Lines of 16 bytes put an LF in the same place of every 16-byte chunk.
    for (const std::string& plain : {std::string("a"), std::string("abcdefgh"),
                                     std::string(14, 'p'), std::string(37, 'z')}) {
        test::TempDir dir;
        std::string bytes;
        for (int i = 0; i < 5000; ++i)
            bytes += plain + "\r\n";
        bytes += "OPEN 2 10 26 -1\r\nrest\r\n";
        test::writeFile(dir.file("in.d"), bytes);
        FileChannels files;
        ASSERT_TRUE(files.OpenInput(1, dir.file("in.d")));
        ASSERT_TRUE(files.OpenDiscard(2));
        std::uint64_t copied = 0;
        for (;;) {  // as the update pass asks: the data is read in by AtEnd
            ASSERT_FALSE(files.AtEnd(1));
            const std::uint64_t before = copied;
            ASSERT_TRUE(files.CopyPlainLines(1, 2, "OC", copied));
            if (copied == before)
                break;
        }
        EXPECT_EQ(copied, 5000u) << plain.size();
        std::string_view line;
        ASSERT_TRUE(files.ReadLine(1, line));
        EXPECT_EQ(line, "OPEN 2 10 26 -1");
    }
}

TEST(FileChannels, WritesCrLfAfterEveryLine) {
    test::TempDir dir;
    const std::string path = dir.file("out.d");
    FileChannels files;
    ASSERT_TRUE(files.OpenOutput(1, path));
    EXPECT_TRUE(files.WriteLine(1, "a"));
    EXPECT_TRUE(files.WriteLine(1, ""));
    const std::string big(2 * kBlock + 3, 'b');
    EXPECT_TRUE(files.WriteLine(1, big));
    EXPECT_TRUE(files.WriteLine(1, "c"));
    EXPECT_TRUE(files.Close(1));
    EXPECT_EQ(test::readFile(path), "a\r\n\r\n" + big + "\r\nc\r\n");

    // Opening for output empties an existing file.
    ASSERT_TRUE(files.OpenOutput(1, path));
    EXPECT_TRUE(files.Close(1));
    EXPECT_EQ(test::readFile(path), "");
}

TEST(FileChannels, NumberingAndClosing) {
    test::TempDir dir;
    test::writeFile(dir.file("a.d"), "x");
    FileChannels files;
    EXPECT_EQ(files.FreeFile(), 1);
    ASSERT_TRUE(files.OpenInput(1, dir.file("a.d")));
    EXPECT_EQ(files.FreeFile(), 2);
    EXPECT_FALSE(files.OpenInput(1, dir.file("a.d")));  // already open
    EXPECT_FALSE(files.OpenInput(0, dir.file("a.d")));
    EXPECT_FALSE(files.OpenInput(256, dir.file("a.d")));
    EXPECT_FALSE(files.WriteLine(1, "no"));  // input channels are not written
    EXPECT_TRUE(files.Close(1));
    EXPECT_TRUE(files.Close(1));  // not open: nothing happens
    EXPECT_TRUE(files.Close(200));
    EXPECT_FALSE(files.IsOpen(1));
    EXPECT_EQ(files.FreeFile(), 1);

    for (int16_t c = 1; c <= FileChannels::kMaxChannel; ++c) ASSERT_TRUE(files.OpenInput(c, dir.file("a.d")));
    EXPECT_EQ(files.FreeFile(), 0);
}

TEST(FileChannels, RefusesToEmptyAFileThatIsOpen) {
    test::TempDir dir;
    test::writeFile(dir.file("a.d"), "keep");
    FileChannels files;
    ASSERT_TRUE(files.OpenInput(1, dir.file("a.d")));
    EXPECT_FALSE(files.OpenOutput(2, dir.file("a.d")));
    EXPECT_EQ(test::readFile(dir.file("a.d")), "keep");
    EXPECT_TRUE(files.OpenOutput(2, dir.file("b.d")));
}

// Whatever was at the output path, empty or not, only the new lines are left; a new file is made.
TEST(FileChannels, OutputHoldsOnlyWhatIsWritten) {
    test::TempDir dir;
    for (const char* before : {"", "x", "an earlier, longer output\r\nwith two lines\r\n"}) {
        SCOPED_TRACE(before);
        test::writeFile(dir.file("old.d"), before);
        FileChannels files;
        ASSERT_TRUE(files.OpenOutput(1, dir.file("old.d")));
        EXPECT_TRUE(files.WriteLine(1, "new"));
        EXPECT_TRUE(files.Close(1));
        EXPECT_EQ(test::readFile(dir.file("old.d")), "new\r\n");
    }
    FileChannels files;
    ASSERT_TRUE(files.OpenOutput(1, dir.file("fresh.d")));
    EXPECT_EQ(test::readFile(dir.file("fresh.d")), "");
    EXPECT_TRUE(files.WriteLine(1, "new"));
    EXPECT_TRUE(files.Close(1));
    EXPECT_EQ(test::readFile(dir.file("fresh.d")), "new\r\n");
}

TEST(FileChannels, DiscardChannelCreatesNothing) {
    FileChannels files;
    ASSERT_TRUE(files.OpenDiscard(1));
    EXPECT_TRUE(files.WriteLine(1, "gone"));
    EXPECT_TRUE(files.Close(1));
}

}  // namespace
}  // namespace trelvo
