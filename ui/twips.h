// The windows are laid out in twips: 1,440 to the inch, so 15 to a pixel at 96 dots per inch.
#pragma once

namespace trelvo {

inline constexpr int kDesignDpi = 96;

// Nearest whole pixel at the given resolution.
constexpr int twipsToPixels(int twips, int dpi = kDesignDpi) {
    return (twips * dpi + 720) / 1440;
}

}  // namespace trelvo
