#include "platform/registry.h"

#include <QStandardPaths>
#include <QString>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace trelvo {

namespace {

std::string folded(const std::string& name) {
    std::string out = name;
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

const char* const kSysInfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const char* const kSysInfoValue = "PATH";

RegistryReader* installed = nullptr;

}  // namespace

long deliverValue(const RegValue& value, std::uint32_t* type, unsigned char* data,
                  std::uint32_t* size) {
    if (value.bytes.size() > *size) {
        *size = std::uint32_t(value.bytes.size());
        return kErrorMoreData;
    }
    if (!value.bytes.empty()) {
        std::memcpy(data, value.bytes.data(), value.bytes.size());
    }
    *type = value.type;
    *size = std::uint32_t(value.bytes.size());
    return kErrorSuccess;
}

void MemoryRegistry::set(const std::string& keyName, const std::string& valueName, RegValue value) {
    keys_[folded(keyName)][folded(valueName)] = std::move(value);
}

long MemoryRegistry::open(RegKey root, const std::string& keyName, std::uint32_t /*options*/,
                          std::uint32_t /*access*/, RegKey* key) {
    if (root != kHkeyLocalMachine || !keys_.contains(folded(keyName))) {
        return kErrorFileNotFound;
    }
    *key = next_++;
    opened_[*key] = folded(keyName);
    return kErrorSuccess;
}

long MemoryRegistry::query(RegKey key, const std::string& valueName, std::uint32_t* type,
                           unsigned char* data, std::uint32_t* size) {
    const auto open = opened_.find(key);
    if (open == opened_.end()) {
        return kErrorInvalidHandle;
    }
    const Values& values = keys_.at(open->second);
    const auto value = values.find(folded(valueName));
    if (value == values.end()) {
        return kErrorFileNotFound;
    }
    return deliverValue(value->second, type, data, size);
}

long MemoryRegistry::close(RegKey key) {
    return opened_.erase(key) != 0 ? kErrorSuccess : kErrorInvalidHandle;
}

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
        const QString found = QStandardPaths::findExecutable(QString::fromStdString(name));
        if (!found.isEmpty()) {
            const QByteArray path = found.toLocal8Bit();
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

RegistryReader& registry() {
    static SystemInfoRegistry system;
    return installed != nullptr ? *installed : system;
}

void setRegistry(RegistryReader* reader) {
    installed = reader;
}

}  // namespace trelvo
