// Registry values planted from fuzz bytes, of every type and length, under the names the program
// reads back: the per-drive values the drive list loads, and the application's own. Whatever was
// planted, each property checked below holds.
#include "app/Quorvex.h"
#include "device/CDRomList.h"
#include "device/DriveSettings.h"
#include "fuzz/FuzzInput.h"
#include "fuzz/InlinePassThrough.h"
#include "tests/support/SimFixture.h"
#include "tests/support/StandInUpdate.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace qv::fuzz {
namespace {

constexpr const char* VALUE_NAMES[] = {
    "Keep_Speed",  "RunOnboot", "ExePath",     "E: Model", "E: Speed",
    "E: Detected", "F: Model",  "f: detected", "F: Speed", "Quorvex",
};
// Longer than any value name the program copies.
constexpr std::size_t LONG_NAME_SIZE = 300;
constexpr DWORD VALUE_TYPES[] = {REGTYPE_SZ, REGTYPE_BINARY, REGTYPE_DWORD};
// Past the longest value the program reads or copies.
constexpr WORD MAX_VALUE_SIZE = 2100;
constexpr WORD MAX_EXE_PATH = 600;

class CStandInDialog : public CMainDialogRunner {
public:
    void RunModal(CQuorvexApp&) override {}
};

// Where a value goes: the user's or the machine's part, the program's key or the Run key, a name.
std::tuple<RegKey, const char*, std::string> PlaceOf(CFuzzInput& input) {
    const RegKey hRoot = input.Byte() & 1 ? REGKEY_LOCAL_MACHINE : REGKEY_CURRENT_USER;
    const char* pszKey = input.Byte() & 1 ? APP_RUN_KEY : SETTINGS_KEY;
    const std::size_t nIndex = input.Byte() % (std::size(VALUE_NAMES) + 1);
    return {hRoot, pszKey,
            nIndex < std::size(VALUE_NAMES) ? VALUE_NAMES[nIndex]
                                            : std::string(LONG_NAME_SIZE, 'N')};
}

// A drive's selected speed and speed list.
using LoadedValues = std::pair<int, std::vector<SPEED_ENTRY>>;

// A drive whose capabilities page tells nMaxSpeed and no current speed.
sim::SimDriveConfig Cdrom(const char* pszRoot, int nMaxSpeed) {
    return test::Cdrom(pszRoot,
                       {.nMaxRate = nMaxSpeed * KBPS_PER_X_REPORTED, .bAlwaysReportsZero = true});
}

std::unique_ptr<CCDRomList> FreshList(const CPlatform& platform, CTransport& transport) {
    auto pList = CCDRomList::Build(platform, &transport);
    pList->IdentifyAll();
    return pList;
}

std::vector<LoadedValues> ValuesOf(const CCDRomList& list) {
    std::vector<LoadedValues> aValues;
    for (int nIndex = 0; nIndex < list.GetCount(); ++nIndex) {
        const DRIVE_STATE state = list.GetAt(nIndex)->Snapshot();
        Check(state.nSelSpeed == 0 || (state.nSelSpeed >= 1 && state.nSelSpeed <= state.nMaxSpeed),
              "a loaded speed is one the drive can run at");
        for (const SPEED_ENTRY& entry : state.aSpeeds)
            Check(entry.nSpeed >= 1 && (state.nMaxSpeed <= 0 || entry.nSpeed <= state.nMaxSpeed),
                  "a loaded speed list holds only speeds the drive can run at");
        aValues.push_back({state.nSelSpeed, state.aSpeeds});
    }
    return aValues;
}

void LoadDriveValues(const std::vector<int>& aMax, test::CSimFixture& sim, bool bWritesFail) {
    const CPlatform& platform = sim.Platform();
    CInlinePassThrough transport(sim.Machine());
    const auto pLoadedAll = FreshList(platform, transport);
    pLoadedAll->LoadAll();
    const auto aLoaded = ValuesOf(*pLoadedAll);

    const auto pLoadedEach = FreshList(platform, transport);
    for (int nIndex = 0; nIndex < pLoadedEach->GetCount(); ++nIndex)
        LoadDriveSettings(platform, *pLoadedEach->GetAt(nIndex));
    Check(ValuesOf(*pLoadedEach) == aLoaded, "a drive loads the same values alone as in its list");

    // The first save may bring a planted list to light that the missing model hid, so only a
    // second round must give back what it stored; and only with a known top speed, since
    // without one a list's own last entry sets what the next load keeps.
    pLoadedAll->SaveAll();
    const auto pSaved = FreshList(platform, transport);
    pSaved->LoadAll();
    pSaved->SaveAll();
    const auto pReloaded = FreshList(platform, transport);
    pReloaded->LoadAll();
    const auto aSaved = ValuesOf(*pSaved);
    const auto aReloaded = ValuesOf(*pReloaded);
    for (std::size_t nIndex = 0; nIndex < aMax.size(); ++nIndex)
        Check(bWritesFail || aMax[nIndex] <= 0 || aReloaded[nIndex] == aSaved[nIndex],
              "what a save stores loads back the same");
    Check(sim.Registry().OpenKeyCount() == 0, "every registry key a drive opens is closed again");
}

} // namespace
} // namespace qv::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
    using namespace qv;
    fuzz::CFuzzInput input(pData, nSize);
    // One top speed for each of the two drives; one above 100x is not told.
    const std::vector<int> aMax{input.Byte(), input.Byte()};
    test::CSimFixture sim(
        test::NtMachine({fuzz::Cdrom("E:\\", aMax[0]), fuzz::Cdrom("F:\\", aMax[1])}));
    test::CMemoryRegistry& registry = sim.Registry();

    // Bits: the machine's part of the registry read-only; Keep Speed, Run on boot toggled.
    const BYTE nFlags = input.Byte();
    if (nFlags & 0x01)
        registry.RefuseMachineWrites();
    std::u16string strPath(input.Value<WORD>() % fuzz::MAX_EXE_PATH, u'\0');
    for (char16_t& c : strPath)
        c = input.Value<char16_t>();
    sim.Shell().SetExePath(std::move(strPath));
    for (int nValues = input.Byte() % 16; nValues > 0; --nValues) {
        const auto [hRoot, pszKey, strName] = fuzz::PlaceOf(input);
        const BYTE nType = input.Byte();
        const DWORD dwType =
            nType < std::size(fuzz::VALUE_TYPES) ? fuzz::VALUE_TYPES[nType] : nType;
        const std::string strData = input.Text(input.Value<WORD>() % fuzz::MAX_VALUE_SIZE);
        registry.Put(hRoot, pszKey, strName, {dwType, {strData.begin(), strData.end()}});
    }
    const int nFailures = input.Byte() % 4;
    for (int nFailure = 0; nFailure < nFailures; ++nFailure)
        std::apply([&](auto... place) { registry.FailSetValue(place...); }, fuzz::PlaceOf(input));

    // A planted "Last Update" may make the weekly check due; its worker may outlive this run, so
    // its services outlive every run, and it ends at its first step without touching the registry.
    static test::CStandInUpdate* const pUpdate = [] {
        auto* pServices = new test::CStandInUpdate;
        pServices->http.m_failingStep = test::HttpStep::Open;
        return pServices;
    }();
    fuzz::CStandInDialog dialog;
    CQuorvexApp app(sim.Platform(), dialog, pUpdate->services);
    if (nFlags & 0x02)
        app.ToggleKeepSpeed();
    if (nFlags & 0x04)
        app.ToggleRunOnBoot();
    fuzz::Check(registry.OpenKeyCount() == 0, "every registry key the application opens is closed");

    fuzz::LoadDriveValues(aMax, sim, nFailures > 0);
    return 0;
}
