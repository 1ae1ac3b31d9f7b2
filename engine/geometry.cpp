#include "engine/geometry.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>
#include <optional>

#include "engine/fields.h"
#include "engine/rules.h"

namespace trelvo {

namespace {

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

namespace {

// A corner "x y", or of an arc "x y ab aa ax1 ay1 ax2 ay2" with its angles in tenths of a degree
// and the box of its circle.
std::optional<Vertex> readCorner(std::string_view line, Fields& f) {
    Str2Ary_All(line, " ", 1, f);
    const std::size_t k = f.count();
    if (k != 2 && k != 8)
        return std::nullopt;
    double v[8];
    for (std::size_t j = 0; j < k; ++j) {
        const auto n = ReadGeometryNumber(f[static_cast<int>(j) + 1]);
        if (!n)
            return std::nullopt;
        v[j] = *n;
    }
    Vertex c{v[0], v[1]};
    if (k == 8) {
        c.arc = true;
        c.begin = v[2] / 10;
        c.sweep = v[3] / 10;
        c.boxX1 = v[4];
        c.boxY1 = v[5];
        c.boxX2 = v[6];
        c.boxY2 = v[7];
    }
    return c;
}

}  // namespace

DecalGeometry ReadDecalGeometry(const Decal& decal, const std::vector<PlacedLine>& lines) {
    DecalGeometry d;
    d.name = decal.name;
    d.unit = decal.unit;
    Fields f;
    std::optional<GeometryPiece> piece;  // the piece whose corners are being read
    bool pieceReadable = false;
    const auto endPiece = [&] {
        if (piece && pieceReadable)
            d.pieces.push_back(std::move(*piece));
        piece.reset();
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i].text;
        const Place place = lines[i].place;
        if (place == Place::Corner) {
            const auto corner = readCorner(line, f);
            if (!corner) {
                d.unread.push_back(i);
                pieceReadable = false;
            } else if (piece) {
                piece->points.push_back(*corner);
            }
            continue;
        }
        endPiece();
        switch (place) {
            case Place::Piece:
            case Place::OtherPiece: {
                Str2Ary_All(line, " ", 1, f);
                const auto width = f.count() >= 4 ? ReadGeometryNumber(f[3]) : std::nullopt;
                // A piece header where the counts no longer hold has no corners known.
                const bool cornersFollow = i + 1 < lines.size() && lines[i + 1].place == Place::Corner;
                const bool counted = f.count() >= 4 && isLayerNumber(f[2]);  // digits only
                const bool none = counted && f[2].find_first_not_of('0') == std::string_view::npos;
                if (!width || !counted || (!none && !cornersFollow)) {
                    d.unread.push_back(i);
                    break;
                }
                piece = GeometryPiece{std::string(f[1]), i, *width, std::string(f[4]), {}};
                pieceReadable = true;
                break;
            }
            case Place::Label:
            case Place::Text: {
                // A label line "x y rotation mirror height width layer ...", a text line "x y
                // rotation layer height width ...", each followed by what it reads.
                const bool label = place == Place::Label;
                Str2Ary_All(line, " ", 1, f);
                const bool fields = f.count() >= 7;
                const auto x = fields ? ReadGeometryNumber(f[1]) : std::nullopt;
                const auto y = fields ? ReadGeometryNumber(f[2]) : std::nullopt;
                const auto h = fields ? ReadGeometryNumber(f[5]) : std::nullopt;
                const auto w = fields ? ReadGeometryNumber(f[6]) : std::nullopt;
                if (!x || !y || !h || !w || i + 1 == lines.size()) {
                    d.unread.push_back(i);
                    break;
                }
                d.texts.push_back({label, i, *x, *y, *h, *w, std::string(f[label ? 7 : 4]),
                                   std::string(trimSpaces(lines[i + 1].text))});
                break;
            }
            case Place::Terminal: {
                // "Tx y x2 y2 pin"
                Str2Ary_All(line, " ", 1, f);
                std::optional<double> x, y;
                if (f.count() >= 5) {
                    x = ReadGeometryNumber(f[1].substr(1));
                    y = ReadGeometryNumber(f[2]);
                }
                if (!x || !y)
                    d.unread.push_back(i);
                else
                    d.terminals.push_back({*x, *y, std::string(f[5])});
                break;
            }
            default:
                break;
        }
    }
    endPiece();
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
