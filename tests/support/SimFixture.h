// A simulated machine with an event recorder, and the platform bundle that hands them down; the
// machines the tests build, and how long a test waits for what their threads do.
#pragma once

#include "device/CDRom.h"
#include "platform/Platform.h"
#include "sim/SimMachine.h"
#include "tests/support/FakeShell.h"
#include "tests/support/MemoryRegistry.h"
#include "tests/support/RecordingEvents.h"

#include <chrono>
#include <memory>
#include <vector>

namespace qv::test {

// Long enough for any chain under a sanitizer; a test that passes never waits it out.
inline constexpr std::chrono::milliseconds THREAD_WAIT_LIMIT{30000};

inline sim::SimDriveConfig Cdrom(const char* pszRoot, sim::SimCdromConfig cdrom = {}) {
    sim::SimDriveConfig drive;
    drive.strRoot = pszRoot;
    drive.nType = DRIVETYPE_CDROM;
    drive.cdrom = std::move(cdrom);
    return drive;
}

inline sim::SimDriveConfig Volume(const char* pszRoot, unsigned nType) {
    sim::SimDriveConfig drive;
    drive.strRoot = pszRoot;
    drive.nType = nType;
    return drive;
}

class CSimFixture {
public:
    explicit CSimFixture(sim::SimMachineConfig config)
        : m_machine(std::move(config)), m_platform{.drives = m_machine,
                                                   .events = m_events,
                                                   .registry = m_registry,
                                                   .shell = m_shell,
                                                   .aspi = m_machine.Aspi(),
                                                   .dwPlatformId = m_machine.Platform() ==
                                                                           sim::SimPlatform::Win9x
                                                                       ? PLATFORM_WIN32_WINDOWS
                                                                       : PLATFORM_WIN32_NT} {}

    sim::CSimMachine& Machine() { return m_machine; }
    CRecordingEvents& Events() { return m_events; }
    CMemoryRegistry& Registry() { return m_registry; }
    CFakeShell& Shell() { return m_shell; }
    const CPlatform& Platform() const { return m_platform; }
    // The same services with another drive service in front of the machine.
    CPlatform WithDrives(CDriveService& drives) const {
        return {.drives = drives,
                .events = m_platform.events,
                .registry = m_platform.registry,
                .shell = m_platform.shell,
                .aspi = m_platform.aspi,
                .registryRoot = m_platform.registryRoot,
                .dwPlatformId = m_platform.dwPlatformId};
    }

private:
    sim::CSimMachine m_machine;
    CRecordingEvents m_events;
    CMemoryRegistry m_registry;
    CFakeShell m_shell;
    CPlatform m_platform;
};

// C: a hard disk that answers the address query, plus the given CD-ROM drives.
inline sim::SimMachineConfig NtMachine(std::vector<sim::SimDriveConfig> aCdroms) {
    sim::SimMachineConfig machine;
    machine.aDrives.push_back(Volume("C:\\", DRIVETYPE_FIXED));
    for (auto& drive : aCdroms)
        machine.aDrives.push_back(std::move(drive));
    return machine;
}

inline sim::SimMachineConfig Win9xMachine(std::vector<sim::SimDriveConfig> aCdroms) {
    auto machine = NtMachine(std::move(aCdroms));
    machine.platform = sim::SimPlatform::Win9x;
    return machine;
}

inline sim::SimDriveConfig AspiCdrom(const char* pszRoot, int nAdapter, int nTarget,
                                     sim::SimCdromConfig cdrom = {}) {
    cdrom.aspi = sim::SimAspiAddress{nAdapter, nTarget};
    return Cdrom(pszRoot, std::move(cdrom));
}

// Windows 95/98 with an ASPI manager of one host adapter per entry of aAdapterTargets (byte 3 of
// its HA_Unique).
inline sim::SimMachineConfig AspiMachine(std::vector<sim::SimDriveConfig> aCdroms,
                                         std::vector<int> aAdapterTargets = {0}) {
    auto machine = Win9xMachine(std::move(aCdroms));
    machine.aspi.bInstalled = true;
    machine.aspi.aAdapterTargets = std::move(aAdapterTargets);
    return machine;
}

} // namespace qv::test
