// Fuzz target for the house rules on arbitrary library bytes: a fixed rule set of piece, label
// and text rules with checks, the update pass with random block sizes, and the checker.
//
// Checked on every input:
//  - a successful pass writes one line per input line, in order; every line it does not report
//    as changed is the input line byte for byte, and every reported one is at its line;
//  - a label or text line it changed differs from the input line only in its layer, height and
//    width fields (every other byte, the spacing included, stays);
//  - the checker ends as the pass does, and counts exactly the findings it reports.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "engine/check.h"
#include "engine/decal_reader.h"
#include "engine/fields.h"
#include "engine/decimal.h"
#include "engine/update.h"
#include "oracle.h"

namespace {

using trelvo::fuzz::check;
using trelvo::fuzz::splitLines;

trelvo::Length width(const char* text, trelvo::Unit unit) {
    const auto v = trelvo::Decimal::parse(text);
    return {*v, unit, v->toString()};
}

trelvo::RuleSet makeRules() {
    using trelvo::Unit;
    trelvo::RuleSet r;
    trelvo::PieceRule& swap = r.pieces.emplace_back();
    swap.layer = "26";
    swap.setLayer = "27";
    trelvo::PieceRule& ranged = r.pieces.emplace_back();
    ranged.width = trelvo::rangeTest(width("6", Unit::Mils), width("0.3", Unit::Millimetres));
    ranged.style.reset();
    ranged.keywords = trelvo::kOpen | trelvo::kCircle;
    ranged.decals.patterns = {"S*", "?0*"};
    ranged.setWidth = width("0.127", Unit::Millimetres);
    trelvo::LabelRule& label = r.labels.emplace_back();
    label.name = "REF-DES";
    label.setHeight = width("1", Unit::Millimetres);
    label.setWidth = width("6", Unit::Mils);
    trelvo::LabelRule& any = r.labels.emplace_back();
    any.height = trelvo::equalTest(width("50", Unit::Mils));
    any.setLayer = "21";
    trelvo::LabelRule& text = r.texts.emplace_back();
    text.name = "*1*";
    text.setWidth = width("0.2", Unit::Millimetres);
    trelvo::Check& c = r.checks.emplace_back();
    c.name = "widths";
    c.piece.style.reset();
    c.allowedWidths = {trelvo::equalTest(width("5", Unit::Mils))};
    c.allowedWidthsText = {"5mil"};
    trelvo::Check& forbid = r.checks.emplace_back();
    forbid.name = "labels";
    forbid.kind = trelvo::ItemKind::Label;
    forbid.forbid = true;
    forbid.error = false;
    return r;
}

constexpr std::size_t kBlocks[] = {4096, 1, 2, 3, 7, 16, 64, 333};

TRELVO_ORACLE bool onlyItemFieldsDiffer(std::string_view in, std::string_view out, bool label) {
    std::string_view a[trelvo::kLabelLayerField + 2], b[trelvo::kLabelLayerField + 2];
    const int na = trelvo::SplitAtSpaces(in, a + 1, trelvo::kLabelLayerField);
    const int nb = trelvo::SplitAtSpaces(out, b + 1, trelvo::kLabelLayerField);
    if (na < trelvo::kLabelLayerField || nb < trelvo::kLabelLayerField)
        return false;
    // Put the input's fields back into the output: what is left must be the input.
    const std::string restored =
        trelvo::withItemFields(out, label, a[label ? trelvo::kLabelLayerField : trelvo::kTextLayerField],
                               a[label ? trelvo::kLabelHeightField : trelvo::kTextHeightField],
                               a[label ? trelvo::kLabelWidthField : trelvo::kTextWidthField]);
    return restored == in;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const trelvo::RuleSet rules = makeRules();
    if (size < 1)
        return 0;
    const std::uint8_t flags = data[0];
    const std::string_view library(reinterpret_cast<const char*>(data) + 1, size - 1);

    std::string output;
    // Only the line numbers and kinds are looked at after the pass: its texts are gone then.
    std::vector<trelvo::Rewrite> changes;
    {
        trelvo::MemorySource in(library);
        trelvo::StringSink out(output);
        trelvo::UpdateRequest request{in, &out, rules};
        request.readBlock = kBlocks[flags & 7];
        request.writeBlock = kBlocks[(flags >> 3) & 7];
        request.onRewrite = [&](const trelvo::Rewrite& c) { changes.push_back(c); };
        const auto text = [](const trelvo::Finding& f) {
            return std::to_string(f.line) + '|' + std::string(f.decal) + '|' +
                   std::string(f.check) + '|' + std::string(f.found) + '|' + std::string(f.allowed);
        };
        std::vector<std::string> whileWriting;
        request.onFinding = [&](const trelvo::Finding& f) { whileWriting.push_back(text(f)); };
        const trelvo::UpdateResult result = trelvo::runUpdate(request);
        if (result.outcome == trelvo::Outcome::Done) {
            trelvo::MemorySource written(output);
            std::vector<std::string> afterwards;
            trelvo::runCheck({written, rules,
                              [&](const trelvo::Finding& f) { afterwards.push_back(text(f)); },
                              false, kBlocks[(flags >> 6) & 3]});
            check(whileWriting == afterwards, "the checks made while writing are the output's");
        }

        trelvo::MemorySource again(library);
        std::uint64_t findings = 0, errors = 0;
        const trelvo::CheckResult checked = trelvo::runCheck(
            {again, rules, [&](const trelvo::Finding& f) {
                 ++findings;
                 errors += f.error ? 1 : 0;
             }, true, kBlocks[(flags >> 6) & 3]});
        check(checked.errors + checked.warnings == findings && checked.errors == errors,
              "findings counted as reported");
        if (result.outcome != trelvo::Outcome::Done)
            return 0;
        check(checked.outcome == trelvo::Outcome::Done, "the checker reads what the pass reads");
    }
    const auto in = splitLines(library);
    const auto out = splitLines(output);
    check(in.size() == out.size(), "every line written once");
    std::uint64_t previous = 0;
    std::set<std::uint64_t> reported;
    for (const trelvo::Rewrite& c : changes) {
        check(c.line_number > previous && c.line_number <= in.size(), "changes in line order");
        previous = c.line_number;
        reported.insert(c.line_number);
        if (c.kind != trelvo::ItemKind::Piece) {
            const std::string_view a = in[c.line_number - 1], b = out[c.line_number - 1];
            check(onlyItemFieldsDiffer(a, b, c.kind == trelvo::ItemKind::Label),
                  "a label or text keeps every other byte");
        }
    }
    for (std::size_t n = 0; n < in.size(); ++n) {
        if (!reported.count(n + 1))
            check(in[n] == out[n], "an unreported line is copied as read");
    }
    return 0;
}
