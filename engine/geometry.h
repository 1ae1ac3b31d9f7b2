// The drawing of a decal as its lines describe it: the 2-D pieces with their points (straight
// corners and arcs) and the terminals. Read only to draw a decal; the update pass never needs it.
//
// After the header line (name, unit, origin, and the counts of attributes, labels, pieces, texts,
// terminals and pad stacks) a decal holds, in this order: the TIMESTAMP line, one line per
// attribute, two per label, the pieces (a header "keyword corners width layer ..." followed by one
// line per corner, "x y" or, for an arc, "x y ab aa ax1 ay1 ax2 ay2" with the angles in tenths of
// a degree and the box of the arc's circle), two lines per text, one "Tx1 y1 x2 y2 pin" line per
// terminal, and the pad stacks ("PAD pin layers ..." followed by one line per layer).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/decal_reader.h"

namespace trelvo {

struct Vertex {
    double x = 0, y = 0;
    bool arc = false;                                   // the piece goes on from here along an arc
    double begin = 0, sweep = 0;                        // degrees (the file gives tenths)
    double boxX1 = 0, boxY1 = 0, boxX2 = 0, boxY2 = 0;  // the box of the arc's circle
};

struct GeometryPiece {
    std::string keyword;   // OPEN, CLOSED, CIRCLE, COPCLS, ...
    std::size_t line = 0;  // index of its header line among the decal's lines
    double width = 0;      // in the decal's unit
    std::string layer;
    std::vector<Vertex> points;
};

struct Terminal {
    double x = 0, y = 0;
    std::string pin;
};

// A label or a free text: its place, size and layer, and what it reads (a label its name).
struct GeometryText {
    bool label = true;
    std::size_t line = 0;  // index of its label or text line among the decal's lines
    double x = 0, y = 0, height = 0, width = 0;
    std::string layer, text;
};

struct DecalGeometry {
    std::string name;
    Unit unit = Unit::Mils;
    std::vector<GeometryPiece> pieces;
    std::vector<Terminal> terminals;
    std::vector<GeometryText> texts;  // labels first, then texts
    // Indexes of the lines that could not be read as the place they hold calls for; what they
    // described is left out.
    std::vector<std::size_t> unread;
};

struct Box {
    bool empty = true;
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    void add(double x, double y);
    void add(const Box& other);
};

// A coordinate, width or angle as the export writes it ("10", "10.0", "-0.0", "+5"); nothing for
// any other text or a value that is not finite.
std::optional<double> ReadGeometryNumber(std::string_view text);

// Reads the decal whose header is lines[first]. Stops after the last line its counts call for
// (or at the end of lines); next receives the index after it. Never fails: lines that cannot be
// read go to unread. A header that is no decal header gives an empty decal, next = first + 1.
DecalGeometry ReadDecalGeometry(const std::vector<std::string_view>& lines, std::size_t first,
                                std::size_t& next);

// The box of the piece's centre lines: corners, circles from their two points, arcs along their
// sweep. Line widths are not included.
Box PieceBox(const GeometryPiece& piece);
Box DecalBox(const DecalGeometry& decal);  // pieces and terminals

// Whether the keyword names a 2-D line piece (OPEN, CLOSED, CIRCLE) rather than copper, a
// keepout or a tag.
bool isOutlineKeyword(std::string_view keyword);

}  // namespace trelvo
