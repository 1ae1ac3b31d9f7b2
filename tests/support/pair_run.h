// The dialog's pairs run over real files as a front end runs them: the entries checked, the input
// opened, the pairs compiled, the output staged beside its target, the pass, the commit. Tests of
// the engine and of broken files use it to see one outcome and its box.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/messages.h"
#include "engine/rules.h"
#include "engine/update.h"
#include "files/file_streams.h"

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
    PairRun r;
    long count = 0;
    r.outcome = [&] {
        if (in.empty() || out.empty() || !pairEntriesValid(pairs))
            return Outcome::UserEntryError;
        const auto input = InputFile::open(in, r.detail);
        if (!input)
            return Outcome::FileReadError;
        if (!pairs.layer && !pairs.width)
            return Outcome::SelectionError;
        const auto rules = compilePairs(pairs, r.detail);
        if (!rules)
            return Outcome::RunError;
        std::unique_ptr<OutputFile> output;
        if (!dryRun) {
            output = OutputFile::open(out, OutputFile::Mode::Staged, {input->id()}, r.detail);
            if (!output)
                return Outcome::RunError;
        }
        const UpdateResult result = runUpdate({*input, output.get(), *rules, decalFilter, onRewrite});
        count = result.decals;
        r.detail = result.detail;
        if (result.outcome == Outcome::Done && output && !output->commit(r.detail))
            return Outcome::RunError;
        return result.outcome;
    }();
    r.report = messages::forOutcome(r.outcome, count, out);
    return r;
}

}  // namespace trelvo::test
