// The request block of the NT SCSI pass-through I/O control and the address reply, laid out as
// the platform lays them out: ULONG_PTR DataBufferOffset makes the header 44 bytes in 32-bit
// processes and 56 in 64-bit ones. The 32-bit form is pinned below; the Win32 build also checks
// both against the SDK's own structures.
#pragma once

#include "platform/Types.h"

#include <cstddef>
#include <cstdint>

namespace qv {

inline constexpr std::size_t PT_CDB_SIZE = 16;

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
    BYTE Cdb[PT_CDB_SIZE];
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

inline constexpr std::size_t PT_HEADER_SIZE = sizeof(PASS_THROUGH_HEADER);

inline constexpr BYTE SCSI_IOCTL_DATA_OUT = 0;
inline constexpr BYTE SCSI_IOCTL_DATA_IN = 1;
inline constexpr BYTE SCSI_IOCTL_DATA_UNSPECIFIED = 2;

} // namespace qv
