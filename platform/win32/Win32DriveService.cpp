#include "platform/win32/Win32DriveService.h"

#include "platform/PassThroughLayout.h"

// After PassThroughLayout.h: <ntddscsi.h> defines SCSI_IOCTL_DATA_IN and its kin as macros, which
// would rewrite the portable constants of the same names.
#include "platform/win32/Win32.h"

#include <winioctl.h>

// Uses CTL_CODE of <winioctl.h> without including it.
#include <ntddscsi.h>

#include <cstddef>
#include <cstdint>

namespace qv::win32 {
namespace {

// The portable code builds the blocks that DeviceIoControl carries; they must be the very
// structures the port driver reads, field for field, in either bit width.
#define QV_SAME_FIELD(Ours, Theirs, Field)                                                         \
    static_assert(offsetof(Ours, Field) == offsetof(Theirs, Field) &&                              \
                  sizeof(Ours::Field) == sizeof(Theirs::Field))

static_assert(sizeof(PASS_THROUGH_HEADER) == sizeof(SCSI_PASS_THROUGH));
QV_SAME_FIELD(PASS_THROUGH_HEADER, SCSI_PASS_THROUGH, Length);
QV_SAME_FIELD(PASS_THROUGH_HEADER, SCSI_PASS_THROUGH, ScsiStatus);
QV_SAME_FIELD(PASS_THROUGH_HEADER, SCSI_PASS_THROUGH, PathId);
QV_SAME_FIELD(PASS_THROUGH_HEADER, SCSI_PASS_THROUGH, TargetId);
QV_SAME_FIELD(PASS_THROUGH_HEADER, SCSI_PASS_THROUGH, Lun);
QV_SAME_FIELD(PASS_THROUGH_HEADER, SCSI_PASS_THROUGH, CdbLength);
QV_SAME_FIELD(PASS_THROUGH_HEADER, SCSI_PASS_THROUGH, SenseInfoLength);
QV_SAME_FIELD(PASS_THROUGH_HEADER, SCSI_PASS_THROUGH, DataIn);
QV_SAME_FIELD(PASS_THROUGH_HEADER, SCSI_PASS_THROUGH, DataTransferLength);
QV_SAME_FIELD(PASS_THROUGH_HEADER, SCSI_PASS_THROUGH, TimeOutValue);
QV_SAME_FIELD(PASS_THROUGH_HEADER, SCSI_PASS_THROUGH, DataBufferOffset);
QV_SAME_FIELD(PASS_THROUGH_HEADER, SCSI_PASS_THROUGH, SenseInfoOffset);
QV_SAME_FIELD(PASS_THROUGH_HEADER, SCSI_PASS_THROUGH, Cdb);

static_assert(sizeof(SCSI_ADDRESS_RECORD) == sizeof(SCSI_ADDRESS));
QV_SAME_FIELD(SCSI_ADDRESS_RECORD, SCSI_ADDRESS, Length);
QV_SAME_FIELD(SCSI_ADDRESS_RECORD, SCSI_ADDRESS, PortNumber);
QV_SAME_FIELD(SCSI_ADDRESS_RECORD, SCSI_ADDRESS, PathId);
QV_SAME_FIELD(SCSI_ADDRESS_RECORD, SCSI_ADDRESS, TargetId);
QV_SAME_FIELD(SCSI_ADDRESS_RECORD, SCSI_ADDRESS, Lun);

#undef QV_SAME_FIELD

// The published 32-bit layouts, held against the SDK's own structures as well.
static_assert(sizeof(SCSI_PASS_THROUGH) == 44 || sizeof(void*) != 4);
static_assert(offsetof(SCSI_PASS_THROUGH, DataBufferOffset) == 20 || sizeof(void*) != 4);
static_assert(offsetof(SCSI_PASS_THROUGH, Cdb) == 28 || sizeof(void*) != 4);
static_assert(sizeof(SCSI_ADDRESS) == 8);

static_assert(CTL_SCSI_GET_ADDRESS == IOCTL_SCSI_GET_ADDRESS);
static_assert(CTL_SCSI_PASS_THROUGH == IOCTL_SCSI_PASS_THROUGH);
static_assert(CTL_STORAGE_MEDIA_REMOVAL == IOCTL_STORAGE_MEDIA_REMOVAL &&
              CTL_STORAGE_EJECT_MEDIA == IOCTL_STORAGE_EJECT_MEDIA &&
              CTL_STORAGE_LOAD_MEDIA == IOCTL_STORAGE_LOAD_MEDIA);
// The media-removal request carries its one flag as a single byte.
static_assert(sizeof(PREVENT_MEDIA_REMOVAL) == sizeof(BYTE));

static_assert(DRIVETYPE_UNKNOWN == DRIVE_UNKNOWN && DRIVETYPE_NO_ROOT_DIR == DRIVE_NO_ROOT_DIR &&
              DRIVETYPE_REMOVABLE == DRIVE_REMOVABLE && DRIVETYPE_FIXED == DRIVE_FIXED &&
              DRIVETYPE_REMOTE == DRIVE_REMOTE && DRIVETYPE_CDROM == DRIVE_CDROM &&
              DRIVETYPE_RAMDISK == DRIVE_RAMDISK);
static_assert(ACCESS_GENERIC_READ == GENERIC_READ && ACCESS_GENERIC_WRITE == GENERIC_WRITE &&
              SHARE_READ == FILE_SHARE_READ && SHARE_WRITE == FILE_SHARE_WRITE &&
              CREATION_OPEN_EXISTING == OPEN_EXISTING &&
              FLAG_DELETE_ON_CLOSE == FILE_FLAG_DELETE_ON_CLOSE);

static_assert(sizeof(DeviceHandle) == sizeof(HANDLE));

HANDLE ToHandle(DeviceHandle hDevice) {
    return reinterpret_cast<HANDLE>(hDevice);
}

DeviceHandle FromHandle(HANDLE hHandle) {
    return hHandle == INVALID_HANDLE_VALUE ? INVALID_DEVICE_HANDLE
                                           : reinterpret_cast<DeviceHandle>(hHandle);
}

} // namespace

DWORD CWin32DriveService::GetLogicalDriveStrings(DWORD nBufferLength, char* pBuffer) {
    return ::GetLogicalDriveStringsA(nBufferLength, pBuffer);
}

unsigned CWin32DriveService::GetDriveType(const std::string& strRoot) {
    return ::GetDriveTypeA(strRoot.c_str());
}

DeviceHandle CWin32DriveService::CreateFile(const std::string& strPath, DWORD dwAccess,
                                            DWORD dwShare, DWORD dwCreation, DWORD dwFlags) {
    return FromHandle(
        ::CreateFileA(strPath.c_str(), dwAccess, dwShare, nullptr, dwCreation, dwFlags, nullptr));
}

bool CWin32DriveService::DeviceIoControl(DeviceHandle hDevice, DWORD dwCode, void* pIn,
                                         DWORD nInSize, void* pOut, DWORD nOutSize,
                                         DWORD* pnReturned) {
    // A device that failed to open still sends its requests; the invalid handle's value is also
    // the current-process pseudo-handle, so it must never reach the kernel.
    if (hDevice == INVALID_DEVICE_HANDLE) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    // Without an OVERLAPPED record the kernel requires somewhere to write the count.
    ::DWORD nReturned = 0;
    const BOOL bDone = ::DeviceIoControl(ToHandle(hDevice), dwCode, pIn, nInSize, pOut, nOutSize,
                                         &nReturned, nullptr);
    if (pnReturned)
        *pnReturned = static_cast<DWORD>(nReturned);
    return bDone != FALSE;
}

bool CWin32DriveService::CloseHandle(DeviceHandle hDevice) {
    if (hDevice == INVALID_DEVICE_HANDLE)
        return false;
    return ::CloseHandle(ToHandle(hDevice)) != FALSE;
}

bool CWin32DriveService::Vwin32DeviceIoControl(DeviceHandle hVwin32, DWORD dwCode,
                                               DIOC_REGISTERS& regs, void* pParams) {
    if (pParams) {
        // The DOS call finds its parameter block through the 32-bit EDX; an address that does
        // not fit must not be cut short into some other address.
        const auto nParams = reinterpret_cast<std::uintptr_t>(pParams);
        if (nParams > UINT32_MAX) {
            ::SetLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
        regs.reg_EDX = static_cast<DWORD>(nParams);
    }
    return DeviceIoControl(hVwin32, dwCode, &regs, sizeof regs, &regs, sizeof regs, nullptr);
}

} // namespace qv::win32
