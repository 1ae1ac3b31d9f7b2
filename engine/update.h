// One run of the update, as every front end asks for it: a library's bytes in, its update's
// bytes out (or none, for a dry run), the rules to apply, the decals to touch and who wants to
// hear of each rewritten line. The pass copies the library line by line, rewrites the piece
// header lines the rules match, and says how it ended; it shows nothing and knows no window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/check.h"
#include "engine/decal_reader.h"
#include "engine/report.h"
#include "engine/rules.h"
#include "files/line_io.h"

namespace trelvo {

// One rewritten line (a piece header line, a label line or a text line), for front ends that
// report what a run changed.
struct Rewrite {
    std::string_view decal_name;  // field 1 of the decal's header; empty before the first decal
    std::uint64_t line_number;    // 1-based line of the input
    std::string_view keyword;     // a piece's; empty for labels and texts
    std::string_view old_layer, new_layer;
    std::string_view old_width, new_width;
    Unit decal_unit;
    ItemKind kind = ItemKind::Piece;
    std::string_view name;        // a label's name, a text's text
    int rule = 0;                 // the rule that changed it: 1-based in its kind's table
    std::string_view old_height = {}, new_height = {};  // labels and texts
};

struct UpdateRequest {
    ByteSource& input;             // the library, from its first byte
    ByteSink* output = nullptr;    // where the update goes; none: a dry run, nothing written
    const RuleSet& rules;
    // When set, only decals whose name it accepts are rewritten (and counted); piece lines
    // before the first decal header are then left as they are.
    std::function<bool(std::string_view decal_name)> decalFilter = {};
    std::function<void(const Rewrite&)> onRewrite = {};
    std::size_t readBlock = kDefaultReadBlock;
    std::size_t writeBlock = kDefaultWriteBlock;
    // When set, and the rules have checks and there is an output, every line is checked against
    // them as it is written (pieces, labels and texts, not the decals' structure) and each
    // finding told here in line order: what checking the written output afterwards would find.
    std::function<void(const Finding&)> onFinding = {};
    // Every line written ends as it ended in the input (CR LF, CR, LF, or none for a last line
    // without one), not with CR LF.
    bool keepLineEnds = false;
};

struct UpdateResult {
    Outcome outcome = Outcome::Done;  // Done, FormatError or RunError
    std::string detail;               // on failure: what failed (a file's reason, a line)
    long decals = 0;                  // decals updated: counted at their first rewritten piece
    std::uint64_t decalHeaders = 0;   // decal headers recognised
    std::uint64_t rewrittenLines = 0;   // of every kind
    std::uint64_t rewrittenLabels = 0, rewrittenTexts = 0;
    std::uint64_t checkErrors = 0, checkWarnings = 0;  // of the findings told to onFinding
    RuleMatches matches;  // the rules' lines, and the checks' items when onFinding is set
    // Decals whose labels and texts were left alone because their lines do not follow their
    // counts (at most kMaxWarnings; moreWarnings counts the rest).
    std::vector<std::string> warnings;
    std::uint64_t moreWarnings = 0;
    static constexpr std::size_t kMaxWarnings = 100;
};

// The update pass. The output has every line of the input, rewritten or as it was, each ended by
// CR LF, and is flushed on success; on failure it holds what was written so far (a front end
// that wants nothing of a failed run gives a staged output it does not commit).
UpdateResult runUpdate(const UpdateRequest& request);

}  // namespace trelvo
