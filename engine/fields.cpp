#include "engine/fields.h"

#include <stdexcept>

namespace trelvo {

namespace {

std::string_view trimSpaces(std::string_view s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return s.substr(s.size());
    const auto last = s.find_last_not_of(' ');
    return s.substr(first, last - first + 1);
}

std::string_view trimLeadingSpaces(std::string_view s) {
    const auto first = s.find_first_not_of(' ');
    return first == std::string_view::npos ? s.substr(s.size()) : s.substr(first);
}

}  // namespace

void Str2Ary_All(std::string_view xstr, std::string_view dlm, int16_t ary_lb, Fields& out) {
    if (ary_lb > Fields::kMaxIndex) throw std::invalid_argument("Str2Ary_All: first index above 10000");
    if (dlm.empty()) throw std::invalid_argument("Str2Ary_All: empty delimiter");

    // Work on our own copy: the caller's text may live in a buffer that is reused.
    out.lb_ = ary_lb;
    out.text_.assign(xstr);
    out.fields_.clear();

    const std::size_t capacity = static_cast<std::size_t>(Fields::kMaxIndex - ary_lb + 1);
    if (dlm == " ") {
        // The one delimiter in use: the fields are the runs of non-spaces, or one empty field.
        const char* p = out.text_.data();
        const char* const end = p + out.text_.size();
        while (p < end && *p == ' ')
            ++p;
        if (p == end) {
            out.fields_.emplace_back(end, 0);
            return;
        }
        while (p < end && out.fields_.size() < capacity) {
            const char* const start = p;
            while (p < end && *p != ' ')
                ++p;
            out.fields_.emplace_back(start, static_cast<std::size_t>(p - start));
            while (p < end && *p == ' ')
                ++p;
        }
        return;
    }
    std::string_view rest = trimLeadingSpaces(out.text_);
    while (out.fields_.size() < capacity) {
        const auto p = rest.find(dlm);
        if (p == std::string_view::npos) {
            out.fields_.push_back(trimSpaces(rest));
            break;
        }
        out.fields_.push_back(trimSpaces(rest.substr(0, p)));
        rest = trimLeadingSpaces(rest.substr(p + dlm.size()));
        if (rest.empty()) break;
    }
}

int SplitAtSpaces(std::string_view xstr, std::string_view* out, int max) {
    const char* p = xstr.data();
    const char* const end = p + xstr.size();
    while (p < end && *p == ' ')
        ++p;
    if (p == end) {
        if (max > 0)
            out[0] = std::string_view(end, 0);
        return 1;
    }
    int n = 0;
    while (p < end) {
        if (n == max)
            return max + 1;
        const char* const start = p;
        while (p < end && *p != ' ')
            ++p;
        out[n++] = std::string_view(start, static_cast<std::size_t>(p - start));
        while (p < end && *p == ' ')
            ++p;
    }
    return n;
}

Fields Str2Ary_All(std::string_view xstr, std::string_view dlm, int16_t ary_lb) {
    Fields f;
    Str2Ary_All(xstr, dlm, ary_lb, f);
    return f;
}

}  // namespace trelvo
