// What the About window does, written once for every toolkit: its load texts, and finding and
// starting the System Information tool through the registry.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/report.h"
#include "platform/registry.h"

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
