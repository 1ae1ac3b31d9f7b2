#include "infowin/textwindow_win32.h"

namespace trelvo::win32 {

TextWindow::TextWindow(const design::Window& window,
                       std::span<const design::Control* const> controls,
                       const design::Control& textBox, std::string_view utf8Text, HWND owner,
                       HICON icon) {
    create(window, controls, owner, icon);
    setWindowText(control(textBox), utf8Text);
}

bool TextWindow::onKey(const MSG& msg) {
    return msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE;
}

}  // namespace trelvo::win32
