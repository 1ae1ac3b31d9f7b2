#include "cli/survey_table.h"

#include <algorithm>
#include <iostream>
#include <vector>

#include "cli/console.h"
#include "cli/csv.h"
#include "engine/check.h"
#include "engine/messages.h"

namespace trelvo::cli {

namespace {

std::string count(std::uint64_t n) {
    return std::to_string(n);
}

std::string heading(const std::string& input, const Survey& s) {
    std::uint64_t pieces = 0;
    for (const SurveyRow& r : s.rows)
        pieces += r.pieces;
    return input + ": " + count(s.decals) + " decal(s) recognised (" + count(s.decalsMils) +
           " I, " + count(s.decalsMm) + " M), " + count(s.decalsWithEligible) +
           " with eligible pieces; " + count(pieces) + " outline piece(s)";
}

// Columns padded to their widest cell, two spaces apart; the numeric ones right-aligned.
std::string aligned(const std::vector<std::vector<std::string>>& cells,
                    std::initializer_list<std::size_t> numericColumns) {
    std::vector<std::size_t> widths(cells[0].size(), 0);
    for (const auto& row : cells) {
        for (std::size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], row[c].size());
    }
    std::string out;
    for (const auto& row : cells) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            const std::size_t pad = widths[c] - row[c].size();
            const bool numeric = std::find(numericColumns.begin(), numericColumns.end(), c) !=
                                 numericColumns.end();
            if (c > 0)
                line += "  ";
            if (numeric)
                line.append(pad, ' ');
            line += row[c];
            if (!numeric && c + 1 < row.size())
                line.append(pad, ' ');
        }
        out += line + "\n";
    }
    return out;
}

}  // namespace

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
            return "not eligible: " + std::to_string(r.fieldCount) + " fields";
        case PieceStatus::LineStyle:
            return "not eligible: line style " + r.field5;
    }
    if (!r.widthIsNumber)
        t += "; width not a number (a --width run fails)";
    return t;
}

std::string surveyNotes(const std::string& input, const Survey& s, const std::string& prefix) {
    std::string notes;
    std::uint64_t early = 0;
    for (const SurveyRow& r : s.rows) {
        if (r.status == PieceStatus::BeforeFirstDecal)
            early += r.pieces;
    }
    if (early > 0) {
        notes += prefix + "warning: " + input + ": " + count(early) +
                 " eligible piece(s) come before the first recognised decal header; a run "
                 "rewrites them, taking their widths as mils, but counts no decal for them, and "
                 "--decal leaves them alone\n";
    }
    if (s.decalsOffCount > 0 && !s.itemRows.empty()) {  // a library without labels has nothing to miss
        notes += prefix + "warning: " + input + ": " + count(s.decalsOffCount) +
                 " decal(s) do not follow their header's counts; their labels and texts are not "
                 "listed (trelvo-cli --check tells where)\n";
    }
    return notes;
}

std::string surveyTable(const std::string& input, const Survey& s) {
    std::string out = heading(input, s) + "\n";
    if (s.rows.empty()) {
        out += "no outline pieces\n";
    } else {
        std::vector<std::vector<std::string>> cells;
        cells.push_back(
            {"unit", "keyword", "layer", "width", "field 5", "pieces", "decals", "a run"});
        for (const SurveyRow& r : s.rows) {
            cells.push_back({std::string(unitLetter(r.unit)), r.keyword, r.layer, r.width, r.field5,
                             count(r.pieces), count(r.decals), statusText(r)});
        }
        out += aligned(cells, {5, 6});
    }
    if (!s.itemRows.empty()) {
        std::vector<std::vector<std::string>> cells;
        cells.push_back({"kind", "name", "unit", "height", "width", "layer", "count", "decals"});
        for (const ItemStyleRow& r : s.itemRows) {
            cells.push_back({kindName(r.kind), r.name, std::string(unitLetter(r.unit)), r.height,
                             r.width, r.layer, count(r.count), count(r.decals)});
        }
        out += "\nlabels and texts\n" + aligned(cells, {6, 7});
    }
    out += surveyNotes(input, s, "");
    return out;
}

std::string surveyCsvHeader() {
    std::string h;
    appendCsvRow(
        h, {"input", "unit", "keyword", "layer", "width", "field_5", "pieces", "decals", "a_run"});
    return h;
}

std::string itemCsvHeader() {
    std::string h;
    appendCsvRow(h, {"input", "kind", "name", "unit", "height", "width", "layer", "count", "decals"});
    return h;
}

std::string itemCsvRows(const std::string& input, const Survey& s) {
    std::string out;
    for (const ItemStyleRow& r : s.itemRows) {
        appendCsvRow(out, {input, kindName(r.kind), r.name, unitLetter(r.unit), r.height, r.width,
                           r.layer, count(r.count), count(r.decals)});
    }
    return out;
}

std::string surveyCsvRows(const std::string& input, const Survey& s) {
    std::string out;
    for (const SurveyRow& r : s.rows) {
        appendCsvRow(out, {input, unitLetter(r.unit), r.keyword, r.layer, r.width, r.field5,
                           count(r.pieces), count(r.decals), statusText(r)});
    }
    return out;
}

std::string surveyUsageError(const Options& o) {
    if (!o.survey) {
        if (o.format && !o.check)
            return "--format needs --survey";  // or --check
        return {};
    }
    const std::pair<bool, const char*> others[] = {
        {o.layer.has_value(), "--layer"}, {o.width.has_value(), "--width"},
        {o.output.has_value(), "-o"},     {o.report.has_value(), "--report"},
        {o.html.has_value(), "--html"},   {!o.decals.empty(), "--decal"},
        {o.dryRun, "--dry-run"},          {o.inPlace, "--in-place"},
        {o.noBackup, "--no-backup"},      {o.backup.has_value(), "--backup"},
        {o.keepLineEnds, "--keep-line-ends"}};
    for (const auto& [given, name] : others) {
        if (given)
            return std::string("--survey cannot be used with ") + name + " (it changes nothing)";
    }
    if (o.format && *o.format != "table" && *o.format != "csv" && *o.format != "csv-labels")
        return "--format takes table, csv or csv-labels";
    if (o.inputs.empty())
        return "missing INPUT";
    return {};
}

int runSurvey(const Options& o) {
    const bool labels = o.format && *o.format == "csv-labels";
    const bool csv = o.format && (*o.format == "csv" || labels);
    int worst = 0;
    if (csv)
        std::cout << (labels ? itemCsvHeader() : surveyCsvHeader());
    bool first = true;
    for (const std::string& input : o.inputs) {
        const Survey s = SurveyFile(input);
        worst = std::max(worst, static_cast<int>(s.outcome));
        std::string_view title, text;
        switch (s.outcome) {
            case Outcome::Done:
                if (csv) {
                    std::cout << (labels ? itemCsvRows(input, s) : surveyCsvRows(input, s))
                              << std::flush;
                    std::cerr << "trelvo-cli: " << heading(input, s) << '\n';
                    std::cerr << surveyNotes(input, s, "trelvo-cli: ");
                } else {
                    if (!first)
                        std::cout << '\n';
                    std::cout << surveyTable(input, s) << std::flush;
                }
                first = false;
                continue;
            case Outcome::FileReadError:
                title = messages::kFileReadTitle;
                text = messages::kFileReadText;
                break;
            case Outcome::FormatError:
                title = messages::kFormatTitle;
                text = messages::kFormatText;
                break;
            default:
                title = messages::kWriteTitle;
                text = messages::kWriteText;
                break;
        }
        std::cout.flush();
        std::cerr << "trelvo-cli: " << input << ": " << title << ": " << text;
        if (!s.detail.empty())
            std::cerr << " (" << s.detail << ')';
        std::cerr << '\n';
    }
    return finishStandardOutput(worst);
}

}  // namespace trelvo::cli
