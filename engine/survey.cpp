#include "engine/survey.h"

#include <algorithm>
#include <charconv>
#include <tuple>
#include <unordered_map>

#include "engine/decimal.h"
#include "engine/fields.h"

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

struct Tally {
    std::size_t row;
};

}  // namespace

Survey Survey_DFile(FileChannels& files, int16_t in) {
    Survey s;
    const int16_t sink = files.FreeFile();
    if (!files.OpenDiscard(sink)) {
        s.outcome = Outcome::WriteError;
        return s;
    }
    auto end = [&](Outcome o) {
        files.Close(sink);
        s.outcome = o;
        return s;
    };

    std::string_view line;
    if (!files.ReadLine(in, line))
        return end(Outcome::WriteError);  // a run fails the same way on a file without lines
    if (!isSignatureLine(line))
        return end(Outcome::FormatError);

    std::uint64_t lineNumber = 1;
    std::uint64_t decal = 0;         // ordinal of the current decal, 0 before the first
    std::uint64_t headerLine = 0;    // line of the last recognised header
    std::uint64_t examinedLine = 0;  // line of the last first-line-after-an-empty-line
    std::uint64_t lastCountedEligible = 0;
    bool afterBlank = false;
    Unit decalUnit = Unit::Mils;
    Fields fields;
    std::string key;
    std::unordered_map<std::string, Tally> tallies;      // by the fields as read
    std::unordered_map<std::string, std::size_t> rowOf;  // by the fields as grouped
    std::vector<std::uint64_t> lastDecalOfRow;  // ordinal of the last decal counted for a row

    // A header that no empty line precedes shows by the TIMESTAMP line after it. Looking at
    // every line that begins with "T" would stop the bulk skip at every terminal, so TIMESTAMP
    // is watched for only where the next decal can begin: at the start of the file, after a
    // piece up to the first terminal, and from a decal's first pad stack (which come last) on.
    constexpr std::string_view kWatchPads = "OCP";
    constexpr std::string_view kWatchTimestamp = "OCT";
    std::string_view stop = kWatchTimestamp;
    while (!files.AtEnd(in)) {
        if (!afterBlank) {
            const std::uint64_t before = lineNumber;
            if (!files.CopyPlainLines(in, sink, stop, lineNumber))
                return end(Outcome::WriteError);
            if (lineNumber != before)
                continue;
        }
        if (!files.ReadLine(in, line))
            return end(Outcome::WriteError);
        ++lineNumber;

        if (afterBlank) {
            examinedLine = lineNumber;
            Str2Ary_All(line, " ", 1, fields);
            if (isDecalHeader(fields)) {
                const auto unit = unitFromLetter(fields[2]);
                if (!unit) {
                    s.errorLine = lineNumber;
                    return end(Outcome::FormatError);
                }
                decalUnit = *unit;
                ++decal;
                ++s.decals;
                ++(decalUnit == Unit::Millimetres ? s.decalsMm : s.decalsMils);
                headerLine = lineNumber;
            }
            afterBlank = false;
            stop = kWatchPads;
        }
        if (line.empty())
            afterBlank = true;

        if (line.starts_with("TIMESTAMP")) {
            stop = kWatchPads;
            // A line that an empty line precedes but whose field count is not 11 is left out:
            // its fault is another one.
            if (headerLine + 1 != lineNumber && examinedLine + 1 != lineNumber) {
                if (s.unrecognisedHeaders++ == 0)
                    s.firstUnrecognisedHeader = lineNumber - 1;
            }
        } else if (line.starts_with("PAD")) {
            stop = kWatchTimestamp;
        } else if (line.starts_with("T")) {
            stop = kWatchPads;  // a terminal: no decal begins before the pad stacks
        }
        if (!isPieceHeaderLine(line))
            continue;
        stop = kWatchTimestamp;

        Str2Ary_All(line, " ", 1, fields);
        const std::size_t n = fields.count();
        PieceStatus status = PieceStatus::Eligible;
        if (n != kPieceFields)
            status = PieceStatus::FieldCount;
        else if (!isEligiblePiece(fields))
            status = PieceStatus::LineStyle;
        else if (decal == 0)
            status = PieceStatus::BeforeFirstDecal;
        if (status == PieceStatus::Eligible && lastCountedEligible != decal) {
            lastCountedEligible = decal;
            ++s.decalsWithEligible;
        }

        // Most pieces repeat a handful of shapes: look them up by the fields as read, and group
        // (which reads the width as a number) only the first time a shape is met.
        key.clear();
        key += unitLetter(decalUnit);
        key += static_cast<char>('0' + static_cast<int>(status));
        if (status == PieceStatus::FieldCount)
            key += std::to_string(n);
        for (int i : {1, 3, 4, 5}) {
            key += '\0';
            if (static_cast<std::size_t>(i) <= n)
                key += fields[i];
        }
        auto found = tallies.find(key);
        if (found == tallies.end()) {
            SurveyRow row;
            row.unit = decalUnit;
            row.status = status;
            row.fieldCount = n;
            row.keyword = fields[1];
            if (n >= 3) {
                const auto w = Decimal::parse(fields[3]);
                row.widthIsNumber = w.has_value();
                row.width = w ? w->toString() : std::string(fields[3]);
            }
            if (n >= 4)
                row.layer = fields[4];
            if (n >= 5)
                row.field5 = fields[5];
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
            found = tallies.emplace(key, Tally{g->second}).first;
        }
        const std::size_t r = found->second.row;
        ++s.rows[r].pieces;
        if (decal != 0 && lastDecalOfRow[r] != decal) {
            lastDecalOfRow[r] = decal;
            ++s.rows[r].decals;
        }
    }
    s.lines = lineNumber;
    std::sort(s.rows.begin(), s.rows.end(), rowLess);
    return end(Outcome::Done);
}

Survey SurveyFile(const std::string& path) {
    FileChannels files;
    const int16_t in = files.FreeFile();
    if (!files.OpenInput(in, path)) {
        Survey s;
        s.outcome = Outcome::FileReadError;
        return s;
    }
    Survey s = Survey_DFile(files, in);
    files.Close(in);
    return s;
}

}  // namespace trelvo
