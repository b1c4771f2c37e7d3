// Reads what the programs under test left in the real registry.
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
    // The bytes as text, the terminating zero included when it was stored.
    std::string AsBytesText() const { return {aData.begin(), aData.end()}; }
};

std::optional<RegistryValue> ReadValue(HKEY hRoot, const std::string& strKey,
                                       const std::string& strName);
// The names of every value under a key; empty when the key does not exist.
std::vector<std::string> ValueNames(HKEY hRoot, const std::string& strKey);
void DeleteKeyTree(HKEY hRoot, const std::string& strKey);
void DeleteValue(HKEY hRoot, const std::string& strKey, const std::string& strName);

} // namespace qv::e2e
