// What a simulated machine is made of. A machine file (MachineFile.h) or a test fills these.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qv::sim {

enum class SimPlatform { Nt, Win9x };
enum class SetSpeedMode { Accept, Ignore, Reject };

struct SimScsiAddress {
    int nPort = 1;
    int nPathId = 0;
    int nTargetId = 0;
    int nLun = 0;
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
    int nCurrent = 40;                               // x
    std::map<int, int> mapRates;                     // x -> KB/s reported at that speed
    std::optional<int> nMaxRate;                     // KB/s of page bytes 8-9
    int nBlockDescriptorLength = 0;
    bool bModeSense6 = true;
    SetSpeedMode setSpeed = SetSpeedMode::Accept;
    bool bAlwaysReportsZero = false;
    int nLatencyMs = 0;
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

struct SimMachineConfig {
    SimPlatform platform = SimPlatform::Nt;
    std::vector<SimDriveConfig> aDrives;
};

} // namespace qv::sim
