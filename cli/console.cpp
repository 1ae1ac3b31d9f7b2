#include "cli/console.h"

#include <algorithm>
#include <iostream>
#include <string>

#include "cli/terminal.h"
#include "engine/messages.h"

namespace trelvo::cli {

namespace {

std::string crToLf(std::string_view text) {
    std::string out(text);
    std::ranges::replace(out, '\r', '\n');
    return out;
}

}  // namespace

Console::Console(bool reportOnStdout, bool progress)
    : reportOnStdout_(reportOnStdout), progress_(progress && terminal::stderrIsOne()) {}

void Console::progress(std::size_t index, std::size_t total, std::string_view input) {
    if (!progress_)
        return;
    const std::string line = "trelvo-cli: [" + std::to_string(index) + "/" + std::to_string(total) +
                             "] " + std::string(input);
    std::cout.flush();
    terminal::clearLine();
    terminal::showLine(line);
    progressShown_ = true;
}

void Console::clearProgress() {
    if (!progressShown_)
        return;
    terminal::clearLine();
    progressShown_ = false;
}

void Console::completion(std::string_view text) {
    summary(crToLf(text));
}

void Console::failure(std::string_view input, std::string_view title, std::string_view text,
                      std::string_view why) {
    std::string line = std::string(input) + ": " + std::string(title) + ": " + crToLf(text);
    if (!why.empty())
        line += " (" + std::string(why) + ')';
    detail(line);
}

void Console::warning(std::string_view input, std::string_view text) {
    detail(std::string(input) + ": warning: " + std::string(text));
}

void Console::detail(std::string_view text) {
    clearProgress();
    std::cout.flush();
    std::cerr << "trelvo-cli: " << text << '\n';
}

void Console::summary(std::string_view line) {
    clearProgress();
    (reportOnStdout_ ? std::cerr : std::cout) << line << '\n';
}

std::string failureText(std::string_view input, Outcome outcome, std::string_view detail) {
    const Report box = messages::forOutcome(outcome, 0, {});
    std::string text = std::string(input) + ": " + box.title + ": " + box.text;
    if (!detail.empty())
        text += " (" + std::string(detail) + ')';
    return text;
}

int finishStandardOutput(int status) {
    std::cout.flush();
    if (std::cout)
        return status;
    std::cerr << "trelvo-cli: cannot write to standard output\n";
    return std::max(status, static_cast<int>(Outcome::RunError));
}

}  // namespace trelvo::cli
