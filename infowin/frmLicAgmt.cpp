#include "infowin/frmLicAgmt.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>

#include "infowin/fitfont.h"
#include "infowin/lockedtext.h"
#include "platform/twips.h"
#include "resources/resources.h"

using namespace trelvo;

frmLicAgmt::frmLicAgmt(QWidget* owner)
    : QDialog(owner),
      tbxHelp(makeLockedText(this, resources::text(resources::kDisclaimerPath))),
      btnClose(new QPushButton(QStringLiteral("Close"), this)) {
    setObjectName(QStringLiteral("frmLicAgmt"));
    setWindowTitle(QStringLiteral("Licence Agreement"));
    // An ordinary sizable window; its controls have no layout, so resizing moves nothing.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);
    resize(twipSize(4350, 3720));

    tbxHelp->setObjectName(QStringLiteral("tbxHelp"));
    tbxHelp->setGeometry(twipRect(120, 120, 4095, 2895));

    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setGeometry(twipRect(1680, 3240, 1095, 325));
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
