// The terminal under standard error, as the progress line uses it: a POSIX terminal driven with
// escape sequences, or a Windows console driven through its own calls.
#pragma once

#include <string_view>

namespace trelvo::cli::terminal {

bool stderrIsOne();

// Clears the line the cursor is on and puts the cursor at its start.
void clearLine();

// Writes text from the cursor on, control characters shown as "?" and cut so that the line does
// not wrap (a wrapped line could no longer be cleared).
void showLine(std::string_view text);

}  // namespace trelvo::cli::terminal
