#include "cli/library_check.h"

#include <algorithm>
#include <charconv>
#include <iostream>
#include <optional>

#include "cli/console.h"
#include "cli/csv.h"
#include "cli/rules_file.h"
#include "cli/sarif.h"
#include "files/file_key.h"
#include "files/file_streams.h"
#include "files/scratch_file.h"

namespace trelvo::cli {

std::string checkUsageError(const Options& o) {
    if (!o.check)
        return {};
    if (std::string why = changeFreeUsageError(o, "--check", "sarif"); !why.empty())
        return why;
    const FileKey rules(*o.check);
    for (const std::string& input : o.inputs) {
        if (FileKey(input) == rules)
            return "--check '" + *o.check + "' names an INPUT";
    }
    return {};
}

namespace {

// Appends the parts, sized once: a library far from its rules has hundreds of thousands of
// findings.
void appendParts(std::string& s, std::initializer_list<std::string_view> parts) {
    std::size_t size = s.size();
    for (const std::string_view p : parts)
        size += p.size();
    s.reserve(size);
    for (const std::string_view p : parts)
        s += p;
}

// What a finding says from its decal on: its severity and check (when withCheck), "forbidden: ",
// the label or text it found, the value found, the field's allowed values.
void appendSaid(std::string& s, const Finding& f, bool withCheck) {
    const bool forbidden = f.allowed.empty() && f.check != "structure";
    // A forbidden item is described whole; a label or text otherwise says which it is.
    const bool named = !forbidden && f.kind != ItemKind::Piece && f.check != "structure";
    const std::string_view none;
    appendParts(s,
                {f.decal, f.decal.empty() ? none : ": ",
                 withCheck ? (f.error ? "error: " : "warning: ") : none, withCheck ? f.check : none,
                 withCheck ? ": " : none, forbidden ? "forbidden: " : none,
                 named ? kindName(f.kind) : none, named ? " " : none, named ? f.name : none,
                 named ? ": " : none, f.found, f.allowed.empty() ? none : ", allowed ", f.allowed});
}

void appendFindingLine(std::string& s, const std::string& input, const Finding& f) {
    char number[24];
    const auto end = std::to_chars(number, number + sizeof number, f.line).ptr;
    appendParts(s, {input, ":", {number, static_cast<std::size_t>(end - number)}, ": "});
    appendSaid(s, f, true);
}

std::string findingCsvHeader() {
    std::string h;
    appendCsvRow(
        h, {"input", "decal", "line", "kind", "check", "severity", "found", "allowed", "name"});
    return h;
}

void appendFindingCsvRow(std::string& rows, const std::string& input, const Finding& f) {
    appendCsvRow(rows, {input, f.decal, std::to_string(f.line),
                        f.check == "structure" ? "decal" : kindName(f.kind), f.check,
                        f.error ? "error" : "warning", f.found, f.allowed, f.name});
}

// "INPUT: N error(s), M warning(s)".
std::string checkSummary(const std::string& input, std::uint64_t errors, std::uint64_t warnings) {
    return input + ": " + std::to_string(errors) + " error(s), " + std::to_string(warnings) +
           " warning(s)";
}

constexpr std::size_t kFindingBlock = 64 << 10;

}  // namespace

void appendFindingMessage(std::string& s, const Finding& f) {
    appendSaid(s, f, false);
}

int checkStatus(const CheckResult& r) {
    return r.outcome != Outcome::Done ? static_cast<int>(r.outcome)
           : r.errors > 0             ? kCheckFailed
                                      : 0;
}

FindingSpool::~FindingSpool() {
    if (spill_)
        std::fclose(spill_);
}

void FindingSpool::add(const Finding& f) {
    if (failed_)
        return;
    appendFindingLine(text_, path_, f);
    text_ += '\n';
    if (text_.size() < kInMemory)
        return;
    if (!spill_)
        spill_ = openScratchFile();
    if (!spill_ || std::fwrite(text_.data(), 1, text_.size(), spill_) != text_.size())
        failed_ = true;
    text_.clear();
}

FindingSpool::Told FindingSpool::writeTo(std::ostream& out, std::uint64_t errors,
                                         std::uint64_t warnings) {
    if (failed_ || (spill_ && (std::fflush(spill_) != 0 || std::fseek(spill_, 0, SEEK_SET) != 0)))
        return Told::Nothing;
    if (spill_) {
        std::string block(kFindingBlock, '\0');
        for (std::size_t got; (got = std::fread(block.data(), 1, block.size(), spill_)) > 0;)
            out.write(block.data(), static_cast<std::streamsize>(got));
        if (std::ferror(spill_))
            return Told::Part;
    }
    out.write(text_.data(), static_cast<std::streamsize>(text_.size()));
    out << checkSummary(path_, errors, warnings) << '\n';
    return Told::All;
}

CheckResult checkFile(const std::string& path, const RuleSet& rules, FindingFormat format,
                      std::ostream& out, bool structure, SarifLog* sarif) {
    CheckResult r;
    std::string why;
    const std::unique_ptr<InputFile> input = InputFile::open(path, why);
    if (!input) {
        r.outcome = Outcome::FileReadError;
        r.detail = why;
    } else {
        // Findings go out in blocks: a library far from its house rules has hundreds of
        // thousands, and a stream call each costs more than making the line.
        std::string lines;
        const auto flush = [&] {
            out.write(lines.data(), static_cast<std::streamsize>(lines.size()));
            lines.clear();
        };
        r = runCheck({*input, rules,
                      [&](const Finding& f) {
                          if (format == FindingFormat::Sarif) {
                              sarif->appendResult(lines, path, f);
                          } else if (format == FindingFormat::Csv) {
                              appendFindingCsvRow(lines, path, f);
                          } else {
                              appendFindingLine(lines, path, f);
                              lines += '\n';
                          }
                          if (lines.size() >= kFindingBlock)
                              flush();
                      },
                      structure});
        flush();
    }
    if (r.outcome != Outcome::Done) {
        const std::string text = failureText(path, r.outcome, r.detail);
        out.flush();
        std::cerr << "trelvo-cli: " << text << '\n';
        if (sarif)
            sarif->notify(true, text);
        return r;
    }
    const bool table = format == FindingFormat::Table;
    (table ? out : std::cerr) << (table ? "" : "trelvo-cli: ")
                              << checkSummary(path, r.errors, r.warnings) << '\n';
    return r;
}

int runCheckCommand(const Options& o) {
    std::string why;
    const std::optional<RulesFile> file = readRulesFile(*o.check, why);
    if (!file) {
        std::cerr << "trelvo-cli: " << why << '\n';
        return 2;
    }
    const FindingFormat format = !o.format || *o.format == "table" ? FindingFormat::Table
                                 : *o.format == "csv"              ? FindingFormat::Csv
                                                                   : FindingFormat::Sarif;
    std::optional<SarifLog> sarif;
    if (format == FindingFormat::Sarif)
        sarif.emplace(std::cout, file->rules, *o.check);
    const auto warn = [&](const std::string& w) {
        std::cerr << "trelvo-cli: " << w << '\n';
        if (sarif)
            sarif->notify(false, w);
    };
    for (const std::string& w : file->warnings)
        warn(w);
    if (file->rules.checks.empty())
        warn(*o.check + ": warning: no [[check]] table; only the decals' structure is checked");
    if (format == FindingFormat::Csv)
        std::cout << findingCsvHeader();
    int worst = 0;
    RuleMatches matches;
    bool checked = false;
    for (const std::string& input : o.inputs) {
        const CheckResult r =
            checkFile(input, file->rules, format, std::cout, true, sarif ? &*sarif : nullptr);
        worst = std::max(worst, checkStatus(r));
        if (r.outcome == Outcome::Done) {
            checked = true;
            matches.add({{}, {}, {}, r.checkMatches});
        }
    }
    if (checked) {
        std::cout.flush();
        for (const std::string& w : unmatchedWarnings(file->rules, *o.check, matches, false, true))
            warn(w);
    }
    if (sarif)
        sarif->finish();
    return finishStandardOutput(worst);
}

}  // namespace trelvo::cli
