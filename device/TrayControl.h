// Ejecting, loading and locking a drive's tray. They go through the OS, not through the SCSI
// transport, so they work without one: the storage I/O controls on the NT family, the DOS
// block-device calls through VWIN32 on Windows 95/98, by the platform identifier.
#pragma once

#include "platform/Platform.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

namespace qv {

class CTrayControl {
public:
    CTrayControl(const CPlatform& platform, std::string strDrive);
    // Waits up to TRAY_WAIT_LIMIT for the tray threads and lets one blocked in the OS end alone.
    ~CTrayControl();
    CTrayControl(const CTrayControl&) = delete;
    CTrayControl& operator=(const CTrayControl&) = delete;

    // Prevents (true) or allows medium removal; the lock shows once the platform has taken it.
    void SetMediaLock(bool bLock);
    bool IsLocked() const;
    // Whether a thread was started to eject (or, on the NT family, load) the tray; nothing waits
    // for it.
    bool StartTrayThread(bool bEject);
    // Whether every tray thread has ended within nLimit.
    bool WaitForTrayThreads(std::chrono::milliseconds nLimit);
    static constexpr std::chrono::milliseconds TRAY_WAIT_LIMIT{2000};

    // The threads, shared with them, so that a thread still in the OS when the control goes ends
    // without touching it.
    struct THREADS {
        std::mutex lock;
        std::condition_variable cvEnded;
        int nRunning = 0;
    };

private:
    bool SetVolumeLockWin9x(bool bLock);
    void KeepVwin32(DeviceHandle hVwin32);

    CPlatform m_platform;
    const std::string m_strDrive;
    mutable std::mutex m_lock;
    // Guarded by m_lock: the last lock the platform took, and the VWIN32 handle that holds the
    // volume's lock on Windows 95/98.
    bool m_bLocked = false;
    DeviceHandle m_hVwin32 = INVALID_DEVICE_HANDLE;
    std::shared_ptr<THREADS> m_pThreads = std::make_shared<THREADS>();
};

} // namespace qv
