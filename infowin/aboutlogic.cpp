#include "infowin/aboutlogic.h"

#include <array>
#include <cstdint>
#include <exception>

#include "infowin/design.h"
#include "platform/desktop.h"
#include "trelvo_version.h"

namespace trelvo::about {

namespace {

constexpr const char* gcRegKeySysInfo = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr const char* gcRegValSysInfo = "PATH";
constexpr const char* gcRegKeySysInfoLoc = "SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr const char* gcRegValSysInfoLoc = "MSINFO";
constexpr const char* kToolName = "\\MSINFO32.EXE";

constexpr std::uint32_t kValueBufferSize = 1024;

// Closes an opened key on every way out of GetKeyValue, the thrown error included.
class KeyCloser {
public:
    KeyCloser(RegistryReader& reader, RegKey key) : reader_(reader), key_(key) {}
    ~KeyCloser() { reader_.close(key_); }
    KeyCloser(const KeyCloser&) = delete;
    KeyCloser& operator=(const KeyCloser&) = delete;

private:
    RegistryReader& reader_;
    RegKey key_;
};

}  // namespace

std::string caption() {
    return std::string("About ") + kProgramTitle;
}

std::string versionText() {
    return "Version " + std::to_string(TRELVO_VERSION_MAJOR) + "." +
           std::to_string(TRELVO_VERSION_MINOR) + "." + std::to_string(TRELVO_VERSION_PATCH);
}

Report sysInfoUnavailable() {
    return {"System Information Is Unavailable At This Time", "", Icon::None};
}

bool GetKeyValue(RegistryReader& reader, RegKey KeyRoot, std::string_view KeyName,
                 std::string_view SubKeyRef, std::string& KeyVal) {
    RegKey hKey = 0;
    if (reader.open(KeyRoot, std::string(KeyName), 0, kKeyAccessMask, &hKey) != kErrorSuccess) {
        KeyVal.clear();
        return false;
    }
    const KeyCloser closer(reader, hKey);

    std::array<unsigned char, kValueBufferSize> tmpVal{};
    std::uint32_t KeyValSize = kValueBufferSize;
    std::uint32_t KeyValType = 0;
    if (reader.query(hKey, std::string(SubKeyRef), &KeyValType, tmpVal.data(), &KeyValSize) !=
            kErrorSuccess ||
        KeyValSize > kValueBufferSize) {
        KeyVal.clear();
        return false;
    }
    if (KeyValSize == 0)
        throw RegistryValueError("registry value has no bytes");

    std::string bytes(reinterpret_cast<const char*>(tmpVal.data()), KeyValSize);
    if (bytes.back() == '\0')
        bytes.pop_back();  // the terminating zero of a text value

    switch (KeyValType) {
        case kRegSz:
            KeyVal = fromSystemCodePage(bytes);
            break;
        case kRegDword: {
            // Stored least significant byte first; written most significant first.
            static constexpr char kHex[] = "0123456789ABCDEF";
            std::string hex = "&h";
            for (auto it = bytes.crbegin(); it != bytes.crend(); ++it) {
                const auto b = static_cast<unsigned char>(*it);
                hex += kHex[b >> 4];
                hex += kHex[b & 0xF];
            }
            KeyVal = hex;
            break;
        }
        default:
            break;  // other types leave KeyVal as it was
    }
    return true;
}

void StartSysInfo(RegistryReader& reader, const Reporter& show) {
    const auto unavailable = [&show] {
        if (show)
            show(sysInfoUnavailable());
    };
    try {
        std::string SysInfoPath;
        if (GetKeyValue(reader, kHkeyLocalMachine, gcRegKeySysInfo, gcRegValSysInfo, SysInfoPath)) {
            // Taken as it is: a path that no longer exists fails to start below.
        } else if (GetKeyValue(reader, kHkeyLocalMachine, gcRegKeySysInfoLoc, gcRegValSysInfoLoc,
                               SysInfoPath)) {
            SysInfoPath += kToolName;
            if (!fileExists(SysInfoPath)) {
                unavailable();
                return;
            }
        } else {
            unavailable();
            return;
        }
        if (!startProgram(SysInfoPath))
            unavailable();
    } catch (const std::exception&) {
        unavailable();
    }
}

}  // namespace trelvo::about

namespace trelvo {

namespace form = design::aboutForm;

void AboutFormLogic::Form_Load() {
    w_.setCaption(about::caption());
    w_.setText(form::lblVersion, about::versionText());
    w_.setText(form::lblTitle, kProgramTitle);
    w_.styleAsLink(form::lblLnk);
    w_.setText(form::lblLnk, form::kHomepage);
}

void AboutFormLogic::lblLnk_Click() {
    HyprLnk(w_.text(form::lblLnk));
}

void AboutFormLogic::StartSysInfo() {
    about::StartSysInfo(registry(), [this](const Report& r) { w_.showBox(r); });
}

int AboutFormLogic::HyprLnk(const std::string& URL) {
    return urlOpener().open(URL);
}

}  // namespace trelvo
