// Replies from hostile drives through both transports: a drive service whose pass-through
// answers and an ASPI manager whose completions come from fuzz bytes (HostileDrives.h,
// HostileAspi.h). The first byte chooses the transport the probe finds; the rest answer the
// calls in the order they are made. The drive list is identified, each usable drive's speeds are
// detected and a speed is set, and the ASPI requests still held are completed, perhaps only once
// their devices have gone.
#include "device/CDRomASPI.h"
#include "device/CDRomList.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/HostileAspi.h"
#include "fuzz/HostileDrives.h"
#include "tests/support/FakeShell.h"
#include "tests/support/MemoryRegistry.h"
#include "tests/support/RecordingEvents.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv::fuzz {
namespace {

bool Ended(const test::CRecordingEvents& events, const CCDRom* pDevice, int nEvent) {
    const auto aCodes = events.Codes(pDevice);
    return std::find(aCodes.begin(), aCodes.end(), nEvent) != aCodes.end();
}

void Run(CFuzzInput& input, const CPlatform& platform, CHostileAspi& aspi,
         const test::CRecordingEvents& events) {
    CCDRom::SelectTransport(platform);
    auto pList = CCDRomList::Build(platform);
    pList->IdentifyAll();
    aspi.Drain();
    Check(pList->WaitForIdentification(std::chrono::milliseconds(0)),
          "every identification chain ends once every request is answered");

    std::vector<CCDRom*> apDetecting;
    for (int nIndex = 0; nIndex < pList->GetCount(); ++nIndex) {
        CCDRom* pDevice = pList->GetAt(nIndex);
        if (!pDevice->IsUsable())
            continue;
        pDevice->DetectSpeeds();
        apDetecting.push_back(pDevice);
        // Otherwise the next drive starts while this one is still detecting.
        if (input.Byte() & 1)
            aspi.Drain();
    }
    for (CCDRom* pDevice : apDetecting)
        pDevice->SetSpeed(input.Byte(), RQ_SET_SPEED);

    if (input.Byte() & 1) {
        pList.reset(); // the manager still holds requests of the devices that go
        aspi.Drain();
        return;
    }
    aspi.Drain();
    for (const CCDRom* pDevice : apDetecting)
        Check(Ended(events, pDevice, RQ_DETECT_DONE),
              "every speed detection ends once every request is answered");
}

} // namespace
} // namespace qv::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
    using namespace qv;
    // A going device does not wait for requests that only a later drain completes.
    CCDRomASPI::SetRetireWait(std::chrono::milliseconds(0));
    CCDRom::ResetTransport();

    fuzz::CFuzzInput input(pData, nSize);
    const bool bPassThrough = !(input.Byte() & 1);
    fuzz::CHostileDrives drives(input, bPassThrough);
    fuzz::CHostileAspi aspi(input);
    test::CRecordingEvents events;
    test::CMemoryRegistry registry;
    test::CFakeShell shell;
    const CPlatform platform{.drives = drives,
                             .events = events,
                             .registry = registry,
                             .shell = shell,
                             .aspi = aspi,
                             .dwPlatformId = PLATFORM_WIN32_NT};
    fuzz::Run(input, platform, aspi, events);

    fuzz::Check(drives.OpenHandleCount() == 0, "every device handle opened is closed again");
    fuzz::Check(CCDRomASPI::PendingCount() == 0, "no ASPI request stays pending");
    CCDRom::ResetTransport();
    return 0;
}
