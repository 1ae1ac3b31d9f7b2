#include "infowin/frmLicAgmt_qt.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>

#include "infowin/design.h"
#include "infowin/fitfont_qt.h"
#include "infowin/lockedtext_qt.h"
#include "ui/qt/twips_qt.h"
#include "resources/resources_qt.h"

using namespace trelvo;
namespace form = trelvo::design::licenceForm;

frmLicAgmt::frmLicAgmt(QWidget* owner)
    : QDialog(owner),
      tbxHelp(makeLockedText(this, resources::text(resources::kDisclaimerPath))),
      btnClose(new QPushButton(QString::fromUtf8(form::btnClose.caption), this)) {
    setObjectName(QLatin1String(form::window.name));
    setWindowTitle(QString::fromUtf8(form::window.caption));
    // An ordinary sizable window; its controls have no layout, so resizing moves nothing.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);
    resize(clientSize(form::window));

    tbxHelp->setObjectName(QLatin1String(form::tbxHelp.name));
    tbxHelp->setGeometry(twipRect(form::tbxHelp));

    btnClose->setObjectName(QLatin1String(form::btnClose.name));
    btnClose->setGeometry(twipRect(form::btnClose));
    btnClose->setAutoDefault(false);  // Enter does not close the window
    fitCaption(btnClose);
    connect(btnClose, &QPushButton::clicked, this, &frmLicAgmt::btnClose_Click);

    setTabOrder(tbxHelp, btnClose);
    tbxHelp->setFocus();
}

void frmLicAgmt::showModal(QWidget* owner) {
    frmLicAgmt window(owner);
    window.setWindowModality(Qt::WindowModal);
    window.exec();
}

void frmLicAgmt::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmLicAgmt::btnClose_Click() {
    close();
}
