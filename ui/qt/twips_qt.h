// Twip geometry as Qt rectangles and sizes, at 96 dots per inch (Qt scales for the screen).
#pragma once

#include <QRect>
#include <QSize>

#include "ui/twips.h"
#include "ui/windesign.h"

namespace trelvo::qt {

constexpr QRect twipRect(int left, int top, int width, int height) {
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                 twipsToPixels(height));
}

constexpr QSize twipSize(int width, int height) {
    return QSize(twipsToPixels(width), twipsToPixels(height));
}

// A control's place inside its container, as its design gives it.
constexpr QRect twipRect(const design::Control& c) {
    return twipRect(c.left, c.top, c.width, c.height);
}

constexpr QSize clientSize(const design::Window& w) {
    return twipSize(w.width, w.height);
}

}  // namespace trelvo::qt
