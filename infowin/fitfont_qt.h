// The layout keeps its design sizes in pixels, while the desktop's default font may be wider
// than the one the design was made with. Where a caption would be clipped, its font is made
// just small enough to fit; everything else keeps the default font.
#pragma once

class QPushButton;

namespace trelvo::qt {

void fitCaption(QPushButton* button);

}  // namespace trelvo::qt
