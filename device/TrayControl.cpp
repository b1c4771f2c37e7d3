#include "device/TrayControl.h"

#include "device/PassThroughTransport.h"
#include "device/Quietly.h"
#include "platform/DriveService.h"

#include <cctype>
#include <thread>

namespace qv {
namespace {

// The DOS generic I/O control for block devices, in EAX, and its requests (category in CH,
// minor code in CL).
constexpr DWORD DOS_IOCTL_BLOCK_DEVICE = 0x440D;
constexpr DWORD DOS_CATEGORY_FAT32 = 0x48; // Windows 95 OSR2 and later
constexpr DWORD DOS_CATEGORY_FAT = 0x08;
constexpr DWORD DOS_LOCK_VOLUME = 0x4A;
constexpr DWORD DOS_UNLOCK_VOLUME = 0x6A;
constexpr DWORD DOS_LOCK_MEDIA = 0x48;
constexpr DWORD DOS_EJECT_MEDIA = 0x49;
// Operations of the removable-media request.
constexpr BYTE MEDIA_UNLOCK = 1;
constexpr BYTE MEDIA_STATUS = 2;
// Errors of a status request that mean the drive holds no lock.
constexpr DWORD DOS_ERROR_INVALID_FUNCTION = 0x01;
constexpr DWORD DOS_ERROR_VOLUME_NOT_LOCKED = 0xB0;

struct MEDIA_PARAMS {
    BYTE bOperation;
    BYTE bNumLocks; // returned: the locks still pending on the drive
};

// The DOS drive number, 1 for A, or 0 for a text that starts with no drive letter.
int DriveNumber(char cLetter) {
    const int nLetter = std::toupper(static_cast<unsigned char>(cLetter));
    return nLetter >= 'A' && nLetter <= 'Z' ? nLetter - 0x40 : 0;
}

DeviceHandle OpenVwin32(CDriveService& drives) {
    return drives.CreateFile(VWIN32_DEVICE_PATH, 0, 0, 0, FLAG_DELETE_ON_CLOSE);
}

void CloseVwin32(CDriveService& drives, DeviceHandle hVwin32) {
    if (hVwin32 != INVALID_DEVICE_HANDLE)
        drives.CloseHandle(hVwin32);
}

// One DOS call: whether the OS took it and left the carry flag clear. regs keep the answer.
bool DosCall(CDriveService& drives, DeviceHandle hVwin32, DIOC_REGISTERS& regs,
             void* pParams = nullptr) {
    return drives.Vwin32DeviceIoControl(hVwin32, VWIN32_DIOC_DOS_IOCTL, regs, pParams) &&
           (regs.reg_Flags & DIOC_CARRY_FLAG) == 0;
}

DIOC_REGISTERS DosRequest(DWORD dwCategory, DWORD dwMinor, DWORD dwEbx) {
    DIOC_REGISTERS regs{};
    regs.reg_EAX = DOS_IOCTL_BLOCK_DEVICE;
    regs.reg_ECX = dwCategory << 8 | dwMinor;
    regs.reg_EBX = dwEbx;
    return regs;
}

// A volume request goes first in the FAT32-aware category, which older versions refuse.
bool VolumeRequest(CDriveService& drives, DeviceHandle hVwin32, DWORD dwMinor, DWORD dwEbx) {
    for (const DWORD dwCategory : {DOS_CATEGORY_FAT32, DOS_CATEGORY_FAT}) {
        DIOC_REGISTERS regs = DosRequest(dwCategory, dwMinor, dwEbx);
        if (DosCall(drives, hVwin32, regs))
            return true;
    }
    return false;
}

// Level 0 in BH, no permissions in EDX.
bool LockVolume(CDriveService& drives, DeviceHandle hVwin32, int nDrive) {
    return VolumeRequest(drives, hVwin32, DOS_LOCK_VOLUME, static_cast<DWORD>(nDrive));
}

bool UnlockVolume(CDriveService& drives, DeviceHandle hVwin32, int nDrive) {
    return VolumeRequest(drives, hVwin32, DOS_UNLOCK_VOLUME, static_cast<DWORD>(nDrive));
}

bool MediaRequest(CDriveService& drives, DeviceHandle hVwin32, int nDrive, MEDIA_PARAMS& params,
                  DIOC_REGISTERS& regs) {
    regs = DosRequest(DOS_CATEGORY_FAT, DOS_LOCK_MEDIA, static_cast<DWORD>(nDrive));
    return drives.Vwin32DeviceIoControl(hVwin32, VWIN32_DIOC_DOS_IOCTL, regs, &params);
}

// A drive keeps its tray shut while any lock on it is pending: all of them are released.
bool ReleaseMediaLocks(CDriveService& drives, DeviceHandle hVwin32, int nDrive) {
    MEDIA_PARAMS params{MEDIA_STATUS, 0};
    DIOC_REGISTERS regs{};
    if (!MediaRequest(drives, hVwin32, nDrive, params, regs))
        return false;
    if (regs.reg_Flags & DIOC_CARRY_FLAG) {
        const DWORD dwError = regs.reg_EAX & 0xFFFF;
        return dwError == DOS_ERROR_VOLUME_NOT_LOCKED || dwError == DOS_ERROR_INVALID_FUNCTION;
    }
    // Each release answers with the locks left; never more releases than were reported.
    for (int nLeft = params.bNumLocks; nLeft > 0 && params.bNumLocks > 0; --nLeft) {
        params.bOperation = MEDIA_UNLOCK;
        if (!MediaRequest(drives, hVwin32, nDrive, params, regs) ||
            (regs.reg_Flags & DIOC_CARRY_FLAG))
            return false;
    }
    return true;
}

bool EjectMedia(CDriveService& drives, DeviceHandle hVwin32, int nDrive) {
    DIOC_REGISTERS regs = DosRequest(DOS_CATEGORY_FAT, DOS_EJECT_MEDIA, static_cast<DWORD>(nDrive));
    return DosCall(drives, hVwin32, regs);
}

// Windows 95/98 cannot load a tray: this thread always ejects.
void Win9xEjectThread(CDriveService& drives, char cLetter) {
    const int nDrive = DriveNumber(cLetter);
    if (nDrive == 0)
        return;
    const DeviceHandle hVwin32 = OpenVwin32(drives);
    if (hVwin32 == INVALID_DEVICE_HANDLE)
        return;
    if (LockVolume(drives, hVwin32, nDrive)) {
        if (ReleaseMediaLocks(drives, hVwin32, nDrive))
            EjectMedia(drives, hVwin32, nDrive);
        UnlockVolume(drives, hVwin32, nDrive);
    }
    CloseVwin32(drives, hVwin32);
}

// The NT family's media-removal control on a handle of the volume's own; whether it was taken.
bool PreventRemoval(CDriveService& drives, const std::string& strDrive, bool bPrevent) {
    const DeviceHandle hVolume =
        drives.CreateFile(MakeDevicePath(strDrive), ACCESS_GENERIC_READ | ACCESS_GENERIC_WRITE,
                          SHARE_READ | SHARE_WRITE, CREATION_OPEN_EXISTING, 0);
    if (hVolume == INVALID_DEVICE_HANDLE)
        return false;
    BYTE bControl = bPrevent ? 1 : 0;
    DWORD nReturned = 0;
    const bool bTaken = drives.DeviceIoControl(hVolume, CTL_STORAGE_MEDIA_REMOVAL, &bControl,
                                               sizeof bControl, nullptr, 0, &nReturned);
    drives.CloseHandle(hVolume);
    return bTaken;
}

// On a handle of its own: a drive whose medium removal is prevented refuses to open, so a lock
// is lifted for the move and put back after it. The lock state the device shows stays as it was.
void NtTrayThread(CDriveService& drives, const std::string& strPath, bool bEject, bool bWasLocked) {
    const DeviceHandle hVolume =
        drives.CreateFile(strPath, ACCESS_GENERIC_READ | ACCESS_GENERIC_WRITE,
                          SHARE_READ | SHARE_WRITE, CREATION_OPEN_EXISTING, 0);
    if (hVolume == INVALID_DEVICE_HANDLE)
        return;
    const auto preventRemoval = [&](BYTE bPrevent) {
        DWORD nReturned = 0;
        drives.DeviceIoControl(hVolume, CTL_STORAGE_MEDIA_REMOVAL, &bPrevent, sizeof bPrevent,
                               nullptr, 0, &nReturned);
    };
    if (bWasLocked)
        preventRemoval(0);
    DWORD nReturned = 0;
    drives.DeviceIoControl(hVolume, bEject ? CTL_STORAGE_EJECT_MEDIA : CTL_STORAGE_LOAD_MEDIA,
                           nullptr, 0, nullptr, 0, &nReturned);
    if (bWasLocked)
        preventRemoval(1);
    drives.CloseHandle(hVolume);
}

} // namespace

CTrayControl::CTrayControl(const CPlatform& platform, std::string strDrive)
    : m_platform(platform), m_strDrive(std::move(strDrive)) {}

CTrayControl::~CTrayControl() {
    WaitForTrayThreads(TRAY_WAIT_LIMIT);
    if (m_hVwin32 != INVALID_DEVICE_HANDLE)
        m_platform.drives.CloseHandle(m_hVwin32);
}

bool CTrayControl::IsLocked() const {
    std::lock_guard lock(m_lock);
    return m_bLocked;
}

void CTrayControl::SetMediaLock(bool bLock) {
    Quietly([this, bLock] {
        const DWORD dwPlatform = m_platform.dwPlatformId;
        if (dwPlatform != PLATFORM_WIN32_WINDOWS && dwPlatform != PLATFORM_WIN32_NT)
            return;
        bool bDone = dwPlatform == PLATFORM_WIN32_WINDOWS && SetVolumeLockWin9x(bLock);
        const bool bControl = PreventRemoval(m_platform.drives, m_strDrive, bLock);
        if (dwPlatform == PLATFORM_WIN32_NT)
            bDone = bControl;
        // The flag shows a lock only once the platform has taken it.
        if (bDone) {
            std::lock_guard lock(m_lock);
            m_bLocked = bLock;
        }
    });
}

// The lock routine of Windows 95/98: a locked volume keeps its VWIN32 handle until unlocked.
bool CTrayControl::SetVolumeLockWin9x(bool bLock) {
    const int nDrive = DriveNumber(m_strDrive.empty() ? '\0' : m_strDrive[0]);
    if (nDrive == 0)
        return false;
    CDriveService& drives = m_platform.drives;
    const DeviceHandle hVwin32 = OpenVwin32(drives);
    if (hVwin32 == INVALID_DEVICE_HANDLE)
        return false;
    if (bLock) {
        if (!LockVolume(drives, hVwin32, nDrive)) {
            CloseVwin32(drives, hVwin32);
            return false;
        }
        KeepVwin32(hVwin32);
        return true;
    }
    const bool bReleased = ReleaseMediaLocks(drives, hVwin32, nDrive);
    if (bReleased)
        UnlockVolume(drives, hVwin32, nDrive);
    CloseVwin32(drives, hVwin32);
    if (bReleased)
        KeepVwin32(INVALID_DEVICE_HANDLE);
    return bReleased;
}

// Replaces the kept VWIN32 handle, closing the one it held.
void CTrayControl::KeepVwin32(DeviceHandle hVwin32) {
    DeviceHandle hOld = INVALID_DEVICE_HANDLE;
    {
        std::lock_guard lock(m_lock);
        hOld = m_hVwin32;
        m_hVwin32 = hVwin32;
    }
    CloseVwin32(m_platform.drives, hOld);
}

bool CTrayControl::StartTrayThread(bool bEject) {
    const DWORD dwPlatform = m_platform.dwPlatformId;
    if (dwPlatform != PLATFORM_WIN32_WINDOWS && dwPlatform != PLATFORM_WIN32_NT)
        return false;
    const bool bLocked = IsLocked();
    // The thread holds what it needs and the shared count, never the device: a thread blocked
    // in the OS may outlive the device's bounded wait for it.
    const std::shared_ptr<THREADS> pThreads = m_pThreads;
    const auto end = [pThreads] {
        std::lock_guard lock(pThreads->lock);
        --pThreads->nRunning;
        pThreads->cvEnded.notify_all();
    };
    {
        std::lock_guard lock(pThreads->lock);
        ++pThreads->nRunning;
    }
    try {
        CDriveService& drives = m_platform.drives;
        if (dwPlatform == PLATFORM_WIN32_WINDOWS) {
            const char cLetter = m_strDrive.empty() ? '\0' : m_strDrive[0];
            std::thread([&drives, cLetter, end] {
                Quietly([&] { Win9xEjectThread(drives, cLetter); });
                end();
            }).detach();
        } else {
            std::thread([&drives, strPath = MakeDevicePath(m_strDrive), bEject, bLocked, end] {
                Quietly([&] { NtTrayThread(drives, strPath, bEject, bLocked); });
                end();
            }).detach();
        }
        return true;
    } catch (...) {
        end();
        return false;
    }
}

bool CTrayControl::WaitForTrayThreads(std::chrono::milliseconds nLimit) {
    THREADS& threads = *m_pThreads;
    std::unique_lock lock(threads.lock);
    return threads.cvEnded.wait_for(lock, nLimit, [&threads] { return threads.nRunning == 0; });
}

} // namespace qv
