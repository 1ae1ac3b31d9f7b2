// The system half of replace.cpp: each system's way of keeping track of the temporary files for
// the interruption cleanup, removing a file and releasing its lock.
#pragma once

#include <cstdint>
#include <string>

namespace trelvo::detail {

// Lets the interruption cleanup remove path; false when no slot is free or the name is too long
// (the file is then still removed by its TempFile, just not on an interruption).
bool armCleanup(const std::string& path);
void disarmCleanup(const std::string& path);

void removeFile(const std::string& path);

// Closes the handle a TempFile keeps its lock with (-1: none).
void releaseLock(std::intptr_t lock);

}  // namespace trelvo::detail
