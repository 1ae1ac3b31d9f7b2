#include "files/line_ends.h"

#include <cstring>

namespace trelvo {

void LineEndQueue::push(End e) {
    if (!runs.empty() && runs.back().first == e)
        ++runs.back().second;
    else
        runs.emplace_back(e, 1);
}

std::int64_t LineEndTap::read(char* data, std::size_t size) {
    const std::int64_t n = inner_.read(data, size);
    using End = LineEndQueue::End;
    if (n == 0 && size > 0 && !ended_) {
        ended_ = true;
        if (pendingCr_)
            queue_.push(End::Cr);
        else if (open_)
            queue_.push(End::None);
        pendingCr_ = open_ = false;
    }
    for (std::int64_t i = 0; i < n; ++i) {
        const char c = data[i];
        if (pendingCr_) {
            pendingCr_ = false;
            if (c == '\n') {
                queue_.push(End::CrLf);
                continue;
            }
            queue_.push(End::Cr);
        }
        if (c == '\r') {
            pendingCr_ = true;
            open_ = false;
        } else if (c == '\n') {
            queue_.push(End::Lf);
            open_ = false;
        } else {
            open_ = true;
        }
    }
    return n;
}

bool LineEndSink::write(const char* data, std::size_t size) {
    held_.append(data, size);
    return resolve(false);
}

bool LineEndSink::writeSpans(const ByteSpan* spans, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        held_.append(spans[i].data, spans[i].size);
    return resolve(false);
}

bool LineEndSink::finish() {
    return resolve(true) && inner_.finish();
}

bool LineEndSink::resolve(bool atEnd) {
    out_.clear();
    std::size_t from = 0;
    for (;;) {
        const auto cr = held_.find('\r', from);
        if (cr == std::string::npos || cr + 1 == held_.size()) {
            // No end, or a CR whose LF is still to come: kept unless this is the end.
            const std::size_t keep = cr == std::string::npos || atEnd ? held_.size() : cr;
            out_.append(held_, from, keep - from);
            from = keep;
            break;
        }
        out_.append(held_, from, cr - from);
        from = cr + 1;
        if (held_[cr + 1] != '\n') {
            out_ += '\r';
            continue;
        }
        ++from;
        auto& runs = queue_.runs;
        if (runs.empty()) {
            if (!atEnd) {
                from = cr;
                break;
            }
            out_ += "\r\n";  // more lines written than read: cannot be, kept as written
            continue;
        }
        static constexpr const char* kEnds[] = {"\r\n", "\r", "\n", ""};
        out_ += kEnds[static_cast<int>(runs.front().first)];
        if (--runs.front().second == 0)
            runs.pop_front();
    }
    held_.erase(0, from);
    return out_.empty() || inner_.write(out_.data(), out_.size());
}

}  // namespace trelvo
