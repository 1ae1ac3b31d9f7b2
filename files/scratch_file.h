// A scratch file: read and written by this process alone, in the system's folder for temporary
// files, and gone from the disk once closed (or once the process ends, however it ends).
#pragma once

#include <cstdio>

namespace trelvo {

// Opened for reading and writing in binary; null when none can be had.
std::FILE* openScratchFile();

}  // namespace trelvo
