// The terminal on Linux: whether standard error is one (isatty) and its width (TIOCGWINSZ).
#include <sys/ioctl.h>
#include <unistd.h>

#include <iostream>
#include <string>

#include "cli/terminal.h"

namespace trelvo::cli::terminal {

namespace {

std::size_t columns() {
    winsize ws{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0)
        return ws.ws_col;
    return 80;
}

}  // namespace

bool stderrIsOne() {
    return ::isatty(STDERR_FILENO) == 1;
}

void clearLine() {
    std::cerr << "\r\033[K" << std::flush;
}

void showLine(std::string_view text) {
    std::string line(text);
    const std::size_t room = columns() - 1;
    if (line.size() > room)
        line.resize(room);
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20)
            c = '?';
    }
    std::cerr << line << std::flush;
}

}  // namespace trelvo::cli::terminal
