// The Licence Agreement window: the terms-of-use disclaimer in a read-only text box. Reached from
// the Help window; it only shows the text and asks for no answer.
#pragma once

#include "infowin/design.h"
#include "infowin/textwindow_qt.h"

namespace trelvo::qt {

class frmLicAgmt : public TextWindow {
    Q_OBJECT

public:
    explicit frmLicAgmt(QWidget* owner);

    // Shows a new window modally over owner and returns when the user has closed it; the
    // window is gone by then, so the next showing starts from its design again.
    static void showModal(QWidget* owner);

#define TRELVO_DECLARE(name) WidgetOf<design::licenceForm::name>* name = nullptr;
    TRELVO_LICENCE_FORM_CONTROLS(TRELVO_DECLARE)
#undef TRELVO_DECLARE

private slots:
    void btnClose_Click();
};

}  // namespace trelvo::qt
