// Reading ahead and writing behind, each on a thread of its own, so that the system calls of a
// copy (the kernel copying page-cache pages) overlap the pass's scan on a second processor.
// Whole blocks change hands between the threads through a small ring; none is copied.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "files/line_io.h"

namespace trelvo {

// How many blocks each side keeps in flight when a request leaves it to the pass.
inline constexpr std::size_t kDefaultRing = 4;

// Reads inner on its own thread, up to ring blocks ahead of the reader. What it hands out (bytes,
// the end, a failure and its reason) is exactly what inner gave, in the same order.
class ReadAheadSource final : public ByteSource {
public:
    ReadAheadSource(ByteSource& inner, std::size_t block, std::size_t ring = kDefaultRing);
    ~ReadAheadSource() override;  // stops reading, and waits for the thread
    ReadAheadSource(const ReadAheadSource&) = delete;
    ReadAheadSource& operator=(const ReadAheadSource&) = delete;

    std::int64_t read(char* data, std::size_t size) override;
    std::int64_t readBlock(std::unique_ptr<char[]>& block, std::size_t capacity) override;
    std::string failure() const override;

private:
    struct Filled {
        std::unique_ptr<char[]> data;
        std::int64_t size;  // 0: the end; -1: inner failed
    };
    void run();
    void readAll();
    Filled take();

    ByteSource& inner_;
    const std::size_t block_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Filled> filled_;
    std::vector<std::unique_ptr<char[]>> free_;
    bool stopping_ = false;
    bool gone_ = false;       // the thread ended on an exception, with nothing more queued
    std::int64_t last_ = 1;   // the end or failure, once the reader has had it
    std::string failure_;
    // A block read() has handed out part of.
    std::unique_ptr<char[]> partial_;
    std::size_t partialPos_ = 0, partialEnd_ = 0;
    std::thread thread_;
};

// Writes to inner on its own thread, up to ring blocks behind the writer. Bytes reach inner in
// the order written; after a failure nothing more is written, and every later call (and finish)
// says so with inner's reason.
class WriteBehindSink final : public ByteSink {
public:
    WriteBehindSink(ByteSink& inner, std::size_t block, std::size_t ring = kDefaultRing);
    ~WriteBehindSink() override;  // writes what is queued unless a write failed, then stops
    WriteBehindSink(const WriteBehindSink&) = delete;
    WriteBehindSink& operator=(const WriteBehindSink&) = delete;

    bool write(const char* data, std::size_t size) override;
    bool writeBlock(std::unique_ptr<char[]>& block, std::size_t size, std::size_t capacity) override;
    bool finish() override;
    std::string failure() const override;

private:
    struct Queued {
        std::unique_ptr<char[]> data;
        std::size_t size;
    };
    void run();
    std::unique_ptr<char[]> freeBlock(std::unique_lock<std::mutex>& lock);

    ByteSink& inner_;
    const std::size_t block_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Queued> queued_;
    std::vector<std::unique_ptr<char[]>> free_;
    bool writing_ = false;  // the thread holds a block it is writing
    bool stopping_ = false;
    bool failed_ = false;
    std::string failure_;
    std::thread thread_;
};

// Whether a pass reads ahead and writes behind on threads of their own. Auto does when the
// input is a file on a disk and this process may use more than one processor; with one (taskset
// -c 0, a single-core machine) the pass stays on one thread.
enum class Threading { Auto, Single, Pipelined };

bool pipelines(Threading threading, const ByteSource& input);

// The ends a pass reads and writes: the request's own, or a read-ahead and a write-behind over
// them. Leaving (by return or by throw) stops the threads: what is queued is still written
// unless a write failed.
class PassEnds {
public:
    PassEnds(ByteSource& input, ByteSink* output, Threading threading, std::size_t readBlock,
             std::size_t writeBlock, std::size_t ring = kDefaultRing);
    ByteSource& input() { return ahead_ ? *ahead_ : input_; }
    ByteSink* output() { return behind_ ? &*behind_ : output_; }

private:
    ByteSource& input_;
    ByteSink* output_;
    // Declared last, so that the write-behind stops before the read-ahead and both before the
    // request's own ends go.
    std::optional<ReadAheadSource> ahead_;
    std::optional<WriteBehindSink> behind_;
};

}  // namespace trelvo
