// Sequential text files addressed by small channel numbers, as the run sequence and the update
// pass use them: take the next free channel, open it for reading or writing, read and write whole
// lines, close. Buffered so that a library of any size streams at about the speed of a file copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace trelvo {

namespace native {
struct FileId;
}

class FileChannels {
public:
    static constexpr int16_t kMaxChannel = 255;

    // How much is read from an input file, and gathered for an output file, at once.
    static constexpr std::size_t kDefaultReadBlock = std::size_t{1} << 18;
    static constexpr std::size_t kDefaultWriteBlock = std::size_t{1} << 18;

    FileChannels() : FileChannels(kDefaultReadBlock, kDefaultWriteBlock) {}
    // Other block sizes (at least 1 byte each) change no byte read or written, only where lines
    // meet block boundaries: tests make them small to reach those boundaries with small files.
    FileChannels(std::size_t readBlock, std::size_t writeBlock);
    ~FileChannels();  // closes whatever is still open
    FileChannels(const FileChannels&) = delete;
    FileChannels& operator=(const FileChannels&) = delete;

    // The lowest channel that is not open, or 0 when all are taken.
    int16_t FreeFile() const;

    // Opens an existing plain file for reading. Fails for a folder, a missing or unreadable file,
    // or a channel outside 1..kMaxChannel or already open.
    bool OpenInput(int16_t channel, const std::string& path);

    // Creates the file, or empties an existing one. Refuses a path that names a file open on any
    // channel of this table (by path, symbolic or hard link): emptying it would destroy the input.
    bool OpenOutput(int16_t channel, const std::string& path);

    // Opens an output that replaces path only when it is committed: the lines go to a temporary
    // file beside it, which Commit renames over path and Close without Commit removes, so that
    // path stays exactly as it was (absent, or its old bytes) until the output is complete. A
    // pipe or device is written directly, as OpenOutput does. Refused like OpenOutput, and for a
    // file this process may not write.
    bool OpenStagedOutput(int16_t channel, const std::string& path);

    // Writes out what is buffered, closes, and puts a staged output in place (an existing file
    // keeps its permissions and is flushed to disk before it is replaced). False, with the
    // target as it was, when any of that fails. For other channels the same as Close.
    bool Commit(int16_t channel);

    // Opens a channel that accepts lines and throws them away (nothing is created on disk).
    bool OpenDiscard(int16_t channel);

    // Reads the next line without its line end. A line ends at CR, CR LF or LF; the last line of
    // a file is a line even without a line end. Fails at end of file or on a read error.
    // The view stays valid until the next ReadLine or AtEnd on the same channel.
    bool ReadLine(int16_t channel, std::string_view& line);

    // True when no further line can be read (end of file, or a read error that ReadLine will
    // then report), false while a line remains.
    bool AtEnd(int16_t channel);

    // Writes the line followed by CR LF.
    bool WriteLine(int16_t channel, std::string_view line);

    // Copies lines from input channel in to output channel out exactly as ReadLine and WriteLine
    // would, for as long as each line ends in CR LF, is not empty and begins with none of the
    // characters in stop. Stops before the first other line and at the end of the data already
    // read, so the caller reads the lines it must look at with ReadLine as usual. Adds the number
    // of lines copied to copied. False when the channels are not an input and an output, or when
    // writing fails.
    bool CopyPlainLines(int16_t in, int16_t out, std::string_view stop, std::uint64_t& copied);

    // Asked about a line that begins with a stop character and ends in CR LF: true lets it go
    // with the plain lines, copied as it is (the caller would have written it unchanged).
    struct KeepLine {
        bool (*keep)(void* context, std::string_view line);
        void* context;
    };

    // CopyPlainLines (when stop is given, with the lines keep lets go as well), then ReadLine, in
    // one call: the update pass's step from one line it must look at to the next. lineNumber
    // counts the lines copied and read.
    enum class Next { Line, End, Failed };
    Next CopyToNextLine(int16_t in, int16_t out, const std::string_view* stop,
                        std::string_view& line, std::uint64_t& lineNumber,
                        KeepLine keep = {nullptr, nullptr});

    // The line before the one the last ReadLine or CopyToNextLine on channel handed out, whether
    // it was handed out or copied in bulk. False for the first line of the file. The view stays
    // valid until the next read on the channel.
    bool PreviousLine(int16_t channel, std::string_view& line) const;

    // Writes out what is buffered and closes; a staged output that was not committed is removed
    // instead, leaving its target untouched. False when the data could not be written or the
    // close failed. Closing a channel that is not open does nothing and succeeds.
    bool Close(int16_t channel);

    // Why the last open, read, write or commit that failed did so, in the system's words (for an
    // output also naming the file), or empty.
    const std::string& FailureReason() const { return reason_; }

    bool IsOpen(int16_t channel) const;

private:
    struct Channel;
    Channel* get(int16_t channel) const;
    // True, with the reason set, when id is the file of an open channel.
    bool isOpenElsewhere(const native::FileId& id, const std::string& path);

    std::size_t readBlock_;
    std::size_t writeBlock_;
    std::string reason_;
    std::unique_ptr<Channel> channels_[kMaxChannel + 1];
};

}  // namespace trelvo
