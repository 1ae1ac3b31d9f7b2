// The command line of trelvo-cli: what the user asked for, before any file is touched.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trelvo::cli {

struct Options {
    std::optional<std::string> layer;   // OLD:NEW as given
    std::optional<std::string> width;   // OLD:NEW as given
    std::optional<std::string> output;  // -o, --output
    std::optional<std::string> report;  // --report FILE, "-" for standard output
    std::vector<std::string> decals;    // --decal GLOB, in the order given
    bool dryRun = false;
    bool inPlace = false;
    bool noBackup = false;
    std::optional<std::string> backup;  // --backup=simple|numbered|none, with --in-place
    bool keepLineEnds = false;          // --keep-line-ends: each line keeps its own line end
    bool survey = false;                // --survey: count, change nothing
    std::optional<std::string> format;  // --format table|csv, with --survey
    std::optional<std::string> html;    // --html FILE: the drawn report page
    std::optional<std::string> rules;   // --rules FILE: house rules instead of the pairs
    std::optional<std::string> check;   // --check FILE: check the INPUTs, write nothing
    std::vector<std::string> inputs;
};

struct ParsedArgs {
    enum class Action { Run, Help, Version, UsageError };
    Action action = Action::Run;
    Options options;
    std::string error;  // for UsageError: why, without the program name
};

// Reads the arguments in order. --help and --version act when they are reached; the first
// malformed option ends the scan with a usage error.
ParsedArgs parseArgs(int argc, const char* const* argv);

// The usage error of command (--survey or --check), which changes nothing: an option that would
// change something, a --format other than table, csv and lastFormat, or no INPUT; else empty.
std::string changeFreeUsageError(const Options& options, std::string_view command,
                                 std::string_view lastFormat);

}  // namespace trelvo::cli
