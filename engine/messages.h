// The texts, titles and icons of every outcome of a run. Front ends show them exactly as here.
#pragma once

#include <string>
#include <string_view>

#include "engine/report.h"

namespace trelvo::messages {

inline constexpr std::string_view kUserEntryText =
    "Invalid or empty entry boxes -please enter values for processing.";
inline constexpr std::string_view kUserEntryTitle = "User entry error";

inline constexpr std::string_view kFileReadText =
    "Filename error -please check dir and filename and retry.";
inline constexpr std::string_view kFileReadTitle = "File read error";

inline constexpr std::string_view kSelectionText =
    "No options selected to process -select Layer and/or Width.";
inline constexpr std::string_view kSelectionTitle = "Selection error";

inline constexpr std::string_view kFormatText = "Error in Decal Lib (*.d) format...exiting.";
inline constexpr std::string_view kFormatTitle = "File format error";

inline constexpr std::string_view kWriteText =
    "Error: File I/O or User Entry -Processing incomplete!";
inline constexpr std::string_view kWriteTitle = "File write error";

inline constexpr std::string_view kDoneTitle = "Done";

inline Report userEntryError() {
    return {std::string(kUserEntryText), std::string(kUserEntryTitle), Icon::Warning};
}
inline Report fileReadError() {
    return {std::string(kFileReadText), std::string(kFileReadTitle), Icon::Warning};
}
inline Report selectionError() {
    return {std::string(kSelectionText), std::string(kSelectionTitle), Icon::Warning};
}
inline Report formatError() {
    return {std::string(kFormatText), std::string(kFormatTitle), Icon::Error};
}
inline Report writeError() {
    return {std::string(kWriteText), std::string(kWriteTitle), Icon::Warning};
}
// Four lines separated by a single carriage return.
inline Report done(long count, std::string_view outFileName) {
    std::string text = "Processing complete.\r";
    text += std::to_string(count);
    text += " Decal(s) updated.\rUpdated decal file written to: ";
    text += outFileName;
    return {std::move(text), std::string(kDoneTitle), Icon::Information};
}

// The box a run ends with: the completion box for Done (count and output name), else the box of
// the failure.
inline Report forOutcome(Outcome outcome, long count, std::string_view outFileName) {
    switch (outcome) {
        case Outcome::Done:
            return done(count, outFileName);
        case Outcome::UserEntryError:
            return userEntryError();
        case Outcome::FileReadError:
            return fileReadError();
        case Outcome::SelectionError:
            return selectionError();
        case Outcome::FormatError:
            return formatError();
        case Outcome::RunError:
            break;
    }
    return writeError();
}

}  // namespace trelvo::messages
