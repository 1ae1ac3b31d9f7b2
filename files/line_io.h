// Text lines over byte streams (a file or memory alike), as the update pass reads and writes a
// library: a buffered reader that hands out lines (ended by CR, CR LF or LF) and copies runs of
// lines in bulk, and a buffered writer that ends every line with CR LF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "files/line_scan.h"
#include "files/native_file.h"

namespace trelvo {

// Where a reader's bytes come from.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to size bytes; 0 at the end, -1 on an error.
    virtual std::int64_t read(char* data, std::size_t size) = 0;
    // Why the last read failed, in the system's words.
    virtual std::string failure() const = 0;
};

// Where a writer's bytes go.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual bool write(const char* data, std::size_t size) = 0;
    // The spans in order; a file gathers them into as few writes as it can.
    virtual bool writeSpans(const ByteSpan* spans, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            if (!write(spans[i].data, spans[i].size))
                return false;
        }
        return true;
    }
    // Waits until everything written has reached its place; false when any of it failed.
    virtual bool finish() { return true; }
    virtual std::string failure() const = 0;
};

// Bytes held in memory (not copied: they must outlive the source).
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::string_view bytes) : rest_(bytes) {}
    std::int64_t read(char* data, std::size_t size) override;
    std::string failure() const override { return {}; }

private:
    std::string_view rest_;
};

// Appends what is written to a string.
class StringSink final : public ByteSink {
public:
    explicit StringSink(std::string& out) : out_(out) {}
    bool write(const char* data, std::size_t size) override {
        out_.append(data, size);
        return true;
    }
    std::string failure() const override { return {}; }

private:
    std::string& out_;
};

// How much is read, and gathered for writing, at once. Other sizes (at least 1 byte) change no
// byte, only where lines meet block boundaries: tests make them small to reach those.
inline constexpr std::size_t kDefaultReadBlock = std::size_t{1} << 18;
inline constexpr std::size_t kDefaultWriteBlock = std::size_t{1} << 18;

class LineWriter {
public:
    explicit LineWriter(ByteSink& sink, std::size_t block = kDefaultWriteBlock);
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

    // Bytes inside stable (a reader's block) go to the sink as spans where they lie; only other
    // bytes (rebuilt lines) are copied. Their owner flushes the writer before it changes them.
    void keepInPlace(std::string_view stable) { stable_ = stable; }

    // The line followed by CR LF.
    bool writeLine(std::string_view line);
    // Bytes as they are.
    bool write(const char* data, std::size_t size);
    // Hands on what is gathered. False when this or any earlier write failed.
    bool flush();
    // flush, then waits until the sink has everything in its place.
    bool finish() { return flush() && (sink_.finish() || fail()); }
    bool failed() const { return failed_; }
    std::string failure() const { return sink_.failure(); }

private:
    bool fail() {
        failed_ = true;
        return false;
    }
    bool isStable(const char* data, std::size_t size) const {
        const auto at = reinterpret_cast<std::uintptr_t>(data);
        const auto from = reinterpret_cast<std::uintptr_t>(stable_.data());
        return size <= stable_.size() && at >= from && at - from <= stable_.size() - size;
    }
    bool addSpan(const char* data, std::size_t size);
    bool copy(const char* data, std::size_t size, bool crlf);

    ByteSink& sink_;
    std::unique_ptr<char[]> buf_;  // bytes gathered (copied)
    std::size_t block_;
    std::size_t end_ = 0;
    bool failed_ = false;
    std::string_view stable_;
    // With stable bytes: the spans to write, of stable bytes and of buf_.
    static constexpr std::size_t kMaxSpans = 1024;
    std::unique_ptr<ByteSpan[]> spans_;
    std::size_t spanCount_ = 0;
};

class LineReader {
public:
    explicit LineReader(ByteSource& source, std::size_t block = kDefaultReadBlock);
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // The next line without its line end; the last line is a line even without one. False at
    // the end or on a read error. The view stays valid until the next read.
    bool readLine(std::string_view& line);

    // True when no further line can be read (the end, or a read error readLine then reports).
    bool atEnd() { return !fill() && !failed_; }

    // The line before the one the last readLine or copyToNextLine handed out, whether that was
    // handed out or copied in bulk. False for the first line. Valid until the next read.
    bool previousLine(std::string_view& line) const;

    bool failed() const { return failed_; }
    std::string failure() const { return source_.failure(); }

    // Lines out is given from the block read go as spans, uncopied; out is flushed before the
    // block is read over. Only where the system gathers a write (writev): elsewhere a join of
    // the spans would copy them anyway.
    void writeInPlace(LineWriter& out) {
#if !defined(_WIN32)
        inPlaceOut_ = &out;
        out.keepInPlace({buf_.get(), block_});
#else
        (void)out;
#endif
    }

    // Copies lines to out (null: passes over them) as readLine and writeLine would, while each
    // ends in CR LF, is not empty and begins with no stop, up to the end of the data already
    // read. Adds the number of lines copied to copied. False when writing fails.
    bool copyPlainLines(LineWriter* out, const LineStops& stop, std::uint64_t& copied);

    // Passes up to count lines whose number is known (a piece's corners), each with its CR LF,
    // to take (null: over them) in runs of whole lines, while each ends in CR LF, begins with one
    // of initials and with none of refuse's prefixes. Returns how many were passed (fewer at any
    // other line, at the end, or when take returns false); the line that stopped the run is
    // readLine's to hand out.
    using TakeBytes = bool (*)(void* context, std::string_view bytes);
    std::uint64_t copyLines(std::uint64_t count, const Initials& initials, TakeBytes take,
                            void* context, const LineStops* refuse);

    // The bytes read and not yet handed out or passed over (empty at the end or on a read
    // error), for a caller that walks whole lines where they lie. passOver moves past bytes of
    // them (whole lines); lineAt, when given, is where in them the line handed out begins.
    std::string_view unread() {
        return fill() ? std::string_view(data_ + pos_, end_ - pos_) : std::string_view();
    }
    void passOver(std::size_t bytes, std::size_t lineAt = std::string::npos) {
        if (lineAt != std::string::npos)
            handOut(pos_ + lineAt);
        seenLine_ = seenLine_ || bytes != 0;
        pos_ += bytes;
    }

    // Asked about a line that begins with a stop and ends in CR LF: true lets it go with the
    // plain lines, copied as it is (the caller would have written it unchanged).
    struct KeepLine {
        bool (*keep)(void* context, std::string_view line);
        void* context;
    };

    // copyPlainLines (when stop is given, with the lines keep lets go as well), then readLine,
    // in one call: the update pass's step from one line it must look at to the next. lineNumber
    // counts the lines copied and read.
    enum class Next { Line, End, Failed };
    Next copyToNextLine(LineWriter* out, const LineStops* stop, std::string_view& line,
                        std::uint64_t& lineNumber, KeepLine keep = {nullptr, nullptr});

private:
    bool fill();
    void saveCarry(std::size_t limit);
    std::string_view lineEndingAt(std::size_t e) const;
    void handOut(std::size_t start);
    std::size_t plainRun(const LineStops& stop, std::uint64_t& lines, const KeepLine& keep,
                         std::size_t& lineEnd) const;

    ByteSource& source_;
    // data_[pos_, end_) is unread data, in buf_.
    const char* data_ = nullptr;
    std::unique_ptr<char[]> buf_;
    LineWriter* inPlaceOut_ = nullptr;
    std::size_t block_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool skipLf_ = false;  // the last line ended with CR at the end of a block
    bool eof_ = false;
    bool failed_ = false;
    std::string spill_;  // a line that crosses a block boundary

    // For previousLine: where the line last handed out begins in buf_ (npos: in spill_), where
    // this block's own data begins (after an LF ending the last block's line), whether a line
    // begins there, and the last whole line of the blocks before this one.
    std::size_t lastStart_ = std::string::npos;
    std::size_t dataStart_ = 0;
    bool startsLine_ = true;
    bool crossing_ = false;  // a line is being gathered across blocks
    bool seenLine_ = false;  // a line has been handed out or copied
    bool lastIsFirst_ = true;
    std::string carry_;
    bool carryValid_ = false;
};

}  // namespace trelvo
