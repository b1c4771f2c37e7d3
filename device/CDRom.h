// One CD-ROM drive: its identification and speeds, the command blocks it is sent, the decoding
// of its replies and the chain of requests that follows each completed command. A transport
// subclass only carries a block to the drive and hands the completion back to OnCommandComplete.
#pragma once

#include "device/Scsi.h"
#include "platform/Platform.h"
#include "platform/Types.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

class CDriveService;

// Request codes; the same numbers are the event codes of WM_DEVICE_EVENT.
enum : int {
    RQ_IDENTIFIED = 1,
    RQ_INQUIRY = 2,
    RQ_IDENTIFY_CAPS = 3,
    RQ_REFRESH_CAPS = 4,
    RQ_SET_SPEED = 5,
    RQ_DETECT_DONE = 6,
    RQ_DETECT_CAPS = 7,
    RQ_DETECT_SET_SPEED = 8,
};

// Command status: the dispatcher's second argument and the event's high word.
enum : int {
    CMD_OK = 0,
    CMD_FAILED = 1,
    CMD_ERROR = 2, // failed, and the sense data delivered with it are to be examined
};

// How this process reaches its drives; chosen once by SelectTransport.
enum : int {
    TRANSPORT_NONE = 0,
    TRANSPORT_IOCTL = 1,
    TRANSPORT_ASPI = 2,
};

// The program's own registry key, under the root the application object chose.
inline constexpr const char* SETTINGS_KEY = "Software\\Velnor\\Quorvex";

struct SPEED_ENTRY {
    int nSpeed; // x
    int nRate;  // KB/s the drive reported while it ran at nSpeed
    bool operator==(const SPEED_ENTRY&) const = default;
};

// A copy of the members a view shows, all taken under one hold of the device's lock.
struct DRIVE_STATE {
    std::string strDrive;
    std::string strVendor;
    std::string strProduct;
    std::string strRevision;
    std::string strVendorInfo;
    bool bUsable = false;
    bool bRemovable = false;
    bool bLocked = false;
    int nHaId = 0;
    int nTarget = 0;
    int nLun = 0;
    int nMaxSpeed = 0;
    int nCurSpeed = 0;
    int nSelSpeed = 0;
    int nCurRate = 0;
    int nKeepSpeed = 0;
    bool bDetecting = false;
    // Being identified or detected, or a request sent to it has not completed yet.
    bool bBusy = false;
    std::vector<SPEED_ENTRY> aSpeeds;
};

// The tray threads of one device; shared with them, so that a thread still blocked in the OS
// when its device goes ends without touching the device.
struct TRAY_THREADS {
    std::mutex lock;
    std::condition_variable cvEnded;
    int nRunning = 0;
};

class CCDRom {
public:
    CCDRom(const CPlatform& platform, std::string_view strRoot);
    virtual ~CCDRom();
    CCDRom(const CCDRom&) = delete;
    CCDRom& operator=(const CCDRom&) = delete;

    virtual void RefreshCapabilities(int nRequest);
    virtual void SetSpeed(int nSpeed, int nRequest);
    virtual void DetectSpeeds();
    virtual void Inquiry();
    virtual void ModeSense(int nRequest);
    virtual bool OnDetectStep(int nRequest);

    // The completion dispatcher. sense holds the sense data delivered with a CMD_ERROR; data is
    // what the command read: the INQUIRY reply, or the MODE SENSE reply for the capability
    // reads, and empty for set-speed requests or a request the transport could not deliver.
    void OnCommandComplete(int nRequest, int nStatus, ReplyBytes sense, ReplyBytes data);

    void ParseInquiry(ReplyBytes reply);
    void ParseCapabilities(ReplyBytes page);
    void PostDeviceEvent(int nEvent, int nStatus);
    int GetRateForSpeed(int nSpeed) const;

    // Counted: only an open that succeeded (true) is to be paired with CloseDevice.
    bool OpenDevice();
    void CloseDevice();
    DeviceHandle GetHandle() const;

    // Tray control through the OS, on the path the platform identifier names (CDRomTray.cpp).
    void SetMediaLock(bool bLock);
    // Whether a thread was started to eject (or, on the NT family, load) the tray.
    bool StartTrayThread(bool bEject);
    // Whether every tray thread of this device has ended within nLimit. The destructor waits
    // so too, up to TRAY_WAIT_LIMIT, and then lets a thread blocked in the OS end on its own.
    bool WaitForTrayThreads(std::chrono::milliseconds nLimit);
    static constexpr std::chrono::milliseconds TRAY_WAIT_LIMIT{2000};

    // The locking rule. The members below that a completion or tray thread writes (the drive's
    // identification, speeds, address, lock state and the two flags) are guarded by a private
    // lock. Code outside this class reads them only through Snapshot() and the accessors here
    // and writes them only through the setters; each takes the lock for itself and calls
    // nothing that takes it again, so no caller can hold it across another call. The members
    // stay public for the single-threaded steps of construction and for tests of a transport
    // that completes on the calling thread.
    DRIVE_STATE Snapshot() const;
    std::vector<SPEED_ENTRY> GetSpeeds() const;
    bool IsUsable() const;
    void SetUsable(bool bUsable);
    // Gives the drive the address a scan found and marks it usable, unless it was so already.
    bool ClaimAddress(int nHaId, int nTarget, int nLun);
    void SetSelSpeed(int nSpeed);
    // The speed to save becomes the one the drive runs at now.
    void SelectCurrentSpeed();
    void SetKeepSpeed(int nSpeed);

    // Sends INQUIRY and marks the identification chain that it starts as pending until the
    // chain's last event; only for a transport that carries commands, since without one the
    // chain never ends.
    void StartIdentification();
    // Whether the chain has ended by tDeadline; true at once when none was started.
    bool WaitIdentified(std::chrono::steady_clock::time_point tDeadline);

    // The per-drive values in the program's key: the key itself, or null on any failure.
    static RegKey OpenSettingsKey(const CPlatform& platform, bool bCreate);
    // With a null hKey each opens an existing key itself and closes it again. A load returns the
    // saved speed it took as the selected one, 0 when none was stored or it was out of range.
    void SaveSettings(RegKey hKey);
    int LoadSettings(RegKey hKey);

    static int SelectTransport(const CPlatform& platform);
    static int GetTransport();
    // Forgets the process's choice so that the next SelectTransport probes again.
    static void ResetTransport();
    static std::string MakeDevicePath(std::string_view strDrive);

    std::string m_strDrive;
    std::string m_strVendor;
    std::string m_strProduct;
    std::string m_strRevision;
    std::string m_strVendorInfo;
    bool m_bUsable = false;
    int m_nHaId = 0;
    int m_nTarget = 0;
    int m_nLun = 0;
    int m_nMaxSpeed = 0;
    int m_nCurSpeed = 0;
    int m_nSelSpeed = 0;
    int m_nCurRate = 0;
    std::vector<SPEED_ENTRY> m_aSpeeds;
    bool m_bRemovable = false;
    bool m_bLocked = false;
    bool m_bEject = false;
    DeviceHandle m_hDevice = INVALID_DEVICE_HANDLE;
    int m_nOpenCount = 0;
    int m_nProbeSpeed = 0;
    bool m_bModeSense10 = false;
    int m_nKeepSpeed = 0; // the main dialog's own

protected:
    [[nodiscard]] std::unique_lock<std::mutex> Lock() const {
        return std::unique_lock<std::mutex>(m_lock);
    }
    // Sends one request, which stays in flight until its completion; a send that throws ends the
    // chain as a completion would.
    template <typename Send> void SendStep(int nRequest, Send send) noexcept {
        {
            auto lock = Lock();
            ++m_nInFlight;
        }
        try {
            send();
        } catch (...) {
            DropRequest(nRequest);
        }
    }
    // A request sent will never complete: it is no longer in flight, and the chain it belonged
    // to has ended.
    void DropRequest(int nRequest) noexcept;

    CPlatform m_platform;

private:
    bool ParseCapabilityReply(ReplyBytes data);
    void CompleteIdentifyCaps(int nStatus, ReplyBytes sense, ReplyBytes data);
    void CompleteDetectStep(int nRequest, int nStatus);
    void EndChain(int nRequest) noexcept;
    void EndIdentification() noexcept;
    void StartQueuedDetection();
    static void NtTrayThread(CDriveService& drives, const std::string& strPath, bool bEject,
                             bool bWasLocked);
    bool SetVolumeLockWin9x(bool bLock);
    void KeepVwin32(DeviceHandle hVwin32);

    mutable std::mutex m_lock;
    // Guarded by m_lock: an identification chain, and a speed detection, was started and has
    // not ended yet.
    bool m_bIdentifying = false;
    std::condition_variable m_cvIdentified;
    bool m_bDetecting = false;
    // Guarded by m_lock: a detection waits for the identification's end; whether the
    // detection's last capability read brought a page.
    bool m_bDetectQueued = false;
    bool m_bProbeRead = false;
    // Guarded by m_lock: requests sent and not yet completed; whether the drive ever gave its
    // capabilities page, without which its speeds are not known and nothing of it is saved.
    int m_nInFlight = 0;
    bool m_bPageRead = false;
    // Guarded by m_lock: the VWIN32 handle that holds this drive's volume lock on Windows 95/98.
    DeviceHandle m_hVwin32 = INVALID_DEVICE_HANDLE;
    std::shared_ptr<TRAY_THREADS> m_pTrayThreads = std::make_shared<TRAY_THREADS>();
};

// Pairs a successful OpenDevice with CloseDevice on every way out of a scope.
class CDeviceOpen {
public:
    explicit CDeviceOpen(CCDRom& device) : m_device(device), m_bOpen(device.OpenDevice()) {}
    ~CDeviceOpen() {
        if (m_bOpen)
            m_device.CloseDevice();
    }
    CDeviceOpen(const CDeviceOpen&) = delete;
    CDeviceOpen& operator=(const CDeviceOpen&) = delete;

private:
    CCDRom& m_device;
    bool m_bOpen;
};

} // namespace qv
