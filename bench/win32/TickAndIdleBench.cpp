// Many keep-speed ticks sent straight to the real window, then the same window left alone: what
// the ticks leave behind, how many drive commands each costs, and what the window costs at rest.
#include "bench/win32/BenchPrograms.h"
#include "bench/win32/Benchmarks.h"
#include "bench/win32/ProcessFigures.h"
#include "tests/e2e/win32/MainWindowDriver.h"
#include "tests/e2e/win32/ProgramUnderTest.h"
#include "tests/e2e/win32/RegistryReader.h"

#include <algorithm>
#include <memory>
#include <thread>

namespace qv::bench {
namespace {

using namespace std::chrono_literals;

constexpr std::int64_t PRIVATE_GROWTH_BUDGET = 64 * 1024;
constexpr int KEPT_SPEED = 16;
constexpr const char* KEPT_SPEED_TEXT = "16x  (2816 Kb/s)";
constexpr auto READY_LIMIT = 30s;
// What was posted to the window before the figures are taken has been handled by then.
constexpr auto SETTLE_TIME = 1s;

bool KeepSpeedIsOn() {
    const auto value = e2e::ReadValue(HKEY_CURRENT_USER, e2e::APP_KEY, "Keep_Speed");
    return value && value->AsDword() != 0;
}

// The window with its drives listed and the first one's speeds detected.
HWND StartReadyWindow(const e2e::CProcess& process) {
    const HWND hWnd = e2e::WaitForMainWindow(process.Id(), READY_LIMIT);
    Require(hWnd != nullptr, "the demo showed no main window");
    Require(e2e::WaitUntil(
                [&] {
                    return ::IsWindowVisible(hWnd) && !e2e::ComboEntries(hWnd).empty() &&
                           !e2e::Slider(hWnd).aTicks.empty();
                },
                READY_LIMIT),
            "the demo's window listed no drive with detected speeds");
    return hWnd;
}

// Keep speed on, and a speed applied for it to keep.
void PrepareKeepSpeed(HWND hWnd, const std::string& strLog) {
    if (!KeepSpeedIsOn()) {
        e2e::Command(hWnd, ID_MENU_KEEP_SPEED);
        Require(e2e::WaitUntil(KeepSpeedIsOn, 10s), "keep speed did not turn on");
    }
    e2e::MoveSliderTo(hWnd, KEPT_SPEED);
    Require(e2e::WaitUntil([&] { return e2e::ControlText(hWnd, IDC_SEL_SPEED) == KEPT_SPEED_TEXT; },
                           10s),
            "the slider did not move to the kept speed");
    const std::size_t nMark = e2e::ReadCommandLog(strLog).size();
    e2e::Command(hWnd, ID_APPLY);
    Require(e2e::WaitUntil(
                [&] {
                    const auto aLog = e2e::ReadCommandLog(strLog);
                    return std::any_of(aLog.begin() + static_cast<std::ptrdiff_t>(nMark),
                                       aLog.end(), [](const e2e::LOGGED_COMMAND& command) {
                                           return command.strCdb.rfind(
                                                      e2e::SetSpeedCdbPrefix(KEPT_SPEED), 0) == 0;
                                       });
                },
                10s),
            "Apply sent no SET CD SPEED");
    std::this_thread::sleep_for(SETTLE_TIME);
}

void SendTicks(HWND hWnd, int nTicks) {
    for (int nTick = 0; nTick < nTicks; ++nTick)
        ::SendMessageA(hWnd, WM_TIMER, ID_KEEP_TIMER, 0);
}

std::int64_t Growth(const MEASURE& before, const MEASURE& after) {
    return static_cast<std::int64_t>(after.nValue) - static_cast<std::int64_t>(before.nValue);
}

// The bare dialog shows what the system itself costs a window of the same template: it ignores
// the ticks, and nothing wakes it.
struct BARE_DIALOG {
    std::unique_ptr<e2e::CProcess> pProcess;
    HWND hWnd;
};

BARE_DIALOG StartBareDialog() {
    BARE_DIALOG bare{std::make_unique<e2e::CProcess>(BesideDriver("qv_bench_bare_dialog.exe"), ""),
                     nullptr};
    Require(e2e::WaitUntil(
                [&] {
                    bare.hWnd = e2e::FindMainWindow(bare.pProcess->Id());
                    return bare.hWnd && ::IsWindowVisible(bare.hWnd);
                },
                READY_LIMIT),
            "the bare dialog showed no window");
    return bare;
}

std::int64_t BareDialogGrowth(int nTicks) {
    BARE_DIALOG bare = StartBareDialog();
    const CProcessProbe probe(bare.pProcess->Id());
    const MEASURE before = probe.PrivateBytes();
    SendTicks(bare.hWnd, nTicks);
    const MEASURE after = probe.PrivateBytes();
    Close(*bare.pProcess, bare.hWnd);
    return Growth(before, after);
}

struct TICK_FIGURES {
    MEASURE userObjects;
    std::optional<MEASURE> gdiObjects;
    MEASURE privateBytes;
    std::size_t nLoggedCommands;
};

TICK_FIGURES TakeFigures(const CProcessProbe& probe, const std::string& strLog) {
    return {probe.UserObjects(), probe.GdiObjects(), probe.PrivateBytes(),
            e2e::ReadCommandLog(strLog).size()};
}

void PrintObjects(const char* pszName, const std::optional<MEASURE>& before,
                  const std::optional<MEASURE>& after) {
    if (!before || !after) {
        std::printf("  %-22s not counted here\n", pszName);
        return;
    }
    std::printf("  %-22s %6llu -> %-6llu   aim unchanged: %s\n", pszName,
                static_cast<unsigned long long>(before->nValue),
                static_cast<unsigned long long>(after->nValue),
                Verdict(before->nValue == after->nValue));
    std::printf("  %-22s   (%s)\n", "", after->pszHow);
}

void BenchTicks(const BENCH_OPTIONS& options, HWND hWnd, const CProcessProbe& probe,
                const std::string& strLog, std::int64_t nBareGrowth) {
    std::printf("keep-speed ticks: %d sent as WM_TIMER %d to the main window "
                "(keep speed on, %dx applied)\n",
                options.nTicks, ID_KEEP_TIMER, KEPT_SPEED);
    std::fflush(stdout);
    const TICK_FIGURES before = TakeFigures(probe, strLog);
    const auto start = std::chrono::steady_clock::now();
    SendTicks(hWnd, options.nTicks);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    Require(::IsWindow(hWnd) != FALSE, "the window went away during the ticks");
    const TICK_FIGURES after = TakeFigures(probe, strLog);

    PrintObjects("USER objects", before.userObjects, after.userObjects);
    PrintObjects("GDI objects", before.gdiObjects, after.gdiObjects);
    const std::int64_t nGrowth = Growth(before.privateBytes, after.privateBytes);
    std::printf("  %-22s %+.1f KiB (%llu -> %llu)   aim < 64 KiB: %s\n", "private bytes growth",
                static_cast<double>(nGrowth) / 1024.0,
                static_cast<unsigned long long>(before.privateBytes.nValue),
                static_cast<unsigned long long>(after.privateBytes.nValue),
                Verdict(nGrowth < PRIVATE_GROWTH_BUDGET));
    std::printf("  %-22s   (%s)\n", "", after.privateBytes.pszHow);
    std::printf("  %-22s %+.1f KiB for the bare dialog sent the same messages\n", "",
                static_cast<double>(nBareGrowth) / 1024.0);
    const std::size_t nCommands = after.nLoggedCommands - before.nLoggedCommands;
    std::printf("  %-22s %.4f (%zu commands logged; the window's own 5 s timer ran as well)\n",
                "commands per tick", static_cast<double>(nCommands) / options.nTicks, nCommands);
    std::printf("  %-22s %.1f s (%.3f ms per tick)\n", "time for the ticks", elapsed.count(),
                elapsed.count() * 1000.0 / options.nTicks);
    std::fflush(stdout);
}

double CpuMilliseconds(const MEASURE& before, const MEASURE& after) {
    return static_cast<double>(static_cast<std::int64_t>(after.nValue - before.nValue)) / 1000.0;
}

// The bare dialog rests beside the window over the same time.
void BenchIdle(const BENCH_OPTIONS& options, const CProcessProbe& probe,
               const std::string& strLog) {
    std::printf("idle: the same window left alone for %lld s\n",
                static_cast<long long>(options.idle.count()));
    std::fflush(stdout);
    BARE_DIALOG bare = StartBareDialog();
    const CProcessProbe bareProbe(bare.pProcess->Id());
    std::this_thread::sleep_for(SETTLE_TIME);
    const MEASURE cpuBefore = probe.CpuTime();
    const MEASURE bareCpuBefore = bareProbe.CpuTime();
    const std::size_t nLinesBefore = e2e::ReadCommandLog(strLog).size();
    std::this_thread::sleep_for(options.idle);
    const MEASURE cpuAfter = probe.CpuTime();
    const MEASURE bareCpuAfter = bareProbe.CpuTime();
    const std::size_t nCommands = e2e::ReadCommandLog(strLog).size() - nLinesBefore;
    Close(*bare.pProcess, bare.hWnd);

    const double dCpuMs = CpuMilliseconds(cpuBefore, cpuAfter);
    std::printf("  %-22s %.1f ms (%.3f %% of one core)\n", "CPU time", dCpuMs,
                dCpuMs / 10.0 / static_cast<double>(options.idle.count()));
    std::printf("  %-22s   (%s)\n", "", cpuAfter.pszHow);
    std::printf("  %-22s %.1f ms for the bare dialog over the same time\n", "",
                CpuMilliseconds(bareCpuBefore, bareCpuAfter));
    std::printf(
        "  %-22s %zu (about %lld keep-speed ticks due; aim: only that tick wakes it)\n",
        "commands logged", nCommands,
        static_cast<long long>(options.idle / std::chrono::milliseconds(KEEP_TIMER_PERIOD_MS)));
    std::fflush(stdout);
}

} // namespace

void BenchTicksThenIdle(const BENCH_OPTIONS& options) {
    const std::int64_t nBareGrowth = BareDialogGrowth(options.nTicks);
    e2e::ForgetProgramValues();
    const std::string strLog = e2e::WriteTempFile("qv_bench_commands.log", "");
    e2e::CProcess process(e2e::Demo(), "", DemoEnvironment(strLog));
    const HWND hWnd = StartReadyWindow(process);
    const CProcessProbe probe(process.Id());
    PrepareKeepSpeed(hWnd, strLog);
    BenchTicks(options, hWnd, probe, strLog, nBareGrowth);
    BenchIdle(options, probe, strLog);
    Close(process, hWnd);
    e2e::ForgetProgramValues();
}

} // namespace qv::bench
