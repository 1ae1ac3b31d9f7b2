// The About window: program title, version and description, a link to the program's web page
// and a button that starts the system's System Information tool. Its load steps and handlers are
// the shared ones (AboutFormLogic); the logo, the rules and the link's looks are Qt's.
#pragma once

#include <QDialog>
#include <QString>

#include <array>

#include "infowin/aboutlogic.h"
#include "infowin/design.h"
#include "platform/registry.h"
#include "ui/qt/widgets_qt.h"

namespace trelvo::qt {

class frmAbout : public QDialog, private AboutFormControls {
    Q_OBJECT

public:
    explicit frmAbout(QWidget* owner);

    // Shows a new window modally over owner and returns when the user has closed it; the
    // window is gone by then, so the next showing runs its load steps again.
    static void showModal(QWidget* owner);

    // Finds the System Information tool through the registry and starts it, or tells the user
    // that it is unavailable.
    void StartSysInfo() { logic_.StartSysInfo(); }

    // Reads one registry value as text into KeyVal; false (and KeyVal empty) when the key or
    // the value cannot be read. A value of zero bytes throws RegistryValueError. The lookup
    // itself is the shared one (about::GetKeyValue) over the registry in use.
    bool GetKeyValue(RegKey KeyRoot, const QString& KeyName, const QString& SubKeyRef,
                     QString& KeyVal);

    // Asks the desktop to open URL; the result is the opener's (above 32 means success).
    int HyprLnk(const QString& URL) { return logic_.HyprLnk(URL.toStdString()); }

#define TRELVO_DECLARE(name) WidgetOf<design::aboutForm::name>* name = nullptr;
    TRELVO_ABOUT_FORM_CONTROLS(TRELVO_DECLARE)
#undef TRELVO_DECLARE
    std::array<QFrame*, 2> Line1;  // [1] the grey rule, [0] the white one under it

private slots:
    void cmdOK_Click();
    void cmdSysInfo_Click();
    void lblLnk_Click();

private:
    // The controls the shared logic works on.
    void setCaption(const std::string& caption) override;
    std::string text(const design::Control& label) const override;
    void setText(const design::Control& label, const std::string& text) override;
    void styleAsLink(const design::Control& label) override;
    void showBox(const Report& report) override;

    DesignWidgets widgets_;
    AboutFormLogic logic_{*this};
};

}  // namespace trelvo::qt

using trelvo::about::RegistryValueError;
