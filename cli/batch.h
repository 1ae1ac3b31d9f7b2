// A trelvo-cli run: the plan made from the command line (every usage error is found here, before
// any file is touched) and the pass over one input, which the batch repeats for each.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/in_place.h"
#include "cli/library_check.h"
#include "cli/options.h"
#include "engine/report.h"
#include "engine/rules.h"

namespace trelvo::cli {

struct Job {
    std::string input;
    std::string output;  // empty for --in-place
};

// What a successful pass found, for the warnings of runs that change nothing.
struct PassStats {
    std::uint64_t decalHeaders = 0;
    std::uint64_t rewrittenLines = 0;
    std::uint64_t rewrittenLabels = 0, rewrittenTexts = 0;
};

struct Plan {
    PairEntries entries;  // as given (not trimmed), for the entry check and the page
    // The pairs read with trelvo-cli's rules; none when no pair is given or a value is empty
    // (each run then reports it as the dialog would).
    std::optional<RuleSet> rules;
    bool rulesMode = false;                 // --rules: the rules come from a file
    std::string rulesFile;                  // its name, as given
    std::vector<std::string> rulesWarnings;  // what the rules file reader warned of
    std::vector<std::string> decals;
    bool wantRows = false;  // a change report was asked for
    bool dryRun = false;
    bool keepLineEnds = false;
    bool inPlace = false;
    Backup backup = Backup::None;  // in place: how the original is kept
    std::vector<Job> jobs;
};

// The plan, or the text of the usage error that forbids it.
struct Planned {
    std::optional<Plan> plan;
    std::string error;
};
Planned makePlan(const Options& options);

struct FileResult {
    Outcome outcome = Outcome::Done;
    long count = 0;         // decals updated, when Done
    std::string writtenTo;  // where the result went, when Done and not a dry run
    std::string backup;     // --in-place: where the original was kept, if it was
    std::string rows;       // CSV rows of the rewritten lines
    PassStats stats;        // when Done
    std::vector<bool> decalsMatched;  // per --decal pattern: it matched a decal of this INPUT
    // The rules file's checks of the written output, made as it was written.
    std::shared_ptr<FindingSpool> findings;
    std::uint64_t checkErrors = 0, checkWarnings = 0;
    RuleMatches matches;  // when Done: the lines each rule decided, the items each check took
};

class HtmlReport;

// One pass, exactly as a single run: its outcome is printed as it happens. html, when given, is
// told of every rewritten piece line.
FileResult runFile(const Job& job, const Plan& plan, Console& console, HtmlReport* html = nullptr);

// "INPUT: Done, 3 decal(s) updated -> OUTPUT" and the like (see the README).
std::string summaryLine(const Job& job, const Plan& plan, const FileResult& result);

// The header row of the change report: the pair options' columns, or those of a rules run.
std::string reportHeader(bool rulesMode = false);

// The completion text of a dry run: what would have been written, and where.
std::string dryRunCompletion(long count, const std::string& target, bool inPlace);

}  // namespace trelvo::cli
