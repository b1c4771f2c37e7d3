#include "tests/support/MemoryRegistry.h"

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

void CMemoryRegistry::AddKey(const std::string& strPath) {
    for (auto nSep = strPath.find('\\'); nSep != std::string::npos;
         nSep = strPath.find('\\', nSep + 1))
        m_setKeys.insert(strPath.substr(0, nSep));
    m_setKeys.insert(strPath);
}

} // namespace qv::test
