// The read-only text box of the Help and Licence Agreement windows: multi-line, a vertical scroll
// bar only, wrapped at word boundaries, grey behind the text. It can be scrolled, selected and
// copied, but not changed.
#pragma once

class QPlainTextEdit;
class QString;
class QWidget;

namespace trelvo {

QPlainTextEdit* makeLockedText(QWidget* parent, const QString& crlfText);

}  // namespace trelvo
