// Sequential text files addressed by small channel numbers, as the main window's run sequence
// uses them: take the next free channel, open it for reading or writing, read and write whole
// lines, close. Each channel is a file stream with a line reader or writer over it (line_io.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "files/line_io.h"

namespace trelvo {

class FileChannels {
public:
    static constexpr int16_t kMaxChannel = 255;

    static constexpr std::size_t kDefaultReadBlock = trelvo::kDefaultReadBlock;
    static constexpr std::size_t kDefaultWriteBlock = trelvo::kDefaultWriteBlock;

    FileChannels() : FileChannels(kDefaultReadBlock, kDefaultWriteBlock) {}
    // Other block sizes (at least 1 byte each) change no byte read or written.
    FileChannels(std::size_t readBlock, std::size_t writeBlock);
    ~FileChannels();  // closes whatever is still open
    FileChannels(const FileChannels&) = delete;
    FileChannels& operator=(const FileChannels&) = delete;

    // The lowest channel that is not open, or 0 when all are taken.
    int16_t FreeFile() const;

    // Opens an existing plain file for reading. Fails for a folder, a missing or unreadable file,
    // or a channel outside 1..kMaxChannel or already open.
    bool OpenInput(int16_t channel, const std::string& path);

    // Creates the file, or empties an existing one. Refuses a file open for reading on any
    // channel, however named (path, symbolic or hard link): emptying it would destroy the input.
    bool OpenOutput(int16_t channel, const std::string& path) {
        return openOutput(channel, path, false);
    }

    // An output that replaces path only when committed: the lines go to a temporary file beside
    // it, which Commit renames over path and Close without Commit removes, so that path stays as
    // it was (absent, or its old bytes) until the output is complete. A pipe or device is written
    // directly. Refused like OpenOutput, and for a file this process may not write.
    bool OpenStagedOutput(int16_t channel, const std::string& path) {
        return openOutput(channel, path, true);
    }

    // Writes out what is buffered, closes, and puts a staged output in place. False, with the
    // target as it was, when any of that fails. For other channels the same as Close.
    bool Commit(int16_t channel) { return finish(channel, true); }

    // Opens a channel that accepts lines and throws them away (nothing is created on disk).
    bool OpenDiscard(int16_t channel);

    // The next line without its end (see LineReader::readLine), valid until the next read.
    bool ReadLine(int16_t channel, std::string_view& line);

    // True when no further line can be read.
    bool AtEnd(int16_t channel);

    // Writes the line followed by CR LF.
    bool WriteLine(int16_t channel, std::string_view line);

    // LineReader::copyPlainLines from channel in to channel out.
    bool CopyPlainLines(int16_t in, int16_t out, const LineStops& stop, std::uint64_t& copied);

    using KeepLine = LineReader::KeepLine;
    using Next = LineReader::Next;
    // LineReader::copyToNextLine from channel in to channel out.
    Next CopyToNextLine(int16_t in, int16_t out, const LineStops* stop,
                        std::string_view& line, std::uint64_t& lineNumber,
                        KeepLine keep = {nullptr, nullptr});

    // The file of an open input or output (none for a discarding channel or one of the other
    // kind), for the engine's own line streams: not to be mixed with the channel's own reads.
    ByteSource* Source(int16_t channel) const;
    ByteSink* Sink(int16_t channel) const;

    // Writes out what is buffered and closes; a staged output that was not committed is removed
    // instead, leaving its target untouched. False when the data could not be written or the
    // close failed. Closing a channel that is not open does nothing and succeeds.
    bool Close(int16_t channel) { return finish(channel, false); }

    bool IsOpen(int16_t channel) const { return get(channel) != nullptr; }

private:
    struct Channel;
    Channel* get(int16_t channel) const;
    bool openOutput(int16_t channel, const std::string& path, bool staged);
    bool finish(int16_t channel, bool commit);  // Commit or Close
    bool noteFailure(const Channel& ch);        // keeps why a line stream of ch failed; false

    std::size_t readBlock_;
    std::size_t writeBlock_;
    std::string reason_;
    std::unique_ptr<Channel> channels_[kMaxChannel + 1];
};

}  // namespace trelvo
