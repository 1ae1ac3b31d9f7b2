#include "cli/rules_file.h"

#include <algorithm>
#include <fstream>
#include <map>

#include <toml.h>

#include "engine/check.h"
#include "engine/decimal.h"
#include "files/paths.h"

namespace trelvo::cli {

namespace {

// A fault at a place in the file; the first by place is the one reported.
struct Fault {
    toml::source_position at;
    std::string text;
};

struct Reader {
    const std::string& name;
    std::vector<Fault> faults;
    std::vector<Fault> warnings;

    void fault(const toml::source_region& where, std::string text) {
        faults.push_back({where.begin, std::move(text)});
    }

    std::string place(const toml::source_position& p) const {
        return name + ":" + std::to_string(p.line) + ":" + std::to_string(p.column);
    }

    // A string value, or nothing with a fault.
    std::optional<std::string> text(const toml::node& n, std::string_view key) {
        if (const auto* s = n.as_string())
            return s->get();
        fault(n.source(), "'" + std::string(key) + "' must be a string");
        return std::nullopt;
    }

    // A string or an array of strings.
    std::optional<std::vector<std::string>> texts(const toml::node& n, std::string_view key) {
        if (n.is_string())
            return std::vector<std::string>{n.as_string()->get()};
        const auto* a = n.as_array();
        if (!a) {
            fault(n.source(), "'" + std::string(key) + "' must be a string or a list of strings");
            return std::nullopt;
        }
        std::vector<std::string> out;
        for (const toml::node& e : *a) {
            auto s = text(e, key);
            if (!s)
                return std::nullopt;
            out.push_back(std::move(*s));
        }
        return out;
    }

    // "10mil", "0.254mm": a value with its unit.
    std::optional<Length> size(const toml::source_region& where, std::string_view key,
                               std::string_view value) {
        const auto e = readWidthEntry(value);
        const char* bad = nullptr;
        if (!e)
            bad = "is not a number with mil or mm after it";
        else if (e->suffix == WidthEntry::Suffix::None)
            bad = "has no unit: write mil or mm after it";
        else if (e->value.isNegative())
            bad = "is negative";
        else if (!(e->unit() == Unit::Mils ? e->value.milsToMm() : e->value.mmToMils()))
            bad = "has too many digits";
        if (bad) {
            fault(where, "the " + std::string(key) + " '" + std::string(value) + "' " + bad);
            return std::nullopt;
        }
        return Length{e->value, e->unit(), e->value.toString()};
    }

    // A value or an inclusive range "LOW..HIGH".
    std::optional<LengthTest> sizeTest(const toml::node& n, std::string_view key) {
        const auto s = text(n, key);
        if (!s)
            return std::nullopt;
        return sizeTest(n.source(), key, *s);
    }
    std::optional<LengthTest> sizeTest(const toml::source_region& n, std::string_view key,
                                       const std::string& s) {
        const auto dots = s.find("..");
        if (dots == std::string::npos) {
            auto w = size(n, key, s);
            return w ? std::optional(equalTest(*w)) : std::nullopt;
        }
        auto low = size(n, key, std::string_view(s).substr(0, dots));
        auto high = low ? size(n, key, std::string_view(s).substr(dots + 2)) : std::nullopt;
        if (!high)
            return std::nullopt;
        LengthTest range = rangeTest(*low, *high);
        const int u = unitIndex(low->unit);
        if (*range.top[u] < *range.low[u]) {
            fault(n, "the range '" + s + "' has its ends reversed");
            return std::nullopt;
        }
        return range;
    }

    std::optional<std::string> layer(const toml::node& n, std::string_view key, bool anyAllowed) {
        auto s = text(n, key);
        if (!s)
            return std::nullopt;
        if (!isLayerNumber(*s) && !(anyAllowed && *s == "*")) {
            fault(n.source(), "the " + std::string(key) + " '" + *s + "' is not a layer number" +
                                  (anyAllowed ? " or \"*\"" : ""));
            return std::nullopt;
        }
        return s;
    }

    void unknown(const toml::key& k, std::string_view table) {
        fault(k.source(),
              "unknown key '" + std::string(k.str()) + "' in [[" + std::string(table) + "]]");
    }

    // The match keys every kind of rule has: decal globs and a layer ("*": any).
    void sharedKey(std::string_view key, const toml::node& v, DecalMatch& decals,
                   std::optional<std::string>& layerText) {
        if (key == "decal") {
            if (auto list = texts(v, key))
                decals.patterns = std::move(*list);
        } else if (auto l = layer(v, key, true)) {
            layerText = *l == "*" ? std::nullopt : std::optional<std::string>(*l);
        }
    }

    // The match keys of a piece rule; false for a key that is not one.
    bool matchKey(const toml::key& k, const toml::node& v, PieceRule& r, bool = false) {
        const std::string_view key = k.str();
        if (key == "keyword") {
            if (auto list = texts(v, key)) {
                r.keywords = 0;
                for (const std::string& w : *list) {
                    const unsigned bit = pieceKeywordOf(w);
                    if (!bit)
                        fault(v.source(),
                              "the keyword '" + w + "' is none of OPEN, CLOSED, CIRCLE");
                    r.keywords |= bit;
                }
            }
        } else if (key == "decal" || key == "layer") {
            sharedKey(key, v, r.decals, r.layer);
        } else if (key == "width") {
            if (auto t = sizeTest(v, key))
                r.width = *t;
        } else if (key == "style") {
            if (auto s = text(v, key))
                r.style = *s == "*" ? std::nullopt : std::optional<std::string>(*s);
        } else {
            return false;
        }
        return true;
    }

    bool matchKey(const toml::key& k, const toml::node& v, LabelRule& r, bool isText) {
        const std::string_view key = k.str();
        if (key == (isText ? "text" : "name")) {
            if (auto s = text(v, key))
                r.name = *s;
        } else if (key == "decal" || key == "layer") {
            sharedKey(key, v, r.decals, r.layer);
        } else if (key == "height" || key == "width") {
            if (auto t = sizeTest(v, key))
                (key == "height" ? r.height : r.width) = *t;
        } else {
            return false;
        }
        return true;
    }

    // The set table of a change rule: what it may set, by kind.
    template <typename Rule>
    void setTable(const toml::node& v, Rule& r) {
        const auto* t = v.as_table();
        if (!t) {
            fault(v.source(), "'set' must be a table, as set = { layer = \"26\" }");
            return;
        }
        if (t->empty())
            fault(v.source(), "'set' sets nothing");
        for (auto&& [k, value] : *t) {
            const std::string_view key = k.str();
            if (key == "layer") {
                if (auto l = layer(value, "new layer", false)) {
                    if (!withinLayers(*l))
                        fault(value.source(),
                              "the new layer '" + *l + "' is over 250, the most the format allows");
                    r.setLayer = *l;
                }
            } else if (key == "width") {
                if (auto s = text(value, key)) {
                    r.setWidth = size(value.source(), "width", *s);
                    if (r.setWidth && !withinWidths(r.setWidth->value, r.setWidth->unit)) {
                        fault(value.source(),
                              "the new width '" + *s +
                                  "' is over 250 mil (6.35 mm), the most the format allows");
                    }
                }
            } else if (requires { r.setHeight; } && key == "height") {
                if constexpr (requires { r.setHeight; }) {
                    if (auto s = text(value, key))
                        r.setHeight = size(value.source(), "height", *s);
                }
            } else {
                fault(k.source(), "unknown key '" + std::string(key) + "' in set");
            }
        }
    }

    // A change rule of table, [[piece]], [[label]] or [[text]] (isText).
    template <typename Rule>
    void rule(const toml::table& t, std::vector<Rule>& out, std::string_view table, bool isText) {
        Rule r;
        r.line = static_cast<int>(t.source().begin.line);
        bool hasSet = false;
        for (auto&& [k, v] : t) {
            if (k.str() == "set") {
                hasSet = true;
                setTable(v, r);
            } else if (!matchKey(k, v, r, isText)) {
                unknown(k, table);
            }
        }
        if (!hasSet)
            fault(t.source(), "[[" + std::string(table) + "]] has no 'set'");
        out.push_back(std::move(r));
    }

    void check(const toml::table& t, RuleSet& rules) {
        Check c;
        c.line = static_cast<int>(t.source().begin.line);
        if (const toml::node* kind = t.get("kind")) {
            const auto s = text(*kind, "kind");
            if (s && *s == "label")
                c.kind = ItemKind::Label;
            else if (s && *s == "text")
                c.kind = ItemKind::Text;
            else if (s && *s != "piece")
                fault(kind->source(), "the kind '" + *s + "' is none of piece, label, text");
        }
        bool hasAllow = false;
        for (auto&& [k, v] : t) {
            const std::string_view key = k.str();
            if (key == "kind")
                continue;
            if (key == "name") {
                if (auto s = text(v, key))
                    c.name = *s;
            } else if (key == "label" && c.kind == ItemKind::Label) {
                // "name" names the check, so a label check names its label with "label".
                if (auto s = text(v, key))
                    c.label.name = *s;
            } else if (key == "severity") {
                const auto s = text(v, key);
                if (s && *s != "error" && *s != "warning")
                    fault(v.source(), "the severity '" + *s + "' is neither error nor warning");
                c.error = !s || *s != "warning";
            } else if (key == "forbid") {
                if (!v.is_boolean())
                    fault(v.source(), "'forbid' must be true or false");
                else
                    c.forbid = v.as_boolean()->get();
            } else if (key == "allow") {
                hasAllow = true;
                allow(v, c);
            } else if (c.kind == ItemKind::Piece
                           ? !matchKey(k, v, c.piece)
                           : !matchKey(k, v, c.label, c.kind == ItemKind::Text)) {
                unknown(k, "check");
            }
        }
        if (!hasAllow && !c.forbid)
            fault(t.source(), "[[check]] has neither 'allow' nor 'forbid = true'");
        if (c.name.empty())
            c.name = "check " + std::to_string(rules.checks.size() + 1);
        rules.checks.push_back(std::move(c));
    }

    void allow(const toml::node& v, Check& c) {
        const auto* t = v.as_table();
        if (!t) {
            fault(v.source(), "'allow' must be a table, as allow = { width = [\"5mil\"] }");
            return;
        }
        for (auto&& [k, value] : *t) {
            const std::string_view key = k.str();
            const bool sizeKey = key == "width" || (key == "height" && c.kind != ItemKind::Piece);
            if (key != "layer" && !sizeKey) {
                fault(k.source(), "unknown key '" + std::string(key) + "' in allow");
                continue;
            }
            const auto list = texts(value, key);
            if (!list)
                continue;
            for (const std::string& s : *list) {
                (key == "layer"   ? c.allowedLayersText
                 : key == "width" ? c.allowedWidthsText
                                  : c.allowedHeightsText)
                    .push_back(s);
                if (key == "layer") {
                    if (isLayerNumber(s))
                        c.allowedLayers.push_back(s);
                    else
                        fault(value.source(), "the layer '" + s + "' is not a layer number");
                } else {
                    if (auto test = sizeTest(value.source(), key, s))
                        (key == "width" ? c.allowedWidths : c.allowedHeights).push_back(*test);
                }
            }
        }
    }
};

bool covers(const LengthTest& a, const LengthTest& b) {
    if (a.kind == LengthTest::Kind::Any)
        return true;
    return a.kind == b.kind && a.kind == LengthTest::Kind::Equal &&
           a.value.value == b.value.value && a.value.unit == b.value.unit;
}

template <typename T>
bool coversOptional(const std::optional<T>& a, const std::optional<T>& b) {
    return !a || a == b;
}

// Rule a takes every line rule b could: b can never match behind it.
bool covers(const PieceRule& a, const PieceRule& b) {
    return (a.keywords & b.keywords) == b.keywords && a.decals.patterns.empty() &&
           coversOptional(a.layer, b.layer) && coversOptional(a.style, b.style) &&
           covers(a.width, b.width);
}

bool covers(const LabelRule& a, const LabelRule& b) {
    return a.decals.patterns.empty() && coversOptional(a.name, b.name) &&
           coversOptional(a.layer, b.layer) && covers(a.height, b.height) &&
           covers(a.width, b.width);
}

template <typename Rule>
void shadowed(Reader& reader, const std::vector<Rule>& rules,
              const std::vector<toml::source_position>& at, const char* table) {
    for (std::size_t b = 0; b < rules.size(); ++b) {
        for (std::size_t a = 0; a < b; ++a) {
            if (covers(rules[a], rules[b])) {
                reader.warnings.push_back(
                    {at[b], std::string("[[") + table + "]] rule " + std::to_string(b + 1) +
                                " can never match: rule " + std::to_string(a + 1) +
                                " takes all its lines"});
                break;
            }
        }
    }
}

}  // namespace

std::optional<RulesFile> parseRulesFile(std::string_view text, const std::string& name,
                                        std::string& why) {
    toml::table doc;
    try {
        doc = toml::parse(text, std::string_view(name));
    } catch (const toml::parse_error& e) {
        why = name + ":" + std::to_string(e.source().begin.line) + ":" +
              std::to_string(e.source().begin.column) + ": " + std::string(e.description());
        return std::nullopt;
    }
    Reader reader{name, {}, {}};
    RulesFile file;
    std::map<std::string_view, std::vector<toml::source_position>> at;  // of the change rules
    for (auto&& [k, v] : doc) {
        const std::string_view table = k.str();
        const bool known =
            table == "piece" || table == "label" || table == "text" || table == "check";
        if (!known) {
            reader.fault(k.source(),
                         "unknown table '" + std::string(table) +
                             "': the tables are [[piece]], [[label]], [[text]] and [[check]]");
            continue;
        }
        const auto* list = v.as_array();
        if (!list || !list->is_array_of_tables()) {
            reader.fault(v.source(), "'" + std::string(table) + "' must be written [[" +
                                         std::string(table) + "]]");
            continue;
        }
        for (const toml::node& n : *list) {
            const toml::table& t = *n.as_table();
            if (table == "check") {
                reader.check(t, file.rules);
                continue;
            }
            at[table].push_back(t.source().begin);
            if (table == "piece")
                reader.rule(t, file.rules.pieces, table, false);
            else
                reader.rule(t, table == "label" ? file.rules.labels : file.rules.texts, table,
                            table == "text");
        }
    }
    if (!reader.faults.empty()) {
        const auto first = std::min_element(
            reader.faults.begin(), reader.faults.end(), [](const Fault& a, const Fault& b) {
                return a.at.line != b.at.line ? a.at.line < b.at.line : a.at.column < b.at.column;
            });
        why = reader.place(first->at) + ": " + first->text;
        return std::nullopt;
    }
    shadowed(reader, file.rules.pieces, at["piece"], "piece");
    shadowed(reader, file.rules.labels, at["label"], "label");
    shadowed(reader, file.rules.texts, at["text"], "text");
    for (const Fault& w : reader.warnings)
        file.warnings.push_back(reader.place(w.at) + ": warning: " + w.text);
    return file;
}

std::vector<std::string> unmatchedWarnings(const RuleSet& rules, const std::string& name,
                                           const RuleMatches& m, bool changeRules, bool checks) {
    std::vector<std::pair<int, std::string>> found;  // told in the file's order
    const auto warn = [&](int line, const std::string& what) {
        found.emplace_back(line, name + ":" + std::to_string(line) + ": warning: this " + what);
    };
    const auto none = [](const std::vector<std::uint64_t>& counts, std::size_t i) {
        return i >= counts.size() || counts[i] == 0;
    };
    const auto unmatched = [&](const auto& list, const auto& counts, const char* table) {
        for (std::size_t i = 0; changeRules && i < list.size(); ++i) {
            if (none(counts, i))
                warn(list[i].line, std::string("[[") + table + "]] rule matched nothing");
        }
    };
    unmatched(rules.pieces, m.pieces, "piece");
    unmatched(rules.labels, m.labels, "label");
    unmatched(rules.texts, m.texts, "text");
    for (std::size_t i = 0; checks && i < rules.checks.size(); ++i) {
        const Check& c = rules.checks[i];
        if (none(m.checks, i))
            warn(c.line, "[[check]] '" + c.name + "' matched no " + kindName(c.kind));
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> out;
    for (auto& f : found)
        out.push_back(std::move(f.second));
    return out;
}

std::optional<RulesFile> readRulesFile(const std::string& path, std::string& why) {
    std::ifstream in(toPath(path), std::ios::binary);
    if (!in) {
        why = path + ": the rules file cannot be read";
        return std::nullopt;
    }
    std::string text;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (text.size() > kMaxRulesFileSize) {
            why = path + ": the rules file is larger than 1 MB";
            return std::nullopt;
        }
    }
    if (in.bad()) {
        why = path + ": the rules file cannot be read";
        return std::nullopt;
    }
    if (text.starts_with(kSignature)) {
        why = path + ": a decal library, not a rules file (TOML)";
        return std::nullopt;
    }
    return parseRulesFile(text, path, why);
}

}  // namespace trelvo::cli
