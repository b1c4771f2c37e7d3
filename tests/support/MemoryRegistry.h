// A registry in memory that answers like the Windows one: access rights checked on every handle,
// REGSTATUS_MORE_DATA for a short buffer, machine-wide keys seen only through the 64-bit view,
// safe to use from several threads (the update check stores its dates while the dialog stores
// settings).
#pragma once

#include "platform/Registry.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace qv::test {

struct StoredValue {
    DWORD dwType;
    std::vector<BYTE> aData;
    bool operator==(const StoredValue&) const = default;
};

inline StoredValue StoredText(std::string_view strText) {
    std::vector<BYTE> aData(strText.begin(), strText.end());
    aData.push_back(0);
    return {REGTYPE_SZ, std::move(aData)};
}

inline StoredValue StoredDword(DWORD dwValue) {
    return {REGTYPE_DWORD,
            {static_cast<BYTE>(dwValue), static_cast<BYTE>(dwValue >> 8),
             static_cast<BYTE>(dwValue >> 16), static_cast<BYTE>(dwValue >> 24)}};
}

// A REG_SZ written through SetStringValueWide: UTF-16LE and its terminating zero.
inline StoredValue StoredWideText(std::u16string_view strText) {
    std::vector<BYTE> aData;
    for (const char16_t c : strText)
        aData.insert(aData.end(), {static_cast<BYTE>(c), static_cast<BYTE>(c >> 8)});
    aData.insert(aData.end(), {0, 0});
    return {REGTYPE_SZ, std::move(aData)};
}

class CMemoryRegistry : public CRegistryService {
public:
    RegStatus CreateKey(RegKey hParent, const std::string& strSubKey, DWORD dwAccess,
                        RegKey* phKey) override {
        return Open(hParent, strSubKey, dwAccess, true, phKey);
    }
    RegStatus OpenKey(RegKey hParent, const std::string& strSubKey, DWORD dwAccess,
                      RegKey* phKey) override {
        return Open(hParent, strSubKey, dwAccess, false, phKey);
    }
    RegStatus QueryValue(RegKey hKey, const std::string& strName, DWORD* pdwType, BYTE* pData,
                         DWORD* pnData) override {
        std::lock_guard lock(m_mutex);
        std::string strPath;
        if (const RegStatus nStatus = Use(hKey, REGACCESS_QUERY_VALUE, strPath))
            return nStatus;
        const auto it = m_mapValues.find({strPath, strName});
        if (it == m_mapValues.end())
            return REGSTATUS_FILE_NOT_FOUND;
        const auto nSize = static_cast<DWORD>(it->second.aData.size());
        if (pdwType)
            *pdwType = it->second.dwType;
        // Windows leaves a short buffer's contents undefined; the value's first bytes make a caller
        // that ignores the status read something plausible, and so show the fault.
        const DWORD nBuffer = *pnData;
        std::copy_n(it->second.aData.begin(), std::min(nSize, nBuffer), pData);
        *pnData = nSize;
        return nSize > nBuffer ? REGSTATUS_MORE_DATA : REGSTATUS_SUCCESS;
    }
    RegStatus SetValue(RegKey hKey, const std::string& strName, DWORD dwType, const BYTE* pData,
                       DWORD nData) override {
        std::lock_guard lock(m_mutex);
        std::string strPath;
        if (const RegStatus nStatus = Use(hKey, REGACCESS_SET_VALUE, strPath))
            return nStatus;
        if (m_setFailures.contains({strPath, strName}))
            return REGSTATUS_ACCESS_DENIED;
        m_mapValues[{strPath, strName}] = {dwType, std::vector<BYTE>(pData, pData + nData)};
        m_aWrites.push_back(strName);
        return REGSTATUS_SUCCESS;
    }
    RegStatus SetStringValueWide(RegKey hKey, const std::string& strName,
                                 const std::u16string& strText) override {
        const StoredValue value = StoredWideText(strText);
        return SetValue(hKey, strName, value.dwType, value.aData.data(),
                        static_cast<DWORD>(value.aData.size()));
    }
    RegStatus EnumValue(RegKey hKey, DWORD nIndex, char* pszName, DWORD* pnName, DWORD* pdwType,
                        BYTE* pData, DWORD* pnData) override {
        std::lock_guard lock(m_mutex);
        std::string strPath;
        if (const RegStatus nStatus = Use(hKey, REGACCESS_QUERY_VALUE, strPath))
            return nStatus;
        auto it = m_mapValues.lower_bound({strPath, std::string()});
        for (DWORD nSkipped = 0; nSkipped < nIndex && it != m_mapValues.end(); ++nSkipped)
            ++it;
        if (it == m_mapValues.end() || it->first.first != strPath)
            return REGSTATUS_NO_MORE_ITEMS;
        const std::string& strName = it->first.second;
        const auto nSize = static_cast<DWORD>(it->second.aData.size());
        if (strName.size() >= *pnName || nSize > *pnData)
            return REGSTATUS_MORE_DATA;
        std::memcpy(pszName, strName.c_str(), strName.size() + 1);
        *pnName = static_cast<DWORD>(strName.size());
        *pdwType = it->second.dwType;
        std::copy_n(it->second.aData.begin(), nSize, pData);
        *pnData = nSize;
        return REGSTATUS_SUCCESS;
    }
    RegStatus DeleteValue(RegKey hKey, const std::string& strName) override {
        std::lock_guard lock(m_mutex);
        std::string strPath;
        if (const RegStatus nStatus = Use(hKey, REGACCESS_SET_VALUE, strPath))
            return nStatus;
        return m_mapValues.erase({strPath, strName}) ? REGSTATUS_SUCCESS : REGSTATUS_FILE_NOT_FOUND;
    }
    RegStatus CloseKey(RegKey hKey) override {
        std::lock_guard lock(m_mutex);
        return m_mapOpen.erase(hKey) ? REGSTATUS_SUCCESS : STATUS_INVALID_HANDLE;
    }

    // Opening a key under HKEY_LOCAL_MACHINE with any right beyond reading is then denied.
    void RefuseMachineWrites() {
        std::lock_guard lock(m_mutex);
        m_bRefuseMachineWrites = true;
    }
    // Every later SetValue of that value is denied and stores nothing.
    void FailSetValue(RegKey hRoot, const std::string& strKey, const std::string& strName) {
        std::lock_guard lock(m_mutex);
        m_setFailures.insert({Join(RootPath(hRoot), strKey), strName});
    }

    void Put(RegKey hRoot, const std::string& strKey, const std::string& strName,
             StoredValue value) {
        std::lock_guard lock(m_mutex);
        const std::string strPath = Join(RootPath(hRoot), strKey);
        AddKey(strPath);
        m_mapValues[{strPath, strName}] = std::move(value);
    }
    std::optional<StoredValue> Get(RegKey hRoot, const std::string& strKey,
                                   const std::string& strName) const {
        std::lock_guard lock(m_mutex);
        const auto it = m_mapValues.find({Join(RootPath(hRoot), strKey), strName});
        return it == m_mapValues.end() ? std::nullopt : std::optional(it->second);
    }
    bool HasKey(RegKey hRoot, const std::string& strKey) const {
        std::lock_guard lock(m_mutex);
        return m_setKeys.contains(Join(RootPath(hRoot), strKey));
    }
    // The name of every value stored through SetValue, in order; read once no other thread
    // writes.
    const std::vector<std::string>& Writes() const { return m_aWrites; }
    int OpenKeyCount() const {
        std::lock_guard lock(m_mutex);
        return static_cast<int>(m_mapOpen.size());
    }

private:
    using ValueId = std::pair<std::string, std::string>; // key path, value name
    struct OpenKeyState {
        std::string strPath;
        DWORD dwAccess;
    };

    static constexpr RegStatus STATUS_INVALID_HANDLE = 6;

    static std::string RootPath(RegKey hRoot) {
        return hRoot == REGKEY_LOCAL_MACHINE ? "hklm" : hRoot == REGKEY_CURRENT_USER ? "hkcu" : "";
    }
    static std::string Join(const std::string& strParent, const std::string& strSubKey) {
        return strSubKey.empty() ? strParent : strParent + "\\" + strSubKey;
    }
    RegStatus Open(RegKey hParent, const std::string& strSubKey, DWORD dwAccess, bool bCreate,
                   RegKey* phKey) {
        std::lock_guard lock(m_mutex);
        *phKey = REGKEY_NULL;
        std::string strParent = RootPath(hParent);
        if (const auto it = m_mapOpen.find(hParent); it != m_mapOpen.end())
            strParent = it->second.strPath;
        if (strParent.empty())
            return STATUS_INVALID_HANDLE;
        const std::string strPath = Join(strParent, strSubKey);
        if (strPath.starts_with("hklm")) {
            // The 32-bit view holds nothing this program or an older version wrote.
            if (!(dwAccess & REGACCESS_WOW64_64KEY))
                return REGSTATUS_FILE_NOT_FOUND;
            if (m_bRefuseMachineWrites && (dwAccess & ~(REGACCESS_READ | REGACCESS_WOW64_64KEY)))
                return REGSTATUS_ACCESS_DENIED;
        }
        if (bCreate)
            AddKey(strPath);
        else if (!m_setKeys.contains(strPath) && strPath != strParent)
            return REGSTATUS_FILE_NOT_FOUND;
        *phKey = m_hNext++;
        m_mapOpen[*phKey] = {strPath, dwAccess};
        return REGSTATUS_SUCCESS;
    }
    // The path of the open key hKey, when it was opened with dwRight; otherwise why not.
    RegStatus Use(RegKey hKey, DWORD dwRight, std::string& strPath) const {
        const auto it = m_mapOpen.find(hKey);
        if (it == m_mapOpen.end())
            return STATUS_INVALID_HANDLE;
        strPath = it->second.strPath;
        return it->second.dwAccess & dwRight ? REGSTATUS_SUCCESS : REGSTATUS_ACCESS_DENIED;
    }
    void AddKey(const std::string& strPath) {
        for (auto nSep = strPath.find('\\'); nSep != std::string::npos;
             nSep = strPath.find('\\', nSep + 1))
            m_setKeys.insert(strPath.substr(0, nSep));
        m_setKeys.insert(strPath);
    }

    // Taken by each public member that touches the maps; none that takes it calls one that does.
    mutable std::mutex m_mutex;
    bool m_bRefuseMachineWrites = false;
    std::set<std::string> m_setKeys;
    std::map<ValueId, StoredValue> m_mapValues;
    std::vector<std::string> m_aWrites;
    std::set<ValueId> m_setFailures;
    std::map<RegKey, OpenKeyState> m_mapOpen;
    RegKey m_hNext = 0x1000;
};

} // namespace qv::test
