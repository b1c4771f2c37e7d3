#include "device/PassThrough.h"

#include <algorithm>
#include <cstring>

namespace qv {
namespace {

std::size_t SenseOffset(const COMMAND& command) {
    return command.bSense && command.nReplyLength > 0 ? PT_HEADER_SIZE : 0;
}

std::size_t DataOffset(const COMMAND& command) {
    if (command.nReplyLength == 0)
        return 0;
    return PT_HEADER_SIZE + (SenseOffset(command) ? PT_SENSE_AREA_SIZE : 0);
}

std::size_t BlockSize(const COMMAND& command) {
    if (command.nReplyLength == 0)
        return PT_HEADER_SIZE;
    return DataOffset(command) + command.nReplyLength + (SenseOffset(command) ? PT_SPARE_SIZE : 0);
}

} // namespace

CPassThroughRequest::CPassThroughRequest(const COMMAND& command, const SCSI_TARGET& target)
    : m_nSize(BlockSize(command)), m_pBlock(std::make_unique<BYTE[]>(m_nSize)),
      m_nDataOffset(DataOffset(command)), m_nDataSize(command.nReplyLength) {
    PASS_THROUGH_HEADER header{};
    header.Length = static_cast<WORD>(PT_HEADER_SIZE);
    header.PathId = static_cast<BYTE>(target.nHaId);
    header.TargetId = static_cast<BYTE>(target.nTarget);
    header.Lun = static_cast<BYTE>(target.nLun);
    header.CdbLength = command.cdb.nLength ? command.cdb.nLength : 6;
    header.SenseInfoLength = SenseOffset(command) ? static_cast<BYTE>(PT_SENSE_AREA_SIZE) : 0;
    header.DataIn = command.nReplyLength ? SCSI_IOCTL_DATA_IN : SCSI_IOCTL_DATA_UNSPECIFIED;
    header.DataTransferLength = static_cast<DWORD>(command.nReplyLength);
    header.TimeOutValue = PASS_THROUGH_TIMEOUT_SECONDS;
    header.DataBufferOffset = DataOffset(command);
    header.SenseInfoOffset = static_cast<DWORD>(SenseOffset(command));
    std::memcpy(header.Cdb, command.cdb.bytes.data(), sizeof header.Cdb);
    std::memcpy(m_pBlock.get(), &header, sizeof header);
}

PASS_THROUGH_HEADER CPassThroughRequest::Header() const {
    PASS_THROUGH_HEADER header;
    std::memcpy(&header, m_pBlock.get(), sizeof header);
    return header;
}

DWORD CPassThroughRequest::OutputLength() const {
    const auto header = Header();
    if (header.DataTransferLength == 0)
        return static_cast<DWORD>(PT_HEADER_SIZE);
    return static_cast<DWORD>(header.DataBufferOffset + header.DataTransferLength);
}

int CPassThroughRequest::Status(bool bDelivered) const {
    if (!bDelivered)
        return CMD_FAILED;
    const auto header = Header();
    if (header.ScsiStatus == SCSISTAT_GOOD)
        return CMD_OK;
    return Sense(bDelivered).empty() ? CMD_FAILED : CMD_ERROR;
}

ReplyBytes CPassThroughRequest::Sense(bool bDelivered) const {
    const auto header = Header();
    if (!bDelivered || header.ScsiStatus != SCSISTAT_CHECK_CONDITION ||
        header.SenseInfoLength == 0 || header.SenseInfoOffset == 0)
        return {};
    return Area(header.SenseInfoOffset,
                std::min<std::size_t>(header.SenseInfoLength, PT_SENSE_AREA_SIZE));
}

ReplyBytes CPassThroughRequest::Reply(bool bDelivered) const {
    return bDelivered ? Area(m_nDataOffset, m_nDataSize) : ReplyBytes{};
}

// nLength bytes at nOffset, or as many of them as the block holds.
ReplyBytes CPassThroughRequest::Area(std::size_t nOffset, std::size_t nLength) const {
    if (nOffset == 0 || nOffset >= m_nSize)
        return {};
    return {m_pBlock.get() + nOffset, std::min(nLength, m_nSize - nOffset)};
}

} // namespace qv
