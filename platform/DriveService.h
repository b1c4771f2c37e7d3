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
};

// I/O control codes of the NT storage stack.
enum : DWORD {
    CTL_SCSI_GET_ADDRESS = 0x00041018,
    CTL_SCSI_PASS_THROUGH = 0x0004D004,
};

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
};

} // namespace qv
