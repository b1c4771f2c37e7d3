#include "sim/SimTray.h"

#include <algorithm>

namespace qv::sim {
namespace {

constexpr DWORD DOS_ERROR_ACCESS_DENIED = 0x05;
constexpr DWORD DOS_ERROR_VOLUME_NOT_LOCKED = 0xB0;
constexpr DWORD DOS_ERROR_VOLUME_LOCKED = 0xB1;
constexpr DWORD DOS_ERROR_LOCK_FAILED = 0xB4;
constexpr int MEDIA_CATEGORY = 0x08;

bool Succeed(DIOC_REGISTERS& regs) {
    regs.reg_Flags &= ~DIOC_CARRY_FLAG;
    return true;
}

} // namespace

CSimTray::CSimTray(SimTrayConfig config)
    : m_config(std::move(config)), m_nPendingLocks(m_config.nPendingLocks) {}

bool CSimTray::MediaRemoval(bool bPrevent) {
    std::lock_guard lock(m_lock);
    m_aCalls.push_back({bPrevent ? SimTrayOp::PreventRemoval : SimTrayOp::AllowRemoval});
    if (m_config.bMediaRemovalFails)
        return false;
    m_bPrevented = bPrevent;
    return true;
}

bool CSimTray::EjectMedia() {
    std::lock_guard lock(m_lock);
    m_aCalls.push_back({SimTrayOp::EjectMedia});
    if (m_bPrevented)
        return false;
    m_bOpen = true;
    return true;
}

bool CSimTray::LoadMedia() {
    std::lock_guard lock(m_lock);
    m_aCalls.push_back({SimTrayOp::LoadMedia});
    m_bOpen = false;
    return true;
}

bool CSimTray::DosIoctl(DIOC_REGISTERS& regs, void* pParams) {
    std::lock_guard lock(m_lock);
    const int nCategory = static_cast<int>((regs.reg_ECX >> 8) & 0xFF);
    const DWORD dwMinor = regs.reg_ECX & 0xFF;
    switch (dwMinor) {
    case 0x4A:
        VolumeRequest({SimTrayOp::LockVolume, nCategory,
                       static_cast<int>((regs.reg_EBX >> 8) & 0xFF), regs.reg_EDX},
                      regs);
        return true;
    case 0x6A:
        VolumeRequest({SimTrayOp::UnlockVolume, nCategory}, regs);
        return true;
    case 0x48:
        if (nCategory != MEDIA_CATEGORY) {
            FailDosCall(regs, DOS_ERROR_INVALID_FUNCTION);
            return true;
        }
        // DOS reads the block at the address in EDX; without the block itself that address
        // cannot be followed here, and a real call would read whatever lies there.
        if (!pParams)
            return false;
        MediaLockRequest(static_cast<BYTE*>(pParams), regs);
        return true;
    case 0x49:
        m_aCalls.push_back({SimTrayOp::EjectRemovable, nCategory});
        if (nCategory != MEDIA_CATEGORY) {
            FailDosCall(regs, DOS_ERROR_INVALID_FUNCTION);
        } else if (m_nPendingLocks > 0) {
            FailDosCall(regs, DOS_ERROR_VOLUME_LOCKED);
        } else {
            m_bOpen = true;
            Succeed(regs);
        }
        return true;
    default:
        FailDosCall(regs, DOS_ERROR_INVALID_FUNCTION);
        return true;
    }
}

bool CSimTray::VolumeRequest(const SimTrayCall& call, DIOC_REGISTERS& regs) {
    m_aCalls.push_back(call);
    const auto& aCategories = m_config.aVolumeCategories;
    if (std::find(aCategories.begin(), aCategories.end(), call.nCategory) == aCategories.end())
        return FailDosCall(regs, DOS_ERROR_INVALID_FUNCTION);
    if (call.op == SimTrayOp::LockVolume && m_config.bVolumeLockFails)
        return FailDosCall(regs, DOS_ERROR_ACCESS_DENIED);
    return Succeed(regs);
}

// Parameter block: byte 0 the operation (0 lock, 1 unlock, 2 status), byte 1 the locks left.
bool CSimTray::MediaLockRequest(BYTE* pParams, DIOC_REGISTERS& regs) {
    switch (pParams[0]) {
    case 0:
        m_aCalls.push_back({SimTrayOp::LockMedia, MEDIA_CATEGORY});
        if (m_nPendingLocks == 0xFF)
            return FailDosCall(regs, DOS_ERROR_LOCK_FAILED);
        ++m_nPendingLocks;
        break;
    case 1:
        m_aCalls.push_back({SimTrayOp::UnlockMedia, MEDIA_CATEGORY});
        if (m_config.bUnlockMediaFails)
            return FailDosCall(regs, DOS_ERROR_LOCK_FAILED);
        if (m_nPendingLocks == 0)
            return FailDosCall(regs, DOS_ERROR_VOLUME_NOT_LOCKED);
        --m_nPendingLocks;
        break;
    case 2:
        m_aCalls.push_back({SimTrayOp::MediaLockStatus, MEDIA_CATEGORY});
        if (m_config.nLockStatusError)
            return FailDosCall(regs, static_cast<DWORD>(m_config.nLockStatusError));
        break;
    default:
        return FailDosCall(regs, DOS_ERROR_INVALID_FUNCTION);
    }
    pParams[1] = static_cast<BYTE>(m_nPendingLocks);
    return Succeed(regs);
}

std::vector<SimTrayCall> CSimTray::Calls() const {
    std::lock_guard lock(m_lock);
    return m_aCalls;
}

bool CSimTray::IsOpen() const {
    std::lock_guard lock(m_lock);
    return m_bOpen;
}

bool CSimTray::IsRemovalPrevented() const {
    std::lock_guard lock(m_lock);
    return m_bPrevented;
}

int CSimTray::PendingLocks() const {
    std::lock_guard lock(m_lock);
    return m_nPendingLocks;
}

} // namespace qv::sim
