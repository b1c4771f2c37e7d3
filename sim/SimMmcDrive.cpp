#include "sim/SimMmcDrive.h"

#include "device/Scsi.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace qv::sim {
namespace {

constexpr std::size_t INQUIRY_DATA_SIZE = 96;
constexpr std::size_t CAPS_PAGE_SIZE = 22; // page code, length, 20 bytes of parameters

SimScsiResult CheckCondition(BYTE nKey, BYTE nAsc) {
    SimScsiResult result;
    result.nStatus = SCSISTAT_CHECK_CONDITION;
    result.aSense.assign(18, 0);
    result.aSense[0] = 0x70; // current error, fixed format
    result.aSense[2] = nKey;
    result.aSense[7] = 10; // additional sense length
    result.aSense[12] = nAsc;
    return result;
}

void PutText(std::vector<BYTE>& aReply, std::size_t nFirst, std::size_t nWidth,
             const std::string& strText) {
    for (std::size_t i = 0; i < nWidth; ++i)
        aReply[nFirst + i] = static_cast<BYTE>(i < strText.size() ? strText[i] : ' ');
}

SimScsiResult Deliver(const std::vector<BYTE>& aReply, std::size_t nAllocation, BYTE* pData,
                      std::size_t nDataLength) {
    SimScsiResult result;
    result.nTransferred = std::min({aReply.size(), nAllocation, nDataLength});
    if (result.nTransferred)
        std::memcpy(pData, aReply.data(), result.nTransferred);
    return result;
}

} // namespace

CSimMmcDrive::CSimMmcDrive(SimCdromConfig config)
    : m_config(std::move(config)), m_nCurrent(m_config.nCurrent) {}

void CSimMmcDrive::ChangeDisc() {
    std::lock_guard lock(m_lock);
    m_nCurrent = m_config.aSpeeds.back();
}

void CSimMmcDrive::Hold() {
    std::lock_guard lock(m_lock);
    m_bHeld = true;
}

void CSimMmcDrive::Release() {
    std::lock_guard lock(m_lock);
    m_bHeld = false;
    m_cvReleased.notify_all();
}

bool CSimMmcDrive::IsHolding() const {
    std::lock_guard lock(m_lock);
    return m_nHolding > 0;
}

SimScsiResult CSimMmcDrive::Execute(const BYTE* pCdb, std::size_t nCdbLength, BYTE* pData,
                                    std::size_t nDataLength) {
    if (m_config.nLatencyMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(m_config.nLatencyMs));
    std::unique_lock lock(m_lock);
    ++m_nHolding;
    m_cvReleased.wait(lock, [this] { return !m_bHeld; });
    --m_nHolding;
    RevertWhenDue();
    m_aCommands.emplace_back(pCdb, pCdb + nCdbLength);
    if (m_aCommands.size() > SIM_HISTORY_LIMIT)
        m_aCommands.pop_front();
    if (nCdbLength == 0)
        return CheckCondition(SENSE_KEY_ILLEGAL_REQUEST, ASC_INVALID_OPCODE);
    switch (pCdb[0]) {
    case SCSIOP_INQUIRY:
        return nCdbLength >= 6
                   ? Inquiry(pCdb, pData, nDataLength)
                   : CheckCondition(SENSE_KEY_ILLEGAL_REQUEST, ASC_INVALID_FIELD_IN_CDB);
    case SCSIOP_MODE_SENSE6:
        if (!m_config.bModeSense6)
            return CheckCondition(SENSE_KEY_ILLEGAL_REQUEST, ASC_INVALID_OPCODE);
        return nCdbLength >= 6
                   ? ModeSense(pCdb, false, pData, nDataLength)
                   : CheckCondition(SENSE_KEY_ILLEGAL_REQUEST, ASC_INVALID_FIELD_IN_CDB);
    case SCSIOP_MODE_SENSE10:
        return nCdbLength >= 10
                   ? ModeSense(pCdb, true, pData, nDataLength)
                   : CheckCondition(SENSE_KEY_ILLEGAL_REQUEST, ASC_INVALID_FIELD_IN_CDB);
    case SCSIOP_SET_CD_SPEED:
        return nCdbLength >= 12
                   ? SetCdSpeed(pCdb)
                   : CheckCondition(SENSE_KEY_ILLEGAL_REQUEST, ASC_INVALID_FIELD_IN_CDB);
    default:
        return CheckCondition(SENSE_KEY_ILLEGAL_REQUEST, ASC_INVALID_OPCODE);
    }
}

SimScsiResult CSimMmcDrive::Inquiry(const BYTE* pCdb, BYTE* pData, std::size_t nDataLength) const {
    if (m_config.bInquiryFails)
        return CheckCondition(SENSE_KEY_ILLEGAL_REQUEST, ASC_INVALID_FIELD_IN_CDB);
    std::vector<BYTE> aReply(INQUIRY_DATA_SIZE, 0);
    aReply[0] = 0x05; // CD/DVD device
    aReply[1] = m_config.bRemovable ? 0x80 : 0x00;
    aReply[3] = static_cast<BYTE>(m_config.nInquiryByte3);
    aReply[4] = static_cast<BYTE>(m_config.nAdditionalLength);
    PutText(aReply, 8, 8, m_config.strVendor);
    PutText(aReply, 16, 16, m_config.strProduct);
    PutText(aReply, 32, 4, m_config.strRevision);
    PutText(aReply, 36, 20, m_config.strVendorInfo);
    return Deliver(aReply, pCdb[4], pData, nDataLength);
}

SimScsiResult CSimMmcDrive::ModeSense(const BYTE* pCdb, bool bTen, BYTE* pData,
                                      std::size_t nDataLength) const {
    if ((pCdb[2] & 0x3F) != MODE_PAGE_CAPABILITIES)
        return CheckCondition(SENSE_KEY_ILLEGAL_REQUEST, ASC_INVALID_FIELD_IN_CDB);
    const std::size_t nHeader = bTen ? 8 : 4;
    const auto nDescriptors = static_cast<std::size_t>(m_config.nBlockDescriptorLength);
    std::vector<BYTE> aReply(nHeader + nDescriptors + CAPS_PAGE_SIZE, 0);
    const std::size_t nDataLengthField = aReply.size() - (bTen ? 2 : 1);
    if (bTen) {
        WriteBigEndian16(&aReply[0], static_cast<unsigned>(nDataLengthField));
        WriteBigEndian16(&aReply[6], static_cast<unsigned>(nDescriptors));
    } else {
        aReply[0] = static_cast<BYTE>(nDataLengthField);
        aReply[3] = static_cast<BYTE>(nDescriptors);
    }
    BYTE* pPage = &aReply[nHeader + nDescriptors];
    pPage[0] = MODE_PAGE_CAPABILITIES;
    pPage[1] = CAPS_PAGE_SIZE - 2;
    const int nMaxRate = m_config.nMaxRate.value_or(m_config.aSpeeds.back() * KBPS_PER_X_REPORTED);
    WriteBigEndian16(pPage + CAPS_MAX_READ_RATE, static_cast<unsigned>(nMaxRate));
    WriteBigEndian16(pPage + CAPS_CUR_READ_RATE,
                     m_config.bAlwaysReportsZero ? 0u : static_cast<unsigned>(RateAt(m_nCurrent)));
    const std::size_t nAllocation = bTen ? ReadBigEndian16(pCdb + 7) : pCdb[4];
    return Deliver(aReply, nAllocation, pData, nDataLength);
}

SimScsiResult CSimMmcDrive::SetCdSpeed(const BYTE* pCdb) {
    switch (m_config.setSpeed) {
    case SetSpeedMode::Reject:
        return CheckCondition(SENSE_KEY_ILLEGAL_REQUEST, ASC_INVALID_OPCODE);
    case SetSpeedMode::Ignore:
        return {};
    case SetSpeedMode::Accept:
        break;
    }
    const unsigned nRate = ReadBigEndian16(pCdb + 2);
    const auto& aSpeeds = m_config.aSpeeds;
    if (nRate == SET_SPEED_MAXIMUM) {
        m_nCurrent = aSpeeds.back();
        return {};
    }
    // The highest accepted speed at or below the request, never below the lowest.
    auto it = std::upper_bound(
        aSpeeds.begin(), aSpeeds.end(), static_cast<int>(nRate),
        [](int nRequested, int nSpeed) { return nRequested < nSpeed * KBPS_PER_X_REPORTED; });
    m_nCurrent = it == aSpeeds.begin() ? aSpeeds.front() : *std::prev(it);
    m_tSpeedSet = std::chrono::steady_clock::now();
    return {};
}

void CSimMmcDrive::RevertWhenDue() {
    if (m_config.nRevertsAfterMs > 0 && std::chrono::steady_clock::now() - m_tSpeedSet >=
                                            std::chrono::milliseconds(m_config.nRevertsAfterMs))
        m_nCurrent = m_config.aSpeeds.back();
}

int CSimMmcDrive::RateAt(int nSpeed) const {
    const auto it = m_config.mapRates.find(nSpeed);
    return it != m_config.mapRates.end() ? it->second : nSpeed * KBPS_PER_X_REPORTED;
}

std::vector<std::vector<BYTE>> CSimMmcDrive::Commands() const {
    std::lock_guard lock(m_lock);
    return {m_aCommands.begin(), m_aCommands.end()};
}

void CSimMmcDrive::ClearCommands() {
    std::lock_guard lock(m_lock);
    m_aCommands.clear();
}

int CSimMmcDrive::CurrentSpeed() const {
    std::lock_guard lock(m_lock);
    return m_nCurrent;
}

} // namespace qv::sim
