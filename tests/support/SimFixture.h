// A simulated machine with an event recorder, and the platform bundle that hands them down.
#pragma once

#include "device/CDRom.h"
#include "platform/Platform.h"
#include "sim/SimMachine.h"
#include "tests/support/RecordingEvents.h"

#include <memory>

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
        : m_machine(std::move(config)), m_platform{m_machine, m_events} {
        CCDRom::ResetTransport();
    }
    ~CSimFixture() { CCDRom::ResetTransport(); }

    sim::CSimMachine& Machine() { return m_machine; }
    CRecordingEvents& Events() { return m_events; }
    const CPlatform& Platform() const { return m_platform; }

private:
    sim::CSimMachine m_machine;
    CRecordingEvents m_events;
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
