// A file trelvo-cli writes as a text stream (the change report, the report page), staged beside
// its target like an output: a run that fails or is interrupted leaves the file as it was.
#pragma once

#include <memory>
#include <ostream>
#include <streambuf>
#include <string>

#include "files/file_streams.h"

namespace trelvo::cli {

class StagedText {
public:
    // Nothing, with why set, when it cannot be made.
    static std::unique_ptr<StagedText> open(const std::string& path, std::string& why);

    std::ostream& stream() { return stream_; }
    // Puts the file in place; false, with why set, when a write or the replacement failed (the
    // target is then as it was).
    bool commit(std::string& why);

private:
    class Buffer final : public std::streambuf {
    public:
        explicit Buffer(OutputFile& file);
        int overflow(int c) override;
        int sync() override;

    private:
        OutputFile& file_;
        char bytes_[1 << 16];
    };

    explicit StagedText(std::unique_ptr<OutputFile> file)
        : file_(std::move(file)), buffer_(*file_), stream_(&buffer_) {}

    std::unique_ptr<OutputFile> file_;
    Buffer buffer_;
    std::ostream stream_;
};

}  // namespace trelvo::cli
