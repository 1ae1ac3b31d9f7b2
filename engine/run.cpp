#include "engine/run.h"

#include <algorithm>
#include <climits>
#include <stdexcept>
#include <vector>

#include "engine/decimal.h"
#include "engine/fields.h"
#include "engine/messages.h"
#include "engine/rules.h"

namespace trelvo {

namespace {

// Equal texts, compared in line: the fields compared are a few bytes long, shorter than the
// call to memcmp that == makes.
bool sameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i])
            return false;
    }
    return true;
}

// Any failure from the start of the pass on leaves through the one "File write error" outcome;
// why says what failed, for front ends that tell more than the box.
struct PassFailure {
    std::string why;
};

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// A rule as the pass applies it: its width test and the width it sets, in both decal units.
struct PreparedRule {
    const PieceRule* rule;
    Decimal compare[2];        // Equal: the value in a decal of each unit
    std::string written[2];    // the width written into a decal of each unit
};

int unitIndex(Unit u) {
    return u == Unit::Millimetres ? 1 : 0;
}

Decimal inUnit(const Width& w, Unit unit) {
    if (w.unit == unit)
        return w.value;
    auto c = w.unit == Unit::Mils ? w.value.milsToMm() : w.value.mmToMils();
    if (!c)
        throw PassFailure{"the width '" + w.text + "' has too many digits"};
    return *c;
}

class UpdatePass {
public:
    UpdatePass(MainFormState& st, RunContext& ctx, const RuleSet& rules, const PassHooks& hooks)
        : st_(st), ctx_(ctx), files_(ctx.files), rules_(rules), hooks_(hooks) {
        for (const PieceRule& r : rules.pieces) {
            PreparedRule p{&r, {}, {}};
            for (Unit u : {Unit::Mils, Unit::Millimetres}) {
                if (r.width.kind == WidthTest::Kind::Equal)
                    p.compare[unitIndex(u)] = inUnit(r.width.value, u);
                if (r.setWidth) {
                    p.written[unitIndex(u)] = r.setWidth->unit == u
                                                  ? r.setWidth->text
                                                  : inUnit(*r.setWidth, u).toString();
                }
            }
            prepared_.push_back(std::move(p));
        }
    }

    Outcome run() {
        try {
            openOutput();
            return copy();
        } catch (const PassFailure& f) {
            return finish(Outcome::WriteError, messages::writeError(), f.why);
        } catch (const std::exception& e) {
            return finish(Outcome::WriteError, messages::writeError(), e.what());
        }
    }

private:
    void openOutput() {
        st_.OutFileNum = files_.FreeFile();
        bool opened = false;
        if (hooks_.dry_run)
            opened = files_.OpenDiscard(st_.OutFileNum);
        else if (hooks_.direct_output)
            opened = files_.OpenOutput(st_.OutFileNum, st_.OutFileName);
        else
            opened = files_.OpenStagedOutput(st_.OutFileNum, st_.OutFileName);
        if (!opened)
            throw PassFailure{files_.FailureReason()};
    }

    void write(std::string_view line) {
        if (!files_.WriteLine(st_.OutFileNum, line))
            throw PassFailure{files_.FailureReason()};
    }

    [[noreturn]] void readFailure() {
        throw PassFailure{files_.FailureReason()};
    }

    Outcome copy() {
        std::string_view line;
        if (!files_.ReadLine(st_.InFileNum, line)) {
            if (files_.AtEnd(st_.InFileNum))
                throw PassFailure{"the file is empty"};  // no line at all
            readFailure();
        }
        if (!isSignatureLine(line)) {
            return finish(Outcome::FormatError, messages::formatError(),
                          line.starts_with(kByteOrderMark)
                              ? "the file starts with a UTF-8 byte order mark"
                              : "the first line does not begin with " + std::string(kSignature));
        }
        write(line);

        std::uint64_t lineNumber = 1;
        std::uint64_t headerLine = 0;  // the last recognised decal header
        Unit decalUnit = Unit::Mils;
        bool afterBlank = false;
        bool headerSeen = false;
        bool inSelectedDecal = !hooks_.decal_filter;
        std::string decalName;
        long count = 0;
        std::uint64_t rewrittenLines = 0, headers = 0;
        // Fields 1 to 11 of the line being looked at (f[1] is field 1), as views into it.
        std::string_view f[kDecalHeaderFields + 1];
        std::string rebuilt;

        // A decal header: fields 1 to 11 in f. Nothing when its unit letter is not M or I.
        const auto enterDecal = [&](std::uint64_t at) {
            const auto unit = unitFromLetter(f[2]);
            if (!unit)
                return false;
            decalUnit = *unit;
            headerSeen = true;
            headerLine = at;
            ++headers;
            if (hooks_.decal_filter || hooks_.on_rewrite)
                decalName.assign(f[1]);
            if (hooks_.decal_filter)
                inSelectedDecal = hooks_.decal_filter(decalName);
            return true;
        };
        const auto badUnit = [&](std::uint64_t at) {
            return finish(Outcome::FormatError, messages::formatError(),
                          "line " + std::to_string(at) + ": the unit letter '" + std::string(f[2]) +
                              "' of decal '" + std::string(f[1]) + "' is neither M nor I");
        };

        // Runs of lines that no rule below looks at (not after an empty line, not empty, not
        // beginning like a piece keyword or a TIMESTAMP) are copied in bulk, byte for byte as
        // this loop would. So are the piece lines the rules leave as they are, and the lines
        // beginning with T other than a TIMESTAMP, without being handed out. The line that holds
        // a run back is handed out next with what was found for it.
        const std::string_view stop = kPassStopInitials;
        struct KeepContext {
            const UpdatePass* pass;
            const bool* selected;
            const Unit* unit;
            const char* decided = nullptr;  // the line held back, if it is a rule piece
            std::string_view f[kPieceFields + 1];
            PieceResult result = PieceResult::Unchanged;
            Piece piece;
        } keepContext{this, &inSelectedDecal, &decalUnit, nullptr, {}, {}, {}};
        const FileChannels::KeepLine keep{
            [](void* context, std::string_view l) {
                auto& k = *static_cast<KeepContext*>(context);
                if (l[0] == 'T')
                    return !isTimestampLine(l);
                if (!isRulePiece(l, *k.selected, k.f))
                    return true;
                k.result = k.pass->rewritePiece(k.f, *k.unit, k.piece);
                if (k.result == PieceResult::Unchanged)
                    return true;
                k.decided = l.data();
                return false;
            },
            &keepContext};

        for (;;) {
            keepContext.decided = nullptr;
            const auto next = files_.CopyToNextLine(st_.InFileNum, st_.OutFileNum,
                                                    afterBlank ? nullptr : &stop, line,
                                                    lineNumber, keep);
            if (next == FileChannels::Next::End)
                break;
            if (next == FileChannels::Next::Failed)
                readFailure();

            if (afterBlank) {
                if (SplitAtSpaces(line, f + 1, kDecalHeaderFields) == kDecalHeaderFields &&
                    !enterDecal(lineNumber))
                    return badUnit(lineNumber);
                afterBlank = false;
            }
            if (line.empty())
                afterBlank = true;
            // A library written without empty lines between decals: its headers show by the
            // TIMESTAMP line that follows each.
            // (The signature line is never one.)
            if (isTimestampLine(line) && lineNumber > 2 && headerLine + 1 != lineNumber) {
                std::string_view previous;
                if (files_.PreviousLine(st_.InFileNum, previous) &&
                    SplitAtSpaces(previous, f + 1, kDecalHeaderFields) == kDecalHeaderFields &&
                    !enterDecal(lineNumber - 1))
                    return badUnit(lineNumber - 1);
            }

            bool rewritten = false;
            Piece piece;
            PieceResult result = PieceResult::Unchanged;
            if (keepContext.decided != nullptr && keepContext.decided == line.data()) {
                std::copy(keepContext.f + 1, keepContext.f + kPieceFields + 1, f + 1);
                result = keepContext.result;
                piece = keepContext.piece;
            } else if (isRulePiece(line, inSelectedDecal, f)) {
                result = rewritePiece(f, decalUnit, piece);
            }
            if (result == PieceResult::BadWidth) {
                throw PassFailure{"line " + std::to_string(lineNumber) + ": the width '" +
                                  std::string(f[3]) + "' is not a number"};
            }
            if (result == PieceResult::Rewritten) {
                rebuildPieceLine(f[1], f[2], piece.width, piece.layer, f[5], rebuilt);
                if (hooks_.on_rewrite) {
                    hooks_.on_rewrite({decalName, lineNumber, f[1], f[4], piece.layer, f[3],
                                       piece.width, decalUnit});
                }
                line = rebuilt;
                rewritten = true;
                ++rewrittenLines;
            }
            write(line);

            if (rewritten && headerSeen) {
                if (count == INT32_MAX)
                    throw PassFailure{"more decals than can be counted"};
                ++count;
                headerSeen = false;
            }
        }
        // A full disk often shows only when the last block is written: never call that success.
        if (!files_.Commit(st_.OutFileNum))
            throw PassFailure{files_.FailureReason()};
        if (hooks_.stats) {
            hooks_.stats->decalHeaders = headers;
            hooks_.stats->rewrittenLines = rewrittenLines;
        }
        return finish(Outcome::Done, messages::done(count, st_.OutFileName), {});
    }

    static bool isTimestampLine(std::string_view line) {
        return line.starts_with("TIMESTAMP");
    }

    // A line the rules look at: a piece header line of 5 fields in a selected decal. f[1] to
    // f[5] receive its fields.
    static bool isRulePiece(std::string_view line, bool selected, std::string_view* f) {
        return isPieceHeaderLine(line) && selected &&
               SplitAtSpaces(line, f + 1, kPieceFields) == kPieceFields;
    }

    // What the rules make of one piece header line.
    struct Piece {
        std::string_view width, layer;  // fields 3 and 4 as they are to be written
    };
    enum class PieceResult { Unchanged, Rewritten, BadWidth };

    // f[1] to f[5]: the fields of a piece header line. Throws nothing, so that it can also
    // decide which lines the bulk copy may pass on; BadWidth fails the run.
    PieceResult rewritePiece(const std::string_view* f, Unit decalUnit, Piece& piece) const {
        const int u = unitIndex(decalUnit);
        std::optional<Decimal> width;
        bool widthRead = false;
        for (const PreparedRule& p : prepared_) {
            const PieceRule& r = *p.rule;
            if (r.style && !sameText(f[5], *r.style))
                continue;
            if (r.layer && !sameText(f[4], *r.layer))
                continue;
            if (r.width.kind != WidthTest::Kind::Any) {
                if (!widthRead) {
                    width = Decimal::parse(f[3]);
                    widthRead = true;
                }
                if (!width) {
                    if (rules_.widthMustBeNumber)
                        return PieceResult::BadWidth;
                    continue;
                }
                if (r.width.kind == WidthTest::Kind::Equal && !(*width == p.compare[u]))
                    continue;
            }
            piece.layer = r.setLayer ? std::string_view(*r.setLayer) : f[4];
            piece.width = r.setWidth ? std::string_view(p.written[u]) : f[3];
            return PieceResult::Rewritten;
        }
        return PieceResult::Unchanged;
    }

    Outcome finish(Outcome outcome, Report r, std::string detail) {
        Close_IO(st_, files_);
        r.detail = std::move(detail);
        if (ctx_.report)
            ctx_.report(r);
        return outcome;
    }

    MainFormState& st_;
    RunContext& ctx_;
    FileChannels& files_;
    const RuleSet& rules_;
    const PassHooks& hooks_;
    std::vector<PreparedRule> prepared_;
};

}  // namespace

bool Valid_Entries(const MainFormState& st, const EntryTexts& e, const Reporter& report) {
    bool ok = true;
    if (st.InFileName.empty() || st.OutFileName.empty())
        ok = false;
    if (st.EnLyr && (e.new_lyr.empty() || e.old_lyr.empty()))
        ok = false;
    if (st.EnWd && (e.new_wd.empty() || e.old_wd.empty()))
        ok = false;
    // New values are written into the library: one that is no layer or no width would damage it.
    if (st.EnLyr && !e.new_lyr.empty() && !isLayerNumber(e.new_lyr))
        ok = false;
    if (st.EnWd && !e.new_wd.empty()) {
        const auto w = readWidthEntry(e.new_wd);
        if (!w || w->value.isNegative())
            ok = false;
    }
    if (!ok && report)
        report(messages::userEntryError());
    return ok;
}

void Open_Dfile(MainFormState& st, RunContext& ctx) {
    st.OpenErr = false;
    st.InFileNum = ctx.files.FreeFile();
    if (!ctx.files.OpenInput(st.InFileNum, st.InFileName)) {
        if (ctx.report) {
            Report r = messages::fileReadError();
            r.detail = ctx.files.FailureReason();
            ctx.report(r);
        }
        st.OpenErr = true;
    }
}

void Close_IO(MainFormState& st, FileChannels& files) {
    files.Close(st.InFileNum);
    if (st.OutFileNum != st.InFileNum)
        files.Close(st.OutFileNum);
}

Outcome Read_DFile(MainFormState& st, RunContext& ctx, std::string_view old_lyr,
                   std::string_view new_lyr, std::string_view old_wd, std::string_view new_wd,
                   const PassHooks& hooks) {
    const auto fail = [&](Outcome outcome, Report r, std::string detail) {
        Close_IO(st, ctx.files);
        r.detail = std::move(detail);
        if (ctx.report)
            ctx.report(r);
        return outcome;
    };
    if (!hooks.rules && !st.EnLyr && !st.EnWd)
        return fail(Outcome::SelectionError, messages::selectionError(), {});
    std::optional<RuleSet> compiled;
    if (!hooks.rules) {
        std::string why;
        // A disabled width pair is never looked at, so leftovers in its boxes cannot fail a run.
        compiled = compilePairs({st.EnLyr, st.EnWd, old_lyr, new_lyr, old_wd, new_wd}, why);
        if (!compiled)
            return fail(Outcome::WriteError, messages::writeError(), why);
    }
    try {
        return UpdatePass(st, ctx, hooks.rules ? *hooks.rules : *compiled, hooks).run();
    } catch (const PassFailure& f) {
        return fail(Outcome::WriteError, messages::writeError(), f.why);
    }
}

Outcome Run(MainFormState& st, RunContext& ctx, const EntryTexts& e, const PassHooks& hooks) {
    if (!Valid_Entries(st, e, ctx.report))
        return Outcome::UserEntryError;
    Open_Dfile(st, ctx);
    if (st.OpenErr)
        return Outcome::FileReadError;
    return Read_DFile(st, ctx, e.old_lyr, e.new_lyr, e.old_wd, e.new_wd, hooks);
}

std::optional<std::string> DeriveOutputName(std::string_view input) {
    if (input.empty())
        return std::nullopt;
    // The last character may take several bytes in UTF-8.
    std::size_t last = input.size() - 1;
    while (last > 0 && (static_cast<unsigned char>(input[last]) & 0xC0) == 0x80)
        --last;
    if (last == 0 || input[last - 1] != '.')
        return std::nullopt;
    std::string out(input.substr(0, last - 1));
    out += "_new.d";
    return out;
}

}  // namespace trelvo
