// One run of Trelvo, as the Run button starts it: the entry check, opening the input, the update
// pass that copies the library and rewrites the matching outline piece lines, and closing.
// Both front ends (the dialog and trelvo-cli) drive exactly this sequence.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/decal_format.h"
#include "engine/report.h"
#include "files/channels.h"

namespace trelvo {

// The working state the main window owns, under its own names, in declaration order (the
// file-open dialog request stays with the window).
struct MainFormState {
    int16_t InFileNum = 0;    // channel of the open input file
    int16_t OutFileNum = 0;   // channel of the output file
    std::string InFileName;   // follows the input file box
    std::string OutFileName;  // follows the output file box
    bool EnLyr = false;       // the layer pair takes part (set at load)
    bool EnWd = false;        // the width pair takes part (set at load)
    bool OpenErr = false;     // the last attempt to open the input failed
};

// The four entry texts, exactly as typed (not trimmed, also for a disabled pair).
struct EntryTexts {
    std::string old_lyr;
    std::string new_lyr;
    std::string old_wd;
    std::string new_wd;
};

// One rewritten piece header line, for front ends that report what a run changed.
struct PieceRewrite {
    std::string_view decal_name;  // field 1 of the decal's header; empty before the first decal
    std::uint64_t line_number;    // 1-based line of the input
    std::string_view keyword;
    std::string_view old_layer, new_layer;
    std::string_view old_width, new_width;
    Unit decal_unit;
};

struct RuleSet;

// What a successful pass found, for front ends that warn when a run changed nothing.
struct PassStats {
    std::uint64_t decalHeaders = 0;   // decal headers recognised
    std::uint64_t rewrittenLines = 0;  // piece header lines rewritten
};

// Optional extras for batch front ends; the dialog passes none and gets the plain pass.
struct PassHooks {
    // When set, only decals whose name it accepts are rewritten (and counted); piece lines before
    // the first decal header are left as they are.
    std::function<bool(std::string_view decal_name)> decal_filter;
    std::function<void(const PieceRewrite&)> on_rewrite;
    bool dry_run = false;  // run the whole pass but create no output file
    // Write OutFileName directly rather than through a temporary file beside it (it is one
    // already: --in-place).
    bool direct_output = false;
    // When set, the rules the pass applies, in place of the entries (trelvo-cli's own reading
    // of its options); the selection check is then the caller's.
    const RuleSet* rules = nullptr;
    PassStats* stats = nullptr;  // filled in when the pass succeeds
};

// Services a run needs: the file channels and where its outcome is reported.
struct RunContext {
    FileChannels& files;
    Reporter report;
};

// True when both file names are given, each enabled pair has both boxes filled, the new layer of
// an enabled layer pair is a layer number and the new width of an enabled width pair a number of
// at least 0 (with "mil" or "mm" after it, or none); otherwise reports "User entry error" (once)
// and returns false.
bool Valid_Entries(const MainFormState& st, const EntryTexts& entries, const Reporter& report);

// Opens InFileName on the next free channel. On failure reports "File read error" and sets
// OpenErr.
void Open_Dfile(MainFormState& st, RunContext& ctx);

// Closes the input channel, then the output channel; channels that are not open are skipped.
void Close_IO(MainFormState& st, FileChannels& files);

// The update pass. Needs the input open on InFileNum; opens OutFileName itself (through a
// temporary file that replaces it only when the pass succeeds, so a failed pass leaves it as it
// was), copies the library, closes both files and reports exactly one outcome, which it also
// returns.
Outcome Read_DFile(MainFormState& st, RunContext& ctx, std::string_view old_lyr,
                   std::string_view new_lyr, std::string_view old_wd, std::string_view new_wd,
                   const PassHooks& hooks = {});

// The Run button: Valid_Entries, Open_Dfile, Read_DFile.
Outcome Run(MainFormState& st, RunContext& ctx, const EntryTexts& entries,
            const PassHooks& hooks = {});

// The output name Browse derives from a chosen input: "_new.d" in place of the last two
// characters when the second-to-last is "." (parts.d, parts.D, parts.x give parts_new.d);
// nothing for any other name.
std::optional<std::string> DeriveOutputName(std::string_view input);

}  // namespace trelvo
