// Where trelvo-cli's words go: completion texts and summary lines on standard output (or on
// standard error while the change report takes standard output), failures on standard error as
// "trelvo-cli: INPUT: TITLE: TEXT (WHY)", warnings there as "trelvo-cli: INPUT: warning: TEXT",
// and, for a batch on a terminal, one progress line on standard error that is redrawn in place
// and cleared before anything else is printed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/report.h"

namespace trelvo::cli {

class Console {
public:
    // reportOnStdout: standard output carries the CSV report, so nothing else may go there.
    // progress: draw the progress line (only honoured when standard error is a terminal).
    Console(bool reportOnStdout, bool progress);

    void progress(std::size_t index, std::size_t total, std::string_view input);
    void clearProgress();

    // Lines separated by CR in text are printed as separate lines.
    void completion(std::string_view text);
    // why, when given, follows the text in parentheses: the file and the system's reason.
    void failure(std::string_view input, std::string_view title, std::string_view text,
                 std::string_view why = {});
    void warning(std::string_view input, std::string_view text);
    // An extra line of detail on standard error: "trelvo-cli: TEXT".
    void detail(std::string_view text);
    void summary(std::string_view line);

private:
    bool reportOnStdout_;
    bool progress_;
    bool progressShown_ = false;
};

// "INPUT: TITLE: TEXT (DETAIL)" of a failed outcome; without the parentheses when detail is empty.
std::string failureText(std::string_view input, Outcome outcome, std::string_view detail);

// Flushes standard output at the end of a command; a failure there (a full disk under a
// redirection, a closed pipe) is said and makes the status at least a write error's.
int finishStandardOutput(int status);

#if defined(_WIN32)
// Points std::cout and std::cerr at the process's standard handles: UTF-16 text for a console,
// the UTF-8 bytes unchanged for a file or pipe. Called once, first thing in main.
void useWindowsStandardStreams();
#endif

}  // namespace trelvo::cli
