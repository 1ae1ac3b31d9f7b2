#include "files/scratch_file.h"

#include <windows.h>

namespace trelvo {

// The C runtime's tmpfile() makes its file in the root of the current drive, where a user may not
// write: the file goes into the user's folder for temporary files instead, deleted on close ("D").
std::FILE* openScratchFile() {
    wchar_t folder[MAX_PATH + 1];
    wchar_t name[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, folder);
    if (n == 0 || n > MAX_PATH || GetTempFileNameW(folder, L"trv", 0, name) == 0)
        return nullptr;
    std::FILE* file = _wfopen(name, L"w+bD");
    if (!file)
        DeleteFileW(name);
    return file;
}

}  // namespace trelvo
