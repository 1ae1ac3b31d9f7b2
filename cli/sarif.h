// trelvo-cli --check --format sarif: the findings as a SARIF 2.1.0 log, so that a code scanning
// service shows each one on its library's line. One result per finding, its rule the check's name
// or "structure"; INPUTs that could not be read and the rules file's warnings are notifications
// of the one invocation.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/check.h"
#include "engine/rules.h"

namespace trelvo::cli {

class SarifLog {
public:
    // Writes the log's opening: the tool and its rules (the checks of rules, from rulesFile).
    SarifLog(std::ostream& out, const RuleSet& rules, const std::string& rulesFile);

    // One result, appended to block (which the caller writes on in large pieces).
    void appendResult(std::string& block, const std::string& input, const Finding& f);
    // A notification of the invocation: an INPUT that could not be checked (error), or a
    // warning on the rules file.
    void notify(bool error, std::string_view text);
    // Writes the rest of the log; the invocation succeeded when every INPUT was checked.
    void finish();

private:
    std::ostream& out_;
    std::unordered_map<std::string_view, int> ruleIndex_;  // into the rules' own names
    bool firstResult_ = true, failed_ = false;
    std::string notifications_[2];  // warnings, errors: JSON array elements
    std::string scratch_;
};

// A JSON string of text (with its quotes): valid UTF-8 is kept, any other byte is read as
// Latin-1, as a library written on Windows holds it.
void appendJsonString(std::string& out, std::string_view text);
// A path as a SARIF artifact URI: relative paths stay relative (with '/'), absolute ones become
// file: URIs; bytes other than unreserved ones and '/' are percent-encoded.
std::string artifactUri(std::string_view path);

}  // namespace trelvo::cli
