// A simulated machine with an event recorder, and the platform bundle that hands them down.
#pragma once

#include "device/CDRom.h"
#include "platform/Platform.h"
#include "sim/SimMachine.h"
#include "tests/support/FakeShell.h"
#include "tests/support/MemoryRegistry.h"
#include "tests/support/RecordingEvents.h"

#include <memory>
#include <vector>

namespace qv::test {

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

} // namespace qv::test
