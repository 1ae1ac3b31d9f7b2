// The two system colours the windows paint entry boxes with. They come from the application
// palette, so they follow the user's colour scheme instead of being fixed values.
#pragma once

#include <QColor>

namespace trelvo::qt {

// Background of an enabled entry box (COLOR_WINDOW): the palette's active Base colour.
QColor colorWindow();

// The grey of inactive window borders (COLOR_INACTIVEBORDER), used behind disabled entry boxes
// and read-only texts: the palette's disabled Base colour, which is what the desktop paints
// behind a disabled entry field, a light grey in the usual schemes (#efefef in Fusion).
QColor colorInactiveBorder();

}  // namespace trelvo::qt
