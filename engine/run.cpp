#include "engine/run.h"

#include <algorithm>
#include <climits>
#include <stdexcept>

#include "engine/decimal.h"
#include "engine/fields.h"
#include "engine/messages.h"

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

// Any failure from the start of the pass on leaves through the one "File write error" outcome.
struct PassFailure {};

std::string_view trimSpaces(std::string_view s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return s.substr(s.size());
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

Decimal number(std::string_view text) {
    auto d = Decimal::parse(text);
    if (!d)
        throw PassFailure{};
    return *d;
}

Decimal convert(const Decimal& d, Unit from) {
    auto c = from == Unit::Mils ? d.milsToMm() : d.mmToMils();
    if (!c)
        throw PassFailure{};
    return *c;
}

// The width entries, ready for a decal in either unit.
struct WidthPlan {
    Unit entryUnit = Unit::Mils;
    bool anyOld = false;        // old width "*"
    Decimal entryOld, convOld;  // compared with field 3
    std::string entryNew;       // written as typed (millimetre entries: the text before the "m")
    std::string convNew;        // written in shortest decimal form

    static WidthPlan prepare(std::string_view old_wd, std::string_view new_wd) {
        WidthPlan p;
        const auto mOld = old_wd.find('m');
        const auto mNew = new_wd.find('m');
        if (mOld != std::string_view::npos || mNew != std::string_view::npos) {
            p.entryUnit = Unit::Millimetres;
            if (old_wd == "*") {
                p.anyOld = true;
            } else {
                if (mOld == std::string_view::npos)
                    throw PassFailure{};
                p.entryOld = number(trimSpaces(old_wd.substr(0, mOld)));
                p.convOld = convert(p.entryOld, Unit::Millimetres);
            }
            if (mNew == std::string_view::npos)
                throw PassFailure{};
            p.entryNew = trimSpaces(new_wd.substr(0, mNew));
            p.convNew = convert(number(p.entryNew), Unit::Millimetres).toString();
        } else {
            p.entryUnit = Unit::Mils;
            if (old_wd == "*") {
                p.anyOld = true;
            } else {
                p.entryOld = number(old_wd);
                p.convOld = convert(p.entryOld, Unit::Mils);
            }
            p.entryNew = new_wd;
            p.convNew = convert(number(new_wd), Unit::Mils).toString();
        }
        return p;
    }
};

class UpdatePass {
public:
    UpdatePass(MainFormState& st, RunContext& ctx, const PassHooks& hooks)
        : st_(st), ctx_(ctx), files_(ctx.files), hooks_(hooks) {}

    Outcome run(std::string_view old_lyr, std::string_view new_lyr, std::string_view old_wd,
                std::string_view new_wd) {
        try {
            if (!st_.EnLyr && !st_.EnWd)
                return finish(Outcome::SelectionError, messages::selectionError());
            // A disabled width pair is never looked at, so leftovers in its boxes cannot fail a
            // run.
            if (st_.EnWd)
                plan_ = WidthPlan::prepare(old_wd, new_wd);
            // The new layer is written as typed; a line break in it would split a piece line in
            // two and break the one-line-out-per-line-in shape of the library.
            if (st_.EnLyr && new_lyr.find_first_of("\r\n") != std::string_view::npos)
                throw PassFailure{};
            openOutput();
            return copy(old_lyr, new_lyr);
        } catch (const PassFailure&) {
        } catch (const std::exception&) {
        }
        return finish(Outcome::WriteError, messages::writeError());
    }

private:
    void openOutput() {
        st_.OutFileNum = files_.FreeFile();
        const bool opened = hooks_.dry_run ? files_.OpenDiscard(st_.OutFileNum)
                                           : files_.OpenOutput(st_.OutFileNum, st_.OutFileName);
        if (!opened)
            throw PassFailure{};
    }

    void write(std::string_view line) {
        if (!files_.WriteLine(st_.OutFileNum, line))
            throw PassFailure{};
    }

    Outcome copy(std::string_view old_lyr, std::string_view new_lyr) {
        std::string_view line;
        if (!files_.ReadLine(st_.InFileNum, line))
            throw PassFailure{};  // no line at all
        if (!isSignatureLine(line))
            return finish(Outcome::FormatError, messages::formatError());
        write(line);

        std::uint64_t lineNumber = 1;
        Unit decalUnit = Unit::Mils;
        bool afterBlank = false;
        bool headerSeen = false;
        bool inSelectedDecal = !hooks_.decal_filter;
        std::string decalName;
        long count = 0;
        // Fields 1 to 11 of the line being looked at (f[1] is field 1), as views into it.
        std::string_view f[kDecalHeaderFields + 1];
        std::string rebuilt;
        // Runs of lines that no rule below looks at (not after an empty line, not empty, not
        // beginning like a piece keyword) are copied in bulk, byte for byte as this loop would.
        const std::string_view stop = kPieceKeywordInitials;
        // So are the piece lines the rules leave as they are, without being handed out. The
        // line that holds a run back is handed out next with what was found for it.
        struct KeepContext {
            const UpdatePass* pass;
            std::string_view oldLyr, newLyr;
            const bool* selected;
            const Unit* unit;
            const char* decided = nullptr;  // the line held back, if it is a rule piece
            std::string_view f[kPieceFields + 1];
            PieceResult result = PieceResult::Unchanged;
            Piece piece;
        } keepContext{this, old_lyr, new_lyr, &inSelectedDecal, &decalUnit, nullptr, {}, {}, {}};
        const FileChannels::KeepLine keep{
            [](void* context, std::string_view l) {
                auto& k = *static_cast<KeepContext*>(context);
                if (!isRulePiece(l, *k.selected, k.f))
                    return true;
                k.result = k.pass->rewritePiece(k.f, k.oldLyr, k.newLyr, *k.unit, k.piece);
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
                throw PassFailure{};

            if (afterBlank) {
                if (SplitAtSpaces(line, f + 1, kDecalHeaderFields) == kDecalHeaderFields) {
                    const auto unit = unitFromLetter(f[2]);
                    if (!unit)
                        return finish(Outcome::FormatError, messages::formatError());
                    decalUnit = *unit;
                    headerSeen = true;
                    if (hooks_.decal_filter || hooks_.on_rewrite)
                        decalName.assign(f[1]);
                    if (hooks_.decal_filter)
                        inSelectedDecal = hooks_.decal_filter(decalName);
                }
                afterBlank = false;
            }
            if (line.empty())
                afterBlank = true;

            bool rewritten = false;
            Piece piece;
            PieceResult result = PieceResult::Unchanged;
            if (keepContext.decided != nullptr && keepContext.decided == line.data()) {
                std::copy(keepContext.f + 1, keepContext.f + kPieceFields + 1, f + 1);
                result = keepContext.result;
                piece = keepContext.piece;
            } else if (isRulePiece(line, inSelectedDecal, f)) {
                result = rewritePiece(f, old_lyr, new_lyr, decalUnit, piece);
            }
            if (result == PieceResult::BadWidth)
                throw PassFailure{};
            if (result == PieceResult::Rewritten) {
                rebuildPieceLine(f[1], f[2], piece.width, piece.layer, f[5], rebuilt);
                if (hooks_.on_rewrite) {
                    hooks_.on_rewrite({decalName, lineNumber, f[1], f[4], piece.layer, f[3],
                                       piece.width, decalUnit});
                }
                line = rebuilt;
                rewritten = true;
            }
            write(line);

            if (rewritten && headerSeen) {
                if (count == INT32_MAX)
                    throw PassFailure{};
                ++count;
                headerSeen = false;
            }
        }
        // A full disk often shows only when the last block is written: never call that success.
        if (!files_.Close(st_.OutFileNum))
            throw PassFailure{};
        return finish(Outcome::Done, messages::done(count, st_.OutFileName));
    }

    // A line the layer and width rules look at: an eligible piece header line of a selected
    // decal. f[1] to f[5] receive its fields.
    static bool isRulePiece(std::string_view line, bool selected, std::string_view* f) {
        return isPieceHeaderLine(line) && selected &&
               SplitAtSpaces(line, f + 1, kPieceFields) == kPieceFields && sameText(f[5], "-1");
    }

    // What the layer and width rules make of one piece header line.
    struct Piece {
        std::string_view width, layer;  // fields 3 and 4 as they are to be written
    };
    enum class PieceResult { Unchanged, Rewritten, BadWidth };

    // f[1] to f[5]: the fields of an eligible piece header line. Throws nothing, so that it can
    // also decide which lines the bulk copy may pass on; BadWidth fails the run.
    PieceResult rewritePiece(const std::string_view* f, std::string_view old_lyr,
                             std::string_view new_lyr, Unit decalUnit, Piece& piece) const {
        PieceResult result = PieceResult::Unchanged;
        piece.width = f[3];
        piece.layer = f[4];
        bool layerGate = !st_.EnLyr;
        if (st_.EnLyr && (old_lyr == "*" || sameText(f[4], old_lyr))) {
            piece.layer = new_lyr;
            layerGate = true;
            result = PieceResult::Rewritten;
        }
        if (st_.EnWd && layerGate) {
            const bool sameUnit = decalUnit == plan_.entryUnit;
            const auto value = Decimal::parse(f[3]);  // read even when any width matches
            if (!value)
                return PieceResult::BadWidth;
            if (plan_.anyOld || *value == (sameUnit ? plan_.entryOld : plan_.convOld)) {
                piece.width = sameUnit ? plan_.entryNew : plan_.convNew;
                result = PieceResult::Rewritten;
            }
        }
        return result;
    }

    Outcome finish(Outcome outcome, const Report& r) {
        Close_IO(st_, files_);
        if (ctx_.report)
            ctx_.report(r);
        return outcome;
    }

    MainFormState& st_;
    RunContext& ctx_;
    FileChannels& files_;
    const PassHooks& hooks_;
    WidthPlan plan_;
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
    if (!ok && report)
        report(messages::userEntryError());
    return ok;
}

void Open_Dfile(MainFormState& st, RunContext& ctx) {
    st.OpenErr = false;
    st.InFileNum = ctx.files.FreeFile();
    if (!ctx.files.OpenInput(st.InFileNum, st.InFileName)) {
        if (ctx.report)
            ctx.report(messages::fileReadError());
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
    return UpdatePass(st, ctx, hooks).run(old_lyr, new_lyr, old_wd, new_wd);
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
