// A library's bytes read where they lie: the file mapped into memory, so that the pass scans it
// without copying it into a buffer and unchanged runs go to the output straight from it.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "files/native_file.h"

namespace trelvo {

class MappedFile {
public:
    // The whole of the plain file h, mapped for reading; nothing when it cannot be (a pipe, a
    // device, an empty file, a system without it), and the file is then read block by block.
    static std::unique_ptr<MappedFile> map(native::Handle h);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    std::string_view bytes() const { return {data_, size_}; }
    // Another program cut the file short under the mapping: the pages past its new end were
    // read as zeros instead of ending the process (SIGBUS), and the bytes are not the file's.
    bool cutShort() const;

private:
    MappedFile(const char* data, std::size_t size, int slot) : data_(data), size_(size), slot_(slot) {}
    const char* data_;
    std::size_t size_;
    int slot_;  // where the fault handler knows the mapping
};

}  // namespace trelvo
