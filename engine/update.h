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

#include "engine/decal_format.h"
#include "engine/report.h"
#include "engine/rules.h"
#include "files/line_io.h"

namespace trelvo {

// One rewritten piece header line, for front ends that report what a run changed.
struct PieceRewrite {
    std::string_view decal_name;  // field 1 of the decal's header; empty before the first decal
    std::uint64_t line_number;    // 1-based line of the input
    std::string_view keyword;
    std::string_view old_layer, new_layer;
    std::string_view old_width, new_width;
    Unit decal_unit;
};

struct UpdateRequest {
    ByteSource& input;             // the library, from its first byte
    ByteSink* output = nullptr;    // where the update goes; none: a dry run, nothing written
    const RuleSet& rules;
    // When set, only decals whose name it accepts are rewritten (and counted); piece lines
    // before the first decal header are then left as they are.
    std::function<bool(std::string_view decal_name)> decalFilter = {};
    std::function<void(const PieceRewrite&)> onRewrite = {};
    std::size_t readBlock = kDefaultReadBlock;
    std::size_t writeBlock = kDefaultWriteBlock;
};

struct UpdateResult {
    Outcome outcome = Outcome::Done;  // Done, FormatError or WriteError
    std::string detail;               // on failure: what failed (a file's reason, a line)
    long decals = 0;                  // decals updated: counted at their first rewritten piece
    std::uint64_t decalHeaders = 0;   // decal headers recognised
    std::uint64_t rewrittenLines = 0;
};

// The update pass. The output has every line of the input, rewritten or as it was, each ended by
// CR LF, and is flushed on success; on failure it holds what was written so far (a front end
// that wants nothing of a failed run gives a staged output it does not commit).
UpdateResult runUpdate(const UpdateRequest& request);

}  // namespace trelvo
