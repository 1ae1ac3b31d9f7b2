#include "cli/options.h"

#include <algorithm>
#include <iterator>
#include <string_view>
#include <utility>

namespace trelvo::cli {

ParsedArgs parseArgs(int argc, const char* const* argv) {
    using Flag = std::pair<std::string_view, bool*>;
    using Value = std::pair<std::string_view, std::optional<std::string>*>;  // none: --decal
    ParsedArgs parsed;
    Options& opt = parsed.options;
    auto fail = [&parsed](std::string why) {
        parsed.action = ParsedArgs::Action::UsageError;
        parsed.error = std::move(why);
        return parsed;
    };

    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            opt.inputs.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            parsed.action = ParsedArgs::Action::Help;
            return parsed;
        }
        if (arg == "--version") {
            parsed.action = ParsedArgs::Action::Version;
            return parsed;
        }

        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (arg.starts_with("--")) {
            const auto eq = arg.find('=');
            if (eq != std::string::npos) {
                name = arg.substr(0, eq);
                inlineValue = arg.substr(eq + 1);
            }
        } else if (arg.starts_with("-o")) {
            name = "-o";
            if (arg.size() > 2)
                inlineValue = arg.substr(2);
        }

        const Flag flags[] = {{"--dry-run", &opt.dryRun},
                              {"--in-place", &opt.inPlace},
                              {"--no-backup", &opt.noBackup},
                              {"--survey", &opt.survey},
                              {"--keep-line-ends", &opt.keepLineEnds}};
        if (const auto f = std::ranges::find(flags, name, &Flag::first); f != std::end(flags)) {
            if (inlineValue)
                return fail("option '" + name + "' takes no value");
            *f->second = true;
            continue;
        }

        // Options with a value: "--name VALUE", "--name=VALUE", "-o VALUE" or "-oVALUE".
        const Value values[] = {
            {"--layer", &opt.layer},   {"--width", &opt.width},   {"--output", &opt.output},
            {"-o", &opt.output},       {"--report", &opt.report}, {"--format", &opt.format},
            {"--html", &opt.html},     {"--rules", &opt.rules},   {"--check", &opt.check},
            {"--backup", &opt.backup}, {"--decal", nullptr}};
        const auto v = std::ranges::find(values, name, &Value::first);
        if (v == std::end(values))
            return fail("unknown option '" + arg + "'");
        if (!inlineValue && i + 1 == argc)
            return fail("option '" + name + "' needs a value");
        std::string value = inlineValue ? *inlineValue : argv[++i];
        if (v->second)
            *v->second = std::move(value);
        else
            opt.decals.push_back(std::move(value));
    }
    return parsed;
}

std::string changeFreeUsageError(const Options& o, std::string_view command,
                                 std::string_view lastFormat) {
    const bool check = command == "--check";
    const std::pair<bool, const char*> others[] = {
        {o.layer.has_value(), "--layer"},   {o.width.has_value(), "--width"},
        {check && o.rules, "--rules"},      {o.output.has_value(), "-o"},
        {o.report.has_value(), "--report"}, {o.html.has_value(), "--html"},
        {!o.decals.empty(), "--decal"},     {o.dryRun, "--dry-run"},
        {o.inPlace, "--in-place"},          {o.noBackup, "--no-backup"},
        {o.backup.has_value(), "--backup"}, {o.keepLineEnds, "--keep-line-ends"},
        {check && o.survey, "--survey"}};
    for (const auto& [given, name] : others) {
        if (given)
            return std::string(command) + " cannot be used with " + name + " (it changes nothing)";
    }
    if (o.format && *o.format != "table" && *o.format != "csv" && *o.format != lastFormat)
        return "--format takes table, csv or " + std::string(lastFormat);
    if (o.inputs.empty())
        return "missing INPUT";
    return {};
}

}  // namespace trelvo::cli
