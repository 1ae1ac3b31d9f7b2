// What trelvo-cli's streaming costs before any rule runs: copies IN to OUT through the same
// file channels and bulk copy as the update pass, handing out the lines a run would look at and
// writing each back unchanged. bench/run times it beside dd and trelvo-cli.
//
//   trelvo-bench-floor [--stop CHARS] IN OUT
//
// By default the bulk copy stops where the pass's does (empty lines, lines beginning like OPEN,
// CLOSED, CIRCLE or TIMESTAMP); --stop "" stops it at empty lines only.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "files/channels.h"
#include "files/file_streams.h"

int main(int argc, char** argv) {
    // The pass's own stops: OPEN, CLOSED, CIRCLE and TIMESTAMP lines by their first two
    // characters.
    trelvo::LineStops stop = trelvo::LineStops::prefixes({"OP", "CL", "CI", "TI"});
    int i = 1;
    if (argc > 2 && std::strcmp(argv[1], "--stop") == 0) {
        if (std::strlen(argv[2]) > trelvo::LineStops::kMaxPrefixes) {
            std::fputs("trelvo-bench-floor: too many stop characters\n", stderr);
            return 2;
        }
        stop = trelvo::LineStops(argv[2]);
        i = 3;
    }
    if (argc - i != 2) {
        std::fputs("usage: trelvo-bench-floor [--stop CHARS] IN OUT\n", stderr);
        return 2;
    }
    trelvo::FileChannels files;
    if (!files.OpenInput(1, argv[i]) || !files.OpenOutput(2, argv[i + 1])) {
        std::fprintf(stderr, "trelvo-bench-floor: cannot open %s or %s\n", argv[i], argv[i + 1]);
        return 1;
    }
    std::string_view line;
    std::uint64_t lines = 0;
    for (;;) {
        const auto next = files.CopyToNextLine(1, 2, &stop, line, lines);
        if (next == trelvo::FileChannels::Next::End)
            break;
        if (next == trelvo::FileChannels::Next::Failed || !files.WriteLine(2, line)) {
            std::fputs("trelvo-bench-floor: read or write failed\n", stderr);
            return 1;
        }
    }
    if (!files.Close(2) || !files.Close(1)) {
        std::fputs("trelvo-bench-floor: close failed\n", stderr);
        return 1;
    }
    return 0;
}
