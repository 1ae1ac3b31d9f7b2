// Renders the three information windows to PNG files for looking at them:
//   QT_QPA_PLATFORM=offscreen <build>/tests/infowin/trelvo-shots-info <folder>
// writes frmHelp.png, frmAbout.png and frmLicAgmt.png (client areas, at their design sizes), and
// frmHelp-2.png, frmHelp-3.png, ... with the help text scrolled on a page at a time, so that every
// line of it can be looked at.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScrollBar>

#include <cstdio>

#include "infowin/frmAbout_qt.h"
#include "infowin/frmHelp_qt.h"
#include "infowin/frmLicAgmt_qt.h"

using namespace trelvo::qt;

namespace {

bool shoot(QDialog& window, const QString& folder) {
    window.show();
    QApplication::processEvents();
    const QString path = QDir(folder).filePath(window.objectName() + QStringLiteral(".png"));
    if (!window.grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    window.hide();
    return true;
}

bool shootHelpPages(frmHelp& help, const QString& folder) {
    help.show();
    QScrollBar* bar = help.tbxHelp->verticalScrollBar();
    for (int page = 2; bar->value() < bar->maximum(); ++page) {
        bar->setValue(bar->value() + bar->pageStep());
        QApplication::processEvents();
        const QString path = QDir(folder).filePath(QStringLiteral("frmHelp-%1.png").arg(page));
        if (!help.grab().save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return false;
        }
    }
    help.hide();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(folder);
    QWidget owner;
    owner.resize(400, 400);
    owner.show();
    frmHelp help(&owner);
    frmAbout about(&help);
    frmLicAgmt licence(&help);
    const bool ok = shoot(help, folder) && shootHelpPages(help, folder) && shoot(about, folder) &&
                    shoot(licence, folder);
    return ok ? 0 : 1;
}
