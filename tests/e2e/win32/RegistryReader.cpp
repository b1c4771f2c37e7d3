#include "tests/e2e/win32/RegistryReader.h"

#include <cstring>

namespace qv::e2e {

DWORD RegistryValue::AsDword() const {
    DWORD dwValue = 0;
    std::memcpy(&dwValue, aData.data(), std::min<std::size_t>(aData.size(), sizeof dwValue));
    return dwValue;
}

std::optional<RegistryValue> ReadValue(HKEY hRoot, const std::string& strKey,
                                       const std::string& strName) {
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(hRoot, strKey.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return std::nullopt;
    RegistryValue value{};
    DWORD nSize = 0;
    LONG nStatus = RegQueryValueExA(hKey, strName.c_str(), nullptr, &value.dwType, nullptr, &nSize);
    if (nStatus == ERROR_SUCCESS) {
        value.aData.resize(nSize);
        nStatus = RegQueryValueExA(hKey, strName.c_str(), nullptr, &value.dwType,
                                   value.aData.data(), &nSize);
        value.aData.resize(nSize);
    }
    RegCloseKey(hKey);
    if (nStatus != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

std::vector<std::string> ValueNames(HKEY hRoot, const std::string& strKey) {
    std::vector<std::string> aNames;
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(hRoot, strKey.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return aNames;
    for (DWORD nIndex = 0;; ++nIndex) {
        char szName[512] = {};
        DWORD nLength = sizeof szName;
        if (RegEnumValueA(hKey, nIndex, szName, &nLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        aNames.emplace_back(szName, nLength);
    }
    RegCloseKey(hKey);
    return aNames;
}

void DeleteKeyTree(HKEY hRoot, const std::string& strKey) {
    RegDeleteTreeA(hRoot, strKey.c_str());
}

void DeleteValue(HKEY hRoot, const std::string& strKey, const std::string& strName) {
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(hRoot, strKey.c_str(), 0, KEY_SET_VALUE, &hKey) == ERROR_SUCCESS) {
        RegDeleteValueA(hKey, strName.c_str());
        RegCloseKey(hKey);
    }
}

} // namespace qv::e2e
