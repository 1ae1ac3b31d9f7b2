#include "ui/qt/widgets_qt.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "ui/qt/linklabel_qt.h"
#include "ui/qt/lockedtext_qt.h"
#include "ui/qt/twips_qt.h"

namespace trelvo::qt {

namespace {

QString qs(const char* utf8) {
    return utf8 != nullptr ? QString::fromUtf8(utf8) : QString();
}

QWidget* makeOfKind(const design::Control& c, QWidget* parent) {
    switch (c.kind) {
        case design::Kind::Label:
        case design::Kind::Picture:
            return new QLabel(qs(c.caption), parent);
        case design::Kind::Link:
            return new LinkLabel(qs(c.caption), parent);
        case design::Kind::TextBox:
            return new QLineEdit(qs(c.caption), parent);
        case design::Kind::LockedText:
            return makeLockedText(parent);
        case design::Kind::Frame:
            if (design::isDivider(c)) {
                auto* line = new QFrame(parent);
                line->setFrameShape(QFrame::HLine);
                line->setFrameShadow(QFrame::Sunken);
                return line;
            }
            return new QGroupBox(qs(c.caption), parent);
        case design::Kind::Button:
            return new QPushButton(qs(c.caption), parent);
        case design::Kind::CheckBox: {
            auto* check = new QCheckBox(parent);
            check->setChecked(c.checked);
            return check;
        }
    }
    return nullptr;
}

}  // namespace

QWidget* makeWidget(const design::Control& c, QWidget* parent) {
    QWidget* made = makeOfKind(c, parent);
    made->setObjectName(QLatin1String(c.name));
    made->setGeometry(twipRect(c));
    if (c.toolTip != nullptr) {
        made->setToolTip(qs(c.toolTip));
    }
    if (!c.enabled) {
        made->setEnabled(false);
    }
    return made;
}

void DesignWidgets::create(QWidget* window, std::span<const design::Control* const> controls) {
    for (const design::Control* c : controls) {
        QWidget* in = c->in != nullptr ? (*this)[*c->in] : window;
        widgets_[c] = makeWidget(*c, in);
    }
}

}  // namespace trelvo::qt
