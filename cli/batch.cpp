#include "cli/batch.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <system_error>

#include "cli/csv.h"
#include "cli/glob.h"
#include "cli/html_report.h"
#include "cli/in_place.h"
#include "cli/paths.h"
#include "engine/decal_format.h"
#include "engine/messages.h"
#include "files/native_file.h"
#include "files/replace.h"

#if defined(_WIN32)
#include <windows.h>

#include "files/utf16.h"
#endif

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

// Tells whether two names reach the same file: by the file's identity when both exist (links of
// any kind, and on Windows also another case or the short 8.3 name), else by their spelling.
struct FileKey {
    native::FileId id;
#if defined(_WIN32)
    // A file yet to be written: its folder's identity and its name, which Windows compares
    // without regard to case.
    native::FileId folder;
    std::wstring leaf;
#endif
    std::string path;

    explicit FileKey(const std::string& name) : id(native::identify(name)) {
        std::error_code ec;
        auto p = std::filesystem::weakly_canonical(std::filesystem::absolute(toPath(name), ec), ec);
        path = ec ? name : fromPath(p);
#if defined(_WIN32)
        if (!id.known) {
            const auto absolute = std::filesystem::absolute(toPath(name), ec);
            if (!ec && absolute.has_filename()) {
                folder = native::identify(fromPath(absolute.parent_path()));
                leaf = absolute.filename().native();
            }
        }
#endif
    }
    bool operator==(const FileKey& o) const {
        if (id.known && o.id.known)
            return id == o.id;
#if defined(_WIN32)
        if (id.known || o.id.known)
            return false;  // one exists, the other does not
        if (folder.known && o.folder.known) {
            return folder == o.folder &&
                   CompareStringOrdinal(leaf.c_str(), static_cast<int>(leaf.size()), o.leaf.c_str(),
                                        static_cast<int>(o.leaf.size()), TRUE) == CSTR_EQUAL;
        }
        const std::wstring a = widen(path), b = widen(o.path);
        return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                    static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
#else
        return path == o.path;
#endif
    }
};

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
                                     const std::optional<std::string>& html) {
    std::vector<FileKey> inputs;
    for (const Job& j : plan.jobs)
        inputs.emplace_back(j.input);
    std::vector<Written> written;
    for (std::size_t i = 0; i < plan.jobs.size(); ++i) {
        const Job& j = plan.jobs[i];
        if (j.input.empty())
            continue;  // refused by the run itself, as for one input
        if (plan.inPlace) {
            if (plan.backup) {
                const std::string backup = replacedFile(j.input) + ".orig";
                written.push_back({i, backup, FileKey(backup)});
            }
        } else {
            written.push_back({i, j.output, FileKey(j.output)});
        }
    }

    for (std::size_t i = 0; i < plan.jobs.size(); ++i) {
        if (plan.jobs[i].input.empty())
            continue;
        for (std::size_t k = 0; k < i; ++k) {
            if (!plan.jobs[k].input.empty() && inputs[i] == inputs[k]) {
                return "INPUT " + inQuotes(plan.jobs[i].input) + " names the same file as " +
                       inQuotes(plan.jobs[k].input);
            }
        }
    }
    // An output that is another INPUT of the batch would destroy it before or after its turn;
    // the engine itself refuses an output that is its own input.
    for (const Written& w : written) {
        for (std::size_t i = 0; i < plan.jobs.size(); ++i) {
            if (i != w.owner && !plan.jobs[i].input.empty() && w.key == inputs[i]) {
                return inQuotes(w.name) + ", written for " + inQuotes(plan.jobs[w.owner].input) +
                       ", is also an INPUT";
            }
        }
    }
    for (std::size_t a = 0; a < written.size(); ++a) {
        for (std::size_t b = 0; b < a; ++b) {
            if (written[a].key == written[b].key) {
                return inQuotes(plan.jobs[written[b].owner].input) + " and " +
                       inQuotes(plan.jobs[written[a].owner].input) + " would both be written to " +
                       inQuotes(written[a].name);
            }
        }
    }
    // The report files: neither may be an INPUT, a file the run writes, or the other one.
    std::vector<std::pair<std::string, FileKey>> extras;
    if (report && *report != "-")
        extras.emplace_back("--report " + inQuotes(*report), FileKey(*report));
    if (html)
        extras.emplace_back("--html " + inQuotes(*html), FileKey(*html));
    for (std::size_t e = 0; e < extras.size(); ++e) {
        const auto& [what, key] = extras[e];
        for (std::size_t i = 0; i < plan.jobs.size(); ++i) {
            if (!plan.jobs[i].input.empty() && key == inputs[i])
                return what + " names an INPUT";
        }
        for (const Written& w : written) {
            if (key == w.key)
                return what + " names a file the run writes";
        }
        if (e == 1 && key == extras[0].second)
            return what + " names the file of --report";
    }
    return std::nullopt;
}

long countFromCompletion(std::string_view text) {
    // "Processing complete." CR, then the count directly followed by " Decal(s) updated."
    const auto cr = text.find('\r');
    long n = 0;
    if (cr != std::string_view::npos) {
        std::from_chars(text.data() + cr + 1, text.data() + text.size(), n);
    }
    return n;
}

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
    if (o.layer) {
        if (!splitPair(*o.layer, plan.entries.old_lyr, plan.entries.new_lyr)) {
            return fail("--layer takes OLD:NEW");
        }
        plan.enLyr = true;
    }
    if (o.width) {
        if (!splitPair(*o.width, plan.entries.old_wd, plan.entries.new_wd)) {
            return fail("--width takes OLD:NEW");
        }
        plan.enWd = true;
    }
    // Values are checked before any file is touched; an empty one is each run's entry error.
    const EntryTexts& e = plan.entries;
    const bool empty = (plan.enLyr && (e.old_lyr.empty() || e.new_lyr.empty())) ||
                       (plan.enWd && (e.old_wd.empty() || e.new_wd.empty()));
    if ((plan.enLyr || plan.enWd) && !empty) {
        const OptionPair layer{e.old_lyr, e.new_lyr}, width{e.old_wd, e.new_wd};
        std::string why;
        plan.rules = compileOptionPairs(plan.enLyr ? &layer : nullptr,
                                        plan.enWd ? &width : nullptr, why);
        if (!plan.rules)
            return fail(why);
    }
    if (o.inPlace && o.output)
        return fail("--in-place and -o cannot be used together");
    if (o.noBackup && !o.inPlace)
        return fail("--no-backup needs --in-place");
    const bool several = o.inputs.size() > 1;
    if (several && o.output) {
        return fail(
            "-o cannot be used with several INPUTs (each output name is derived from its "
            "INPUT)");
    }

    plan.decals = o.decals;
    plan.wantRows = o.report.has_value();
    plan.dryRun = o.dryRun;
    plan.inPlace = o.inPlace;
    plan.backup = o.inPlace && !o.noBackup;
    for (const std::string& input : o.inputs) {
        Job job{input, {}};
        if (o.inPlace) {
            // Nothing to derive: the input is the output.
        } else if (o.output) {
            job.output = *o.output;
        } else if (auto derived = DeriveOutputName(input)) {
            job.output = *derived;
        } else if (!input.empty()) {
            return fail("cannot derive an output name from '" + input +
                        "' (it does not end in a point and one character); " +
                        (several ? "give it on its own with -o OUTPUT" : "give -o OUTPUT"));
        }
        plan.jobs.push_back(std::move(job));
    }
    if (auto clash = findClash(plan, o.report, o.html))
        return fail(*clash);
    result.plan = std::move(plan);
    return result;
}

FileResult runFile(const Job& job, const Plan& plan, Console& console, HtmlReport* html) {
    FileResult r;
    MainFormState st;
    st.InFileName = job.input;
    st.OutFileName = job.output;
    st.EnLyr = plan.enLyr;
    st.EnWd = plan.enWd;

    const bool replacing = plan.inPlace && !plan.dryRun;
    std::vector<WrittenPiece> pieces;
    PassHooks hooks;
    hooks.dry_run = plan.dryRun;
    hooks.rules = plan.rules ? &*plan.rules : nullptr;
    hooks.stats = &r.stats;
    if (!plan.decals.empty()) {
        r.decalsMatched.assign(plan.decals.size(), false);
        hooks.decal_filter = [&plan, &r](std::string_view name) {
            bool selected = false;
            for (std::size_t g = 0; g < plan.decals.size(); ++g) {
                if (globMatch(plan.decals[g], name))
                    selected = r.decalsMatched[g] = true;
            }
            return selected;
        };
    }
    if (plan.wantRows || replacing || html) {
        hooks.on_rewrite = [&](const PieceRewrite& p) {
            if (html)
                html->noteRewrite(p);
            if (plan.wantRows) {
                appendCsvRow(r.rows, {job.input, p.decal_name, std::to_string(p.line_number),
                                      p.keyword, p.old_layer, p.new_layer, p.old_width, p.new_width,
                                      unitLetter(p.decal_unit)});
            }
            if (replacing) {
                pieces.push_back(
                    {p.line_number, std::string(p.new_width), std::string(p.new_layer)});
            }
        };
    }

    // In place, the pass writes a temporary file: its completion text waits until the
    // replacement has succeeded, and then names the input.
    bool holdCompletion = false;
    FileChannels files;
    RunContext ctx{files, [&](const Report& rep) {
                       if (rep.title == messages::kDoneTitle) {
                           r.count = countFromCompletion(rep.text);
                           if (plan.dryRun)
                               console.completion(dryRunCompletion(r.count, st.OutFileName,
                                                                   plan.inPlace));
                           else if (!holdCompletion)
                               console.completion(rep.text);
                       } else {
                           console.failure(job.input, rep.title, rep.text, rep.detail);
                       }
                   }};
    // Runs that change nothing look like runs that worked: say so, without failing them.
    auto done = [&](FileResult& result) -> FileResult& {
        if (result.outcome == Outcome::Done) {
            if (result.stats.decalHeaders == 0)
                console.warning(job.input, "no decal header was recognised, so no decal is counted");
            if (result.stats.rewrittenLines == 0)
                console.warning(job.input, "no outline piece matched the entries; nothing was changed");
        }
        return result;
    };

    if (!plan.inPlace) {
        r.outcome = Run(st, ctx, plan.entries, hooks);
        if (r.outcome == Outcome::Done && !plan.dryRun)
            r.writtenTo = job.output;
        if (r.outcome != Outcome::Done)
            r.rows.clear();
        return done(r);
    }

    // Both names must be given for the entry check; the input is the file to be written.
    st.OutFileName = job.input;
    if (!Valid_Entries(st, plan.entries, ctx.report)) {
        r.outcome = Outcome::UserEntryError;
        return r;
    }
    Open_Dfile(st, ctx);
    if (st.OpenErr) {
        r.outcome = Outcome::FileReadError;
        return r;
    }
    // A symbolic link is followed: the library it points to is the one replaced.
    const std::string target = replacedFile(job.input);
    const std::optional<KeptAttributes> original = plainFileAttributes(target);
    if (!original) {
        Close_IO(st, files);
        console.failure(job.input, messages::kFileReadTitle, messages::kFileReadText,
                        inQuotes(job.input) + " is not a plain file and cannot be replaced in place");
        r.outcome = Outcome::FileReadError;
        return r;
    }
    if (plan.dryRun) {
        r.outcome = Read_DFile(st, ctx, plan.entries.old_lyr, plan.entries.new_lyr,
                               plan.entries.old_wd, plan.entries.new_wd, hooks);
        if (r.outcome != Outcome::Done)
            r.rows.clear();
        return done(r);
    }

    auto failWrite = [&](const std::string& why) {
        console.failure(job.input, messages::kWriteTitle, messages::kWriteText);
        console.detail(why + "; " + inQuotes(job.input) + " is unchanged");
        r.rows.clear();
        r.outcome = Outcome::WriteError;
        return r;
    };
    std::string error;
    std::optional<TempFile> temp = TempFile::createBeside(target, error);
    if (!temp) {
        Close_IO(st, files);
        return failWrite(error);
    }
    st.OutFileName = temp->path();
    holdCompletion = true;
    hooks.direct_output = true;  // the temporary file is the staging already
    r.outcome = Read_DFile(st, ctx, plan.entries.old_lyr, plan.entries.new_lyr, plan.entries.old_wd,
                           plan.entries.new_wd, hooks);
    if (r.outcome != Outcome::Done) {
        r.rows.clear();
        return r;  // the temporary file goes with temp
    }
    if (auto bad = checkWritten(target, temp->path(), pieces)) {
        return failWrite("the check of the written file failed: " + *bad);
    }
    const std::optional<std::string> backup =
        plan.backup ? std::optional<std::string>(target + ".orig") : std::nullopt;
    if (auto bad = replaceFile(target, *original, *temp, backup))
        return failWrite(*bad);

    r.writtenTo = job.input;
    if (backup)
        r.backup = *backup;
    console.completion(messages::done(r.count, job.input).text);
    return done(r);
}

std::string summaryLine(const Job& job, const Plan& plan, const FileResult& r) {
    std::string line = job.input + ": ";
    switch (r.outcome) {
        case Outcome::Done:
            line += "Done, " + std::to_string(r.count) + " decal(s) updated";
            if (plan.dryRun) {
                line += " (dry run, nothing written)";
            } else {
                line += " -> " + r.writtenTo;
                if (!r.backup.empty())
                    line += " (original kept as " + r.backup + ")";
            }
            return line;
        case Outcome::UserEntryError:
            return line + std::string(messages::kUserEntryTitle);
        case Outcome::FileReadError:
            return line + std::string(messages::kFileReadTitle);
        case Outcome::SelectionError:
            return line + std::string(messages::kSelectionTitle);
        case Outcome::FormatError:
            return line + std::string(messages::kFormatTitle);
        case Outcome::WriteError:
            return line + std::string(messages::kWriteTitle);
    }
    return line;
}

std::string dryRunCompletion(long count, const std::string& target, bool inPlace) {
    return "Processing complete.\r" + std::to_string(count) +
           " Decal(s) updated.\rDry run, nothing written. The update would " +
           (inPlace ? "replace: " : "be written to: ") + target;
}

std::string reportHeader() {
    std::string h;
    appendCsvRow(h, {"input", "decal", "line", "keyword", "old_layer", "new_layer", "old_width",
                     "new_width", "unit"});
    return h;
}

}  // namespace trelvo::cli
