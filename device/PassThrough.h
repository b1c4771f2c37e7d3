// The request block of the NT SCSI pass-through I/O control and the address reply, laid out as
// the platform lays them out: ULONG_PTR DataBufferOffset makes the header 44 bytes in 32-bit
// processes and 56 in 64-bit ones. The 32-bit form is pinned below; the Win32 build also checks
// both against the SDK's own structures.
#pragma once

#include "device/Scsi.h"
#include "platform/Types.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace qv {

struct PASS_THROUGH_HEADER {
    WORD Length;
    BYTE ScsiStatus;
    BYTE PathId;
    BYTE TargetId;
    BYTE Lun;
    BYTE CdbLength;
    BYTE SenseInfoLength;
    BYTE DataIn;
    DWORD DataTransferLength;
    DWORD TimeOutValue;
    std::uintptr_t DataBufferOffset;
    DWORD SenseInfoOffset;
    BYTE Cdb[MAX_CDB_SIZE];
};

struct SCSI_ADDRESS_RECORD {
    DWORD Length;
    BYTE PortNumber;
    BYTE PathId;
    BYTE TargetId;
    BYTE Lun;
};

static_assert(sizeof(SCSI_ADDRESS_RECORD) == 8);
static_assert(offsetof(PASS_THROUGH_HEADER, DataTransferLength) == 12);
static_assert(offsetof(PASS_THROUGH_HEADER, TimeOutValue) == 16);
static_assert(offsetof(PASS_THROUGH_HEADER, DataBufferOffset) == 20 || sizeof(void*) != 4);
static_assert(offsetof(PASS_THROUGH_HEADER, SenseInfoOffset) == 24 || sizeof(void*) != 4);
static_assert(offsetof(PASS_THROUGH_HEADER, Cdb) == 28 || sizeof(void*) != 4);
static_assert(sizeof(PASS_THROUGH_HEADER) == 44 || sizeof(void*) != 4);

inline constexpr BYTE SCSI_IOCTL_DATA_OUT = 0;
inline constexpr BYTE SCSI_IOCTL_DATA_IN = 1;
inline constexpr BYTE SCSI_IOCTL_DATA_UNSPECIFIED = 2;
inline constexpr DWORD PASS_THROUGH_TIMEOUT_SECONDS = 20;

inline constexpr std::size_t PT_HEADER_SIZE = sizeof(PASS_THROUGH_HEADER);
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

    // The data area the block was built with, or null for a command that transfers nothing.
    const BYTE* DataArea() const {
        return m_nDataOffset ? m_pBlock.get() + m_nDataOffset : nullptr;
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
};

} // namespace qv
