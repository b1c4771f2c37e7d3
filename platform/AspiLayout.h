// The request blocks of ASPI for Win32, packed to 1 byte as the published header packs them. The
// pointers of the SCSI command block make its layout differ between 32-bit processes, which the
// ASPI managers are built for, and 64-bit ones; both forms are pinned below. The other blocks
// hold no pointer and have one layout.
#pragma once

#include "platform/Types.h"

#include <cstddef>

namespace qv {

// Commands.
inline constexpr BYTE SC_HA_INQUIRY = 0x00;
inline constexpr BYTE SC_EXEC_SCSI_CMD = 0x02;
inline constexpr BYTE SC_GET_DISK_INFO = 0x06;
inline constexpr BYTE SC_GETSET_TIMEOUTS = 0x08;

// Request flags.
inline constexpr BYTE SRB_POSTING = 0x01;
inline constexpr BYTE SRB_DIR_IN = 0x08;
inline constexpr BYTE SRB_DIR_OUT = 0x10;

// Status values, of SRB_Status and of the manager's returns.
inline constexpr BYTE SS_PENDING = 0x00;
inline constexpr BYTE SS_COMP = 0x01;
inline constexpr BYTE SS_ERR = 0x04;
inline constexpr BYTE SS_INVALID_HA = 0x81;
inline constexpr BYTE SS_NO_DEVICE = 0x82;
inline constexpr BYTE SS_INVALID_SRB = 0xE0;
inline constexpr BYTE SS_NO_ADAPTERS = 0xE8;

inline constexpr BYTE ASPI_SENSE_LEN = 14;
inline constexpr BYTE ASPI_ALL = 0xFF; // every adapter, target or LUN
inline constexpr int ASPI_DEFAULT_TARGETS = 8;

// GetASPI32SupportInfo: bits 15-8 the status, bits 7-0 the number of host adapters.
inline BYTE SupportStatus(DWORD dwSupportInfo) {
    return static_cast<BYTE>(dwSupportInfo >> 8);
}
inline int SupportAdapters(DWORD dwSupportInfo) {
    return static_cast<int>(dwSupportInfo & 0xFF);
}

#pragma pack(push, 1)

struct SRB_ExecSCSICmd;
// The manager calls a post routine on its own thread with the completed block.
using ASPI_POST_PROC = void (*)(SRB_ExecSCSICmd* pSrb);

struct SRB_ExecSCSICmd {
    BYTE SRB_Cmd;
    BYTE SRB_Status;
    BYTE SRB_HaId;
    BYTE SRB_Flags;
    DWORD SRB_Hdr_Rsvd;
    BYTE SRB_Target;
    BYTE SRB_Lun;
    WORD SRB_Rsvd1;
    DWORD SRB_BufLen;
    BYTE* SRB_BufPointer;
    BYTE SRB_SenseLen;
    BYTE SRB_CDBLen;
    BYTE SRB_HaStat;
    BYTE SRB_TargStat;
    ASPI_POST_PROC SRB_PostProc;
    BYTE SRB_Rsvd2[20];
    BYTE CDBByte[16];
    BYTE SenseArea[ASPI_SENSE_LEN + 2];
};

// Offset of each member after the buffer pointer in a 32-bit and in a 64-bit process.
constexpr std::size_t AspiOffset(std::size_t n32, std::size_t n64) {
    return sizeof(void*) == 4 ? n32 : n64;
}
static_assert(offsetof(SRB_ExecSCSICmd, SRB_Target) == 8);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_BufLen) == 12);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_BufPointer) == 16);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_SenseLen) == AspiOffset(20, 24));
static_assert(offsetof(SRB_ExecSCSICmd, SRB_CDBLen) == AspiOffset(21, 25));
static_assert(offsetof(SRB_ExecSCSICmd, SRB_TargStat) == AspiOffset(23, 27));
static_assert(offsetof(SRB_ExecSCSICmd, SRB_PostProc) == AspiOffset(24, 28));
static_assert(offsetof(SRB_ExecSCSICmd, CDBByte) == AspiOffset(48, 56));
static_assert(offsetof(SRB_ExecSCSICmd, SenseArea) == AspiOffset(64, 72));
static_assert(sizeof(SRB_ExecSCSICmd) == AspiOffset(80, 88));

struct SRB_HAInquiry {
    BYTE SRB_Cmd;
    BYTE SRB_Status;
    BYTE SRB_HaId;
    BYTE SRB_Flags;
    DWORD SRB_Hdr_Rsvd;
    BYTE HA_Count;
    BYTE HA_SCSI_ID;
    BYTE HA_ManagerId[16];
    BYTE HA_Identifier[16];
    BYTE HA_Unique[16]; // byte 3: the number of targets the adapter supports, 0 for 8
    WORD HA_Rsvd1;
};

static_assert(offsetof(SRB_HAInquiry, HA_Unique) + 3 == 45);
static_assert(sizeof(SRB_HAInquiry) == 60);

struct SRB_GetDiskInfo {
    BYTE SRB_Cmd;
    BYTE SRB_Status;
    BYTE SRB_HaId;
    BYTE SRB_Flags;
    DWORD SRB_Hdr_Rsvd;
    BYTE SRB_Target;
    BYTE SRB_Lun;
    BYTE SRB_DriveFlags;
    BYTE SRB_Int13HDriveInfo; // for a CD-ROM drive, its letter counted from 0 for A
    BYTE SRB_Heads;
    BYTE SRB_Sectors;
    BYTE SRB_Rsvd1[50];
};

static_assert(offsetof(SRB_GetDiskInfo, SRB_Int13HDriveInfo) == 11);
static_assert(sizeof(SRB_GetDiskInfo) == 64);

// The 4-byte timeout sits at offset 10.
struct SRB_GetSetTimeouts {
    BYTE SRB_Cmd;
    BYTE SRB_Status;
    BYTE SRB_HaId;
    BYTE SRB_Flags;
    DWORD SRB_Hdr_Rsvd;
    BYTE SRB_Target;
    BYTE SRB_Lun;
    DWORD SRB_Timeout; // seconds
    BYTE SRB_Rsvd1[50];
};

static_assert(offsetof(SRB_GetSetTimeouts, SRB_Timeout) == 10);
static_assert(sizeof(SRB_GetSetTimeouts) == 64);

#pragma pack(pop)

} // namespace qv
