// Replies from hostile drives through both transports: a drive service whose pass-through answers
// and an ASPI manager whose completions come from fuzz bytes (HostileDrives.h, HostileAspi.h). The
// first byte chooses the transport; the rest answer the calls in the order they are made, all on
// this thread, so that a run depends on its input alone. The drive list is identified, each usable
// drive's speeds are detected, a speed is set and kept, and the ASPI requests still held are
// completed, perhaps only once their devices have gone.
#include "device/AspiTransport.h"
#include "device/CDRomList.h"
#include "device/PassThroughTransport.h"
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

// The pass-through transport with each request carried on the caller's thread: the device's
// chains then run from completion to completion inside the call that started them.
class CInlinePassThrough : public CTransport {
public:
    explicit CInlinePassThrough(CDriveService& drives) : m_drives(drives) {}
    int Kind() const override { return TRANSPORT_IOCTL; }
    std::unique_ptr<CDriveLink> Connect(const std::string& strDrive, CCommandSink& sink) override {
        return std::make_unique<CLink>(m_drives, MakeDevicePath(strDrive), sink);
    }
    std::vector<bool> FindDrives(const std::vector<std::string>& aDrives) override {
        return std::vector<bool>(aDrives.size(), true);
    }
    bool WaitIdle(std::chrono::milliseconds) override { return true; }

private:
    class CLink : public CDriveLink {
    public:
        CLink(CDriveService& drives, std::string strPath, CCommandSink& sink)
            : m_drives(drives), m_strPath(std::move(strPath)), m_sink(sink) {}
        void Locate() override { LocatePassThrough(m_drives, m_strPath, m_sink); }
        void Send(const SCSI_TARGET& target, const COMMAND& command) override {
            CarryPassThrough(m_drives, m_strPath, target, command, m_sink);
        }

    private:
        CDriveService& m_drives;
        const std::string m_strPath;
        CCommandSink& m_sink;
    };
    CDriveService& m_drives;
};

bool Ended(const test::CRecordingEvents& events, const CCDRom* pDevice, int nEvent) {
    const auto aCodes = events.Codes(pDevice);
    return std::find(aCodes.begin(), aCodes.end(), nEvent) != aCodes.end();
}

void Run(CFuzzInput& input, const CPlatform& platform, CTransport& transport, CHostileAspi& aspi,
         const test::CRecordingEvents& events) {
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
        Check(Ended(events, pDevice, RQ_DETECT_DONE),
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
    if (bPassThrough) {
        fuzz::CInlinePassThrough transport(drives);
        fuzz::Run(input, platform, transport, aspi, events);
    } else if (CAspiTransport::LoadAspi(aspi)) {
        CAspiTransport transport(aspi);
        fuzz::Run(input, platform, transport, aspi, events);
    }
    fuzz::Check(drives.OpenHandleCount() == 0, "every device handle opened is closed again");
    fuzz::Check(CAspiTransport::PendingCount() == 0, "no ASPI request stays pending");
    return 0;
}
