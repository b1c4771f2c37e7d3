// One CD-ROM drive: its identification and speeds, the command blocks it is sent, the decoding
// of its replies and the chain of requests that follows each completed command. A transport
// subclass only carries a block to the drive and hands the completion back to OnCommandComplete.
#pragma once

#include "platform/Platform.h"
#include "platform/Types.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

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

    // The completion dispatcher. pSense, when given, holds SENSE_SIZE bytes; pData is the
    // command's data buffer: INQUIRY_REPLY_SIZE bytes for RQ_INQUIRY, MODE_SENSE_REPLY_SIZE
    // for the capability reads, unused (may be null) for set-speed requests.
    void OnCommandComplete(int nRequest, int nStatus, const BYTE* pSense, const BYTE* pData);

    void ParseInquiry(const BYTE* pReply);
    void ParseCapabilities(const BYTE* pPage);
    void PostDeviceEvent(int nEvent, int nStatus);
    int GetRateForSpeed(int nSpeed) const;

    void OpenDevice();
    void CloseDevice();
    DeviceHandle GetHandle() const;

    // Tray control through the OS, on the path the platform identifier names (CDRomTray.cpp).
    void SetMediaLock(bool bLock);
    // Whether a thread was started to eject (or, on the NT family, load) the tray.
    bool StartTrayThread(bool bEject);
    // Returns once every tray thread of this device has ended; the destructor waits so too.
    void WaitForTrayThreads();

    // Members the dispatcher writes on a completion thread are guarded by this lock; a reader
    // on another thread holds it while it reads them.
    [[nodiscard]] std::unique_lock<std::mutex> Lock() const {
        return std::unique_lock<std::mutex>(m_lock);
    }
    std::vector<SPEED_ENTRY> GetSpeeds() const;

    // Sends INQUIRY and marks the identification chain that it starts as pending until the
    // chain's last event; only for a transport that carries commands, since without one the
    // chain never ends.
    void StartIdentification();
    // Whether the chain has ended by tDeadline; true at once when none was started.
    bool WaitIdentified(std::chrono::steady_clock::time_point tDeadline);

    // The per-drive values in the program's key: the key itself, or null on any failure.
    static RegKey OpenSettingsKey(const CPlatform& platform, bool bCreate);
    // With a null hKey each opens an existing key itself and closes it again.
    void SaveSettings(RegKey hKey);
    void LoadSettings(RegKey hKey);

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
    CPlatform m_platform;

private:
    void ParseCapabilityReply(const BYTE* pData);
    void CompleteIdentifyCaps(int nStatus, const BYTE* pSense, const BYTE* pData);
    void NtTrayThread();
    void EndTrayThread();
    bool SetVolumeLockWin9x(bool bLock);
    void KeepVwin32(DeviceHandle hVwin32);

    mutable std::mutex m_lock;
    // Guarded by m_lock: an identification chain was started and has not ended yet.
    bool m_bIdentifying = false;
    std::condition_variable m_cvIdentified;
    // Guarded by m_lock: the VWIN32 handle that holds this drive's volume lock on Windows 95/98,
    // and the number of tray threads still running.
    DeviceHandle m_hVwin32 = INVALID_DEVICE_HANDLE;
    int m_nTrayThreads = 0;
    std::condition_variable m_cvTrayThreads;
};

// Pairs OpenDevice with CloseDevice on every way out of a scope.
class CDeviceOpen {
public:
    explicit CDeviceOpen(CCDRom& device) : m_device(device) { m_device.OpenDevice(); }
    ~CDeviceOpen() { m_device.CloseDevice(); }
    CDeviceOpen(const CDeviceOpen&) = delete;
    CDeviceOpen& operator=(const CDeviceOpen&) = delete;

private:
    CCDRom& m_device;
};

} // namespace qv
