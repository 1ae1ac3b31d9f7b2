// A trelvo-cli run: the plan made from the command line (every usage error is found here, before
// any file is touched) and the pass over one input, which the batch repeats for each.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/options.h"
#include "engine/report.h"
#include "engine/run.h"

namespace trelvo::cli {

struct Job {
    std::string input;
    std::string output;  // empty for --in-place
};

struct Plan {
    EntryTexts entries;
    bool enLyr = false;
    bool enWd = false;
    std::vector<std::string> decals;
    bool wantRows = false;  // a change report was asked for
    bool dryRun = false;
    bool inPlace = false;
    bool backup = false;
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
};

class HtmlReport;

// One pass, exactly as a single run: its outcome is printed as it happens. html, when given, is
// told of every rewritten piece line.
FileResult runFile(const Job& job, const Plan& plan, Console& console, HtmlReport* html = nullptr);

// "INPUT: Done, 3 decal(s) updated -> OUTPUT" and the like (see the README).
std::string summaryLine(const Job& job, const Plan& plan, const FileResult& result);

// The header row of the change report.
std::string reportHeader();

}  // namespace trelvo::cli
