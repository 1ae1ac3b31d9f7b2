// Replacing a library by its updated version without ever leaving it half-written: the pass
// writes a temporary file beside it, which is checked, flushed to disk and only then renamed
// over the original.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/rules.h"

namespace trelvo::cli {

// How an in-place run keeps the original, as GNU tools do: TARGET.orig (replacing an older
// one), TARGET.orig.N one past the highest N there is, or not at all.
enum class Backup { None, Simple, Numbered };

// The name the original of target is kept under; nothing for Backup::None.
std::optional<std::string> backupName(const std::string& target, Backup mode);

// A piece header line the pass rewrote, with the values it wrote.
struct WrittenChange {
    std::uint64_t line;  // 1-based
    std::string newWidth;
    std::string newLayer;
    ItemKind kind = ItemKind::Piece;
    std::string newHeight;  // labels and texts
};

// Reads the written file back and compares it with the input: the same number of lines, every
// line identical except the rewritten ones, which must be exactly their rebuilt form. Returns
// what differs, or nothing when the file is right.
std::optional<std::string> checkWritten(const std::string& input, const std::string& written,
                                        const std::vector<WrittenChange>& pieces);

}  // namespace trelvo::cli
