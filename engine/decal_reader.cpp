#include "engine/decal_reader.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "engine/fields.h"
#include "files/line_scan.h"

namespace trelvo {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Lines outside a decal's counted lines that are looked at one by one: piece header lines and
// TIMESTAMP lines (two characters each, so that a bulk copy passes over terminal lines and
// other lines beginning with O or C). Empty lines always stop a run.
constexpr LineStops kRestStops = LineStops::prefixes({"OP", "CL", "CI", "TI"});
constexpr LineStops kTimestampStop = LineStops::prefixes({"TI"});
constexpr Initials kNumberInitials("0123456789-+. "), kTerminalInitials("T");
// Attributes begin with their quoted name; any other line in their place is looked at alone.
constexpr Initials kAttributeInitials("\"");

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

// A corner or pad-stack layer line as a counted run tells one: by its first character only, so
// that a line read alone is placed as it is when read in a run.
bool isCountedNumberLine(std::string_view line) {
    return !line.empty() && kNumberInitials.has(line.front());
}

// Past the spaces at p.
const char* pastSpaces(const char* p, const char* e) {
    while (p < e && *p == ' ')
        ++p;
    return p;
}

// Past the number field at p, or nullptr when the field is none. A number as the export writes
// coordinates and sizes: an optional sign, digits, an optional point and fraction.
const char* pastNumber(const char* p, const char* e) {
    if (p < e && (*p == '-' || *p == '+'))
        ++p;
    bool digits = false, point = false;
    for (; p < e && *p != ' '; ++p) {
        if (*p >= '0' && *p <= '9')
            digits = true;
        else if (*p == '.' && !point)
            point = true;
        else
            return nullptr;
    }
    return digits ? p : nullptr;
}

// At least `numbers` numeric fields and at most `most`, then a field that opens the quoted font
// name. One pass over the line without splitting it: this runs for every label and text.
bool numbersThenFont(std::string_view line, int numbers, int most) {
    const char* p = line.data();
    const char* const e = p + line.size();
    for (int i = 0; i < most; ++i) {
        p = pastSpaces(p, e);
        if (i >= numbers && p < e && *p == '"')
            return true;
        if (!(p = pastNumber(p, e)))
            return false;
    }
    p = pastSpaces(p, e);
    return p < e && *p == '"';
}

// A piece header line's keyword (capital letters only: a terminal line "T0 0 ..." is none) and
// its corner count (field 2), read without splitting the line: this runs for every piece of
// every decal.
bool pieceCorners(std::string_view line, long& corners) {
    std::size_t i = line.find_first_not_of(' ');
    if (i == std::string_view::npos)
        return false;
    const std::size_t keyword = i;
    while (i < line.size() && line[i] >= 'A' && line[i] <= 'Z')
        ++i;
    if (i == keyword || i == line.size() || line[i] != ' ' ||
        (i = line.find_first_not_of(' ', i)) == std::string_view::npos)
        return false;
    const std::size_t end = line.find(' ', i);
    return readCount(line.substr(i, end == std::string_view::npos ? end : end - i), corners);
}

bool isLabelLine(std::string_view line) {
    return numbersThenFont(line, 9, 9);
}

bool isTextLine(std::string_view line) {
    return numbersThenFont(line, 9, 10);
}

bool isTimestampLine(std::string_view line) {
    return line.starts_with("TIMESTAMP");
}

bool isTerminalLine(std::string_view line) {
    return line.starts_with('T') && !isTimestampLine(line);
}

std::string plural(long n, const char* what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

bool writeTo(void* out, std::string_view bytes) {
    return static_cast<LineWriter*>(out)->write(bytes.data(), bytes.size());
}

}  // namespace

bool isPieceHeaderLine(std::string_view line) {
    if (line.size() < 4)
        return false;
    // Fixed-length compares: this runs for every line that reaches a pass.
    const char* key = line.data();
    return std::memcmp(key, "OPEN", 4) == 0 || std::memcmp(key, "CLOS", 4) == 0 ||
           std::memcmp(key, "CIRC", 4) == 0;
}

void rebuildPieceLine(std::string_view keyword, std::string_view field2, std::string_view width,
                      std::string_view layer, std::string_view field5, std::string& out) {
    // One resize and a copy per field: this runs for every rewritten line.
    const std::size_t total =
        keyword.size() + field2.size() + width.size() + layer.size() + field5.size() + 8;
    out.resize(total);
    char* p = out.data();
    for (std::string_view f : {keyword, field2, width, layer}) {
        if (!f.empty())
            std::memcpy(p, f.data(), f.size());
        p += f.size();
        p[0] = ' ';
        p[1] = ' ';
        p += 2;
    }
    if (!field5.empty())
        std::memcpy(p, field5.data(), field5.size());
}

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

// ---- DecalLayout ----

DecalLayout::DecalLayout(const std::string_view* f) : phase_(Phase::Start) {
    if (!readCount(f[5], counts_.attributes) || !readCount(f[6], counts_.labels) ||
        !readCount(f[7], counts_.pieces) || !readCount(f[8], counts_.texts) ||
        !readCount(f[9], counts_.terminals) || !readCount(f[10], counts_.stacks))
        fail(Fault::Counts);
}

Place DecalLayout::fail(Fault fault, long counted, long at) {
    phase_ = Phase::Broken;
    fault_ = fault;
    faultCounted_ = counted;
    faultAt_ = at;
    return Place::Rest;
}

std::string DecalLayout::why() const {
    const auto isNo = [this](const char* what, const char* line) {
        return "the header counts " + plural(faultCounted_, what) + ", but " + what + " " +
               std::to_string(faultAt_) + " is no " + line;
    };
    switch (fault_) {
        case Fault::Counts:
            return "its header's counts are not all whole numbers";
        case Fault::Label:
            return isNo("label", "label line");
        case Fault::Corners:
            return "a piece has fewer corner lines than its header counts";
        case Fault::Piece:
            return isNo("piece", "piece header line");
        case Fault::Text:
            return isNo("text", "text line");
        case Fault::Terminals:
            return "the header counts " + plural(faultCounted_, "terminal") + ", " +
                   std::to_string(faultAt_) + " follow";
        case Fault::MoreItems:
            return "more pieces or texts follow than its header counts";
        case Fault::Stack:
            return isNo("pad stack", "pad stack line");
        case Fault::Layers:
            return "a pad stack has fewer layer lines than it counts";
        case Fault::EndsEarly:
            return "its lines end before its header's counts do";
        default:
            return {};
    }
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
    pastTexts_ = true;
}

long DecalLayout::runLeft() const {
    switch (phase_) {
        case Phase::Pieces:
        case Phase::Stacks:
            return inner_;
        case Phase::Terminals:
            return std::max(0L, counts_.terminals - terminalsSeen_);
        case Phase::Attributes:
            return left_;
        default:
            return 0;
    }
}

const Initials& DecalLayout::runInitials() const {
    return phase_ == Phase::Terminals ? kTerminalInitials
           : phase_ == Phase::Attributes ? kAttributeInitials
                                         : kNumberInitials;
}

void DecalLayout::skip(long count) {
    if (phase_ == Phase::Terminals) {
        terminalsSeen_ += count;
        return;
    }
    if (phase_ == Phase::Attributes) {
        if ((left_ -= count) == 0)
            advance(Phase::Labels);
        return;
    }
    inner_ -= count;
    if (inner_ == 0 && --left_ == 0) {
        if (phase_ == Phase::Pieces)
            advance(Phase::Texts);
        else
            phase_ = Phase::Done;
    }
}

void DecalLayout::end() {
    if (phase_ == Phase::Done || phase_ == Phase::Broken)
        return;
    if (phase_ == Phase::Terminals && terminalsSeen_ != counts_.terminals)
        fail(Fault::Terminals, counts_.terminals, terminalsSeen_);
    else if (phase_ == Phase::Terminals && counts_.stacks == 0)
        phase_ = Phase::Done;
    else
        fail(Fault::EndsEarly);
}

Place DecalLayout::stackLine(std::string_view line) {
    if (inner_ > 0) {
        if (!isCountedNumberLine(line))
            return fail(Fault::Layers);
        skip(1);
        return Place::PadLayer;
    }
    std::string_view f[4];
    if (SplitAtSpaces(line, f, 3) < 3 || f[0] != "PAD" || !readCount(f[2], inner_))
        return fail(Fault::Stack, counts_.stacks, counts_.stacks - left_ + 1);
    if (inner_ == 0 && --left_ == 0)
        phase_ = Phase::Done;
    return Place::PadStack;
}

Place DecalLayout::next(std::string_view line) {
    if (phase_ == Phase::Start) {
        advance(Phase::Attributes);
        if (isTimestampLine(line))
            return Place::Timestamp;
    }
    switch (phase_) {
        case Phase::Attributes:
            if (--left_ == 0)
                advance(Phase::Labels);
            return Place::Attribute;
        case Phase::Labels:
            if (second_) {
                second_ = false;
                if (--left_ == 0)
                    advance(Phase::Pieces);
                return Place::LabelName;
            }
            if (!isLabelLine(line))
                return fail(Fault::Label, counts_.labels, counts_.labels - left_ + 1);
            second_ = true;
            return Place::Label;
        case Phase::Pieces: {
            if (inner_ > 0) {
                if (!isCountedNumberLine(line))
                    return fail(Fault::Corners);
                skip(1);
                return Place::Corner;
            }
            if (!pieceCorners(line, inner_))
                return fail(Fault::Piece, counts_.pieces, counts_.pieces - left_ + 1);
            if (inner_ == 0 && --left_ == 0)
                advance(Phase::Texts);
            return isPieceHeaderLine(line) ? Place::Piece : Place::OtherPiece;
        }
        case Phase::Texts:
            if (second_) {
                second_ = false;
                if (--left_ == 0)
                    advance(Phase::Terminals);
                return Place::TextString;
            }
            if (!isTextLine(line))
                return fail(Fault::Text, counts_.texts, counts_.texts - left_ + 1);
            second_ = true;
            return Place::Text;
        case Phase::Terminals:
            if (isTerminalLine(line)) {
                ++terminalsSeen_;
                return Place::Terminal;
            }
            if (terminalsSeen_ != counts_.terminals)
                return fail(Fault::Terminals, counts_.terminals, terminalsSeen_);
            // What follows the texts must not look like one more label, piece or text.
            if (terminalsSeen_ == 0 && (isPieceHeaderLine(line) || isTextLine(line)))
                return fail(Fault::MoreItems);
            if (counts_.stacks == 0) {
                phase_ = Phase::Done;
                return Place::Rest;
            }
            phase_ = Phase::Stacks;
            left_ = counts_.stacks;
            inner_ = 0;
            return stackLine(line);
        case Phase::Stacks:
            return stackLine(line);
        default:
            return Place::Rest;
    }
}

// ---- DecalReader ----

DecalReader::DecalReader(ByteSource& source, std::size_t block) : reader_(source, block) {}

DecalReader::Step DecalReader::fail(Step step, std::string why) {
    detail_ = std::move(why);
    return step;
}

DecalReader::Step DecalReader::start(std::string_view& line) {
    if (!reader_.readLine(line))
        return fail(Step::Failed, reader_.failed() ? reader_.failure() : "the file is empty");
    lineNumber_ = 1;
    place_ = Place::Signature;
    if (!line.starts_with(kSignature)) {
        return fail(Step::FormatError, line.starts_with(kByteOrderMark)
                                           ? "the file starts with a UTF-8 byte order mark"
                                           : "the first line does not begin with " +
                                                 std::string(kSignature));
    }
    return Step::Line;
}

bool DecalReader::enter(const std::string_view* f, std::uint64_t at) {
    Unit unit;
    if (f[2] == "M") {
        unit = Unit::Millimetres;
    } else if (f[2] == "I") {
        unit = Unit::Mils;
    } else {
        errorLine_ = at;
        detail_ = "line " + std::to_string(at) + ": the unit letter '" + std::string(f[2]) +
                  "' of decal '" + std::string(f[1]) + "' is neither M nor I";
        return false;
    }
    layout_.end();
    ended_ = std::move(layout_);
    layout_ = DecalLayout(f);
    decal_.name.assign(f[1]);
    decal_.unit = unit;
    decal_.header = at;
    pastDecal_ = false;
    ++decals_;
    entered_ = true;
    return true;
}

bool DecalReader::handOut(Sight sight, const Sink& sink, std::string_view line) {
    if (entered_ || sight >= Sight::Lines)
        return true;
    switch (place_) {
        case Place::Piece:
            return !(sink.keep.keep && sink.keep.keep(sink.keep.context, line));
        case Place::Label:
        case Place::LabelName:
        case Place::Text:
        case Place::TextString:
            return sight == Sight::Items;
        default:
            return broke_ && sight == Sight::Items;
    }
}

// A decal's counted lines that the caller does not look at are placed here where they lie in
// the block read and copied on in one piece: no line is read or written one by one. Stops
// before any line that needs more than its place (a line not ending in CR LF in the block, an
// empty or TIMESTAMP line, one where the counts break or end), and after a piece the caller
// looks at, which it hands out (Piece).
DecalReader::Passed DecalReader::passCounted(Sight sight, const Sink& sink, std::string_view& line) {
    const std::string_view bytes = reader_.unread();
    const char* const data = bytes.data();
    const std::size_t end = bytes.size();
    std::size_t p = 0, handed = std::string::npos;
    while (!layout_.complete() && !layout_.broken()) {
        if (layout_.runLeft() > 0) {
            std::uint64_t n = 0;
            p = countedRunEnd(data, p, end, static_cast<std::uint64_t>(layout_.runLeft()),
                              layout_.runInitials(), layout_.runOfTerminals() ? &kTimestampStop : nullptr, n);
            layout_.skip(static_cast<long>(n));
            lineNumber_ += n;
            if (layout_.runLeft() == 0)
                continue;
        }
        // Offsets, not pointers: at the end of the data there is no block (data is null).
        const auto q = static_cast<std::size_t>(findLineEnd(data + p, data + end) - data);
        if (q + 1 >= end || data[q] != '\r' || data[q + 1] != '\n')
            break;
        const std::string_view l(data + p, q - p);
        if (l.empty() || isTimestampLine(l))
            break;
        const DecalLayout before = layout_;
        const Place place = layout_.next(l);
        bool passes = !layout_.broken();
        if (place == Place::Piece || (place == Place::Attribute && isPieceHeaderLine(l))) {
            if (place == Place::Piece && passes &&
                !(sink.keep.keep && sink.keep.keep(sink.keep.context, l))) {
                handed = p;
                line = l;
            }
            passes = passes && place == Place::Piece;
        } else if (place == Place::Label || place == Place::LabelName || place == Place::Text ||
                   place == Place::TextString) {
            passes = passes && sight == Sight::Pieces;
        } else if (place == Place::Rest || place == Place::Timestamp) {
            passes = false;
        }
        if (!passes) {
            layout_ = before;
            break;
        }
        ++lineNumber_;
        if (handed != std::string::npos)
            break;
        p = q + 2;
    }
    if (p != 0 || handed != std::string::npos)
        afterBlank_ = false;
    const std::size_t copied = handed != std::string::npos ? handed : p;
    if (copied != 0) {
        const bool ok = sink.take ? sink.take(sink.context, bytes.substr(0, copied))
                        : sink.out ? sink.out->write(data, copied)
                                   : true;
        if (!ok || (!sink.take && sink.out && sink.out->failed()))
            return Passed::Failed;
    }
    if (handed == std::string::npos) {
        reader_.passOver(p);
        return Passed::Stopped;
    }
    reader_.passOver(line.size() + 2 + handed, handed);
    place_ = Place::Piece;
    return Passed::Piece;
}

DecalReader::Step DecalReader::next(Sight sight, const Sink& sink, std::string_view& line) {
    entered_ = false;
    for (;;) {
        broke_ = false;
        // The line after an empty one is read alone: it may be the next decal's header.
        const bool counted = inDecal() && !layout_.complete() && !layout_.broken() && !afterBlank_;
        if (counted && sight < Sight::Lines) {
            switch (passCounted(sight, sink, line)) {
                case Passed::Failed:
                    return Step::Failed;
                case Passed::Piece:
                    return Step::Line;
                case Passed::Stopped:
                    break;
            }
        } else if (counted && sight != Sight::All && layout_.runLeft() > 0) {
            // Runs of counted lines go by their count, as no pass looks at them one by one.
            const bool terminals = layout_.runOfTerminals();
            LineReader::TakeBytes take = sink.take ? sink.take : sink.out ? writeTo : nullptr;
            void* context = sink.take ? sink.context : sink.out;
            const auto passed =
                reader_.copyLines(static_cast<std::uint64_t>(layout_.runLeft()), layout_.runInitials(),
                                  take, context, terminals ? &kTimestampStop : nullptr);
            if (!sink.take && sink.out && sink.out->failed())
                return Step::Failed;
            layout_.skip(static_cast<long>(passed));
            lineNumber_ += passed;
            afterBlank_ = afterBlank_ && passed == 0;
        }
        const bool following = inDecal() && !layout_.complete() && !layout_.broken();
        // The line after a decal's last counted line may be the next decal's header.
        const bool afterDecal = inDecal() && layout_.complete() && !pastDecal_;
        const bool afterBlank = afterBlank_;
        // Outside the counted lines only piece header lines and TIMESTAMP lines are looked at
        // (and only pieces the caller's keep does not let go), unless every line is wanted.
        struct Keep {
            const Sink* sink;
            static bool keep(void* context, std::string_view l) {
                if (l[0] == 'T')
                    return !isTimestampLine(l);
                if (!isPieceHeaderLine(l))
                    return true;
                const auto& k = static_cast<const Keep*>(context)->sink->keep;
                return k.keep && k.keep(k.context, l);
            }
        } keep{&sink};
        const bool plain = !following && !afterDecal && !afterBlank && sight <= Sight::Items;
        const auto got = reader_.copyToNextLine(plain ? sink.out : nullptr, plain ? &kRestStops : nullptr,
                                                line, lineNumber_, {&Keep::keep, &keep});
        if (got == LineReader::Next::End) {
            if (inDecal()) {
                layout_.end();
                ended_ = layout_;
            }
            return Step::End;
        }
        if (got == LineReader::Next::Failed)
            return Step::Failed;
        afterBlank_ = line.empty();
        const std::uint64_t n = lineNumber_;
        std::string_view* const f = fields_;
        place_ = Place::Rest;
        if (afterBlank && SplitAtSpaces(line, f + 1, kDecalHeaderFields) == kDecalHeaderFields) {
            if (!enter(f, n))
                return Step::FormatError;
            place_ = Place::Header;
        } else if (following || afterDecal) {
            if (following) {
                place_ = layout_.next(line);
                broke_ = layout_.broken();
            }
            // A decal that ends where its counts say is followed by the next one's header, if
            // no empty line comes first.
            if (place_ == Place::Rest && layout_.complete()) {
                pastDecal_ = true;
                if (!line.empty() &&
                    SplitAtSpaces(line, f + 1, kDecalHeaderFields) == kDecalHeaderFields) {
                    if (!enter(f, n))
                        return Step::FormatError;
                    place_ = Place::Header;
                }
            }
        }
        // A header that neither an empty line nor its decal's counts showed: known by the
        // TIMESTAMP line after it.
        if (!entered_ && isTimestampLine(line) && n > 2 && decal_.header + 1 != n) {
            std::string_view previous;
            if (reader_.previousLine(previous) &&
                SplitAtSpaces(previous, f + 1, kDecalHeaderFields) == kDecalHeaderFields) {
                if (!enter(f, n - 1))
                    return Step::FormatError;
                broke_ = false;
                place_ = layout_.next(line);
            }
        }
        if (place_ == Place::Rest && line.empty())
            place_ = Place::Empty;
        // Where any line may stand, a piece header line is a piece, as it is read alone.
        else if ((place_ == Place::Rest || place_ == Place::Attribute) && isPieceHeaderLine(line))
            place_ = Place::Piece;
        if (!following || handOut(sight, sink, line))
            return Step::Line;
        if (sink.out && !sink.out->writeLine(line))
            return Step::Failed;
    }
}

}  // namespace trelvo
