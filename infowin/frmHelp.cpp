#include "infowin/frmHelp.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>

#include "infowin/fitfont.h"
#include "infowin/frmAbout.h"
#include "infowin/frmLicAgmt.h"
#include "infowin/lockedtext.h"
#include "platform/twips.h"
#include "resources/resources.h"

using namespace trelvo;

frmHelp::frmHelp(QWidget* owner)
    : QDialog(owner),
      tbxHelp(makeLockedText(this, resources::text(resources::kHelpTextPath))),
      btnClose(new QPushButton(QStringLiteral("Close"), this)),
      btnAbout(new QPushButton(QStringLiteral("About"), this)),
      Command1(new QPushButton(QStringLiteral("Licence Agreement"), this)) {
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("Help"));
    setWindowIcon(resources::programIcon());
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(twipSize(4365, 4665));

    tbxHelp->setObjectName(QStringLiteral("tbxHelp"));
    tbxHelp->setGeometry(twipRect(120, 240, 4095, 3735));

    const struct {
        QPushButton* button;
        const char* name;
        QRect geometry;
        void (frmHelp::*slot)();
    } buttons[] = {
        {btnClose, "btnClose", twipRect(1920, 4200, 1095, 325), &frmHelp::btnClose_Click},
        {btnAbout, "btnAbout", twipRect(3120, 4200, 1095, 325), &frmHelp::btnAbout_Click},
        {Command1, "Command1", twipRect(120, 4200, 1695, 325), &frmHelp::Command1_Click},
    };
    for (const auto& b : buttons) {
        b.button->setObjectName(QString::fromLatin1(b.name));
        b.button->setGeometry(b.geometry);
        b.button->setAutoDefault(false);  // no default button: Enter does not close the window
        fitCaption(b.button);
        connect(b.button, &QPushButton::clicked, this, b.slot);
    }

    setTabOrder(tbxHelp, btnClose);
    setTabOrder(btnClose, btnAbout);
    setTabOrder(btnAbout, Command1);
    tbxHelp->setFocus();
}

void frmHelp::showModal(QWidget* owner) {
    frmHelp window(owner);
    window.setWindowModality(Qt::WindowModal);
    window.exec();
}

void frmHelp::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmHelp::btnClose_Click() {
    close();
}

void frmHelp::btnAbout_Click() {
    frmAbout::showModal(this);
}

void frmHelp::Command1_Click() {
    frmLicAgmt::showModal(this);
}
