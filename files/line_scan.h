// Finding runs of plain lines: lines a bulk copy may pass on unread because no rule looks at them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string_view>

namespace trelvo {

// The lines that stop a run of plain lines, besides empty ones: those beginning with one of a
// few prefixes of one or two characters. A string of initials ("OC") makes each character a
// prefix; prefixes({"OP", "CL"}) looks at the second character too, passing other O and C lines.
class LineStops {
public:
    static constexpr int kMaxPrefixes = 8;

    constexpr LineStops() = default;
    constexpr LineStops(std::string_view initials) {  // NOLINT: a string of initials is a set
        for (char c : initials)
            add(c, '\0');
    }
    constexpr LineStops(const char* initials) : LineStops(std::string_view(initials)) {}
    static constexpr LineStops prefixes(std::initializer_list<std::string_view> list) {
        LineStops s;
        for (std::string_view p : list)
            s.add(p.at(0), p.size() > 1 ? p[1] : '\0');
        return s;
    }

    int count() const { return count_; }
    char first(int i) const { return first_[i]; }
    char second(int i) const { return second_[i]; }  // '\0': any

    // Whether the line that begins at p, with the data ending at end, begins with a stop. A
    // second character beyond end cannot be told: such a line stops, as stopping is always safe.
    bool at(const char* p, const char* end) const {
        for (int i = 0; i < count_; ++i) {
            if (*p == first_[i] && (second_[i] == '\0' || p + 1 == end || p[1] == second_[i]))
                return true;
        }
        return false;
    }

private:
    constexpr void add(char a, char b) {
        if (count_ == kMaxPrefixes)
            throw std::length_error("too many line stops");
        first_[count_] = a;
        second_[count_] = b;
        ++count_;
    }

    char first_[kMaxPrefixes] = {};
    char second_[kMaxPrefixes] = {};
    int count_ = 0;
};

// A plain line is not empty, ends in CR LF inside data[0, end), and begins with neither CR, LF
// nor a stop. Returns the end of the run of plain lines that starts at p (p itself when the line
// at p is not plain) and adds the number of lines in the run to lines.
std::size_t plainRunEnd(const char* data, std::size_t p, std::size_t end, const LineStops& stop,
                        std::uint64_t& lines);

// The ways plainRunEnd can scan, giving the same: AVX2 where the machine has it, else bytewise.
enum class ScanPath { Scalar, Avx2 };
bool scanPathAvailable(ScanPath path);
std::size_t plainRunEndWith(ScanPath path, const char* data, std::size_t p, std::size_t end,
                            const LineStops& stop, std::uint64_t& lines);

// The first CR or LF in [p, end), or end, found as the runs are.
const char* findLineEnd(const char* p, const char* end);

// The characters a counted run's lines may begin with, as a set looked up in one step.
class Initials {
public:
    explicit constexpr Initials(std::string_view chars) {
        for (char c : chars) {
            const auto u = static_cast<unsigned char>(c);
            bits_[u >> 6] |= std::uint64_t{1} << (u & 63);
        }
    }
    constexpr bool has(char c) const {
        const auto u = static_cast<unsigned char>(c);
        return (bits_[u >> 6] >> (u & 63) & 1) != 0;
    }

private:
    std::uint64_t bits_[4] = {};
};

// A counted run from p (lines whose number is known, such as a piece's corners): at most count
// lines, each ending in CR LF inside data[0, end), beginning with one of initials and with none
// of refuse's prefixes. Returns its end and adds the number of its lines to lines.
std::size_t countedRunEnd(const char* data, std::size_t p, std::size_t end, std::uint64_t count,
                          const Initials& initials, const LineStops* refuse, std::uint64_t& lines);
std::size_t countedRunEndWith(ScanPath path, const char* data, std::size_t p, std::size_t end,
                              std::uint64_t count, const Initials& initials,
                              const LineStops* refuse, std::uint64_t& lines);

}  // namespace trelvo
