// The registry on Linux: only the System Information tool's "PATH" value is known, and it names
// the first system-information program found on the user's PATH.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

#include "platform/registry.h"

namespace trelvo {

namespace {

const char* const kSysInfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const char* const kSysInfoValue = "PATH";

// The full path of the first executable plain file of that name in the folders of PATH, as a
// shell would find it; empty when there is none.
std::string findOnPath(const std::string& name) {
    const char* env = std::getenv("PATH");
    std::string_view folders = env != nullptr ? env : "";
    while (!folders.empty()) {
        const auto colon = folders.find(':');
        const std::string_view folder = folders.substr(0, colon);
        folders = colon == std::string_view::npos ? std::string_view() : folders.substr(colon + 1);
        if (folder.empty() || folder.front() != '/')
            continue;  // only absolute folders: a relative one depends on where we were started
        const std::string candidate = std::string(folder) + "/" + name;
        struct stat st {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

}  // namespace

const std::vector<std::string>& SystemInfoRegistry::candidates() {
    // HardInfo (and its successor), KDE's Info Center, CPU-X and lshw's GTK front end.
    static const std::vector<std::string> names = {"hardinfo2", "hardinfo", "kinfocenter", "cpu-x",
                                                   "lshw-gtk"};
    return names;
}

long SystemInfoRegistry::open(RegKey root, const std::string& keyName, std::uint32_t options,
                              std::uint32_t access, RegKey* key) {
    // Looked up afresh whenever no key is open, so a tool installed while the program runs is
    // found; an open key keeps the answer it was opened with.
    if (lookup_.openKeys() != 0) {
        return lookup_.open(root, keyName, options, access, key);
    }
    lookup_ = MemoryRegistry();
    for (const std::string& name : candidates()) {
        const std::string path = findOnPath(name);
        if (!path.empty()) {
            RegValue value{kRegSz, std::vector<unsigned char>(path.begin(), path.end())};
            value.bytes.push_back(0);
            lookup_.set(kSysInfoKey, kSysInfoValue, std::move(value));
            break;
        }
    }
    return lookup_.open(root, keyName, options, access, key);
}

long SystemInfoRegistry::query(RegKey key, const std::string& valueName, std::uint32_t* type,
                               unsigned char* data, std::uint32_t* size) {
    return lookup_.query(key, valueName, type, data, size);
}

long SystemInfoRegistry::close(RegKey key) {
    return lookup_.close(key);
}

RegistryReader& systemRegistry() {
    static SystemInfoRegistry system;
    return system;
}

}  // namespace trelvo
