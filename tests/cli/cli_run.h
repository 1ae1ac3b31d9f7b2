// Runs the built trelvo-cli in a test's temporary folder and collects what it did.
#pragma once

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "test_files.h"

namespace trelvo::test {

struct CliResult {
    int status = -1;
    std::string out, err;
};

inline std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// env: assignments such as "TRELVO_TEST_FAULT=rename", put before the command.
inline CliResult runCli(const std::vector<std::string>& args, const TempDir& dir,
                        const std::vector<std::string>& env = {}) {
    const std::string outFile =
        (dir.path().parent_path() / (dir.path().filename().string() + ".out")).string();
    const std::string errFile =
        (dir.path().parent_path() / (dir.path().filename().string() + ".err")).string();
    std::string cmd = "cd " + shellQuote(dir.path().string()) + " &&";
    for (const auto& e : env) {
        const auto eq = e.find('=');
        cmd += " " + e.substr(0, eq + 1) + shellQuote(e.substr(eq + 1));
    }
    cmd += " " + shellQuote(TRELVO_CLI);
    for (const auto& a : args)
        cmd += " " + shellQuote(a);
    cmd += " >" + shellQuote(outFile) + " 2>" + shellQuote(errFile) + " </dev/null";
    CliResult r;
    const int raw = std::system(cmd.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = readFile(outFile);
    r.err = readFile(errFile);
    std::filesystem::remove(outFile);
    std::filesystem::remove(errFile);
    return r;
}

// The names in a folder, sorted.
inline std::vector<std::string> listDir(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace trelvo::test
