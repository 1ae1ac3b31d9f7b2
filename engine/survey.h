// What the outline pieces of a library hold, as the update pass sees them: one pass over the
// library that changes nothing and writes nothing, with the pass's own line rules, so that what it
// calls eligible is exactly what a run may rewrite.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/decal_reader.h"
#include "engine/report.h"
#include "engine/rules.h"
#include "files/line_io.h"

namespace trelvo {

// What a run does with a piece header line.
enum class PieceStatus {
    Eligible,          // the layer and width rules apply; the decal is counted when rewritten
    BeforeFirstDecal,  // eligible, but no decal header was recognised before it: a run rewrites
                       // it (widths taken as mils) and counts no decal, and --decal skips it
    FieldCount,        // not 5 fields: never rewritten
    LineStyle,         // 5 fields, field 5 other than "-1" (a dashed "-2", say): never rewritten
};

// Piece header lines that agree in all of unit, keyword, layer, width, field 5 and status.
struct SurveyRow {
    Unit unit = Unit::Mils;  // of the decal the pieces are in (mils before the first decal)
    std::string keyword;     // field 1
    std::string width;       // field 3: its shortest decimal form when it is a number, else
                             // as read; empty when the line has fewer fields
    bool widthIsNumber = false;
    std::string layer;   // field 4 as read, or empty
    std::string field5;  // field 5 as read, or empty
    std::size_t fieldCount = 0;
    PieceStatus status = PieceStatus::Eligible;
    std::uint64_t pieces = 0;
    std::uint64_t decals = 0;  // recognised decals that hold such pieces
};

// Labels or texts that agree in kind, name (labels only), unit, height, width and layer, as the
// decals' counts find them (decals whose lines do not follow their counts add none).
struct ItemStyleRow {
    ItemKind kind = ItemKind::Label;
    std::string name;  // a label's name; empty for texts
    Unit unit = Unit::Mils;
    std::string height, width, layer;  // heights and widths in their shortest form
    std::uint64_t count = 0;
    std::uint64_t decals = 0;
};

struct Survey {
    Outcome outcome = Outcome::Done;  // as a run of the same file would end
    std::uint64_t lines = 0;
    std::uint64_t decals = 0;  // decal headers recognised
    std::uint64_t decalsMm = 0, decalsMils = 0;
    std::uint64_t decalsWithEligible = 0;  // the count a run with layer "*" reports
    std::uint64_t errorLine = 0;                // FormatError: the offending line, from 1
    std::string detail;  // on failure: what failed, as a run's report tells it
    std::vector<SurveyRow> rows;                // by unit, keyword, layer, width, field 5, status
    std::vector<ItemStyleRow> itemRows;         // labels, then texts, each by name, unit, ...
    std::uint64_t decalsOffCount = 0;           // decals whose lines do not follow their counts
};

// What to survey: a library's bytes, as an update would be given them.
struct SurveyRequest {
    ByteSource& input;
    std::size_t readBlock = kDefaultReadBlock;
};

// Surveys the library to its end.
Survey runSurvey(const SurveyRequest& request);

// Opens path and surveys it; FileReadError when it cannot be opened.
Survey SurveyFile(const std::string& path);

}  // namespace trelvo
