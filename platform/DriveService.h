// Drives and device I/O: the calls the drive code makes of the OS, shaped like their Win32
// namesakes so that the callers read like the Windows program they are.
#pragma once

#include "platform/Types.h"

#include <string>

namespace qv {

// GetDriveTypeA results.
enum : unsigned {
    DRIVETYPE_UNKNOWN = 0,
    DRIVETYPE_NO_ROOT_DIR = 1,
    DRIVETYPE_REMOVABLE = 2,
    DRIVETYPE_FIXED = 3,
    DRIVETYPE_REMOTE = 4,
    DRIVETYPE_CDROM = 5,
    DRIVETYPE_RAMDISK = 6,
};

// CreateFileA arguments.
enum : DWORD {
    ACCESS_GENERIC_READ = 0x80000000u,
    ACCESS_GENERIC_WRITE = 0x40000000u,
    SHARE_READ = 0x1,
    SHARE_WRITE = 0x2,
    CREATION_OPEN_EXISTING = 3,
    FLAG_DELETE_ON_CLOSE = 0x04000000u,
};

// I/O control codes of the NT storage stack.
enum : DWORD {
    CTL_SCSI_GET_ADDRESS = 0x00041018,
    CTL_SCSI_PASS_THROUGH = 0x0004D004,
    CTL_STORAGE_MEDIA_REMOVAL = 0x002D4804,
    CTL_STORAGE_EJECT_MEDIA = 0x002D4808,
    CTL_STORAGE_LOAD_MEDIA = 0x002D480C,
};

// The VWIN32 device of Windows 95/98 and its DOS I/O control call.
inline constexpr const char* VWIN32_DEVICE_PATH = "\\\\.\\vwin32";
inline constexpr DWORD VWIN32_DIOC_DOS_IOCTL = 1;

// The register block of a VWIN32 call, input and output; bit 0 of reg_Flags is the carry flag.
struct DIOC_REGISTERS {
    DWORD reg_EBX;
    DWORD reg_EDX;
    DWORD reg_ECX;
    DWORD reg_EAX;
    DWORD reg_EDI;
    DWORD reg_ESI;
    DWORD reg_Flags;
};
static_assert(sizeof(DIOC_REGISTERS) == 28);
inline constexpr DWORD DIOC_CARRY_FLAG = 0x1;

class CDriveService {
public:
    virtual ~CDriveService() = default;

    // Fills pBuffer with "X:\\\0" root paths ended by an empty string; returns the length
    // without the final zero, the length needed when it exceeds nBufferLength, 0 on failure.
    virtual DWORD GetLogicalDriveStrings(DWORD nBufferLength, char* pBuffer) = 0;
    virtual unsigned GetDriveType(const std::string& strRoot) = 0;
    virtual DeviceHandle CreateFile(const std::string& strPath, DWORD dwAccess, DWORD dwShare,
                                    DWORD dwCreation, DWORD dwFlags) = 0;
    virtual bool DeviceIoControl(DeviceHandle hDevice, DWORD dwCode, void* pIn, DWORD nInSize,
                                 void* pOut, DWORD nOutSize, DWORD* pnReturned) = 0;
    virtual bool CloseHandle(DeviceHandle hDevice) = 0;
    // DeviceIoControl on a VWIN32 handle with the register block as input and output. A DOS call
    // that takes an address gets pParams in EDX from the OS side: a pointer does not fit the
    // 32-bit register in every process that compiles this code.
    virtual bool Vwin32DeviceIoControl(DeviceHandle hVwin32, DWORD dwCode, DIOC_REGISTERS& regs,
                                       void* pParams) = 0;
};

} // namespace qv
