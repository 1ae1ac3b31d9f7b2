// The drawing of a decal as its lines describe it: the 2-D pieces with their points (straight
// corners and arcs) and the terminals, its labels and texts. Read only to draw a decal; the
// update pass never needs it. Which line is what comes from the reader (decal_reader.h): a corner
// is "x y" or, for an arc, "x y ab aa ax1 ay1 ax2 ay2" with the angles in tenths of a degree and
// the box of the arc's circle; a terminal "Tx1 y1 x2 y2 pin".
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

// One line of a decal with its place in the library, as the reader tells it.
struct PlacedLine {
    std::string_view text;
    Place place;
};

// Reads a decal from its lines (its header line first) with their places. Never fails: lines that
// cannot be read as their place calls for go to unread, and so does a piece header line whose
// corners are not known (its decal's lines stopped following their counts before them).
DecalGeometry ReadDecalGeometry(const Decal& decal, const std::vector<PlacedLine>& lines);

// The box of the piece's centre lines: corners, circles from their two points, arcs along their
// sweep. Line widths are not included.
Box PieceBox(const GeometryPiece& piece);
Box DecalBox(const DecalGeometry& decal);  // pieces and terminals

// Whether the keyword names a 2-D line piece (OPEN, CLOSED, CIRCLE) rather than copper, a
// keepout or a tag.
bool isOutlineKeyword(std::string_view keyword);

}  // namespace trelvo
