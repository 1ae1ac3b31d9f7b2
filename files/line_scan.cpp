#include "files/line_scan.h"

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#include <immintrin.h>
#define TRELVO_AVX2 1
#endif

namespace trelvo {

namespace {

// The start of the line that holds position i - 1: just after the last LF before i, or p. Lines
// are short, so a backward look is cheaper than keeping this up while scanning.
std::size_t afterLastLf(const char* data, std::size_t p, std::size_t i) {
    while (i > p && data[i - 1] != '\n')
        --i;
    return i;
}

// How the vector paths see a run, for each position i after its first byte: the run must end
// before the line holding i - 1 when byte i - 1 is a CR and byte i no LF (a lone CR), or byte i is
// an LF without a CR before it (a lone LF, also an empty line ended by LF); or before the line at
// i when byte i - 1 is an LF and byte i a CR (an empty line) or a stop character. The first such
// i fixes the end as just after the last LF before it, in both cases. Every LF before it ends a
// plain line, so the lines are counted by their LFs.

// Just past the CR LF that ends the line at p inside data[0, end); 0 when its first CR or LF is
// no CR LF there.
std::size_t afterCrLf(const char* data, std::size_t p, std::size_t end) {
    while (p < end && data[p] != '\r' && data[p] != '\n')
        ++p;
    return p + 1 < end && data[p] == '\r' && data[p + 1] == '\n' ? p + 2 : 0;
}

std::size_t plainRunEndScalar(const char* data, std::size_t p, std::size_t end,
                              const LineStops& stop, std::uint64_t& lines) {
    while (p < end && data[p] != '\r' && data[p] != '\n' && !stop.at(data + p, data + end)) {
        const std::size_t next = afterCrLf(data, p, end);
        if (next == 0)
            break;
        p = next;
        ++lines;
    }
    return p;
}

#if defined(TRELVO_AVX2)
constexpr int kVectorStops = 4;  // how many prefixes the vector path compares

__attribute__((target("avx2,popcnt"))) std::size_t plainRunAvx2(const char* data, std::size_t p,
                                                                std::size_t end,
                                                                const LineStops& stop,
                                                                std::uint64_t& lines) {
    const __m256i crV = _mm256_set1_epi8('\r');
    const __m256i lfV = _mm256_set1_epi8('\n');
    __m256i f[kVectorStops], sec[kVectorStops], any[kVectorStops];
    for (int i = 0; i < kVectorStops; ++i) {
        // Unused prefixes repeat CR (which stops a line anyway) with any second character.
        const bool used = i < stop.count();
        const char second = used ? stop.second(i) : '\0';
        f[i] = _mm256_set1_epi8(used ? stop.first(i) : '\r');
        sec[i] = _mm256_set1_epi8(second);
        any[i] = second == '\0' ? _mm256_set1_epi8(-1) : _mm256_setzero_si256();
    }
    std::uint64_t counted = 0;
    std::size_t c = p + 1;
    for (; c + 33 <= end; c += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + c));
        const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + c - 1));
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + c + 1));
        const __m256i vCr = _mm256_cmpeq_epi8(v, crV);
        const __m256i vLf = _mm256_cmpeq_epi8(v, lfV);
        const __m256i unpaired = _mm256_xor_si256(_mm256_cmpeq_epi8(w, crV), vLf);
        __m256i stops = vCr;
        for (int i = 0; i < kVectorStops; ++i) {
            stops = _mm256_or_si256(
                stops, _mm256_and_si256(_mm256_cmpeq_epi8(v, f[i]),
                                        _mm256_or_si256(_mm256_cmpeq_epi8(x, sec[i]), any[i])));
        }
        const __m256i bad =
            _mm256_or_si256(unpaired, _mm256_and_si256(_mm256_cmpeq_epi8(w, lfV), stops));
        const unsigned mask = static_cast<unsigned>(_mm256_movemask_epi8(bad));
        const unsigned lfs = static_cast<unsigned>(_mm256_movemask_epi8(vLf));
        if (mask == 0) {
            counted += static_cast<unsigned>(__builtin_popcount(lfs));
            continue;
        }
        const unsigned b = static_cast<unsigned>(__builtin_ctz(mask));
        counted += static_cast<unsigned>(__builtin_popcount(lfs & ((1u << b) - 1)));
        lines += counted;
        return afterLastLf(data, p, c + b);
    }
    lines += counted;
    // The last few bytes one by one, from the line that holds the last byte looked at.
    return plainRunEndScalar(data, afterLastLf(data, p, c), end, stop, lines);
}
#endif

bool hasAvx2() {
#if defined(TRELVO_AVX2)
    static const bool yes = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
    return yes;
#else
    return false;
#endif
}

// Called once per run of plain lines, which are short: inlined into both entry points.
#if defined(__GNUC__)
__attribute__((always_inline))
#endif
inline std::size_t runEnd(ScanPath path, const char* data, std::size_t p, std::size_t end,
                          const LineStops& stop, std::uint64_t& lines) {
    if (p >= end || data[p] == '\r' || data[p] == '\n' || stop.at(data + p, data + end))
        return p;
#if defined(TRELVO_AVX2)
    if (path == ScanPath::Avx2 && stop.count() <= kVectorStops && hasAvx2())
        return plainRunAvx2(data, p, end, stop, lines);
#endif
    (void)path;
    return plainRunEndScalar(data, p, end, stop, lines);
}

bool startsCountedLine(const char* data, std::size_t s, std::size_t end, const Initials& initials,
                       const LineStops* refuse) {
    return data[s] != '\r' && data[s] != '\n' && initials.has(data[s]) &&
           !(refuse && refuse->at(data + s, data + end));
}

std::size_t countedRunScalar(const char* data, std::size_t p, std::size_t end, std::uint64_t count,
                             const Initials& initials, const LineStops* refuse,
                             std::uint64_t& lines) {
    std::uint64_t n = 0;
    while (n < count && p < end && startsCountedLine(data, p, end, initials, refuse)) {
        const std::size_t next = afterCrLf(data, p, end);
        if (next == 0)
            break;
        p = next;
        ++n;
    }
    lines += n;
    return p;
}

#if defined(TRELVO_AVX2)
// Every line end and every lone CR or LF is found 32 bytes at a time; only line starts are looked
// at one by one.
__attribute__((target("avx2,popcnt"))) std::size_t countedRunAvx2(
    const char* data, std::size_t p, std::size_t end, std::uint64_t count,
    const Initials& initials, const LineStops* refuse, std::uint64_t& lines) {
    if (count == 0 || p >= end || !startsCountedLine(data, p, end, initials, refuse))
        return p;
    const __m256i crV = _mm256_set1_epi8('\r');
    const __m256i lfV = _mm256_set1_epi8('\n');
    std::uint64_t n = 0;
    std::size_t start = p;  // of the line being looked at
    std::size_t c = p + 1;
    for (; c + 32 <= end; c += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + c));
        const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + c - 1));
        const __m256i vLf = _mm256_cmpeq_epi8(v, lfV);
        const unsigned bad = static_cast<unsigned>(
            _mm256_movemask_epi8(_mm256_xor_si256(_mm256_cmpeq_epi8(w, crV), vLf)));
        unsigned events = bad | static_cast<unsigned>(_mm256_movemask_epi8(vLf));
        while (events != 0) {
            const unsigned b = static_cast<unsigned>(__builtin_ctz(events));
            events &= events - 1;
            if (bad >> b & 1) {
                lines += n;
                return start;  // a lone CR or LF: the line holding it is none of the run's
            }
            const std::size_t next = c + b + 1;
            ++n;
            if (n == count || next == end || !startsCountedLine(data, next, end, initials, refuse)) {
                lines += n;
                return next;
            }
            start = next;
        }
    }
    // The last bytes one by one, from the line being looked at.
    lines += n;
    return countedRunScalar(data, start, end, count - n, initials, refuse, lines);
}
#endif

#if defined(TRELVO_AVX2)
// The first CR or LF in whole blocks of 32 bytes from p, or where fewer than 32 are left.
__attribute__((target("avx2"))) const char* lineEndAvx2(const char* p, const char* end) {
    const __m256i cr = _mm256_set1_epi8('\r');
    const __m256i lf = _mm256_set1_epi8('\n');
    for (; end - p >= 32; p += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const unsigned hits = static_cast<unsigned>(
            _mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(v, cr), _mm256_cmpeq_epi8(v, lf))));
        if (hits != 0)
            return p + __builtin_ctz(hits);
    }
    return p;
}
#endif

}  // namespace

bool scanPathAvailable(ScanPath path) {
    return path == ScanPath::Scalar || hasAvx2();
}

std::size_t plainRunEndWith(ScanPath path, const char* data, std::size_t p, std::size_t end,
                            const LineStops& stop, std::uint64_t& lines) {
    return runEnd(path, data, p, end, stop, lines);
}

std::size_t plainRunEnd(const char* data, std::size_t p, std::size_t end, const LineStops& stop,
                        std::uint64_t& lines) {
    return runEnd(ScanPath::Avx2, data, p, end, stop, lines);
}

std::size_t countedRunEndWith(ScanPath path, const char* data, std::size_t p, std::size_t end,
                              std::uint64_t count, const Initials& initials,
                              const LineStops* refuse, std::uint64_t& lines) {
#if defined(TRELVO_AVX2)
    if (path == ScanPath::Avx2 && hasAvx2())
        return countedRunAvx2(data, p, end, count, initials, refuse, lines);
#endif
    (void)path;
    return countedRunScalar(data, p, end, count, initials, refuse, lines);
}

std::size_t countedRunEnd(const char* data, std::size_t p, std::size_t end, std::uint64_t count,
                          const Initials& initials, const LineStops* refuse, std::uint64_t& lines) {
    return countedRunEndWith(ScanPath::Avx2, data, p, end, count, initials, refuse, lines);
}

const char* findLineEnd(const char* p, const char* end) {
#if defined(TRELVO_AVX2)
    if (hasAvx2())
        p = lineEndAvx2(p, end);
#endif
    while (p < end && *p != '\r' && *p != '\n')
        ++p;
    return p;
}

}  // namespace trelvo
