// What the About window does, written once for every toolkit: its load steps, the link, and
// finding and starting the System Information tool through the registry. A toolkit's frmAbout
// owns an AboutFormLogic, forwards its events to it and lends it its controls through
// AboutFormControls.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/report.h"
#include "platform/registry.h"
#include "ui/windesign.h"

namespace trelvo::about {

// "About " and the program title.
std::string caption();
// "Version 1.0.2": major, minor and revision in plain decimal.
std::string versionText();

// The box shown when the tool cannot be found or started (no icon, the program title).
Report sysInfoUnavailable();

// A registry value that cannot be taken as text (it has no bytes at all).
class RegistryValueError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads one registry value as text into KeyVal (UTF-8): a text value as it is, a DWORD as "&h"
// and its hexadecimal digits; other types leave KeyVal as it was. False, with KeyVal empty, when
// the key or the value cannot be read. A value of zero bytes throws RegistryValueError. The key
// is closed on every way out.
bool GetKeyValue(RegistryReader& reader, RegKey KeyRoot, std::string_view KeyName,
                 std::string_view SubKeyRef, std::string& KeyVal);

// Finds the System Information tool ("PATH" of the MSINFO key, else the "MSINFO" folder of the
// Shared Tools Location key with MSINFO32.EXE in it) and starts it; on any failure shows the
// unavailable box through show.
void StartSysInfo(RegistryReader& reader, const Reporter& show);

}  // namespace trelvo::about

namespace trelvo {

// The controls of a toolkit's About window, named by their designs.
class AboutFormControls {
public:
    virtual void setCaption(const std::string& caption) = 0;  // the title bar, UTF-8
    virtual std::string text(const design::Control& label) const = 0;
    virtual void setText(const design::Control& label, const std::string& text) = 0;
    // Makes a label look like a link: underlined, in the link colour, the hand cursor over it.
    virtual void styleAsLink(const design::Control& label) = 0;
    // A modal box with an OK button.
    virtual void showBox(const Report& report) = 0;

protected:
    ~AboutFormControls() = default;
};

class AboutFormLogic {
public:
    explicit AboutFormLogic(AboutFormControls& controls) : w_(controls) {}

    // The caption, the title and version, and the link with the full address.
    void Form_Load();
    void cmdSysInfo_Click() { StartSysInfo(); }
    void lblLnk_Click();

    // Finds the System Information tool through the registry in use and starts it, or tells
    // the user that it is unavailable.
    void StartSysInfo();
    // Asks the desktop to open URL; the result is the opener's (above 32 means success).
    int HyprLnk(const std::string& URL);

private:
    AboutFormControls& w_;
};

}  // namespace trelvo
