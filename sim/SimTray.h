// The tray of a simulated CD-ROM drive as the OS controls it: the NT storage I/O controls and
// the DOS block-device calls of Windows 95/98, with their error numbers and a count of pending
// media locks. It records every request so that tests can read the sequence. Thread-safe: two
// tray threads may work on one drive at once.
#pragma once

#include "platform/DriveService.h"
#include "sim/SimConfig.h"

#include <mutex>
#include <vector>

namespace qv::sim {

// The DOS generic I/O control for block devices, in AX.
inline constexpr DWORD DOS_IOCTL_BLOCK_DEVICE = 0x440D;
inline constexpr DWORD DOS_ERROR_INVALID_FUNCTION = 0x01;

// A DOS call that fails returns its error number in AX with the carry flag set.
inline bool FailDosCall(DIOC_REGISTERS& regs, DWORD dwError) {
    regs.reg_EAX = dwError;
    regs.reg_Flags |= DIOC_CARRY_FLAG;
    return false;
}

enum class SimTrayOp {
    PreventRemoval,
    AllowRemoval,
    EjectMedia,
    LoadMedia,
    LockVolume,
    UnlockVolume,
    LockMedia,
    UnlockMedia,
    MediaLockStatus,
    EjectRemovable,
};

struct SimTrayCall {
    SimTrayOp op;
    int nCategory = 0; // the DOS request's category; 0 for the NT controls
    // A volume lock's level (BH) and permissions (EDX); 0 for every other request.
    int nLockLevel = 0;
    DWORD dwPermissions = 0;
    bool operator==(const SimTrayCall&) const = default;
};

class CSimTray {
public:
    explicit CSimTray(SimTrayConfig config);

    bool MediaRemoval(bool bPrevent);
    bool EjectMedia();
    bool LoadMedia();
    // One 440Dh call addressed to this drive, with EDX as the OS side left it and the parameter
    // block it points to, if the caller gave one. DOS failures set the carry flag and EAX; false
    // when the call could not be carried out at all.
    bool DosIoctl(DIOC_REGISTERS& regs, void* pParams);

    std::vector<SimTrayCall> Calls() const;
    bool IsOpen() const;
    bool IsRemovalPrevented() const;
    int PendingLocks() const;

private:
    bool VolumeRequest(const SimTrayCall& call, DIOC_REGISTERS& regs);
    bool MediaLockRequest(BYTE* pParams, DIOC_REGISTERS& regs);

    const SimTrayConfig m_config;
    mutable std::mutex m_lock;
    std::vector<SimTrayCall> m_aCalls;
    bool m_bOpen = false;
    bool m_bPrevented = false;
    int m_nPendingLocks;
};

} // namespace qv::sim
