// The request block of the NT SCSI pass-through I/O control around one command block: the header,
// then, when the command asks for it, the area the drive's sense data go to, then the data area.
#pragma once

#include "device/Transport.h"
#include "platform/PassThroughLayout.h"

#include <cstddef>
#include <memory>

namespace qv {

inline constexpr DWORD PASS_THROUGH_TIMEOUT_SECONDS = 20;

// A command that asks for sense data has this area between the header and the data, and two
// spare bytes after the data.
inline constexpr std::size_t PT_SENSE_AREA_SIZE = 18;
inline constexpr std::size_t PT_SPARE_SIZE = 2;

// One heap block, input and output of the I/O control.
class CPassThroughRequest {
public:
    // The block for command to the drive at target, zeroed but for the header's fields.
    CPassThroughRequest(const COMMAND& command, const SCSI_TARGET& target);

    PASS_THROUGH_HEADER Header() const;
    BYTE* Data() { return m_pBlock.get(); }
    std::size_t Size() const { return m_nSize; }
    // The length the OS may write back: up to the end of the data area, else the header.
    DWORD OutputLength() const;

    // The status a command had, with what came back: the sense data of one the drive refused
    // with CHECK CONDITION, and the data area. bDelivered: the I/O control itself succeeded; a
    // block the OS refused never reached the drive, and nothing in it is the drive's.
    int Status(bool bDelivered) const;
    ReplyBytes Sense(bool bDelivered) const;
    ReplyBytes Reply(bool bDelivered) const;

private:
    ReplyBytes Area(std::size_t nOffset, std::size_t nLength) const;

    std::size_t m_nSize;
    std::unique_ptr<BYTE[]> m_pBlock;
    // The data area the block was built with, whatever the OS writes back into the header.
    std::size_t m_nDataOffset;
    std::size_t m_nDataSize;
};

} // namespace qv
