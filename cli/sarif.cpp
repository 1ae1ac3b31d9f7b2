#include "cli/sarif.h"

#include <ostream>

#include "cli/library_check.h"
#include "trelvo_version.h"

namespace trelvo::cli {

namespace {

// The length of the valid UTF-8 sequence at the start of s, or 0.
std::size_t utf8Length(std::string_view s) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned c = b(0);
    std::size_t n;
    unsigned low = 0x80, high = 0xBF;  // the second byte's range
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        low = c == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
        high = c == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        low = c == 0xF0 ? 0x90 : 0x80;
        high = c == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (s.size() < n || b(1) < low || b(1) > high)
        return 0;
    for (std::size_t i = 2; i < n; ++i) {
        if (b(i) < 0x80 || b(i) > 0xBF)
            return 0;
    }
    return n;
}

}  // namespace

void appendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            out += "\\u00";
            out += "0123456789abcdef"[c >> 4];
            out += "0123456789abcdef"[c & 15];
        } else if (c >= 0x80) {
            const std::size_t n = utf8Length(text.substr(i));
            if (n == 0) {
                // Latin-1: the byte is its own code point, written as two bytes of UTF-8.
                out += static_cast<char>(0xC0 | (c >> 6));
                out += static_cast<char>(0x80 | (c & 0x3F));
                ++i;
            } else {
                out.append(text.substr(i, n));
                i += n;
            }
            continue;
        } else {
            out += static_cast<char>(c);
        }
        ++i;
    }
    out += '"';
}

std::string artifactUri(std::string_view path) {
#ifdef _WIN32
    std::string p(path);
    for (char& c : p) {
        if (c == '\\')
            c = '/';
    }
    const bool drive = p.size() >= 2 && p[1] == ':' &&
                       ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'));
    const bool unc = p.starts_with("//");
    std::string uri = drive ? "file:///" : unc ? "file:" : p.starts_with('/') ? "file://" : "";
#else
    const std::string_view p = path;
    const bool drive = false;
    std::string uri = p.starts_with('/') ? "file://" : "";
#endif
    static const char digits[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < p.size(); ++i) {
        const auto c = static_cast<unsigned char>(p[i]);
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                                (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
                                c == '~' || c == '/';
        if (unreserved || (drive && i == 1)) {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += digits[c >> 4];
            uri += digits[c & 15];
        }
    }
    return uri;
}

SarifLog::SarifLog(std::ostream& out, const RuleSet& rules, const std::string& rulesFile)
    : out_(out) {
    std::string s =
        "{\n"
        "  \"$schema\": \"https://json.schemastore.org/sarif-2.1.0.json\",\n"
        "  \"version\": \"2.1.0\",\n"
        "  \"runs\": [\n"
        "    {\n"
        "      \"tool\": {\n"
        "        \"driver\": {\n"
        "          \"name\": \"trelvo-cli\",\n"
        "          \"version\": \"" TRELVO_VERSION
        "\",\n"
        "          \"rules\": [\n"
        "            {\"id\": \"structure\", \"shortDescription\": {\"text\": \"The decal follows "
        "its "
        "header's counts and what the library format allows\"}, \"defaultConfiguration\": "
        "{\"level\": \"error\"}}";
    ruleIndex_.emplace("structure", 0);
    for (const Check& c : rules.checks) {
        if (!ruleIndex_.emplace(c.name, static_cast<int>(ruleIndex_.size())).second)
            continue;  // one rule for checks of one name
        s += ",\n            {\"id\": ";
        appendJsonString(s, c.name);
        s += ", \"shortDescription\": {\"text\": ";
        appendJsonString(s, "[[check]] '" + c.name + "' of " + kindName(c.kind) + "s in " +
                                rulesFile +
                                (c.line > 0 ? ":" + std::to_string(c.line) : std::string()));
        s += "}, \"defaultConfiguration\": {\"level\": \"";
        s += c.error ? "error" : "warning";
        s += "\"}}";
    }
    s += "\n          ]\n        }\n      },\n      \"results\": [";
    out_ << s;
}

void SarifLog::appendResult(std::string& block, const std::string& input, const Finding& f) {
    const auto rule = ruleIndex_.find(f.check);
    block += firstResult_ ? "\n        {\"ruleId\": " : ",\n        {\"ruleId\": ";
    firstResult_ = false;
    appendJsonString(block, f.check);
    if (rule != ruleIndex_.end()) {
        block += ", \"ruleIndex\": ";
        block += std::to_string(rule->second);
    }
    block += f.error ? ", \"level\": \"error\", \"message\": {\"text\": "
                     : ", \"level\": \"warning\", \"message\": {\"text\": ";
    scratch_.clear();
    appendFindingMessage(scratch_, f);
    appendJsonString(block, scratch_);
    block += "}, \"locations\": [{\"physicalLocation\": {\"artifactLocation\": {\"uri\": ";
    appendJsonString(block, artifactUri(input));
    block += "}";
    if (f.line > 0) {
        block += ", \"region\": {\"startLine\": ";
        block += std::to_string(f.line);
        block += "}";
    }
    block += "}}]}";
}

void SarifLog::notify(bool error, std::string_view text) {
    std::string& to = notifications_[error ? 1 : 0];
    to += to.empty() ? "\n            {\"level\": \"" : ",\n            {\"level\": \"";
    to += error ? "error" : "warning";
    to += "\", \"message\": {\"text\": ";
    appendJsonString(to, text);
    to += "}}";
    failed_ = failed_ || error;
}

void SarifLog::finish() {
    std::string s = firstResult_ ? "],\n" : "\n      ],\n";
    s += "      \"invocations\": [\n        {\n          \"executionSuccessful\": ";
    s += failed_ ? "false" : "true";
    const char* const names[] = {"toolConfigurationNotifications", "toolExecutionNotifications"};
    for (int i = 0; i < 2; ++i) {
        if (notifications_[i].empty())
            continue;
        s += ",\n          \"";
        s += names[i];
        s += "\": [";
        s += notifications_[i];
        s += "\n          ]";
    }
    s += "\n        }\n      ]\n    }\n  ]\n}\n";
    out_ << s;
}

}  // namespace trelvo::cli
