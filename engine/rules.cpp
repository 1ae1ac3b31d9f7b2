#include "engine/rules.h"

#include "engine/fields.h"
#include "engine/glob.h"

namespace trelvo {

namespace {

std::string quoted(std::string_view s) {
    return "'" + std::string(s) + "'";
}

}  // namespace

std::optional<WidthEntry> readWidthEntry(std::string_view text) {
    WidthEntry e;
    std::string_view rest = text.substr(0, text.find_last_not_of(' ') + 1);
    if (rest.ends_with("mil")) {
        e.suffix = WidthEntry::Suffix::Mil;
        rest.remove_suffix(3);
    } else if (rest.ends_with("mm")) {
        e.suffix = WidthEntry::Suffix::Mm;
        rest.remove_suffix(2);
    }
    const auto value = Decimal::parse(rest);
    if (!value)
        return std::nullopt;
    e.value = *value;
    e.number = trimSpaces(rest);
    return e;
}

std::optional<Decimal> Length::in(Unit u) const {
    if (u == unit)
        return value;
    return unit == Unit::Mils ? value.milsToMm() : value.mmToMils();
}

bool lengthPasses(const LengthTest& test, std::string_view field, Unit decalUnit) {
    if (test.kind == LengthTest::Kind::Any)
        return true;
    return lengthPasses(test, Decimal::parse(field), decalUnit);
}

bool lengthPasses(const LengthTest& test, const std::optional<Decimal>& v, Unit decalUnit) {
    if (test.kind == LengthTest::Kind::Any)
        return true;
    if (!v)
        return false;
    if (test.kind == LengthTest::Kind::Number)
        return true;
    const int u = unitIndex(decalUnit);
    return test.low[u] && test.top[u] && *test.low[u] <= *v && *v <= *test.top[u];
}

const std::optional<Decimal>& ReadLength::number() const {
    if (!read_) {
        value_ = Decimal::parse(text_);
        read_ = true;
    }
    return value_;
}

bool lengthPasses(const LengthTest& test, const ReadLength& w) {
    return lengthPasses(test, w.number(), w.unit());
}

void RuleMatches::add(const RuleMatches& other) {
    for (auto [mine, theirs] : {std::pair{&pieces, &other.pieces}, {&labels, &other.labels},
                                {&texts, &other.texts}, {&checks, &other.checks}}) {
        mine->resize(std::max(mine->size(), theirs->size()));
        for (std::size_t i = 0; i < theirs->size(); ++i)
            (*mine)[i] += (*theirs)[i];
    }
}

bool matchesExceptWidth(const PieceRule& r, const Item& it) {
    return (!r.style || sameText(it.style, *r.style)) && (!r.layer || sameText(it.layer, *r.layer)) &&
           (r.keywords == kAnyKeyword || (pieceKeywordOf(it.keyword) & r.keywords) != 0);
}

bool matches(const PieceRule& r, const Item& it) {
    return matchesExceptWidth(r, it) && lengthPasses(r.width, it.width);
}

bool matches(const LabelRule& r, const Item& it) {
    const bool nameOk = !r.name || (it.kind == ItemKind::Label ? it.name == *r.name
                                                               : globMatch(*r.name, it.name));
    return nameOk && (!r.layer || sameText(it.layer, *r.layer)) && lengthPasses(r.height, it.height) &&
           lengthPasses(r.width, it.width);
}

LengthTest rangeTest(const Length& low, const Length& high) {
    LengthTest t{LengthTest::Kind::Range, low, high, {}, {}};
    for (Unit u : {Unit::Mils, Unit::Millimetres}) {
        t.low[unitIndex(u)] = low.in(u);
        t.top[unitIndex(u)] = high.in(u);
    }
    return t;
}

LengthTest equalTest(const Length& value) {
    LengthTest t = rangeTest(value, value);
    t.kind = LengthTest::Kind::Equal;
    return t;
}

unsigned pieceKeywordOf(std::string_view field1) {
    if (field1 == "OPEN")
        return kOpen;
    if (field1 == "CLOSED")
        return kClosed;
    if (field1 == "CIRCLE")
        return kCircle;
    return 0;
}

bool DecalMatch::accepts(const std::string* decalName) const {
    if (patterns.empty())
        return true;
    if (!decalName)
        return false;
    for (const std::string& p : patterns) {
        if (globMatch(p, *decalName))
            return true;
    }
    return false;
}

bool withinLayers(std::string_view layer) {
    const std::size_t digits = layer.size() - std::min(layer.size(), layer.find_first_not_of('0'));
    return digits < 3 || (digits == 3 && layer.substr(layer.size() - 3) <= "250");
}

namespace {
FormatLimit limit(const char* lowMils, const char* highMils, const char* lowMm, const char* highMm) {
    return {{*Decimal::parse(lowMils), *Decimal::parse(lowMm)},
            {*Decimal::parse(highMils), *Decimal::parse(highMm)}};
}
}  // namespace

const FormatLimit kPieceWidthLimit = limit("0", "250", "0", "6.35");
const FormatLimit kHeightLimit = limit("10", "1000", "0.254", "25.4");
const FormatLimit kStrokeLimit = limit("1", "50", "0.0254", "1.27");

bool withinWidths(const Decimal& value, Unit unit) {
    return value <= kPieceWidthLimit.high[unitIndex(unit)];
}

bool isLayerNumber(std::string_view text) {
    if (text.empty())
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

namespace {

using Suffix = WidthEntry::Suffix;

Length widthOf(const WidthEntry& w, std::string_view typed) {
    // An entry without a unit is written as it was typed, one with a unit as its number.
    return Length{w.value, w.unit(), std::string(w.suffix == Suffix::None ? typed : w.number)};
}

// The rules of the two pairs: a matching layer is replaced, and its width too where that
// matches as well; without the layer pair, a matching width is replaced. Nothing, with why set,
// when a width cannot be had in the other unit (more than 30 digits).
std::optional<RuleSet> pairRules(const std::optional<std::string_view>& oldLayer,
                                 const std::optional<std::string_view>& newLayer,
                                 const std::optional<LengthTest>& oldWidth,
                                 const std::optional<Length>& newWidth, std::string& why) {
    RuleSet rules;
    rules.widthMustBeNumber = true;
    PieceRule widthRule;
    if (newWidth) {
        widthRule.width = *oldWidth;
        widthRule.setWidth = newWidth;
        for (const Length* w : {&widthRule.width.value, &*widthRule.setWidth}) {
            if (w == &widthRule.width.value && oldWidth->kind != LengthTest::Kind::Equal)
                continue;
            if (!(w->unit == Unit::Mils ? w->value.milsToMm() : w->value.mmToMils())) {
                why = "the width " + quoted(w->text) + " has too many digits";
                return std::nullopt;
            }
        }
    }
    if (newLayer) {
        PieceRule layerRule;
        if (*oldLayer != "*")
            layerRule.layer = std::string(*oldLayer);
        layerRule.setLayer = std::string(*newLayer);
        if (newWidth) {
            PieceRule both = widthRule;
            both.layer = layerRule.layer;
            both.setLayer = layerRule.setLayer;
            rules.pieces.push_back(std::move(both));
        }
        rules.pieces.push_back(std::move(layerRule));
    } else if (newWidth) {
        rules.pieces.push_back(std::move(widthRule));
    }
    return rules;
}

LengthTest testOf(const std::optional<WidthEntry>& entry, std::string_view typed) {
    if (!entry)
        return LengthTest{LengthTest::Kind::Number, {}, {}, {}, {}};  // "*": any width, read as a number
    return equalTest(widthOf(*entry, typed));
}

}  // namespace

std::optional<RuleSet> compilePairs(const PairEntries& e, std::string& why) {
    std::optional<LengthTest> oldWidth;
    std::optional<Length> newWidth;
    if (e.width) {
        const bool anyOld = e.old_wd == "*";
        const auto oldEntry = anyOld ? std::nullopt : readWidthEntry(e.old_wd);
        const auto newEntry = readWidthEntry(e.new_wd);
        if ((!anyOld && !oldEntry) || !newEntry) {
            why = "the width " + quoted(!anyOld && !oldEntry ? e.old_wd : e.new_wd) +
                  " is not a number";
            return std::nullopt;
        }
        // Millimetres are marked; a width beside them without a unit is not taken for mils.
        const bool mm = (oldEntry && oldEntry->suffix == Suffix::Mm) || newEntry->suffix == Suffix::Mm;
        if (mm && ((oldEntry && oldEntry->suffix == Suffix::None) || newEntry->suffix == Suffix::None)) {
            why = "one width is in millimetres, the other has no unit";
            return std::nullopt;
        }
        oldWidth = testOf(oldEntry, e.old_wd);
        newWidth = widthOf(*newEntry, e.new_wd);
    }
    std::optional<std::string_view> oldLayer, newLayer;
    if (e.layer) {
        // The new layer is written as typed; a line break in it would split a piece line in two.
        if (e.new_lyr.find_first_of("\r\n") != std::string_view::npos) {
            why = "the new layer holds a line break";
            return std::nullopt;
        }
        oldLayer = e.old_lyr;
        newLayer = e.new_lyr;
    }
    return pairRules(oldLayer, newLayer, oldWidth, newWidth, why);
}

bool pairEntriesValid(const PairEntries& e) {
    if (e.layer && (e.old_lyr.empty() || e.new_lyr.empty() || !isLayerNumber(e.new_lyr) ||
                    !withinLayers(e.new_lyr)))
        return false;
    if (e.width) {
        if (e.old_wd.empty() || e.new_wd.empty())
            return false;
        const auto w = readWidthEntry(e.new_wd);
        if (!w || w->value.isNegative() || !withinWidths(w->value, w->unit()))
            return false;
    }
    return true;
}

std::optional<RuleSet> compileOptionPairs(const PairEntries& e, std::string& why) {
    std::optional<std::string_view> oldLayer, newLayer;
    if (e.layer) {
        const std::string option = "--layer " + e.old_lyr + ":" + e.new_lyr + ": the ";
        if (e.old_lyr != "*" && !isLayerNumber(e.old_lyr)) {
            why = option + "old layer " + quoted(e.old_lyr) + " is neither a layer number nor \"*\"";
            return std::nullopt;
        }
        if (!isLayerNumber(e.new_lyr)) {
            why = option + "new layer " + quoted(e.new_lyr) + " is not a layer number";
            return std::nullopt;
        }
        if (!withinLayers(e.new_lyr)) {
            why = option + "new layer " + quoted(e.new_lyr) + " is over 250, the most the format allows";
            return std::nullopt;
        }
        oldLayer = e.old_lyr;
        newLayer = e.new_lyr;
    }
    std::optional<LengthTest> oldWidth;
    std::optional<Length> newWidth;
    if (e.width) {
        const std::string option = "--width " + e.old_wd + ":" + e.new_wd + ": the ";
        const auto read = [&](const std::string& text, const char* side) {
            auto entry = readWidthEntry(text);
            if (!entry) {
                // A number followed by something else is most likely a unit Trelvo does not know.
                const auto digits = text.find_first_not_of("0123456789.+- ");
                const bool unit = digits != std::string::npos && digits > 0 &&
                                  Decimal::parse(std::string_view(text).substr(0, digits));
                why = option + side + " width " + quoted(text) +
                      (unit ? " has a unit other than mil or mm" : " is not a number");
            }
            return entry;
        };
        std::optional<WidthEntry> oldEntry;
        if (e.old_wd != "*" && !(oldEntry = read(e.old_wd, "old")))
            return std::nullopt;
        const auto newEntry = read(e.new_wd, "new");
        if (!newEntry)
            return std::nullopt;
        if (newEntry->value.isNegative()) {
            why = option + "new width " + quoted(e.new_wd) + " is negative";
            return std::nullopt;
        }
        if (!withinWidths(newEntry->value, newEntry->unit())) {
            why = option + "new width " + quoted(e.new_wd) +
                  " is over 250 mil (6.35 mm), the most the format allows";
            return std::nullopt;
        }
        oldWidth = testOf(oldEntry, e.old_wd);
        newWidth = widthOf(*newEntry, e.new_wd);
        newWidth->text = newEntry->value.toString();  // shortest, as a rules run writes it
    }
    return pairRules(oldLayer, newLayer, oldWidth, newWidth, why);
}

}  // namespace trelvo
