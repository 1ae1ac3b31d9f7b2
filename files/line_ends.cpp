#include "files/line_ends.h"

#include <utility>

#include "files/line_scan.h"

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
    const char* p = data;
    const char* const end = data + (n > 0 ? n : 0);
    while (p < end) {
        if (std::exchange(pendingCr_, false)) {
            queue_.push(*p == '\n' ? End::CrLf : End::Cr);
            if (*p == '\n')
                ++p;
            continue;
        }
        const char* e = findLineEnd(p, end);  // a line's bytes are passed over in one step
        open_ = open_ || e != p;
        if (e == end)
            break;
        open_ = false;
        if (*e == '\r')
            pendingCr_ = true;
        else
            queue_.push(End::Lf);
        p = e + 1;
    }
    return n;
}

bool LineEndSink::write(const char* data, std::size_t size) {
    if (held_.empty())
        return resolve({data, size}, false);
    std::string bytes = std::exchange(held_, {});
    bytes.append(data, size);
    return resolve(bytes, false);
}

bool LineEndSink::writeSpans(const ByteSpan* spans, std::size_t count) {
    joined_.clear();
    for (std::size_t i = 0; i < count; ++i)
        joined_.append(spans[i].data, spans[i].size);
    return write(joined_.data(), joined_.size());
}

bool LineEndSink::finish() {
    const std::string bytes = std::exchange(held_, {});
    return resolve(bytes, true) && inner_.finish();
}

bool LineEndSink::resolve(std::string_view bytes, bool atEnd) {
    using End = LineEndQueue::End;
    static constexpr std::string_view kEnds[] = {"\r\n", "\r", "\n", ""};
    bool copying = false;   // an end differs: what is written is gathered in out_
    std::size_t from = 0;   // bytes[from, at) are not in out_ yet
    std::size_t at = 0;     // what is resolved
    auto& runs = queue_.runs;
    out_.clear();
    for (;;) {
        const auto cr = bytes.find('\r', at);
        if (cr == std::string_view::npos || cr + 1 == bytes.size()) {
            // No end, or a CR whose LF is still to come: kept unless this is the end.
            at = cr == std::string_view::npos || atEnd ? bytes.size() : cr;
            break;
        }
        if (bytes[cr + 1] != '\n') {
            at = cr + 1;
            continue;
        }
        if (runs.empty() && !atEnd) {
            at = cr;  // the end of this line has not been read yet
            break;
        }
        at = cr + 2;
        if (runs.empty())
            continue;  // more lines written than read: cannot be, kept as written
        const End end = runs.front().first;
        if (--runs.front().second == 0)
            runs.pop_front();
        if (end == End::CrLf)
            continue;
        copying = true;
        out_.append(bytes.substr(from, cr - from));
        out_.append(kEnds[static_cast<int>(end)]);
        from = at;
    }
    bool ok = true;
    if (copying) {
        out_.append(bytes.substr(from, at - from));
        ok = inner_.write(out_.data(), out_.size());
    } else if (at > 0) {
        ok = inner_.write(bytes.data(), at);  // every end as written: passed on uncopied
    }
    held_.assign(bytes.substr(at));
    return ok;
}

}  // namespace trelvo
