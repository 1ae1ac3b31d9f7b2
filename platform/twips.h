// The windows are laid out in twips, 15 to a pixel at 96 dots per inch.
#pragma once

#include <QRect>
#include <QSize>

namespace trelvo {

// Nearest whole pixel.
constexpr int twipsToPixels(int twips) {
    return (twips + 7) / 15;
}

constexpr QRect twipRect(int left, int top, int width, int height) {
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                 twipsToPixels(height));
}

constexpr QSize twipSize(int width, int height) {
    return QSize(twipsToPixels(width), twipsToPixels(height));
}

}  // namespace trelvo
