// The registry: keys and values, shaped like the Win32 registry calls. Names carry a REG family
// prefix of their own so that they never meet the macros <windows.h> defines for the same numbers.
#pragma once

#include "platform/Types.h"

#include <cstdint>
#include <string>

namespace qv {

// A key handle carried as an integer, like DeviceHandle; the Win32 side converts it to HKEY.
using RegKey = std::intptr_t;
// A Win32 error code as the registry calls return it.
using RegStatus = std::int32_t;

inline constexpr RegKey REGKEY_NULL = 0;
// The predefined roots, with the values Windows gives HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER.
inline constexpr RegKey REGKEY_LOCAL_MACHINE = static_cast<std::int32_t>(0x80000002u);
inline constexpr RegKey REGKEY_CURRENT_USER = static_cast<std::int32_t>(0x80000001u);

enum : RegStatus {
    REGSTATUS_SUCCESS = 0,
    REGSTATUS_FILE_NOT_FOUND = 2,
    REGSTATUS_ACCESS_DENIED = 5,
    REGSTATUS_MORE_DATA = 234,
    REGSTATUS_NO_MORE_ITEMS = 259,
};

// Value types.
enum : DWORD {
    REGTYPE_SZ = 1,
    REGTYPE_BINARY = 3,
    REGTYPE_DWORD = 4,
};

// Access rights of an opened key.
enum : DWORD {
    REGACCESS_QUERY_VALUE = 0x0001,
    REGACCESS_SET_VALUE = 0x0002,
    REGACCESS_ENUMERATE_SUB_KEYS = 0x0008,
    // The 64-bit view of the registry, which a 32-bit program on 64-bit Windows otherwise does
    // not see under HKEY_LOCAL_MACHINE\Software.
    REGACCESS_WOW64_64KEY = 0x0100,
    REGACCESS_READ = 0x20019,
    REGACCESS_WRITE = 0x20006,
    REGACCESS_ALL = 0xF003F,
};

class CRegistryService {
public:
    virtual ~CRegistryService() = default;

    // RegCreateKeyExA with a non-volatile key: opens strSubKey under hParent, creating it and
    // any missing parent when needed. *phKey is REGKEY_NULL unless the call succeeds.
    virtual RegStatus CreateKey(RegKey hParent, const std::string& strSubKey, DWORD dwAccess,
                                RegKey* phKey) = 0;
    // RegOpenKeyExA: opens an existing key only.
    virtual RegStatus OpenKey(RegKey hParent, const std::string& strSubKey, DWORD dwAccess,
                              RegKey* phKey) = 0;
    // RegQueryValueExA. *pnData is the buffer size on entry and the value's size on return;
    // REGSTATUS_MORE_DATA when the buffer is too small, which leaves its contents undefined.
    // pdwType may be null. A REG_SZ comes back as stored, terminated or not.
    virtual RegStatus QueryValue(RegKey hKey, const std::string& strName, DWORD* pdwType,
                                 BYTE* pData, DWORD* pnData) = 0;
    // RegSetValueExA: nData bytes exactly, a REG_SZ's terminating zero included by the caller.
    virtual RegStatus SetValue(RegKey hKey, const std::string& strName, DWORD dwType,
                               const BYTE* pData, DWORD nData) = 0;
    // RegSetValueExW of a REG_SZ: the UTF-16 text and its terminating zero.
    virtual RegStatus SetStringValueWide(RegKey hKey, const std::string& strName,
                                         const std::u16string& strText) = 0;
    // RegEnumValueA: the name, type and data of the value at nIndex. *pnName is the name buffer's
    // size in characters on entry and the name's length without its zero on return; pdwType,
    // pData and pnData may be null as in QueryValue. REGSTATUS_MORE_DATA when the name or the
    // data does not fit, REGSTATUS_NO_MORE_ITEMS past the last value.
    virtual RegStatus EnumValue(RegKey hKey, DWORD nIndex, char* pszName, DWORD* pnName,
                                DWORD* pdwType, BYTE* pData, DWORD* pnData) = 0;
    virtual RegStatus DeleteValue(RegKey hKey, const std::string& strName) = 0;
    virtual RegStatus CloseKey(RegKey hKey) = 0;
};

// Closes an opened key on every way out of a scope; a null key is left alone.
class CRegKeyScope {
public:
    CRegKeyScope(CRegistryService& registry, RegKey hKey) : m_registry(registry), m_hKey(hKey) {}
    ~CRegKeyScope() {
        if (m_hKey != REGKEY_NULL)
            m_registry.CloseKey(m_hKey);
    }
    CRegKeyScope(const CRegKeyScope&) = delete;
    CRegKeyScope& operator=(const CRegKeyScope&) = delete;

private:
    CRegistryService& m_registry;
    RegKey m_hKey;
};

// The access to ask for under hRoot. A 32-bit build on 64-bit Windows would otherwise see a
// machine-wide key of its own, apart from the one the 64-bit build and other programs use.
inline DWORD AccessUnder(RegKey hRoot, DWORD dwAccess) {
    return hRoot == REGKEY_LOCAL_MACHINE ? dwAccess | REGACCESS_WOW64_64KEY : dwAccess;
}

// REG_DWORD data are little-endian on every Windows, whatever the machine reading them.
inline DWORD DwordFromBytes(const BYTE* pData) {
    return static_cast<DWORD>(pData[0]) | static_cast<DWORD>(pData[1]) << 8 |
           static_cast<DWORD>(pData[2]) << 16 | static_cast<DWORD>(pData[3]) << 24;
}

inline RegStatus SetDwordValue(CRegistryService& registry, RegKey hKey, const std::string& strName,
                               DWORD dwValue) {
    const BYTE aData[4] = {static_cast<BYTE>(dwValue), static_cast<BYTE>(dwValue >> 8),
                           static_cast<BYTE>(dwValue >> 16), static_cast<BYTE>(dwValue >> 24)};
    return registry.SetValue(hKey, strName, REGTYPE_DWORD, aData, sizeof aData);
}

// Stores the text with its terminating zero.
inline RegStatus SetStringValue(CRegistryService& registry, RegKey hKey, const std::string& strName,
                                const std::string& strText) {
    return registry.SetValue(hKey, strName, REGTYPE_SZ,
                             reinterpret_cast<const BYTE*>(strText.c_str()),
                             static_cast<DWORD>(strText.size() + 1));
}

} // namespace qv
