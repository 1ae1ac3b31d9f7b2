// Reading ahead and writing behind: through rings of every length and blocks of every size, the
// lines read and the bytes written are those of a reader and writer on one thread, a failure
// arrives in its place with its reason, and nothing is written after a failed write.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "files/line_io.h"
#include "files/pipeline.h"
#include "flaky_streams.h"

namespace trelvo {
namespace {

using test::FlakySink;
using test::FlakySource;

struct Copy {
    std::vector<std::string> lines;
    bool readFailed = false, writeOk = true;
    std::string failure;
};

// Every line of source, each written with its CR LF, as the update pass copies.
Copy copyLines(ByteSource& source, ByteSink& sink, std::size_t block) {
    Copy c;
    LineReader reader(source, block);
    LineWriter writer(sink, block);
    std::string_view line;
    while (reader.readLine(line)) {
        c.lines.emplace_back(line);
        c.writeOk = writer.writeLine(line) && c.writeOk;
    }
    c.readFailed = reader.failed();
    c.writeOk = writer.finish() && c.writeOk;
    c.failure = c.readFailed ? reader.failure() : c.writeOk ? "" : writer.failure();
    return c;
}

TEST(Pipeline, GivesWhatOneThreadGives) {
    std::mt19937 rng(7);
    std::string bytes;
    for (int i = 0; i < 600; ++i)
        bytes += std::string(rng() % 40, 'a' + static_cast<char>(i % 26)) + (i % 7 ? "\r\n" : "\n");
    for (const std::size_t block : {2, 17, 4096}) {
        for (const std::size_t ring : {1, 2, 4}) {
            for (const int readFail : {0, 1, 3, 150}) {
                for (const int writeFail : {0, 1, 2, 9}) {
                    SCOPED_TRACE(testing::Message() << "block " << block << " ring " << ring
                                                    << " read fails " << readFail
                                                    << " write fails " << writeFail);
                    std::string plainOut, threadedOut;
                    FlakySource plainIn(bytes, readFail), threadedIn(bytes, readFail);
                    FlakySink plainSink(plainOut, writeFail), threadedSink(threadedOut, writeFail);
                    const Copy plain = copyLines(plainIn, plainSink, block);
                    Copy threaded;
                    {
                        ReadAheadSource ahead(threadedIn, block, ring);
                        WriteBehindSink behind(threadedSink, block, ring);
                        threaded = copyLines(ahead, behind, block);
                    }
                    EXPECT_EQ(threaded.lines, plain.lines);
                    EXPECT_EQ(threaded.readFailed, plain.readFailed);
                    EXPECT_EQ(threaded.writeOk, plain.writeOk);
                    EXPECT_EQ(threaded.failure, plain.failure);
                    EXPECT_EQ(threadedOut, plainOut);  // nothing after the failed write either
                }
            }
        }
    }
}

// A reader that stops early (a format error on the first line) leaves at once, and a writer
// left without finish still writes what it was given, as a pass on one thread would have.
TEST(Pipeline, StopsWhenLeftEarly) {
    const std::string bytes = "first\r\n" + std::string(1 << 20, 'x');
    std::string out;
    {
        MemorySource source(bytes);
        ReadAheadSource ahead(source, 4096, 2);
        std::string_view line;
        LineReader reader(ahead, 4096);
        ASSERT_TRUE(reader.readLine(line));
        StringSink sink(out);
        WriteBehindSink behind(sink, 4096, 2);
        LineWriter writer(behind, 4096);
        ASSERT_TRUE(writer.writeLine(line));
        ASSERT_TRUE(writer.flush());
    }
    EXPECT_EQ(out, "first\r\n");
}

}  // namespace
}  // namespace trelvo
