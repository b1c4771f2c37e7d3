// The registry of the running Windows: the seam's calls handed to the registry functions.
#pragma once

#include "platform/Registry.h"

namespace qv::win32 {

class CWin32Registry : public CRegistryService {
public:
    RegStatus CreateKey(RegKey hParent, const std::string& strSubKey, DWORD dwAccess,
                        RegKey* phKey) override;
    RegStatus OpenKey(RegKey hParent, const std::string& strSubKey, DWORD dwAccess,
                      RegKey* phKey) override;
    RegStatus QueryValue(RegKey hKey, const std::string& strName, DWORD* pdwType, BYTE* pData,
                         DWORD* pnData) override;
    RegStatus SetValue(RegKey hKey, const std::string& strName, DWORD dwType, const BYTE* pData,
                       DWORD nData) override;
    RegStatus SetStringValueWide(RegKey hKey, const std::string& strName,
                                 const std::u16string& strText) override;
    RegStatus EnumValue(RegKey hKey, DWORD nIndex, char* pszName, DWORD* pnName, DWORD* pdwType,
                        BYTE* pData, DWORD* pnData) override;
    RegStatus DeleteValue(RegKey hKey, const std::string& strName) override;
    RegStatus CloseKey(RegKey hKey) override;
};

} // namespace qv::win32
