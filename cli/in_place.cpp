#include "cli/in_place.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <string_view>

#include "engine/decal_reader.h"
#include "engine/fields.h"
#include "files/channels.h"
#include "files/paths.h"
#include "files/replace.h"

namespace trelvo::cli {

std::optional<std::string> backupName(const std::string& target, Backup mode) {
    if (mode == Backup::None)
        return std::nullopt;
    const std::string simple = target + ".orig";
    if (mode == Backup::Simple)
        return simple;
    const std::filesystem::path path = toPath(simple);
    // Windows names ignore case: PARTS.D.ORIG.3 holds a number too.
    const auto folded = [](std::string name) {
#if defined(_WIN32)
        for (char& c : name)
            c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
#endif
        return name;
    };
    const std::string prefix = folded(fromPath(path.filename()) + ".");
    std::uint64_t highest = 0;
    std::error_code ec;
    const auto folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = folded(fromPath(it->path().filename()));
        if (!name.starts_with(prefix))
            continue;
        const char* digits = name.data() + prefix.size();
        const char* last = name.data() + name.size();
        std::uint64_t n = 0;
        const auto [at, err] = std::from_chars(digits, last, n);
        if (err == std::errc() && at == last && digits[0] != '0')
            highest = std::max(highest, n);
    }
    return simple + "." + std::to_string(highest + 1);
}

std::optional<std::string> checkWritten(const std::string& input, const std::string& written,
                                        const std::vector<WrittenChange>& pieces) {
    FileChannels files;
    const int16_t in = files.FreeFile();
    if (!files.OpenInput(in, input))
        return failureText("cannot read back", input);
    const int16_t out = files.FreeFile();
    if (!files.OpenInput(out, written))
        return failureText("cannot read back", written);

    auto piece = pieces.begin();
    Fields fields;
    std::string expected;
    std::uint64_t lineNumber = 0;
    std::string_view inLine, b;
    while (!files.AtEnd(in)) {
        if (!files.ReadLine(in, inLine))
            return failureText("cannot read back", input);
        ++lineNumber;
        if (files.AtEnd(out) || !files.ReadLine(out, b)) {
            return "the written file ends before line " + std::to_string(lineNumber);
        }
        std::string_view want = inLine;
        if (piece != pieces.end() && piece->line == lineNumber) {
            if (piece->kind != ItemKind::Piece) {
                expected = withItemFields(inLine, piece->kind == ItemKind::Label, piece->newLayer,
                                          piece->newHeight, piece->newWidth);
            } else {
                Str2Ary_All(inLine, " ", 1, fields);
                if (fields.count() != kPieceFields) {
                    return "line " + std::to_string(lineNumber) +
                           " was rewritten but is no piece line";
                }
                rebuildPieceLine(fields[1], fields[2], piece->newWidth, piece->newLayer, fields[5],
                                 expected);
            }
            want = expected;
            ++piece;
        }
        if (b != want)
            return "line " + std::to_string(lineNumber) + " of the written file differs";
    }
    if (!files.AtEnd(out))
        return "the written file has more lines than the input";
    if (piece != pieces.end())
        return "the written file lacks rewritten lines";
    return std::nullopt;
}

}  // namespace trelvo::cli
