// Whether two names reach the same file: by the file's identity when both exist (links of any
// kind, and on Windows also another case or the short 8.3 name), else by their spelling (made
// absolute, and on Windows compared without regard to case).
#pragma once

#include <string>

#include "files/native_file.h"

namespace trelvo {

class FileKey {
public:
    explicit FileKey(const std::string& name);
    bool operator==(const FileKey& other) const;

private:
    native::FileId id_;
    std::string path_;  // absolute, for a file that does not exist yet
    // Windows: a file yet to be written, by its folder's identity and its name.
    native::FileId folder_;
    std::wstring leaf_;
};

}  // namespace trelvo
