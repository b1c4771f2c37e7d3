// A simulated machine behind the drive service: its logical drives, the volumes' device paths
// and the SCSI pass-through I/O control, which checks each request block as the NT port driver
// does before the MMC drive behind the volume answers it; the tray controls of both Windows
// families; and, when one is installed, an ASPI manager that reaches the same drives. Opens and
// I/O controls are checked the way the OS checks them for a user without administrative rights
// to whom the CD-ROM drives are allocated: a call that Windows would refuse fails here too.
#pragma once

#include "platform/DriveService.h"
#include "sim/SimAspiManager.h"
#include "sim/SimConfig.h"
#include "sim/SimMmcDrive.h"
#include "sim/SimTray.h"

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

namespace qv::sim {

class CSimMachine : public CDriveService {
public:
    explicit CSimMachine(SimMachineConfig config);
    ~CSimMachine() override;

    DWORD GetLogicalDriveStrings(DWORD nBufferLength, char* pBuffer) override;
    unsigned GetDriveType(const std::string& strRoot) override;
    DeviceHandle CreateFile(const std::string& strPath, DWORD dwAccess, DWORD dwShare,
                            DWORD dwCreation, DWORD dwFlags) override;
    bool DeviceIoControl(DeviceHandle hDevice, DWORD dwCode, void* pIn, DWORD nInSize, void* pOut,
                         DWORD nOutSize, DWORD* pnReturned) override;
    bool CloseHandle(DeviceHandle hDevice) override;
    // Windows 95/98 only: the DOS block-device calls, addressed by the drive number in BL.
    bool Vwin32DeviceIoControl(DeviceHandle hVwin32, DWORD dwCode, DIOC_REGISTERS& regs,
                               void* pParams) override;

    SimPlatform Platform() const { return m_platform; }
    // The MMC drive behind a drive letter, or null when the letter is no CD-ROM drive.
    CSimMmcDrive* Drive(char cLetter) const;
    // The tray of a CD-ROM drive, or null.
    CSimTray* Tray(char cLetter) const;
    CSimAspiManager& Aspi() { return *m_pAspi; }
    // Every device path opened so far, in order, and how many handles are still open.
    std::vector<std::string> OpenedPaths() const;
    int OpenHandleCount() const;

private:
    struct Volume {
        SimDriveConfig config;
        std::unique_ptr<CSimMmcDrive> pDrive;
        std::unique_ptr<CSimTray> pTray;
    };
    // An open volume handle: its drive letter and the access the open was granted, in the bits
    // of an I/O control code's access field.
    struct VolumeHandle {
        char cLetter;
        DWORD dwGranted;
    };
    const Volume* FindVolume(char cLetter) const;
    const Volume* VolumeOf(DeviceHandle hDevice, DWORD& dwGranted) const;
    bool PassThrough(const Volume& volume, void* pIn, DWORD nInSize, void* pOut, DWORD nOutSize,
                     DWORD* pnReturned);
    bool StorageControl(const Volume& volume, DWORD dwCode, const void* pIn, DWORD nInSize);

    SimPlatform m_platform;
    std::vector<Volume> m_aVolumes; // drive-letter order
    mutable std::mutex m_lock;
    std::map<DeviceHandle, VolumeHandle> m_mapHandles;
    std::set<DeviceHandle> m_setVwin32Handles;
    DeviceHandle m_hNext = 0x100;
    std::deque<std::string> m_aOpened;
    // Declared after the volumes: its thread stops before their drives go.
    std::unique_ptr<CSimAspiManager> m_pAspi;
};

} // namespace qv::sim
