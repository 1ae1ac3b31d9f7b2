// Streams that fail on purpose: memory read in short pieces that fails (or throws) at a chosen
// read, and a string sink that fails (or throws) at a chosen write.
#pragma once

#include <algorithm>
#include <stdexcept>
#include <string>
#include <string_view>

#include "files/line_io.h"

namespace trelvo::test {

// Memory that fails (or throws) at its failAt-th read (0: never), giving short reads on the way.
class FlakySource final : public ByteSource {
public:
    FlakySource(std::string_view bytes, int failAt, bool throws = false)
        : rest_(bytes), failAt_(failAt), throws_(throws) {}
    std::int64_t read(char* data, std::size_t size) override {
        if (++reads_ == failAt_ && throws_)
            throw std::runtime_error("read " + std::to_string(reads_) + " threw");
        if (reads_ == failAt_)
            return -1;
        const std::size_t n = std::min({size, rest_.size(), std::size_t(1 + reads_ % 97)});
        std::copy_n(rest_.data(), n, data);
        rest_.remove_prefix(n);
        return static_cast<std::int64_t>(n);
    }
    std::string failure() const override { return "read " + std::to_string(reads_) + " failed"; }

private:
    std::string_view rest_;
    int failAt_, reads_ = 0;
    bool throws_;
};

// Appends to a string, failing at its failAt-th write (0: never).
class FlakySink final : public ByteSink {
public:
    FlakySink(std::string& out, int failAt) : out_(out), failAt_(failAt) {}
    bool write(const char* data, std::size_t size) override {
        if (++writes_ == failAt_)
            return false;
        out_.append(data, size);
        return true;
    }
    std::string failure() const override { return "write " + std::to_string(writes_) + " failed"; }

private:
    std::string& out_;
    int failAt_, writes_ = 0;
};

}  // namespace trelvo::test
