// A window's design written once for every toolkit: its controls with their kinds, captions,
// twip geometry, tab order, tool tips and initial states. Each toolkit's window class creates its
// controls from these records, so a caption changed here changes every program.
#pragma once

#include <algorithm>
#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

namespace trelvo::design {

enum class Kind {
    Label,
    TextBox,     // single line
    LockedText,  // multi-line, read-only, vertical scroll bar
    Frame,       // a captioned group frame (or, 30 twips high, a divider line)
    Button,
    CheckBox,
    Picture,
    Link,  // a label that opens an address when clicked
};

struct Control {
    const char* name;
    Kind kind;
    const Control* in;             // the frame it sits in, or nullptr for the window itself
    const char* caption;           // caption or initial text, UTF-8
    int left, top, width, height;  // twips, relative to the container
    int tabIndex;
    const char* toolTip = nullptr;
    bool enabled = true;
    bool checked = false;  // check boxes
};

// A frame this low is drawn as a sunken divider line instead of a captioned group.
constexpr bool isDivider(const Control& c) {
    return c.kind == Kind::Frame && c.height <= 30;
}

// Each window's design lists its controls once, in a macro that applies X to every name in turn
// (TRELVO_MAIN_FORM_CONTROLS, ...). These two make its kControls array and check that every
// record carries the name it is listed by.
#define TRELVO_DESIGN_ADDRESS(control) &control,
#define TRELVO_DESIGN_NAME_CHECK(control) static_assert(std::string_view(control.name) == #control);

// A straight line drawn on the window's background, in twips.
struct Line {
    const char* name;
    int index;  // element of the control array the line belongs to
    int x1, y1, x2, y2;
    unsigned rgb;  // 0xRRGGBB
    int widthPx;
};

enum class Border {
    FixedSingle,  // not resizable; minimise box only when asked for
    FixedDialog,  // not resizable, close box only
    Sizable,
};

enum class Placement { CentreScreen, CentreOwner };

struct Window {
    const char* name;
    const char* caption;
    int width, height;  // client area, twips
    Border border;
    bool minimizeBox;
    bool maximizeBox;
    bool inTaskbar;
    Placement placement;
};

// What a pair of a description and a pattern says in a file dialog's type list.
struct FileFilter {
    const char* description;
    const char* pattern;
};

// Where a control sits in the window's client area, in twips, frames' offsets added.
struct TwipRect {
    int left, top, width, height;
};

constexpr TwipRect inWindow(const Control& c) {
    TwipRect r{c.left, c.top, c.width, c.height};
    for (const Control* f = c.in; f != nullptr; f = f->in) {
        r.left += f->left;
        r.top += f->top;
    }
    return r;
}

// Kinds that can take the keyboard focus.
constexpr bool takesFocus(Kind k) {
    return k == Kind::TextBox || k == Kind::LockedText || k == Kind::Button || k == Kind::CheckBox;
}

// The controls that take the focus, in the order Tab moves through them.
inline std::vector<const Control*> tabOrder(std::span<const Control* const> controls) {
    std::vector<const Control*> order;
    for (const Control* c : controls) {
        if (takesFocus(c->kind))
            order.push_back(c);
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const Control* a, const Control* b) { return a->tabIndex < b->tabIndex; });
    return order;
}

}  // namespace trelvo::design
