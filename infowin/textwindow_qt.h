// What the Help and Licence Agreement windows share, Qt edition: made from their designs, a fixed
// text in a read-only box with buttons under it, shown modally over their owner, and no cancel
// button, so Escape leaves them open.
#pragma once

#include <QDialog>
#include <QIcon>

#include <span>

#include "ui/qt/widgets_qt.h"

namespace trelvo::qt {

class TextWindow : public QDialog {
    Q_OBJECT

protected:
    // The window of that design with its controls, crlfText in textBox, and the icon unless it
    // is null (then the window shows the program's).
    TextWindow(QWidget* owner, const design::Window& window,
               std::span<const design::Control* const> controls, const design::Control& textBox,
               const QString& crlfText, const QIcon& icon = QIcon());

    // Shows the window modally over its owner and returns when the user has closed it.
    void runModal();

    // There is no cancel button: Escape leaves the window open.
    void keyPressEvent(QKeyEvent* event) override;

    DesignWidgets widgets_;
};

}  // namespace trelvo::qt
