// The registry on Windows: the system's own, through the "A" calls.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/registry.h"

namespace trelvo {

namespace {

// A 32-bit root such as 0x80000002 is a predefined key; as a handle it is sign-extended.
HKEY predefined(RegKey root) {
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root)));
}

}  // namespace

long Win32Registry::open(RegKey root, const std::string& keyName, std::uint32_t options,
                         std::uint32_t access, RegKey* key) {
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExA(predefined(root), keyName.c_str(), options, access, &opened);
    if (status != ERROR_SUCCESS)
        return status;
    *key = next_++;
    opened_[*key] = opened;
    return ERROR_SUCCESS;
}

long Win32Registry::query(RegKey key, const std::string& valueName, std::uint32_t* type,
                          unsigned char* data, std::uint32_t* size) {
    const auto found = opened_.find(key);
    if (found == opened_.end())
        return ERROR_INVALID_HANDLE;
    DWORD t = 0;
    DWORD n = *size;
    const LONG status = RegQueryValueExA(static_cast<HKEY>(found->second), valueName.c_str(),
                                         nullptr, &t, data, &n);
    *type = t;
    *size = n;
    return status;
}

long Win32Registry::close(RegKey key) {
    const auto found = opened_.find(key);
    if (found == opened_.end())
        return ERROR_INVALID_HANDLE;
    const LONG status = RegCloseKey(static_cast<HKEY>(found->second));
    opened_.erase(found);
    return status;
}

RegistryReader& systemRegistry() {
    static Win32Registry system;
    return system;
}

}  // namespace trelvo
