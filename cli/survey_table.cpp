#include "cli/survey_table.h"

#include <algorithm>
#include <iostream>
#include <vector>

#include "cli/console.h"
#include "cli/csv.h"
#include "engine/check.h"
#include "engine/survey.h"

namespace trelvo::cli {

namespace {

using std::to_string;
using Row = std::vector<std::string>;

std::string heading(const std::string& input, const Survey& s) {
    std::uint64_t pieces = 0;
    for (const SurveyRow& r : s.rows)
        pieces += r.pieces;
    return input + ": " + to_string(s.decals) + " decal(s) recognised (" + to_string(s.decalsMils) +
           " I, " + to_string(s.decalsMm) + " M), " + to_string(s.decalsWithEligible) +
           " with eligible pieces; " + to_string(pieces) + " outline piece(s)";
}

// Columns padded to their widest cell, two spaces apart; the numeric ones right-aligned.
std::string aligned(const std::vector<Row>& cells, std::initializer_list<std::size_t> numeric) {
    std::vector<std::size_t> widths(cells[0].size(), 0);
    for (const Row& row : cells) {
        for (std::size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], row[c].size());
    }
    std::string out;
    for (const Row& row : cells) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            const std::size_t pad = widths[c] - row[c].size();
            const bool right = std::ranges::find(numeric, c) != numeric.end();
            if (c > 0)
                out += "  ";
            if (right)
                out.append(pad, ' ');
            out += row[c];
            if (!right && c + 1 < row.size())
                out.append(pad, ' ');
        }
        out += '\n';
    }
    return out;
}

// What a run does with the pieces of a row, in words.
std::string statusText(const SurveyRow& r) {
    std::string t;
    switch (r.status) {
        case PieceStatus::Eligible:
            t = "eligible";
            break;
        case PieceStatus::BeforeFirstDecal:
            t = "eligible (before the first decal header)";
            break;
        case PieceStatus::FieldCount:
            return "not eligible: " + to_string(r.fieldCount) + " fields";
        case PieceStatus::LineStyle:
            return "not eligible: line style " + r.field5;
    }
    if (!r.widthIsNumber)
        t += "; width not a number (a --width run fails)";
    return t;
}

// The columns of the two tables; as CSV, "input" comes first and spaces become underscores.
const Row kPieceColumns = {"unit",    "keyword", "layer",  "width",
                           "field 5", "pieces",  "decals", "a run"};
const Row kItemColumns = {"kind", "name", "unit", "height", "width", "layer", "count", "decals"};

Row cells(const SurveyRow& r) {
    return {std::string(unitLetter(r.unit)),
            r.keyword,
            r.layer,
            r.width,
            r.field5,
            to_string(r.pieces),
            to_string(r.decals),
            statusText(r)};
}

Row cells(const ItemStyleRow& r) {
    return {kindName(r.kind),
            r.name,
            std::string(unitLetter(r.unit)),
            r.height,
            r.width,
            r.layer,
            to_string(r.count),
            to_string(r.decals)};
}

template <typename Item>
std::string table(const Row& columns, const std::vector<Item>& items,
                  std::initializer_list<std::size_t> numeric) {
    std::vector<Row> rows{columns};
    for (const Item& i : items)
        rows.push_back(cells(i));
    return aligned(rows, numeric);
}

std::string csvHeader(Row columns) {
    for (std::string& c : columns)
        std::ranges::replace(c, ' ', '_');
    columns.insert(columns.begin(), "input");
    std::string h;
    appendCsvRow(h, columns);
    return h;
}

template <typename Item>
std::string csvRows(const std::string& input, const std::vector<Item>& items) {
    std::string out;
    for (const Item& i : items) {
        Row row = cells(i);
        row.insert(row.begin(), input);
        appendCsvRow(out, row);
    }
    return out;
}

// Warnings, one line each, every line beginning with prefix.
std::string surveyNotes(const std::string& input, const Survey& s, const std::string& prefix) {
    std::string notes;
    std::uint64_t early = 0;
    for (const SurveyRow& r : s.rows) {
        if (r.status == PieceStatus::BeforeFirstDecal)
            early += r.pieces;
    }
    if (early > 0) {
        notes += prefix + "warning: " + input + ": " + to_string(early) +
                 " eligible piece(s) come before the first recognised decal header; a run "
                 "rewrites them, taking their widths as mils, but counts no decal for them, and "
                 "--decal leaves them alone\n";
    }
    if (s.decalsOffCount > 0 &&
        !s.itemRows.empty()) {  // a library without labels has nothing to miss
        notes += prefix + "warning: " + input + ": " + to_string(s.decalsOffCount) +
                 " decal(s) do not follow their header's counts; their labels and texts are not "
                 "listed (trelvo-cli --check tells where)\n";
    }
    return notes;
}

std::string surveyTable(const std::string& input, const Survey& s) {
    std::string out = heading(input, s) + "\n";
    out += s.rows.empty() ? "no outline pieces\n" : table(kPieceColumns, s.rows, {5, 6});
    if (!s.itemRows.empty())
        out += "\nlabels and texts\n" + table(kItemColumns, s.itemRows, {6, 7});
    return out + surveyNotes(input, s, "");
}

}  // namespace

std::string surveyUsageError(const Options& o) {
    if (!o.survey) {
        if (o.format && !o.check)
            return "--format needs --survey";  // or --check
        return {};
    }
    return changeFreeUsageError(o, "--survey", "csv-labels");
}

int runSurvey(const Options& o) {
    const bool labels = o.format && *o.format == "csv-labels";
    const bool csv = o.format && (*o.format == "csv" || labels);
    int worst = 0;
    if (csv)
        std::cout << csvHeader(labels ? kItemColumns : kPieceColumns);
    bool first = true;
    for (const std::string& input : o.inputs) {
        const Survey s = SurveyFile(input);
        worst = std::max(worst, static_cast<int>(s.outcome));
        if (s.outcome != Outcome::Done) {
            std::cout.flush();
            std::cerr << "trelvo-cli: " << failureText(input, s.outcome, s.detail) << '\n';
        } else if (csv) {
            std::cout << (labels ? csvRows(input, s.itemRows) : csvRows(input, s.rows))
                      << std::flush;
            std::cerr << "trelvo-cli: " << heading(input, s) << '\n';
            std::cerr << surveyNotes(input, s, "trelvo-cli: ");
        } else {
            if (!first)
                std::cout << '\n';
            std::cout << surveyTable(input, s) << std::flush;
            first = false;
        }
    }
    return finishStandardOutput(worst);
}

}  // namespace trelvo::cli
