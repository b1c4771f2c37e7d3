// Replies from hostile drives through both transports, the first byte choosing which; the rest
// answer the calls in the order they are made, all on this thread. The list is identified, each
// drive's speeds detected, set and kept, and the requests still held completed.
#include "device/AspiTransport.h"
#include "device/CDRomList.h"
#include "fuzz/FuzzInput.h"
#include "fuzz/HostileAspi.h"
#include "fuzz/HostileDrives.h"
#include "fuzz/InlinePassThrough.h"
#include "tests/support/SimFixture.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv::fuzz {
namespace {

void Run(CFuzzInput& input, const CPlatform& platform, CTransport& transport, CHostileAspi& aspi,
         test::CRecordingEvents& events) {
    auto pList = CCDRomList::Build(platform, &transport);
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
    for (CCDRom* pDevice : apDetecting) {
        pDevice->SetSpeed(input.Byte());
        pDevice->KeepSpeed(input.Byte());
    }

    if (input.Byte() & 1) {
        pList.reset(); // the manager still holds requests of the devices that go
        aspi.Drain();
        return;
    }
    aspi.Drain();
    for (const CCDRom* pDevice : apDetecting) {
        Check(events.WaitFor(RQ_DETECT_DONE, pDevice, std::chrono::milliseconds(0)),
              "every speed detection ends once every request is answered");
        Check(!pDevice->Snapshot().bBusy, "every chain ends once every request is answered");
        for (const SPEED_ENTRY& entry : pDevice->GetSpeeds())
            Check(entry.nSpeed >= 0 && entry.nSpeed <= MAX_SPEED_X, "a detected speed is a speed");
    }
}

} // namespace
} // namespace qv::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
    using namespace qv;
    // A going link does not wait for requests that only a later drain completes.
    CAspiTransport::SetRetireWait(std::chrono::milliseconds(0));

    fuzz::CFuzzInput input(pData, nSize);
    const bool bPassThrough = !(input.Byte() & 1);
    // E: and F: answer both ways: through their volumes, and as targets 0 and 1 of the manager.
    auto config = test::AspiMachine({test::AspiCdrom("E:\\", 0, 0), test::AspiCdrom("F:\\", 0, 1)});
    config.platform = sim::SimPlatform::Nt;
    test::CSimFixture sim(std::move(config));
    fuzz::CHostileDrives drives(input, sim.Machine());
    fuzz::CHostileAspi aspi(input, sim.Machine().Aspi());
    const CPlatform platform = sim.WithDrives(drives, &aspi);
    if (bPassThrough) {
        fuzz::CInlinePassThrough transport(drives);
        fuzz::Run(input, platform, transport, aspi, sim.Events());
    } else if (CAspiTransport::LoadAspi(aspi)) {
        CAspiTransport transport(aspi);
        fuzz::Run(input, platform, transport, aspi, sim.Events());
    }
    fuzz::Check(sim.Machine().OpenHandleCount() == 0, "every device handle opened is closed again");
    fuzz::Check(CAspiTransport::PendingCount() == 0, "no ASPI request stays pending");
    return 0;
}
