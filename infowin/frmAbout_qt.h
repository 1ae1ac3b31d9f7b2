// The About window: program title, version and description, a link to the program's web page
// and a button that starts the system's System Information tool.
#pragma once

#include <QDialog>
#include <QString>

#include <array>

#include "infowin/aboutlogic.h"
#include "platform/registry.h"

class QFrame;
class QLabel;
class QPushButton;
namespace trelvo {
class LinkLabel;
}

class frmAbout : public QDialog {
    Q_OBJECT

public:
    explicit frmAbout(QWidget* owner);

    // Shows a new window modally over owner and returns when the user has closed it; the
    // window is gone by then, so the next showing runs its load steps again.
    static void showModal(QWidget* owner);

    // Finds the System Information tool through the registry and starts it, or tells the user
    // that it is unavailable.
    void StartSysInfo();

    // Reads one registry value as text into KeyVal; false (and KeyVal empty) when the key or
    // the value cannot be read. A value of zero bytes throws RegistryValueError. The lookup
    // itself is the shared one (about::GetKeyValue) over the registry in use.
    bool GetKeyValue(trelvo::RegKey KeyRoot, const QString& KeyName, const QString& SubKeyRef,
                     QString& KeyVal);

    // Asks the desktop to open URL; the result is the opener's (above 32 means success).
    int HyprLnk(const QString& URL);

    QLabel* const picIcon;
    QLabel* const lblTitle;
    QLabel* const lblVersion;
    QLabel* const lblDescription;
    std::array<QFrame*, 2> Line1;  // [1] the grey rule, [0] the white one under it
    QLabel* const lblDisclaimer;
    trelvo::LinkLabel* const lblLnk;
    QPushButton* const cmdOK;
    QPushButton* const cmdSysInfo;

private slots:
    void cmdOK_Click();
    void cmdSysInfo_Click();
    void lblLnk_Click();

private:
    void Form_Load();
};

using trelvo::about::RegistryValueError;
