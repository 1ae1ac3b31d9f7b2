// The dialog's pairs run over real files through the one run call, with the box it ends with.
// Tests of the engine and of broken files use it to see one outcome and its box.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "engine/messages.h"
#include "engine/run.h"

namespace trelvo::test {

struct PairRun {
    Outcome outcome = Outcome::Done;
    Report report;  // the box it ends with
    std::string detail;
};

inline PairRun runPairsOnFiles(const std::string& in, const std::string& out,
                               const PairEntries& pairs,
                               const std::function<bool(std::string_view)>& decalFilter = {},
                               const std::function<void(const Rewrite&)>& onRewrite = {},
                               bool dryRun = false) {
    StagedFiles files;
    const RunResult r = runLibrary({in, out, dryRun, pairs, nullptr, decalFilter, onRewrite}, files);
    return {r.outcome, messages::forOutcome(r.outcome, r.pass.decals, out), r.detail};
}

}  // namespace trelvo::test
