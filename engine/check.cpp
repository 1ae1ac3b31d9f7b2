#include "engine/check.h"

#include <optional>
#include <vector>

#include "engine/decal_format.h"
#include "engine/decal_layout.h"
#include "engine/decimal.h"
#include "engine/fields.h"
#include "engine/glob.h"
#include "engine/verdict_cache.h"

namespace trelvo {

const char* kindName(ItemKind kind) {
    switch (kind) {
        case ItemKind::Label:
            return "label";
        case ItemKind::Text:
            return "text";
        default:
            return "piece";
    }
}

namespace {

// An item as the checks see it: its kind, name and the texts of its fields.
struct Item {
    ItemKind kind;
    std::string_view keyword, name, layer, width, height, style;
};

// An item's width and height read once for every check.
struct Values {
    ReadWidth width, height;
};

bool pieceMatches(const PieceRule& r, const Item& it, const Values& v) {
    return (!r.style || sameText(it.style, *r.style)) && (!r.layer || sameText(it.layer, *r.layer)) &&
           (r.keywords == kAnyKeyword || (pieceKeywordOf(it.keyword) & r.keywords) != 0) &&
           widthPasses(r.width, v.width);
}

bool labelMatches(const LabelRule& r, const Item& it, const Values& v) {
    const bool nameOk = !r.name || (it.kind == ItemKind::Label ? it.name == *r.name
                                                               : globMatch(*r.name, it.name));
    return nameOk && (!r.layer || sameText(it.layer, *r.layer)) && widthPasses(r.height, v.height) &&
           widthPasses(r.width, v.width);
}

std::string unitName(Unit u) {
    return u == Unit::Millimetres ? "mm" : "mil";
}

}  // namespace

class ItemChecks::Impl {
public:
    Impl(const RuleSet& rules, std::function<void(const Finding&)> onFinding)
        : rules_(rules), onFinding_(std::move(onFinding)) {
        for (const Check& c : rules.checks) {
            decalPatterns_ |= !(c.kind == ItemKind::Piece ? c.piece.decals : c.label.decals).patterns.empty();
            if (c.kind != ItemKind::Piece && c.label.name)
                (c.kind == ItemKind::Label ? labelsNamed_ : textsNamed_) = true;
            std::string allowed;
            for (const std::string& a : c.allowedText)
                allowed += (allowed.empty() ? "" : ", ") + a;
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

    void line(std::string_view line, std::uint64_t n, DecalLayout::Line kind) {
        if (rules_.checks.empty())
            return;
        if (kind == DecalLayout::Line::Label || kind == DecalLayout::Line::Text) {
            held_.assign(line);
            heldLine_ = n;
            return;
        }
        if (kind == DecalLayout::Line::LabelName || kind == DecalLayout::Line::TextString) {
            const bool label = kind == DecalLayout::Line::LabelName;
            std::string_view f[kLabelLayerField + 1];
            SplitAtSpaces(held_, f + 1, kLabelLayerField);
            Item it{label ? ItemKind::Label : ItemKind::Text, {}, label ? trimSpaces(line) : line,
                    f[label ? kLabelLayerField : kTextLayerField],
                    f[label ? kLabelWidthField : kTextWidthField],
                    f[label ? kLabelHeightField : kTextHeightField], {}};
            apply(it, heldLine_);
            return;
        }
        std::string_view p[kPieceFields + 1];
        if (isPieceHeaderLine(line) && SplitAtSpaces(line, p + 1, kPieceFields) == kPieceFields)
            apply(Item{ItemKind::Piece, p[1], p[1], p[4], p[3], {}, p[5]}, n);
    }

    void report(std::uint64_t line, ItemKind kind, std::string_view check, bool error,
                std::string_view found, std::string_view allowed) {
        ++(error ? errors_ : warnings_);
        if (!onFinding_)
            return;
        onFinding_(Finding{line, inDecal_ ? std::string_view(decal_) : std::string_view(), kind,
                           check, error, found, allowed});
    }

    std::uint64_t errors_ = 0, warnings_ = 0;

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
        for (const std::string_view field : {it.keyword, it.layer, it.width, it.height, it.style})
            key_.add(field);
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

    // A check an item fails, with what was found; forbidden items are described when reported.
    struct Hit {
        std::size_t check;
        std::string found;
        bool forbidden = false;
    };

    void judge(const Item& it, std::vector<Hit>& hits) const {
        hits.clear();
        const Values v{{Decimal::parse(it.width), unit_},
                       {it.kind != ItemKind::Piece ? Decimal::parse(it.height) : std::nullopt, unit_}};
        for (std::size_t i = 0; i < rules_.checks.size(); ++i) {
            const Check& c = rules_.checks[i];
            if (c.kind != it.kind || !checkOk_[i])
                continue;
            const bool matches = it.kind == ItemKind::Piece ? pieceMatches(c.piece, it, v)
                                                            : labelMatches(c.label, it, v);
            if (!matches)
                continue;
            if (c.forbid) {
                hits.push_back({i, {}, true});
                continue;
            }
            std::string found;
            const auto valueIn = [&](std::string_view what, std::string_view value) {
                ((found += what) += value) += unit_ == Unit::Millimetres ? " (mm)" : " (mil)";
            };
            if (!c.allowedLayers.empty() && !contains(c.allowedLayers, it.layer))
                (found += "layer ") += it.layer;
            else if (!c.allowedWidths.empty() && !passesAny(c.allowedWidths, v.width))
                valueIn("width ", it.width);
            else if (!c.allowedHeights.empty() && !passesAny(c.allowedHeights, v.height))
                valueIn("height ", it.height);
            if (!found.empty())
                hits.push_back({i, std::move(found), false});
        }
    }

    void report(const Item& it, const std::vector<Hit>& hits, std::uint64_t n) {
        for (const Hit& h : hits) {
            const Check& c = rules_.checks[h.check];
            if (h.forbidden) {
                described_.clear();
                describe(it, described_);
                report(n, it.kind, c.name, c.error, described_, {});
            } else {
                report(n, it.kind, c.name, c.error, h.found, allowed_[h.check]);
            }
        }
    }

    static bool contains(const std::vector<std::string>& list, std::string_view v) {
        for (const std::string& s : list) {
            if (sameText(s, v))
                return true;
        }
        return false;
    }

    bool passesAny(const std::vector<WidthTest>& tests, const ReadWidth& v) const {
        for (const WidthTest& t : tests) {
            if (widthPasses(t, v))
                return true;
        }
        return false;
    }

    void describe(const Item& it, std::string& s) const {
        if (it.kind == ItemKind::Piece)
            s += it.keyword;
        else
            ((s += kindName(it.kind)) += ' ') += it.name;
        s += " on layer " + std::string(it.layer) + ", width " + std::string(it.width) + " (" +
             unitName(unit_) + ")";
        if (it.kind != ItemKind::Piece)
            s += ", height " + std::string(it.height);
    }

    const RuleSet& rules_;
    std::function<void(const Finding&)> onFinding_;
    bool inDecal_ = false;
    Unit unit_ = Unit::Mils;
    std::string decal_;
    std::string held_;  // a label or text line, until its second line comes
    std::uint64_t heldLine_ = 0;
    std::vector<std::string> allowed_;  // each check's allowed values, as a finding gives them
    std::vector<char> checkOk_;         // the checks whose decal patterns take the current decal
    bool decalPatterns_ = false;        // a check names decals
    std::uint64_t checkMask_ = 0;       // the same as bits, for the verdicts' keys
    bool labelsNamed_ = false, textsNamed_ = false;  // a check looks at names or texts
    ItemKey key_;
    VerdictCache<std::vector<Hit>> verdicts_;
    std::vector<Hit> scratch_;
    std::string described_;  // a forbidden item, as its finding tells it
};

ItemChecks::ItemChecks(const RuleSet& rules, std::function<void(const Finding&)> onFinding)
    : impl_(std::make_unique<Impl>(rules, std::move(onFinding))) {}
ItemChecks::~ItemChecks() = default;
void ItemChecks::enterDecal(std::string_view name, Unit unit) { impl_->enterDecal(name, unit); }
void ItemChecks::line(std::string_view line, std::uint64_t n, DecalLayout::Line kind) {
    impl_->line(line, n, kind);
}
void ItemChecks::report(std::uint64_t line, ItemKind kind, std::string_view check, bool error,
                        std::string_view found, std::string_view allowed) {
    impl_->report(line, kind, check, error, found, allowed);
}
std::uint64_t ItemChecks::errors() const { return impl_->errors_; }
std::uint64_t ItemChecks::warnings() const { return impl_->warnings_; }

namespace {

class Checker {
public:
    explicit Checker(const CheckRequest& r)
        : request_(r), ends_(r.input, nullptr, r.threads, r.readBlock, 0, r.ring),
          reader_(ends_.input(), r.readBlock), items_(r.rules, r.onFinding) {}

    CheckResult run() {
        std::string_view line;
        if (!reader_.readLine(line)) {
            fail(Outcome::WriteError,  // as a run ends on an empty or unreadable library
                 reader_.failed() ? reader_.failure() : "the file is empty");
            return result_;
        }
        if (!isSignatureLine(line)) {
            fail(Outcome::FormatError,
                 line.starts_with("\xEF\xBB\xBF") ? "the file starts with a UTF-8 byte order mark"
                                                  : "the first line does not begin with " +
                                                        std::string(kSignature));
            return result_;
        }
        std::uint64_t n = 1;  // the number of the line in hand
        bool afterBlank = false;
        std::uint64_t headerLine = 0;
        std::string_view f[kDecalHeaderFields + 1];
        // Outside a decal's counted lines only piece header lines, empty lines and TIMESTAMP
        // lines are looked at; the rest go by in bulk, as in the survey.
        const LineStops& stop = kPassStops;
        const LineReader::KeepLine keep{
            [](void*, std::string_view l) { return l[0] == 'T' && !l.starts_with("TIMESTAMP"); },
            nullptr};
        for (;;) {
            const bool counted = layout_ && !layout_->broken();
            const auto next = reader_.copyToNextLine(nullptr, afterBlank || counted ? nullptr : &stop,
                                                     line, n, keep);
            if (next != LineReader::Next::Line)
                break;
            bool entered = false;
            if (afterBlank && SplitAtSpaces(line, f + 1, kDecalHeaderFields) == kDecalHeaderFields) {
                if (!enter(f, n))
                    return withCounts();
                headerLine = n;
                entered = true;
            } else if (line.starts_with("TIMESTAMP") && n > 2 && headerLine + 1 != n) {
                std::string_view previous;
                if (reader_.previousLine(previous) &&
                    SplitAtSpaces(previous, f + 1, kDecalHeaderFields) == kDecalHeaderFields) {
                    if (!enter(f, n - 1))
                        return withCounts();
                    headerLine = n - 1;
                }
            }
            if (!entered)
                look(line, n);
            afterBlank = line.empty();
            // A piece's corners and the terminal lines are not looked at: passed over by their
            // counts.
            if (layout_ && !layout_->broken() && layout_->cornersLeft() > 0) {
                const auto passed = reader_.copyLines(static_cast<std::uint64_t>(layout_->cornersLeft()), DecalLayout::kCornerInitials);
                layout_->skipCorners(static_cast<long>(passed));
                n += passed;
            } else if (layout_ && !layout_->broken() && layout_->terminalsLeft() > 0) {
                static constexpr LineStops kTimestamp = LineStops::prefixes({"TI"});
                const auto passed =
                    reader_.copyLines(static_cast<std::uint64_t>(layout_->terminalsLeft()),
                                      DecalLayout::kTerminalInitials, nullptr, nullptr, &kTimestamp);
                layout_->skipTerminals(static_cast<long>(passed));
                n += passed;
            }
        }
        if (reader_.failed()) {
            fail(Outcome::WriteError, reader_.failure());
            return withCounts();
        }
        endDecal(n);
        return withCounts();
    }

private:
    CheckResult& withCounts() {
        result_.errors = items_.errors();
        result_.warnings = items_.warnings();
        return result_;
    }

    void fail(Outcome o, std::string why) {
        result_.outcome = o;
        result_.detail = std::move(why);
    }

    bool enter(const std::string_view* f, std::uint64_t at) {
        const auto unit = unitFromLetter(f[2]);
        if (!unit) {
            fail(Outcome::FormatError, "line " + std::to_string(at) + ": the unit letter '" +
                                           std::string(f[2]) + "' of decal '" + std::string(f[1]) +
                                           "' is neither M nor I");
            return false;
        }
        endDecal(at);
        ++result_.decalHeaders;
        items_.enterDecal(f[1], *unit);
        layout_.emplace(f);
        if (layout_->broken())
            structure(at, layout_->why());
        return true;
    }

    void endDecal(std::uint64_t at) {
        if (layout_ && !layout_->broken() && !layout_->pastTexts())
            structure(at, "its lines end before its header's counts do");
        else if (layout_ && !layout_->broken() && layout_->counts().terminals > 0)
            layout_->next("");  // the terminals are counted when the next line is no terminal
        if (layout_ && layout_->broken() && !reported_)
            structure(at, layout_->why());
        layout_.reset();
        reported_ = false;
    }

    void structure(std::uint64_t at, const std::string& why) {
        if (!request_.structure || reported_)
            return;
        reported_ = true;
        items_.report(at, ItemKind::Piece, "structure", true, why, {});
    }

    void look(std::string_view line, std::uint64_t n) {
        DecalLayout::Line kind = DecalLayout::Line::Rest;
        if (layout_ && !layout_->broken()) {
            kind = layout_->next(line);
            if (kind == DecalLayout::Line::Broken)
                structure(n, layout_->why());
            if (kind == DecalLayout::Line::Rest)
                layout_.reset();
        }
        items_.line(line, n, kind);
    }

    const CheckRequest& request_;
    PassEnds ends_;
    LineReader reader_;
    CheckResult result_;
    std::optional<DecalLayout> layout_;
    bool reported_ = false;  // the current decal's structure fault is reported
    ItemChecks items_;
};

}  // namespace

CheckResult runCheck(const CheckRequest& request) {
    return Checker(request).run();
}

}  // namespace trelvo
