// One run of the update over files, written once for the dialog, trelvo-cli and the tests that
// drive them: the entries checked, the input opened, the rules compiled, the output staged, the
// pass, the output put in place (or removed), the outcome. A front end lends the run its way of
// opening and keeping files (RunFiles): the dialog its channels, trelvo-cli its in-place
// replacement; the steps and their order are the same.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/check.h"
#include "engine/rules.h"
#include "engine/update.h"
#include "files/file_streams.h"

namespace trelvo {

struct RunRequest {
    std::string input;
    std::string output;  // where the update goes (the input itself for an in-place run)
    bool dryRun = false;  // nothing written
    PairEntries pairs;    // checked first; compiled when no rules are given
    const RuleSet* rules = nullptr;
    std::function<bool(std::string_view decal)> decalFilter = {};
    std::function<void(const Rewrite&)> onRewrite = {};
    std::function<void(const Finding&)> onFinding = {};
    bool keepLineEnds = false;  // each line ends as in the input, not with CR LF
};

// How a front end opens and keeps the files of a run. A failing step says why.
class RunFiles {
public:
    virtual ~RunFiles() = default;
    virtual ByteSource* openInput(const std::string& path, std::string& why) = 0;
    // With the input open, before any rule is compiled: why it cannot be run, if it cannot.
    virtual std::optional<std::string> checkInput() { return std::nullopt; }
    virtual ByteSink* openOutput(const std::string& path, std::string& why) = 0;
    // With the output made (after what killed runs left was cleared away), before the first read:
    // holds the file the run is to replace, so that no other run changes it meanwhile; why it
    // cannot (another run holds it), which fails the run as a write error.
    virtual std::optional<std::string> holdTarget() { return std::nullopt; }
    // After a pass that succeeded: puts the output in place.
    virtual bool commit(std::string& why) = 0;
    // Closes whatever is open; an output not committed is removed, its target left as it was.
    virtual void close() = 0;
};

// Files of the run's own: the input read, the output staged beside its target.
class StagedFiles : public RunFiles {
public:
    ByteSource* openInput(const std::string& path, std::string& why) override;
    ByteSink* openOutput(const std::string& path, std::string& why) override;
    bool commit(std::string& why) override;
    void close() override;

protected:
    std::unique_ptr<InputFile> input_;
    std::unique_ptr<OutputFile> output_;
};

struct RunResult {
    Outcome outcome = Outcome::Done;
    std::string detail;  // on failure: what failed, for front ends that say more than a box
    UpdateResult pass;   // what the pass found, when it ran
};

// The run, from the entry check to the outcome. files is closed on every way out.
RunResult runLibrary(const RunRequest& request, RunFiles& files);

}  // namespace trelvo
