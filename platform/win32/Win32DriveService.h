// Drives and device I/O of the running Windows: the seam's calls handed to the kernel.
#pragma once

#include "platform/DriveService.h"

namespace qv::win32 {

class CWin32DriveService : public CDriveService {
public:
    DWORD GetLogicalDriveStrings(DWORD nBufferLength, char* pBuffer) override;
    unsigned GetDriveType(const std::string& strRoot) override;
    DeviceHandle CreateFile(const std::string& strPath, DWORD dwAccess, DWORD dwShare,
                            DWORD dwCreation, DWORD dwFlags) override;
    bool DeviceIoControl(DeviceHandle hDevice, DWORD dwCode, void* pIn, DWORD nInSize, void* pOut,
                         DWORD nOutSize, DWORD* pnReturned) override;
    bool CloseHandle(DeviceHandle hDevice) override;
    bool Vwin32DeviceIoControl(DeviceHandle hVwin32, DWORD dwCode, DIOC_REGISTERS& regs,
                               void* pParams) override;
};

} // namespace qv::win32
