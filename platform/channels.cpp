#include "platform/channels.h"

#include "platform/native_file.h"

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

// A plain loop: string_view::find would call memchr once per line for a set of two or so.
// Set bits of a 16-bit mask, without relying on a popcount instruction the target may lack.
unsigned popcount16(unsigned x) {
    x = x - ((x >> 1) & 0x5555u);
    x = (x & 0x3333u) + ((x >> 2) & 0x3333u);
    x = (x + (x >> 4)) & 0x0F0Fu;
    return (x + (x >> 8)) & 0x1Fu;
}

bool isOneOf(char c, std::string_view set) {
    for (char s : set) {
        if (c == s)
            return true;
    }
    return false;
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
        const char* const data = buf.get();
        std::size_t p = pos;  // start of the line being looked at
        // True when the line at p may be copied: it ends in CR LF at q, inside this block.
        const auto endsPlain = [&](std::size_t q) {
            return q + 1 < end && data[q] == '\r' && data[q + 1] == '\n';
        };
        const auto startsPlain = [&](std::size_t at) {
            const char first = data[at];
            return first != '\r' && first != '\n' && !isOneOf(first, stop);
        };
        if (p >= end || !startsPlain(p))
            return p;
#if defined(__SSE2__)
        // Whole runs at once. Per 16 bytes one load gives three bit masks (CR, LF, and bytes that
        // cannot begin a plain line); shifted against the next chunk's masks they give every
        // position where the run must stop: a CR not followed by LF, an LF not after a CR, or a
        // CR LF followed by a line that is not plain. Lines are counted by their LFs. No branch
        // depends on where a line ends, so short lines cost nothing extra.
        if (stop.size() <= 2) {
            const __m128i crV = _mm_set1_epi8('\r');
            const __m128i lfV = _mm_set1_epi8('\n');
            const __m128i s0 = _mm_set1_epi8(stop.empty() ? '\r' : stop[0]);
            const __m128i s1 = _mm_set1_epi8(stop.size() < 2 ? '\r' : stop[1]);
            struct Masks {
                unsigned cr, lf, notPlain;
                __m128i lfBytes;  // 0xFF at each LF
            };
            const auto masksAt = [&](std::size_t at) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
                const __m128i cr = _mm_cmpeq_epi8(v, crV);
                const __m128i lf = _mm_cmpeq_epi8(v, lfV);
                const __m128i other = _mm_or_si128(_mm_cmpeq_epi8(v, s0), _mm_cmpeq_epi8(v, s1));
                return Masks{static_cast<unsigned>(_mm_movemask_epi8(cr)),
                             static_cast<unsigned>(_mm_movemask_epi8(lf)),
                             static_cast<unsigned>(_mm_movemask_epi8(
                                 _mm_or_si128(_mm_or_si128(cr, lf), other))),
                             lf};
            };
            // LFs of whole chunks are counted in byte lanes (each LF byte is -1, so subtracting
            // adds one) and summed only every 255 chunks and at the end, instead of a bit count
            // per chunk.
            const __m128i zero = _mm_setzero_si128();
            __m128i laneCounts = zero, sums = zero;
            unsigned chunksCounted = 0;
            const auto addCounts = [&] {
                sums = _mm_add_epi64(sums, _mm_sad_epu8(laneCounts, zero));
                laneCounts = zero;
                chunksCounted = 0;
                lines += static_cast<std::uint64_t>(_mm_cvtsi128_si32(sums)) +
                         static_cast<std::uint64_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
                sums = zero;
            };
            // The start of the line after the last LF before limit, all of whose lines are
            // plain: found when needed, lines being short, rather than kept up per chunk.
            const auto afterLastLf = [&](std::size_t limit) {
                while (limit > p && data[limit - 1] != '\n')
                    --limit;
                return limit;
            };
            unsigned carryCr = 0;  // the byte before the chunk is a CR
            std::size_t chunk = p;
            if (chunk + 32 <= end) {
                Masks cur = masksAt(chunk);
                for (; chunk + 32 <= end; chunk += 16) {
                    const Masks next = masksAt(chunk + 16);
                    const unsigned lfNext = (cur.lf >> 1) | ((next.lf & 1u) << 15);
                    const unsigned notPlain2 = (cur.notPlain >> 2) | ((next.notPlain & 3u) << 14);
                    const unsigned crPrev = ((cur.cr << 1) | carryCr) & 0xFFFFu;
                    const unsigned bad = (cur.cr & ~lfNext) | (cur.lf & ~crPrev) |
                                         (cur.cr & lfNext & notPlain2);
                    if (bad == 0) {
                        laneCounts = _mm_sub_epi8(laneCounts, cur.lfBytes);
                        if (++chunksCounted == 255)
                            addCounts();
                        carryCr = cur.cr >> 15;
                        cur = next;
                        continue;
                    }
                    addCounts();
                    const unsigned b = static_cast<unsigned>(__builtin_ctz(bad));
                    const unsigned before = cur.lf & ((1u << b) - 1);
                    lines += popcount16(before);
                    const std::size_t q = chunk + b;
                    if (data[q] == '\r' && data[q + 1] == '\n') {
                        // This line is plain; the next one is not.
                        ++lines;
                        return q + 2;
                    }
                    return before != 0
                               ? chunk + 32 - static_cast<std::size_t>(__builtin_clz(before))
                               : afterLastLf(chunk);
                }
            }
            addCounts();
            p = afterLastLf(chunk);
            if (p >= end || !startsPlain(p))
                return p;
        }
#endif
        while (p < end && startsPlain(p)) {
            const std::size_t q =
                static_cast<std::size_t>(findLineEnd(data + p, data + end) - data);
            if (!endsPlain(q))
                break;
            p = q + 2;
            ++lines;
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
