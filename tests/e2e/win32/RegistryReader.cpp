#include "tests/e2e/win32/RegistryReader.h"

#include <cstring>

namespace qv::e2e {

DWORD RegistryValue::AsDword() const {
    DWORD dwValue = 0;
    std::memcpy(&dwValue, aData.data(), std::min<std::size_t>(aData.size(), sizeof dwValue));
    return dwValue;
}

RegistryValue Dword(DWORD dwValue) {
    const auto* pBytes = reinterpret_cast<const BYTE*>(&dwValue);
    return {REG_DWORD, {pBytes, pBytes + sizeof dwValue}};
}

RegistryValue Text(const std::string& strText) {
    return {REG_SZ, {strText.c_str(), strText.c_str() + strText.size() + 1}};
}

std::optional<RegistryValue> ReadValue(HKEY hRoot, const std::string& strKey,
                                       const std::string& strName, REGSAM nView) {
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(hRoot, strKey.c_str(), 0, KEY_READ | nView, &hKey) != ERROR_SUCCESS)
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
    return nStatus == ERROR_SUCCESS ? std::optional(value) : std::nullopt;
}

std::string ReadText(HKEY hRoot, const std::string& strKey, const std::string& strName,
                     REGSAM nView) {
    const auto value = ReadValue(hRoot, strKey, strName, nView);
    return value ? std::string(value->aData.begin(), value->aData.end()).c_str() : "";
}

DWORD ValueCount(HKEY hRoot, const std::string& strKey) {
    HKEY hKey = nullptr;
    DWORD nValues = 0;
    if (RegOpenKeyExA(hRoot, strKey.c_str(), 0, KEY_READ, &hKey) == ERROR_SUCCESS) {
        RegQueryInfoKeyA(hKey, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &nValues,
                         nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(hKey);
    }
    return nValues;
}

void WriteValue(HKEY hRoot, const std::string& strKey, const std::string& strName,
                const RegistryValue& value, REGSAM nView) {
    HKEY hKey = nullptr;
    if (RegCreateKeyExA(hRoot, strKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE | nView, nullptr, &hKey, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(hKey, strName.c_str(), 0, value.dwType, value.aData.data(),
                   static_cast<DWORD>(value.aData.size()));
    RegCloseKey(hKey);
}

void DeleteValue(HKEY hRoot, const std::string& strKey, const std::string& strName, REGSAM nView) {
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(hRoot, strKey.c_str(), 0, KEY_SET_VALUE | nView, &hKey) == ERROR_SUCCESS) {
        RegDeleteValueA(hKey, strName.c_str());
        RegCloseKey(hKey);
    }
}

} // namespace qv::e2e
