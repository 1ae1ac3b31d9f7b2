// Exact decimal numbers for line widths: read from text and written back without binary
// floating point, so that 0.254 stays 0.254 and the mils/millimetre conversion rounds the true
// value. Independent of the process locale.
#pragma once

#include <compare>
#include <optional>
#include <string>
#include <string_view>

namespace trelvo {

class Decimal {
public:
    Decimal() = default;  // zero

    // Reads an optional sign, then digits with an optional point and fraction digits (at least
    // one digit in all); spaces (U+0020) around it are ignored. Anything else is not a number.
    static std::optional<Decimal> parse(std::string_view text);

    // Shortest plain decimal form: 5, 0.127, -12.5; zero is "0", never "-0".
    std::string toString() const;

    // Mils to millimetres (x 0.0254) and back (/ 0.0254), rounded to three places, halves to
    // even. Empty when the value is too long to convert exactly (over 30 digits).
    std::optional<Decimal> milsToMm() const;
    std::optional<Decimal> mmToMils() const;

    bool isNegative() const { return negative_; }

    friend bool operator==(const Decimal&, const Decimal&) = default;
    friend std::strong_ordering operator<=>(const Decimal& a, const Decimal& b);

private:
    // value = (negative ? -1 : 1) * digits * 10^-scale, with no leading zeros in digits and no
    // trailing zeros in the fraction; zero has no digits and is never negative.
    bool negative_ = false;
    std::string digits_;
    std::size_t scale_ = 0;

    void normalize();
};

}  // namespace trelvo
