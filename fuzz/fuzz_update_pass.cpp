// Fuzz target for a whole run of the dialog's pairs: the entry check, the pairs compiled, the
// update pass, on arbitrary library bytes with arbitrary entries, flags and block sizes. The
// library and its update are held in memory, as the engine is given them.
//
// Checked on every input:
//  - the run's box is one of its outcomes with its exact text, title and icon;
//  - the output holds one CR LF-ended line per input line read, in order, up to where the run
//    ended (all of them on success); each is either the input line byte for byte or the rebuild
//    of a piece header line: its five fields with only fields 3 and 4 replaced, joined by two
//    spaces;
//  - the output, outcome and count equal those of a small model of the pass written here from the
//    line rules, independently of the engine's own code (a front end keeps nothing of a failed
//    run, so the model has no lines for one).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/decal_reader.h"
#include "engine/decimal.h"
#include "engine/messages.h"
#include "engine/rules.h"
#include "engine/update.h"
#include "oracle.h"

namespace {

using trelvo::Decimal;
using trelvo::Outcome;
using trelvo::Report;

using trelvo::fuzz::check;
using trelvo::fuzz::splitLines;

constexpr std::string_view kSignature = "*PADS-LIBRARY-PCB-DECALS";

// Block sizes the channels are given, picked by three bits of the flags byte. Small blocks put
// block boundaries inside a few hundred bytes of input (one byte and a few odd sizes for every
// way a line end can be cut, 64 and more for the vector scan of runs of plain lines); the output
// side gets its own sizes so that flushes fall at other places.
constexpr std::size_t kReadBlocks[] = {4096, 1, 2, 3, 7, 16, 64, 333};
constexpr std::size_t kWriteBlocks[] = {4096, 5, 64, 1, 2, 16, 333, 7};

// Entry texts the fuzzer can pick by number: the values users type, and a few near misses.
constexpr std::string_view kEntryWords[] = {
    "*",   "26",      "1",       "01",       "10",    "10.0",   "5",     "12",
    "8",   "0.254mm", "0.127mm", "0.254 mm", "10mil", "5mil",   " 26",   "26 ",
    "",    "abc",     "-1",      "0",        "1e3",   "0.3048", "0.305", "2.54mm",
    "*mm", "0.254",   "mm",      "0.0001mm", "250",   "6.35mm", "-5",    "+5",
};

// Fields with a single space as delimiter: the words of the line, or one empty field for a blank
// line. Only counts of 5 and 11 matter, so the cap of 10000 needs no special handling.
TRELVO_ORACLE std::vector<std::string_view> fieldsOf(std::string_view s) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && s[i] == ' ')
            ++i;
        if (i == s.size())
            break;
        const std::size_t start = i;
        while (i < s.size() && s[i] != ' ')
            ++i;
        out.push_back(s.substr(start, i - start));
    }
    if (out.empty())
        out.emplace_back();
    return out;
}

TRELVO_ORACLE std::string_view trimSpaces(std::string_view s) {
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

TRELVO_ORACLE bool isPiece(std::string_view line) {
    const auto key = line.substr(0, 4);
    return key == "OPEN" || key == "CLOS" || key == "CIRC";
}

TRELVO_ORACLE bool isEligible(const std::vector<std::string_view>& f) {
    return f.size() == 5 && f[4] == "-1";
}

TRELVO_ORACLE std::string join(const std::vector<std::string_view>& parts, std::string_view sep) {
    std::string s;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i)
            s += sep;
        s += parts[i];
    }
    return s;
}

struct Case {
    bool enLyr = false, enWd = false;
    std::size_t readBlock = 0, writeBlock = 0;
    struct {
        std::string old_lyr, new_lyr, old_wd, new_wd;
    } e;
    std::string library;
};

// Input layout: a flags byte; four entries, each a byte that either picks a word (high bit set)
// or gives a length of raw bytes that follow; then the library bytes. Flag 4 starts the library
// with a signature line; flag 16 then adds a plain line and takes one more byte, so that what
// follows starts that many bytes (modulo the block) before the end of a read block. Bits 5 to 7
// pick the block sizes.
std::optional<Case> decode(const uint8_t* data, std::size_t size) {
    if (size < 1)
        return std::nullopt;
    Case c;
    const uint8_t flags = data[0];
    std::size_t i = 1;
    c.enLyr = flags & 1;
    c.enWd = flags & 2;
    c.readBlock = kReadBlocks[flags >> 5];
    c.writeBlock = kWriteBlocks[flags >> 5];
    std::string* entries[] = {&c.e.old_lyr, &c.e.new_lyr, &c.e.old_wd, &c.e.new_wd};
    for (std::string* entry : entries) {
        if (i >= size)
            return std::nullopt;
        const uint8_t b = data[i++];
        if (b & 0x80) {
            *entry = kEntryWords[(b & 0x7f) % std::size(kEntryWords)];
            continue;
        }
        const std::size_t len = b & 0x1f;
        if (size - i < len)
            return std::nullopt;
        entry->assign(reinterpret_cast<const char*>(data + i), len);
        i += len;
    }
    if (flags & 4) {
        c.library = kSignature;
        c.library += (flags & 8) ? "\n" : "\r\n";
        if (flags & 16) {
            if (i >= size)
                return std::nullopt;
            const std::size_t before = data[i++] % c.readBlock;
            const std::size_t used = (c.library.size() + 2 + before) % c.readBlock;
            c.library.append(used == 0 ? 0 : c.readBlock - used, 'x');
            c.library += "\r\n";
        }
    }
    c.library.append(reinterpret_cast<const char*>(data + i), size - i);
    return c;
}

// What a run should produce, from the line rules.
struct Expected {
    Outcome outcome = Outcome::Done;
    Report report;
    std::vector<std::string_view> lines;  // into the library, or into rebuilt
    std::deque<std::string> rebuilt;
};

// A width entry: a number, then "mil", "mm" or nothing, spaces around ignored.
struct Entry {
    Decimal value;
    bool mm = false, unit = false;
    std::string number;  // the number's own text
};

TRELVO_ORACLE std::optional<Entry> readEntry(std::string_view t) {
    while (!t.empty() && t.back() == ' ')
        t.remove_suffix(1);
    Entry e;
    if (t.ends_with("mil")) {
        e.unit = true;
        t.remove_suffix(3);
    } else if (t.ends_with("mm")) {
        e.unit = e.mm = true;
        t.remove_suffix(2);
    }
    const auto d = Decimal::parse(t);
    if (!d)
        return std::nullopt;
    e.value = *d;
    e.number = trimSpaces(t);
    return e;
}

TRELVO_ORACLE bool isLayerNumber(std::string_view t) {
    return !t.empty() && t.find_first_not_of("0123456789") == std::string_view::npos;
}

// A new layer the format allows: at most 250 (leading zeros aside).
TRELVO_ORACLE bool layerWithinFormat(std::string_view t) {
    t.remove_prefix(std::min(t.size(), t.find_first_not_of('0')));
    return t.size() < 3 || (t.size() == 3 && std::string(t) <= "250");
}

// One width in both decal units: what it compares as and how it is written.
struct Both {
    Decimal value[2];  // [0] mils, [1] mm
    std::string text[2];
};

TRELVO_ORACLE std::optional<Both> both(const Entry& e, std::string_view typed) {
    Both b;
    const int own = e.mm ? 1 : 0;
    const auto other = e.mm ? e.value.mmToMils() : e.value.milsToMm();
    if (!other)
        return std::nullopt;
    b.value[own] = e.value;
    b.text[own] = e.unit ? e.number : std::string(typed);
    b.value[1 - own] = *other;
    b.text[1 - own] = other->toString();
    return b;
}

struct Widths {
    bool anyOld = false;
    Both oldW, newW;
};

TRELVO_ORACLE std::optional<Widths> prepareWidths(std::string_view oldWd, std::string_view newWd) {
    Widths w;
    w.anyOld = oldWd == "*";
    const auto o = w.anyOld ? std::nullopt : readEntry(oldWd);
    const auto n = readEntry(newWd);
    if ((!w.anyOld && !o) || !n)
        return std::nullopt;
    const bool mm = (o && o->mm) || n->mm;
    if (mm && ((o && !o->unit) || !n->unit))
        return std::nullopt;
    if (o) {
        const auto b = both(*o, oldWd);
        if (!b)
            return std::nullopt;
        w.oldW = *b;
    }
    const auto b = both(*n, newWd);
    if (!b)
        return std::nullopt;
    w.newW = *b;
    return w;
}

// The decal headers that only the counts of the decal before them show (no empty line before,
// no TIMESTAMP line after), by line index. Following the counts is the reader's own work, tested
// on its own; the model takes these headers from a walk of it and models the rest.
TRELVO_ORACLE std::vector<bool> headersByCounts(const std::string& library, std::size_t lines) {
    std::vector<bool> at(lines, false);
    trelvo::MemorySource in(library);
    trelvo::DecalReader reader(in);
    std::string_view line;
    auto step = reader.start(line);
    for (; step == trelvo::DecalReader::Step::Line;
         step = reader.next(trelvo::DecalReader::Sight::All, {}, line)) {
        if (reader.entered() && reader.place() == trelvo::Place::Header &&
            reader.lineNumber() <= lines)
            at[reader.lineNumber() - 1] = true;
    }
    if (step == trelvo::DecalReader::Step::FormatError && reader.errorLine() >= 1 &&
        reader.errorLine() <= lines)
        at[reader.errorLine() - 1] = true;
    return at;
}

TRELVO_ORACLE Expected model(const Case& c, const std::vector<std::string_view>& in,
               const std::string& outName) {
    namespace msg = trelvo::messages;
    Expected x;
    auto end = [&](Outcome o, Report r) {
        x.outcome = o;
        x.report = std::move(r);
        if (o != Outcome::Done)
            x.lines.clear();
        return std::move(x);  // the rebuilt lines stay where the views point
    };
    const auto& e = c.e;
    const auto newWidth = readEntry(e.new_wd);
    const bool badNewLayer = c.enLyr && !e.new_lyr.empty() &&
                             (!isLayerNumber(e.new_lyr) || !layerWithinFormat(e.new_lyr));
    const bool badNewWidth =
        c.enWd && !e.new_wd.empty() &&
        (!newWidth || newWidth->value.isNegative() ||
         *Decimal::parse(newWidth->mm ? "6.35" : "250") < newWidth->value);
    if ((c.enLyr && (e.old_lyr.empty() || e.new_lyr.empty())) ||
        (c.enWd && (e.old_wd.empty() || e.new_wd.empty())) || badNewLayer || badNewWidth) {
        return end(Outcome::UserEntryError, msg::userEntryError());
    }
    if (!c.enLyr && !c.enWd)
        return end(Outcome::SelectionError, msg::selectionError());
    Widths w;
    if (c.enWd) {
        auto prepared = prepareWidths(e.old_wd, e.new_wd);
        if (!prepared)
            return end(Outcome::RunError, msg::writeError());
        w = *prepared;
    }
    if (in.empty())
        return end(Outcome::RunError, msg::writeError());
    if (!in[0].starts_with(kSignature))
        return end(Outcome::FormatError, msg::formatError());
    x.lines.push_back(in[0]);

    const std::vector<bool> byCounts = headersByCounts(c.library, in.size());
    int unit = 0;  // of the decal: 0 mils, 1 mm
    bool afterBlank = false, headerSeen = false;
    std::size_t headerLine = 0;
    long count = 0;
    for (std::size_t n = 1; n < in.size(); ++n) {
        const std::string_view line = in[n];
        // A decal header: 11 fields, the first line after an empty line or the line before a
        // TIMESTAMP line.
        auto header = [&](std::size_t at) {
            const auto f = fieldsOf(in[at]);
            if (f.size() != 11)
                return true;
            if (f[1] != "M" && f[1] != "I")
                return false;
            unit = f[1] == "M" ? 1 : 0;
            headerSeen = true;
            headerLine = at;
            return true;
        };
        if (afterBlank || byCounts[n]) {
            if (!header(n))
                return end(Outcome::FormatError, msg::formatError());
            afterBlank = false;
        }
        if (line.empty())
            afterBlank = true;
        if (line.starts_with("TIMESTAMP") && n >= 2 && headerLine + 1 != n && !header(n - 1))
            return end(Outcome::FormatError, msg::formatError());

        bool rewritten = false;
        std::string_view text = line;
        if (isPiece(line)) {
            auto f = fieldsOf(line);
            if (isEligible(f)) {
                bool gate = !c.enLyr;
                std::string newWidth;
                if (c.enLyr && (e.old_lyr == "*" || f[3] == e.old_lyr)) {
                    f[3] = e.new_lyr;
                    gate = rewritten = true;
                }
                if (c.enWd && gate) {
                    const auto v = Decimal::parse(f[2]);
                    if (!v)
                        return end(Outcome::RunError, msg::writeError());
                    if (w.anyOld || *v == w.oldW.value[unit]) {
                        f[2] = w.newW.text[unit];
                        rewritten = true;
                    }
                }
                if (rewritten)
                    text = x.rebuilt.emplace_back(join(f, "  "));
            }
        }
        x.lines.push_back(text);
        if (rewritten && headerSeen) {
            ++count;
            headerSeen = false;
        }
    }
    return end(Outcome::Done, msg::done(count, outName));
}

TRELVO_ORACLE bool sameReport(const Report& a, const Report& b) {
    return a.text == b.text && a.title == b.title && a.icon == b.icon;
}

// out is the rebuild of the piece header line in: same fields 1, 2 and 5, fields 3 and 4 each
// either kept or replaced by what the entries allow, two spaces between fields.
TRELVO_ORACLE bool isRebuildOf(std::string_view in, std::string_view out, const Case& c) {
    if (!isPiece(in))
        return false;
    const auto f = fieldsOf(in);
    if (!isEligible(f))
        return false;
    const std::string head = std::string(f[0]) + "  " + std::string(f[1]) + "  ";
    const std::string tail = "  " + std::string(f[4]);
    if (out.size() < head.size() + tail.size() || !out.starts_with(head) || !out.ends_with(tail)) {
        return false;
    }
    const std::string_view middle = out.substr(head.size(), out.size() - head.size() - tail.size());
    for (std::string_view layer : {f[3], std::string_view(c.e.new_lyr)}) {
        if (layer != f[3] && !c.enLyr)
            continue;
        if (middle.size() < layer.size() + 2 || !middle.ends_with(std::string("  ") += layer)) {
            continue;
        }
        const std::string_view width = middle.substr(0, middle.size() - layer.size() - 2);
        if (width == f[2])
            return true;
        if (!c.enWd)
            continue;
        const auto entry = readEntry(c.e.new_wd);
        if (width == c.e.new_wd || (entry && width == entry->number))
            return true;
        const auto d = Decimal::parse(width);
        if (d && d->toString() == width)
            return true;  // a converted width, in shortest form
    }
    return false;
}

// Everything checked of one run.
TRELVO_ORACLE void checkRun(const Case& c, Outcome outcome, const Report& report,
                            std::string_view output) {
    std::vector<std::string_view> out;
    std::string_view rest = output;
    while (!rest.empty()) {
        const auto eol = rest.find("\r\n");
        check(eol != std::string_view::npos, "every output line ends with CR LF");
        const auto line = rest.substr(0, eol);
        check(line.find_first_of("\r\n") == std::string_view::npos, "no line end in a line");
        out.push_back(line);
        rest.remove_prefix(eol + 2);
    }
    const auto in = splitLines(c.library);
    check(out.size() <= in.size(), "no line added");
    for (std::size_t n = 0; n < out.size(); ++n) {
        check(out[n] == in[n] || isRebuildOf(in[n], out[n], c), "line copied or rebuilt");
    }
    if (outcome == Outcome::Done)
        check(out.size() == in.size(), "success copies every line");

    const Expected x = model(c, in, "out.d");
    check(outcome == x.outcome, "outcome as the model says");
    check(sameReport(report, x.report), "report as the model says");
    if (outcome != Outcome::Done)
        return;  // what a failed run wrote is given up
    check(out.size() == x.lines.size(), "line count as the model says");
    for (std::size_t n = 0; n < out.size(); ++n)
        check(out[n] == x.lines[n], "line as the model says");
}

}  // namespace

// The same run with every line end kept gives the same lines, each ended as in the input.
void checkKeptLineEnds(const Case& c, const trelvo::RuleSet& rules, const std::string& output) {
    std::string kept;
    trelvo::MemorySource source(c.library);
    trelvo::StringSink sink(kept);
    trelvo::UpdateRequest request{source, &sink, rules, {}, {}, c.readBlock, c.writeBlock};
    request.keepLineEnds = true;
    check(trelvo::runUpdate(request).outcome == Outcome::Done, "kept line ends: not done");
    const auto in = splitLines(c.library);
    const auto out = splitLines(output);
    check(in.size() == out.size(), "kept line ends: line count");
    std::string expected;
    const char* const libraryEnd = c.library.data() + c.library.size();
    for (std::size_t i = 0; i < in.size(); ++i) {
        const char* end = in[i].data() + in[i].size();
        expected.append(out[i]).append(end, i + 1 < in.size() ? in[i + 1].data() : libraryEnd);
    }
    check(kept == expected, "kept line ends: the lines differ from the run's or their ends from the input's");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const auto c = decode(data, size);
    if (!c)
        return 0;

    // The run as the Run button makes it (the names of two files are given).
    const trelvo::PairEntries pairs{c->enLyr, c->enWd, c->e.old_lyr, c->e.new_lyr, c->e.old_wd,
                                    c->e.new_wd};
    std::string output;
    long count = 0;
    const Outcome outcome = [&] {
        if (!trelvo::pairEntriesValid(pairs))
            return Outcome::UserEntryError;
        if (!c->enLyr && !c->enWd)
            return Outcome::SelectionError;
        std::string why;
        const auto rules = trelvo::compilePairs(pairs, why);
        if (!rules)
            return Outcome::RunError;
        trelvo::MemorySource source(c->library);
        trelvo::StringSink sink(output);
        trelvo::UpdateRequest request{source, &sink, *rules, {}, {}, c->readBlock, c->writeBlock};
        const auto result = trelvo::runUpdate(request);
        count = result.decals;
        if (result.outcome == Outcome::Done)
            checkKeptLineEnds(*c, *rules, output);
        return result.outcome;
    }();
    const Report report = trelvo::messages::forOutcome(outcome, count, "out.d");

    checkRun(*c, outcome, report, output);
    return 0;
}
