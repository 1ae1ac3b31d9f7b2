// Draws the program's pictures: the window icon (32 pixels, and 16, 48 and 256 for the Windows
// icon file), the About window's logo and the link label's pointing-hand cursor. Run it only when the design changes and commit what it writes:
//   cmake --build <build> --target trelvo-make-images
//   QT_QPA_PLATFORM=offscreen <build>/resources/trelvo-make-images resources
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

const QColor kBoard(0x1f, 0x6e, 0x43);
const QColor kBoardEdge(0x0e, 0x3d, 0x24);
const QColor kCopper(0xe0, 0xa8, 0x4a);
const QColor kSilk(0xf4, 0xf4, 0xee);

// A small board with a silkscreen outline being drawn by a pen: what the program edits. Drawn on
// a 32-pixel grid and scaled for the other sizes of the Windows icon.
QImage drawIcon(int size = 32) {
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    p.setPen(QPen(kBoardEdge, 1));
    p.setBrush(kBoard);
    p.drawRoundedRect(QRectF(1.5, 3.5, 27, 25), 2, 2);
    // Pads and a trace between them.
    p.setPen(Qt::NoPen);
    p.setBrush(kCopper);
    for (int i = 0; i < 3; ++i) {
        p.drawRect(QRectF(5, 8 + i * 6, 3, 3));
        p.drawRect(QRectF(22, 8 + i * 6, 3, 3));
    }
    // The outline: dashed where the pen has not reached yet.
    QPen silk(kSilk, 1.5);
    p.setPen(silk);
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({{11, 21}, {11, 7}, {19, 7}, {19, 14}}));
    silk.setStyle(Qt::DotLine);
    p.setPen(silk);
    p.drawPolyline(QPolygonF({{19, 14}, {19, 21}, {11, 21}}));
    // The pen, tip on the end of the solid outline.
    p.translate(19, 14);
    p.rotate(-40);
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), 1));
    p.setBrush(QColor(0x2f, 0x6f, 0xd6));
    p.drawRect(QRectF(-2, -17, 4, 12));
    p.setBrush(QColor(0xf0, 0xd0, 0x90));
    p.drawPolygon(QPolygonF({{-2, -5}, {2, -5}, {0, 0}}));
    return img;
}

// A tall strip of board with rows of pads and traces, fading to the bottom.
QImage drawLogo() {
    QImage img(54, 125, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, 125);
    g.setColorAt(0, kBoard.lighter(125));
    g.setColorAt(1, kBoardEdge);
    p.fillRect(img.rect(), g);
    p.setPen(QPen(kCopper, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    for (int row = 0; row < 5; ++row) {
        const qreal y = 14 + row * 22;
        p.drawPolyline(QPolygonF({{9, y}, {20, y}, {27, y + 9}, {45, y + 9}}));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(kCopper);
    for (int row = 0; row < 5; ++row) {
        const qreal y = 14 + row * 22;
        p.drawEllipse(QPointF(8, y), 3.5, 3.5);
        p.drawRect(QRectF(43, y + 6, 6, 6));
    }
    // A silkscreen outline running the height of the strip.
    p.setPen(QPen(kSilk, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(2.5, 2.5, 49, 120), 3, 3);
    return img;
}

// Black-edged white hand pointing up; the fingertip is at column 12, row 1 (the hot spot).
QImage drawHand() {
    QImage img(32, 32, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    QPainterPath hand;
    hand.moveTo(10, 3);
    hand.lineTo(11, 1);
    hand.lineTo(13, 1);
    hand.lineTo(14, 3);
    hand.lineTo(14, 11);
    hand.lineTo(17, 11);
    hand.lineTo(18, 12);
    hand.lineTo(20, 12);
    hand.lineTo(21, 13);
    hand.lineTo(23, 13);
    hand.lineTo(24, 14);
    hand.lineTo(24, 22);
    hand.lineTo(22, 26);
    hand.lineTo(22, 29);
    hand.lineTo(12, 29);
    hand.lineTo(12, 27);
    hand.lineTo(6, 20);
    hand.lineTo(5, 17);
    hand.lineTo(6, 16);
    hand.lineTo(8, 16);
    hand.lineTo(10, 18);
    hand.closeSubpath();
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawPath(hand);
    // Creases between the fingers.
    p.drawLine(17, 12, 17, 16);
    p.drawLine(20, 13, 20, 16);
    return img;
}

bool save(const QImage& img, const QString& path, const char* format, int quality = -1) {
    if (img.save(path, format, quality)) {
        return true;
    }
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    const bool ok = save(drawIcon(), dir + "/icon.png", "PNG") &&
                    save(drawIcon(16), dir + "/icon-16.png", "PNG") &&
                    save(drawIcon(48), dir + "/icon-48.png", "PNG") &&
                    save(drawIcon(256), dir + "/icon-256.png", "PNG") &&
                    save(drawLogo(), dir + "/logo.jpg", "JPEG", 92) &&
                    save(drawHand(), dir + "/hand.png", "PNG");
    return ok ? 0 : 1;
}
