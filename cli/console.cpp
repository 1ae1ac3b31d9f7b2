#include "cli/console.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <iostream>
#include <string>

namespace trelvo::cli {

namespace {

std::string crToLf(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c == '\r')
            c = '\n';
    }
    return out;
}

std::size_t terminalColumns() {
    winsize ws{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0)
        return ws.ws_col;
    return 80;
}

}  // namespace

Console::Console(bool reportOnStdout, bool progress)
    : reportOnStdout_(reportOnStdout), progress_(progress && ::isatty(STDERR_FILENO) == 1) {}

void Console::progress(std::size_t index, std::size_t total, std::string_view input) {
    if (!progress_)
        return;
    std::string line = "trelvo-cli: [" + std::to_string(index) + "/" + std::to_string(total) +
                       "] " + std::string(input);
    // A line that wraps could no longer be cleared with a carriage return.
    const std::size_t room = terminalColumns() - 1;
    if (line.size() > room)
        line.resize(room);
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20)
            c = '?';
    }
    std::cout.flush();
    std::cerr << "\r\033[K" << line << std::flush;
    progressShown_ = true;
}

void Console::clearProgress() {
    if (!progressShown_)
        return;
    std::cerr << "\r\033[K" << std::flush;
    progressShown_ = false;
}

void Console::completion(std::string_view text) {
    clearProgress();
    (reportOnStdout_ ? std::cerr : std::cout) << crToLf(text) << '\n';
}

void Console::failure(std::string_view title, std::string_view text) {
    clearProgress();
    std::cout.flush();
    std::cerr << "trelvo-cli: " << title << ": " << crToLf(text) << '\n';
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

}  // namespace trelvo::cli
