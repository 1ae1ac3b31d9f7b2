// The system half of in_place.cpp: each system's way of keeping track of the temporary files
// for the interruption cleanup, removing a file, releasing its lock and describing the last
// failed call.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace trelvo::cli::detail {

// Lets the interruption cleanup remove path; false when no slot is free or the name is too long
// (the file is then still removed by its TempFile, just not on an interruption).
bool armCleanup(const std::string& path);
void disarmCleanup(const std::string& path);

void removeFile(const std::string& path);

// Closes the handle a TempFile keeps its lock with (-1: none).
void releaseLock(std::intptr_t lock);

// "WHAT 'PATH': REASON", the reason being the system's text for the call that just failed.
std::string failureText(std::string_view what, const std::string& path);

}  // namespace trelvo::cli::detail
