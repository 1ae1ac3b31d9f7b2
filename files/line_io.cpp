#include "files/line_io.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "files/line_scan.h"

namespace trelvo {

namespace {

bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

}  // namespace

std::int64_t MemorySource::read(char* data, std::size_t size) {
    const std::size_t n = std::min(size, rest_.size());
    std::memcpy(data, rest_.data(), n);
    rest_.remove_prefix(n);
    return static_cast<std::int64_t>(n);
}

// ----- writing -----------------------------------------------------------------------------------

LineWriter::LineWriter(ByteSink& sink, std::size_t block)
    : sink_(sink), buf_(std::make_unique_for_overwrite<char[]>(std::max<std::size_t>(block, 1))),
      block_(std::max<std::size_t>(block, 1)) {}

bool LineWriter::write(const char* data, std::size_t size) {
    if (failed_)
        return false;
    if (!stable_.empty() && isStable(data, size))
        return addSpan(data, size);
    return copy(data, size, false);
}

bool LineWriter::writeLine(std::string_view line) {
    if (failed_)
        return false;
    // An unchanged line is followed by its own CR LF where it lies, as a rule.
    if (!stable_.empty() && isStable(line.data(), line.size() + 2) &&
        line.data()[line.size()] == '\r' && line.data()[line.size() + 1] == '\n')
        return addSpan(line.data(), line.size() + 2);
    return copy(line.data(), line.size(), true);
}

// A span of bytes that stay where they lie until the flush, joined to the one before when it
// goes on from it.
bool LineWriter::addSpan(const char* data, std::size_t size) {
    if (size == 0)
        return true;
    if (spanCount_ > 0) {
        ByteSpan& last = spans_[spanCount_ - 1];
        if (last.data + last.size == data) {
            last.size += size;
            return true;
        }
    }
    if (spanCount_ == kMaxSpans && !flush())
        return false;
    if (!spans_)
        spans_ = std::make_unique_for_overwrite<ByteSpan[]>(kMaxSpans);
    spans_[spanCount_++] = {data, size};
    return true;
}

// Bytes gathered in buf_ (and CR LF after them); with stable bytes, written as a span of their
// own among the others.
bool LineWriter::copy(const char* data, std::size_t size, bool crlf) {
    const std::size_t need = size + (crlf ? 2 : 0);
    // Flushed first when full: a flush after the copy would free its bytes for the next ones.
    if ((end_ + need > block_ || spanCount_ == kMaxSpans) && !flush())
        return false;
    if (need > block_) {
        if (stable_.empty())
            return (sink_.write(data, size) && (!crlf || sink_.write("\r\n", 2))) || fail();
        const ByteSpan spans[] = {{data, size}, {"\r\n", crlf ? 2u : 0u}};
        return sink_.writeSpans(spans, 2) || fail();
    }
    char* out = buf_.get() + end_;
    std::memcpy(out, data, size);
    if (crlf) {
        out[size] = '\r';
        out[size + 1] = '\n';
    }
    end_ += need;
    return stable_.empty() || addSpan(out, need);
}

bool LineWriter::flush() {
    if (failed_)
        return false;
    if (spanCount_ > 0) {
        if (!sink_.writeSpans(spans_.get(), spanCount_))
            fail();
        spanCount_ = 0;
    } else if (end_ > 0 && !sink_.write(buf_.get(), end_)) {
        fail();
    }
    end_ = 0;
    return !failed_;
}

// ----- reading -----------------------------------------------------------------------------------

LineReader::LineReader(ByteSource& source, std::size_t block)
    // Left unzeroed: only bytes read into it are looked at, and zeroing costs more than a whole
    // pass over a small library.
    : source_(source), buf_(std::make_unique_for_overwrite<char[]>(std::max<std::size_t>(block, 1))),
      block_(std::max<std::size_t>(block, 1)) {
    // Room for an ordinary line across a block boundary: one allocation whatever the size.
    spill_.reserve(256);
    carry_.reserve(256);
}

// Makes unread data available. False at the end or on a read error.
bool LineReader::fill() {
    if (pos_ < end_)
        return true;
    if (eof_ || failed_)
        return false;
    if (!crossing_)
        saveCarry(end_);
    for (;;) {
        // A failed flush is the writer's to tell, at the pass's next write.
        if (inPlaceOut_)
            inPlaceOut_->flush();
        const std::int64_t n = source_.read(buf_.get(), block_);
        if (n <= 0) {
            (n < 0 ? failed_ : eof_) = true;
            return false;
        }
        data_ = buf_.get();
        pos_ = 0;
        end_ = static_cast<std::size_t>(n);
        startsLine_ = !crossing_;
        if (std::exchange(skipLf_, false) && data_[0] == '\n')
            pos_ = 1;  // the LF of a CR that ended the last block
        if (pos_ == end_)
            continue;
        dataStart_ = pos_;
        return true;
    }
}

// The whole line that ends last in buf[dataStart_, limit), kept as carry before the block is
// read over: the line before the first line of the next block. Nothing changes when no line
// ends there (the line before is older still and already kept).
void LineReader::saveCarry(std::size_t limit) {
    std::size_t q = limit;
    while (q > dataStart_ && !isLineEnd(data_[q - 1]))
        --q;
    if (q == dataStart_)
        return;
    carry_.assign(lineEndingAt(q - 1));
    carryValid_ = true;
}

// The line whose line end is the CR or LF at buf[e] (the LF of a CR LF, or a lone one).
std::string_view LineReader::lineEndingAt(std::size_t e) const {
    std::size_t contentEnd = e;
    if (data_[e] == '\n' && contentEnd > dataStart_ && data_[contentEnd - 1] == '\r')
        --contentEnd;
    std::size_t start = contentEnd;
    while (start > dataStart_ && !isLineEnd(data_[start - 1]))
        --start;
    // One that began in an earlier block was gathered in spill_, which still holds it.
    if (start == dataStart_ && !startsLine_)
        return spill_;
    return std::string_view(data_ + start, contentEnd - start);
}

bool LineReader::previousLine(std::string_view& line) const {
    if (lastIsFirst_)
        return false;
    if (lastStart_ == std::string::npos || lastStart_ == dataStart_) {
        if (!carryValid_)
            return false;
        line = carry_;
        return true;
    }
    line = lineEndingAt(lastStart_ - 1);
    return true;
}

void LineReader::handOut(std::size_t start) {
    lastStart_ = start;
    lastIsFirst_ = !seenLine_;
    seenLine_ = true;
}

bool LineReader::readLine(std::string_view& line) {
    if (!fill())
        return false;
    bool spilled = false;
    for (;;) {
        const std::size_t q =
            static_cast<std::size_t>(findLineEnd(data_ + pos_, data_ + end_) - data_);
        if (q < end_) {
            if (spilled) {
                spill_.append(data_ + pos_, q - pos_);
                crossing_ = false;
            }
            line = spilled ? std::string_view(spill_) : std::string_view(data_ + pos_, q - pos_);
            handOut(spilled ? std::string::npos : pos_);
            pos_ = q + 1;
            if (data_[q] == '\r' && pos_ == end_)
                skipLf_ = true;  // the next block may begin with its LF
            else if (data_[q] == '\r' && data_[pos_] == '\n')
                ++pos_;
            return true;
        }
        if (!spilled) {
            saveCarry(pos_);  // before spill, which may hold that line, is reused
            spill_.clear();
            spilled = true;
            crossing_ = true;
        }
        spill_.append(data_ + pos_, end_ - pos_);
        pos_ = end_;
        if (!fill()) {
            crossing_ = false;
            if (failed_)
                return false;
            line = spill_;  // the last line, without a line end
            handOut(std::string::npos);
            return true;
        }
    }
}

// The end of the run of plain lines (see copyPlainLines) that starts at pos_, letting lines that
// begin with a stop go on where keep (when given) says so. When keep holds the run back at a line
// that ends in CR LF in this block, lineEnd is where that line's CR is (otherwise 0): the caller
// hands it out without looking for its end again.
std::size_t LineReader::plainRun(const LineStops& stop, std::uint64_t& lines, const KeepLine& keep,
                                 std::size_t& lineEnd) const {
    const char* const data = data_;
    lineEnd = 0;
    std::size_t p = plainRunEnd(data, pos_, end_, stop, lines);
    while (keep.keep && p < end_ && stop.at(data + p, data + end_)) {
        const std::size_t q = static_cast<std::size_t>(findLineEnd(data + p, data + end_) - data);
        if (q + 1 >= end_ || data[q] != '\r' || data[q + 1] != '\n')
            break;
        if (!keep.keep(keep.context, std::string_view(data + p, q - p))) {
            lineEnd = q;
            break;
        }
        ++lines;
        p = plainRunEnd(data, q + 2, end_, stop, lines);
    }
    return p;
}

std::uint64_t LineReader::copyLines(std::uint64_t count, const Initials& set, TakeBytes take,
                                    void* context, const LineStops* refuse) {
    std::uint64_t copied = 0;
    while (copied < count && fill()) {
        const std::size_t from = pos_;
        pos_ = countedRunEnd(data_, pos_, end_, count - copied, set, refuse, copied);
        seenLine_ = seenLine_ || pos_ != from;
        if (take && pos_ != from && !take(context, std::string_view(data_ + from, pos_ - from)))
            return copied;
        if (pos_ < end_)
            break;  // a line that does not end in CR LF here: readLine's to hand out
    }
    return copied;
}

bool LineReader::copyPlainLines(LineWriter* out, const LineStops& stop, std::uint64_t& copied) {
    const std::size_t from = pos_;
    pos_ = plainRunEnd(data_, pos_, end_, stop, copied);
    seenLine_ = seenLine_ || pos_ != from;
    return !out || out->write(data_ + from, pos_ - from);
}

LineReader::Next LineReader::copyToNextLine(LineWriter* out, const LineStops* stop,
                                            std::string_view& line, std::uint64_t& lineNumber,
                                            KeepLine keep) {
    // A run that reaches the end of the block goes on in the next one, so that only the lines
    // that stop a run (and the line across a block boundary) are handed out.
    while (stop && fill()) {
        const std::size_t from = pos_;
        std::size_t lineEnd = 0;
        pos_ = plainRun(*stop, lineNumber, keep, lineEnd);
        if (out && !out->write(data_ + from, pos_ - from))
            return Next::Failed;
        seenLine_ = seenLine_ || pos_ != from;
        if (lineEnd != 0) {
            // What readLine would give for this line.
            line = std::string_view(data_ + pos_, lineEnd - pos_);
            handOut(pos_);
            pos_ = lineEnd + 2;
            ++lineNumber;
            return Next::Line;
        }
        if (pos_ < end_)
            break;
    }
    if (!readLine(line))
        return failed_ ? Next::Failed : Next::End;
    ++lineNumber;
    return Next::Line;
}

}  // namespace trelvo
