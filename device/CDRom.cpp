#include "device/CDRom.h"

#include "device/CDRomASPI.h"
#include "device/CDRomIOCTL.h"
#include "device/Quietly.h"
#include "device/Scsi.h"
#include "platform/DriveService.h"
#include "platform/EventService.h"

#include <algorithm>
#include <atomic>

namespace qv {
namespace {

std::atomic<int> s_nTransport{TRANSPORT_NONE};

// INQUIRY reply fields.
constexpr std::size_t INQ_FLAGS = 1;
constexpr BYTE INQ_REMOVABLE = 0x80;
constexpr std::size_t INQ_ADDITIONAL_LENGTH = 4;
// A drive that sends fewer than the 31 bytes after byte 4 that carry the identification
// strings has not given a standard reply.
constexpr BYTE INQ_MIN_ADDITIONAL_LENGTH = 30;

// The drive text of a root path: up to and including its first colon, or all of it.
std::string_view DriveText(std::string_view strRoot) {
    const auto nColon = strRoot.find(':');
    return nColon == std::string_view::npos ? strRoot : strRoot.substr(0, nColon + 1);
}

std::string TrimLeft(std::string strText) {
    strText.erase(0, std::min(strText.find_first_not_of(" \t\r\n\f\v"), strText.size()));
    return strText;
}

} // namespace

CCDRom::CCDRom(const CPlatform& platform, std::string_view strRoot)
    : m_strDrive(DriveText(strRoot)), m_platform(platform) {}

CCDRom::~CCDRom() {
    WaitForTrayThreads(TRAY_WAIT_LIMIT);
    m_nOpenCount = 0;
    if (m_hDevice != INVALID_DEVICE_HANDLE)
        m_platform.drives.CloseHandle(m_hDevice);
    if (m_hVwin32 != INVALID_DEVICE_HANDLE)
        m_platform.drives.CloseHandle(m_hVwin32);
}

void CCDRom::RefreshCapabilities(int nRequest) {
    ModeSense(nRequest);
}

// Without a transport there is nothing to carry a command: these never complete.
void CCDRom::SetSpeed(int, int) {}
void CCDRom::Inquiry() {}
void CCDRom::ModeSense(int) {}

void CCDRom::DetectSpeeds() {
    {
        auto lock = Lock();
        // One chain at a time steps a drive through its speeds: a request while one runs is
        // answered by that one's event 6. Until identification has read the drive's speed there
        // is no speed to return it to, so the detection waits for the identification's end.
        if (m_bDetecting)
            return;
        m_bDetecting = true;
        if (m_bIdentifying) {
            m_bDetectQueued = true;
            return;
        }
        m_nSelSpeed = m_nCurSpeed;
        m_aSpeeds.clear();
        m_nProbeSpeed = 0;
    }
    SetSpeed(0, RQ_DETECT_SET_SPEED);
}

bool CCDRom::OnDetectStep(int nRequest) {
    if (nRequest == RQ_DETECT_SET_SPEED) {
        RefreshCapabilities(RQ_DETECT_CAPS);
        return true;
    }
    int nNextProbe = 0;
    int nRestore = 0;
    bool bRestore = false;
    {
        auto lock = Lock();
        const int nCur = m_nCurSpeed;
        // A report above the request means the drive could not go that low: not recorded.
        if (m_bProbeRead && (m_nProbeSpeed == 0 || nCur <= m_nProbeSpeed)) {
            m_aSpeeds.insert(m_aSpeeds.begin(), SPEED_ENTRY{nCur, m_nCurRate});
            m_nProbeSpeed = nCur;
        }
        --m_nProbeSpeed;
        nNextProbe = m_nProbeSpeed;
        nRestore = m_nSelSpeed;
        // After a failed read the drive's speed is not known: it is set back all the same.
        bRestore = !m_bProbeRead || nCur != m_nSelSpeed;
    }
    if (nNextProbe > 0) {
        SetSpeed(nNextProbe, RQ_DETECT_SET_SPEED);
        return true;
    }
    if (bRestore)
        SetSpeed(nRestore, RQ_SET_SPEED);
    return false;
}

void CCDRom::OnCommandComplete(int nRequest, int nStatus, ReplyBytes sense, ReplyBytes data) {
    {
        auto lock = Lock();
        --m_nInFlight;
    }
    try {
        switch (nRequest) {
        case RQ_IDENTIFIED:
        case RQ_REFRESH_CAPS:
            ParseCapabilityReply(data);
            PostDeviceEvent(nRequest, nStatus);
            break;
        case RQ_INQUIRY:
            // A missing reply reads like the cleared buffer of a failed INQUIRY.
            ParseInquiry(data);
            RefreshCapabilities(RQ_IDENTIFY_CAPS);
            break;
        case RQ_IDENTIFY_CAPS:
            CompleteIdentifyCaps(nStatus, sense, data);
            break;
        case RQ_SET_SPEED:
            PostDeviceEvent(RQ_SET_SPEED, nStatus);
            RefreshCapabilities(RQ_REFRESH_CAPS);
            break;
        case RQ_DETECT_CAPS: {
            const bool bRead = ParseCapabilityReply(data);
            {
                auto lock = Lock();
                m_bProbeRead = bRead;
            }
            CompleteDetectStep(nRequest, nStatus);
            break;
        }
        case RQ_DETECT_SET_SPEED:
            CompleteDetectStep(nRequest, nStatus);
            break;
        default:
            break;
        }
    } catch (...) {
        EndChain(nRequest);
    }
}

void CCDRom::CompleteDetectStep(int nRequest, int nStatus) {
    if (OnDetectStep(nRequest))
        return;
    {
        auto lock = Lock();
        m_bDetecting = false;
    }
    PostDeviceEvent(RQ_DETECT_DONE, nStatus);
}

void CCDRom::CompleteIdentifyCaps(int nStatus, ReplyBytes sense, ReplyBytes data) {
    if (nStatus == CMD_OK) {
        ParseCapabilityReply(data);
        PostDeviceEvent(RQ_IDENTIFIED, CMD_OK);
        return;
    }
    if (nStatus == CMD_ERROR && SenseKey(sense) == SENSE_KEY_ILLEGAL_REQUEST &&
        SenseAsc(sense) == ASC_INVALID_OPCODE) {
        // The drive has no MODE SENSE(6): read the page with MODE SENSE(10) from now on.
        bool bSwitched = false;
        {
            auto lock = Lock();
            bSwitched = !m_bModeSense10;
            m_bModeSense10 = true;
        }
        if (bSwitched) {
            RefreshCapabilities(RQ_IDENTIFIED);
            return;
        }
    }
    ParseCapabilityReply(data);
    PostDeviceEvent(RQ_IDENTIFY_CAPS, nStatus);
}

bool CCDRom::ParseCapabilityReply(ReplyBytes data) {
    bool bModeSense10 = false;
    {
        auto lock = Lock();
        bModeSense10 = m_bModeSense10;
    }
    const auto page = LocateCapabilitiesPage(data, bModeSense10);
    if (page)
        ParseCapabilities(*page);
    return page.has_value();
}

void CCDRom::ParseInquiry(ReplyBytes reply) {
    BYTE aReply[INQUIRY_REPLY_SIZE] = {};
    std::copy_n(reply.begin(), std::min(reply.size(), sizeof aReply), aReply);
    auto lock = Lock();
    if (aReply[INQ_ADDITIONAL_LENGTH] < INQ_MIN_ADDITIONAL_LENGTH)
        m_bUsable = false;
    m_bRemovable = (aReply[INQ_FLAGS] & INQ_REMOVABLE) != 0;
    m_strVendor = InquiryText(aReply, 8, 15);
    m_strProduct = InquiryText(aReply, 16, 31);
    m_strRevision = InquiryText(aReply, 32, 35);
    m_strVendorInfo = TrimLeft(InquiryText(aReply, 36, 55));
}

void CCDRom::ParseCapabilities(ReplyBytes page) {
    if (page.size() < CAPS_PARSED_SIZE)
        return;
    auto lock = Lock();
    m_bPageRead = true;
    if (m_nMaxSpeed == 0)
        m_nMaxSpeed = ReadBigEndian16(&page[CAPS_MAX_READ_RATE]) / KBPS_PER_X_REPORTED;
    m_nCurRate = ReadBigEndian16(&page[CAPS_CUR_READ_RATE]);
    m_nCurSpeed = std::min(m_nCurRate / KBPS_PER_X_REPORTED, MAX_SPEED_X);
    if (m_nMaxSpeed > MAX_SPEED_X)
        m_nMaxSpeed = m_nCurSpeed;
}

void CCDRom::PostDeviceEvent(int nEvent, int nStatus) {
    const auto wParam =
        (static_cast<std::uintptr_t>(static_cast<unsigned>(nStatus) & 0xFFFF) << 16) |
        (static_cast<unsigned>(nEvent) & 0xFFFF);
    m_platform.events.PostDeviceEvent(wParam, reinterpret_cast<std::intptr_t>(this));
    // Either of these is the last event of an identification chain: a waiter wakes once it
    // has gone out.
    if (nEvent == RQ_IDENTIFIED || nEvent == RQ_IDENTIFY_CAPS) {
        EndIdentification();
        StartQueuedDetection();
    }
}

void CCDRom::EndIdentification() noexcept {
    {
        auto lock = Lock();
        m_bIdentifying = false;
    }
    m_cvIdentified.notify_all();
}

void CCDRom::StartQueuedDetection() {
    {
        auto lock = Lock();
        if (!m_bDetectQueued)
            return;
        m_bDetectQueued = false;
        m_bDetecting = false;
    }
    DetectSpeeds();
}

void CCDRom::DropRequest(int nRequest) noexcept {
    {
        auto lock = Lock();
        --m_nInFlight;
    }
    EndChain(nRequest);
}

void CCDRom::EndChain(int nRequest) noexcept {
    switch (nRequest) {
    case RQ_INQUIRY:
    case RQ_IDENTIFY_CAPS:
    case RQ_IDENTIFIED:
        EndIdentification();
        Quietly([this] { StartQueuedDetection(); });
        break;
    case RQ_DETECT_SET_SPEED:
    case RQ_DETECT_CAPS: {
        auto lock = Lock();
        m_bDetecting = false;
        break;
    }
    default:
        break;
    }
}

int CCDRom::GetRateForSpeed(int nSpeed) const {
    auto lock = Lock();
    if (nSpeed == 0 || nSpeed == m_nCurSpeed)
        return m_nCurRate;
    const auto it = std::find_if(m_aSpeeds.rbegin(), m_aSpeeds.rend(),
                                 [nSpeed](const SPEED_ENTRY& e) { return e.nSpeed == nSpeed; });
    return it != m_aSpeeds.rend() ? it->nRate : nSpeed * KBPS_PER_X_REPORTED;
}

DRIVE_STATE CCDRom::Snapshot() const {
    auto lock = Lock();
    return {m_strDrive,    m_strVendor,     m_strProduct,
            m_strRevision, m_strVendorInfo, m_bUsable,
            m_bRemovable,  m_bLocked,       m_nHaId,
            m_nTarget,     m_nLun,          m_nMaxSpeed,
            m_nCurSpeed,   m_nSelSpeed,     m_nCurRate,
            m_nKeepSpeed,  m_bDetecting,    m_bIdentifying || m_bDetecting || m_nInFlight > 0,
            m_aSpeeds};
}

std::vector<SPEED_ENTRY> CCDRom::GetSpeeds() const {
    auto lock = Lock();
    return m_aSpeeds;
}

bool CCDRom::IsUsable() const {
    auto lock = Lock();
    return m_bUsable;
}

void CCDRom::SetUsable(bool bUsable) {
    auto lock = Lock();
    m_bUsable = bUsable;
}

bool CCDRom::ClaimAddress(int nHaId, int nTarget, int nLun) {
    auto lock = Lock();
    if (m_bUsable)
        return false;
    m_nHaId = nHaId;
    m_nTarget = nTarget;
    m_nLun = nLun;
    m_bUsable = true;
    return true;
}

void CCDRom::SetSelSpeed(int nSpeed) {
    auto lock = Lock();
    m_nSelSpeed = nSpeed;
}

void CCDRom::SelectCurrentSpeed() {
    auto lock = Lock();
    m_nSelSpeed = m_nCurSpeed;
}

void CCDRom::SetKeepSpeed(int nSpeed) {
    auto lock = Lock();
    m_nKeepSpeed = nSpeed;
}

void CCDRom::StartIdentification() {
    {
        auto lock = Lock();
        m_bIdentifying = true;
    }
    Inquiry();
}

bool CCDRom::WaitIdentified(std::chrono::steady_clock::time_point tDeadline) {
    auto lock = Lock();
    return m_cvIdentified.wait_until(lock, tDeadline, [this] { return !m_bIdentifying; });
}

bool CCDRom::OpenDevice() {
    auto lock = Lock();
    if (m_hDevice == INVALID_DEVICE_HANDLE) {
        m_hDevice = m_platform.drives.CreateFile(
            MakeDevicePath(m_strDrive), ACCESS_GENERIC_READ | ACCESS_GENERIC_WRITE,
            SHARE_READ | SHARE_WRITE, CREATION_OPEN_EXISTING, 0);
        if (m_hDevice == INVALID_DEVICE_HANDLE)
            return false;
    }
    ++m_nOpenCount;
    return true;
}

void CCDRom::CloseDevice() {
    auto lock = Lock();
    if (m_nOpenCount == 0 || --m_nOpenCount > 0)
        return;
    m_platform.drives.CloseHandle(m_hDevice);
    m_hDevice = INVALID_DEVICE_HANDLE;
}

DeviceHandle CCDRom::GetHandle() const {
    auto lock = Lock();
    return m_hDevice;
}

int CCDRom::SelectTransport(const CPlatform& platform) {
    if (const int nKind = s_nTransport.load(); nKind != TRANSPORT_NONE)
        return nKind;
    if (CCDRomIOCTL::ProbePassThrough(platform))
        s_nTransport = TRANSPORT_IOCTL;
    else if (CCDRomASPI::LoadAspi(platform.aspi))
        s_nTransport = TRANSPORT_ASPI;
    return s_nTransport;
}

int CCDRom::GetTransport() {
    return s_nTransport;
}

void CCDRom::ResetTransport() {
    s_nTransport = TRANSPORT_NONE;
}

std::string CCDRom::MakeDevicePath(std::string_view strDrive) {
    return "\\\\.\\" + std::string(DriveText(strDrive));
}

} // namespace qv
