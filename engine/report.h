// How the engine tells its caller what happened: one report per outcome, shown by the front end
// (a message box in the dialog, a line on stdout/stderr in trelvo-cli).
#pragma once

#include <functional>
#include <string>

namespace trelvo {

enum class Icon { None, Warning, Error, Information };

struct Report {
    std::string text;   // lines separated by a single carriage return
    std::string title;  // empty: the front end shows the program title
    Icon icon = Icon::None;
    // What exactly failed (a file and the system's reason, a line), for front ends that say more
    // than the dialog's box; empty on success and where there is nothing to add.
    std::string detail = {};
};

// Must not return before the user has seen the report (the dialog's boxes are modal).
using Reporter = std::function<void(const Report&)>;

// How a run ended. The values are trelvo-cli's exit statuses; scripts rely on them.
enum class Outcome : int {
    Done = 0,
    UserEntryError = 3,
    FileReadError = 4,
    SelectionError = 5,
    FormatError = 6,
    RunError = 7,  // the run failed once under way: a read, a write, a value it cannot write
};

inline constexpr const char* kProgramTitle = "Trelvo";

}  // namespace trelvo
