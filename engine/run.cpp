#include "engine/run.h"

namespace trelvo {

ByteSource* StagedFiles::openInput(const std::string& path, std::string& why) {
    input_ = InputFile::open(path, why);
    return input_.get();
}

ByteSink* StagedFiles::openOutput(const std::string& path, std::string& why) {
    output_ = OutputFile::open(path, OutputFile::Mode::Staged, {input_->id()}, why);
    return output_.get();
}

bool StagedFiles::commit(std::string& why) {
    return !output_ || output_->commit(why);
}

void StagedFiles::close() {
    input_.reset();
    output_.reset();
}

RunResult runLibrary(const RunRequest& request, RunFiles& files) {
    RunResult r;
    const auto failed = [&](Outcome outcome, std::string why = {}) {
        files.close();
        r.outcome = outcome;
        r.detail = std::move(why);
        return r;
    };
    // The dialog's order: names and values, the input, a pair.
    if (request.input.empty() || request.output.empty() || !pairEntriesValid(request.pairs))
        return failed(Outcome::UserEntryError);
    std::string why;
    ByteSource* input = files.openInput(request.input, why);
    if (!input)
        return failed(Outcome::FileReadError, why);
    if (auto bad = files.checkInput())
        return failed(Outcome::FileReadError, *bad);
    std::optional<RuleSet> compiled;
    const RuleSet* rules = request.rules;
    if (!rules) {
        if (!request.pairs.layer && !request.pairs.width)
            return failed(Outcome::SelectionError);
        // A disabled pair is never looked at, so leftovers in its boxes cannot fail a run.
        if (!(compiled = compilePairs(request.pairs, why)))
            return failed(Outcome::RunError, why);  // before any output is made
        rules = &*compiled;
    }
    ByteSink* output = nullptr;
    if (!request.dryRun && !(output = files.openOutput(request.output, why)))
        return failed(Outcome::RunError, why);
    if (auto bad = files.holdTarget())
        return failed(Outcome::RunError, *bad);

    UpdateRequest pass{*input, output, *rules, request.decalFilter, request.onRewrite};
    pass.onFinding = request.onFinding;
    pass.keepLineEnds = request.keepLineEnds;
    r.pass = runUpdate(pass);
    if (r.pass.outcome != Outcome::Done)
        return failed(r.pass.outcome, r.pass.detail);
    if (!files.commit(why))
        return failed(Outcome::RunError, why);
    files.close();
    return r;
}

}  // namespace trelvo
