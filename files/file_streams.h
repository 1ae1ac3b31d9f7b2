// Files as the byte streams of the line reader and writer: a library opened for reading, and an
// output staged beside its target and put in place when committed (or written directly).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "files/line_io.h"
#include "files/native_file.h"
#include "files/replace.h"

namespace trelvo {

// One run at a time per file: held from the first read of a library to be replaced (or the making
// of an output over an existing file) until it is replaced, so that a second run on the same file
// fails at once instead of losing one run's change.
class UpdateLock {
public:
    // Locks the file path names, which must still be the file id. Nothing, with why set, when
    // another run holds it or path now names another file; a file that cannot be opened is let
    // through unlocked.
    static std::unique_ptr<UpdateLock> take(const std::string& path, const native::FileId& id,
                                            std::string& why);
    ~UpdateLock();
    UpdateLock(const UpdateLock&) = delete;
    UpdateLock& operator=(const UpdateLock&) = delete;

private:
    explicit UpdateLock(native::Handle h) : h_(h) {}
    native::Handle h_;
};

class InputFile final : public ByteSource {
public:
    // An existing plain file; nothing, with why set to the system's reason, otherwise.
    static std::unique_ptr<InputFile> open(const std::string& path, std::string& why);
    ~InputFile() override;

    std::int64_t read(char* data, std::size_t size) override;
    std::string failure() const override { return failure_; }
    const native::FileId& id() const { return id_; }
    // As it was when opened: a file to be replaced must still be so just before.
    const std::optional<native::FileState>& state() const { return state_; }

private:
    InputFile() = default;

    native::Handle fd_ = native::kNoFile;
    native::FileId id_;
    std::string path_, failure_;
    // A plain file's size when opened, and how much has been read: a file that ends before was
    // cut short by another program while it was read.
    std::optional<std::uint64_t> size_;
    std::uint64_t read_ = 0;
    std::optional<native::FileState> state_;
};

class OutputFile final : public ByteSink {
public:
    enum class Mode {
        Staged,  // written beside the target, renamed over it by commit
        Direct,  // the target itself is created, or emptied and written
    };
    // Opens path for writing. Refused, with why set, for one of the files in reading (by
    // identity: any spelling, link or short name), which writing would destroy; a folder; a file
    // this process may not write; a staged output whose folder takes no temporary file. A pipe
    // or device is always written directly.
    static std::unique_ptr<OutputFile> open(const std::string& path, Mode mode,
                                            const std::vector<native::FileId>& reading,
                                            std::string& why);
    // Not committed: a staged output's temporary file is removed, its target left as it was.
    ~OutputFile() override;

    bool write(const char* data, std::size_t size) override;
    bool writeSpans(const ByteSpan* spans, std::size_t count) override;
    std::string failure() const override { return failure_; }

    // Closes, and puts a staged output in place, keeping an existing target's permissions and
    // flushing the new file to disk first. False, with why set and the target as it was, when
    // any of that fails.
    bool commit(std::string& why);
    bool isStaged() const { return staged_.has_value(); }

private:
    OutputFile() = default;
    bool failed(std::string& why) const;  // why: the system's reason a write failed; false

    native::Handle fd_ = native::kNoFile;
    std::string path_, failure_;
    std::optional<TempFile> staged_;
    std::unique_ptr<UpdateLock> lock_;  // of the file a staged output replaces
    std::string target_;  // what a staged output replaces
    KeptAttributes attributes_;
    bool replacing_ = false;  // the target exists
};

}  // namespace trelvo
