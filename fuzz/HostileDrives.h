// A drive service that answers from fuzz bytes: the drive strings and types, which device paths
// open, the SCSI address and every pass-through reply, with its SCSI status, the lengths it
// reports, the bytes written back and whether the I/O control succeeded at all. It writes only
// where the OS may write, so anything that goes wrong beyond that is the caller's.
#pragma once

#include "fuzz/FuzzInput.h"
#include "fuzz/HonestDrive.h"
#include "platform/DriveService.h"

#include <set>

namespace qv::fuzz {

class CHostileDrives : public CDriveService {
public:
    // bPassThrough: whether the volumes the transport probe opens answer the address query.
    CHostileDrives(CFuzzInput& input, bool bPassThrough)
        : m_input(input), m_bPassThrough(bPassThrough) {}

    DWORD GetLogicalDriveStrings(DWORD nBufferLength, char* pBuffer) override;
    unsigned GetDriveType(const std::string& strRoot) override;
    DeviceHandle CreateFile(const std::string& strPath, DWORD dwAccess, DWORD dwShare,
                            DWORD dwCreation, DWORD dwFlags) override;
    bool DeviceIoControl(DeviceHandle hDevice, DWORD dwCode, void* pIn, DWORD nInSize, void* pOut,
                         DWORD nOutSize, DWORD* pnReturned) override;
    bool CloseHandle(DeviceHandle hDevice) override;
    bool Vwin32DeviceIoControl(DeviceHandle hVwin32, DWORD dwCode, DIOC_REGISTERS& regs,
                               void* pParams) override;

    int OpenHandleCount() const { return static_cast<int>(m_setOpen.size()); }

private:
    bool AnswerAddress(DeviceHandle hDevice, void* pOut, DWORD nOutSize, DWORD* pnReturned);
    bool PassThrough(void* pIn, DWORD nInSize, void* pOut, DWORD nOutSize, DWORD* pnReturned);

    CFuzzInput& m_input;
    const bool m_bPassThrough;
    CHonestDrive m_drive;
    std::set<DeviceHandle> m_setOpen;
    // Volumes opened without access rights: only the transport probe opens them so.
    std::set<DeviceHandle> m_setProbed;
    DeviceHandle m_hNext = 0x100;
};

} // namespace qv::fuzz
