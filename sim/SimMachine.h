// A simulated machine behind the drive service: its logical drives, the volumes' device paths
// and the SCSI pass-through I/O control, which checks each request block as the NT port driver
// does before the MMC drive behind the volume answers it.
#pragma once

#include "platform/DriveService.h"
#include "sim/SimConfig.h"
#include "sim/SimMmcDrive.h"

#include <map>
#include <memory>
#include <mutex>
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

    SimPlatform Platform() const { return m_platform; }
    // The MMC drive behind a drive letter, or null when the letter is no CD-ROM drive.
    CSimMmcDrive* Drive(char cLetter) const;
    // Every device path opened so far, in order, and how many handles are still open.
    std::vector<std::string> OpenedPaths() const;
    int OpenHandleCount() const;

private:
    struct Volume {
        SimDriveConfig config;
        std::unique_ptr<CSimMmcDrive> pDrive;
    };
    const Volume* FindVolume(char cLetter) const;
    const Volume* VolumeOf(DeviceHandle hDevice) const;
    bool PassThrough(const Volume& volume, void* pIn, DWORD nInSize, void* pOut, DWORD nOutSize,
                     DWORD* pnReturned);

    SimPlatform m_platform;
    std::vector<Volume> m_aVolumes; // drive-letter order
    mutable std::mutex m_lock;
    std::map<DeviceHandle, char> m_mapHandles;
    DeviceHandle m_hNext = 0x100;
    std::vector<std::string> m_aOpened;
};

} // namespace qv::sim
