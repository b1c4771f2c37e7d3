#include "device/CDRom.h"

#include "device/Quietly.h"
#include "platform/EventService.h"

#include <algorithm>

namespace qv {
namespace {

// The address query that begins an identification; no command block of its own.
constexpr int RQ_LOCATE = 0;

// INQUIRY reply fields.
constexpr std::size_t INQ_FLAGS = 1;
constexpr BYTE INQ_REMOVABLE = 0x80;
constexpr std::size_t INQ_ADDITIONAL_LENGTH = 4;
// A drive that sends fewer than the 31 bytes after byte 4 that carry the identification
// strings has not given a standard reply.
constexpr BYTE INQ_MIN_ADDITIONAL_LENGTH = 30;

std::string TrimLeft(std::string strText) {
    strText.erase(0, std::min(strText.find_first_not_of(" \t\r\n\f\v"), strText.size()));
    return strText;
}

} // namespace

std::string CCDRom::DriveText(std::string_view strRoot) {
    const auto nColon = strRoot.find(':');
    return std::string(nColon == std::string_view::npos ? strRoot : strRoot.substr(0, nColon + 1));
}

CCDRom::CCDRom(const CPlatform& platform, std::string_view strRoot, CTransport* pTransport)
    : m_platform(platform), m_strDrive(DriveText(strRoot)), m_tray(platform, m_strDrive),
      m_pLink(pTransport ? pTransport->Connect(m_strDrive, *this) : nullptr) {}

CCDRom::~CCDRom() {
    {
        Lock lock(m_lock);
        m_bGoing = true;
    }
    m_pLink.reset();
}

void CCDRom::Identify() {
    Ask({CHAIN::IDENTIFY, 0});
}

void CCDRom::RefreshCapabilities() {
    Ask({CHAIN::REFRESH, 0});
}

void CCDRom::SetSpeed(int nSpeed) {
    Ask({CHAIN::APPLY, nSpeed});
}

void CCDRom::KeepSpeed(int nSpeed) {
    Ask({CHAIN::KEEP, nSpeed});
}

void CCDRom::DetectSpeeds() {
    Ask({CHAIN::DETECT, 0});
}

void CCDRom::Ask(OPERATION operation) {
    if (!m_pLink)
        return;
    {
        Lock lock(m_lock);
        if (operation.chain == CHAIN::DETECT) {
            if (m_bDetecting)
                return;
            m_bDetecting = true;
        }
        if (operation.chain == CHAIN::IDENTIFY)
            m_bIdentifying = true;
        if (operation.chain == CHAIN::APPLY && JoinSameSpeed(operation.nSpeed))
            return;
        if (m_chain != CHAIN::NONE) {
            m_queue.push_back(operation);
            return;
        }
        Start(operation);
    }
    Pump();
}

// A speed asked for while a keep of that same speed has yet to read the drive's page, or while
// the same speed is already waiting its turn, goes out once: the keep sets it whatever the page
// says, and becomes the chain of the speed asked for.
bool CCDRom::JoinSameSpeed(int nSpeed) {
    if (m_chain == CHAIN::KEEP && m_nChainSpeed == nSpeed) {
        m_chain = CHAIN::APPLY;
        m_bSetAfterRead = true;
        return true;
    }
    return std::any_of(m_queue.begin(), m_queue.end(), [nSpeed](const OPERATION& waiting) {
        return waiting.chain == CHAIN::APPLY && waiting.nSpeed == nSpeed;
    });
}

void CCDRom::Pump() {
    Lock lock(m_lock);
    if (m_bPumping)
        return;
    m_bPumping = true;
    while (m_next && !m_bInFlight && !m_bGoing) {
        const COMMAND command = *std::exchange(m_next, std::nullopt);
        const SCSI_TARGET target = m_target;
        m_bInFlight = true;
        lock.unlock();
        bool bSent = false;
        Quietly([&] {
            if (command.nRequest == RQ_LOCATE)
                m_pLink->Locate();
            else
                m_pLink->Send(target, command);
            bSent = true;
        });
        // A command that could not even be handed over ends as one the drive refused.
        if (!bSent && command.nRequest == RQ_LOCATE)
            OnLocated({});
        else if (!bSent)
            OnCommandComplete(command.nRequest, CMD_FAILED, {}, {});
        lock.lock();
    }
    m_bPumping = false;
}

void CCDRom::OnLocated(SCSI_TARGET target) {
    {
        Lock lock(m_lock);
        m_bInFlight = false;
        m_target = target;
        // The INQUIRY reply may take it back.
        m_bUsable = true;
        m_next = COMMAND{RQ_INQUIRY, MakeInquiryCdb(target.nLun), INQUIRY_REPLY_SIZE, false};
    }
    Pump();
}

void CCDRom::OnCommandComplete(int nRequest, int nStatus, ReplyBytes sense, ReplyBytes reply) {
    Events events;
    {
        Lock lock(m_lock);
        m_bInFlight = false;
        try {
            Advance(nRequest, nStatus, sense, reply, events);
        } catch (...) {
            // A step that failed ends its chain as if the drive had answered nothing more.
            m_bIdentifying = m_bIdentifying && m_chain != CHAIN::IDENTIFY;
            m_bDetecting = m_bDetecting && m_chain != CHAIN::DETECT;
            EndChain();
        }
    }
    Post(events);
    Pump();
}

// The members an event announces are written before it goes out, and a waiter for the end of an
// identification wakes once its event has gone.
void CCDRom::Post(const Events& events) {
    for (const EVENT& event : events) {
        const auto wParam =
            (static_cast<std::uintptr_t>(static_cast<unsigned>(event.nStatus) & 0xFFFF) << 16) |
            (static_cast<unsigned>(event.nCode) & 0xFFFF);
        Quietly([&] {
            m_platform.events.PostDeviceEvent(wParam, reinterpret_cast<std::intptr_t>(this));
        });
    }
    m_cvIdentified.notify_all();
}

void CCDRom::Start(OPERATION operation) {
    m_chain = operation.chain;
    m_nChainSpeed = operation.nSpeed;
    switch (operation.chain) {
    case CHAIN::IDENTIFY:
        m_next = COMMAND{RQ_LOCATE, {}, 0, false};
        break;
    case CHAIN::REFRESH:
    case CHAIN::KEEP:
        m_next = Capabilities(RQ_REFRESH_CAPS);
        break;
    case CHAIN::APPLY:
    case CHAIN::SET:
        m_next = SetSpeedCommand(operation.nSpeed, RQ_SET_SPEED);
        break;
    case CHAIN::DETECT:
        // The drive goes back to the speed it runs at now once every speed has been asked for.
        m_nSelSpeed = m_nCurSpeed;
        m_aSpeeds.clear();
        m_nProbeSpeed = 0;
        m_next = SetSpeedCommand(0, RQ_DETECT_SET_SPEED);
        break;
    case CHAIN::NONE:
        break;
    }
}

void CCDRom::EndChain() {
    m_chain = CHAIN::NONE;
    m_next.reset();
    if (m_queue.empty())
        return;
    const OPERATION operation = m_queue.front();
    m_queue.pop_front();
    Start(operation);
}

// The page is parsed whatever the command's status: a failed read leaves no page, which
// ParsePage does not take.
void CCDRom::Advance(int nRequest, int nStatus, ReplyBytes sense, ReplyBytes reply,
                     Events& events) {
    switch (nRequest) {
    case RQ_INQUIRY:
        // A missing reply reads like the cleared buffer of a failed INQUIRY.
        ParseInquiry(reply);
        m_next = Capabilities(RQ_IDENTIFY_CAPS);
        break;
    case RQ_IDENTIFY_CAPS:
        CompleteIdentifyCaps(nStatus, sense, reply, events);
        break;
    case RQ_IDENTIFIED:
        ParsePage(reply);
        EndIdentification(RQ_IDENTIFIED, nStatus, events);
        break;
    case RQ_REFRESH_CAPS: {
        ParsePage(reply);
        events.push_back({RQ_REFRESH_CAPS, nStatus});
        const int nKeep = m_nChainSpeed;
        if (std::exchange(m_bSetAfterRead, false)) {
            m_next = SetSpeedCommand(nKeep, RQ_SET_SPEED);
        } else if (m_chain == CHAIN::KEEP && nKeep != 0 && m_nCurSpeed != 0 &&
                   m_nCurSpeed != nKeep) {
            m_chain = CHAIN::SET;
            m_next = SetSpeedCommand(nKeep, RQ_SET_SPEED);
        } else {
            if (m_chain == CHAIN::APPLY)
                m_nSelSpeed = m_nCurSpeed;
            EndChain();
        }
        break;
    }
    case RQ_SET_SPEED:
        events.push_back({RQ_SET_SPEED, nStatus});
        m_next = Capabilities(RQ_REFRESH_CAPS);
        break;
    case RQ_DETECT_SET_SPEED:
        // Whatever its status: the page tells where the drive went.
        m_next = Capabilities(RQ_DETECT_CAPS);
        break;
    case RQ_DETECT_CAPS:
        m_bProbeRead = ParsePage(reply);
        CompleteDetectStep(nStatus, events);
        break;
    default:
        EndChain();
        break;
    }
}

void CCDRom::CompleteIdentifyCaps(int nStatus, ReplyBytes sense, ReplyBytes reply, Events& events) {
    if (nStatus == CMD_OK) {
        ParsePage(reply);
        EndIdentification(RQ_IDENTIFIED, CMD_OK, events);
        return;
    }
    if (nStatus == CMD_ERROR && !m_bModeSense10 && SenseKey(sense) == SENSE_KEY_ILLEGAL_REQUEST &&
        SenseAsc(sense) == ASC_INVALID_OPCODE) {
        // The drive has no MODE SENSE(6): the page is read with MODE SENSE(10) from now on.
        m_bModeSense10 = true;
        m_next = Capabilities(RQ_IDENTIFIED);
        return;
    }
    ParsePage(reply);
    EndIdentification(RQ_IDENTIFY_CAPS, nStatus, events);
}

void CCDRom::EndIdentification(int nEvent, int nStatus, Events& events) {
    m_bIdentifying = false;
    events.push_back({nEvent, nStatus});
    EndChain();
}

// One step down: the speed the drive reports is recorded unless it lies above the one asked for,
// which means the drive could not go that low. The next request is one below the last speed
// recorded.
void CCDRom::CompleteDetectStep(int nStatus, Events& events) {
    const int nCur = m_nCurSpeed;
    if (m_bProbeRead && (m_nProbeSpeed == 0 || nCur <= m_nProbeSpeed)) {
        m_aSpeeds.insert(m_aSpeeds.begin(), SPEED_ENTRY{nCur, m_nCurRate});
        m_nProbeSpeed = nCur;
    }
    if (--m_nProbeSpeed > 0) {
        m_next = SetSpeedCommand(m_nProbeSpeed, RQ_DETECT_SET_SPEED);
        return;
    }
    m_bDetecting = false;
    events.push_back({RQ_DETECT_DONE, nStatus});
    // After a failed read the drive's speed is not known: it is set back all the same.
    if (!m_bProbeRead || nCur != m_nSelSpeed) {
        m_chain = CHAIN::SET;
        m_next = SetSpeedCommand(m_nSelSpeed, RQ_SET_SPEED);
    } else {
        EndChain();
    }
}

COMMAND CCDRom::Capabilities(int nRequest) const {
    return {nRequest,
            m_bModeSense10 ? MakeModeSense10Cdb(m_target.nLun) : MakeModeSense6Cdb(m_target.nLun),
            MODE_SENSE_REPLY_SIZE, true};
}

COMMAND CCDRom::SetSpeedCommand(int nSpeed, int nRequest) {
    return {nRequest, MakeSetSpeedCdb(nSpeed), 0, false};
}

bool CCDRom::ParsePage(ReplyBytes reply) {
    const auto page = LocateCapabilitiesPage(reply, m_bModeSense10);
    if (page)
        ParseCapabilities(*page);
    return page.has_value();
}

void CCDRom::ParseInquiry(ReplyBytes reply) {
    BYTE aReply[INQUIRY_REPLY_SIZE] = {};
    std::copy_n(reply.begin(), std::min(reply.size(), sizeof aReply), aReply);
    if (aReply[INQ_ADDITIONAL_LENGTH] < INQ_MIN_ADDITIONAL_LENGTH)
        m_bUsable = false;
    m_bRemovable = (aReply[INQ_FLAGS] & INQ_REMOVABLE) != 0;
    m_strVendor = InquiryText(aReply, 8, 15);
    m_strProduct = InquiryText(aReply, 16, 31);
    m_strRevision = InquiryText(aReply, 32, 35);
    m_strVendorInfo = TrimLeft(InquiryText(aReply, 36, 55));
}

// A drive that claims more than 100x has not told its maximum: the speed it runs at stands in.
void CCDRom::ParseCapabilities(ReplyBytes page) {
    m_bAnswered = true;
    if (m_nMaxSpeed == 0)
        m_nMaxSpeed = ReadBigEndian16(&page[CAPS_MAX_READ_RATE]) / KBPS_PER_X_REPORTED;
    m_nCurRate = ReadBigEndian16(&page[CAPS_CUR_READ_RATE]);
    m_nCurSpeed = std::min(m_nCurRate / KBPS_PER_X_REPORTED, MAX_SPEED_X);
    if (m_nMaxSpeed > MAX_SPEED_X)
        m_nMaxSpeed = m_nCurSpeed;
}

DRIVE_STATE CCDRom::Snapshot() const {
    const bool bLocked = m_tray.IsLocked();
    Lock lock(m_lock);
    return {m_strDrive,
            m_strVendor,
            m_strProduct,
            m_strRevision,
            m_strVendorInfo,
            m_bUsable,
            m_bRemovable,
            bLocked,
            m_target,
            m_nMaxSpeed,
            m_nCurSpeed,
            m_nSelSpeed,
            m_nCurRate,
            m_bAnswered,
            m_bIdentifying,
            m_bDetecting,
            m_chain != CHAIN::NONE || !m_queue.empty(),
            m_aSpeeds};
}

std::vector<SPEED_ENTRY> CCDRom::GetSpeeds() const {
    Lock lock(m_lock);
    return m_aSpeeds;
}

bool CCDRom::IsUsable() const {
    Lock lock(m_lock);
    return m_bUsable;
}

void CCDRom::SetUnusable() {
    Lock lock(m_lock);
    m_bUsable = false;
}

void CCDRom::SetSelSpeed(int nSpeed) {
    Lock lock(m_lock);
    m_nSelSpeed = nSpeed;
}

void CCDRom::SelectCurrentSpeed() {
    Lock lock(m_lock);
    m_nSelSpeed = m_nCurSpeed;
}

int CCDRom::GetRateForSpeed(int nSpeed) const {
    Lock lock(m_lock);
    if (nSpeed == 0 || nSpeed == m_nCurSpeed)
        return m_nCurRate;
    const auto it = std::find_if(m_aSpeeds.rbegin(), m_aSpeeds.rend(),
                                 [nSpeed](const SPEED_ENTRY& e) { return e.nSpeed == nSpeed; });
    return it != m_aSpeeds.rend() ? it->nRate : nSpeed * KBPS_PER_X_REPORTED;
}

int CCDRom::TakeSavedValues(std::optional<int> nSpeed, const std::vector<SPEED_ENTRY>& aSpeeds) {
    Lock lock(m_lock);
    int nTaken = 0;
    if (nSpeed && *nSpeed >= 1 && *nSpeed <= m_nMaxSpeed)
        m_nSelSpeed = nTaken = *nSpeed;
    if (aSpeeds.empty())
        return nTaken;
    // No drive reads above 100x: a stored list that claims more is not a drive's, and with the
    // maximum unknown that is the only limit, so a list read back is saved unchanged.
    const int nLimit = m_nMaxSpeed > 0 ? std::min(m_nMaxSpeed, MAX_SPEED_X) : MAX_SPEED_X;
    m_aSpeeds.clear();
    std::copy_if(
        aSpeeds.begin(), aSpeeds.end(), std::back_inserter(m_aSpeeds),
        [nLimit](const SPEED_ENTRY& entry) { return entry.nSpeed >= 1 && entry.nSpeed <= nLimit; });
    return nTaken;
}

bool CCDRom::WaitIdentified(std::chrono::steady_clock::time_point tDeadline) const {
    Lock lock(m_lock);
    return m_cvIdentified.wait_until(lock, tDeadline, [this] { return !m_bIdentifying; });
}

} // namespace qv
