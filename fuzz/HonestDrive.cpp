#include "fuzz/HonestDrive.h"

#include "device/Scsi.h"

#include <algorithm>
#include <string_view>

namespace qv::fuzz {
namespace {

constexpr std::size_t CAPS_PAGE_SIZE = 22; // page code, length, 20 bytes of parameters

std::vector<BYTE> InquiryReply() {
    std::vector<BYTE> aReply(INQUIRY_REPLY_SIZE, ' ');
    std::fill(aReply.begin(), aReply.begin() + 8, BYTE{0});
    aReply[0] = 0x05; // CD/DVD device
    aReply[1] = 0x80; // removable
    aReply[3] = 0x02;
    aReply[4] = static_cast<BYTE>(INQUIRY_REPLY_SIZE - 5);
    constexpr std::string_view IDENTIFICATION = "QRVX    CD-ROM 40X      1.02";
    std::copy(IDENTIFICATION.begin(), IDENTIFICATION.end(), aReply.begin() + 8);
    std::fill(aReply.begin() + 56, aReply.end(), BYTE{0});
    return aReply;
}

} // namespace

std::vector<BYTE> CHonestDrive::Reply(const BYTE* pCdb, std::size_t nCdbLength) {
    if (nCdbLength == 0)
        return {};
    switch (pCdb[0]) {
    case SCSIOP_INQUIRY:
        return InquiryReply();
    case SCSIOP_MODE_SENSE6:
        return CapabilitiesReply(false);
    case SCSIOP_MODE_SENSE10:
        return CapabilitiesReply(true);
    case SCSIOP_SET_CD_SPEED:
        if (nCdbLength >= 4) {
            const int nRequested = ReadBigEndian16(pCdb + 2);
            m_nRate = std::min(nRequested, MAX_RATE);
        }
        return {};
    default:
        return {};
    }
}

std::vector<BYTE> CHonestDrive::CapabilitiesReply(bool bModeSense10) const {
    const std::size_t nHeader = bModeSense10 ? 8 : 4;
    std::vector<BYTE> aReply(nHeader + CAPS_PAGE_SIZE, 0);
    if (bModeSense10)
        WriteBigEndian16(aReply.data(), static_cast<unsigned>(aReply.size() - 2));
    else
        aReply[0] = static_cast<BYTE>(aReply.size() - 1);
    BYTE* pPage = aReply.data() + nHeader;
    pPage[0] = MODE_PAGE_CAPABILITIES;
    pPage[1] = CAPS_PAGE_SIZE - 2;
    WriteBigEndian16(pPage + CAPS_MAX_READ_RATE, MAX_RATE);
    WriteBigEndian16(pPage + CAPS_CUR_READ_RATE, static_cast<unsigned>(m_nRate));
    return aReply;
}

} // namespace qv::fuzz
