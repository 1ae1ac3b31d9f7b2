#include "engine/check.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "engine/decimal.h"
#include "engine/fields.h"
#include "engine/verdict_cache.h"

namespace trelvo {

const char* kindName(ItemKind kind) {
    return kind == ItemKind::Label ? "label" : kind == ItemKind::Text ? "text" : "piece";
}

class ItemChecks::Impl {
public:
    Impl(const RuleSet& rules, std::function<void(const Finding&)> onFinding, bool limits)
        : matched_(rules.checks.size(), 0), rules_(rules), onFinding_(std::move(onFinding)),
          limits_(limits) {
        for (const Check& c : rules.checks) {
            decalPatterns_ |= !(c.kind == ItemKind::Piece ? c.piece.decals : c.label.decals).patterns.empty();
            if (c.kind != ItemKind::Piece && c.label.name)
                (c.kind == ItemKind::Label ? labelsNamed_ : textsNamed_) = true;
            std::array<std::string, 3> allowed;
            const std::vector<std::string>* lists[] = {&c.allowedLayersText, &c.allowedWidthsText,
                                                       &c.allowedHeightsText};
            for (int f = 0; f < 3; ++f) {
                for (const std::string& a : *lists[f])
                    allowed[f] += (allowed[f].empty() ? "" : ", ") + a;
            }
            allowed_.push_back(std::move(allowed));
        }
        selectChecks(nullptr);
    }

    void enterDecal(std::string_view name, Unit unit) {
        unit_ = unit;
        decal_.assign(name);
        inDecal_ = true;
        selectChecks(&decal_);
    }

    void line(std::string_view line, std::uint64_t n, Place place) {
        if (rules_.checks.empty() && !limits_)
            return;
        if (place == Place::Label || place == Place::Text) {
            held_.assign(line);
            heldLine_ = n;
            return;
        }
        if (place == Place::LabelName || place == Place::TextString) {
            const bool label = place == Place::LabelName;
            std::string_view f[kLabelLayerField + 1];
            SplitAtSpaces(held_, f + 1, kLabelLayerField);
            const Item it{label ? ItemKind::Label : ItemKind::Text, {}, label ? trimSpaces(line) : line,
                          f[label ? kLabelLayerField : kTextLayerField], {},
                          {f[label ? kLabelWidthField : kTextWidthField], unit_},
                          {f[label ? kLabelHeightField : kTextHeightField], unit_}, {}};
            apply(it, heldLine_);
            return;
        }
        std::string_view p[kPieceFields + 1];
        if (place == Place::Piece && SplitAtSpaces(line, p + 1, kPieceFields) == kPieceFields)
            apply(Item{ItemKind::Piece, p[1], p[1], p[4], p[5], {p[3], unit_}, {{}, unit_}, p[2]}, n);
    }

    void report(std::uint64_t line, ItemKind kind, std::string_view check, bool error,
                std::string_view found, std::string_view allowed, std::string_view name = {}) {
        ++(error ? errors_ : warnings_);
        if (!onFinding_)
            return;
        onFinding_(Finding{line, inDecal_ ? std::string_view(decal_) : std::string_view(), kind,
                           check, error, found, allowed, name});
    }

    std::uint64_t errors_ = 0, warnings_ = 0;
    std::vector<std::uint64_t> matched_;

private:
    // Which checks may match in the decal entered (null: before the first one).
    void selectChecks(const std::string* decal) {
        if (!checkOk_.empty() && !decalPatterns_)
            return;  // every check takes every decal
        checkOk_.assign(rules_.checks.size(), 0);
        for (std::size_t i = 0; i < checkOk_.size(); ++i) {
            const Check& c = rules_.checks[i];
            checkOk_[i] = (c.kind == ItemKind::Piece ? c.piece.decals : c.label.decals).accepts(decal);
        }
        checkMask_ = maskOf(checkOk_);
    }

    // The item's key for the verdicts kept; empty when it has none (a text named by a glob,
    // too many checks to mask).
    std::string_view keyOf(const Item& it) {
        if (rules_.checks.size() > 64 || (it.kind == ItemKind::Text && textsNamed_))
            return {};
        key_.start(static_cast<char>(it.kind), static_cast<char>(unit_), checkMask_);
        for (const std::string_view field : {it.keyword, it.layer, it.width.text(), it.height.text(), it.style})
            key_.add(field);
        key_.add(limits_ ? it.corners : std::string_view());
        key_.add(it.kind == ItemKind::Label && labelsNamed_ ? it.name : std::string_view());
        return key_.view();
    }

    void apply(const Item& it, std::uint64_t n) {
        const std::string_view key = keyOf(it);
        if (key.empty()) {
            judge(it, scratch_);
            return report(it, scratch_, n);
        }
        bool known = false;
        std::vector<Hit>& hits = verdicts_.at(key, known);
        if (!known)
            judge(it, hits);
        report(it, hits, n);
    }

    // A check that takes an item: what the item fails, if anything; forbidden items are
    // described when reported.
    enum { kLayer, kWidth, kHeight };
    struct Hit {
        std::size_t check;
        std::string found;
        bool forbidden = false;
        bool passed = false;
        int field = kLayer;  // the field found
    };

    // What the format allows of a piece, label or text and an import refuses beyond: piece widths
    // 0 to 250 mil, layers 0 to 250, label and text heights 10 to 1000 mil and their stroke
    // widths 1 to 50 mil, a circle of two corner lines. Told as structure findings.
    void outside(const Item& it, std::vector<Hit>& hits) const {
        const bool mm = unit_ == Unit::Millimetres;
        const auto beyond = [&](std::string why) { hits.push_back({kBeyondFormat, std::move(why)}); };
        const std::string kind = std::string("the ") + kindName(it.kind);
        const auto length = [&](const char* what, const ReadLength& v, const FormatLimit& l) {
            const Decimal& low = l.low[unitIndex(unit_)];
            const Decimal& high = l.high[unitIndex(unit_)];
            if (v.number() && low <= *v.number() && *v.number() <= high)
                return;
            beyond(kind + " " + what + " " + std::string(v.text()) + unitNote() +
                   " is outside " + low.toString() + " to " + high.toString() + (mm ? " mm" : " mil"));
        };
        if (it.kind == ItemKind::Piece) {
            length("width", it.width, kPieceWidthLimit);
        } else {
            length("height", it.height, kHeightLimit);
            length("width", it.width, kStrokeLimit);
        }
        if (!isLayerNumber(it.layer) || !withinLayers(it.layer))
            beyond(kind + " layer " + std::string(it.layer) + " is outside 0 to 250");
        if (it.keyword == "CIRCLE" && it.corners != "2")
            beyond("the circle counts " + std::string(it.corners) + " corners, not 2");
    }
    static constexpr std::size_t kBeyondFormat = static_cast<std::size_t>(-1);

    const char* unitNote() const { return unit_ == Unit::Millimetres ? " (mm)" : " (mil)"; }


    void judge(const Item& it, std::vector<Hit>& hits) const {
        hits.clear();
        if (limits_)
            outside(it, hits);
        for (std::size_t i = 0; i < rules_.checks.size(); ++i) {
            const Check& c = rules_.checks[i];
            if (c.kind != it.kind || !checkOk_[i])
                continue;
            if (!(it.kind == ItemKind::Piece ? matches(c.piece, it) : matches(c.label, it)))
                continue;
            if (c.forbid) {
                hits.push_back({i, {}, true});
                continue;
            }
            // Each field the item fails is a finding of its own, with that field's list.
            const std::size_t before = hits.size();
            const auto valueIn = [&](std::string_view what, std::string_view value, int field) {
                hits.push_back({i, std::string(what) + std::string(value), false, false, field});
                if (field != kLayer)
                    hits.back().found += unitNote();
            };
            if (!c.allowedLayers.empty() && !contains(c.allowedLayers, it.layer))
                valueIn("layer ", it.layer, kLayer);
            if (!c.allowedWidths.empty() && !passesAny(c.allowedWidths, it.width))
                valueIn("width ", it.width.text(), kWidth);
            if (!c.allowedHeights.empty() && !passesAny(c.allowedHeights, it.height))
                valueIn("height ", it.height.text(), kHeight);
            if (hits.size() == before)
                hits.push_back({i, {}, false, true});
        }
    }

    void report(const Item& it, const std::vector<Hit>& hits, std::uint64_t n) {
        std::size_t counted = rules_.checks.size();  // a check failed in two fields took one item
        for (const Hit& h : hits) {
            const std::string_view name = it.kind == ItemKind::Piece ? it.keyword : it.name;
            if (h.check == kBeyondFormat) {
                report(n, it.kind, "structure", true, h.found, {}, name);
                continue;
            }
            if (h.check != counted)
                ++matched_[h.check];
            counted = h.check;
            const Check& c = rules_.checks[h.check];
            if (h.passed)
                continue;
            if (h.forbidden) {
                described_.clear();
                describe(it, described_);
                report(n, it.kind, c.name, c.error, described_, {}, name);
            } else {
                report(n, it.kind, c.name, c.error, h.found,
                       allowed_[h.check][static_cast<std::size_t>(h.field)], name);
            }
        }
    }

    static bool contains(const std::vector<std::string>& list, std::string_view v) {
        return std::any_of(list.begin(), list.end(),
                           [v](const std::string& s) { return sameText(s, v); });
    }

    static bool passesAny(const std::vector<LengthTest>& tests, const ReadLength& v) {
        return std::any_of(tests.begin(), tests.end(),
                           [&v](const LengthTest& t) { return lengthPasses(t, v); });
    }

    void describe(const Item& it, std::string& s) const {
        if (it.kind == ItemKind::Piece)
            s += it.keyword;
        else
            ((s += kindName(it.kind)) += ' ') += it.name;
        s += " on layer " + std::string(it.layer) + ", width " + std::string(it.width.text()) +
             unitNote();
        if (it.kind != ItemKind::Piece)
            s += ", height " + std::string(it.height.text());
    }

    const RuleSet& rules_;
    std::function<void(const Finding&)> onFinding_;
    bool inDecal_ = false;
    Unit unit_ = Unit::Mils;
    std::string decal_;
    std::string held_;  // a label or text line, until its second line comes
    std::uint64_t heldLine_ = 0;
    // Each check's allowed layers, widths and heights, as a finding gives them.
    std::vector<std::array<std::string, 3>> allowed_;
    std::vector<char> checkOk_;         // the checks whose decal patterns take the current decal
    bool decalPatterns_ = false;        // a check names decals
    std::uint64_t checkMask_ = 0;       // the same as bits, for the verdicts' keys
    bool labelsNamed_ = false, textsNamed_ = false;  // a check looks at names or texts
    ItemKey key_;
    VerdictCache<std::vector<Hit>> verdicts_;
    std::vector<Hit> scratch_;
    std::string described_;  // a forbidden item, as its finding tells it
    bool limits_;            // what the format allows is checked too
};

ItemChecks::ItemChecks(const RuleSet& rules, std::function<void(const Finding&)> onFinding,
                       bool limits)
    : impl_(std::make_unique<Impl>(rules, std::move(onFinding), limits)) {}
ItemChecks::~ItemChecks() = default;
void ItemChecks::enterDecal(std::string_view name, Unit unit) { impl_->enterDecal(name, unit); }
void ItemChecks::line(std::string_view line, std::uint64_t n, Place place) {
    impl_->line(line, n, place);
}
void ItemChecks::report(std::uint64_t line, ItemKind kind, std::string_view check, bool error,
                        std::string_view found, std::string_view allowed) {
    impl_->report(line, kind, check, error, found, allowed);
}
std::uint64_t ItemChecks::errors() const { return impl_->errors_; }
std::uint64_t ItemChecks::warnings() const { return impl_->warnings_; }
const std::vector<std::uint64_t>& ItemChecks::matched() const { return impl_->matched_; }

namespace {

class Checker {
public:
    explicit Checker(const CheckRequest& r)
        : request_(r), reader_(r.input, r.readBlock), items_(r.rules, r.onFinding, r.structure) {}

    CheckResult run() {
        std::string_view line;
        auto step = reader_.start(line);
        while (step == DecalReader::Step::Line) {
            const std::uint64_t n = reader_.lineNumber();
            if (reader_.entered()) {
                endDecal(reader_.decal().header);
                items_.enterDecal(reader_.decal().name, reader_.decal().unit);
                if (reader_.layout().broken())
                    structure(reader_.decal().header, reader_.layout().why());
                const std::string& name = reader_.decal().name;
                if (request_.structure && name.size() > kMaxDecalName) {
                    beyond(reader_.decal().header, "the decal name '" + name + "' has " +
                                                       std::to_string(name.size()) +
                                                       " characters, over 40");
                }
            }
            if (reader_.broke())
                structure(n, reader_.layout().why());
            if (reader_.place() != Place::Header)
                items_.line(line, n, reader_.place());
            step = reader_.next(DecalReader::Sight::Items, {}, line);
        }
        if (step == DecalReader::Step::End) {
            endDecal(reader_.lineNumber());
        } else {
            // An empty or unreadable library fails as a run of it does.
            result_.outcome = step == DecalReader::Step::FormatError ? Outcome::FormatError
                                                                     : Outcome::RunError;
            result_.detail = step == DecalReader::Step::Failed && reader_.readFailed()
                                 ? reader_.readFailure()
                                 : reader_.detail();
        }
        result_.decalHeaders = reader_.decals();
        result_.errors = items_.errors();
        result_.warnings = items_.warnings();
        result_.checkMatches = items_.matched();
        return result_;
    }

private:
    void beyond(std::uint64_t at, const std::string& why) {
        items_.report(at, ItemKind::Piece, "structure", true, why, {});
    }

    // The decal left (at the next header, or the end) is told if it did not meet its counts.
    void endDecal(std::uint64_t at) {
        if (reader_.ended().broken())
            structure(at, reader_.ended().why());
        reported_ = false;
    }

    void structure(std::uint64_t at, const std::string& why) {
        if (!request_.structure || reported_)
            return;
        reported_ = true;
        items_.report(at, ItemKind::Piece, "structure", true, why, {});
    }

    const CheckRequest& request_;
    DecalReader reader_;
    CheckResult result_;
    bool reported_ = false;  // the current decal's structure fault is reported
    ItemChecks items_;
    static constexpr std::size_t kMaxDecalName = 40;
};

}  // namespace

CheckResult runCheck(const CheckRequest& request) {
    return Checker(request).run();
}

}  // namespace trelvo
