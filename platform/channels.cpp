#include "platform/channels.h"

#include "platform/native_file.h"
#include "platform/plain_run.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace trelvo {

namespace {

// The first CR or LF in [p, end), or end. One pass for both characters: lines are short, so
// two separate searches per line cost more in call overhead than in scanning.
const char* findLineEnd(const char* p, const char* end) {
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int hits =
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
        if (hits != 0)
            return p + __builtin_ctz(static_cast<unsigned>(hits));
        p += 16;
    }
#endif
    for (; p < end; ++p) {
        if (*p == '\r' || *p == '\n')
            return p;
    }
    return end;
}

}  // namespace

struct FileChannels::Channel {
    enum class Mode { Input, Output, Discard };

    Mode mode = Mode::Input;
    native::Handle fd = native::kNoFile;
    native::FileId id;

    // Input: buf[pos, end) is unread data.
    std::unique_ptr<char[]> buf;
    std::size_t block = 0;  // the size of buf
    std::size_t pos = 0;
    std::size_t end = 0;
    bool skipLf = false;  // the last line ended with CR at the end of a block
    bool eof = false;
    bool failed = false;
    std::string spill;  // a line that crosses a block boundary

    // Output: buf[0, end) waits to be written.
    bool writeFailed = false;

    ~Channel() {
        if (fd != native::kNoFile)
            native::close(fd);
    }

    // Input: makes unread data available. False at end of file or on a read error.
    bool fill() {
        if (pos < end)
            return true;
        if (eof || failed)
            return false;
        for (;;) {
            const std::int64_t n = native::read(fd, buf.get(), block);
            if (n < 0) {
                failed = true;
                return false;
            }
            if (n == 0) {
                eof = true;
                return false;
            }
            pos = 0;
            end = static_cast<std::size_t>(n);
            if (skipLf) {
                skipLf = false;
                if (buf[0] == '\n') {
                    pos = 1;
                    if (pos == end)
                        continue;
                }
            }
            return true;
        }
    }

    bool readLine(std::string_view& line) {
        if (!fill())
            return false;
        bool spilled = false;
        for (;;) {
            const std::size_t q =
                static_cast<std::size_t>(findLineEnd(buf.get() + pos, buf.get() + end) - buf.get());
            if (q < end) {
                const char* start = buf.get() + pos;
                if (spilled) {
                    spill.append(start, q - pos);
                    line = spill;
                } else {
                    line = std::string_view(start, q - pos);
                }
                pos = q + 1;
                if (buf[q] == '\r') {
                    if (pos < end) {
                        if (buf[pos] == '\n')
                            ++pos;
                    } else {
                        skipLf = true;
                    }
                }
                return true;
            }
            if (!spilled) {
                spill.clear();
                spilled = true;
            }
            spill.append(buf.get() + pos, end - pos);
            pos = end;
            if (!fill()) {
                if (failed)
                    return false;
                line = spill;  // the last line, without a line end
                return true;
            }
        }
    }

    // Input: the end of the run of plain lines (see CopyPlainLines) that starts at pos.
    std::size_t plainRun(std::string_view stop, std::uint64_t& lines) const {
        return plainRunEnd(buf.get(), pos, end, stop, lines);
    }

    // The same, letting lines that begin with a stop character go on where keep says so. When
    // keep holds the run back at a line that ends in CR LF in this block, lineEnd is where that
    // line's CR is (otherwise 0): the caller hands it out without looking for its end again.
    std::size_t plainRun(std::string_view stop, std::uint64_t& lines,
                         const FileChannels::KeepLine& keep, std::size_t& lineEnd) const {
        const char* const data = buf.get();
        lineEnd = 0;
        std::size_t p = plainRunEnd(data, pos, end, stop, lines);
        const auto isStop = [stop](char c) {
            for (char s : stop) {
                if (c == s)
                    return true;
            }
            return false;
        };
        while (p < end && isStop(data[p])) {
            const std::size_t q = static_cast<std::size_t>(findLineEnd(data + p, data + end) - data);
            if (q + 1 >= end || data[q] != '\r' || data[q + 1] != '\n')
                break;
            if (!keep.keep(keep.context, std::string_view(data + p, q - p))) {
                lineEnd = q;
                break;
            }
            ++lines;
            p = plainRunEnd(data, q + 2, end, stop, lines);
        }
        return p;
    }

    // Output: appends bytes as they are.
    bool write(const char* data, std::size_t size) {
        if (mode == Mode::Discard)
            return true;
        if (writeFailed)
            return false;
        if (end + size > block && !flush())
            return false;
        if (size > block) {
            if (!native::writeAll(fd, data, size))
                writeFailed = true;
            return !writeFailed;
        }
        std::memcpy(buf.get() + end, data, size);
        end += size;
        return true;
    }

    bool flush() {
        if (mode != Mode::Output || writeFailed)
            return !writeFailed;
        if (end > 0 && !native::writeAll(fd, buf.get(), end))
            writeFailed = true;
        end = 0;
        return !writeFailed;
    }

    bool writeLine(std::string_view line) {
        if (mode == Mode::Discard)
            return true;
        if (writeFailed)
            return false;
        const std::size_t need = line.size() + 2;
        if (end + need > block && !flush())
            return false;
        if (need > block) {
            if (!native::writeAll(fd, line.data(), line.size()) || !native::writeAll(fd, "\r\n", 2)) {
                writeFailed = true;
                return false;
            }
            return true;
        }
        char* out = buf.get() + end;
        std::memcpy(out, line.data(), line.size());
        out[line.size()] = '\r';
        out[line.size() + 1] = '\n';
        end += need;
        return true;
    }
};

FileChannels::FileChannels(std::size_t readBlock, std::size_t writeBlock)
    : readBlock_(std::max<std::size_t>(readBlock, 1)),
      writeBlock_(std::max<std::size_t>(writeBlock, 1)) {}

FileChannels::~FileChannels() = default;

FileChannels::Channel* FileChannels::get(int16_t channel) const {
    if (channel < 1 || channel > kMaxChannel)
        return nullptr;
    return channels_[channel].get();
}

bool FileChannels::IsOpen(int16_t channel) const {
    return get(channel) != nullptr;
}

int16_t FileChannels::FreeFile() const {
    for (int16_t c = 1; c <= kMaxChannel; ++c) {
        if (!channels_[c])
            return c;
    }
    return 0;
}

bool FileChannels::OpenInput(int16_t channel, const std::string& path) {
    if (channel < 1 || channel > kMaxChannel || channels_[channel])
        return false;
    if (path.empty() || path.find('\0') != std::string::npos)
        return false;
    auto ch = std::make_unique<Channel>();
    ch->fd = native::openRead(path, ch->id);
    if (ch->fd == native::kNoFile)
        return false;
    ch->mode = Channel::Mode::Input;
    // Left unzeroed: only bytes read into it are looked at, and zeroing 1 MiB per open costs more
    // than the whole pass over a small library.
    ch->block = readBlock_;
    ch->buf = std::make_unique_for_overwrite<char[]>(ch->block);
    // Room for an ordinary line that crosses a block boundary, so that one allocation is made
    // whatever the library's size.
    ch->spill.reserve(256);
    channels_[channel] = std::move(ch);
    return true;
}

bool FileChannels::OpenOutput(int16_t channel, const std::string& path) {
    if (channel < 1 || channel > kMaxChannel || channels_[channel])
        return false;
    if (path.empty() || path.find('\0') != std::string::npos)
        return false;
    auto ch = std::make_unique<Channel>();
    ch->fd = native::openWrite(path, ch->id);
    if (ch->fd == native::kNoFile)
        return false;
    // By identity, not by name: another spelling, a link or a short name of an open file is
    // still that file. Asked of the file just opened and not yet emptied, so the name cannot
    // come to mean another file in between, and a named pipe is not connected to twice (the
    // first connection would take its only instance). Refused, ch closes it untouched.
    for (const auto& other : channels_) {
        if (other && other->fd != native::kNoFile && other->id == ch->id)
            return false;
    }
    if (!native::truncate(ch->fd))
        return false;
    ch->mode = Channel::Mode::Output;
    ch->block = writeBlock_;
    ch->buf = std::make_unique_for_overwrite<char[]>(ch->block);
    channels_[channel] = std::move(ch);
    return true;
}

bool FileChannels::OpenDiscard(int16_t channel) {
    if (channel < 1 || channel > kMaxChannel || channels_[channel])
        return false;
    auto ch = std::make_unique<Channel>();
    ch->mode = Channel::Mode::Discard;
    channels_[channel] = std::move(ch);
    return true;
}

bool FileChannels::ReadLine(int16_t channel, std::string_view& line) {
    Channel* ch = get(channel);
    if (!ch || ch->mode != Channel::Mode::Input)
        return false;
    return ch->readLine(line);
}

bool FileChannels::AtEnd(int16_t channel) {
    Channel* ch = get(channel);
    if (!ch || ch->mode != Channel::Mode::Input)
        return true;
    return !ch->fill() && !ch->failed;
}

bool FileChannels::WriteLine(int16_t channel, std::string_view line) {
    Channel* ch = get(channel);
    if (!ch || ch->mode == Channel::Mode::Input)
        return false;
    return ch->writeLine(line);
}

bool FileChannels::CopyPlainLines(int16_t in, int16_t out, std::string_view stop,
                                  std::uint64_t& copied) {
    Channel* src = get(in);
    Channel* dst = get(out);
    if (!src || src->mode != Channel::Mode::Input || !dst || dst->mode == Channel::Mode::Input) {
        return false;
    }
    const std::size_t from = src->pos;
    const std::size_t to = src->plainRun(stop, copied);
    src->pos = to;
    return dst->write(src->buf.get() + from, to - from);
}

FileChannels::Next FileChannels::CopyToNextLine(int16_t in, int16_t out,
                                                const std::string_view* stop,
                                                std::string_view& line,
                                                std::uint64_t& lineNumber, KeepLine keep) {
    Channel* src = get(in);
    Channel* dst = get(out);
    if (!src || src->mode != Channel::Mode::Input || !dst || dst->mode == Channel::Mode::Input)
        return Next::Failed;
    // A run that reaches the end of the block goes on in the next one, so that only the lines
    // that stop a run (and the line across a block boundary) are handed out.
    while (stop && src->fill()) {
        const std::size_t from = src->pos;
        std::size_t lineEnd = 0;
        src->pos = keep.keep ? src->plainRun(*stop, lineNumber, keep, lineEnd)
                             : src->plainRun(*stop, lineNumber);
        if (!dst->write(src->buf.get() + from, src->pos - from))
            return Next::Failed;
        if (lineEnd != 0) {
            // What readLine would give for this line.
            line = std::string_view(src->buf.get() + src->pos, lineEnd - src->pos);
            src->pos = lineEnd + 2;
            ++lineNumber;
            return Next::Line;
        }
        if (src->pos < src->end)
            break;
    }
    if (!src->readLine(line))
        return src->failed ? Next::Failed : Next::End;
    ++lineNumber;
    return Next::Line;
}

bool FileChannels::Close(int16_t channel) {
    Channel* ch = get(channel);
    if (!ch)
        return true;
    bool ok = ch->flush();
    if (ch->fd != native::kNoFile) {
        if (!native::close(ch->fd) && ch->mode == Channel::Mode::Output)
            ok = false;
        ch->fd = native::kNoFile;
    }
    channels_[channel].reset();
    return ok;
}

}  // namespace trelvo
