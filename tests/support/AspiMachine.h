// Windows 95/98 machines with an installed ASPI manager, and how long a test waits for what the
// manager's thread does.
#pragma once

#include "tests/support/SimFixture.h"

#include <chrono>

namespace qv::test {

// Long enough for any chain under a sanitizer; a test that passes never waits it out.
inline constexpr std::chrono::milliseconds THREAD_WAIT_LIMIT{30000};

inline sim::SimDriveConfig AspiCdrom(const char* pszRoot, int nAdapter, int nTarget,
                                     sim::SimCdromConfig cdrom = {}) {
    cdrom.aspi = sim::SimAspiAddress{nAdapter, nTarget};
    return Cdrom(pszRoot, std::move(cdrom));
}

// C: a hard disk, the given drives, and one host adapter per entry of aAdapterTargets (byte 3
// of its HA_Unique).
inline sim::SimMachineConfig AspiMachine(std::vector<sim::SimDriveConfig> aCdroms,
                                         std::vector<int> aAdapterTargets = {0}) {
    sim::SimMachineConfig machine;
    machine.platform = sim::SimPlatform::Win9x;
    machine.aspi.bInstalled = true;
    machine.aspi.aAdapterTargets = std::move(aAdapterTargets);
    machine.aDrives.push_back(Volume("C:\\", DRIVETYPE_FIXED));
    for (auto& drive : aCdroms)
        machine.aDrives.push_back(std::move(drive));
    return machine;
}

} // namespace qv::test
