// What a simulated machine is made of. A machine file (MachineFile.h) or a test fills these.
#pragma once

#include "platform/Types.h"

#include <cstddef>

#include <compare>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qv::sim {

// How much of what a machine received it remembers for the tests: a long-running demo keeps
// only the latest, so its memory stays flat.
inline constexpr std::size_t SIM_HISTORY_LIMIT = 256;

enum class SimPlatform { Nt, Win9x };
enum class SetSpeedMode { Accept, Ignore, Reject };

struct SimScsiAddress {
    int nPort = 1;
    int nPathId = 0;
    int nTargetId = 0;
    int nLun = 0;
};

// Where the ASPI manager reports a drive: host adapter number and target id (LUN 0).
struct SimAspiAddress {
    int nAdapter = 0;
    int nTarget = 0;
    auto operator<=>(const SimAspiAddress&) const = default;
};

// How a drive's tray answers the OS's tray controls.
struct SimTrayConfig {
    // Windows 95/98: media locks pending on the drive; a status request failing with this DOS
    // error (0 for none); unlock requests failing; the categories the volume requests accept;
    // volume locks refused.
    int nPendingLocks = 0;
    int nLockStatusError = 0;
    bool bUnlockMediaFails = false;
    std::vector<int> aVolumeCategories{0x48, 0x08};
    bool bVolumeLockFails = false;
    // NT family: the media-removal control refused.
    bool bMediaRemovalFails = false;
};

// An MMC CD-ROM drive: its INQUIRY data, its capabilities page and its speed behaviour.
struct SimCdromConfig {
    std::string strVendor = "QRVX";
    std::string strProduct = "CD-ROM";
    std::string strRevision = "1.00";
    std::string strVendorInfo;
    int nInquiryByte3 = 2;
    int nAdditionalLength = 91;
    bool bRemovable = true;
    bool bInquiryFails = false;
    SimScsiAddress address;
    std::vector<int> aSpeeds{4, 8, 16, 24, 32, 40}; // accepted read speeds in x, ascending
    int nCurrent = 40;                              // x
    std::map<int, int> mapRates;                    // x -> KB/s reported at that speed
    std::optional<int> nMaxRate;                    // KB/s of page bytes 8-9
    int nBlockDescriptorLength = 0;
    bool bModeSense6 = true;
    SetSpeedMode setSpeed = SetSpeedMode::Accept;
    bool bAlwaysReportsZero = false;
    int nLatencyMs = 0;
    // A drive that forgets a set speed: this long after the last speed change it runs at its
    // highest speed again (0: never), as drives do that some other program speeds up.
    int nRevertsAfterMs = 0;
    std::optional<SimAspiAddress> aspi; // none: the ASPI manager does not report the drive
    SimTrayConfig tray;
};

struct SimDriveConfig {
    std::string strRoot; // "E:\\"
    unsigned nType = 0;  // DRIVETYPE_*
    // The volume's device path opens (on the NT family) and answers the SCSI address query.
    bool bOpens = true;
    bool bAnswersAddress = true;
    // The port driver accepts SCSI pass-through requests on it.
    bool bPassThrough = true;
    std::optional<SimCdromConfig> cdrom;
};

enum class SimAspiOrder { Fifo, NewestFirst };

// The installed ASPI manager, if any.
struct SimAspiConfig {
    bool bInstalled = false;
    bool bEntryPoints = true;
    // One entry per host adapter: byte 3 of its HA_Unique, the targets it supports, 0 for 8.
    std::vector<int> aAdapterTargets;
    // What GetASPI32SupportInfo answers instead of the status and count the adapters give.
    std::optional<DWORD> nSupportInfo;
    bool bDiskInfoFails = false; // every SC_GET_DISK_INFO answered with SS_ERR
    // SCSI operation code -> the status SendASPI32Command returns for it instead of pending.
    std::map<int, int> mapRefusals;
    // SCSI operation code -> the SRB_Status a posted request for it completes with, without
    // reaching the drive, instead of the drive's outcome.
    std::map<int, int> mapCompletions;
    // Host adapter number -> the status SC_HA_INQUIRY answers for it instead of SS_COMP.
    std::map<int, int> mapAdapterFailures;
    int nCompletionDelayMs = 0;
    // Which of the waiting requests the manager's thread completes next.
    SimAspiOrder order = SimAspiOrder::Fifo;
};

struct SimMachineConfig {
    SimPlatform platform = SimPlatform::Nt;
    std::vector<SimDriveConfig> aDrives;
    SimAspiConfig aspi;
};

} // namespace qv::sim
