// Where the program's pictures and fixed texts live in the compiled-in resources, and the two
// objects made from them that more than one window needs.
#pragma once

#include <QCursor>
#include <QIcon>
#include <QString>

namespace trelvo::resources {

inline constexpr const char* kIconPath = ":/trelvo/icon.png";              // 32 x 32
inline constexpr const char* kLogoPath = ":/trelvo/logo.jpg";              // 54 x 125 JPEG
inline constexpr const char* kHandCursorPath = ":/trelvo/hand.png";        // 32 x 32
inline constexpr const char* kHelpTextPath = ":/trelvo/help.txt";          // CR LF lines
inline constexpr const char* kDisclaimerPath = ":/trelvo/disclaimer.txt";  // CR LF lines

// The program icon of the main, Help and About windows.
QIcon programIcon();

// The pointing hand of link labels; its hot spot is the fingertip (column 12, row 1).
QCursor handCursor();

// A fixed text exactly as stored (CR LF line ends kept); empty if the path is unknown.
QString text(const char* path);

}  // namespace trelvo::resources
