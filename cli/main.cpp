// trelvo-cli: the update engine for scripts and batch work. Runs the same sequence as the
// dialog's Run button on each INPUT and maps the outcomes to a stable exit status.
#include <csignal>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/batch.h"
#include "cli/console.h"
#include "cli/html_report.h"
#include "cli/library_check.h"
#include "cli/options.h"
#include "cli/rules_file.h"
#include "cli/staged_text.h"
#include "cli/survey_table.h"
#include "files/replace.h"

#if defined(_WIN32)
#include "files/utf16.h"
#endif

namespace {

constexpr int kUsageError = 2;

constexpr std::string_view kUsage =
    "Usage: trelvo-cli [--layer OLD:NEW] [--width OLD:NEW] [-o OUTPUT] INPUT\n"
    "       trelvo-cli [options] INPUT...\n"
    "       trelvo-cli --survey [--format table|csv|csv-labels] INPUT...\n"
    "       trelvo-cli --rules FILE [options] INPUT...\n"
    "       trelvo-cli --check FILE [--format table|csv|sarif] INPUT...\n"
    "Copies an exported PowerPCB decal library (*.d) to a new file, rewriting the layer\n"
    "and/or line width of the OPEN, CLOSED and CIRCLE outline pieces that match OLD.\n"
    "\n"
    "  --layer OLD:NEW    change outline layer OLD (\"*\" for any) to NEW\n"
    "  --width OLD:NEW    change line width OLD (\"*\" for any) to NEW; each a number\n"
    "                     in mils, or with \"mil\" or \"mm\" after it (10:0.127mm)\n"
    "  -o, --output FILE  file to write (default: INPUT with \"_new.d\" in place of\n"
    "                     its last two characters, as in parts.d -> parts_new.d);\n"
    "                     only with a single INPUT\n"
    "  --decal GLOB       rewrite only decals whose name matches GLOB (\"*\" and \"?\",\n"
    "                     case-sensitive); may be repeated\n"
    "  --report FILE      write a CSV row for every rewritten piece line to FILE\n"
    "                     (\"-\" for standard output)\n"
    "  --dry-run          run the whole update but write no output file (and say\n"
    "                     where it would have gone)\n"
    "  --html FILE        also write FILE, a self-contained web page with the entries,\n"
    "                     the outcome per INPUT and each updated decal drawn before\n"
    "                     and after (the first 200 decals)\n"
    "  --in-place         replace each INPUT with its updated version once it has been\n"
    "                     written and checked; the original is kept as INPUT.orig\n"
    "  --backup=MODE      with --in-place: simple (INPUT.orig, the default),\n"
    "                     numbered (INPUT.orig.1, .2, ...: every original kept)\n"
    "                     or none\n"
    "  --no-backup        with --in-place: keep no INPUT.orig (--backup=none)\n"
    "  --keep-line-ends   end every line as it ended in INPUT (CR LF, CR or LF),\n"
    "                     instead of with CR LF\n"
    "  --survey           write nothing: print, per unit, keyword, layer, width and\n"
    "                     field 5, how many outline pieces and decals each INPUT\n"
    "                     holds and whether a run may rewrite them\n"
    "  --rules FILE       apply the house rules of FILE (TOML: [[piece]], [[label]],\n"
    "                     [[text]] and [[check]] tables) in one pass instead of\n"
    "                     --layer and --width; each written output is then checked\n"
    "                     against its [[check]] tables (status 1 on an error)\n"
    "  --check FILE       write nothing: check each INPUT against the [[check]]\n"
    "                     tables of FILE and each decal against its header's\n"
    "                     counts; status 1 when an error is found\n"
    "  --format FORMAT    with --survey or --check: table (aligned columns, the\n"
    "                     default) or csv; with --survey also csv-labels (the\n"
    "                     label and text styles as CSV), with --check also sarif\n"
    "                     (SARIF 2.1.0, for code scanning)\n"
    "  --help             show this help and exit\n"
    "  --version          show the version and exit\n"
    "\n"
    "Layers must be layer numbers, widths numbers (the new one not negative); a pair\n"
    "is used only when its option is given. An output is replaced only when its run\n"
    "succeeds. With several INPUTs each is updated on its own, and a summary line per\n"
    "INPUT follows.\n"
    "\n"
    "Exit status (with several INPUTs, the highest of them):\n"
    "  0  done                 4  file read error      6  file format error\n"
    "  1  a check found errors 5  selection error      7  file write error\n"
    "  2  usage error          3  user entry error\n";

int usageError(std::string_view why) {
    std::cerr << "trelvo-cli: " << why << "\nTry 'trelvo-cli --help' for more information.\n";
    return kUsageError;
}

int run(int argc, const char* const* argv) {
    using namespace trelvo::cli;
    // An interrupted run removes the temporary files it made; every target stays as it was.
    trelvo::installTempCleanup();

    const ParsedArgs args = parseArgs(argc, argv);
    switch (args.action) {
        case ParsedArgs::Action::Help:
            std::cout << kUsage;
            return 0;
        case ParsedArgs::Action::Version:
            std::cout << "trelvo-cli 1.0.2\n";
            return 0;
        case ParsedArgs::Action::UsageError:
            return usageError(args.error);
        case ParsedArgs::Action::Run:
            break;
    }
    const Options& opt = args.options;
    if (const std::string why = surveyUsageError(opt); !why.empty())
        return usageError(why);
    if (opt.survey)
        return runSurvey(opt);
    if (const std::string why = checkUsageError(opt); !why.empty())
        return usageError(why);
    if (opt.check)
        return runCheckCommand(opt);
    const Planned planned = makePlan(opt);
    if (!planned.plan)
        return usageError(planned.error);
    const Plan& plan = *planned.plan;
    const bool several = plan.jobs.size() > 1;
    for (const std::string& w : plan.rulesWarnings)
        std::cerr << "trelvo-cli: " << w << '\n';

    const bool reportOnStdout = opt.report && *opt.report == "-";
    // The report and the page are staged like outputs: put in place when the run ends, so that
    // a run that is interrupted or cannot finish them leaves the files that were there.
    std::string why;
    const auto stage = [&why](const std::string& path, const char* what) {
        auto file = StagedText::open(path, why);
        if (!file) {
            std::cerr << "trelvo-cli: cannot write the " << what << " '" << path << "'\n"
                      << "trelvo-cli: " << why << '\n';
        }
        return file;
    };
    std::unique_ptr<StagedText> reportFile, htmlFile;
    if (opt.report && !reportOnStdout && !(reportFile = stage(*opt.report, "report")))
        return static_cast<int>(trelvo::Outcome::RunError);
    std::ostream* report = reportFile       ? &reportFile->stream()
                           : reportOnStdout ? &std::cout
                                            : nullptr;
    if (report)
        *report << reportHeader(plan.rulesMode);
    if (opt.html && !(htmlFile = stage(*opt.html, "page")))
        return static_cast<int>(trelvo::Outcome::RunError);
    std::optional<HtmlReport> html;
    if (htmlFile)
        html.emplace(htmlFile->stream(), plan);

    Console console(reportOnStdout, several);
    int worst = 0;
    std::string summary;
    std::vector<bool> decalMatched(opt.decals.size(), false);
    trelvo::RuleMatches matches;  // over every INPUT passed
    bool passed = false;
    for (std::size_t i = 0; i < plan.jobs.size(); ++i) {
        const Job& job = plan.jobs[i];
        console.progress(i + 1, plan.jobs.size(), job.input);
        const FileResult result = runFile(job, plan, console, html ? &*html : nullptr);
        if (html)
            html->endInput(job, result);
        worst = std::max(worst, static_cast<int>(result.outcome));
        if (result.outcome == trelvo::Outcome::Done) {
            passed = true;
            matches.add(result.matches);
        }
        for (std::size_t g = 0; g < result.decalsMatched.size(); ++g) {
            if (result.decalsMatched[g])
                decalMatched[g] = true;
        }
        if (report)
            *report << result.rows << std::flush;
        // The written library against the file's checks: an error there fails the run's status.
        if (result.outcome == trelvo::Outcome::Done && !result.writtenTo.empty() &&
            !plan.rules->checks.empty()) {
            console.clearProgress();
            std::ostream& out = reportOnStdout ? std::cerr : std::cout;
            const auto told = result.findings ? result.findings->writeTo(out, result.checkErrors,
                                                                         result.checkWarnings)
                                              : FindingSpool::Told::Nothing;
            if (told == FindingSpool::Told::All) {
                worst = std::max(worst, result.checkErrors > 0 ? kCheckFailed : 0);
            } else if (told == FindingSpool::Told::Part) {
                out.flush();
                std::cerr << "trelvo-cli: " << result.writtenTo
                          << ": the findings could not all be read back from their temporary file;"
                             " trelvo-cli --check tells them all\n";
                worst = std::max(worst, static_cast<int>(trelvo::Outcome::FileReadError));
            } else {
                // The findings could not be kept: the written output is read again for them.
                const trelvo::CheckResult c =
                    checkFile(result.writtenTo, *plan.rules, FindingFormat::Table, out, false);
                matches.add({{}, {}, {}, c.checkMatches});
                worst = std::max(worst, checkStatus(c));
            }
        }
        if (several)
            summary += summaryLine(job, plan, result) + '\n';
    }
    console.clearProgress();
    if (several)
        console.summary(summary.substr(0, summary.size() - 1));
    // A pattern that selects nothing is most likely a slip; the runs themselves are not failed.
    for (std::size_t g = 0; g < opt.decals.size(); ++g) {
        if (!decalMatched[g])
            console.detail("warning: --decal '" + opt.decals[g] + "' matched no decal");
    }
    // So do rules and checks that took nothing: a slip in a name, or a file meant for another
    // library. A dry run writes nothing to check.
    if (plan.rulesMode && passed) {
        for (const std::string& w :
             unmatchedWarnings(*plan.rules, plan.rulesFile, matches, true, !plan.dryRun))
            console.detail(w);
    }

    if (html) {
        html->finish();
        if (!htmlFile->commit(why)) {
            std::cerr << "trelvo-cli: the page '" << *opt.html << "' could not be written\n"
                      << "trelvo-cli: " << why << '\n';
            worst = std::max(worst, static_cast<int>(trelvo::Outcome::RunError));
        }
    }
    if (report && (reportOnStdout ? !std::cout.flush() : !reportFile->commit(why))) {
        std::cerr << "trelvo-cli: the report '" << *opt.report << "' could not be written\n";
        if (!reportOnStdout)
            std::cerr << "trelvo-cli: " << why << '\n';
        worst = std::max(worst, static_cast<int>(trelvo::Outcome::RunError));
    }
    std::cout.flush();
    if (!std::cout && !reportOnStdout) {
        std::cerr << "trelvo-cli: cannot write to standard output\n";
    }
    return worst;
}

}  // namespace

#if defined(_WIN32)
// The arguments as Windows passes them, in UTF-16: every name reaches the program whatever the
// ANSI code page, and is UTF-8 from here on.
int wmain(int argc, wchar_t** wargv) {
    trelvo::cli::useWindowsStandardStreams();
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i)
        args.push_back(trelvo::narrow(wargv[i]));
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    argv.push_back(nullptr);
    return run(argc, argv.data());
}
#else
int main(int argc, char** argv) {
    // Past a file-size limit (ulimit -f) a write then fails with "File too large", and the run
    // ends in its write error with its temporary file removed, instead of being killed.
    std::signal(SIGXFSZ, SIG_IGN);
    return run(argc, argv);
}
#endif
