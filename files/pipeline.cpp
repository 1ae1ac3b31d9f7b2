#include "files/pipeline.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "files/native_file.h"

namespace trelvo {

namespace {

// A side's ring: ring blocks (at least one) of block bytes each.
std::vector<std::unique_ptr<char[]>> ringOf(std::size_t block, std::size_t ring) {
    std::vector<std::unique_ptr<char[]>> blocks;
    for (std::size_t i = 0; i < std::max<std::size_t>(ring, 1); ++i)
        blocks.push_back(std::make_unique_for_overwrite<char[]>(block));
    return blocks;
}

// Tells a side's thread to stop, and waits until it has.
void stopThread(std::mutex& mutex, std::condition_variable& changed, bool& stopping,
                std::thread& thread) {
    {
        const std::lock_guard lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    thread.join();
}

}  // namespace

// ----- reading ahead -----------------------------------------------------------------------------

ReadAheadSource::ReadAheadSource(ByteSource& inner, std::size_t block, std::size_t ring)
    : inner_(inner), block_(std::max<std::size_t>(block, 1)), free_(ringOf(block_, ring)) {
    thread_ = std::thread([this] { run(); });
}

ReadAheadSource::~ReadAheadSource() {
    stopThread(mutex_, changed_, stopping_, thread_);
}

void ReadAheadSource::run() {
    try {
        readAll();
    } catch (const std::exception& e) {
        // What cannot even be queued ends the reading as a failed read would.
        const std::lock_guard lock(mutex_);
        gone_ = true;
        failure_ = e.what();
    }
    changed_.notify_all();
}

void ReadAheadSource::readAll() {
    for (;;) {
        std::unique_ptr<char[]> block;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || !free_.empty(); });
            if (stopping_)
                return;
            block = std::move(free_.back());
            free_.pop_back();
        }
        std::int64_t n = -1;
        std::string why;
        try {
            n = inner_.read(block.get(), block_);
            if (n < 0)
                why = inner_.failure();
        } catch (const std::exception& e) {
            why = e.what();  // a source that throws has failed, as one that says so
        }
        {
            const std::lock_guard lock(mutex_);
            filled_.push_back({std::move(block), n});
            if (n < 0)
                failure_ = std::move(why);
        }
        changed_.notify_all();
        if (n <= 0)
            return;  // the end or a failure: inner is not read again
    }
}

ReadAheadSource::Filled ReadAheadSource::take() {
    std::unique_lock lock(mutex_);
    if (last_ <= 0)
        return {nullptr, last_};
    changed_.wait(lock, [this] { return !filled_.empty() || gone_; });
    if (filled_.empty()) {
        last_ = -1;
        return {nullptr, -1};
    }
    Filled f = std::move(filled_.front());
    filled_.pop_front();
    if (f.size <= 0) {
        last_ = f.size;
        f.data.reset();
    }
    return f;
}

std::int64_t ReadAheadSource::readBlock(std::unique_ptr<char[]>& block, std::size_t capacity) {
    if (capacity != block_ || partial_)
        return read(block.get(), capacity);
    Filled f = take();
    if (f.size <= 0)
        return f.size;
    std::swap(block, f.data);
    {
        const std::lock_guard lock(mutex_);
        free_.push_back(std::move(f.data));
    }
    changed_.notify_all();
    return f.size;
}

std::int64_t ReadAheadSource::read(char* data, std::size_t size) {
    if (!partial_) {
        Filled f = take();
        if (f.size <= 0)
            return f.size;
        partial_ = std::move(f.data);
        partialPos_ = 0;
        partialEnd_ = static_cast<std::size_t>(f.size);
    }
    const std::size_t n = std::min(size, partialEnd_ - partialPos_);
    std::memcpy(data, partial_.get() + partialPos_, n);
    partialPos_ += n;
    if (partialPos_ == partialEnd_) {
        {
            const std::lock_guard lock(mutex_);
            free_.push_back(std::move(partial_));
        }
        changed_.notify_all();
    }
    return static_cast<std::int64_t>(n);
}

std::string ReadAheadSource::failure() const {
    const std::lock_guard lock(mutex_);
    return failure_;
}

// ----- writing behind ----------------------------------------------------------------------------

WriteBehindSink::WriteBehindSink(ByteSink& inner, std::size_t block, std::size_t ring)
    : inner_(inner), block_(std::max<std::size_t>(block, 1)), free_(ringOf(block_, ring)) {
    thread_ = std::thread([this] { run(); });
}

WriteBehindSink::~WriteBehindSink() {
    stopThread(mutex_, changed_, stopping_, thread_);
}

void WriteBehindSink::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !queued_.empty(); });
        if (queued_.empty())
            return;  // stopping, with everything written
        Queued q = std::move(queued_.front());
        queued_.pop_front();
        writing_ = true;
        lock.unlock();
        bool ok = false;
        std::string why;
        try {
            ok = inner_.write(q.data.get(), q.size);
            if (!ok)
                why = inner_.failure();
        } catch (const std::exception& e) {
            why = e.what();  // a sink that throws has failed, as one that says so
        }
        lock.lock();
        writing_ = false;
        free_.push_back(std::move(q.data));
        if (!ok) {
            // Nothing after a failed write is written, as a pass that writes itself would stop.
            failed_ = true;
            failure_ = std::move(why);
            for (Queued& rest : queued_)
                free_.push_back(std::move(rest.data));
            queued_.clear();
        }
        changed_.notify_all();
    }
}

std::unique_ptr<char[]> WriteBehindSink::freeBlock(std::unique_lock<std::mutex>& lock) {
    changed_.wait(lock, [this] { return failed_ || !free_.empty(); });
    if (failed_)
        return nullptr;
    auto block = std::move(free_.back());
    free_.pop_back();
    return block;
}

bool WriteBehindSink::writeBlock(std::unique_ptr<char[]>& block, std::size_t size,
                                 std::size_t capacity) {
    if (capacity != block_)
        return write(block.get(), size);
    {
        std::unique_lock lock(mutex_);
        auto fresh = freeBlock(lock);
        if (!fresh)
            return false;
        queued_.push_back({std::move(block), size});
        block = std::move(fresh);
    }
    changed_.notify_all();
    return true;
}

bool WriteBehindSink::write(const char* data, std::size_t size) {
    std::unique_lock lock(mutex_);
    if (size > block_) {
        // More than a block (a line longer than one): written here once the thread is idle, so
        // that inner sees the same writes, in the same order, as from a pass on one thread.
        changed_.wait(lock, [this] { return failed_ || (queued_.empty() && !writing_); });
        if (failed_)
            return false;
        if (!inner_.write(data, size)) {
            failed_ = true;
            failure_ = inner_.failure();
        }
        return !failed_;
    }
    auto block = freeBlock(lock);
    if (!block)
        return false;
    std::memcpy(block.get(), data, size);
    queued_.push_back({std::move(block), size});
    lock.unlock();
    changed_.notify_all();
    return true;
}

bool WriteBehindSink::finish() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return failed_ || (queued_.empty() && !writing_); });
    if (failed_)
        return false;
    // The thread is idle with nothing queued: inner is this thread's to ask.
    if (!inner_.finish()) {
        failed_ = true;
        failure_ = inner_.failure();
    }
    return !failed_;
}

std::string WriteBehindSink::failure() const {
    const std::lock_guard lock(mutex_);
    return failure_;
}

// ----- a pass's ends -----------------------------------------------------------------------------

bool pipelines(Threading threading, const ByteSource& input) {
    switch (threading) {
        case Threading::Pipelined:
            return true;
        case Threading::Single:
            return false;
        default:
            return input.worthReadingAhead() && native::usableProcessors() > 1;
    }
}

PassEnds::PassEnds(ByteSource& input, ByteSink* output, Threading threading,
                   std::size_t readBlock, std::size_t writeBlock, std::size_t ring)
    : input_(input), output_(output) {
    if (!pipelines(threading, input))
        return;
    try {
        // The writer first: it takes nothing from the input, so if the reader's thread cannot
        // be had either, the pass still starts at the first byte.
        if (output)
            behind_.emplace(*output, writeBlock, ring);
        ahead_.emplace(input, readBlock, ring);
    } catch (const std::system_error&) {
        // No thread to be had: the pass runs on this one, as on a single processor.
        behind_.reset();
        ahead_.reset();
    }
}

}  // namespace trelvo
