#include "cli/batch.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "cli/csv.h"
#include "cli/html_report.h"
#include "cli/in_place.h"
#include "cli/rules_file.h"
#include "engine/check.h"
#include "engine/decal_reader.h"
#include "engine/glob.h"
#include "engine/messages.h"
#include "engine/output_name.h"
#include "engine/run.h"
#include "engine/update.h"
#include "files/file_key.h"
#include "files/file_streams.h"
#include "files/native_file.h"
#include "files/paths.h"
#include "files/replace.h"

namespace trelvo::cli {

namespace {

// Splits OLD:NEW at its first ":".
bool splitPair(const std::string& value, std::string& oldText, std::string& newText) {
    const auto colon = value.find(':');
    if (colon == std::string::npos)
        return false;
    oldText = value.substr(0, colon);
    newText = value.substr(colon + 1);
    return true;
}

std::string inQuotes(const std::string& s) {
    return "'" + s + "'";
}

// The file --in-place replaces: the input itself, or the file a symbolic link points to.
std::string replacedFile(const std::string& input) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(toPath(input), ec))
        return input;
    const auto target = std::filesystem::canonical(toPath(input), ec);
    return ec ? input : fromPath(target);
}

// Files a run would write, by the input they belong to.
struct Written {
    std::size_t owner;
    std::string name;
    FileKey key;
};

std::optional<std::string> findClash(const Plan& plan, const std::optional<std::string>& report,
                                     const std::optional<std::string>& html,
                                     const std::optional<std::string>& rules) {
    // INPUTs left empty are refused by the run itself, as for one input.
    std::vector<std::pair<std::size_t, FileKey>> inputs;
    std::vector<Written> written;
    for (std::size_t i = 0; i < plan.jobs.size(); ++i) {
        const Job& j = plan.jobs[i];
        if (j.input.empty())
            continue;
        inputs.emplace_back(i, FileKey(j.input));
        if (plan.inPlace) {
            if (const auto backup = backupName(replacedFile(j.input), plan.backup))
                written.push_back({i, *backup, FileKey(*backup)});
        } else {
            written.push_back({i, j.output, FileKey(j.output)});
        }
    }
    const auto input = [&](std::size_t i) { return inQuotes(plan.jobs[i].input); };
    const auto isInput = [&](const FileKey& key, std::size_t except) {
        return std::ranges::any_of(
            inputs, [&](const auto& in) { return in.first != except && in.second == key; });
    };
    for (std::size_t a = 0; a < inputs.size(); ++a) {
        for (std::size_t b = 0; b < a; ++b) {
            if (inputs[a].second == inputs[b].second) {
                return "INPUT " + input(inputs[a].first) + " names the same file as " +
                       input(inputs[b].first);
            }
        }
    }
    // An output that is another INPUT of the batch would destroy it before or after its turn;
    // the engine itself refuses an output that is its own input.
    for (const Written& w : written) {
        if (isInput(w.key, w.owner))
            return inQuotes(w.name) + ", written for " + input(w.owner) + ", is also an INPUT";
    }
    for (std::size_t a = 0; a < written.size(); ++a) {
        for (std::size_t b = 0; b < a; ++b) {
            if (written[a].key == written[b].key) {
                return input(written[b].owner) + " and " + input(written[a].owner) +
                       " would both be written to " + inQuotes(written[a].name);
            }
        }
    }
    // The files named by options: none may be an INPUT, a file the run writes, or another one.
    std::vector<std::pair<std::string, FileKey>> named;
    if (report && *report != "-")
        named.emplace_back("--report " + inQuotes(*report), FileKey(*report));
    if (html)
        named.emplace_back("--html " + inQuotes(*html), FileKey(*html));
    if (rules)
        named.emplace_back("--rules " + inQuotes(*rules), FileKey(*rules));
    for (std::size_t e = 0; e < named.size(); ++e) {
        const auto& [what, key] = named[e];
        if (isInput(key, plan.jobs.size()))
            return what + " names an INPUT";
        if (std::ranges::any_of(written, [&](const Written& w) { return w.key == key; }))
            return what + " names a file the run writes";
        for (std::size_t k = 0; k < e; ++k) {
            if (key == named[k].second)
                return what + " names the file of " +
                       named[k].first.substr(0, named[k].first.find(' '));
        }
    }
    return std::nullopt;
}

// The first pair value given empty, in the options' words; nothing when there is none.
const char* emptyValue(const PairEntries& e) {
    if (e.layer && e.old_lyr.empty())
        return "--layer: the old layer is empty";
    if (e.layer && e.new_lyr.empty())
        return "--layer: the new layer is empty";
    if (e.width && e.old_wd.empty())
        return "--width: the old width is empty";
    if (e.width && e.new_wd.empty())
        return "--width: the new width is empty";
    return nullptr;
}

// Which entry makes a run's user entry error, in the options' words.
std::string emptyEntry(const Job& job, const Plan& plan) {
    if (job.input.empty())
        return "the INPUT name is empty";
    if (!plan.inPlace && job.output.empty())
        return "the name given with -o is empty";
    const char* value = emptyValue(plan.entries);
    return value ? value : std::string(messages::kUserEntryText);
}

// trelvo-cli's files: the output staged beside its target; in place, a temporary file beside the
// library, which replaces it once it has been read back and checked.
class CliFiles final : public StagedFiles {
public:
    CliFiles(const Plan& plan, const Job& job, const std::vector<WrittenChange>& changes)
        : plan_(plan),
          changes_(changes),
          // A symbolic link is followed: the library it points to is the one replaced.
          target_(plan.inPlace ? replacedFile(job.input) : job.output),
          input_name_(job.input) {}

    std::optional<std::string> checkInput() override {
        if (plan_.inPlace && !(original_ = plainFileAttributes(target_)))
            return inQuotes(input_name_) + " is not a plain file and cannot be replaced in place";
        return std::nullopt;
    }

    std::optional<std::string> holdTarget() override {
        std::string why;
        if (plan_.inPlace && !plan_.dryRun &&
            !(lock_ = UpdateLock::take(target_, input_->id(), why)))
            return why;
        return std::nullopt;
    }

    ByteSink* openOutput(const std::string& path, std::string& why) override {
        if (!plan_.inPlace)
            return StagedFiles::openOutput(path, why);
        const HeldInterruptions held;  // an interruption finds the file made and open, or none
        if (auto temp = TempFile::createBeside(target_, why))
            temp_.emplace(std::move(*temp));
        if (temp_)
            output_ =
                OutputFile::open(temp_->path(), OutputFile::Mode::Direct, {input_->id()}, why);
        return output_.get();
    }

    bool commit(std::string& why) override {
        if (input_)
            read_ = input_->state();
        input_.reset();  // closed before anything replaces it: Windows replaces no open file
        if (!StagedFiles::commit(why))
            return false;
        if (!plan_.inPlace || plan_.dryRun)
            return true;
        // The library read must still be there as it was: another program may have written it,
        // or put another file in its place, while the run went on. Asked again just before the
        // replacement.
        if (!read_ || native::stateOf(target_) != read_) {
            why = changedText(target_);
            return false;
        }
        if (auto bad = checkWritten(target_, temp_->path(), changes_)) {
            why = "the check of the written file failed: " + *bad;
            return false;
        }
#if defined(_WIN32)
        lock_.reset();  // Windows replaces no file that is open
#endif
        Replacement how{backupName(target_, plan_.backup), plan_.backup != Backup::Numbered, true,
                        read_};
        if (auto bad = replaceFile(target_, *original_, *temp_, how)) {
            why = *bad;
            return false;
        }
        backup_ = how.backup;
        return true;
    }

    const std::optional<std::string>& backup() const {
        return backup_;
    }

private:
    const Plan& plan_;
    const std::vector<WrittenChange>& changes_;
    std::string target_, input_name_;
    std::optional<KeptAttributes> original_;
    std::unique_ptr<UpdateLock> lock_;       // held from the first read to the replacement
    std::optional<native::FileState> read_;  // the library as it was opened
    std::optional<TempFile> temp_;
    std::optional<std::string> backup_;
};

}  // namespace

Planned makePlan(const Options& o) {
    Planned result;
    auto fail = [&result](std::string why) {
        result.error = std::move(why);
        return result;
    };
    if (o.inputs.empty())
        return fail("missing INPUT");

    Plan plan;
    if (o.rules && (o.layer || o.width))
        return fail("--rules cannot be used with --layer or --width");
    if (o.layer && !splitPair(*o.layer, plan.entries.old_lyr, plan.entries.new_lyr))
        return fail("--layer takes OLD:NEW");
    if (o.width && !splitPair(*o.width, plan.entries.old_wd, plan.entries.new_wd))
        return fail("--width takes OLD:NEW");
    plan.entries.layer = o.layer.has_value();
    plan.entries.width = o.width.has_value();
    // Values are checked before any file is touched; an empty one is each run's entry error.
    if ((o.layer || o.width) && !emptyValue(plan.entries)) {
        std::string why;
        plan.rules = compileOptionPairs(plan.entries, why);
        if (!plan.rules)
            return fail(why);
    }
    if (o.inPlace && o.output)
        return fail("--in-place and -o cannot be used together");
    if (o.noBackup && !o.inPlace)
        return fail("--no-backup needs --in-place");
    if (o.backup && !o.inPlace)
        return fail("--backup needs --in-place");
    if (o.backup && o.noBackup)
        return fail("--backup and --no-backup cannot be used together");
    if (o.backup && *o.backup != "simple" && *o.backup != "numbered" && *o.backup != "none")
        return fail("--backup takes simple, numbered or none");
    const bool several = o.inputs.size() > 1;
    if (several && o.output) {
        return fail(
            "-o cannot be used with several INPUTs (each output name is derived from its "
            "INPUT)");
    }

    plan.decals = o.decals;
    plan.wantRows = o.report.has_value();
    plan.dryRun = o.dryRun;
    plan.keepLineEnds = o.keepLineEnds;
    plan.inPlace = o.inPlace;
    if (o.inPlace && !o.noBackup) {
        plan.backup = !o.backup || *o.backup == "simple" ? Backup::Simple
                      : *o.backup == "numbered"          ? Backup::Numbered
                                                         : Backup::None;
    }
    for (const std::string& input : o.inputs) {
        Job job{input, {}};
        if (o.inPlace) {
            // Nothing to derive: the input is the output.
        } else if (o.output) {
            job.output = *o.output;
        } else if (auto derived = DeriveOutputName(input)) {
            job.output = *derived;
        } else if (!input.empty()) {
            // A rules file and an INPUT the wrong way round: the rules file tells what it is.
            std::string why;
            if (o.rules && !readRulesFile(*o.rules, why))
                return fail(why);
            return fail("cannot derive an output name from '" + input +
                        "' (it does not end in a point and one character); " +
                        (several ? "give it on its own with -o OUTPUT" : "give -o OUTPUT"));
        }
        plan.jobs.push_back(std::move(job));
    }
    if (auto clash = findClash(plan, o.report, o.html, o.rules))
        return fail(*clash);
    // Read last: a rules file that is a library named elsewhere is told as that, not as bad TOML.
    if (o.rules) {
        std::string why;
        std::optional<RulesFile> file = readRulesFile(*o.rules, why);
        if (!file)
            return fail(why);
        plan.rules = std::move(file->rules);
        plan.rulesWarnings = std::move(file->warnings);
        plan.rulesMode = true;
        plan.rulesFile = *o.rules;
    }
    result.plan = std::move(plan);
    return result;
}

FileResult runFile(const Job& job, const Plan& plan, Console& console, HtmlReport* html) {
    FileResult r;
    const bool replacing = plan.inPlace && !plan.dryRun;
    std::vector<WrittenChange> changes;
    RunRequest request{job.input, plan.inPlace ? job.input : job.output, plan.dryRun, plan.entries,
                       plan.rules ? &*plan.rules : nullptr};
    request.keepLineEnds = plan.keepLineEnds;
    if (!plan.decals.empty()) {
        r.decalsMatched.assign(plan.decals.size(), false);
        request.decalFilter = [&plan, &r](std::string_view name) {
            bool selected = false;
            for (std::size_t g = 0; g < plan.decals.size(); ++g) {
                if (globMatch(plan.decals[g], name))
                    selected = r.decalsMatched[g] = true;
            }
            return selected;
        };
    }
    if (plan.wantRows || replacing || html) {
        request.onRewrite = [&](const Rewrite& p) {
            if (html)
                html->noteRewrite(p);
            if (plan.wantRows && plan.rulesMode) {
                const bool piece = p.kind == ItemKind::Piece;
                appendCsvRow(r.rows,
                             {job.input, p.decal_name, std::to_string(p.line_number),
                              kindName(p.kind), piece ? p.keyword : p.name, std::to_string(p.rule),
                              p.old_layer, p.new_layer, p.old_width, p.new_width, p.old_height,
                              p.new_height, unitLetter(p.decal_unit)});
            } else if (plan.wantRows) {
                appendCsvRow(r.rows, {job.input, p.decal_name, std::to_string(p.line_number),
                                      p.keyword, p.old_layer, p.new_layer, p.old_width, p.new_width,
                                      unitLetter(p.decal_unit)});
            }
            if (replacing) {
                changes.push_back({p.line_number, std::string(p.new_width),
                                   std::string(p.new_layer), p.kind, std::string(p.new_height)});
            }
        };
    }
    if (!plan.dryRun && plan.rules && !plan.rules->checks.empty()) {
        // Checked as it is written; the findings name the file where it ends up.
        r.findings = std::make_shared<FindingSpool>(plan.inPlace ? job.input : job.output);
        request.onFinding = [&r](const Finding& f) { r.findings->add(f); };
    }
    CliFiles files(plan, job, changes);
    const RunResult run = runLibrary(request, files);
    const UpdateResult& result = run.pass;
    r.checkErrors = result.checkErrors;
    r.checkWarnings = result.checkWarnings;
    r.count = result.decals;
    r.stats = {result.decalHeaders, result.rewrittenLines, result.rewrittenLabels,
               result.rewrittenTexts};
    if (run.outcome != Outcome::Done) {
        // A library that could not be replaced says that it is unchanged; a failed pass is told
        // as any run's is.
        if (run.outcome == Outcome::RunError && replacing && result.outcome == Outcome::Done) {
            console.failure(job.input, messages::kWriteTitle, messages::kWriteText);
            console.detail(run.detail + "; " + inQuotes(job.input) + " is unchanged");
        } else if (run.outcome == Outcome::UserEntryError) {
            // The dialog's box speaks of entry boxes; here the entries are options.
            console.failure(job.input, messages::kUserEntryTitle, emptyEntry(job, plan));
        } else {
            const Report box = messages::forOutcome(run.outcome, 0, {});
            console.failure(job.input, box.title, box.text, run.detail);
        }
        r.outcome = run.outcome;
        r.rows.clear();
        return r;
    }
    r.matches = result.matches;
    if (replacing) {
        r.writtenTo = job.input;
        if (files.backup())
            r.backup = *files.backup();
    } else if (!plan.dryRun) {
        r.writtenTo = job.output;
    }
    const std::string where = plan.inPlace ? job.input : job.output;
    console.completion(plan.dryRun ? dryRunCompletion(r.count, where, plan.inPlace)
                                   : messages::done(r.count, where).text);
    // Runs that change nothing look like runs that worked: say so, without failing them.
    if (result.decalHeaders == 0)
        console.warning(job.input, "no decal header was recognised, so no decal is counted");
    for (const std::string& w : result.warnings)
        console.warning(job.input, w);
    if (result.moreWarnings > 0)
        console.warning(job.input, std::to_string(result.moreWarnings) + " more such decal(s)");
    if (result.rewrittenLines == 0) {
        console.warning(job.input,
                        plan.rulesMode
                            ? "no rule matched; nothing was changed"
                            : "no outline piece matched the entries; nothing was changed");
    }
    return r;
}

std::string summaryLine(const Job& job, const Plan& plan, const FileResult& r) {
    std::string line = job.input + ": ";
    if (r.outcome != Outcome::Done)
        return line + messages::forOutcome(r.outcome, 0, {}).title;
    line += "Done, " + std::to_string(r.count) + " decal(s) updated";
    if (plan.rulesMode) {
        const PassStats& s = r.stats;
        line += " (" + std::to_string(s.rewrittenLines - s.rewrittenLabels - s.rewrittenTexts) +
                " piece, " + std::to_string(s.rewrittenLabels) + " label, " +
                std::to_string(s.rewrittenTexts) + " text line(s) changed)";
    }
    if (plan.dryRun)
        return line + " (dry run, nothing written)";
    line += " -> " + r.writtenTo;
    if (!r.backup.empty())
        line += " (original kept as " + r.backup + ")";
    return line;
}

std::string dryRunCompletion(long count, const std::string& target, bool inPlace) {
    return "Processing complete.\r" + std::to_string(count) +
           " Decal(s) updated.\rDry run, nothing written. The update would " +
           (inPlace ? "replace: " : "be written to: ") + target;
}

std::string reportHeader(bool rulesMode) {
    std::string h;
    if (rulesMode) {
        appendCsvRow(h, {"input", "decal", "line", "kind", "name", "rule", "old_layer", "new_layer",
                         "old_width", "new_width", "old_height", "new_height", "unit"});
    } else {
        appendCsvRow(h, {"input", "decal", "line", "keyword", "old_layer", "new_layer", "old_width",
                         "new_width", "unit"});
    }
    return h;
}

}  // namespace trelvo::cli
