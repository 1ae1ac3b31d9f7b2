#include "engine/survey.h"

#include <map>
#include <optional>

#include "engine/decal_reader.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "engine/decimal.h"
#include "engine/fields.h"
#include "engine/verdict_cache.h"
#include "files/file_streams.h"

namespace trelvo {

namespace {

// Numbers in numeric order, ahead of other texts, which go in byte order: 5 before 10.
bool naturalLess(const std::string& a, const std::string& b) {
    double x = 0, y = 0;
    const auto ra = std::from_chars(a.data(), a.data() + a.size(), x);
    const auto rb = std::from_chars(b.data(), b.data() + b.size(), y);
    const bool na = !a.empty() && ra.ec == std::errc() && ra.ptr == a.data() + a.size();
    const bool nb = !b.empty() && rb.ec == std::errc() && rb.ptr == b.data() + b.size();
    if (na != nb)
        return na;
    if (na && x != y)
        return x < y;
    return a < b;
}

bool rowLess(const SurveyRow& a, const SurveyRow& b) {
    // Inch decals first, as the unit letters sort.
    if (a.unit != b.unit)
        return a.unit == Unit::Mils;
    if (a.keyword != b.keyword)
        return a.keyword < b.keyword;
    if (a.layer != b.layer)
        return naturalLess(a.layer, b.layer);
    if (a.width != b.width)
        return naturalLess(a.width, b.width);
    if (a.field5 != b.field5)
        return naturalLess(a.field5, b.field5);
    return std::tie(a.status, a.fieldCount) < std::tie(b.status, b.fieldCount);
}

}  // namespace

Survey runSurvey(const SurveyRequest& request) {
    Survey s;
    DecalReader reader(request.input, request.readBlock);
    auto end = [&](Outcome o) {
        s.outcome = o;
        return s;
    };

    std::string_view line;
    auto step = reader.start(line);
    std::uint64_t decal = 0;         // ordinal of the current decal, 0 before the first
    std::uint64_t lastCountedEligible = 0;
    Unit decalUnit = Unit::Mils;
    // Fields 1 to 5 of a piece line (f[1] is field 1), as views into it.
    std::string_view f[kPieceFields + 1];
    Fields fields;  // the whole split, for counting the fields of a long piece line
    std::string key;
    TextMap<std::size_t> tallies;                        // by the fields as read
    std::unordered_map<std::string, std::size_t> rowOf;  // by the fields as grouped
    std::vector<std::uint64_t> lastDecalOfRow;  // ordinal of the last decal counted for a row

    // The labels and texts of the current decal, found through its counts; they are tallied
    // when its lines have been seen to follow them.
    std::vector<std::size_t> held;   // the rows of the decal's labels and texts, one each
    // Rows by the fields as read, so that a style met before is found without reading its
    // numbers again; only a new one is grouped by the numbers' shortest forms.
    std::unordered_map<std::string, std::size_t> itemRowOfRaw;
    std::string rawKey;
    std::string heldItem;            // the label or text line before its name or text
    std::map<std::tuple<ItemKind, std::string, Unit, std::string, std::string, std::string>,
             std::size_t>
        itemRowOf;
    std::vector<std::uint64_t> lastDecalOfItemRow;
    const auto shortest = [](std::string_view v) {
        const auto d = Decimal::parse(v);
        return d ? d->toString() : std::string(v);
    };
    // The decal left: its labels and texts are tallied if its lines followed its counts.
    const auto endDecal = [&](const DecalLayout& layout) {
        if (decal == 0)
            return;
        if (!layout.pastTexts()) {
            ++s.decalsOffCount;
        } else {
            for (const std::size_t r : held) {
                ItemStyleRow& row = s.itemRows[r];
                ++row.count;
                if (lastDecalOfItemRow[r] != decal) {
                    lastDecalOfItemRow[r] = decal;
                    ++row.decals;
                }
            }
        }
        held.clear();
    };
    const auto lookAtItem = [&](std::string_view l, Place kind) {
        if (kind == Place::Label || kind == Place::Text) {
            heldItem.assign(l);
        } else if (kind == Place::LabelName || kind == Place::TextString) {
            const bool label = kind == Place::LabelName;
            std::string_view g[kLabelLayerField + 1];
            SplitAtSpaces(heldItem, g + 1, kLabelLayerField);
            const std::string_view name = label ? trimSpaces(l) : std::string_view();
            const std::string_view height = g[label ? kLabelHeightField : kTextHeightField];
            const std::string_view width = g[label ? kLabelWidthField : kTextWidthField];
            const std::string_view layerText = g[label ? kLabelLayerField : kTextLayerField];
            rawKey.clear();
            rawKey += label ? 'L' : 'T';
            rawKey += unitLetter(decalUnit);
            for (std::string_view part : {name, height, width, layerText}) {
                rawKey += '\0';
                rawKey += part;
            }
            auto found = itemRowOfRaw.find(rawKey);
            if (found == itemRowOfRaw.end()) {
                ItemStyleRow row{label ? ItemKind::Label : ItemKind::Text, std::string(name),
                                 decalUnit, shortest(height), shortest(width),
                                 std::string(layerText), 0, 0};
                auto [g2, added] = itemRowOf.try_emplace(
                    std::tuple{row.kind, row.name, row.unit, row.height, row.width, row.layer},
                    s.itemRows.size());
                if (added) {
                    s.itemRows.push_back(std::move(row));
                    lastDecalOfItemRow.push_back(0);
                }
                found = itemRowOfRaw.emplace(rawKey, g2->second).first;
            }
            held.push_back(found->second);
        }
    };
    for (; step == DecalReader::Step::Line; step = reader.next(DecalReader::Sight::Items, {}, line)) {
        if (reader.entered()) {
            endDecal(reader.ended());
            decalUnit = reader.decal().unit;
            ++decal;
            ++s.decals;
            ++(decalUnit == Unit::Millimetres ? s.decalsMm : s.decalsMils);
        }
        const Place place = reader.place();
        if (place != Place::Piece) {
            lookAtItem(line, place);
            continue;
        }

        // The first five fields as views; the exact count of a longer line (rare) from the
        // full split.
        std::size_t n = static_cast<std::size_t>(SplitAtSpaces(line, f + 1, kPieceFields));
        if (n > kPieceFields) {
            Str2Ary_All(line, " ", 1, fields);
            n = fields.count();
        }
        PieceStatus status = PieceStatus::Eligible;
        if (n != kPieceFields)
            status = PieceStatus::FieldCount;
        else if (f[5] != "-1")
            status = PieceStatus::LineStyle;
        else if (decal == 0)
            status = PieceStatus::BeforeFirstDecal;
        if (status == PieceStatus::Eligible && lastCountedEligible != decal) {
            lastCountedEligible = decal;
            ++s.decalsWithEligible;
        }

        // Most pieces repeat a handful of shapes: look them up by the fields as read, and group
        // (which reads the width as a number) only the first time a shape is met.
        key.assign(unitLetter(decalUnit));
        key += static_cast<char>('0' + static_cast<int>(status));
        if (status == PieceStatus::FieldCount)
            key += std::to_string(n);
        for (int i : {1, 3, 4, 5}) {
            key += '\0';
            if (static_cast<std::size_t>(i) <= n)
                key += f[i];
        }
        auto found = tallies.find(std::string_view(key));
        if (found == tallies.end()) {
            SurveyRow row;
            row.unit = decalUnit;
            row.status = status;
            row.fieldCount = n;
            row.keyword = f[1];
            if (n >= 3) {
                const auto w = Decimal::parse(f[3]);
                row.widthIsNumber = w.has_value();
                row.width = w ? w->toString() : std::string(f[3]);
            }
            if (n >= 4)
                row.layer = f[4];
            if (n >= 5)
                row.field5 = f[5];
            std::string group;
            group += unitLetter(row.unit);
            group += static_cast<char>('0' + static_cast<int>(status));
            if (status == PieceStatus::FieldCount)
                group += std::to_string(n);
            for (const std::string* part : {&row.keyword, &row.width, &row.layer, &row.field5}) {
                group += '\0';
                group += *part;
            }
            auto [g, added] = rowOf.try_emplace(std::move(group), s.rows.size());
            if (added) {
                s.rows.push_back(std::move(row));
                lastDecalOfRow.push_back(0);
            }
            found = tallies.try_emplace(key, g->second).first;
        }
        const std::size_t r = found->second;
        ++s.rows[r].pieces;
        if (decal != 0 && lastDecalOfRow[r] != decal) {
            lastDecalOfRow[r] = decal;
            ++s.rows[r].decals;
        }
    }
    if (step != DecalReader::Step::End) {
        s.errorLine = reader.errorLine();
        s.detail = step == DecalReader::Step::Failed && reader.readFailed() ? reader.readFailure()
                                                                            : reader.detail();
        return end(step == DecalReader::Step::FormatError ? Outcome::FormatError : Outcome::RunError);
    }
    endDecal(reader.ended());
    s.lines = reader.lineNumber();
    std::sort(s.rows.begin(), s.rows.end(), rowLess);
    // Styles met only in decals whose lines were off are no rows.
    std::erase_if(s.itemRows, [](const ItemStyleRow& r) { return r.count == 0; });
    std::sort(s.itemRows.begin(), s.itemRows.end(), [](const ItemStyleRow& a, const ItemStyleRow& b) {
        return std::tie(a.kind, a.name, a.unit, a.layer, a.height, a.width) <
               std::tie(b.kind, b.name, b.unit, b.layer, b.height, b.width);
    });
    return end(Outcome::Done);
}

Survey SurveyFile(const std::string& path) {
    std::string why;
    const auto in = InputFile::open(path, why);
    if (!in) {
        Survey s;
        s.outcome = Outcome::FileReadError;
        s.detail = why;
        return s;
    }
    return runSurvey({*in});
}

}  // namespace trelvo
