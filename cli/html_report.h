// trelvo-cli --html FILE: one self-contained page (no scripts, nothing linked) with the entries
// of the run, the outcome of each INPUT and, for every decal the run updated (or would update),
// its drawing before and after, side by side, as inline SVG. The page is written as the run goes:
// it holds one decal at a time, and at most kMaxDrawings decals are drawn.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "cli/batch.h"
#include "engine/update.h"

namespace trelvo::cli {

class HtmlReport {
public:
    static constexpr std::size_t kMaxDrawings = 200;
    // Rewritten lines kept for marking, over all drawn decals of an INPUT; more are not marked.
    static constexpr std::size_t kMaxMarks = 20000;

    HtmlReport(std::ostream& out, const Plan& plan);

    // For the INPUT being run: one rewritten piece line (from the pass's hook).
    void noteRewrite(const trelvo::Rewrite& rewrite);
    // After the INPUT's run: its outcome, and the drawings of the decals it updated.
    void endInput(const Job& job, const FileResult& result);
    // Closes the page.
    void finish();

private:
    struct Mark {
        std::uint64_t line;
        std::string oldLayer, newLayer, oldWidth, newWidth, oldHeight, newHeight;
    };
    void drawDecals(const std::string& path, bool fileIsAfter);

    std::ostream& out_;
    const Plan& plan_;
    std::vector<Mark> rewrites_;  // of the INPUT being run, for decals that will be drawn
    std::string lastDecalName_;
    std::size_t decalsNoted_ = 0;  // decals the rewrites of this INPUT fall in (by name runs)
    std::size_t drawn_ = 0;        // on the whole page
    std::size_t notDrawn_ = 0;
};

}  // namespace trelvo::cli
