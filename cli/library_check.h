// trelvo-cli --check: each INPUT checked against a rules file's [[check]] tables and against its
// own decal headers' counts, for libraries kept in version control. Writes nothing; findings are
// printed as "INPUT:LINE: DECAL: error: CHECK: FOUND, allowed ALLOWED", as CSV rows or as a
// SARIF log.
#pragma once

#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <string>

#include "cli/options.h"
#include "engine/check.h"

namespace trelvo::cli {

// Exit status 1: a check found at least one error.
inline constexpr int kCheckFailed = 1;

// The options that go with --check; empty when they are fine, else the usage error.
std::string checkUsageError(const Options& options);

// Checks every INPUT; returns the exit status (the highest of the INPUTs').
int runCheckCommand(const Options& options);

// What a finding says without its place, severity and check ("DECAL: label X: FOUND, allowed
// ALLOWED"), appended to message.
void appendFindingMessage(std::string& message, const Finding& f);

// The exit status of one INPUT's check: its outcome's, else 1 for an error, else 0.
int checkStatus(const CheckResult& r);

// The findings of a run's written output, made while it is written and printed after the run's
// own lines: kept in memory up to a bound and past it in a temporary file, which is gone when the
// spool is. If no temporary file can be had, the output is checked again instead.
class FindingSpool {
public:
    explicit FindingSpool(std::string path) : path_(std::move(path)) {}
    ~FindingSpool();
    FindingSpool(const FindingSpool&) = delete;
    FindingSpool& operator=(const FindingSpool&) = delete;

    void add(const Finding& f);
    // The findings, then "PATH: N error(s), M warning(s)": all of them; nothing, when they were
    // not all kept or the temporary file cannot be read from its start; or only a part, when
    // reading it back failed on the way.
    enum class Told { All, Nothing, Part };
    Told writeTo(std::ostream& out, std::uint64_t errors, std::uint64_t warnings);

private:
    static constexpr std::size_t kInMemory = 64 << 10;
    std::string path_;  // the written file, as the findings name it
    std::string text_;
    std::FILE* spill_ = nullptr;
    bool failed_ = false;
};

class SarifLog;
enum class FindingFormat { Table, Csv, Sarif };

// Checks the library at path against rules, printing its findings to out (SARIF results to sarif)
// and its summary to out for a table, else to standard error; the outcome says whether it could
// be read. Failures are printed to standard error (and are notifications of a SARIF log).
CheckResult checkFile(const std::string& path, const RuleSet& rules, FindingFormat format,
                      std::ostream& out, bool structure = true, SarifLog* sarif = nullptr);

}  // namespace trelvo::cli
