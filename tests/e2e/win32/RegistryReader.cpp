#include "tests/e2e/win32/RegistryReader.h"

#include <cstring>

namespace qv::e2e {

DWORD RegistryValue::AsDword() const {
    DWORD dwValue = 0;
    std::memcpy(&dwValue, aData.data(), std::min<std::size_t>(aData.size(), sizeof dwValue));
    return dwValue;
}

std::wstring RegistryValue::AsWideText() const {
    std::wstring strText(aData.size() / sizeof(wchar_t), L'\0');
    std::memcpy(strText.data(), aData.data(), strText.size() * sizeof(wchar_t));
    return strText;
}

RegistryValue Dword(DWORD dwValue) {
    RegistryValue value{REG_DWORD, std::vector<BYTE>(sizeof dwValue)};
    std::memcpy(value.aData.data(), &dwValue, sizeof dwValue);
    return value;
}

RegistryValue Text(const std::string& strText) {
    return {REG_SZ, {strText.c_str(), strText.c_str() + strText.size() + 1}};
}

namespace {

// query(hKey, pdwType, pData, pnData) is RegQueryValueExA or RegQueryValueExW of one name.
template <class Query>
std::optional<RegistryValue> ReadWith(HKEY hRoot, const std::string& strKey, REGSAM nView,
                                      Query query) {
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(hRoot, strKey.c_str(), 0, KEY_READ | nView, &hKey) != ERROR_SUCCESS)
        return std::nullopt;
    RegistryValue value{};
    DWORD nSize = 0;
    LONG nStatus = query(hKey, &value.dwType, nullptr, &nSize);
    if (nStatus == ERROR_SUCCESS) {
        value.aData.resize(nSize);
        nStatus = query(hKey, &value.dwType, value.aData.data(), &nSize);
        value.aData.resize(nSize);
    }
    RegCloseKey(hKey);
    if (nStatus != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<RegistryValue> ReadValue(HKEY hRoot, const std::string& strKey,
                                       const std::string& strName, REGSAM nView) {
    return ReadWith(
        hRoot, strKey, nView, [&](HKEY hKey, DWORD* pdwType, BYTE* pData, DWORD* pnData) {
            return RegQueryValueExA(hKey, strName.c_str(), nullptr, pdwType, pData, pnData);
        });
}

std::optional<RegistryValue> ReadValueWide(HKEY hRoot, const std::string& strKey,
                                           const std::string& strName) {
    const std::wstring strWideName(strName.begin(), strName.end());
    return ReadWith(hRoot, strKey, 0, [&](HKEY hKey, DWORD* pdwType, BYTE* pData, DWORD* pnData) {
        return RegQueryValueExW(hKey, strWideName.c_str(), nullptr, pdwType, pData, pnData);
    });
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

void DeleteKeyTree(HKEY hRoot, const std::string& strKey) {
    RegDeleteTreeA(hRoot, strKey.c_str());
}

void DeleteValue(HKEY hRoot, const std::string& strKey, const std::string& strName, REGSAM nView) {
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(hRoot, strKey.c_str(), 0, KEY_SET_VALUE | nView, &hKey) == ERROR_SUCCESS) {
        RegDeleteValueA(hKey, strName.c_str());
        RegCloseKey(hKey);
    }
}

} // namespace qv::e2e
