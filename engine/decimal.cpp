#include "engine/decimal.h"

#include <algorithm>

namespace trelvo {

namespace {

__extension__ typedef unsigned __int128 u128;

constexpr std::size_t kMaxConvertDigits = 30;  // keeps every product below 2^128

u128 pow10(std::size_t n) {
    u128 p = 1;
    while (n-- > 0) p *= 10;
    return p;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// n / d rounded to the nearest integer, halves to the even neighbour.
u128 divideHalfEven(u128 n, u128 d) {
    u128 q = n / d;
    const u128 r = n % d;
    if (2 * r > d || (2 * r == d && (q & 1) != 0)) ++q;
    return q;
}

}  // namespace

std::optional<Decimal> Decimal::parse(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return std::nullopt;
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);

    Decimal d;
    std::size_t i = 0;
    if (text[i] == '+' || text[i] == '-') d.negative_ = text[i++] == '-';
    std::size_t intDigits = 0;
    std::size_t fracDigits = 0;
    while (i < text.size() && isDigit(text[i])) {
        d.digits_.push_back(text[i++]);
        ++intDigits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) {
            d.digits_.push_back(text[i++]);
            ++fracDigits;
        }
    }
    if (i != text.size() || intDigits + fracDigits == 0) return std::nullopt;
    d.scale_ = fracDigits;
    d.normalize();
    return d;
}

void Decimal::normalize() {
    while (scale_ > 0 && !digits_.empty() && digits_.back() == '0') {
        digits_.pop_back();
        --scale_;
    }
    const auto nz = digits_.find_first_not_of('0');
    digits_.erase(0, nz == std::string::npos ? digits_.size() : nz);
    if (digits_.empty()) {
        scale_ = 0;
        negative_ = false;
    }
}

std::string Decimal::toString() const {
    if (digits_.empty()) return "0";
    std::string s = negative_ ? "-" : "";
    if (scale_ == 0) return s + digits_;
    if (digits_.size() <= scale_) {
        s += "0.";
        s.append(scale_ - digits_.size(), '0');
        return s + digits_;
    }
    const std::size_t intLen = digits_.size() - scale_;
    s.append(digits_, 0, intLen);
    s += '.';
    s.append(digits_, intLen);
    return s;
}

namespace {

// Builds a Decimal from an integer count of thousandths.
Decimal fromThousandths(u128 value, bool negative) {
    std::string text;
    if (negative) text.push_back('-');
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(value % 10)));
        value /= 10;
    } while (value > 0);
    while (digits.size() < 4) digits.insert(digits.begin(), '0');
    text += digits.substr(0, digits.size() - 3);
    text += '.';
    text += digits.substr(digits.size() - 3);
    return *Decimal::parse(text);
}

}  // namespace

std::optional<Decimal> Decimal::milsToMm() const {
    if (digits_.size() > kMaxConvertDigits || scale_ > kMaxConvertDigits) return std::nullopt;
    u128 m = 0;
    for (char c : digits_) m = m * 10 + static_cast<unsigned>(c - '0');
    // mils * 0.0254 = m * 254 / 10^(scale + 4); in thousandths: m * 254 / 10^(scale + 1).
    return fromThousandths(divideHalfEven(m * 254, pow10(scale_ + 1)), negative_);
}

std::optional<Decimal> Decimal::mmToMils() const {
    if (digits_.size() > kMaxConvertDigits || scale_ > kMaxConvertDigits) return std::nullopt;
    u128 m = 0;
    for (char c : digits_) m = m * 10 + static_cast<unsigned>(c - '0');
    // mm / 0.0254 = m * 10000 / (254 * 10^scale); in thousandths: m * 5000000 / (127 * 10^scale).
    return fromThousandths(divideHalfEven(m * 5000000, 127 * pow10(scale_)), negative_);
}

std::strong_ordering operator<=>(const Decimal& a, const Decimal& b) {
    if (a.negative_ != b.negative_) return a.negative_ ? std::strong_ordering::less : std::strong_ordering::greater;
    // Magnitudes: integer parts by length, then digit by digit with the fractions padded.
    const std::size_t ia = a.digits_.size() > a.scale_ ? a.digits_.size() - a.scale_ : 0;
    const std::size_t ib = b.digits_.size() > b.scale_ ? b.digits_.size() - b.scale_ : 0;
    std::strong_ordering m = ia <=> ib;
    if (m == 0) {
        const std::size_t scale = std::max(a.scale_, b.scale_);
        const auto digitAt = [](const Decimal& d, std::size_t i, std::size_t intLen) {
            // i counts from the first integer digit of a number with intLen integer digits.
            const std::size_t len = intLen + d.scale_;
            const std::size_t lead = len - std::min(len, d.digits_.size());  // zeros before digits
            return i < lead || i - lead >= d.digits_.size() ? '0' : d.digits_[i - lead];
        };
        for (std::size_t i = 0; i < ia + scale && m == 0; ++i) m = digitAt(a, i, ia) <=> digitAt(b, i, ib);
    }
    return a.negative_ ? 0 <=> m : m;
}

}  // namespace trelvo
