#include "engine/survey.h"

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

// Rows found by their fields as read, so that a style met before is found without reading its
// numbers again; only a new one is grouped, by its numbers' shortest forms, into a row.
template <class Row>
class Tally {
public:
    explicit Tally(std::vector<Row>& rows) : rows_(rows) {}

    // make: the new row and the key it is grouped by.
    template <class Make>
    std::size_t rowOf(const std::string& raw, Make make) {
        auto found = byRaw_.find(raw);
        if (found == byRaw_.end()) {
            auto [row, group] = make();
            auto [g, added] = byGroup_.try_emplace(std::move(group), rows_.size());
            if (added) {
                rows_.push_back(std::move(row));
                lastDecal_.push_back(0);
            }
            found = byRaw_.try_emplace(raw, g->second).first;
        }
        return found->second;
    }

    // True the first time row r is met in decal (decals are numbered from 1).
    bool firstIn(std::size_t r, std::uint64_t decal) {
        if (decal == 0 || lastDecal_[r] == decal)
            return false;
        lastDecal_[r] = decal;
        return true;
    }

private:
    std::vector<Row>& rows_;
    std::unordered_map<std::string, std::size_t> byRaw_, byGroup_;
    std::vector<std::uint64_t> lastDecal_;
};

// The unit letter, a letter of the kind of row, then each part after a NUL.
std::string& keyOf(std::string& key, Unit unit, char kind,
                   std::initializer_list<std::string_view> parts) {
    key.assign(unitLetter(unit));
    key += kind;
    for (std::string_view part : parts) {
        key += '\0';
        key += part;
    }
    return key;
}

std::string shortest(std::string_view v) {
    const auto d = Decimal::parse(v);
    return d ? d->toString() : std::string(v);
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
    Tally<SurveyRow> pieces(s.rows);
    Tally<ItemStyleRow> items(s.itemRows);
    // The labels and texts of the current decal, found through its counts, one row each; they
    // are tallied when its lines have been seen to follow them.
    std::vector<std::size_t> held;
    std::string heldItem;  // the label or text line before its name or text
    std::string raw, group;
    // The decal left: its labels and texts are tallied if its lines followed its counts.
    const auto endDecal = [&](const DecalLayout& layout) {
        if (decal == 0)
            return;
        if (!layout.pastTexts()) {
            ++s.decalsOffCount;
            held.clear();
        }
        for (const std::size_t r : held) {
            ++s.itemRows[r].count;
            s.itemRows[r].decals += items.firstIn(r, decal);
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
            const std::string_view layer = g[label ? kLabelLayerField : kTextLayerField];
            const char k = label ? 'L' : 'T';
            held.push_back(items.rowOf(keyOf(raw, decalUnit, k, {name, height, width, layer}), [&] {
                ItemStyleRow row{label ? ItemKind::Label : ItemKind::Text, std::string(name),
                                 decalUnit, shortest(height), shortest(width),
                                 std::string(layer), 0, 0};
                keyOf(group, decalUnit, k, {row.name, row.height, row.width, row.layer});
                return std::pair{std::move(row), group};
            }));
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

        // Most pieces repeat a handful of shapes: the width is read as a number only the first
        // time a shape is met.
        char k = static_cast<char>('0' + static_cast<int>(status));
        std::string_view parts[4] = {f[1], {}, {}, {}};
        for (std::size_t i = 3; i <= std::min<std::size_t>(n, kPieceFields); ++i)
            parts[i - 2] = f[i];
        keyOf(raw, decalUnit, k, {parts[0], parts[1], parts[2], parts[3]});
        if (status == PieceStatus::FieldCount)
            raw.insert(2, std::to_string(n));
        const std::size_t r = pieces.rowOf(raw, [&] {
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
            row.layer = parts[2];
            row.field5 = parts[3];
            keyOf(group, decalUnit, k, {row.keyword, row.width, row.layer, row.field5});
            if (status == PieceStatus::FieldCount)
                group.insert(2, std::to_string(n));
            return std::pair{std::move(row), group};
        });
        ++s.rows[r].pieces;
        s.rows[r].decals += pieces.firstIn(r, decal);
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
