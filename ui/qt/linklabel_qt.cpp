#include "ui/qt/linklabel_qt.h"

#include <QMouseEvent>

namespace trelvo::qt {

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    // Like a button: releasing outside the label after pressing on it is no click.
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicked();
    }
    QLabel::mouseReleaseEvent(event);
}

}  // namespace trelvo::qt
