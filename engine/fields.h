// The field splitter: cuts one line into fields at a delimiter, dropping the spaces around each
// field. Every rule of the decal format that speaks of "fields" means the result of this split.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trelvo {

// An indexed sequence of fields whose first index the caller chose. The fields are held as views
// into the split text, which the sequence owns, so one sequence can be refilled line after line
// without allocating once its buffers have grown.
class Fields {
public:
    static constexpr int kMaxIndex = 10000;  // the highest index a split can fill

    int16_t lbound() const { return lb_; }
    int16_t ubound() const { return static_cast<int16_t>(lb_ + static_cast<int>(fields_.size()) - 1); }
    std::size_t count() const { return fields_.size(); }
    // Field at index i, lbound() <= i <= ubound().
    std::string_view operator[](int i) const { return fields_[static_cast<std::size_t>(i - lb_)]; }

private:
    friend void Str2Ary_All(std::string_view, std::string_view, int16_t, Fields&);
    int16_t lb_ = 1;
    std::string text_;
    std::vector<std::string_view> fields_;
};

// Splits xstr at dlm into fields numbered from ary_lb. Spaces (U+0020 only) around each field are
// removed, so with dlm " " runs of spaces separate fields and an empty or all-space text gives one
// empty field. At most kMaxIndex - ary_lb + 1 fields are made; text beyond the last is dropped.
// A longer delimiter is searched as a whole and the text resumes after the whole of it.
// Throws std::invalid_argument for an empty delimiter or ary_lb above kMaxIndex.
void Str2Ary_All(std::string_view xstr, std::string_view dlm, int16_t ary_lb, Fields& out);
Fields Str2Ary_All(std::string_view xstr, std::string_view dlm, int16_t ary_lb);

// text without the spaces (U+0020 only) before and after it: what every field, width entry and
// chosen path is read as.
std::string_view trimSpaces(std::string_view text);

// Equal texts, compared in line: the fields compared are a few bytes long, shorter than the call
// to memcmp that == makes.
inline bool sameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i])
            return false;
    }
    return true;
}

// The first fields of Str2Ary_All(xstr, " ", 1), without copying: up to max views into xstr are
// stored in out. Returns how many fields there are, but at most max + 1 (more than max).
int SplitAtSpaces(std::string_view xstr, std::string_view* out, int max);

}  // namespace trelvo
