#include "platform/registry.h"

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

RegistryReader& registry() {
    return installed != nullptr ? *installed : systemRegistry();
}

void setRegistry(RegistryReader* reader) {
    installed = reader;
}

}  // namespace trelvo
