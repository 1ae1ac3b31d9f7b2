#include "infowin/frmHelp_qt.h"

#include <QPlainTextEdit>
#include <QPushButton>

#include "infowin/frmAbout_qt.h"
#include "infowin/frmLicAgmt_qt.h"
#include "resources/resources_qt.h"

namespace trelvo::qt {

namespace form = design::helpForm;

frmHelp::frmHelp(QWidget* owner)
    : TextWindow(owner, form::window, form::kControls, form::tbxHelp,
                 resources::text(resources::kHelpTextPath), resources::programIcon()) {
#define TRELVO_BIND(name) widgets_.bind(name, form::name);
    TRELVO_HELP_FORM_CONTROLS(TRELVO_BIND)
#undef TRELVO_BIND
    connect(btnClose, &QPushButton::clicked, this, &frmHelp::btnClose_Click);
    connect(btnAbout, &QPushButton::clicked, this, &frmHelp::btnAbout_Click);
    connect(Command1, &QPushButton::clicked, this, &frmHelp::Command1_Click);
}

void frmHelp::showModal(QWidget* owner) {
    frmHelp window(owner);
    window.runModal();
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

}  // namespace trelvo::qt
