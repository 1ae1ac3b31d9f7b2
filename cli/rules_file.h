// House rules files: the TOML tables [[piece]], [[label]], [[text]] and [[check]] read into the
// engine's rule set. Every fault of a file is a usage error that names its file, line and
// column; a rule that can never match is a warning.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/rules.h"

namespace trelvo::cli {

struct RulesFile {
    RuleSet rules;
    std::vector<std::string> warnings;  // "FILE:LINE:COLUMN: TEXT"
};

// Reads the rules in text; name is the file's name for the messages. Nothing, with why set
// ("FILE:LINE:COLUMN: TEXT"), when the text is not a valid rules file.
std::optional<RulesFile> parseRulesFile(std::string_view text, const std::string& name,
                                        std::string& why);

// Rules and checks that took nothing in a run of one or more libraries (their counts added up):
// "FILE:LINE: warning: this [[label]] rule matched nothing", "... this [[check]] 'NAME' matched
// no piece". Change rules only when changeRules, checks only when checks.
std::vector<std::string> unmatchedWarnings(const RuleSet& rules, const std::string& name,
                                           const RuleMatches& matches, bool changeRules,
                                           bool checks);

// Reads the file at path (at most kMaxRulesFileSize bytes) and parses it.
inline constexpr std::size_t kMaxRulesFileSize = 1 << 20;
std::optional<RulesFile> readRulesFile(const std::string& path, std::string& why);

}  // namespace trelvo::cli
