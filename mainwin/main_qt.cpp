// trelvo: shows the main window; the program ends when that window is closed.
#include <QApplication>

#include "mainwin/frmtrelvo_qt.h"
#include "trelvo_version.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Trelvo"));
    QApplication::setApplicationVersion(QStringLiteral(TRELVO_VERSION));
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(TRELVO_APP_ID));

    trelvo::qt::frmTrelvo window;
    window.show();
    return QApplication::exec();
}
