// trelvo-cli: the update engine for scripts and batch work. Runs the same sequence as the
// dialog's Run button and maps each outcome to a stable exit status.
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/messages.h"
#include "engine/run.h"

namespace {

constexpr int kUsageError = 2;

constexpr std::string_view kUsage =
    "Usage: trelvo-cli [--layer OLD:NEW] [--width OLD:NEW] [-o OUTPUT] INPUT\n"
    "Copies an exported PowerPCB decal library (*.d) to a new file, rewriting the layer\n"
    "and/or line width of the OPEN, CLOSED and CIRCLE outline pieces that match OLD.\n"
    "\n"
    "  --layer OLD:NEW    change outline layer OLD (\"*\" for any) to NEW\n"
    "  --width OLD:NEW    change line width OLD (\"*\" for any) to NEW, in mils,\n"
    "                     or in millimetres with a lower-case \"m\" (0.254mm:0.127mm)\n"
    "  -o, --output FILE  file to write (default: INPUT with \"_new.d\" in place of\n"
    "                     its last two characters, as in parts.d -> parts_new.d)\n"
    "  --help             show this help and exit\n"
    "  --version          show the version and exit\n"
    "\n"
    "The values reach the update exactly as given (not trimmed); a pair is used only\n"
    "when its option is given.\n"
    "\n"
    "Exit status:\n"
    "  0  done                 4  file read error      6  file format error\n"
    "  2  usage error          5  selection error      7  file write error\n"
    "  3  user entry error\n";

struct Options {
    std::optional<std::string> layer;
    std::optional<std::string> width;
    std::optional<std::string> output;
    std::vector<std::string> inputs;
};

int usageError(std::string_view why) {
    std::cerr << "trelvo-cli: " << why << "\nTry 'trelvo-cli --help' for more information.\n";
    return kUsageError;
}

// Splits OLD:NEW at its first ":".
bool splitPair(const std::string& value, std::string& oldText, std::string& newText) {
    const auto colon = value.find(':');
    if (colon == std::string::npos) return false;
    oldText = value.substr(0, colon);
    newText = value.substr(colon + 1);
    return true;
}

std::string lines(std::string text) {
    for (char& c : text) {
        if (c == '\r') c = '\n';
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
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
            std::cout << kUsage;
            return 0;
        }
        if (arg == "--version") {
            std::cout << "trelvo-cli 1.0.2\n";
            return 0;
        }
        // Options with a value: "--name VALUE", "--name=VALUE", "-o VALUE" or "-oVALUE".
        std::optional<std::string>* target = nullptr;
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (arg.starts_with("--")) {
            const auto eq = arg.find('=');
            if (eq != std::string::npos) {
                name = arg.substr(0, eq);
                inlineValue = arg.substr(eq + 1);
            }
            if (name == "--layer") target = &opt.layer;
            if (name == "--width") target = &opt.width;
            if (name == "--output") target = &opt.output;
        } else if (arg.starts_with("-o")) {
            name = "-o";
            target = &opt.output;
            if (arg.size() > 2) inlineValue = arg.substr(2);
        }
        if (!target) return usageError("unknown option '" + arg + "'");
        if (inlineValue) {
            *target = *inlineValue;
        } else if (i + 1 < argc) {
            *target = argv[++i];
        } else {
            return usageError("option '" + name + "' needs a value");
        }
    }

    if (opt.inputs.empty()) return usageError("missing INPUT");
    if (opt.inputs.size() > 1) return usageError("only one INPUT may be given");

    trelvo::MainFormState st;
    trelvo::EntryTexts entries;
    st.InFileName = opt.inputs.front();
    if (opt.layer) {
        if (!splitPair(*opt.layer, entries.old_lyr, entries.new_lyr)) {
            return usageError("--layer takes OLD:NEW");
        }
        st.EnLyr = true;
    }
    if (opt.width) {
        if (!splitPair(*opt.width, entries.old_wd, entries.new_wd)) {
            return usageError("--width takes OLD:NEW");
        }
        st.EnWd = true;
    }
    if (opt.output) {
        st.OutFileName = *opt.output;
    } else if (auto derived = trelvo::DeriveOutputName(st.InFileName)) {
        st.OutFileName = *derived;
    } else if (!st.InFileName.empty()) {
        return usageError("cannot derive an output name from '" + st.InFileName +
                          "' (it does not end in a point and one character); give -o OUTPUT");
    }

    trelvo::FileChannels files;
    trelvo::RunContext ctx{files, [](const trelvo::Report& r) {
                               if (r.title == trelvo::messages::kDoneTitle) {
                                   std::cout << lines(r.text) << '\n';
                               } else {
                                   std::cerr << "trelvo-cli: " << r.title << ": " << lines(r.text)
                                             << '\n';
                               }
                           }};
    const trelvo::Outcome outcome = trelvo::Run(st, ctx, entries);
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "trelvo-cli: cannot write to standard output\n";
    }
    return static_cast<int>(outcome);
}
