// Launch to visible main window, for the demo program and for a bare dialog of the same template.
// The two are started in turn, so that whatever else loads the machine falls on both alike.
#include "bench/win32/BenchPrograms.h"
#include "bench/win32/Benchmarks.h"
#include "tests/e2e/win32/MainWindowDriver.h"
#include "tests/e2e/win32/ProgramUnderTest.h"

#include <algorithm>
#include <stdexcept>
#include <thread>
#include <vector>

namespace qv::bench {
namespace {

using namespace std::chrono_literals;
constexpr double START_UP_RATIO_AIM = 1.5;
constexpr auto START_LIMIT = 30s;
// Short enough not to blur the figure, long enough to leave the processor to the program.
constexpr auto POLL_INTERVAL = 2ms;

struct PROGRAM_TO_START {
    const char* pszName;
    std::string strExe;
    // Done before each start.
    void (*pfnPrepare)();
};

Milliseconds TimeToVisibleWindow(const PROGRAM_TO_START& program) {
    program.pfnPrepare();
    // No command log to write.
    const auto environment = DemoEnvironment("");
    const auto start = std::chrono::steady_clock::now();
    e2e::CProcess process(program.strExe, "", environment);
    HWND hWnd = nullptr;
    for (;;) {
        hWnd = e2e::FindMainWindow(process.Id());
        if (hWnd && ::IsWindowVisible(hWnd))
            break;
        if (process.WaitForExit(0ms))
            throw std::runtime_error(std::string(program.pszName) + " ended without a window");
        if (std::chrono::steady_clock::now() - start > START_LIMIT)
            throw std::runtime_error(std::string(program.pszName) + " showed no window");
        std::this_thread::sleep_for(POLL_INTERVAL);
    }
    const Milliseconds elapsed = std::chrono::steady_clock::now() - start;
    Close(process, hWnd);
    return elapsed;
}

} // namespace

void BenchStartUp(const BENCH_OPTIONS& options) {
    const PROGRAM_TO_START bare{"qv_bench_bare_dialog.exe",
                                BesideDriver("qv_bench_bare_dialog.exe"), [] {}};
    // Every start finds the settings of a first start.
    const PROGRAM_TO_START demo{"quorvex-demo.exe", e2e::Demo(), e2e::ForgetProgramValues};
    std::printf("start-up: launch to visible main window, median of %d "
                "(after one unmeasured start of each)\n",
                options.nStarts);
    std::fflush(stdout);
    TimeToVisibleWindow(bare);
    TimeToVisibleWindow(demo);
    std::vector<Milliseconds> aBare, aDemo;
    for (int nStart = 0; nStart < options.nStarts; ++nStart) {
        aBare.push_back(TimeToVisibleWindow(bare));
        aDemo.push_back(TimeToVisibleWindow(demo));
    }
    PrintTimes(demo.pszName, aDemo);
    PrintTimes(bare.pszName, aBare);
    const double dRatio = Median(aDemo) / Median(aBare);
    std::printf("  %-26s %8.2f     aim <= %.1f: %s\n", "ratio", dRatio, START_UP_RATIO_AIM,
                Verdict(dRatio <= START_UP_RATIO_AIM));
    std::fflush(stdout);
}

} // namespace qv::bench
