// A simulated machine with an event recorder standing in for the main window, and the platform
// bundle that hands them down; the machines the tests build, and how long a test waits for what
// their threads do.
#pragma once

#include "device/CDRom.h"
#include "platform/EventService.h"
#include "platform/Platform.h"
#include "sim/SimMachine.h"
#include "tests/support/FakeShell.h"
#include "tests/support/MemoryRegistry.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace qv::test {

// Long enough for any chain under a sanitizer; a test that passes never waits it out.
inline constexpr std::chrono::milliseconds THREAD_WAIT_LIMIT{30000};

// Whether done() holds within the limit: a fault that never lets it hold fails the test, not CI.
template <class Predicate> bool Eventually(Predicate done) {
    const auto deadline = std::chrono::steady_clock::now() + THREAD_WAIT_LIMIT;
    while (!done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return done();
}

struct PostedEvent {
    int nEvent;
    int nStatus;
    std::intptr_t lDevice;
    bool operator==(const PostedEvent&) const = default;
};

// Stands in for the main window: keeps every device event posted to it.
class CRecordingEvents : public CEventService {
public:
    void PostDeviceEvent(std::uintptr_t wParam, std::intptr_t lParam) override {
        std::lock_guard lock(m_lock);
        m_aEvents.push_back(
            {static_cast<int>(wParam & 0xFFFF), static_cast<int>(wParam >> 16), lParam});
        if (onPost)
            onPost();
        m_cvPosted.notify_all();
    }
    // Whether the device has been sent the event by the end of the limit, for events posted on
    // another thread.
    bool WaitFor(int nEvent, const void* pDevice, std::chrono::milliseconds limit) {
        std::unique_lock lock(m_lock);
        return m_cvPosted.wait_for(lock, limit, [&] {
            return std::any_of(m_aEvents.begin(), m_aEvents.end(), [&](const PostedEvent& event) {
                return event.nEvent == nEvent &&
                       event.lDevice == reinterpret_cast<std::intptr_t>(pDevice);
            });
        });
    }
    std::vector<PostedEvent> Events() const {
        std::lock_guard lock(m_lock);
        return m_aEvents;
    }
    std::vector<int> Codes(const void* pDevice = nullptr) const {
        std::vector<int> aCodes;
        for (const auto& event : Events())
            if (!pDevice || event.lDevice == reinterpret_cast<std::intptr_t>(pDevice))
                aCodes.push_back(event.nEvent);
        return aCodes;
    }
    void Clear() {
        std::lock_guard lock(m_lock);
        m_aEvents.clear();
    }

    // Called as each event goes out, on the thread that posts it; set before any is posted.
    std::function<void()> onPost;

private:
    mutable std::mutex m_lock;
    std::condition_variable m_cvPosted;
    std::vector<PostedEvent> m_aEvents;
};

// The speed in x that a set-speed command block asks for; 0 for the maximum.
inline int SpeedAsked(const BYTE* pCdb) {
    const int nRate = ReadBigEndian16(pCdb + 2);
    return nRate == SET_SPEED_MAXIMUM ? 0 : nRate / KBPS_PER_X_REQUESTED;
}

inline sim::SimDriveConfig Volume(const char* pszRoot, unsigned nType) {
    return {.strRoot = pszRoot, .nType = nType, .cdrom = std::nullopt};
}

inline sim::SimDriveConfig Cdrom(const char* pszRoot, sim::SimCdromConfig cdrom = {}) {
    return {.strRoot = pszRoot, .nType = DRIVETYPE_CDROM, .cdrom = std::move(cdrom)};
}

class CSimFixture {
public:
    explicit CSimFixture(sim::SimMachineConfig config)
        : m_machine(std::move(config)), m_platform{m_machine, m_events, m_registry, m_shell,
                                                   m_machine.Aspi()} {
        const bool bWin9x = m_machine.Platform() == sim::SimPlatform::Win9x;
        m_platform.dwPlatformId = m_shell.m_dwPlatformId =
            bWin9x ? PLATFORM_WIN32_WINDOWS : PLATFORM_WIN32_NT;
    }

    sim::CSimMachine& Machine() { return m_machine; }
    CRecordingEvents& Events() { return m_events; }
    CMemoryRegistry& Registry() { return m_registry; }
    CFakeShell& Shell() { return m_shell; }
    const CPlatform& Platform() const { return m_platform; }
    // The same services with another drive service, and ASPI manager, in front of the machine.
    CPlatform WithDrives(CDriveService& drives, CAspiService* pAspi = nullptr) const {
        return {.drives = drives,
                .events = m_platform.events,
                .registry = m_platform.registry,
                .shell = m_platform.shell,
                .aspi = pAspi ? *pAspi : m_platform.aspi,
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

inline sim::SimDriveConfig AspiCdrom(const char* pszRoot, int nAdapter, int nTarget,
                                     sim::SimCdromConfig cdrom = {}) {
    cdrom.aspi = sim::SimAspiAddress{nAdapter, nTarget};
    return Cdrom(pszRoot, std::move(cdrom));
}

// Windows 95/98 with an ASPI manager of one host adapter per entry of aAdapterTargets (byte 3 of
// its HA_Unique).
inline sim::SimMachineConfig AspiMachine(std::vector<sim::SimDriveConfig> aCdroms,
                                         std::vector<int> aAdapterTargets = {0}) {
    auto machine = NtMachine(std::move(aCdroms));
    machine.platform = sim::SimPlatform::Win9x;
    machine.aspi.bInstalled = true;
    machine.aspi.aAdapterTargets = std::move(aAdapterTargets);
    return machine;
}

} // namespace qv::test
