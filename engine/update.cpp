#include "engine/update.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <stdexcept>
#include <vector>

#include "engine/decimal.h"
#include "engine/fields.h"

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
    explicit UpdatePass(const UpdateRequest& request)
        : request_(request), rules_(request.rules), reader_(request.input, request.readBlock) {
        if (request.output)
            writer_.emplace(*request.output, request.writeBlock);
        for (const PieceRule& r : rules_.pieces) {
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

    UpdateResult run() {
        try {
            copy();
        } catch (const PassFailure& f) {
            fail(Outcome::WriteError, f.why);
        } catch (const std::exception& e) {
            fail(Outcome::WriteError, e.what());
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
            throw PassFailure{writer_->failure()};
    }

    // A failed step from line to line: the input could not be read, or the output written.
    [[noreturn]] void streamFailure() {
        throw PassFailure{reader_.failed() ? reader_.failure() : writer_->failure()};
    }

    void copy() {
        std::string_view line;
        if (!reader_.readLine(line)) {
            if (!reader_.failed())
                throw PassFailure{"the file is empty"};  // no line at all
            streamFailure();
        }
        if (!isSignatureLine(line)) {
            return fail(Outcome::FormatError,
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
        bool inSelectedDecal = !request_.decalFilter;
        std::string decalName;
        long& count = result_.decals;
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
            ++result_.decalHeaders;
            if (request_.decalFilter || request_.onRewrite)
                decalName.assign(f[1]);
            if (request_.decalFilter)
                inSelectedDecal = request_.decalFilter(decalName);
            return true;
        };
        const auto badUnit = [&](std::uint64_t at) {
            fail(Outcome::FormatError, "line " + std::to_string(at) + ": the unit letter '" +
                                           std::string(f[2]) + "' of decal '" + std::string(f[1]) +
                                           "' is neither M nor I");
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
        const LineReader::KeepLine keep{
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
            const auto next =
                reader_.copyToNextLine(out(), afterBlank ? nullptr : &stop, line, lineNumber, keep);
            if (next == LineReader::Next::End)
                break;
            if (next == LineReader::Next::Failed)
                streamFailure();

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
                if (reader_.previousLine(previous) &&
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
                if (request_.onRewrite) {
                    request_.onRewrite({decalName, lineNumber, f[1], f[4], piece.layer, f[3],
                                        piece.width, decalUnit});
                }
                line = rebuilt;
                rewritten = true;
                ++result_.rewrittenLines;
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
        if (writer_ && !writer_->flush())
            throw PassFailure{writer_->failure()};
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

    const UpdateRequest& request_;
    const RuleSet& rules_;
    LineReader reader_;
    std::optional<LineWriter> writer_;
    std::vector<PreparedRule> prepared_;
    UpdateResult result_;
};

}  // namespace

UpdateResult runUpdate(const UpdateRequest& request) {
    try {
        return UpdatePass(request).run();
    } catch (const PassFailure& f) {  // a width that cannot be had in the other unit
        UpdateResult r;
        r.outcome = Outcome::WriteError;
        r.detail = f.why;
        return r;
    }
}

}  // namespace trelvo
