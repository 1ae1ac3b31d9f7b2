// trelvo-bench-gen: writes a synthetic decal library of a chosen size, shaped like a PowerPCB
// export (decal headers, timestamps, attributes, labels, outline and copper pieces with their
// points, terminals, pad stacks, CR LF line ends). The same seed always gives the same bytes.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view kUsage =
    "Usage: trelvo-bench-gen [--size SIZE] [--seed N] [--units I|M|mixed] [-o FILE]\n"
    "Writes a synthetic decal library of at least SIZE bytes (suffix K, M or G; default 16M)\n"
    "to FILE (default: standard output). The same seed gives the same file.\n";

// splitmix64: tiny, fast and the same on every platform (unlike std distributions).
class Rng {
public:
    explicit Rng(std::uint64_t seed) : s_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (s_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in [0, n).
    unsigned below(unsigned n) { return static_cast<unsigned>(next() % n); }
    bool chance(unsigned percent) { return below(100) < percent; }

private:
    std::uint64_t s_;
};

enum class UnitMix { Mils, Millimetres, Mixed };

class Writer {
public:
    explicit Writer(std::FILE* out) : out_(out) { buf_.reserve(kFlushAt + 4096); }
    ~Writer() { flush(); }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    Writer& put(std::string_view s) {
        buf_ += s;
        return *this;
    }
    Writer& put(char c) {
        buf_ += c;
        return *this;
    }
    Writer& num(long v) {
        char tmp[24];
        const auto r = std::to_chars(tmp, tmp + sizeof tmp, v);
        buf_.append(tmp, r.ptr);
        return *this;
    }
    // v / 10^places, written the way exports write coordinates (trailing zeros dropped).
    Writer& fixed(long v, int places) {
        if (v < 0) {
            buf_ += '-';
            v = -v;
        }
        long scale = 1;
        for (int i = 0; i < places; ++i)
            scale *= 10;
        num(v / scale);
        long frac = v % scale;
        if (frac != 0) {
            int digits = places;
            while (frac % 10 == 0) {
                frac /= 10;
                --digits;
            }
            char tmp[24];
            const auto r = std::to_chars(tmp, tmp + sizeof tmp, frac);
            buf_ += '.';
            buf_.append(static_cast<std::size_t>(digits - (r.ptr - tmp)), '0');
            buf_.append(tmp, r.ptr);
        }
        return *this;
    }
    void endLine() {
        buf_ += "\r\n";
        if (buf_.size() >= kFlushAt)
            flush();
    }
    std::uint64_t written() const { return total_ + buf_.size(); }
    bool ok() const { return ok_; }
    void flush() {
        if (!buf_.empty() && std::fwrite(buf_.data(), 1, buf_.size(), out_) != buf_.size()) {
            ok_ = false;
        }
        total_ += buf_.size();
        buf_.clear();
    }

private:
    static constexpr std::size_t kFlushAt = std::size_t{1} << 20;
    std::FILE* out_;
    std::string buf_;
    std::uint64_t total_ = 0;
    bool ok_ = true;
};

const char* const kFamilies[] = {"SOIC", "QFN",  "SOT23", "USB-C", "R0603", "C0805", "TSSOP",
                                 "BGA",  "DPAK", "HDR",   "LED",   "SMA",   "MOLEX", "XTAL"};
const char* const kOutlines[] = {"OPEN", "OPEN", "OPEN", "CLOSED", "CLOSED", "CIRCLE"};
const char* const kCopper[] = {"COPCLS", "COPOPN", "KPTCLS", "COPCUT"};
// Outline layers as exports use them: 26 (silkscreen top) most often.
const int kLayers[] = {26, 26, 26, 26, 1, 20, 27, 28, 0};
// Usual widths: in mils, and their millimetre counterparts.
const char* const kMilWidths[] = {"10", "10", "10", "8", "12", "6", "5", "10.0", "7.874"};
const char* const kMmWidths[] = {"0.254", "0.254", "0.254", "0.2", "0.3048",
                                 "0.15",  "0.127", "0.12",  "0.05"};

class Generator {
public:
    Generator(Writer& w, std::uint64_t seed, UnitMix units) : w_(w), rng_(seed), units_(units) {}

    void library(std::uint64_t size) {
        w_.put("*PADS-LIBRARY-PCB-DECALS-V9*").endLine();
        long n = 0;
        while (w_.written() < size)
            decal(n++);
        w_.endLine();
        w_.put("*END*").endLine();
    }

private:
    // A coordinate in the decal's unit: thousandths of a mil, or ten-thousandths of a mm.
    void coord(bool mm) {
        const long range = mm ? 100000 : 400000;
        const long v = static_cast<long>(rng_.below(static_cast<unsigned>(2 * range))) - range;
        w_.fixed(mm ? v / 10 * 10 : v, mm ? 4 : 3);
    }

    void decal(long n) {
        const bool mm =
            units_ == UnitMix::Millimetres || (units_ == UnitMix::Mixed && rng_.chance(40));
        const unsigned outlines = 2 + rng_.below(10);
        const unsigned coppers = rng_.chance(15) ? 1 + rng_.below(2) : 0;
        const unsigned terminals = 2 + rng_.below(rng_.chance(10) ? 120 : 24);
        const unsigned stacks = 1 + rng_.below(3);

        w_.endLine();  // decals are separated by an empty line
        w_.put(kFamilies[rng_.below(std::size(kFamilies))]).put('_').num(n).put(' ');
        w_.put(mm ? "M" : "I").put(" 0     0     2 2 ").num(outlines + coppers).put(" 0 ");
        w_.num(terminals).put(' ').num(stacks).put(" 0").endLine();
        w_.put("TIMESTAMP 20").num(10 + rng_.below(15)).put('.').num(1 + rng_.below(12));
        w_.put('.').num(1 + rng_.below(28)).put(".14.12.31").endLine();
        w_.put("\"Geometry.Height\" ").num(1 + rng_.below(9)).put("mm").endLine();
        w_.put("\"Description\" Synthetic part ").num(n).put(", ").num(terminals);
        w_.put(" pins").endLine();
        for (const char* label : {"REF-DES", "PART-TYPE"}) {
            // Heights and stroke widths within what the format allows, in the decal's unit.
            w_.put(mm ? "0     1.39  0     0 1.2   0.12  1 17 42 \"Default Font\""
                      : "0     55    0     0 47    5     1 17 42 \"Default Font\"")
                .endLine();
            w_.put(label).endLine();
        }
        for (unsigned i = 0; i < outlines; ++i)
            piece(kOutlines[rng_.below(std::size(kOutlines))], mm);
        for (unsigned i = 0; i < coppers; ++i)
            piece(kCopper[rng_.below(std::size(kCopper))], mm);
        for (unsigned t = 1; t <= terminals; ++t) {
            w_.put('T');
            coord(mm);
            w_.put(' ');
            coord(mm);
            w_.put(' ');
            coord(mm);
            w_.put(' ');
            coord(mm);
            w_.put(' ').num(t).endLine();
        }
        for (unsigned s = 0; s < stacks; ++s) {
            w_.put("PAD ").num(s).put(" 3 P 0").endLine();
            w_.put("-2 ").put(mm ? "1.1" : "60").put(" OF  0    2.2 0").endLine();
            w_.put("-1 0   R").endLine();
            w_.put("0  ").put(mm ? "1.1" : "60").put(" R").endLine();
        }
    }

    void piece(const char* keyword, bool mm) {
        const bool circle = std::strcmp(keyword, "CIRCLE") == 0;
        const unsigned points = circle ? 2 : 2 + rng_.below(5);
        const char* width = mm ? kMmWidths[rng_.below(std::size(kMmWidths))]
                               : kMilWidths[rng_.below(std::size(kMilWidths))];
        w_.put(keyword);
        if (rng_.chance(30))
            w_.put("  ");  // exports pad the keyword column now and then
        w_.put(' ').num(points).put(' ').put(width).put(' ').num(
            kLayers[rng_.below(std::size(kLayers))]);
        w_.put(" -1").endLine();
        for (unsigned i = 0; i < points; ++i) {
            coord(mm);
            w_.put(' ');
            coord(mm);
            if (!circle && i > 0 && rng_.chance(5))
                w_.put(" 90 0");  // an arc corner
            w_.endLine();
        }
    }

    Writer& w_;
    Rng rng_;
    UnitMix units_;
};

bool parseSize(std::string_view text, std::uint64_t& size) {
    std::uint64_t mult = 1;
    if (!text.empty()) {
        switch (text.back()) {
            case 'K':
            case 'k':
                mult = 1ULL << 10;
                break;
            case 'M':
            case 'm':
                mult = 1ULL << 20;
                break;
            case 'G':
            case 'g':
                mult = 1ULL << 30;
                break;
            default:
                break;
        }
        if (mult != 1)
            text.remove_suffix(1);
    }
    std::uint64_t v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc{} || r.ptr != text.data() + text.size())
        return false;
    size = v * mult;
    return true;
}

int usage(const char* why) {
    std::fprintf(stderr, "trelvo-bench-gen: %s\n%.*s", why, static_cast<int>(kUsage.size()),
                 kUsage.data());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::uint64_t size = 16ULL << 20;
    std::uint64_t seed = 1;
    UnitMix units = UnitMix::Mixed;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fwrite(kUsage.data(), 1, kUsage.size(), stdout);
            return 0;
        }
        if (i + 1 >= argc)
            return usage("missing value or unknown option");
        const std::string_view value = argv[++i];
        if (arg == "--size") {
            if (!parseSize(value, size))
                return usage("bad --size");
        } else if (arg == "--seed") {
            const auto r = std::from_chars(value.data(), value.data() + value.size(), seed);
            if (r.ec != std::errc{} || r.ptr != value.data() + value.size())
                return usage("bad --seed");
        } else if (arg == "--units") {
            if (value == "I") {
                units = UnitMix::Mils;
            } else if (value == "M") {
                units = UnitMix::Millimetres;
            } else if (value == "mixed") {
                units = UnitMix::Mixed;
            } else {
                return usage("--units takes I, M or mixed");
            }
        } else if (arg == "-o" || arg == "--output") {
            path = argv[i];
        } else {
            return usage("unknown option");
        }
    }

    std::FILE* out = path ? std::fopen(path, "wb") : stdout;
    if (!out) {
        std::perror(path);
        return 1;
    }
    bool ok = true;
    {
        Writer w(out);
        Generator(w, seed, units).library(size);
        w.flush();
        ok = w.ok();
    }
    if (std::fflush(out) != 0)
        ok = false;
    if (path && std::fclose(out) != 0)
        ok = false;
    if (!ok) {
        std::fprintf(stderr, "trelvo-bench-gen: write failed\n");
        return 1;
    }
    return 0;
}
