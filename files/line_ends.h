// Each line's own line end, kept through a pass that ends every line it writes with CR LF: the
// ends are noted as the input is read (LineEndTap) and each CR LF written is given back the end
// of the line in the same place (LineEndSink). The pass writes one line for each line it reads,
// and no line it writes holds a CR or LF of its own.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "files/line_io.h"

namespace trelvo {

// The ends noted and not yet given back, as runs of one kind.
struct LineEndQueue {
    enum class End : char { CrLf, Cr, Lf, None };  // None: a last line without one
    std::deque<std::pair<End, std::uint64_t>> runs;
    void push(End e);
};

class LineEndTap final : public ByteSource {
public:
    LineEndTap(ByteSource& inner, LineEndQueue& queue) : inner_(inner), queue_(queue) {}
    std::int64_t read(char* data, std::size_t size) override;
    std::string failure() const override { return inner_.failure(); }

private:
    ByteSource& inner_;
    LineEndQueue& queue_;
    bool pendingCr_ = false;  // the bytes read so far end in CR: CR or CR LF, by the next byte
    bool open_ = false;       // bytes of a line whose end has not been read
    bool ended_ = false;
};

class LineEndSink final : public ByteSink {
public:
    LineEndSink(ByteSink& inner, LineEndQueue& queue) : inner_(inner), queue_(queue) {}
    bool write(const char* data, std::size_t size) override;
    bool writeSpans(const ByteSpan* spans, std::size_t count) override;
    bool finish() override;
    std::string failure() const override { return inner_.failure(); }

private:
    // Writes what can be given its ends; keeps the rest from the first CR LF whose line's end
    // has not been read yet (a CR at the end of a block read). At the end every CR LF is known.
    bool resolve(std::string_view bytes, bool atEnd);

    ByteSink& inner_;
    LineEndQueue& queue_;
    std::string held_, out_, joined_;
};

}  // namespace trelvo
