// The simulated machine's drive service with its answers changed by fuzz bytes: the drive strings
// and types, which device paths open, the SCSI address, and every pass-through reply with its SCSI
// status, the lengths it reports, the bytes written back and whether the I/O control succeeded at
// all. The machine checks each call as the OS does first; the lies change only what the OS may
// write, so anything that goes wrong beyond that is the caller's.
#pragma once

#include "fuzz/FuzzInput.h"
#include "sim/SimMachine.h"

namespace qv::fuzz {

class CHostileDrives : public CDriveService {
public:
    CHostileDrives(CFuzzInput& input, sim::CSimMachine& machine)
        : m_input(input), m_machine(machine) {}

    DWORD GetLogicalDriveStrings(DWORD nBufferLength, char* pBuffer) override;
    unsigned GetDriveType(const std::string& strRoot) override;
    DeviceHandle CreateFile(const std::string& strPath, DWORD dwAccess, DWORD dwShare,
                            DWORD dwCreation, DWORD dwFlags) override;
    bool DeviceIoControl(DeviceHandle hDevice, DWORD dwCode, void* pIn, DWORD nInSize, void* pOut,
                         DWORD nOutSize, DWORD* pnReturned) override;
    bool CloseHandle(DeviceHandle hDevice) override;
    bool Vwin32DeviceIoControl(DeviceHandle hVwin32, DWORD dwCode, DIOC_REGISTERS& regs,
                               void* pParams) override {
        return m_machine.Vwin32DeviceIoControl(hVwin32, dwCode, regs, pParams);
    }

private:
    void LieInPassThrough(BYTE nLies, BYTE* pBlock, DWORD nOutSize);

    CFuzzInput& m_input;
    sim::CSimMachine& m_machine;
};

} // namespace qv::fuzz
