#include "infowin/textwindow_qt.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>

#include "infowin/fitfont_qt.h"
#include "ui/qt/lockedtext_qt.h"
#include "ui/qt/twips_qt.h"

namespace trelvo::qt {

TextWindow::TextWindow(QWidget* owner, const design::Window& window,
                       std::span<const design::Control* const> controls,
                       const design::Control& textBox, const QString& crlfText, const QIcon& icon)
    : QDialog(owner) {
    setObjectName(QLatin1String(window.name));
    setWindowTitle(QString::fromUtf8(window.caption));
    if (!icon.isNull()) {
        setWindowIcon(icon);
    }
    if (window.border == design::Border::Sizable) {
        // An ordinary sizable window; its controls have no layout, so resizing moves nothing.
        setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                       Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
        setSizeGripEnabled(false);
        resize(clientSize(window));
    } else {
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                       Qt::WindowCloseButtonHint);
        setFixedSize(clientSize(window));
    }

    widgets_.create(this, controls);
    setLockedText(static_cast<QPlainTextEdit*>(widgets_[textBox]), crlfText);
    for (const design::Control* c : controls) {
        if (c->kind == design::Kind::Button) {
            auto* button = static_cast<QPushButton*>(widgets_[*c]);
            button->setAutoDefault(false);  // no default button: Enter does not close the window
            fitCaption(button);
        }
    }

    const std::vector<const design::Control*> order = design::tabOrder(controls);
    for (std::size_t i = 1; i < order.size(); ++i) {
        setTabOrder(widgets_[*order[i - 1]], widgets_[*order[i]]);
    }
    widgets_[*order.front()]->setFocus();
}

void TextWindow::runModal() {
    setWindowModality(Qt::WindowModal);
    exec();
}

void TextWindow::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace trelvo::qt
