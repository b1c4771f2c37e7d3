#include "platform/win32/Win32Registry.h"

#include "platform/win32/Win32.h"
#include "platform/win32/Win32Text.h"

namespace qv::win32 {
namespace {

static_assert(REGSTATUS_SUCCESS == ERROR_SUCCESS &&
              REGSTATUS_FILE_NOT_FOUND == ERROR_FILE_NOT_FOUND &&
              REGSTATUS_ACCESS_DENIED == ERROR_ACCESS_DENIED &&
              REGSTATUS_MORE_DATA == ERROR_MORE_DATA &&
              REGSTATUS_NO_MORE_ITEMS == ERROR_NO_MORE_ITEMS);
static_assert(REGTYPE_SZ == REG_SZ && REGTYPE_BINARY == REG_BINARY && REGTYPE_DWORD == REG_DWORD);
static_assert(REGACCESS_QUERY_VALUE == KEY_QUERY_VALUE && REGACCESS_SET_VALUE == KEY_SET_VALUE &&
              REGACCESS_ENUMERATE_SUB_KEYS == KEY_ENUMERATE_SUB_KEYS &&
              REGACCESS_READ == KEY_READ && REGACCESS_WRITE == KEY_WRITE &&
              REGACCESS_ALL == KEY_ALL_ACCESS);
// Handed on as part of the access mask, the view flag reaches the OS as it is.
static_assert(REGACCESS_WOW64_64KEY == KEY_WOW64_64KEY);

HKEY ToHkey(RegKey hKey) {
    if (hKey == REGKEY_LOCAL_MACHINE)
        return HKEY_LOCAL_MACHINE;
    if (hKey == REGKEY_CURRENT_USER)
        return HKEY_CURRENT_USER;
    return reinterpret_cast<HKEY>(hKey);
}

RegStatus Opened(LONG nStatus, HKEY hOpened, RegKey* phKey) {
    *phKey = nStatus == ERROR_SUCCESS ? reinterpret_cast<RegKey>(hOpened) : REGKEY_NULL;
    return static_cast<RegStatus>(nStatus);
}

} // namespace

RegStatus CWin32Registry::CreateKey(RegKey hParent, const std::string& strSubKey, DWORD dwAccess,
                                    RegKey* phKey) {
    HKEY hOpened = nullptr;
    const LONG nStatus =
        ::RegCreateKeyExA(ToHkey(hParent), strSubKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          dwAccess, nullptr, &hOpened, nullptr);
    return Opened(nStatus, hOpened, phKey);
}

RegStatus CWin32Registry::OpenKey(RegKey hParent, const std::string& strSubKey, DWORD dwAccess,
                                  RegKey* phKey) {
    HKEY hOpened = nullptr;
    const LONG nStatus = ::RegOpenKeyExA(ToHkey(hParent), strSubKey.c_str(), 0, dwAccess, &hOpened);
    return Opened(nStatus, hOpened, phKey);
}

RegStatus CWin32Registry::QueryValue(RegKey hKey, const std::string& strName, DWORD* pdwType,
                                     BYTE* pData, DWORD* pnData) {
    ::DWORD dwType = 0;
    ::DWORD nData = pnData ? *pnData : 0;
    const LONG nStatus = ::RegQueryValueExA(ToHkey(hKey), strName.c_str(), nullptr, &dwType, pData,
                                            pnData ? &nData : nullptr);
    // The size is reported on success and, as the size needed, on REGSTATUS_MORE_DATA.
    if (nStatus == ERROR_SUCCESS || nStatus == ERROR_MORE_DATA) {
        if (pdwType)
            *pdwType = static_cast<DWORD>(dwType);
        if (pnData)
            *pnData = static_cast<DWORD>(nData);
    }
    return static_cast<RegStatus>(nStatus);
}

RegStatus CWin32Registry::SetValue(RegKey hKey, const std::string& strName, DWORD dwType,
                                   const BYTE* pData, DWORD nData) {
    return static_cast<RegStatus>(
        ::RegSetValueExA(ToHkey(hKey), strName.c_str(), 0, dwType, pData, nData));
}

RegStatus CWin32Registry::SetStringValueWide(RegKey hKey, const std::string& strName,
                                             const std::u16string& strText) {
    return static_cast<RegStatus>(
        ::RegSetValueExW(ToHkey(hKey), WidenAnsi(strName).c_str(), 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(strText.c_str()),
                         static_cast<::DWORD>((strText.size() + 1) * sizeof(char16_t))));
}

RegStatus CWin32Registry::EnumValue(RegKey hKey, DWORD nIndex, char* pszName, DWORD* pnName,
                                    DWORD* pdwType, BYTE* pData, DWORD* pnData) {
    ::DWORD nName = *pnName;
    ::DWORD dwType = 0;
    ::DWORD nData = pnData ? *pnData : 0;
    const LONG nStatus = ::RegEnumValueA(ToHkey(hKey), nIndex, pszName, &nName, nullptr, &dwType,
                                         pData, pnData ? &nData : nullptr);
    if (nStatus == ERROR_SUCCESS) {
        *pnName = static_cast<DWORD>(nName);
        if (pdwType)
            *pdwType = static_cast<DWORD>(dwType);
        if (pnData)
            *pnData = static_cast<DWORD>(nData);
    }
    return static_cast<RegStatus>(nStatus);
}

RegStatus CWin32Registry::DeleteValue(RegKey hKey, const std::string& strName) {
    return static_cast<RegStatus>(::RegDeleteValueA(ToHkey(hKey), strName.c_str()));
}

RegStatus CWin32Registry::CloseKey(RegKey hKey) {
    return static_cast<RegStatus>(::RegCloseKey(ToHkey(hKey)));
}

} // namespace qv::win32
