#include "cli/library_check.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <iostream>
#include <optional>

#include "cli/console.h"
#include "cli/csv.h"
#include "cli/rules_file.h"
#include "cli/sarif.h"
#include "engine/messages.h"
#include "files/file_key.h"
#include "files/file_streams.h"
#include "files/scratch_file.h"

namespace trelvo::cli {

std::string checkUsageError(const Options& o) {
    if (!o.check)
        return {};
    const std::pair<bool, const char*> others[] = {
        {o.layer.has_value(), "--layer"},  {o.width.has_value(), "--width"},
        {o.rules.has_value(), "--rules"},  {o.output.has_value(), "-o"},
        {o.report.has_value(), "--report"}, {o.html.has_value(), "--html"},
        {!o.decals.empty(), "--decal"},    {o.dryRun, "--dry-run"},
        {o.inPlace, "--in-place"},         {o.noBackup, "--no-backup"},
        {o.backup.has_value(), "--backup"}, {o.keepLineEnds, "--keep-line-ends"},
        {o.survey, "--survey"}};
    for (const auto& [given, name] : others) {
        if (given)
            return std::string("--check cannot be used with ") + name + " (it changes nothing)";
    }
    if (o.format && *o.format != "table" && *o.format != "csv" && *o.format != "sarif")
        return "--format takes table, csv or sarif";
    if (o.inputs.empty())
        return "missing INPUT";
    const FileKey rules(*o.check);
    for (const std::string& input : o.inputs) {
        if (FileKey(input) == rules)
            return "--check '" + *o.check + "' names an INPUT";
    }
    return {};
}

namespace {

// Appends the parts, sized once and copied into: a library far from its rules has hundreds of
// thousands of findings.
template <std::size_t N>
void appendParts(std::string& s, const std::string_view (&parts)[N]) {
    std::size_t size = 0;
    for (const std::string_view p : parts)
        size += p.size();
    std::size_t at = s.size();
    s.resize(at + size);
    for (const std::string_view p : parts) {
        if (!p.empty())
            std::memcpy(s.data() + at, p.data(), p.size());
        at += p.size();
    }
}

// What a finding says after its check: "forbidden: ", the label or text it found, the value
// found, the field's allowed values.
struct Said {
    std::string_view parts[8];
    explicit Said(const Finding& f) {
        const bool forbidden = f.allowed.empty() && f.check != "structure";
        // A forbidden item is described whole; a label or text otherwise says which it is.
        const bool named = !forbidden && f.kind != ItemKind::Piece && f.check != "structure";
        parts[0] = forbidden ? "forbidden: " : "";
        parts[1] = named ? kindName(f.kind) : "";
        parts[2] = named ? " " : "";
        parts[3] = named ? f.name : "";
        parts[4] = named ? ": " : "";
        parts[5] = f.found;
        parts[6] = f.allowed.empty() ? "" : ", allowed ";
        parts[7] = f.allowed;
    }
};

}  // namespace

void appendFindingLine(std::string& s, const std::string& input, const Finding& f) {
    char number[24];
    const auto end = std::to_chars(number, number + sizeof number, f.line).ptr;
    const Said said(f);
    const std::string_view parts[] = {input,
                                      ":",
                                      {number, static_cast<std::size_t>(end - number)},
                                      ": ",
                                      f.decal,
                                      f.decal.empty() ? "" : ": ",
                                      f.error ? "error: " : "warning: ",
                                      f.check,
                                      ": ",
                                      said.parts[0], said.parts[1], said.parts[2], said.parts[3],
                                      said.parts[4], said.parts[5], said.parts[6], said.parts[7]};
    appendParts(s, parts);
}

void appendFindingMessage(std::string& s, const Finding& f) {
    const Said said(f);
    const std::string_view parts[] = {f.decal,        f.decal.empty() ? "" : ": ",
                                      said.parts[0], said.parts[1], said.parts[2], said.parts[3],
                                      said.parts[4], said.parts[5], said.parts[6], said.parts[7]};
    appendParts(s, parts);
}

std::string findingCsvHeader() {
    std::string h;
    appendCsvRow(h, {"input", "decal", "line", "kind", "check", "severity", "found", "allowed", "name"});
    return h;
}

void appendFindingCsvRow(std::string& rows, const std::string& input, const Finding& f) {
    appendCsvRow(rows, {input, f.decal, std::to_string(f.line),
                        f.check == "structure" ? "decal" : kindName(f.kind), f.check,
                        f.error ? "error" : "warning", f.found, f.allowed, f.name});
}

std::string checkSummary(const std::string& input, const CheckResult& r) {
    return input + ": " + std::to_string(r.errors) + " error(s), " + std::to_string(r.warnings) +
           " warning(s)";
}

namespace {
constexpr std::size_t kFindingBlock = 64 << 10;
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
    CheckResult r;
    r.errors = errors;
    r.warnings = warnings;
    out << checkSummary(path_, r) << '\n';
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
        const Report box = messages::forOutcome(r.outcome, 0, {});
        std::string text = path + ": " + box.title + ": " + box.text;
        if (!r.detail.empty())
            text += " (" + r.detail + ')';
        out.flush();
        std::cerr << "trelvo-cli: " << text << '\n';
        if (sarif)
            sarif->notify(true, text);
        return r;
    }
    const bool table = format == FindingFormat::Table;
    (table ? out : std::cerr) << (table ? "" : "trelvo-cli: ") << checkSummary(path, r) << '\n';
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
                                 : *o.format == "csv"               ? FindingFormat::Csv
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
        const CheckResult r = checkFile(input, file->rules, format, std::cout, true,
                                        sarif ? &*sarif : nullptr);
        worst = std::max(worst, r.outcome != Outcome::Done ? static_cast<int>(r.outcome)
                                : r.errors > 0             ? kCheckFailed
                                                           : 0);
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
