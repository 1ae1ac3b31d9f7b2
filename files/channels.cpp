#include "files/channels.h"

#include <vector>

#include "files/file_streams.h"

namespace trelvo {

// The line streams are made when the channel's own reads and writes first need them: the engine
// gets the files themselves, with line streams of its own. Declared after the files, they go
// before them.
struct FileChannels::Channel {
    std::unique_ptr<InputFile> in;
    std::unique_ptr<OutputFile> out;
    std::size_t block = 0;
    bool discard = false;
    std::unique_ptr<LineReader> reader_{};
    std::unique_ptr<LineWriter> writer_{};

    bool isInput() const { return in != nullptr; }
    bool isOutput() const { return out != nullptr || discard; }
    LineReader& reader() {
        if (!reader_)
            reader_ = std::make_unique<LineReader>(*in, block);
        return *reader_;
    }
    // None for a discarding channel.
    LineWriter* writer() {
        if (!writer_ && out)
            writer_ = std::make_unique<LineWriter>(*out, block);
        return writer_.get();
    }
};

FileChannels::FileChannels(std::size_t readBlock, std::size_t writeBlock)
    : readBlock_(readBlock), writeBlock_(writeBlock) {}

FileChannels::~FileChannels() = default;

FileChannels::Channel* FileChannels::get(int16_t channel) const {
    if (channel < 1 || channel > kMaxChannel)
        return nullptr;
    return channels_[channel].get();
}

int16_t FileChannels::FreeFile() const {
    for (int16_t c = 1; c <= kMaxChannel; ++c) {
        if (!channels_[c])
            return c;
    }
    return 0;
}

bool FileChannels::OpenInput(int16_t channel, const std::string& path) {
    if (channel < 1 || channel > kMaxChannel || channels_[channel])
        return false;
    std::unique_ptr<InputFile> in = InputFile::open(path, reason_);
    if (!in)
        return false;
    channels_[channel].reset(new Channel{std::move(in), nullptr, readBlock_});
    return true;
}

bool FileChannels::openOutput(int16_t channel, const std::string& path, bool staged) {
    if (channel < 1 || channel > kMaxChannel || channels_[channel])
        return false;
    std::vector<native::FileId> reading;
    for (const auto& other : channels_) {
        if (other && other->in)
            reading.push_back(other->in->id());
    }
    std::unique_ptr<OutputFile> out = OutputFile::open(
        path, staged ? OutputFile::Mode::Staged : OutputFile::Mode::Direct, reading, reason_);
    if (!out)
        return false;
    channels_[channel].reset(new Channel{nullptr, std::move(out), writeBlock_});
    return true;
}

bool FileChannels::OpenDiscard(int16_t channel) {
    if (channel < 1 || channel > kMaxChannel || channels_[channel])
        return false;
    channels_[channel].reset(new Channel{nullptr, nullptr, 0, true});
    return true;
}

bool FileChannels::noteFailure(const Channel& ch) {
    if (ch.reader_ && ch.reader_->failed())
        reason_ = ch.reader_->failure();
    else if (ch.writer_ && ch.writer_->failed())
        reason_ = ch.writer_->failure();
    return false;
}

bool FileChannels::ReadLine(int16_t channel, std::string_view& line) {
    Channel* ch = get(channel);
    if (!ch || !ch->isInput())
        return false;
    return ch->reader().readLine(line) || noteFailure(*ch);
}

bool FileChannels::AtEnd(int16_t channel) {
    Channel* ch = get(channel);
    return !ch || !ch->isInput() || ch->reader().atEnd();
}

bool FileChannels::WriteLine(int16_t channel, std::string_view line) {
    Channel* ch = get(channel);
    if (!ch || !ch->isOutput())
        return false;
    return !ch->writer() || ch->writer()->writeLine(line) || noteFailure(*ch);
}

bool FileChannels::CopyPlainLines(int16_t in, int16_t out, const LineStops& stop,
                                  std::uint64_t& copied) {
    Channel* src = get(in);
    Channel* dst = get(out);
    if (!src || !src->isInput() || !dst || !dst->isOutput())
        return false;
    return src->reader().copyPlainLines(dst->writer(), stop, copied) || noteFailure(*dst);
}

FileChannels::Next FileChannels::CopyToNextLine(int16_t in, int16_t out,
                                                const LineStops* stop,
                                                std::string_view& line,
                                                std::uint64_t& lineNumber, KeepLine keep) {
    Channel* src = get(in);
    Channel* dst = get(out);
    if (!src || !src->isInput() || !dst || !dst->isOutput())
        return Next::Failed;
    const Next next = src->reader().copyToNextLine(dst->writer(), stop, line, lineNumber, keep);
    if (next == Next::Failed) {
        noteFailure(*src);
        noteFailure(*dst);
    }
    return next;
}

ByteSource* FileChannels::Source(int16_t channel) const {
    const Channel* ch = get(channel);
    return ch ? ch->in.get() : nullptr;
}

ByteSink* FileChannels::Sink(int16_t channel) const {
    const Channel* ch = get(channel);
    return ch ? ch->out.get() : nullptr;
}

bool FileChannels::finish(int16_t channel, bool commit) {
    Channel* ch = get(channel);
    if (!ch)
        return true;
    // A staged output that is not committed is given up: nothing of it may reach its target.
    // Any other output is written out and closed as it is.
    bool ok = true;
    if (ch->out && (commit || !ch->out->isStaged())) {
        if (ch->writer_ && !ch->writer_->flush()) {
            noteFailure(*ch);
            ok = false;
        }
        // A commit whose last bytes failed puts nothing in place; a close closes all the same.
        if ((ok || !commit) && !ch->out->commit(reason_))
            ok = false;
    }
    channels_[channel].reset();  // a staged file not put in place goes with it
    return ok;
}

}  // namespace trelvo
