// The system half of replace.cpp: each system's way of keeping track of the temporary files for
// the interruption cleanup, removing a file and releasing its lock; and the reading of their
// names, which both halves share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace trelvo::detail {

// Lets the interruption cleanup remove path; false when no slot is free or the name is too long
// (the file is then still removed by its TempFile, just not on an interruption).
bool armCleanup(const std::string& path);
void disarmCleanup(const std::string& path);

void removeFile(const std::string& path);

// The process number in a temporary file name's tail "PID-XXXXXX" or "PID-XXXXXX.orig" (what
// createBeside and replaceFile make after the prefix), PID being at most maxDigits digits; 0
// when the tail is not of that form.
std::uint64_t tempOwner(std::string_view tail, std::size_t maxDigits);

// Closes the handle a TempFile keeps its lock with (-1: none).
void releaseLock(std::intptr_t lock);

}  // namespace trelvo::detail
