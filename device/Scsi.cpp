#include "device/Scsi.h"

#include <algorithm>
#include <cctype>

namespace qv {
namespace {

BYTE LunBits(int nLun) {
    return static_cast<BYTE>((nLun & 0x07) << 5);
}

} // namespace

Cdb MakeInquiryCdb(int nLun) {
    Cdb cdb;
    cdb.nLength = 6;
    cdb.bytes[0] = SCSIOP_INQUIRY;
    cdb.bytes[1] = LunBits(nLun);
    cdb.bytes[4] = static_cast<BYTE>(INQUIRY_REPLY_SIZE);
    return cdb;
}

Cdb MakeModeSense6Cdb(int nLun) {
    Cdb cdb;
    cdb.nLength = 6;
    cdb.bytes[0] = SCSIOP_MODE_SENSE6;
    cdb.bytes[1] = LunBits(nLun);
    cdb.bytes[2] = MODE_PAGE_CAPABILITIES;
    cdb.bytes[4] = static_cast<BYTE>(MODE_SENSE_REPLY_SIZE);
    return cdb;
}

Cdb MakeModeSense10Cdb(int nLun) {
    Cdb cdb;
    cdb.nLength = 10;
    cdb.bytes[0] = SCSIOP_MODE_SENSE10;
    cdb.bytes[1] = LunBits(nLun);
    cdb.bytes[2] = MODE_PAGE_CAPABILITIES;
    WriteBigEndian16(&cdb.bytes[7], MODE_SENSE_REPLY_SIZE);
    return cdb;
}

WORD RequestedRateForSpeed(int nSpeed) {
    if (nSpeed <= 0)
        return SET_SPEED_MAXIMUM;
    const long nRate = static_cast<long>(nSpeed) * KBPS_PER_X_REQUESTED;
    return static_cast<WORD>(std::min<long>(nRate, SET_SPEED_MAXIMUM));
}

Cdb MakeSetSpeedCdb(int nSpeed) {
    Cdb cdb;
    cdb.nLength = 12;
    cdb.bytes[0] = SCSIOP_SET_CD_SPEED;
    WriteBigEndian16(&cdb.bytes[2], RequestedRateForSpeed(nSpeed));
    return cdb;
}

std::optional<std::size_t> LocateCapabilitiesPage(const BYTE* pReply, std::size_t nSize,
                                                  bool bModeSense10) {
    const std::size_t nHeader = bModeSense10 ? 8 : 4;
    if (nSize < nHeader)
        return std::nullopt;
    const std::size_t nDescriptors = bModeSense10 ? ReadBigEndian16(pReply + 6) : pReply[3];
    const std::size_t nPage = nHeader + nDescriptors;
    if (nPage + CAPS_PARSED_SIZE > nSize)
        return std::nullopt;
    return nPage;
}

std::string InquiryText(const BYTE* pReply, std::size_t nFirst, std::size_t nLast) {
    const auto* pBegin = reinterpret_cast<const char*>(pReply + nFirst);
    const auto* pEnd = std::find(pBegin, reinterpret_cast<const char*>(pReply + nLast + 1), '\0');
    std::string strText(pBegin, pEnd);
    const auto nKeep = strText.find_last_not_of(" \t\r\n\f\v");
    strText.erase(nKeep == std::string::npos ? 0 : nKeep + 1);
    return strText;
}

} // namespace qv
