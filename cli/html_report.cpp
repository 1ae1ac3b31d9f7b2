#include "cli/html_report.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <numbers>
#include <optional>

#include "engine/fields.h"
#include "engine/geometry.h"
#include "files/file_streams.h"

namespace trelvo::cli {

namespace {

// Rewritten pieces are marked in this colour and no layer is drawn in it.
constexpr const char* kHighlight = "#ff00ff";
// A layer's colour is its number's entry, modulo the palette, so that it is the same on every
// page; sixteen entries keep layers 0-2 and 20-30, where outlines and labels lie, apart.
constexpr const char* kPalette[] = {
    "#000000", "#d62728", "#1f77b4", "#8c564b", "#9467bd", "#bcbd22", "#17becf", "#7b4173",
    "#ff7f0e", "#8b0000", "#2ca02c", "#0b3d91", "#b8860b", "#006d5b", "#4b0082", "#556b2f"};
// Layers that are no number (a damaged line) share this one.
constexpr const char* kOtherLayer = "#a9a9a9";
constexpr double kDrawingPx = 360;
// Thinner lines would vanish on the screen; they are drawn this wide.
constexpr double kThinnestPx = 1.5;

std::string num(double v) {
    if (std::abs(v) < 1e-12)
        v = 0;
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 8);
    return std::string(buf, r.ptr);
}

constexpr const char* kStyle =
    "body{font-family:sans-serif;margin:1.5em;color:#222}"
    "table.entries td{padding:0 1em 0 0}"
    "div.decal{display:inline-block;vertical-align:top;margin:0 2em 2em 0}"
    "div.pair{display:flex;gap:1em}"
    "figure{margin:0}figcaption{font-size:90%;color:#555}"
    "svg.drawing{border:1px solid #ccc;background:#fff}"
    "span.swatch{display:inline-block;width:1.5em;height:0.6em;margin:0 0.3em 0 1em}"
    "p.note{color:#8a4b00}";

const char* layerColour(std::string_view layer) {
    unsigned n = 0;
    const auto r = std::from_chars(layer.data(), layer.data() + layer.size(), n);
    if (layer.empty() || r.ec != std::errc() || r.ptr != layer.data() + layer.size())
        return kOtherLayer;
    return kPalette[n % std::size(kPalette)];
}

// Text for the page: XML special characters escaped, bytes that are not UTF-8 shown as U+FFFD.
std::string htmlText(std::string_view t) {
    std::string out;
    std::size_t i = 0;
    while (i < t.size()) {
        const unsigned char c = static_cast<unsigned char>(t[i]);
        const std::size_t len = c < 0x80         ? 1
                                : (c >> 5) == 6  ? 2
                                : (c >> 4) == 14 ? 3
                                : (c >> 3) == 30 ? 4
                                                 : 0;
        // Two-byte forms below 0xC2 are overlong.
        bool valid = len > 0 && i + len <= t.size() && !(len == 2 && c < 0xC2);
        for (std::size_t k = 1; valid && k < len; ++k)
            valid = (static_cast<unsigned char>(t[i + k]) & 0xC0) == 0x80;
        // Control characters are not allowed in XML at all.
        if (!valid || (c < 0x20 && c != '\t')) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        out += c == '&'   ? "&amp;"
               : c == '<' ? "&lt;"
               : c == '>' ? "&gt;"
               : c == '"' ? "&quot;"
                          : t.substr(i, len);
        i += len;
    }
    return out;
}

struct Drawn {
    const GeometryPiece* piece;
    double width;
    std::string layer;
    bool rewritten;
};

// A label or text as one side draws it: height, stroke width and layer before or after.
struct DrawnText {
    const GeometryText* text;
    double height, width;
    std::string layer;
    bool rewritten;
};

// Monospace glyphs advance 0.6 of the font size; the text is drawn at exactly that length
// (textLength), so that its place does not depend on the font the browser picks.
double textLength(const DrawnText& t) {
    std::size_t chars = 0;
    for (const char c : t.text->text)
        chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80;  // UTF-8 sequences as one
    return 0.6 * t.height * static_cast<double>(chars);
}

// What the text covers, in the decal's coordinates: upright from its place, the font size (its
// height) above the baseline and a quarter of it below for descenders, with its stroke around.
Box textBox(const DrawnText& t) {
    const double half = t.width / 2;
    Box b;
    b.add(t.text->x - half, t.text->y - 0.25 * t.height - half);
    b.add(t.text->x + textLength(t) + half, t.text->y + t.height + half);
    return b;
}

void piecePath(std::ostream& o, const GeometryPiece& p) {
    for (std::size_t i = 0; i < p.points.size(); ++i) {
        const Vertex& v = p.points[i];
        o << (i == 0 ? "M" : " L") << num(v.x) << ' ' << num(v.y);
        if (!v.arc)
            continue;
        const double cx = (v.boxX1 + v.boxX2) / 2, cy = (v.boxY1 + v.boxY2) / 2;
        const double r = std::abs(v.boxX2 - v.boxX1) / 2;
        const double sweep = std::clamp(v.sweep, -360.0, 360.0);
        // A whole circle cannot be one arc command: two halves.
        const int parts = std::abs(sweep) > 359.999 ? 2 : 1;
        for (int k = 1; k <= parts; ++k) {
            const double a = (v.begin + sweep * k / parts) * std::numbers::pi / 180;
            o << " A" << num(r) << ' ' << num(r) << " 0 " << (std::abs(sweep / parts) > 180 ? 1 : 0)
              << ' ' << (sweep > 0 ? 1 : 0) << ' ' << num(cx + r * std::cos(a)) << ' '
              << num(cy + r * std::sin(a));
        }
    }
    if (p.keyword == "CLOSED" || p.keyword.starts_with("COPCL") || p.keyword == "KPTCLS")
        o << " Z";
}

void shape(std::ostream& o, const GeometryPiece& p, const std::string& stroke, double width,
           const char* extra) {
    const bool round = p.keyword.ends_with("CIR") || p.keyword == "CIRCLE";
    const std::string w = width > 0 ? "stroke-width=\"" + num(width) + "\""
                                    : "stroke-width=\"1\" vector-effect=\"non-scaling-stroke\"";
    if (round && p.points.size() == 2) {
        const Vertex &a = p.points[0], &c = p.points[1];
        o << "<circle cx=\"" << num((a.x + c.x) / 2) << "\" cy=\"" << num((a.y + c.y) / 2)
          << "\" r=\"" << num(std::hypot(c.x - a.x, c.y - a.y) / 2) << "\" fill=\"none\" stroke=\""
          << stroke << "\" " << w << extra << "/>\n";
        return;
    }
    o << "<path d=\"";
    piecePath(o, p);
    o << "\" fill=\"none\" stroke=\"" << stroke << "\" " << w
      << " stroke-linecap=\"round\" stroke-linejoin=\"round\"" << extra << "/>\n";
}

// A round length for the scale bar: 1, 2 or 5 times a power of ten, near a quarter of span.
double niceLength(double span) {
    const double target = span / 4;
    if (!(target > 0))
        return 1;
    const double p = std::pow(10, std::floor(std::log10(target)));
    for (double m : {5.0, 2.0, 1.0}) {
        if (m * p <= target)
            return m * p;
    }
    return p;
}

}  // namespace

HtmlReport::HtmlReport(std::ostream& out, const Plan& plan) : out_(out), plan_(plan) {
    out_ << "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n<head>\n"
            "<meta charset=\"utf-8\"/>\n<title>Trelvo report</title>\n<style>"
         << kStyle
         << "</style>\n</head>\n<body>\n<h1>Trelvo report</h1>\n<table class=\"entries\">\n";
    auto row = [&](const std::string& k, const std::string& v) {
        out_ << "<tr><td>" << htmlText(k) << "</td><td>" << htmlText(v) << "</td></tr>\n";
    };
    if (plan.rulesMode) {
        const RuleSet& r = *plan.rules;
        row("Rules", plan.rulesFile + " (" + std::to_string(r.pieces.size()) + " piece, " +
                         std::to_string(r.labels.size()) + " label, " +
                         std::to_string(r.texts.size()) + " text rule(s))");
    } else {
        row("Layer", plan.entries.layer
                         ? plan.entries.old_lyr + " \xE2\x86\x92 " + plan.entries.new_lyr
                         : "not changed");
        row("Width", plan.entries.width
                         ? plan.entries.old_wd + " \xE2\x86\x92 " + plan.entries.new_wd
                         : "not changed");
    }
    if (!plan.decals.empty()) {
        std::string globs;
        for (const std::string& g : plan.decals)
            globs += (globs.empty() ? "" : ", ") + g;
        row("Decals", globs);
    }
    row("Mode", plan.dryRun ? "dry run, nothing written"
                : plan.inPlace
                    ? (plan.backup == Backup::Simple     ? "in place, original kept as INPUT.orig"
                       : plan.backup == Backup::Numbered ? "in place, original kept as INPUT.orig.N"
                                                         : "in place, no backup")
                    : "new file per INPUT");
    // The colour of the marks appears nowhere else on the page, so that it shows where they are.
    out_ << "</table>\n<p>Drawings: each decal before and after, in its own unit; lines at their "
            "width (at least 1.5 pixels); each rewritten piece lies on a wide translucent magenta "
            "band"
         << (plan.rulesMode ? ", each changed label or text on a magenta box" : "")
         << "; small circles are terminals.</p>\n";
}

void HtmlReport::noteRewrite(const trelvo::Rewrite& p) {
    if (p.decal_name != lastDecalName_ || decalsNoted_ == 0) {
        lastDecalName_.assign(p.decal_name);
        ++decalsNoted_;
    }
    // Only the decals that will be drawn are kept, so memory stays bounded.
    if (drawn_ + decalsNoted_ > kMaxDrawings || rewrites_.size() >= kMaxMarks)
        return;
    rewrites_.push_back({p.line_number, std::string(p.old_layer), std::string(p.new_layer),
                         std::string(p.old_width), std::string(p.new_width),
                         std::string(p.old_height), std::string(p.new_height)});
}

void HtmlReport::endInput(const Job& job, const FileResult& r) {
    out_ << "<h2>" << htmlText(job.input) << "</h2>\n<p>" << htmlText(summaryLine(job, plan_, r))
         << "</p>\n";
    if (r.outcome == Outcome::Done) {
        const std::size_t before = drawn_;
        // After an in-place run the file holds the new lines; otherwise the input is as it was.
        if (!rewrites_.empty())
            drawDecals(job.input, plan_.inPlace && !plan_.dryRun);
        const std::size_t here = drawn_ - before;
        if (static_cast<std::size_t>(r.count) > here)
            notDrawn_ += static_cast<std::size_t>(r.count) - here;
    }
    rewrites_.clear();
    lastDecalName_.clear();
    decalsNoted_ = 0;
    out_.flush();
}

void HtmlReport::finish() {
    if (notDrawn_ > 0) {
        out_ << "<p class=\"note\">Only the first " << kMaxDrawings
             << " updated decals are drawn on this page; " << notDrawn_
             << " more were updated and are not drawn.</p>\n";
    }
    out_ << "</body>\n</html>\n";
    out_.flush();
}

void HtmlReport::drawDecals(const std::string& path, bool fileIsAfter) {
    std::string why;
    const auto input = InputFile::open(path, why);
    if (!input) {
        out_ << "<p class=\"note\">The drawings are missing: the file could not be read "
                "again.</p>\n";
        return;
    }
    std::size_t next = 0;  // the first rewrite not yet drawn
    std::size_t outside = 0;
    // The lines of the current decal, up to a limit: a header followed by a whole library
    // without empty lines must not be held whole. Its own lines come first, and only those are
    // drawn.
    constexpr std::size_t kMaxHeldLines = 100000, kMaxHeldBytes = 8 << 20;
    std::vector<std::pair<std::string, Place>> held;
    Decal decal;  // the held decal
    std::size_t heldBytes = 0;
    std::uint64_t heldFrom = 0, heldLines = 0;  // where the decal begins, how many lines it has
    auto flush = [&]() {
        if (heldLines == 0)
            return;
        const std::uint64_t end = heldFrom + heldLines;
        const std::size_t first = next;
        while (next < rewrites_.size() && rewrites_[next].line < end)
            ++next;
        if (first == next)
            return;
        if (drawn_ >= kMaxDrawings)
            return;
        ++drawn_;
        std::vector<PlacedLine> lines;
        for (const auto& [text, place] : held)
            lines.push_back({text, place});
        const DecalGeometry d = ReadDecalGeometry(decal, lines);

        // The two sides of every piece.
        std::vector<Drawn> before, afterSide;
        std::map<std::uint64_t, const Mark*> byLine;
        for (std::size_t k = first; k < next; ++k)
            byLine[rewrites_[k].line] = &rewrites_[k];
        double maxWidth = 0;
        // The side the file does not show takes the values of the rewrite: the old ones after
        // an in-place run, else the new ones.
        const auto otherSide = [&](auto& before, auto& after, const Mark& rw) {
            auto& other = fileIsAfter ? before : after;
            other.layer = fileIsAfter ? rw.oldLayer : rw.newLayer;
            other.width =
                ReadGeometryNumber(fileIsAfter ? rw.oldWidth : rw.newWidth).value_or(other.width);
            return &other;
        };
        for (const GeometryPiece& p : d.pieces) {
            const auto it = byLine.find(heldFrom + p.line);
            Drawn b{&p, p.width, p.layer, it != byLine.end()};
            Drawn a = b;
            if (it != byLine.end())
                otherSide(b, a, *it->second);
            maxWidth = std::max({maxWidth, a.width, b.width});
            before.push_back(std::move(b));
            afterSide.push_back(std::move(a));
        }
        // The labels and texts of both sides: height, stroke width and layer as before and after.
        std::vector<DrawnText> textsBefore, textsAfter;
        for (const GeometryText& t : d.texts) {
            const auto it = byLine.find(heldFrom + t.line);
            DrawnText b{&t, t.height, t.width, t.layer, it != byLine.end()};
            DrawnText a = b;
            if (it != byLine.end()) {
                const Mark& rw = *it->second;
                DrawnText* other = otherSide(b, a, rw);
                other->height = ReadGeometryNumber(fileIsAfter ? rw.oldHeight : rw.newHeight)
                                    .value_or(t.height);
            }
            textsBefore.push_back(std::move(b));
            textsAfter.push_back(std::move(a));
        }
        // One frame for both sides, holding every label and text at its height on either.
        Box box = DecalBox(d);
        for (const auto* side : {&textsBefore, &textsAfter}) {
            for (const DrawnText& t : *side)
                box.add(textBox(t));
        }
        if (box.empty)
            box.add(0, 0);
        double w = box.maxX - box.minX, h = box.maxY - box.minY;
        const double margin = std::max({w, h, 1e-3}) * 0.05 + maxWidth;
        box.add(box.minX - margin, box.minY - margin);
        box.add(box.maxX + margin, box.maxY + margin);
        w = box.maxX - box.minX;
        h = box.maxY - box.minY;
        const double px = kDrawingPx / std::max(w, h);
        const double mark = std::max(w, h) * 0.012;
        const char* unit = d.unit == Unit::Millimetres ? "mm" : "mil";

        out_ << "<div class=\"decal\">\n<h3>" << htmlText(d.name) << " <small>(" << unit
             << ", line " << heldFrom << ")</small></h3>\n<div class=\"pair\">\n";
        std::map<std::string, const char*> legend;
        for (int side = 0; side < 2; ++side) {
            const std::vector<Drawn>& pieces = side == 0 ? before : afterSide;
            out_ << "<figure><svg class=\"drawing\" xmlns=\"http://www.w3.org/2000/svg\" width=\""
                 << num(w * px) << "\" height=\"" << num(h * px) << "\" viewBox=\"" << num(box.minX)
                 << ' ' << num(-box.maxY) << ' ' << num(w) << ' ' << num(h) << "\">\n"
                 << "<g transform=\"scale(1,-1)\">\n";
            // The marks go under the lines, so that each line keeps its own colour.
            for (const Drawn& p : pieces) {
                if (p.rewritten) {
                    shape(out_, *p.piece, kHighlight, p.width + std::max(w, h) * 0.02,
                          " stroke-opacity=\"0.45\" class=\"rewritten\"");
                }
            }
            for (const Drawn& p : pieces) {
                const char* c = layerColour(p.layer);
                legend[p.layer] = c;
                shape(out_, *p.piece, c, std::max(p.width, kThinnestPx / px), "");
            }
            for (const Terminal& t : d.terminals) {
                out_ << "<circle cx=\"" << num(t.x) << "\" cy=\"" << num(t.y) << "\" r=\""
                     << num(mark)
                     << "\" fill=\"none\" stroke=\"#444\" stroke-width=\"1\" "
                        "vector-effect=\"non-scaling-stroke\"/>\n";
            }
            out_ << "</g>\n";
            // Texts upright, so outside the flipped group: y is negated instead.
            for (const DrawnText& t : side == 0 ? textsBefore : textsAfter) {
                const char* c = layerColour(t.layer);
                legend[t.layer] = c;
                if (t.rewritten) {
                    const Box b = textBox(t);
                    out_ << "<rect class=\"rewritten\" x=\"" << num(b.minX) << "\" y=\""
                         << num(-b.maxY) << "\" width=\"" << num(b.maxX - b.minX) << "\" height=\""
                         << num(b.maxY - b.minY) << "\" fill=\"" << kHighlight
                         << "\" fill-opacity=\"0.3\"/>\n";
                }
                const double length = textLength(t);
                out_ << "<text x=\"" << num(t.text->x) << "\" y=\"" << num(-t.text->y)
                     << "\" font-family=\"monospace\" font-size=\"" << num(t.height);
                if (length > 0)
                    out_ << "\" textLength=\"" << num(length)
                         << "\" lengthAdjust=\"spacingAndGlyphs";
                // Labels at one place draw over each other, as they lie in the library; the
                // hover title tells them apart.
                out_ << "\" fill=\"none\" stroke=\"" << c << "\" stroke-width=\""
                     << num(std::max(t.width, kThinnestPx / px)) << "\"><title>"
                     << (t.text->label ? "label " : "text ") << htmlText(t.text->text)
                     << ": height " << num(t.height) << ' ' << unit << ", width " << num(t.width)
                     << ' ' << unit << ", layer " << htmlText(t.layer) << "</title>"
                     << htmlText(t.text->text) << "</text>\n";
            }
            out_ << "</svg><figcaption>" << (side == 0 ? "before" : "after")
                 << "</figcaption></figure>\n";
        }
        const double bar = niceLength(w);
        out_ << "</div>\n<p>";
        for (const auto& [layer, colour] : legend) {
            out_ << "<span class=\"swatch\" style=\"background:" << colour << "\"></span>layer "
                 << htmlText(layer);
        }
        out_ << "</p>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << num(bar * px + 80)
             << "\" height=\"20\"><line x1=\"1\" y1=\"10\" x2=\"" << num(1 + bar * px)
             << "\" y2=\"10\" stroke=\"#000\" stroke-width=\"2\"/><text x=\"" << num(bar * px + 6)
             << "\" y=\"14\" font-size=\"12\">" << num(bar) << ' ' << unit << "</text></svg>\n";
        if (!d.unread.empty()) {
            out_ << "<p class=\"note\">" << d.unread.size()
                 << " line(s) of this decal could not be read and are left out of the "
                    "drawing.</p>\n";
        }
        out_ << "</div>\n";
    };

    std::string_view line;
    // Starts the decal whose header is line `at`; false when every decal to draw is drawn.
    auto startDecal = [&](std::uint64_t at) {
        flush();
        held.clear();
        heldBytes = 0;
        heldLines = 0;
        if (next >= rewrites_.size())
            return false;
        heldFrom = at;
        return true;
    };
    DecalReader reader(*input);
    for (auto step = reader.start(line); step == DecalReader::Step::Line;
         step = reader.next(DecalReader::Sight::All, {}, line)) {
        const std::uint64_t lineNumber = reader.lineNumber();
        if (reader.entered()) {
            // A header the reader knew only by the line after it was held as the last line of the
            // decal before.
            const bool before = reader.decal().header != lineNumber;
            std::string header;
            if (before && heldLines > 0) {
                --heldLines;
                if (held.size() == heldLines + 1) {
                    header = std::move(held.back().first);
                    heldBytes -= header.size();
                    held.pop_back();
                }
            }
            if (!startDecal(reader.decal().header))
                break;
            decal = reader.decal();
            if (before) {
                heldLines = 1;
                heldBytes = header.size();
                held.emplace_back(std::move(header), Place::Header);
            }
        }
        if (heldLines > 0 || heldFrom == lineNumber) {
            ++heldLines;
            if (held.size() < kMaxHeldLines && heldBytes < kMaxHeldBytes) {
                held.emplace_back(line, reader.place());
                heldBytes += line.size();
            }
        }
        // Rewrites before the first decal header belong to no decal and are not drawn.
        while (heldLines == 0 && next < rewrites_.size() && rewrites_[next].line <= lineNumber) {
            ++next;
            ++outside;
        }
    }
    flush();
    if (outside > 0) {
        out_ << "<p class=\"note\">" << outside
             << " rewritten piece line(s) come before the first recognised decal header and are "
                "not drawn.</p>\n";
    }
}

}  // namespace trelvo::cli
