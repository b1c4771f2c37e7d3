// The blocks this program sends through the NT SCSI pass-through I/O control: each one header,
// a command block, and the areas the drive's sense data and reply are written to.
#pragma once

#include "device/Scsi.h"
#include "platform/PassThroughLayout.h"
#include "platform/Types.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace qv {

inline constexpr DWORD PASS_THROUGH_TIMEOUT_SECONDS = 20;

// MODE SENSE blocks carry a reserved sense area between the header and the data, and two spare
// bytes after the data.
inline constexpr std::size_t PT_SENSE_AREA_SIZE = 18;
inline constexpr std::size_t PT_SPARE_SIZE = 2;

// One heap block: the header followed by the data area, input and output of the I/O control.
class CPassThroughRequest {
public:
    explicit CPassThroughRequest(std::size_t nSize)
        : m_pBlock(std::make_unique<BYTE[]>(nSize)), m_nSize(nSize) {}

    static CPassThroughRequest Inquiry(int nLun);
    static CPassThroughRequest ModeSense(int nLun, bool bModeSense10);
    static CPassThroughRequest SetSpeed(int nSpeed);

    PASS_THROUGH_HEADER Header() const {
        PASS_THROUGH_HEADER header;
        std::memcpy(&header, m_pBlock.get(), sizeof header);
        return header;
    }
    void SetHeader(const PASS_THROUGH_HEADER& header) {
        std::memcpy(m_pBlock.get(), &header, sizeof header);
    }

    // The data area the block was built with, empty for a command that transfers nothing.
    ReplyBytes DataArea() const { return Area(m_nDataOffset, m_nDataSize); }
    // nLength bytes at nOffset, or as many of them as the block holds.
    ReplyBytes Area(std::size_t nOffset, std::size_t nLength) const {
        if (nOffset == 0 || nOffset >= m_nSize)
            return {};
        return {m_pBlock.get() + nOffset, std::min(nLength, m_nSize - nOffset)};
    }
    BYTE* Data() { return m_pBlock.get(); }
    const BYTE* Data() const { return m_pBlock.get(); }
    std::size_t Size() const { return m_nSize; }
    // The length the OS may write back: up to the end of the data area, else the header.
    DWORD OutputLength() const;

private:
    CPassThroughRequest(std::size_t nSize, const Cdb& cdb, BYTE nDataIn, DWORD nTransfer,
                        std::size_t nDataOffset, std::size_t nSenseOffset);

    std::unique_ptr<BYTE[]> m_pBlock;
    std::size_t m_nSize;
    std::size_t m_nDataOffset = 0;
    std::size_t m_nDataSize = 0;
};

} // namespace qv
