// What the Help and Licence Agreement windows share, Win32 edition: made from their designs, a
// fixed text in a read-only box with buttons under it, shown modally over their owner, and no
// default or cancel button, so Enter and Escape leave them open.
#pragma once

#include <span>
#include <string_view>

#include "ui/win32/ui_win32.h"

namespace trelvo::win32 {

class TextWindow : public Window {
protected:
    // The window of that design with its controls, utf8Text in textBox, and the icon (none when
    // null).
    TextWindow(const design::Window& window, std::span<const design::Control* const> controls,
               const design::Control& textBox, std::string_view utf8Text, HWND owner, HICON icon);

    bool onKey(const MSG& msg) override;
};

}  // namespace trelvo::win32
