// The Help window: the fixed user guide, and the way to the About and Licence Agreement windows.
// The main window's Help button shows it with frmHelp::showModal(this).
#pragma once

#include "infowin/design.h"
#include "infowin/textwindow_qt.h"

namespace trelvo::qt {

class frmHelp : public TextWindow {
    Q_OBJECT

public:
    explicit frmHelp(QWidget* owner);

    // Shows a new window modally over owner and returns when the user has closed it; the
    // window is gone by then, so the next showing starts again at the top of the text.
    static void showModal(QWidget* owner);

#define TRELVO_DECLARE(name) WidgetOf<design::helpForm::name>* name = nullptr;
    TRELVO_HELP_FORM_CONTROLS(TRELVO_DECLARE)
#undef TRELVO_DECLARE

private slots:
    void btnClose_Click();
    void btnAbout_Click();
    void Command1_Click();
};

}  // namespace trelvo::qt
