#include "mainwin/busycursor_qt.h"

#include <QApplication>
#include <QCursor>

namespace trelvo::qt {

BusyCursor::BusyCursor() {
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

BusyCursor::~BusyCursor() {
    QApplication::restoreOverrideCursor();
}

}  // namespace trelvo::qt
