#include "engine/geometry.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>
#include <optional>

#include "engine/fields.h"

namespace trelvo {

namespace {

// No decal has more lines than this; a larger count only means "to the end".
constexpr long long kCountCap = 1LL << 30;

std::optional<long long> count(std::string_view t) {
    long long v = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    if (r.ptr != t.data() + t.size() || t.empty() || t[0] == '-')
        return std::nullopt;
    // Too many digits for any integer is as good as "to the end", on every platform.
    if (r.ec == std::errc::result_out_of_range)
        return kCountCap;
    if (r.ec != std::errc())
        return std::nullopt;
    return std::min(v, kCountCap);
}

// Points of the arc from its begin angle along its sweep: the ends and every axis it crosses.
void addArc(Box& box, const Vertex& v) {
    const double cx = (v.boxX1 + v.boxX2) / 2, cy = (v.boxY1 + v.boxY2) / 2;
    const double r = std::abs(v.boxX2 - v.boxX1) / 2;
    auto at = [&](double deg) {
        const double a = deg * std::numbers::pi / 180;
        box.add(cx + r * std::cos(a), cy + r * std::sin(a));
    };
    const double from = std::min(v.begin, v.begin + v.sweep);
    const double to = std::max(v.begin, v.begin + v.sweep);
    at(from);
    at(to);
    for (double q = std::ceil(from / 90) * 90; q < to; q += 90)
        at(q);
}

}  // namespace

void Box::add(double x, double y) {
    if (empty) {
        minX = maxX = x;
        minY = maxY = y;
        empty = false;
        return;
    }
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
}

void Box::add(const Box& o) {
    if (o.empty)
        return;
    add(o.minX, o.minY);
    add(o.maxX, o.maxY);
}

bool isOutlineKeyword(std::string_view k) {
    return k == "OPEN" || k == "CLOSED" || k == "CIRCLE";
}

std::optional<double> ReadGeometryNumber(std::string_view t) {
    // Exports write "10.0", "-0.0" and "+5" alike; from_chars takes no "+".
    if (!t.empty() && t[0] == '+')
        t.remove_prefix(1);
    double v = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    if (r.ec != std::errc() || r.ptr != t.data() + t.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

DecalGeometry ReadDecalGeometry(const std::vector<std::string_view>& lines, std::size_t first,
                                std::size_t& next) {
    DecalGeometry d;
    next = first + 1;
    if (first >= lines.size())
        return d;
    Fields f;
    Str2Ary_All(lines[first], " ", 1, f);
    if (f.count() != kDecalHeaderFields)
        return d;
    d.name = f[1];
    d.unit = f[2] == "M" ? Unit::Millimetres : Unit::Mils;
    const long long attrs = count(f[5]).value_or(0), labels = count(f[6]).value_or(0);
    const long long pieces = count(f[7]).value_or(0), texts = count(f[8]).value_or(0);
    const long long terminals = count(f[9]).value_or(0), stacks = count(f[10]).value_or(0);
    const std::size_t n = lines.size();
    std::size_t i = first + 1;
    auto skip = [&](long long k) { i = std::min(n, i + static_cast<std::size_t>(std::max(0LL, k))); };

    if (i < n && lines[i].starts_with("TIMESTAMP"))
        ++i;
    skip(attrs);
    // A label line "x y rotation mirror height width layer ...", a text line "x y rotation layer
    // height width ...", each followed by what it reads.
    const auto readTexts = [&](long long k, bool label) {
        for (long long t = 0; t < k && i + 1 < n; ++t, i += 2) {
            Str2Ary_All(lines[i], " ", 1, f);
            const auto x = f.count() >= 7 ? ReadGeometryNumber(f[1]) : std::nullopt;
            const auto y = f.count() >= 7 ? ReadGeometryNumber(f[2]) : std::nullopt;
            const auto h = f.count() >= 7 ? ReadGeometryNumber(f[5]) : std::nullopt;
            const auto w = f.count() >= 7 ? ReadGeometryNumber(f[6]) : std::nullopt;
            if (!x || !y || !h || !w) {
                d.unread.push_back(i);
                continue;
            }
            d.texts.push_back({label, i, *x, *y, *h, *w, std::string(f[label ? 7 : 4]),
                               std::string(trimSpaces(lines[i + 1]))});
        }
        i = std::min(n, i);
    };
    readTexts(labels, true);
    for (long long p = 0; p < pieces && i < n; ++p) {
        Str2Ary_All(lines[i], " ", 1, f);
        const auto corners = f.count() >= 4 ? count(f[2]) : std::nullopt;
        const auto width = f.count() >= 4 ? ReadGeometryNumber(f[3]) : std::nullopt;
        if (!corners || !width) {
            // Without its corner count the place of everything after it is unknown.
            d.unread.push_back(i);
            next = n;
            return d;
        }
        GeometryPiece piece;
        piece.keyword = f[1];
        piece.line = i;
        piece.width = *width;
        piece.layer = f[4];
        bool readable = true;
        ++i;
        for (long long c = 0; c < *corners && i < n; ++c, ++i) {
            Str2Ary_All(lines[i], " ", 1, f);
            Vertex v;
            std::optional<double> vals[8];
            const std::size_t k = f.count();
            for (std::size_t j = 0; j < k && j < 8; ++j)
                vals[j] = ReadGeometryNumber(f[static_cast<int>(j) + 1]);
            if ((k != 2 && k != 8) || !vals[0] || !vals[1]) {
                d.unread.push_back(i);
                readable = false;
                continue;
            }
            v.x = *vals[0];
            v.y = *vals[1];
            if (k == 8) {
                for (std::size_t j = 2; j < 8; ++j) {
                    if (!vals[j])
                        readable = false;
                }
                if (!readable) {
                    d.unread.push_back(i);
                    continue;
                }
                v.arc = true;
                v.begin = *vals[2] / 10;
                v.sweep = *vals[3] / 10;
                v.boxX1 = *vals[4];
                v.boxY1 = *vals[5];
                v.boxX2 = *vals[6];
                v.boxY2 = *vals[7];
            }
            piece.points.push_back(v);
        }
        if (readable)
            d.pieces.push_back(std::move(piece));
    }
    readTexts(texts, false);
    for (long long t = 0; t < terminals && i < n; ++t, ++i) {
        Str2Ary_All(lines[i], " ", 1, f);
        std::optional<double> x, y;
        if (f.count() >= 5 && f[1].starts_with("T")) {
            x = ReadGeometryNumber(f[1].substr(1));
            y = ReadGeometryNumber(f[2]);
        }
        if (!x || !y) {
            d.unread.push_back(i);
            continue;
        }
        d.terminals.push_back({*x, *y, f.count() >= 5 ? std::string(f[5]) : std::string()});
    }
    for (long long s = 0; s < stacks && i < n; ++s) {
        Str2Ary_All(lines[i], " ", 1, f);
        const auto layers = f.count() >= 3 && f[1] == "PAD" ? count(f[3]) : std::nullopt;
        if (!layers) {
            d.unread.push_back(i);
            next = n;
            return d;
        }
        ++i;
        skip(*layers);
    }
    next = i;
    return d;
}

Box PieceBox(const GeometryPiece& piece) {
    Box b;
    if (piece.keyword == "CIRCLE" && piece.points.size() == 2) {
        const Vertex &a = piece.points[0], &c = piece.points[1];
        const double cx = (a.x + c.x) / 2, cy = (a.y + c.y) / 2;
        const double r = std::hypot(c.x - a.x, c.y - a.y) / 2;
        b.add(cx - r, cy - r);
        b.add(cx + r, cy + r);
        return b;
    }
    for (const Vertex& v : piece.points) {
        b.add(v.x, v.y);
        if (v.arc)
            addArc(b, v);
    }
    return b;
}

Box DecalBox(const DecalGeometry& d) {
    Box b;
    for (const GeometryPiece& p : d.pieces)
        b.add(PieceBox(p));
    for (const Terminal& t : d.terminals)
        b.add(t.x, t.y);
    return b;
}

}  // namespace trelvo
