#include "infowin/frmHelp_qt.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>

#include "infowin/design.h"
#include "infowin/fitfont_qt.h"
#include "infowin/frmAbout_qt.h"
#include "infowin/frmLicAgmt_qt.h"
#include "infowin/lockedtext_qt.h"
#include "ui/qt/twips_qt.h"
#include "resources/resources_qt.h"

using namespace trelvo;
namespace form = trelvo::design::helpForm;

frmHelp::frmHelp(QWidget* owner)
    : QDialog(owner),
      tbxHelp(makeLockedText(this, resources::text(resources::kHelpTextPath))),
      btnClose(new QPushButton(QString::fromUtf8(form::btnClose.caption), this)),
      btnAbout(new QPushButton(QString::fromUtf8(form::btnAbout.caption), this)),
      Command1(new QPushButton(QString::fromUtf8(form::Command1.caption), this)) {
    setObjectName(QLatin1String(form::window.name));
    setWindowTitle(QString::fromUtf8(form::window.caption));
    setWindowIcon(resources::programIcon());
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(clientSize(form::window));

    tbxHelp->setObjectName(QLatin1String(form::tbxHelp.name));
    tbxHelp->setGeometry(twipRect(form::tbxHelp));

    const struct {
        QPushButton* button;
        const design::Control& design;
        void (frmHelp::*slot)();
    } buttons[] = {
        {btnClose, form::btnClose, &frmHelp::btnClose_Click},
        {btnAbout, form::btnAbout, &frmHelp::btnAbout_Click},
        {Command1, form::Command1, &frmHelp::Command1_Click},
    };
    for (const auto& b : buttons) {
        b.button->setObjectName(QLatin1String(b.design.name));
        b.button->setGeometry(twipRect(b.design));
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
