// What a run changes: an ordered list of rules, each a match on an eligible piece header line and
// the values it sets there. The first rule that matches a line decides it; a line is changed by at
// most one rule. The dialog's two pairs and trelvo-cli's options compile to such a list.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/decal_reader.h"
#include "engine/decimal.h"

namespace trelvo {

inline int unitIndex(Unit u) {
    return u == Unit::Millimetres ? 1 : 0;
}

// A width or height with the unit it was given in. In a decal of that unit it is compared as
// value and written as text; in a decal of the other unit it is converted (rounded to three
// places, halves to even) and written in its shortest form.
struct Length {
    Decimal value;
    Unit unit = Unit::Mils;
    std::string text;
    // The value in a decal of unit u, as it is compared and written there; nothing when it has
    // too many digits to convert.
    std::optional<Decimal> in(Unit u) const;
};

// What a rule asks of a width or height field.
struct LengthTest {
    enum class Kind {
        Any,     // not looked at
        Number,  // any number
        Equal,   // the value
        Range,   // from value to high, both included
    };
    Kind kind = Kind::Any;
    Length value;  // Equal, and the low end of Range
    Length high;   // the high end of Range
    // The ends in each decal unit (by unitIndex), as Length::in gives them: every value is
    // compared in the decal's unit, so a value a rule writes there is one a test of that value,
    // or a range with it at an end, takes. Made once by equalTest and rangeTest.
    std::optional<Decimal> low[2], top[2];
};
LengthTest equalTest(const Length& value);
LengthTest rangeTest(const Length& low, const Length& high);

// Whether a field's text passes the test in a decal of that unit; a field that is no number
// passes only Any.
bool lengthPasses(const LengthTest& test, std::string_view field, Unit decalUnit);
// The same for a field already read (nothing: it is no number).
bool lengthPasses(const LengthTest& test, const std::optional<Decimal>& value, Unit decalUnit);

// A field read once for many tests, when a test first asks: its number (nothing: it is no
// number) in a decal of that unit.
class ReadLength {
public:
    ReadLength(std::string_view text, Unit unit) : text_(text), unit_(unit) {}
    std::string_view text() const { return text_; }
    Unit unit() const { return unit_; }
    const std::optional<Decimal>& number() const;

private:
    std::string_view text_;
    Unit unit_;
    mutable bool read_ = false;
    mutable std::optional<Decimal> value_;
};
bool lengthPasses(const LengthTest& test, const ReadLength& width);

// The piece keywords a rule may name.
enum PieceKeyword : unsigned { kOpen = 1, kClosed = 2, kCircle = 4, kAnyKeyword = 7 };
// OPEN, CLOSED or CIRCLE as a keyword bit; 0 for any other field 1.
unsigned pieceKeywordOf(std::string_view field1);

// Shell-style decal name patterns; none: every decal, and the pieces before the first decal
// header too. A rule with patterns never matches there.
struct DecalMatch {
    std::vector<std::string> patterns;
    bool accepts(const std::string* decalName) const;  // decalName null: before any decal
};

struct PieceRule {
    std::optional<std::string> layer;                   // field 4 as text; nothing: any layer
    LengthTest width;                                    // field 3
    std::optional<std::string> style = std::string("-1");  // field 5 as text; nothing: any
    unsigned keywords = kAnyKeyword;
    DecalMatch decals;
    std::optional<std::string> setLayer;                // written as given
    std::optional<Length> setWidth;
    int line = 0;  // where its table begins in a rules file (0: not from one)
};

// A rule on the labels of decals (the attribute labels such as REF-DES) or on their free texts.
// Heights and widths are compared and written in the decal's unit.
struct LabelRule {
    // A label's name, exactly; for a text, a glob of its text. Nothing: any.
    std::optional<std::string> name;
    DecalMatch decals;
    std::optional<std::string> layer;
    LengthTest height, width;
    std::optional<std::string> setLayer;
    std::optional<Length> setHeight, setWidth;
    int line = 0;  // where its table begins in a rules file (0: not from one)
};

enum class ItemKind { Piece, Label, Text };

// An outline piece, label or text as rules and checks see it: the texts of its fields, its width
// and height read when first asked for, in the unit of its decal.
struct Item {
    ItemKind kind = ItemKind::Piece;
    std::string_view keyword, name, layer, style;  // a piece's keyword and style; an item's name
    ReadLength width, height;
    std::string_view corners;  // a piece's corner count (field 2)
};

// Whether a rule (or a check's match keys) takes an item. One matcher for what is changed and
// what is checked.
bool matchesExceptWidth(const PieceRule& rule, const Item& piece);
bool matches(const PieceRule& rule, const Item& piece);
bool matches(const LabelRule& rule, const Item& item);

inline PieceRule anyStyle() {
    PieceRule r;
    r.style.reset();
    return r;
}

// What every item a check matches must have; forbid: every match is a finding.
struct Check {
    std::string name;
    ItemKind kind = ItemKind::Piece;
    // The match keys, for pieces (its set values unused); any line style unless one is named,
    // as a check is there to see every line.
    PieceRule piece = anyStyle();
    LabelRule label;  // the match keys, for labels and texts
    std::vector<std::string> allowedLayers;
    std::vector<LengthTest> allowedWidths, allowedHeights;
    // What each allow list reads in the file, for findings.
    std::vector<std::string> allowedLayersText, allowedWidthsText, allowedHeightsText;
    bool forbid = false;
    bool error = true;  // severity: error, else warning
    int line = 0;       // where its table begins in a rules file (0: not from one)
};

// How many lines each rule of a set decided (the first rule that takes a line decides it) and
// how many items each check took, by their places in the set: a rule or check that takes
// nothing is most likely a slip.
struct RuleMatches {
    std::vector<std::uint64_t> pieces, labels, texts, checks;
    void add(const RuleMatches& other);
};

struct RuleSet {
    std::vector<PieceRule> pieces;
    std::vector<LabelRule> labels;
    std::vector<LabelRule> texts;
    std::vector<Check> checks;
    // A width test on a field 3 that is not a number fails the run (as the dialog's width pair
    // does) rather than not matching.
    bool widthMustBeNumber = false;
};

// A width entry as Trelvo reads one: a decimal number (spaces around it ignored), then "mil" or
// "mm" or nothing, then spaces. Nothing when it is not of that form.
struct WidthEntry {
    enum class Suffix { None, Mil, Mm };
    Decimal value;
    Suffix suffix = Suffix::None;
    std::string number;  // the text of the number: what precedes the unit, without spaces
    Unit unit() const { return suffix == Suffix::Mm ? Unit::Millimetres : Unit::Mils; }
};
std::optional<WidthEntry> readWidthEntry(std::string_view text);

// A layer number as a new layer must be: decimal digits only.
bool isLayerNumber(std::string_view text);
// What the format allows of a length, in each decal unit (by unitIndex): from low to high.
struct FormatLimit {
    Decimal low[2], high[2];
};
extern const FormatLimit kPieceWidthLimit;  // 0 to 250 mil
extern const FormatLimit kHeightLimit;      // of labels and texts: 10 to 1000 mil
extern const FormatLimit kStrokeLimit;      // their stroke widths: 1 to 50 mil

// What the format allows of a new value: a layer number (digits) of at most 250, a width of at
// most 250 mil (6.35 mm).
bool withinLayers(std::string_view layerNumber);
bool withinWidths(const Decimal& value, Unit unit);

// The two pairs' entry texts as given (the dialog's boxes as typed, trelvo-cli's --layer and
// --width OLD:NEW), and which pairs take part.
struct PairEntries {
    bool layer = false, width = false;
    std::string old_lyr, new_lyr, old_wd, new_wd;
};

// The dialog's pairs as the Run button hands them on. Nothing, with why set, when the width
// entries cannot be read: a width that is no number, a new width of "*", or a millimetre entry
// beside a width without a unit.
std::optional<RuleSet> compilePairs(const PairEntries& entries, std::string& why);

// The dialog's entry check of the pairs: both boxes of each enabled pair filled, the new layer a
// layer number, the new width a number of at least 0 with "mil", "mm" or no unit after it. New
// values are written into the library; one that is no layer or no width would damage it.
bool pairEntriesValid(const PairEntries& entries);

// trelvo-cli's pairs: layers must be layer numbers (or "*" as the old one), widths numbers with an
// optional unit each (none: mils; "*" as the old one), the new width not negative. Nothing, with
// why set (naming the option and the value), when a value is not of its form.
std::optional<RuleSet> compileOptionPairs(const PairEntries& entries, std::string& why);

}  // namespace trelvo
