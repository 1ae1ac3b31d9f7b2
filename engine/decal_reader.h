// The one reader of the exported decal library text format: every pass (the update, the survey,
// the checker, the drawn page) walks a library through it and is told each line's place.
//
//   signature line     the first line; its first 24 characters are "*PADS-LIBRARY-PCB-DECALS"
//                      (a UTF-8 byte order mark before it makes the file no library)
//   empty line         zero characters (a line of spaces is not empty)
//   decal header line  a line of exactly 11 fields: name, unit letter ("M" mm, "I" mils), origin
//                      x and y, and the counts of attributes, labels, pieces, texts, terminals
//                      and pad stacks, then the most layers. It is the first line after an empty
//                      line, the line a TIMESTAMP line follows, or the line where the decal
//                      before it ends by its counts. Any other unit letter makes the file invalid.
//   the decal's lines  as its header counts them: a TIMESTAMP line, the attribute lines, each
//                      label as a label line and its name, the pieces (a header line and as many
//                      corner lines as its field 2 says), each text as a text line and its text,
//                      the terminal lines ("T..."), the pad stacks ("PAD pin layers ...", then
//                      one line per layer).
//   piece header line  a line whose first four characters are "OPEN", "CLOS" or "CIRC"; a rule
//                      may rewrite it when it has exactly 5 fields: keyword, corners, width,
//                      layer, line style ("-1" solid)
//   label line         x y rotation mirror height width layer justification flags "font"
//   text line          x y rotation layer height width mirror justification flags [more] "font"
//
// Fields are the result of Str2Ary_All with a single space as delimiter, numbered from 1.
// Comparisons are exact and case-sensitive. Where a decal's lines do not follow its counts the
// reader says so and never guesses: labels and texts are only ever found through the counts, and
// the next decal header only after an empty line or before a TIMESTAMP line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "files/line_io.h"

namespace trelvo {

enum class Unit { Mils, Millimetres };

inline constexpr std::string_view kSignature = "*PADS-LIBRARY-PCB-DECALS";
inline constexpr int kDecalHeaderFields = 11;
inline constexpr int kPieceFields = 5;

// Fields of a label line and of a text line, numbered from 1.
inline constexpr int kLabelHeightField = 5, kLabelWidthField = 6, kLabelLayerField = 7;
inline constexpr int kTextLayerField = 4, kTextHeightField = 5, kTextWidthField = 6;

bool isPieceHeaderLine(std::string_view line);

inline std::string_view unitLetter(Unit unit) {
    return unit == Unit::Millimetres ? "M" : "I";
}

// A rewritten piece header line: the five fields joined by exactly two spaces. The spacing of the
// line as read is not kept.
void rebuildPieceLine(std::string_view keyword, std::string_view field2, std::string_view width,
                      std::string_view layer, std::string_view field5, std::string& out);

// A label line (label) or text line with its layer, height and width fields replaced by the texts
// given (an empty one: the field is kept). Every other byte of the line stays as it is.
std::string withItemFields(std::string_view line, bool label, std::string_view layer,
                           std::string_view height, std::string_view width);

// Where a line stands in the library.
enum class Place {
    Signature, Empty, Header,
    Timestamp, Attribute, Label, LabelName,
    Piece,       // an outline piece's header line (OPEN, CLOSED, CIRCLE)
    OtherPiece,  // the header line of a piece of another kind (copper, keepout, tag)
    Corner, Text, TextString, Terminal, PadStack, PadLayer,
    Rest,    // outside any decal's counted lines: before the first decal, past its pad stacks,
             // or from the line where its lines stop following its counts
};
// A piece header line where any line may stand (an attribute, or outside the counted lines) is
// a Piece all the same, as it is when read alone; the name of a label or the text of a text
// never is.

struct DecalCounts {
    long attributes = 0, labels = 0, pieces = 0, texts = 0, terminals = 0, stacks = 0;
};

// A decal's lines followed through its header's counts.
class DecalLayout {
public:
    DecalLayout() = default;
    // f: fields 1 to 11 of the decal header line (f[1] is field 1).
    explicit DecalLayout(const std::string_view* f);

    // The place of the next line of the decal: Rest past its last counted line, and from the
    // line on where its lines stop following its counts (broken() then says so).
    Place next(std::string_view line);
    // The decal's lines end here (another decal's header, or the end of the library): broken
    // unless its counts were met.
    void end();

    // Counted lines still to come that need not be looked at one by one (a piece's corners,
    // the terminals, a pad stack's layer lines): a reader may pass over up to that many lines
    // that begin with one of runInitials() and tell skip().
    long runLeft() const;
    const Initials& runInitials() const;
    bool runOfTerminals() const { return phase_ == Phase::Terminals; }
    void skip(long count);

    // The labels, pieces and texts have all been seen where the counts put them (whatever
    // follows them).
    bool pastTexts() const { return pastTexts_; }
    // Past the last pad stack: the next line is the next decal's header, an empty line or Rest.
    bool complete() const { return phase_ == Phase::Done; }
    bool broken() const { return phase_ == Phase::Broken; }
    // Broken by its end coming before its counts were met, not by a line.
    bool cutShort() const { return fault_ == Fault::EndsEarly; }
    // How it broke, as a structure finding tells it.
    std::string why() const;
    const DecalCounts& counts() const { return counts_; }

private:
    enum class Phase { Start, Attributes, Labels, Pieces, Texts, Terminals, Stacks, Done, Broken };
    // Kept as numbers and told in words only when asked: a library may hold many such decals.
    enum class Fault {
        None, Counts, Label, Corners, Piece, Text, Terminals, MoreItems, Stack, Layers, EndsEarly
    };
    Place fail(Fault fault, long counted = 0, long at = 0);
    // Moves on to the first phase from `from` on that still has lines to come.
    void advance(Phase from);
    Place stackLine(std::string_view line);

    DecalCounts counts_;
    Phase phase_ = Phase::Done;
    long left_ = 0;        // items of this phase still to come
    long inner_ = 0;       // corner lines of the current piece, or layer lines of the pad stack
    bool second_ = false;  // the next line is a label's name or a text's text
    long terminalsSeen_ = 0;
    bool pastTexts_ = false;
    Fault fault_ = Fault::None;
    long faultCounted_ = 0, faultAt_ = 0;
};

// The decal whose lines are being read.
struct Decal {
    std::string name;         // field 1 of its header
    Unit unit = Unit::Mils;   // mils before the first decal
    std::uint64_t header = 0; // the line of its header; 0 before the first decal
};

// Walks a library's lines once, from its signature line to its end, handing out the lines its
// caller looks at with their places and copying the others on in bulk, byte for byte, to the
// caller's output (or passing over them).
class DecalReader {
public:
    // Which lines the caller looks at. Piece header lines and the lines that make a decal's
    // header known (the header, or the TIMESTAMP line after it) are always handed out.
    enum class Sight {
        Pieces,  // no more
        Items,   // labels and texts with their second lines too
        Lines,   // every line but the runs of counted lines (corners, terminals, layer lines)
        All,     // every line
    };
    enum class Step { Line, End, Failed, FormatError };

    // Where the lines not handed out go: out, or (runs of counted lines) take when it is set,
    // as whole lines with their CR LF. keep may let piece header lines go too, as they are.
    struct Sink {
        LineWriter* out = nullptr;
        LineReader::TakeBytes take = nullptr;
        void* context = nullptr;
        LineReader::KeepLine keep = {nullptr, nullptr};
    };

    explicit DecalReader(ByteSource& source, std::size_t block = kDefaultReadBlock);

    // The signature line, handed out as the first line. FormatError when the file is no library,
    // Failed when it is empty or cannot be read; detail() says why.
    Step start(std::string_view& line);
    // The next line the caller looks at, after copying the lines before it to sink. Failed:
    // reading or writing failed (readFailed() tells which); FormatError: a decal header's unit
    // letter is neither M nor I (detail() and errorLine() say where).
    Step next(Sight sight, const Sink& sink, std::string_view& line);

    Place place() const { return place_; }
    std::uint64_t lineNumber() const { return lineNumber_; }
    // The step entered a decal: its header is this line, or the line before (a header found by
    // the TIMESTAMP line after it). The decal left is ended() first.
    bool entered() const { return entered_; }
    const Decal& decal() const { return decal_; }
    std::uint64_t decals() const { return decals_; }
    // The current decal's lines followed through its counts.
    const DecalLayout& layout() const { return layout_; }
    // On a step that entered a decal, and at the end: how the decal before it ended.
    const DecalLayout& ended() const { return ended_; }
    bool inDecal() const { return decal_.header != 0; }

    // The line handed out is where the current decal's lines stopped following its counts.
    bool broke() const { return broke_; }

    const std::string& detail() const { return detail_; }
    std::uint64_t errorLine() const { return errorLine_; }
    bool readFailed() const { return reader_.failed(); }
    // Unchanged lines go to out from the block read, uncopied (see LineReader::writeInPlace).
    void writeInPlace(LineWriter& out) { reader_.writeInPlace(out); }
    std::string readFailure() const { return reader_.failure(); }

private:
    Step fail(Step step, std::string why);
    enum class Passed { Stopped, Piece, Failed };
    Passed passCounted(Sight sight, const Sink& sink, std::string_view& line);
    bool enter(const std::string_view* f, std::uint64_t at);
    bool handOut(Sight sight, const Sink& sink, std::string_view line);

    LineReader reader_;
    Place place_ = Place::Rest;
    std::uint64_t lineNumber_ = 0;
    bool afterBlank_ = false;
    bool entered_ = false;
    bool broke_ = false;
    bool pastDecal_ = false;  // the line after the decal's last counted line has been read
    std::uint64_t errorLine_ = 0;
    Decal decal_;
    std::uint64_t decals_ = 0;
    DecalLayout layout_, ended_;
    // Fields 1 to 11 of a header line (fields_[1] is field 1); made once, not for every line.
    std::string_view fields_[kDecalHeaderFields + 1];
    std::string detail_;
};

}  // namespace trelvo
