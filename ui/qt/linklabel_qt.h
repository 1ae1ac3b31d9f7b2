// A label that reports a click of the left mouse button, for the About window's link.
#pragma once

#include <QLabel>

namespace trelvo::qt {

class LinkLabel : public QLabel {
    Q_OBJECT

public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace trelvo::qt
