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

Cdb MakeSetSpeedCdb(int nSpeed) {
    Cdb cdb;
    cdb.nLength = 12;
    cdb.bytes[0] = SCSIOP_SET_CD_SPEED;
    WriteBigEndian16(&cdb.bytes[2], RequestedRateForSpeed(nSpeed));
    return cdb;
}

std::optional<ReplyBytes> LocateCapabilitiesPage(ReplyBytes reply, bool bModeSense10) {
    const std::size_t nHeader = bModeSense10 ? 8 : 4;
    if (reply.size() < nHeader)
        return std::nullopt;
    const std::size_t nDescriptors = bModeSense10 ? ReadBigEndian16(reply.data() + 6) : reply[3];
    const std::size_t nPage = nHeader + nDescriptors;
    if (nPage + CAPS_PARSED_SIZE > reply.size() ||
        (reply[nPage] & CAPS_PAGE_CODE_MASK) != MODE_PAGE_CAPABILITIES)
        return std::nullopt;
    return reply.subspan(nPage);
}

std::string InquiryText(ReplyBytes reply, std::size_t nFirst, std::size_t nLast) {
    if (nFirst >= reply.size())
        return {};
    const auto field = reply.subspan(nFirst, std::min(nLast + 1, reply.size()) - nFirst);
    std::string strText(field.begin(), std::find(field.begin(), field.end(), BYTE{0}));
    const auto nKeep = strText.find_last_not_of(" \t\r\n\f\v");
    strText.erase(nKeep == std::string::npos ? 0 : nKeep + 1);
    return strText;
}

} // namespace qv
