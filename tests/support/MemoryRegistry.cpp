#include "tests/support/MemoryRegistry.h"

#include <algorithm>
#include <cstring>

namespace qv::test {

RegStatus CMemoryRegistry::Open(RegKey hParent, const std::string& strSubKey, DWORD dwAccess,
                                bool bCreate, RegKey* phKey) {
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

RegStatus CMemoryRegistry::Use(RegKey hKey, DWORD dwRight, std::string& strPath) const {
    const auto it = m_mapOpen.find(hKey);
    if (it == m_mapOpen.end())
        return STATUS_INVALID_HANDLE;
    strPath = it->second.strPath;
    return it->second.dwAccess & dwRight ? REGSTATUS_SUCCESS : REGSTATUS_ACCESS_DENIED;
}

RegStatus CMemoryRegistry::QueryValue(RegKey hKey, const std::string& strName, DWORD* pdwType,
                                      BYTE* pData, DWORD* pnData) {
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

RegStatus CMemoryRegistry::SetValue(RegKey hKey, const std::string& strName, DWORD dwType,
                                    const BYTE* pData, DWORD nData) {
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

RegStatus CMemoryRegistry::EnumValue(RegKey hKey, DWORD nIndex, char* pszName, DWORD* pnName,
                                     DWORD* pdwType, BYTE* pData, DWORD* pnData) {
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

void CMemoryRegistry::AddKey(const std::string& strPath) {
    for (auto nSep = strPath.find('\\'); nSep != std::string::npos;
         nSep = strPath.find('\\', nSep + 1))
        m_setKeys.insert(strPath.substr(0, nSep));
    m_setKeys.insert(strPath);
}

} // namespace qv::test
