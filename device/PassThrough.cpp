#include "device/PassThrough.h"

namespace qv {

CPassThroughRequest::CPassThroughRequest(std::size_t nSize, const Cdb& cdb, BYTE nDataIn,
                                         DWORD nTransfer, std::size_t nDataOffset,
                                         std::size_t nSenseOffset)
    : CPassThroughRequest(nSize) {
    m_nDataOffset = nDataOffset;
    m_nDataSize = nDataOffset ? nTransfer : 0;
    PASS_THROUGH_HEADER header{};
    header.CdbLength = cdb.nLength;
    header.DataIn = nDataIn;
    header.DataTransferLength = nTransfer;
    header.DataBufferOffset = nDataOffset;
    header.SenseInfoOffset = static_cast<DWORD>(nSenseOffset);
    std::memcpy(header.Cdb, cdb.bytes.data(), sizeof header.Cdb);
    SetHeader(header);
}

CPassThroughRequest CPassThroughRequest::Inquiry(int nLun) {
    return {PT_HEADER_SIZE + INQUIRY_REPLY_SIZE,
            MakeInquiryCdb(nLun),
            SCSI_IOCTL_DATA_IN,
            INQUIRY_REPLY_SIZE,
            PT_HEADER_SIZE,
            0};
}

CPassThroughRequest CPassThroughRequest::ModeSense(int nLun, bool bModeSense10) {
    return {PT_HEADER_SIZE + PT_SENSE_AREA_SIZE + MODE_SENSE_REPLY_SIZE + PT_SPARE_SIZE,
            bModeSense10 ? MakeModeSense10Cdb(nLun) : MakeModeSense6Cdb(nLun),
            SCSI_IOCTL_DATA_IN,
            MODE_SENSE_REPLY_SIZE,
            PT_HEADER_SIZE + PT_SENSE_AREA_SIZE,
            PT_HEADER_SIZE};
}

CPassThroughRequest CPassThroughRequest::SetSpeed(int nSpeed) {
    return {PT_HEADER_SIZE, MakeSetSpeedCdb(nSpeed), SCSI_IOCTL_DATA_UNSPECIFIED, 0, 0, 0};
}

DWORD CPassThroughRequest::OutputLength() const {
    const auto header = Header();
    if (header.DataTransferLength == 0)
        return static_cast<DWORD>(PT_HEADER_SIZE);
    return static_cast<DWORD>(header.DataBufferOffset + header.DataTransferLength);
}

} // namespace qv
