// Machine files from fuzz bytes: the parser accepts a file or names the field it rejects, and a
// machine it accepts runs the way the demo program runs it.
#include "device/CDRomList.h"
#include "fuzz/FuzzInput.h"
#include "sim/MachineFile.h"
#include "tests/support/SimFixture.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qv::fuzz {
namespace {

// A machine with more CD-ROM drives is parsed but not run, so that one input stays cheap.
constexpr std::ptrdiff_t MAX_RUN_CDROMS = 4;

void Run(sim::SimMachineConfig machine) {
    // The file's latencies only make a run slower; the order of events on the machine stays the
    // same without them.
    machine.aspi.nCompletionDelayMs = 0;
    for (auto& drive : machine.aDrives)
        if (drive.cdrom)
            drive.cdrom->nLatencyMs = 0;
    test::CSimFixture sim(std::move(machine));
    // The list goes before its transport, and both before the machine whose threads answer them.
    const auto pTransport = SelectTransport(sim.Platform());
    auto pList = CCDRomList::Build(sim.Platform(), pTransport.get());
    pList->IdentifyAll();
    Check(pList->WaitForIdentification(test::THREAD_WAIT_LIMIT), "every identification chain ends");
    for (int nIndex = 0; nIndex < pList->GetCount(); ++nIndex) {
        CCDRom* pDevice = pList->GetAt(nIndex);
        if (!pDevice->IsUsable())
            continue;
        pDevice->DetectSpeeds();
        Check(sim.Events().WaitFor(RQ_DETECT_DONE, pDevice, test::THREAD_WAIT_LIMIT),
              "every speed detection ends");
        // The set-speed that restores the former speed may still be on its way.
        Check(sim.Machine().Aspi().WaitUntilDrained(test::THREAD_WAIT_LIMIT),
              "the ASPI manager completes every request");
        Check(pTransport->WaitIdle(test::THREAD_WAIT_LIMIT), "every request is answered");
    }
    pList->SaveAll();
    pList->LoadAll();
    Check(sim.Registry().OpenKeyCount() == 0, "every registry key opened is closed again");
    pList.reset();
    Check(sim.Machine().OpenHandleCount() == 0, "every device handle opened is closed again");
}

} // namespace
} // namespace qv::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
    using namespace qv;
    sim::SimMachineConfig machine;
    try {
        machine = sim::ParseMachine(std::string_view(reinterpret_cast<const char*>(pData), nSize));
    } catch (const sim::CMachineFileError& error) {
        fuzz::Check(!error.Field().empty(), "a rejected machine file names its field");
        return 0;
    }
    const auto HasCdrom = [](const sim::SimDriveConfig& drive) { return drive.cdrom.has_value(); };
    if (std::ranges::count_if(machine.aDrives, HasCdrom) <= fuzz::MAX_RUN_CDROMS)
        fuzz::Run(std::move(machine));
    return 0;
}
