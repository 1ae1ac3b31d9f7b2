#include "files/channels.h"

#include "files/native_file.h"
#include "files/plain_run.h"
#include "files/replace.h"

#include <algorithm>
#include <cstring>
#include <optional>

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

bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

}  // namespace

struct FileChannels::Channel {
    enum class Mode { Input, Output, Discard };

    Mode mode = Mode::Input;
    native::Handle fd = native::kNoFile;
    native::FileId id;
    std::string path;
    std::string* reason = nullptr;  // the table's FailureReason

    // A staged output: the temporary file written, and what its commit replaces.
    std::optional<TempFile> staged;
    std::string target;
    KeptAttributes attributes;
    bool replacing = false;  // target exists: flushed to disk before it is replaced

    // Input: buf[pos, end) is unread data.
    std::unique_ptr<char[]> buf;
    std::size_t block = 0;  // the size of buf
    std::size_t pos = 0;
    std::size_t end = 0;
    bool skipLf = false;  // the last line ended with CR at the end of a block
    bool eof = false;
    bool failed = false;
    std::string spill;  // a line that crosses a block boundary

    // For PreviousLine: where the line last handed out begins in buf (npos: it is in spill),
    // where this block's own data begins (after an LF that ended the last block's line), whether
    // a line begins there, and the last whole line of the blocks before this one.
    std::size_t lastStart = std::string::npos;
    std::size_t dataStart = 0;
    bool startsLine = true;
    bool crossing = false;  // a line is being gathered across blocks
    bool seenLine = false;  // a line has been handed out or copied
    bool lastIsFirst = true;
    std::string carry;
    bool carryValid = false;

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
        if (!crossing)
            saveCarry(end);
        for (;;) {
            const std::int64_t n = native::read(fd, buf.get(), block);
            if (n < 0) {
                failed = true;
                if (reason)
                    *reason = failureText("cannot read", path);
                return false;
            }
            if (n == 0) {
                eof = true;
                return false;
            }
            pos = 0;
            end = static_cast<std::size_t>(n);
            startsLine = !crossing;
            if (skipLf) {
                skipLf = false;
                if (buf[0] == '\n') {
                    pos = 1;
                    if (pos == end)
                        continue;
                }
            }
            dataStart = pos;
            return true;
        }
    }

    // The whole line that ends last in buf[dataStart, limit), kept as carry before the block is
    // read over: the line before the first line of the next block. Nothing changes when no line
    // ends there (the line before is older still and already kept).
    void saveCarry(std::size_t limit) {
        const char* data = buf.get();
        std::size_t q = limit;
        while (q > dataStart && !isLineEnd(data[q - 1]))
            --q;
        if (q == dataStart)
            return;
        std::string_view line;
        if (!lineEndingAt(q - 1, line))
            return;
        carry.assign(line);
        carryValid = true;
    }

    // The line whose line end is the CR or LF at buf[e] (the LF of a CR LF, or a lone one).
    bool lineEndingAt(std::size_t e, std::string_view& line) const {
        const char* data = buf.get();
        std::size_t contentEnd = e;
        if (data[e] == '\n' && contentEnd > dataStart && data[contentEnd - 1] == '\r')
            --contentEnd;
        std::size_t start = contentEnd;
        while (start > dataStart && !isLineEnd(data[start - 1]))
            --start;
        if (start > dataStart || startsLine) {
            line = std::string_view(data + start, contentEnd - start);
            return true;
        }
        // It began in an earlier block, so it was gathered in spill, which still holds it.
        line = spill;
        return true;
    }

    bool previousLine(std::string_view& line) const {
        if (lastIsFirst)
            return false;
        if (lastStart == std::string::npos || lastStart == dataStart) {
            if (!carryValid)
                return false;
            line = carry;
            return true;
        }
        return lineEndingAt(lastStart - 1, line);
    }

    void handOut(std::size_t start) {
        lastStart = start;
        lastIsFirst = !seenLine;
        seenLine = true;
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
                    crossing = false;
                    handOut(std::string::npos);
                } else {
                    line = std::string_view(start, q - pos);
                    handOut(pos);
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
                saveCarry(pos);  // before spill, which may hold that line, is reused
                spill.clear();
                spilled = true;
                crossing = true;
            }
            spill.append(buf.get() + pos, end - pos);
            pos = end;
            if (!fill()) {
                crossing = false;
                if (failed)
                    return false;
                line = spill;  // the last line, without a line end
                handOut(std::string::npos);
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
                noteWriteFailure();
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
            noteWriteFailure();
        end = 0;
        return !writeFailed;
    }

    void noteWriteFailure() {
        writeFailed = true;
        if (reason)
            *reason = failureText("cannot write", staged ? target : path);
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
                noteWriteFailure();
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
    if (ch->fd == native::kNoFile) {
        reason_ = lastErrorText();
        return false;
    }
    ch->mode = Channel::Mode::Input;
    ch->path = path;
    ch->reason = &reason_;
    // Left unzeroed: only bytes read into it are looked at, and zeroing 1 MiB per open costs more
    // than the whole pass over a small library.
    ch->block = readBlock_;
    ch->buf = std::make_unique_for_overwrite<char[]>(ch->block);
    // Room for an ordinary line that crosses a block boundary, so that one allocation is made
    // whatever the library's size.
    ch->spill.reserve(256);
    ch->carry.reserve(256);
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
    if (ch->fd == native::kNoFile) {
        reason_ = failureText("cannot write", path);
        return false;
    }
    // By identity, not by name: another spelling, a link or a short name of an open file is
    // still that file. Asked of the file just opened and not yet emptied, so the name cannot
    // come to mean another file in between, and a named pipe is not connected to twice (the
    // first connection would take its only instance). Refused, ch closes it untouched.
    if (isOpenElsewhere(ch->id, path))
        return false;
    if (!native::truncate(ch->fd)) {
        reason_ = failureText("cannot empty", path);
        return false;
    }
    ch->mode = Channel::Mode::Output;
    ch->path = path;
    ch->reason = &reason_;
    ch->block = writeBlock_;
    ch->buf = std::make_unique_for_overwrite<char[]>(ch->block);
    channels_[channel] = std::move(ch);
    return true;
}

bool FileChannels::isOpenElsewhere(const native::FileId& id, const std::string& path) {
    for (const auto& other : channels_) {
        if (other && other->fd != native::kNoFile && other->id == id) {
            reason_ = "'" + path + "' is the file being read";
            return true;
        }
    }
    return false;
}

bool FileChannels::OpenStagedOutput(int16_t channel, const std::string& path) {
    if (channel < 1 || channel > kMaxChannel || channels_[channel])
        return false;
    if (path.empty() || path.find('\0') != std::string::npos)
        return false;
    // A link is followed: the file it points to is the one replaced, as writing through it would.
    const std::string target = linkTarget(path);
    auto ch = std::make_unique<Channel>();
    switch (native::kindOf(target)) {
        case native::PathKind::Other:
            return OpenOutput(channel, path);  // a pipe or device can only be written as it is
        case native::PathKind::Folder:
            reason_ = "'" + path + "' is a folder";
            return false;
        case native::PathKind::File: {
            // Renaming over a file needs no right to write it; emptying it did, and still must.
            const std::optional<KeptAttributes> kept = plainFileAttributes(target);
            if (!native::mayWrite(target) || !kept) {
                reason_ = failureText("cannot write", path);
                return false;
            }
            if (isOpenElsewhere(native::identify(target), path))
                return false;
            ch->attributes = *kept;
            ch->replacing = true;
            break;
        }
        case native::PathKind::Missing:
            ch->attributes = newFileAttributes();
            break;
    }
    std::string error;
    std::optional<TempFile> temp = TempFile::createBeside(target, error);
    if (!temp) {
        reason_ = error;
        return false;
    }
    ch->staged.emplace(std::move(*temp));
    ch->fd = native::openWrite(ch->staged->path(), ch->id);
    if (ch->fd == native::kNoFile) {
        reason_ = failureText("cannot write", ch->staged->path());
        return false;
    }
    ch->mode = Channel::Mode::Output;
    ch->path = path;
    ch->target = target;
    ch->reason = &reason_;
    ch->block = writeBlock_;
    ch->buf = std::make_unique_for_overwrite<char[]>(ch->block);
    channels_[channel] = std::move(ch);
    return true;
}

bool FileChannels::Commit(int16_t channel) {
    Channel* ch = get(channel);
    if (!ch)
        return true;
    if (!ch->staged)
        return Close(channel);
    bool ok = ch->flush();
    if (!native::close(ch->fd)) {
        if (ok)
            reason_ = failureText("cannot write", ch->target);
        ok = false;
    }
    ch->fd = native::kNoFile;
    if (ok) {
        if (auto bad = replaceFile(ch->target, ch->attributes, *ch->staged, std::nullopt,
                                   ch->replacing)) {
            reason_ = *bad;
            ok = false;
        }
    }
    channels_[channel].reset();  // a temporary file not put in place goes with it
    return ok;
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

bool FileChannels::PreviousLine(int16_t channel, std::string_view& line) const {
    const Channel* ch = get(channel);
    return ch && ch->mode == Channel::Mode::Input && ch->previousLine(line);
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
    if (to != from)
        src->seenLine = true;
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
        if (src->pos != from)
            src->seenLine = true;
        if (lineEnd != 0) {
            // What readLine would give for this line.
            line = std::string_view(src->buf.get() + src->pos, lineEnd - src->pos);
            src->handOut(src->pos);
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
    // A staged output that is not committed is given up: nothing of it may reach its target.
    bool ok = ch->staged || ch->flush();
    if (ch->fd != native::kNoFile) {
        if (!native::close(ch->fd) && ch->mode == Channel::Mode::Output && !ch->staged)
            ok = false;
        ch->fd = native::kNoFile;
    }
    channels_[channel].reset();
    return ok;
}

}  // namespace trelvo
