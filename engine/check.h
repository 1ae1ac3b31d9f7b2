// The library checker: reads a library, writes nothing, and reports every outline piece, label
// and text that a check's allow list does not admit (or that a forbidding check matches), and
// every decal whose lines do not follow its header's counts (a wrong count is what makes an
// import of the library fail).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/decal_reader.h"
#include "engine/report.h"
#include "engine/rules.h"
#include "files/line_io.h"

namespace trelvo {

// A finding as onFinding hears of it: its texts are views, valid until the call returns (a
// library far from its rules has hundreds of thousands of findings, each told without a copy).
struct Finding {
    std::uint64_t line = 0;        // 1-based
    std::string_view decal;        // empty before the first decal header
    ItemKind kind = ItemKind::Piece;
    std::string_view check;        // the check's name, or "structure"
    bool error = true;             // else a warning
    std::string_view found;        // "width 10 (mil)", "layer 26", the structure fault
    std::string_view allowed;      // that field's allowed values, "5mil, 0.127mm"; empty for
                                   // forbidden items and structure
    std::string_view name = {};    // a label's name, a text's text, a piece's keyword
};

struct CheckRequest {
    ByteSource& input;
    const RuleSet& rules;     // its checks are applied
    std::function<void(const Finding&)> onFinding;
    bool structure = true;    // also check each decal against its header's counts
    std::size_t readBlock = kDefaultReadBlock;
};

struct CheckResult {
    Outcome outcome = Outcome::Done;  // Done, FormatError or RunError (a read failure)
    std::string detail;
    std::uint64_t errors = 0, warnings = 0;
    std::uint64_t decalHeaders = 0;
    std::vector<std::uint64_t> checkMatches;  // the items each check took, by its place
};

CheckResult runCheck(const CheckRequest& request);

// The checks of a rules file applied to a library's lines one at a time, in line order: what the
// checker does with every line it looks at, and what an update does with every line it writes.
// Pieces are found by their header lines anywhere; labels and texts only through their decal's
// layout, which the caller follows. Structure findings are the caller's, told through report.
class ItemChecks {
public:
    // limits: what the format allows of each item is checked too, and told as structure.
    ItemChecks(const RuleSet& rules, std::function<void(const Finding&)> onFinding,
               bool limits = false);
    ~ItemChecks();
    ItemChecks(const ItemChecks&) = delete;
    ItemChecks& operator=(const ItemChecks&) = delete;

    // A decal header: the checks whose decal patterns take it apply to the lines that follow.
    void enterDecal(std::string_view name, Unit unit);
    // Line n, at its place in the library.
    void line(std::string_view line, std::uint64_t n, Place place);
    void report(std::uint64_t line, ItemKind kind, std::string_view check, bool error,
                std::string_view found, std::string_view allowed);
    std::uint64_t errors() const;
    std::uint64_t warnings() const;
    // The items each check took, passing or not, by its place in the rule set.
    const std::vector<std::uint64_t>& matched() const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

// "piece", "label", "text".
const char* kindName(ItemKind kind);

}  // namespace trelvo
