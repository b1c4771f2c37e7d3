// The simulated machine's drive service with its answers changed by fuzz bytes. The machine checks
// each call as the OS does first; the lies change only what the OS may write.
#pragma once

#include "fuzz/FuzzInput.h"
#include "platform/PassThroughLayout.h"
#include "sim/SimMachine.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace qv::fuzz {

class CHostileDrives : public CDriveService {
public:
    CHostileDrives(CFuzzInput& input, sim::CSimMachine& machine)
        : m_input(input), m_machine(machine) {}

    DWORD GetLogicalDriveStrings(DWORD nBufferLength, char* pBuffer) override {
        const BYTE nLies = m_input.Byte();
        DWORD nLength = m_machine.GetLogicalDriveStrings(nBufferLength, pBuffer);
        if (nLies & LIE_PATCHED && nLength < nBufferLength)
            m_input.Patch(reinterpret_cast<BYTE*>(pBuffer), nLength);
        if (nLies & LIE_RETURNED)
            nLength = m_input.Value<DWORD>();
        return nLies & LIE_FAILS ? 0 : nLength;
    }
    unsigned GetDriveType(const std::string& strRoot) override {
        return m_machine.GetDriveType(strRoot) ^ m_input.Byte();
    }
    DeviceHandle CreateFile(const std::string& strPath, DWORD dwAccess, DWORD dwShare,
                            DWORD dwCreation, DWORD dwFlags) override {
        const DeviceHandle hDevice =
            m_machine.CreateFile(strPath, dwAccess, dwShare, dwCreation, dwFlags);
        if (hDevice == INVALID_DEVICE_HANDLE || !(m_input.Byte() & LIE_FAILS))
            return hDevice;
        m_machine.CloseHandle(hDevice);
        return INVALID_DEVICE_HANDLE;
    }
    bool DeviceIoControl(DeviceHandle hDevice, DWORD dwCode, void* pIn, DWORD nInSize, void* pOut,
                         DWORD nOutSize, DWORD* pnReturned) override {
        const BYTE nLies = m_input.Byte();
        if (!m_machine.DeviceIoControl(hDevice, dwCode, pIn, nInSize, pOut, nOutSize, pnReturned))
            return false;
        if (dwCode == CTL_SCSI_PASS_THROUGH)
            LieInPassThrough(nLies, static_cast<BYTE*>(pOut), nOutSize);
        else if (nLies & LIE_PATCHED && pOut)
            m_input.Patch(static_cast<BYTE*>(pOut), nOutSize);
        if (pnReturned && nLies & LIE_RETURNED)
            *pnReturned = m_input.Value<DWORD>();
        return !(nLies & LIE_FAILS);
    }
    bool CloseHandle(DeviceHandle hDevice) override {
        Check(m_machine.CloseHandle(hDevice), "only an open handle is closed, and only once");
        return true;
    }
    bool Vwin32DeviceIoControl(DeviceHandle hVwin32, DWORD dwCode, DIOC_REGISTERS& regs,
                               void* pParams) override {
        return m_machine.Vwin32DeviceIoControl(hVwin32, dwCode, regs, pParams);
    }

private:
    // The machine took the block, so its header and areas lie inside the output; the OS writes
    // back the header's status and lengths and anything behind the header.
    void LieInPassThrough(BYTE nLies, BYTE* pBlock, DWORD nOutSize) {
        PASS_THROUGH_HEADER header;
        std::memcpy(&header, pBlock, sizeof header);
        if (nLies & LIE_SHORT)
            header.DataTransferLength = std::min<DWORD>(header.DataTransferLength, m_input.Byte());
        if (nLies & LIE_PATCHED)
            m_input.Patch(pBlock + PT_HEADER_SIZE, nOutSize - PT_HEADER_SIZE);
        if (nLies & LIE_STATUS)
            header.ScsiStatus = m_input.Byte();
        if (nLies & LIE_LENGTH)
            header.DataTransferLength = m_input.Value<DWORD>();
        if (nLies & LIE_SENSE)
            header.SenseInfoLength = m_input.Byte();
        std::memcpy(pBlock, &header, sizeof header);
    }

    CFuzzInput& m_input;
    sim::CSimMachine& m_machine;
};

} // namespace qv::fuzz
