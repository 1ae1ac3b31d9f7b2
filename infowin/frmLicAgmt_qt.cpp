#include "infowin/frmLicAgmt_qt.h"

#include <QPlainTextEdit>
#include <QPushButton>

#include "resources/resources_qt.h"

namespace trelvo::qt {

namespace form = design::licenceForm;

// No icon of its own.
frmLicAgmt::frmLicAgmt(QWidget* owner)
    : TextWindow(owner, form::window, form::kControls, form::tbxHelp,
                 resources::text(resources::kDisclaimerPath)) {
#define TRELVO_BIND(name) widgets_.bind(name, form::name);
    TRELVO_LICENCE_FORM_CONTROLS(TRELVO_BIND)
#undef TRELVO_BIND
    connect(btnClose, &QPushButton::clicked, this, &frmLicAgmt::btnClose_Click);
}

void frmLicAgmt::showModal(QWidget* owner) {
    frmLicAgmt window(owner);
    window.runModal();
}

void frmLicAgmt::btnClose_Click() {
    close();
}

}  // namespace trelvo::qt
