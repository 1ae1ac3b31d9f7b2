#include "cli/options.h"

#include <string_view>

namespace trelvo::cli {

ParsedArgs parseArgs(int argc, const char* const* argv) {
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

        bool* flag = nullptr;
        if (name == "--dry-run")
            flag = &opt.dryRun;
        if (name == "--in-place")
            flag = &opt.inPlace;
        if (name == "--no-backup")
            flag = &opt.noBackup;
        if (name == "--survey")
            flag = &opt.survey;
        if (name == "--keep-line-ends")
            flag = &opt.keepLineEnds;
        if (flag) {
            if (inlineValue)
                return fail("option '" + name + "' takes no value");
            *flag = true;
            continue;
        }

        // Options with a value: "--name VALUE", "--name=VALUE", "-o VALUE" or "-oVALUE".
        std::optional<std::string>* target = nullptr;
        bool isDecal = false;
        if (name == "--layer")
            target = &opt.layer;
        if (name == "--width")
            target = &opt.width;
        if (name == "--output" || name == "-o")
            target = &opt.output;
        if (name == "--report")
            target = &opt.report;
        if (name == "--format")
            target = &opt.format;
        if (name == "--html")
            target = &opt.html;
        if (name == "--rules")
            target = &opt.rules;
        if (name == "--check")
            target = &opt.check;
        if (name == "--backup")
            target = &opt.backup;
        if (name == "--decal")
            isDecal = true;
        if (!target && !isDecal)
            return fail("unknown option '" + arg + "'");

        std::string value;
        if (inlineValue) {
            value = *inlineValue;
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            return fail("option '" + name + "' needs a value");
        }
        if (isDecal) {
            opt.decals.push_back(std::move(value));
        } else {
            *target = std::move(value);
        }
    }
    return parsed;
}

}  // namespace trelvo::cli
