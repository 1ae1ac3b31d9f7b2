// The order of a decal's lines after its header, as its header counts them: a TIMESTAMP line,
// the attribute lines, each label as a label line and a name line, the pieces (a header line and
// as many corner lines as its field 2 says), each text as a text line and its text, then the
// terminal lines. Labels and texts are only ever found through this order, so a decal whose lines
// do not follow its own counts is told apart instead of guessed at.
//
//   label line   x y rotation mirror height width layer justification flags "font"
//   text line    x y rotation layer height width mirror justification flags [more] "font"
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace trelvo {

// Fields of a label line and of a text line, numbered from 1.
inline constexpr int kLabelHeightField = 5, kLabelWidthField = 6, kLabelLayerField = 7;
inline constexpr int kTextLayerField = 4, kTextHeightField = 5, kTextWidthField = 6;

// A label line (label) or text line with its layer, height and width fields replaced by the texts
// given (an empty one: the field is kept). Every other byte of the line stays as it is.
std::string withItemFields(std::string_view line, bool label, std::string_view layer,
                           std::string_view height, std::string_view width);

struct DecalCounts {
    long attributes = 0, labels = 0, pieces = 0, texts = 0, terminals = 0;
};

class DecalLayout {
public:
    enum class Line {
        Timestamp, Attribute, Label, LabelName, Piece, Corner, Text, TextString, Terminal,
        Rest,    // past the terminals: pad stacks and whatever follows
        Broken,  // this line does not follow the counts; why() says how
    };

    // f: fields 1 to 11 of the decal header line (f[1] is field 1).
    explicit DecalLayout(const std::string_view* f);

    // The kind of the next line of the decal. Once Broken or Rest, every further line is too.
    Line next(std::string_view line);

    // The corner lines of the current piece still to come: a reader may pass over that many
    // lines and tell skipCorners, as they are not looked at.
    long cornersLeft() const { return phase_ == Phase::Pieces ? corners_ : 0; }
    // What a corner line begins with; a run of them passed over stops at any other line (an
    // empty line, a decal header), which is then looked at as a line of its own.
    static constexpr std::string_view kCornerInitials = "0123456789-+. ";
    void skipCorners(long count);

    // The terminal lines the header still counts: a reader may pass over up to that many lines
    // that begin with T (but not TI, as a TIMESTAMP line does) and tell skipTerminals.
    long terminalsLeft() const {
        return phase_ == Phase::Terminals && terminalsSeen_ < counts_.terminals
                   ? counts_.terminals - terminalsSeen_
                   : 0;
    }
    static constexpr std::string_view kTerminalInitials = "T";
    void skipTerminals(long count) { terminalsSeen_ += count; }

    // Past the last text: the labels, pieces and texts have all been seen.
    bool pastTexts() const { return phase_ >= Phase::Terminals; }
    bool broken() const { return phase_ == Phase::Broken; }
    const std::string& why() const { return why_; }
    const DecalCounts& counts() const { return counts_; }

private:
    enum class Phase { Start, Attributes, Labels, Pieces, Texts, Terminals, Rest, Broken };
    Line fail(std::string why);
    // Moves on to the first phase from `from` on that still has lines to come.
    void advance(Phase from);

    DecalCounts counts_;
    Phase phase_ = Phase::Start;
    long left_ = 0;         // items of this phase still to come
    long corners_ = 0;      // corner lines of the current piece still to come
    bool second_ = false;   // the next line is a label's name or a text's text
    long terminalsSeen_ = 0;
    std::string why_;
};

}  // namespace trelvo
