// The read-only text box of the Help and Licence Agreement windows: multi-line, a vertical scroll
// bar only, wrapped at word boundaries, grey behind the text. It can be scrolled, selected and
// copied, but not changed.
#pragma once

class QPlainTextEdit;
class QString;
class QWidget;

namespace trelvo::qt {

// An empty box; its text comes with setLockedText.
QPlainTextEdit* makeLockedText(QWidget* parent);

// Shows a text with CR LF line ends in the box.
void setLockedText(QPlainTextEdit* box, const QString& crlfText);

}  // namespace trelvo::qt
