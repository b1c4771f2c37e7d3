#include "tests/support/MemoryRegistry.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>

namespace qv::test {
namespace {

constexpr RegStatus STATUS_INVALID_HANDLE = 6;
constexpr RegStatus STATUS_INVALID_PARAMETER = 87;

} // namespace

std::string CMemoryRegistry::RootPath(RegKey hRoot) {
    if (hRoot == REGKEY_LOCAL_MACHINE)
        return "hklm";
    if (hRoot == REGKEY_CURRENT_USER)
        return "hkcu";
    return {};
}

std::string CMemoryRegistry::Fold(const std::string& strText) {
    std::string strFolded(strText);
    std::transform(strFolded.begin(), strFolded.end(), strFolded.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return strFolded;
}

std::string CMemoryRegistry::Join(const std::string& strParent, const std::string& strSubKey) {
    return strSubKey.empty() ? strParent : strParent + "\\" + Fold(strSubKey);
}

const CMemoryRegistry::OpenedKey* CMemoryRegistry::Find(RegKey hKey) const {
    const auto it = m_mapOpen.find(hKey);
    return it == m_mapOpen.end() ? nullptr : &it->second;
}

std::optional<std::string> CMemoryRegistry::ParentPath(RegKey hParent) const {
    if (auto strRoot = RootPath(hParent); !strRoot.empty())
        return strRoot;
    if (const OpenedKey* pKey = Find(hParent))
        return pKey->strPath;
    return std::nullopt;
}

void CMemoryRegistry::AddKey(const std::string& strPath) {
    for (auto nSep = strPath.find('\\'); nSep != std::string::npos;
         nSep = strPath.find('\\', nSep + 1))
        m_setKeys.insert(strPath.substr(0, nSep));
    m_setKeys.insert(strPath);
}

RegStatus CMemoryRegistry::Open(RegKey hParent, const std::string& strSubKey, DWORD dwAccess,
                                bool bCreate, RegKey* phKey) {
    std::lock_guard lock(m_mutex);
    *phKey = REGKEY_NULL;
    const auto strParent = ParentPath(hParent);
    if (!strParent)
        return STATUS_INVALID_HANDLE;
    const std::string strPath = Join(*strParent, strSubKey);
    m_aOpenings.push_back({strPath, dwAccess});
    if (m_bRefuseMachineWrites && strPath.starts_with("hklm") &&
        (dwAccess & ~(REGACCESS_READ | REGACCESS_WOW64_64KEY)))
        return REGSTATUS_ACCESS_DENIED;
    if (bCreate)
        AddKey(strPath);
    else if (!m_setKeys.contains(strPath) && strPath != *strParent)
        return REGSTATUS_FILE_NOT_FOUND;
    *phKey = m_hNext++;
    m_mapOpen[*phKey] = {strPath, dwAccess};
    return REGSTATUS_SUCCESS;
}

RegStatus CMemoryRegistry::CreateKey(RegKey hParent, const std::string& strSubKey, DWORD dwAccess,
                                     RegKey* phKey) {
    return Open(hParent, strSubKey, dwAccess, true, phKey);
}

RegStatus CMemoryRegistry::OpenKey(RegKey hParent, const std::string& strSubKey, DWORD dwAccess,
                                   RegKey* phKey) {
    return Open(hParent, strSubKey, dwAccess, false, phKey);
}

RegStatus CMemoryRegistry::QueryValue(RegKey hKey, const std::string& strName, DWORD* pdwType,
                                      BYTE* pData, DWORD* pnData) {
    std::lock_guard lock(m_mutex);
    const OpenedKey* pKey = Find(hKey);
    if (!pKey)
        return STATUS_INVALID_HANDLE;
    if (!(pKey->dwAccess & REGACCESS_QUERY_VALUE))
        return REGSTATUS_ACCESS_DENIED;
    if (pData && !pnData)
        return STATUS_INVALID_PARAMETER;
    const auto it = m_mapValues.find({pKey->strPath, Fold(strName)});
    if (it == m_mapValues.end())
        return REGSTATUS_FILE_NOT_FOUND;
    const StoredValue& value = it->second;
    const auto nSize = static_cast<DWORD>(value.aData.size());
    if (pdwType)
        *pdwType = value.dwType;
    if (!pData) {
        if (pnData)
            *pnData = nSize;
        return REGSTATUS_SUCCESS;
    }
    // Windows leaves a short buffer's contents undefined; the value's first bytes make a caller
    // that ignores the status read something plausible, and so show the fault.
    const DWORD nBuffer = *pnData;
    if (nSize > 0)
        std::memcpy(pData, value.aData.data(), std::min(nSize, nBuffer));
    *pnData = nSize;
    return nSize > nBuffer ? REGSTATUS_MORE_DATA : REGSTATUS_SUCCESS;
}

RegStatus CMemoryRegistry::SetValue(RegKey hKey, const std::string& strName, DWORD dwType,
                                    const BYTE* pData, DWORD nData) {
    std::lock_guard lock(m_mutex);
    const OpenedKey* pKey = Find(hKey);
    if (!pKey)
        return STATUS_INVALID_HANDLE;
    if (!(pKey->dwAccess & REGACCESS_SET_VALUE))
        return REGSTATUS_ACCESS_DENIED;
    const ValueId id{pKey->strPath, Fold(strName)};
    if (const auto it = m_mapFailures.find(id); it != m_mapFailures.end())
        return it->second;
    Store(pKey->strPath, strName, {dwType, std::vector<BYTE>(pData, pData + nData)});
    m_aWrites.push_back(strName);
    return REGSTATUS_SUCCESS;
}

RegStatus CMemoryRegistry::SetStringValueWide(RegKey hKey, const std::string& strName,
                                              const std::u16string& strText) {
    const StoredValue value = StoredWideText(strText);
    return SetValue(hKey, strName, value.dwType, value.aData.data(),
                    static_cast<DWORD>(value.aData.size()));
}

RegStatus CMemoryRegistry::EnumValue(RegKey hKey, DWORD nIndex, char* pszName, DWORD* pnName,
                                     DWORD* pdwType, BYTE* pData, DWORD* pnData) {
    std::lock_guard lock(m_mutex);
    const OpenedKey* pKey = Find(hKey);
    if (!pKey)
        return STATUS_INVALID_HANDLE;
    if (!(pKey->dwAccess & REGACCESS_QUERY_VALUE))
        return REGSTATUS_ACCESS_DENIED;
    if (!pnName || (pData && !pnData))
        return STATUS_INVALID_PARAMETER;
    auto it = m_mapValues.lower_bound({pKey->strPath, std::string()});
    for (DWORD nSkipped = 0; nSkipped < nIndex && it != m_mapValues.end(); ++nSkipped)
        ++it;
    if (it == m_mapValues.end() || it->first.first != pKey->strPath)
        return REGSTATUS_NO_MORE_ITEMS;
    const std::string& strName = m_mapSpellings.at(it->first);
    const StoredValue& value = it->second;
    const auto nSize = static_cast<DWORD>(value.aData.size());
    if (strName.size() >= *pnName || (pData && nSize > *pnData))
        return REGSTATUS_MORE_DATA;
    std::memcpy(pszName, strName.c_str(), strName.size() + 1);
    *pnName = static_cast<DWORD>(strName.size());
    if (pdwType)
        *pdwType = value.dwType;
    if (pData && nSize > 0)
        std::memcpy(pData, value.aData.data(), nSize);
    if (pnData)
        *pnData = nSize;
    return REGSTATUS_SUCCESS;
}

RegStatus CMemoryRegistry::DeleteValue(RegKey hKey, const std::string& strName) {
    std::lock_guard lock(m_mutex);
    const OpenedKey* pKey = Find(hKey);
    if (!pKey)
        return STATUS_INVALID_HANDLE;
    if (!(pKey->dwAccess & REGACCESS_SET_VALUE))
        return REGSTATUS_ACCESS_DENIED;
    const ValueId id{pKey->strPath, Fold(strName)};
    m_mapSpellings.erase(id);
    return m_mapValues.erase(id) ? REGSTATUS_SUCCESS : REGSTATUS_FILE_NOT_FOUND;
}

RegStatus CMemoryRegistry::CloseKey(RegKey hKey) {
    std::lock_guard lock(m_mutex);
    return m_mapOpen.erase(hKey) ? REGSTATUS_SUCCESS : STATUS_INVALID_HANDLE;
}

void CMemoryRegistry::FailSetValue(RegKey hRoot, const std::string& strKey,
                                   const std::string& strName, RegStatus nStatus) {
    std::lock_guard lock(m_mutex);
    m_mapFailures[{Join(RootPath(hRoot), strKey), Fold(strName)}] = nStatus;
}

void CMemoryRegistry::Put(RegKey hRoot, const std::string& strKey, const std::string& strName,
                          DWORD dwType, std::vector<BYTE> aData) {
    std::lock_guard lock(m_mutex);
    const std::string strPath = Join(RootPath(hRoot), strKey);
    AddKey(strPath);
    Store(strPath, strName, {dwType, std::move(aData)});
}

// Like Windows, a value keeps the spelling of its name from when it was first stored.
void CMemoryRegistry::Store(const std::string& strPath, const std::string& strName,
                            StoredValue value) {
    const ValueId id{strPath, Fold(strName)};
    m_mapSpellings.try_emplace(id, strName);
    m_mapValues[id] = std::move(value);
}

void CMemoryRegistry::PutDword(RegKey hRoot, const std::string& strKey, const std::string& strName,
                               DWORD dwValue) {
    Put(hRoot, strKey, strName, REGTYPE_DWORD,
        {static_cast<BYTE>(dwValue), static_cast<BYTE>(dwValue >> 8),
         static_cast<BYTE>(dwValue >> 16), static_cast<BYTE>(dwValue >> 24)});
}

void CMemoryRegistry::PutString(RegKey hRoot, const std::string& strKey, const std::string& strName,
                                const std::string& strText) {
    Put(hRoot, strKey, strName, REGTYPE_SZ, StoredText(strText).aData);
}

std::optional<StoredValue> CMemoryRegistry::Get(RegKey hRoot, const std::string& strKey,
                                                const std::string& strName) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_mapValues.find({Join(RootPath(hRoot), strKey), Fold(strName)});
    if (it == m_mapValues.end())
        return std::nullopt;
    return it->second;
}

std::optional<DWORD> CMemoryRegistry::GetDword(RegKey hRoot, const std::string& strKey,
                                               const std::string& strName) const {
    const auto value = Get(hRoot, strKey, strName);
    if (!value || value->dwType != REGTYPE_DWORD || value->aData.size() != 4)
        return std::nullopt;
    return DwordFromBytes(value->aData.data());
}

bool CMemoryRegistry::HasKey(RegKey hRoot, const std::string& strKey) const {
    std::lock_guard lock(m_mutex);
    return m_setKeys.contains(Join(RootPath(hRoot), strKey));
}

} // namespace qv::test
