// The rules of the exported decal library text format, as far as Trelvo reads and writes it.
// Every line kind the update pass tells apart is defined here; all other lines are copied as read.
//
//   signature line     the first line; its first 24 characters are "*PADS-LIBRARY-PCB-DECALS"
//   empty line         zero characters (a line of spaces is not empty)
//   decal header line  a line of exactly 11 fields that is the first line after an empty line,
//                      or that a line beginning with "TIMESTAMP" follows (libraries written
//                      without empty lines between decals); field 1 is the decal's name,
//                      field 2 its unit letter ("M" mm, "I" mils)
//   piece header line  a line whose first four characters are "OPEN", "CLOS" or "CIRC";
//                      eligible for an update when it has exactly 5 fields and field 5 is "-1":
//                      keyword, (not interpreted), width, layer, "-1"
//
// Fields are the result of Str2Ary_All with a single space as delimiter, numbered from 1.
// Comparisons are exact and case-sensitive.
#pragma once

#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "engine/fields.h"
#include "files/plain_run.h"

namespace trelvo {

enum class Unit { Mils, Millimetres };

inline constexpr std::string_view kSignature = "*PADS-LIBRARY-PCB-DECALS";
inline constexpr int kDecalHeaderFields = 11;
inline constexpr int kPieceFields = 5;

inline bool isSignatureLine(std::string_view line) {
    return line.starts_with(kSignature);
}

// The first characters of the piece keywords: a line that begins with anything else is no piece
// header line, whatever follows.
inline constexpr std::string_view kPieceKeywordInitials = "OC";

// How every line the update pass may have to look at on its own begins: piece header lines
// (OPEN, CLOSED, CIRCLE), and the TIMESTAMP line after a decal header that no empty line
// precedes. Two characters each, so that the bulk copy passes over a decal's terminal lines
// (T...) and other lines beginning with O or C.
inline constexpr LineStops kPassStops = LineStops::prefixes({"OP", "CL", "CI", "TI"});

inline bool isPieceHeaderLine(std::string_view line) {
    if (line.size() < 4)
        return false;
    // Fixed-length compares: this runs for every line that reaches the pass.
    const char* key = line.data();
    return std::memcmp(key, "OPEN", 4) == 0 || std::memcmp(key, "CLOS", 4) == 0 ||
           std::memcmp(key, "CIRC", 4) == 0;
}

// fields: the split of a piece header line.
inline bool isEligiblePiece(const Fields& fields) {
    return fields.count() == kPieceFields && fields[5] == "-1";
}

// fields: the split of the first line after an empty line.
inline bool isDecalHeader(const Fields& fields) {
    return fields.count() == kDecalHeaderFields;
}

// The unit a decal header's field 2 names, or nothing for any other text (which makes the file
// invalid).
inline std::optional<Unit> unitFromLetter(std::string_view letter) {
    if (letter == "M")
        return Unit::Millimetres;
    if (letter == "I")
        return Unit::Mils;
    return std::nullopt;
}

inline std::string_view unitLetter(Unit unit) {
    return unit == Unit::Millimetres ? "M" : "I";
}

// A rewritten piece header line: the five fields joined by exactly two spaces. The spacing of the
// line as read is not kept.
void rebuildPieceLine(std::string_view keyword, std::string_view field2, std::string_view width,
                      std::string_view layer, std::string_view field5, std::string& out);

}  // namespace trelvo
