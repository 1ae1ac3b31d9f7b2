#include "ui/qt/lockedtext_qt.h"

#include <QPlainTextEdit>
#include <QScrollBar>

#include "ui/qt/syscolors_qt.h"

namespace trelvo::qt {

QPlainTextEdit* makeLockedText(QWidget* parent) {
    auto* box = new QPlainTextEdit(parent);
    box->setReadOnly(true);
    // Read-only drops keyboard selection; keep it so the text can be copied without a mouse.
    box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Lines wrap at word boundaries; a word longer than a line (the rules of asterisks and
    // hyphens) breaks where the box ends instead of being cut off.
    box->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    box->setTabChangesFocus(true);
    QPalette palette = box->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, colorInactiveBorder());
    }
    box->setPalette(palette);
    return box;
}

void setLockedText(QPlainTextEdit* box, const QString& crlfText) {
    QString text = crlfText;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    box->setPlainText(text);
}

}  // namespace trelvo::qt
