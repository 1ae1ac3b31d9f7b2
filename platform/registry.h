// Reading values of the Windows registry, with the open/query/close calls and status codes of the
// Win32 API, so that the About window reads them the same way everywhere. On Windows it is the
// real registry (Win32Registry); on Linux the one value the program asks for is answered by our
// own lookup (SystemInfoRegistry).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace trelvo {

// A root or an opened key, as the 32-bit handle the Win32 calls take.
using RegKey = std::uint32_t;

inline constexpr RegKey kHkeyLocalMachine = 0x80000002;

// Status codes (Win32 values).
inline constexpr long kErrorSuccess = 0;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorInvalidHandle = 6;
inline constexpr long kErrorMoreData = 234;

// Value types.
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegDword = 4;

// Read control plus query value, set value, create sub-key, enumerate sub-keys, notify and
// create link: what the About window asks for when it opens a key.
inline constexpr std::uint32_t kKeyAccessMask = 0x2003F;

class RegistryReader {
public:
    virtual ~RegistryReader() = default;

    // RegOpenKeyExA: on kErrorSuccess *key is the opened key.
    virtual long open(RegKey root, const std::string& keyName, std::uint32_t options,
                      std::uint32_t access, RegKey* key) = 0;

    // RegQueryValueExA: *size is the buffer's capacity on entry. On kErrorSuccess the value's
    // bytes are in data, *type is its type code and *size the number of bytes written. A value
    // longer than the buffer gives kErrorMoreData and writes nothing.
    virtual long query(RegKey key, const std::string& valueName, std::uint32_t* type,
                       unsigned char* data, std::uint32_t* size) = 0;

    // RegCloseKey.
    virtual long close(RegKey key) = 0;
};

// One stored value: its type code and raw bytes (a text value includes its terminating zero).
struct RegValue {
    std::uint32_t type = kRegSz;
    std::vector<unsigned char> bytes;
};

// Hands a stored value to a query with the Win32 buffer rules above.
long deliverValue(const RegValue& value, std::uint32_t* type, unsigned char* data,
                  std::uint32_t* size);

// A registry held in memory, keys and value names compared without regard to case as Windows
// does. The Linux registry fills one per query; tests fill one with the values they need.
class MemoryRegistry : public RegistryReader {
public:
    void set(const std::string& keyName, const std::string& valueName, RegValue value);

    long open(RegKey root, const std::string& keyName, std::uint32_t options, std::uint32_t access,
              RegKey* key) override;
    long query(RegKey key, const std::string& valueName, std::uint32_t* type, unsigned char* data,
               std::uint32_t* size) override;
    long close(RegKey key) override;

    // Keys opened and not yet closed; tests check that every open is paired with a close.
    std::size_t openKeys() const { return opened_.size(); }

private:
    using Values = std::unordered_map<std::string, RegValue>;
    std::unordered_map<std::string, Values> keys_;  // HKEY_LOCAL_MACHINE only
    std::unordered_map<RegKey, std::string> opened_;
    RegKey next_ = 1;
};

// The systems' registries: each is built only on its own system (registry_win32.cpp,
// registry_posix.cpp), and systemRegistry() is the one of the system the program runs on.

// Windows: the system's registry through RegOpenKeyExA, RegQueryValueExA and RegCloseKey.
class Win32Registry : public RegistryReader {
public:
    long open(RegKey root, const std::string& keyName, std::uint32_t options, std::uint32_t access,
              RegKey* key) override;
    long query(RegKey key, const std::string& valueName, std::uint32_t* type, unsigned char* data,
               std::uint32_t* size) override;
    long close(RegKey key) override;

private:
    std::unordered_map<RegKey, void*> opened_;  // our handle numbers for the system's HKEYs
    RegKey next_ = 1;
};

// Linux: "PATH" of "SOFTWARE\Microsoft\Shared Tools\MSINFO" is the full path of the first
// system-information program found on the user's PATH; no other key exists.
class SystemInfoRegistry : public RegistryReader {
public:
    // Tried in this order; each shows the machine's hardware and system details.
    static const std::vector<std::string>& candidates();

    long open(RegKey root, const std::string& keyName, std::uint32_t options, std::uint32_t access,
              RegKey* key) override;
    long query(RegKey key, const std::string& valueName, std::uint32_t* type, unsigned char* data,
               std::uint32_t* size) override;
    long close(RegKey key) override;

private:
    MemoryRegistry lookup_;
};

// The system's registry (Win32Registry or SystemInfoRegistry).
RegistryReader& systemRegistry();

// The registry the windows read: the system's, unless a test has put its own in place.
RegistryReader& registry();
// Tests install their registry here; nullptr puts the system's back.
void setRegistry(RegistryReader* reader);

}  // namespace trelvo
