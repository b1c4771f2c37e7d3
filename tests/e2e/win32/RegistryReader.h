// Reads what the programs under test left in the real registry, and plants what an older
// installation would have left there.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace qv::e2e {

struct RegistryValue {
    DWORD dwType;
    std::vector<BYTE> aData;

    DWORD AsDword() const;
    bool operator==(const RegistryValue&) const = default;
};
RegistryValue Dword(DWORD dwValue);
// A REG_SZ with its terminating zero.
RegistryValue Text(const std::string& strText);

// nView chooses the 64-bit or the 32-bit view of the machine's keys (KEY_WOW64_64KEY or _32KEY).
std::optional<RegistryValue> ReadValue(HKEY hRoot, const std::string& strKey,
                                       const std::string& strName, REGSAM nView = 0);
// A value's bytes as text up to the first zero, empty when it is missing: the exact bytes are the
// native tests' concern.
std::string ReadText(HKEY hRoot, const std::string& strKey, const std::string& strName,
                     REGSAM nView = 0);
// How many values a key holds; 0 when it does not exist.
DWORD ValueCount(HKEY hRoot, const std::string& strKey);
// Creates the key when it is missing.
void WriteValue(HKEY hRoot, const std::string& strKey, const std::string& strName,
                const RegistryValue& value, REGSAM nView = 0);
void DeleteValue(HKEY hRoot, const std::string& strKey, const std::string& strName,
                 REGSAM nView = 0);

} // namespace qv::e2e
