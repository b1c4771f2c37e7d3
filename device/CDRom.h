// One CD-ROM drive: its identification and speeds, and the chains of commands that find them out
// and change them. Every operation returns at once; the drive's transport carries one command at
// a time, and each completion decides the next command of the chain, until the chain ends and the
// next operation asked for begins. Results reach the main window as WM_DEVICE_EVENT.
#pragma once

#include "device/Transport.h"
#include "device/TrayControl.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
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

struct SPEED_ENTRY {
    int nSpeed; // x
    int nRate;  // KB/s the drive reported while it ran at nSpeed
    bool operator==(const SPEED_ENTRY&) const = default;
};

// A copy of what the drive is known to be, all taken at one moment.
struct DRIVE_STATE {
    std::string strDrive;
    std::string strVendor;
    std::string strProduct;
    std::string strRevision;
    std::string strVendorInfo;
    bool bUsable = false;
    bool bRemovable = false;
    bool bLocked = false;
    SCSI_TARGET target;
    int nMaxSpeed = 0;
    int nCurSpeed = 0;
    int nSelSpeed = 0;
    int nCurRate = 0;
    // The drive has given its capabilities page at least once: its speeds are known.
    bool bAnswered = false;
    bool bIdentifying = false;
    bool bDetecting = false;
    // A chain runs, or an operation waits for its turn.
    bool bBusy = false;
    std::vector<SPEED_ENTRY> aSpeeds;
};

class CCDRom final : private CCommandSink {
public:
    // strRoot is a root path ("E:\"); the drive text is what comes up to its first colon. Without
    // a transport the drive's SCSI operations do nothing; its tray still moves.
    CCDRom(const CPlatform& platform, std::string_view strRoot, CTransport* pTransport);
    // Sends nothing more, and returns once no completion can reach the drive; a command still
    // with the OS is left to its transport.
    ~CCDRom();
    CCDRom(const CCDRom&) = delete;
    CCDRom& operator=(const CCDRom&) = delete;

    // The operations. One drive runs one chain at a time: an operation asked for while one runs
    // waits its turn, in the order asked, except a detection while another runs or waits, which
    // that one answers, and a speed that a keep of that speed still reading the page, or the same
    // speed waiting, already sends.
    // INQUIRY and the capabilities page; event RQ_IDENTIFIED, or RQ_IDENTIFY_CAPS when the page
    // could not be read.
    void Identify();
    // The capabilities page; event RQ_REFRESH_CAPS.
    void RefreshCapabilities();
    // SET CD SPEED (0 or below: the maximum), then the page; events RQ_SET_SPEED, RQ_REFRESH_CAPS.
    // The speed the drive then reports becomes the selected one.
    void SetSpeed(int nSpeed);
    // The page, and, when the drive then reports another speed than nSpeed, the speed set again.
    void KeepSpeed(int nSpeed);
    // Steps the drive down from its maximum and records each speed it reports; event
    // RQ_DETECT_DONE, then the drive is set back to the speed it ran at before.
    void DetectSpeeds();

    DRIVE_STATE Snapshot() const;
    const std::string& Drive() const { return m_strDrive; }
    std::vector<SPEED_ENTRY> GetSpeeds() const;
    bool IsUsable() const;
    // Before identification: nothing is known of the drive yet.
    void SetUnusable();
    void SetSelSpeed(int nSpeed);
    // The speed to save becomes the one the drive runs at now.
    void SelectCurrentSpeed();
    // What the user interface shows next to a speed: the rate the drive reported at it, or
    // speed x 176.
    int GetRateForSpeed(int nSpeed) const;
    // Takes what a save stored, within what the drive can do: the speed when it lies between 1 and
    // the maximum, the list without the entries above the maximum (or, while the maximum is not
    // known, 100x). Returns the speed taken, 0 for none.
    int TakeSavedValues(std::optional<int> nSpeed, const std::vector<SPEED_ENTRY>& aSpeeds);

    // Whether the identification asked for has ended by tDeadline; true at once when none was.
    bool WaitIdentified(std::chrono::steady_clock::time_point tDeadline) const;

    CTrayControl& Tray() { return m_tray; }

    static std::string DriveText(std::string_view strRoot);

private:
    // APPLY is SetSpeed's chain; SET, the speed a detection or a keep sets on its own.
    enum class CHAIN { NONE, IDENTIFY, REFRESH, APPLY, SET, KEEP, DETECT };
    struct OPERATION {
        CHAIN chain;
        int nSpeed;
    };
    struct EVENT {
        int nCode;
        int nStatus;
    };
    using Events = std::vector<EVENT>;
    using Lock = std::unique_lock<std::mutex>;

    void OnCommandComplete(int nRequest, int nStatus, ReplyBytes sense, ReplyBytes reply) override;
    void OnLocated(SCSI_TARGET target) override;

    void Ask(OPERATION operation);
    bool JoinSameSpeed(int nSpeed);
    // Sends the next command of the running chain unless one is on its way; a completion that
    // comes inside the sending call leaves its next command to this loop.
    void Pump();
    void Post(const Events& events);

    // Under m_lock, from here on.
    void Start(OPERATION operation);
    void EndChain();
    void Advance(int nRequest, int nStatus, ReplyBytes sense, ReplyBytes reply, Events& events);
    void CompleteIdentifyCaps(int nStatus, ReplyBytes sense, ReplyBytes reply, Events& events);
    void EndIdentification(int nEvent, int nStatus, Events& events);
    void CompleteDetectStep(int nStatus, Events& events);
    COMMAND Capabilities(int nRequest) const;
    static COMMAND SetSpeedCommand(int nSpeed, int nRequest);
    bool ParsePage(ReplyBytes reply);
    void ParseInquiry(ReplyBytes reply);
    void ParseCapabilities(ReplyBytes page);

    CPlatform m_platform;
    const std::string m_strDrive;
    CTrayControl m_tray;

    mutable std::mutex m_lock;
    mutable std::condition_variable m_cvIdentified;
    // Guarded by m_lock: what the drive is known to be.
    std::string m_strVendor;
    std::string m_strProduct;
    std::string m_strRevision;
    std::string m_strVendorInfo;
    bool m_bUsable = false;
    bool m_bRemovable = false;
    SCSI_TARGET m_target;
    int m_nMaxSpeed = 0;
    int m_nCurSpeed = 0;
    int m_nSelSpeed = 0;
    int m_nCurRate = 0;
    std::vector<SPEED_ENTRY> m_aSpeeds;
    bool m_bModeSense10 = false;
    bool m_bAnswered = false;
    // Guarded by m_lock: the chains. The running one, with the speed it keeps; what waits; the
    // command it sends next, and whether one is on its way.
    CHAIN m_chain = CHAIN::NONE;
    int m_nChainSpeed = 0;
    // A keep that a speed asked for has joined: its read is followed by the set in any case.
    bool m_bSetAfterRead = false;
    std::deque<OPERATION> m_queue;
    std::optional<COMMAND> m_next;
    bool m_bInFlight = false;
    bool m_bPumping = false;
    bool m_bGoing = false;
    bool m_bIdentifying = false;
    bool m_bDetecting = false;
    // Guarded by m_lock: a detection's speed to ask for next, and whether its last read gave a
    // page.
    int m_nProbeSpeed = 0;
    bool m_bProbeRead = false;

    // Last: it goes first, so that no completion reaches a drive half gone.
    std::unique_ptr<CDriveLink> m_pLink;
};

} // namespace qv
