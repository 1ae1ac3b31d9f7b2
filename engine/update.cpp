#include "engine/update.h"

#include <algorithm>
#include <climits>
#include <deque>
#include <map>
#include <optional>
#include <stdexcept>
#include <vector>

#include "engine/decal_reader.h"
#include "engine/decimal.h"
#include "engine/fields.h"
#include "engine/glob.h"
#include "engine/verdict_cache.h"
#include "files/line_ends.h"

namespace trelvo {

namespace {

// Any failure from the start of the pass on leaves through the one "File write error" outcome;
// why says what failed, for front ends that tell more than the box.
struct PassFailure {
    std::string why;
};

// A rule as the pass applies it: the width it sets, in both decal units.
struct PreparedRule {
    const PieceRule* rule;
    std::string written[2];    // the width written into a decal of each unit
};

// A new value in a decal of that unit.
Decimal inUnit(const Length& w, Unit unit) {
    auto c = w.in(unit);
    if (!c)
        throw PassFailure{"the width '" + w.text + "' has too many digits"};
    return *c;
}

class UpdatePass {
public:
    // input and output are the request's own, or what stands in for them (see runUpdate).
    UpdatePass(const UpdateRequest& request, ByteSource& input, ByteSink* output)
        : request_(request), rules_(request.rules), reader_(input, request.readBlock) {
        if (output) {
            writer_.emplace(*output, request.writeBlock);
            reader_.writeInPlace(*writer_);
        }
        if (writer_ && request.onFinding && !rules_.checks.empty())
            checks_.emplace(rules_, request.onFinding);
        result_.matches.pieces.assign(rules_.pieces.size(), 0);
        result_.matches.labels.assign(rules_.labels.size(), 0);
        result_.matches.texts.assign(rules_.texts.size(), 0);
        for (const PieceRule& r : rules_.pieces) {
            PreparedRule p{&r, {}};
            // A width that cannot be had in the other unit could never be compared there.
            if (r.width.kind == LengthTest::Kind::Equal && !(r.width.low[0] && r.width.low[1]))
                throw PassFailure{"the width '" + r.width.value.text + "' has too many digits"};
            for (Unit u : {Unit::Mils, Unit::Millimetres}) {
                if (r.setWidth) {
                    p.written[unitIndex(u)] = r.setWidth->unit == u
                                                  ? r.setWidth->text
                                                  : inUnit(*r.setWidth, u).toString();
                }
            }
            prepared_.push_back(std::move(p));
        }
        itemRules_ = !rules_.labels.empty() || !rules_.texts.empty();
        for (const auto* rules : {&rules_.labels, &rules_.texts}) {
            for (const LabelRule& r : *rules) {
                decalPatterns_ |= !r.decals.patterns.empty();
                if (r.name)
                    (rules == &rules_.labels ? labelsNamed_ : textsNamed_) = true;
            }
        }
        for (const PieceRule& r : rules_.pieces)
            decalPatterns_ |= !r.decals.patterns.empty();
        selectRules(nullptr);
    }

    UpdateResult run() {
        try {
            copy();
        } catch (const PassFailure& f) {
            fail(Outcome::RunError, f.why);
        } catch (const std::exception& e) {
            fail(Outcome::RunError, e.what());
        }
        if (checks_) {
            result_.checkErrors = checks_->errors();
            result_.checkWarnings = checks_->warnings();
            result_.matches.checks = checks_->matched();
        }
        return result_;
    }

private:
    void fail(Outcome outcome, std::string why) {
        result_.outcome = outcome;
        result_.detail = std::move(why);
    }

    LineWriter* out() { return writer_ ? &*writer_ : nullptr; }

    void write(std::string_view line) {
        if (writer_ && !writer_->writeLine(line))
            streamFailure();
    }

    // A failed step from line to line: the input could not be read, or the output written.
    [[noreturn]] void streamFailure() {
        throw PassFailure{reader_.readFailed() ? reader_.readFailure() : writer_->failure()};
    }

    void copy() {
        std::string_view line;
        auto step = reader_.start(line);
        if (step == DecalReader::Step::FormatError)
            return fail(Outcome::FormatError, reader_.detail());
        if (step == DecalReader::Step::Failed) {
            if (reader_.readFailed())
                streamFailure();
            throw PassFailure{reader_.detail()};  // no line at all
        }
        write(line);

        bool headerSeen = false;
        bool inSelectedDecal = !request_.decalFilter;
        // Fields 1 to 5 of the piece line being looked at (f[1] is field 1), as views into it.
        std::string_view f[kPieceFields + 1];
        std::string rebuilt;

        // Piece lines the rules leave as they are go with the bulk copy, without being handed
        // out, unless checks look at them. The line handed out next comes with what was found.
        struct KeepContext {
            UpdatePass* pass;
            const bool* selected;
            const char* decided = nullptr;  // the line held back, if it is a rule piece
            std::string_view f[kPieceFields + 1];
            PieceResult result = PieceResult::Unchanged;
            Piece piece;
        } keepContext{this, &inSelectedDecal, nullptr, {}, {}, {}};
        const LineReader::KeepLine keep{
            [](void* context, std::string_view l) {
                auto& k = *static_cast<KeepContext*>(context);
                if (!isRulePiece(l, *k.selected, k.f))
                    return !k.pass->checks_;
                k.result = k.pass->rewritePiece(k.f, k.pass->reader_.decal().unit, k.piece);
                if (k.result == PieceResult::Unchanged)
                    return !k.pass->checks_;
                k.decided = l.data();
                return false;
            },
            &keepContext};
        // While a decal is held, its runs of counted lines (corners) go into the hold.
        const LineReader::TakeBytes intoHold = [](void* self, std::string_view bytes) {
            static_cast<UpdatePass*>(self)->holdRaw(bytes);
            return true;
        };

        for (;;) {
            keepContext.decided = nullptr;
            const auto sight = holding_ ? DecalReader::Sight::Lines
                               : checks_ ? DecalReader::Sight::Items
                                         : DecalReader::Sight::Pieces;
            step = reader_.next(sight, {out(), holding_ ? intoHold : nullptr, this, keep}, line);
            if (step == DecalReader::Step::End)
                break;
            if (step == DecalReader::Step::Failed)
                streamFailure();
            if (step == DecalReader::Step::FormatError)
                return fail(Outcome::FormatError, reader_.detail());
            const std::uint64_t lineNumber = reader_.lineNumber();
            const Place place = reader_.place();
            const Unit decalUnit = reader_.decal().unit;

            if (reader_.entered()) {
                finishDecal(reader_.ended(), headerSeen);
                headerSeen = true;
                ++result_.decalHeaders;
                const std::string& name = reader_.decal().name;
                if (request_.decalFilter)
                    inSelectedDecal = request_.decalFilter(name);
                if (checks_)
                    checks_->enterDecal(name, decalUnit);
                // The decal's lines are held until they are seen to follow its counts where
                // its labels and texts may change.
                holding_ = itemRules_ && inSelectedDecal;
                selectRules(&name);
            }

            bool rewritten = false;
            Piece piece;
            PieceResult result = PieceResult::Unchanged;
            if (keepContext.decided != nullptr && keepContext.decided == line.data()) {
                std::copy(keepContext.f + 1, keepContext.f + kPieceFields + 1, f + 1);
                result = keepContext.result;
                piece = keepContext.piece;
            } else if (place == Place::Piece && isRulePiece(line, inSelectedDecal, f)) {
                result = rewritePiece(f, decalUnit, piece);
            }
            if (result == PieceResult::BadWidth) {
                throw PassFailure{"line " + std::to_string(lineNumber) + ": the width '" +
                                  std::string(f[3]) + "' is not a number"};
            }
            if (result == PieceResult::Rewritten) {
                ++result_.matches.pieces[static_cast<std::size_t>(piece.rule)];
                rebuildPieceLine(f[1], f[2], piece.width, piece.layer, f[5], rebuilt);
                const Rewrite change{reader_.decal().name, lineNumber, f[1], f[4], piece.layer,
                                     f[3], piece.width, decalUnit, ItemKind::Piece, {},
                                     piece.rule + 1, {}, {}};
                line = rebuilt;
                rewritten = true;
                ++result_.rewrittenLines;
                if (request_.onRewrite && holding_ && place != Place::Header)
                    holdRewrite(change);
                else if (request_.onRewrite)
                    request_.onRewrite(change);
            }
            if (holding_ && place != Place::Header) {
                hold(line, lineNumber, place);
                const DecalLayout& layout = reader_.layout();
                if (layout.pastTexts() || layout.broken() || held_.size() > kMaxHeld)
                    finishDecal(layout, headerSeen);
            } else {
                write(line);
                if (checks_)
                    checks_->line(line, lineNumber, place);
            }

            if (rewritten && headerSeen)
                countDecal(headerSeen);
        }
        finishDecal(reader_.ended(), headerSeen);
        // A full disk often shows only when the last block is written: never call that success.
        if (writer_ && !writer_->finish())
            streamFailure();
    }

    // A line the rules look at: a piece header line of 5 fields in a selected decal. f[1] to
    // f[5] receive its fields.
    static bool isRulePiece(std::string_view line, bool selected, std::string_view* f) {
        return selected &&
               SplitAtSpaces(line, f + 1, kPieceFields) == kPieceFields;
    }

    // What the rules make of one piece header line.
    struct Piece {
        std::string_view width, layer;  // fields 3 and 4 as they are to be written
        int rule = 0;                   // the index of the rule that decided it
    };
    enum class PieceResult { Unchanged, Rewritten, BadWidth };

    // f[1] to f[5]: the fields of a piece header line. Throws nothing, so that it can also
    // decide which lines the bulk copy may pass on; BadWidth fails the run.
    PieceResult rewritePiece(const std::string_view* f, Unit decalUnit, Piece& piece) {
        PieceVerdict v;
        std::string_view key;
        // A few rules are judged faster than a verdict is found again.
        if (prepared_.size() > 4 && prepared_.size() <= 64) {
            key_.start('P', static_cast<char>(decalUnit), pieceMask_);
            for (int i : {1, 3, 4, 5})
                key_.add(f[i]);
            key = key_.view();
        }
        if (key.empty()) {
            v = judgePiece(f, decalUnit);
        } else {
            bool known = false;
            PieceVerdict& kept = verdicts_.at(key, known);
            if (!known)
                kept = judgePiece(f, decalUnit);
            v = kept;
        }
        if (v.result == PieceResult::Rewritten) {
            const PreparedRule& p = prepared_[static_cast<std::size_t>(v.rule)];
            piece.layer = p.rule->setLayer ? std::string_view(*p.rule->setLayer) : f[4];
            piece.width = p.rule->setWidth ? std::string_view(p.written[unitIndex(decalUnit)]) : f[3];
            piece.rule = v.rule;
        }
        return v.result;
    }

    // What the rules decide for a piece line: the first rule that matches it, if any.
    struct PieceVerdict {
        PieceResult result = PieceResult::Unchanged;
        int rule = 0;
    };
    PieceVerdict judgePiece(const std::string_view* f, Unit decalUnit) const {
        const Item piece{ItemKind::Piece, f[1], {}, f[4], f[5], {f[3], decalUnit}, {{}, decalUnit}, f[2]};
        for (std::size_t i = 0; i < prepared_.size(); ++i) {
            const PieceRule& r = *prepared_[i].rule;
            if (!pieceOk_[i] || !matchesExceptWidth(r, piece))
                continue;
            if (rules_.widthMustBeNumber && r.width.kind != LengthTest::Kind::Any &&
                !piece.width.number())
                return {PieceResult::BadWidth, 0};
            if (lengthPasses(r.width, piece.width))
                return {PieceResult::Rewritten, static_cast<int>(i)};
        }
        return {};
    }

    // Which rules may match in the decal entered (decalName null: before the first one).
    void selectRules(const std::string* decalName) {
        if (selected_ && !decalPatterns_)
            return;  // every rule takes every decal
        selected_ = true;
        const auto select = [decalName](const auto& rules, std::vector<char>& ok) {
            ok.assign(rules.size(), 0);
            for (std::size_t i = 0; i < rules.size(); ++i)
                ok[i] = rules[i].decals.accepts(decalName);
            return maskOf(ok);
        };
        pieceMask_ = select(rules_.pieces, pieceOk_);
        labelMask_ = select(rules_.labels, labelOk_);
        textMask_ = select(rules_.texts, textOk_);
    }

    void countDecal(bool& headerSeen) {
        if (result_.decals == INT32_MAX)
            throw PassFailure{"more decals than can be counted"};
        ++result_.decals;
        headerSeen = false;
    }

    // ---- A decal's lines held from its header to its last text, so that its labels and texts
    // are changed only once its lines have been seen to follow its counts ----

    static constexpr std::size_t kMaxHeld = 4 << 20;

    struct HeldLine {
        std::size_t offset, size;  // in held_
        std::uint64_t number;
        Place kind;
        int rewrite = -1;  // index in heldRewrites_
        bool raw = false;  // whole lines with their CR LF, written as they are
    };
    // A change with its texts copied, since the line it came from is gone by the time the
    // observer hears of it (a deque's strings stay where they are).
    Rewrite kept(Rewrite c) {
        for (std::string_view* t : {&c.decal_name, &c.keyword, &c.old_layer, &c.new_layer,
                                    &c.old_width, &c.new_width, &c.name, &c.old_height,
                                    &c.new_height})
            *t = heldTexts_.emplace_back(*t);
        return c;
    }

    void hold(std::string_view line, std::uint64_t number, Place kind) {
        if (heldLines_.empty()) {
            heldDecal_ = reader_.decal().name;
            heldFrom_ = reader_.decal().header;
            heldUnit_ = reader_.decal().unit;
        }
        heldLines_.push_back({held_.size(), line.size(), number, kind,
                              pendingRewrite_ ? static_cast<int>(heldRewrites_.size()) - 1 : -1});
        pendingRewrite_ = false;
        held_.append(line);
    }

    void holdRaw(std::string_view bytes) {
        heldLines_.push_back({held_.size(), bytes.size(), 0, Place::Corner, -1, true});
        held_.append(bytes);
    }

    void holdRewrite(const Rewrite& c) {
        heldRewrites_.push_back(kept(c));
        pendingRewrite_ = true;
    }

    // Applies the label and text rules to the held lines if the decal followed its counts, then
    // writes them and tells the observer of every change in line order.
    void finishDecal(const DecalLayout& layout, bool& headerSeen) {
        if (!holding_)
            return;
        holding_ = false;
        const bool overflow = held_.size() > kMaxHeld;
        const bool broken = !layout.pastTexts() || overflow;
        if (broken) {
            std::string why = layout.broken() && !layout.cutShort() ? layout.why()
                              : overflow ? "it is too long to hold"
                                         : "it ends before its header's counts do";
            warn("decal '" + heldDecal_ + "' (line " + std::to_string(heldFrom_) +
                 "): its labels and texts were left as they are: " + why);
        }
        std::vector<std::string> replaced(heldLines_.size());
        bool changed = false;
        if (!broken) {
            for (std::size_t i = 0; i + 1 < heldLines_.size(); ++i) {
                const auto kind = heldLines_[i].kind;
                if (kind != Place::Label && kind != Place::Text)
                    continue;
                const bool label = kind == Place::Label;
                if (rewriteItem(i, label, replaced[i])) {
                    changed = true;
                    ++result_.rewrittenLines;
                    ++(label ? result_.rewrittenLabels : result_.rewrittenTexts);
                }
            }
        }
        if (changed && headerSeen)
            countDecal(headerSeen);
        std::size_t nextItemChange = 0;
        for (std::size_t i = 0; i < heldLines_.size(); ++i) {
            const HeldLine& h = heldLines_[i];
            if (h.raw) {
                if (writer_ && !writer_->write(held_.data() + h.offset, h.size))
                    streamFailure();
                continue;
            }
            const std::string_view text = !replaced[i].empty()
                                              ? std::string_view(replaced[i])
                                              : std::string_view(held_).substr(h.offset, h.size);
            write(text);
            if (checks_)
                checks_->line(text, h.number, h.kind);
            if (!request_.onRewrite)
                continue;
            if (h.rewrite >= 0)
                request_.onRewrite(heldRewrites_[static_cast<std::size_t>(h.rewrite)]);
            else if (nextItemChange < itemChanges_.size() &&
                     itemChanges_[nextItemChange].line_number == h.number)
                request_.onRewrite(itemChanges_[nextItemChange++]);
        }
        held_.clear();
        heldLines_.clear();
        heldRewrites_.clear();
        itemChanges_.clear();
        heldTexts_.clear();
    }

    std::string_view heldText(std::size_t i) const {
        return std::string_view(held_).substr(heldLines_[i].offset, heldLines_[i].size);
    }

    // The new value of a height or width field, in the decal's unit and its shortest form; made
    // once for each value and unit.
    std::string_view written(const Length& w) {
        std::optional<std::string>& kept = writtenIn_[{&w, unitIndex(heldUnit_)}];
        if (!kept)
            kept = inUnit(w, heldUnit_).toString();
        return *kept;
    }

    // Held line i, a label or text line, with the first rule that matches it applied; false
    // when none does or the line stays as it was.
    bool rewriteItem(std::size_t i, bool label, std::string& out) {
        const std::string_view line = heldText(i);
        const std::string_view name = label ? trimSpaces(heldText(i + 1)) : heldText(i + 1);
        std::string_view f[kTextWidthField + 2];
        SplitAtSpaces(line, f + 1, kLabelLayerField);
        const int layerAt = label ? kLabelLayerField : kTextLayerField;
        const int heightAt = label ? kLabelHeightField : kTextHeightField;
        const int widthAt = label ? kLabelWidthField : kTextWidthField;
        const Item item{label ? ItemKind::Label : ItemKind::Text, {}, name, f[layerAt], {},
                        {f[widthAt], heldUnit_}, {f[heightAt], heldUnit_}, {}};
        const int r = itemRule(item);
        if (r < 0)
            return false;
        ++(label ? result_.matches.labels : result_.matches.texts)[static_cast<std::size_t>(r)];
        const LabelRule& rule = (label ? rules_.labels : rules_.texts)[static_cast<std::size_t>(r)];
        // Only the changed fields' texts are replaced; every other byte stays.
        out = withItemFields(line, label, rule.setLayer ? std::string_view(*rule.setLayer) : "",
                             rule.setHeight ? written(*rule.setHeight) : std::string_view(),
                             rule.setWidth ? written(*rule.setWidth) : std::string_view());
        if (out == line) {
            out.clear();
            return false;
        }
        if (request_.onRewrite) {
            std::string_view nf[kTextWidthField + 2];
            SplitAtSpaces(out, nf + 1, kLabelLayerField);
            const Rewrite c{heldDecal_, heldLines_[i].number, {}, f[layerAt], nf[layerAt],
                                 f[widthAt],  nf[widthAt], heldUnit_,
                                 label ? ItemKind::Label : ItemKind::Text, name,
                                 r + 1, f[heightAt], nf[heightAt]};
            itemChanges_.push_back(kept(c));
        }
        return true;
    }

    // The index of the first rule that matches the item, -1 for none; judged once per distinct
    // item, as pieces are.
    int itemRule(const Item& it) {
        const bool label = it.kind == ItemKind::Label;
        const bool named = label ? labelsNamed_ : textsNamed_;
        const auto& rules = label ? rules_.labels : rules_.texts;
        if (rules.size() > 64 || (!label && named))
            return judgeItem(it);
        key_.start(label ? 'L' : 'X', static_cast<char>(heldUnit_), label ? labelMask_ : textMask_);
        for (const std::string_view field : {it.layer, it.height.text(), it.width.text()})
            key_.add(field);
        key_.add(named ? it.name : std::string_view());
        const std::string_view key = key_.view();
        if (key.empty())
            return judgeItem(it);
        bool known = false;
        int& kept = itemVerdicts_.at(key, known);
        if (!known)
            kept = judgeItem(it);
        return kept;
    }

    int judgeItem(const Item& it) const {
        const bool label = it.kind == ItemKind::Label;
        const auto& rules = label ? rules_.labels : rules_.texts;
        const auto& ok = label ? labelOk_ : textOk_;
        for (std::size_t r = 0; r < rules.size(); ++r) {
            if (ok[r] && matches(rules[r], it))
                return static_cast<int>(r);
        }
        return -1;
    }

    void warn(std::string text) {
        if (result_.warnings.size() < UpdateResult::kMaxWarnings)
            result_.warnings.push_back(std::move(text));
        else
            ++result_.moreWarnings;
    }

    const UpdateRequest& request_;
    const RuleSet& rules_;
    DecalReader reader_;
    std::optional<LineWriter> writer_;
    std::vector<PreparedRule> prepared_;
    std::vector<char> pieceOk_, labelOk_, textOk_;
    bool decalPatterns_ = false;  // a rule names decals
    bool selected_ = false;
    std::uint64_t pieceMask_ = 0, labelMask_ = 0, textMask_ = 0;  // the Ok lists as bits, for keys
    bool labelsNamed_ = false, textsNamed_ = false;  // a rule looks at names or texts
    ItemKey key_;
    VerdictCache<PieceVerdict> verdicts_;
    VerdictCache<int> itemVerdicts_;
    std::map<std::pair<const Length*, int>, std::optional<std::string>> writtenIn_;
    bool itemRules_ = false;
    std::optional<ItemChecks> checks_;
    bool holding_ = false;  // the decal's lines are held, for its labels and texts
    std::uint64_t heldFrom_ = 0;
    Unit heldUnit_ = Unit::Mils;
    std::string heldDecal_;
    std::string held_;
    std::vector<HeldLine> heldLines_;
    std::vector<Rewrite> heldRewrites_, itemChanges_;
    std::deque<std::string> heldTexts_;
    bool pendingRewrite_ = false;
    UpdateResult result_;
};

}  // namespace

UpdateResult runUpdate(const UpdateRequest& request) {
    try {
        if (request.keepLineEnds && request.output) {
            LineEndQueue ends;
            LineEndTap input(request.input, ends);
            LineEndSink output(*request.output, ends);
            return UpdatePass(request, input, &output).run();
        }
        return UpdatePass(request, request.input, request.output).run();
    } catch (const PassFailure& f) {  // a width that cannot be had in the other unit
        UpdateResult r;
        r.outcome = Outcome::RunError;
        r.detail = f.why;
        return r;
    }
}

}  // namespace trelvo
