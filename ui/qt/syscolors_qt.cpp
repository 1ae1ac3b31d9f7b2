#include "ui/qt/syscolors_qt.h"

#include <QGuiApplication>
#include <QPalette>

namespace trelvo::qt {

QColor colorWindow() {
    return QGuiApplication::palette().color(QPalette::Active, QPalette::Base);
}

QColor colorInactiveBorder() {
    return QGuiApplication::palette().color(QPalette::Disabled, QPalette::Base);
}

}  // namespace trelvo::qt
