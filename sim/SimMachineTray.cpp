// The tray controls of the simulated machine: the NT storage I/O controls on a volume's handle
// and the VWIN32 DOS calls of Windows 95/98, each handed to the tray of the drive addressed.
#include "sim/SimMachine.h"

namespace qv::sim {
namespace {

constexpr DWORD DOS_ERROR_INVALID_DRIVE = 0x0F;
// Stands for the parameter block's address, which the Win32 service puts in EDX; any address in
// the caller's space would do.
constexpr DWORD PARAMETER_BLOCK_ADDRESS = 0x0063FD00;

} // namespace

bool CSimMachine::StorageControl(const Volume& volume, DWORD dwCode, const void* pIn,
                                 DWORD nInSize) {
    if (!volume.pTray)
        return false;
    switch (dwCode) {
    case CTL_STORAGE_MEDIA_REMOVAL:
        return pIn && nInSize >= 1 &&
               volume.pTray->MediaRemoval(*static_cast<const BYTE*>(pIn) != 0);
    case CTL_STORAGE_EJECT_MEDIA:
        return volume.pTray->EjectMedia();
    case CTL_STORAGE_LOAD_MEDIA:
        return volume.pTray->LoadMedia();
    default:
        return false;
    }
}

bool CSimMachine::Vwin32DeviceIoControl(DeviceHandle hVwin32, DWORD dwCode, DIOC_REGISTERS& regs,
                                        void* pParams) {
    {
        std::lock_guard lock(m_lock);
        if (!m_setVwin32Handles.count(hVwin32))
            return false;
    }
    if (dwCode != VWIN32_DIOC_DOS_IOCTL)
        return false;
    if ((regs.reg_EAX & 0xFFFF) != DOS_IOCTL_BLOCK_DEVICE) {
        FailDosCall(regs, DOS_ERROR_INVALID_FUNCTION);
        return true;
    }
    const int nDrive = static_cast<int>(regs.reg_EBX & 0xFF);
    const Volume* pVolume =
        nDrive >= 1 && nDrive <= 26 ? FindVolume(static_cast<char>('@' + nDrive)) : nullptr;
    if (!pVolume || !pVolume->pTray) {
        FailDosCall(regs, DOS_ERROR_INVALID_DRIVE);
        return true;
    }
    if (pParams)
        regs.reg_EDX = PARAMETER_BLOCK_ADDRESS;
    return pVolume->pTray->DosIoctl(regs, pParams);
}

CSimTray* CSimMachine::Tray(char cLetter) const {
    const Volume* pVolume =
        FindVolume(static_cast<char>(std::toupper(static_cast<unsigned char>(cLetter))));
    return pVolume ? pVolume->pTray.get() : nullptr;
}

} // namespace qv::sim
