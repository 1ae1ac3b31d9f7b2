#include "engine/decal_layout.h"

#include <algorithm>
#include <iterator>

#include "engine/decal_format.h"
#include "engine/fields.h"

namespace trelvo {

namespace {

bool readCount(std::string_view text, long& out) {
    if (text.empty() || text.size() > 9)
        return false;
    long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    out = v;
    return true;
}

// A number as the export writes coordinates and sizes: an optional sign, digits, an optional
// point and fraction. Checked without making a Decimal: this runs for every line of a decal.
bool isNumber(std::string_view t) {
    std::size_t i = !t.empty() && (t[0] == '-' || t[0] == '+') ? 1 : 0;
    std::size_t digits = 0;
    bool point = false;
    for (; i < t.size(); ++i) {
        if (t[i] >= '0' && t[i] <= '9')
            ++digits;
        else if (t[i] == '.' && !point)
            point = true;
        else
            return false;
    }
    return digits > 0;
}

// numbers numeric fields, then a field that opens the quoted font name.
bool numbersThenFont(std::string_view line, int numbers) {
    std::string_view f[12];
    const int n = SplitAtSpaces(line, f, numbers + 1);
    if (n <= numbers)
        return false;
    for (int i = 0; i < numbers; ++i) {
        if (!isNumber(f[i]))
            return false;
    }
    return f[numbers].starts_with('"');
}

bool isLabelLine(std::string_view line) {
    return numbersThenFont(line, 9);
}

bool isTextLine(std::string_view line) {
    return numbersThenFont(line, 9) || numbersThenFont(line, 10);
}

bool isTerminalLine(std::string_view line) {
    return line.starts_with('T') && !line.starts_with("TIMESTAMP");
}

std::string plural(long n, const char* what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

}  // namespace

std::string withItemFields(std::string_view line, bool label, std::string_view layer,
                           std::string_view height, std::string_view width) {
    std::string_view f[kLabelLayerField + 2];
    if (SplitAtSpaces(line, f + 1, kLabelLayerField) < kLabelLayerField)
        return std::string(line);  // no label or text line: nothing to replace
    struct Edit {
        int field;
        std::string_view text;
    } edits[3] = {{label ? kLabelLayerField : kTextLayerField, layer},
                  {label ? kLabelHeightField : kTextHeightField, height},
                  {label ? kLabelWidthField : kTextWidthField, width}};
    std::sort(std::begin(edits), std::end(edits),
              [](const Edit& a, const Edit& b) { return a.field < b.field; });
    std::string out;
    std::size_t at = 0;
    for (const Edit& e : edits) {
        if (e.text.empty())
            continue;
        const auto from = static_cast<std::size_t>(f[e.field].data() - line.data());
        out.append(line.substr(at, from - at));
        out.append(e.text);
        at = from + f[e.field].size();
    }
    out.append(line.substr(at));
    return out;
}

DecalLayout::DecalLayout(const std::string_view* f) {
    if (!readCount(f[5], counts_.attributes) || !readCount(f[6], counts_.labels) ||
        !readCount(f[7], counts_.pieces) || !readCount(f[8], counts_.texts) ||
        !readCount(f[9], counts_.terminals)) {
        phase_ = Phase::Broken;
        why_ = "its header's counts are not all whole numbers";
    }
}

DecalLayout::Line DecalLayout::fail(std::string why) {
    phase_ = Phase::Broken;
    why_ = std::move(why);
    return Line::Broken;
}

void DecalLayout::advance(Phase from) {
    const long* count[] = {&counts_.attributes, &counts_.labels, &counts_.pieces, &counts_.texts};
    for (Phase p = from; p <= Phase::Texts; p = static_cast<Phase>(static_cast<int>(p) + 1)) {
        const long n = *count[static_cast<int>(p) - static_cast<int>(Phase::Attributes)];
        if (n > 0) {
            phase_ = p;
            left_ = n;
            return;
        }
    }
    phase_ = Phase::Terminals;
}

void DecalLayout::skipCorners(long count) {
    corners_ -= count;
    if (corners_ == 0 && --left_ == 0)
        advance(Phase::Texts);
}

DecalLayout::Line DecalLayout::next(std::string_view line) {
    if (phase_ == Phase::Start) {
        advance(Phase::Attributes);
        if (line.starts_with("TIMESTAMP"))
            return Line::Timestamp;
    }
    switch (phase_) {
        case Phase::Attributes:
            if (--left_ == 0)
                advance(Phase::Labels);
            return Line::Attribute;
        case Phase::Labels:
            if (second_) {
                second_ = false;
                if (--left_ == 0)
                    advance(Phase::Pieces);
                return Line::LabelName;
            }
            if (!isLabelLine(line))
                return fail("the header counts " + plural(counts_.labels, "label") + ", but label " +
                            std::to_string(counts_.labels - left_ + 1) + " is no label line");
            second_ = true;
            return Line::Label;
        case Phase::Pieces: {
            if (corners_ > 0) {
                const std::size_t from = line.find_first_not_of(' ');
                const std::string_view first =
                    from == std::string_view::npos ? std::string_view()
                                                   : line.substr(from, line.find(' ', from) - from);
                if (!isNumber(first))
                    return fail("a piece has fewer corner lines than its header counts");
                if (--corners_ == 0 && --left_ == 0)
                    advance(Phase::Texts);
                return Line::Corner;
            }
            std::string_view f[3];
            long corners = 0;
            if (SplitAtSpaces(line, f, 2) < 2 || f[0].empty() || !(f[0][0] >= 'A' && f[0][0] <= 'Z') ||
                !readCount(f[1], corners))
                return fail("the header counts " + plural(counts_.pieces, "piece") + ", but piece " +
                            std::to_string(counts_.pieces - left_ + 1) + " is no piece header line");
            corners_ = corners;
            if (corners_ == 0 && --left_ == 0)
                advance(Phase::Texts);
            return Line::Piece;
        }
        case Phase::Texts:
            if (second_) {
                second_ = false;
                if (--left_ == 0)
                    advance(Phase::Terminals);
                return Line::TextString;
            }
            if (!isTextLine(line))
                return fail("the header counts " + plural(counts_.texts, "text") + ", but text " +
                            std::to_string(counts_.texts - left_ + 1) + " is no text line");
            second_ = true;
            return Line::Text;
        case Phase::Terminals:
            if (isTerminalLine(line)) {
                ++terminalsSeen_;
                return Line::Terminal;
            }
            if (terminalsSeen_ != counts_.terminals)
                return fail("the header counts " + plural(counts_.terminals, "terminal") + ", " +
                            std::to_string(terminalsSeen_) + " follow");
            // What follows the texts must not look like one more label, piece or text.
            if (terminalsSeen_ == 0 && (isPieceHeaderLine(line) || isTextLine(line)))
                return fail("more pieces or texts follow than its header counts");
            phase_ = Phase::Rest;
            return Line::Rest;
        case Phase::Rest:
            return Line::Rest;
        default:
            return Line::Broken;
    }
}

}  // namespace trelvo
