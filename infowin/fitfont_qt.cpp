#include "infowin/fitfont_qt.h"

#include <QFontMetrics>
#include <QPushButton>
#include <QStyle>

namespace trelvo::qt {

void fitCaption(QPushButton* button) {
    constexpr qreal kSmallest = 6.0;  // below this a caption is unreadable anyway
    QString caption = button->text();
    caption.remove(QLatin1Char('&'));
    const QStyle* style = button->style();
    const int room = button->width() -
                     style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) -
                     2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
    QFont font = button->font();
    while (QFontMetrics(font).horizontalAdvance(caption) > room && font.pointSizeF() > kSmallest) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
    }
    if (font != button->font()) {
        button->setFont(font);
    }
}

}  // namespace trelvo::qt
