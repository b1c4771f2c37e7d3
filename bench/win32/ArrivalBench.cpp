// How soon a drive gets its speed again once the system says a disc has arrived: from the
// broadcast sent to the window to the SET CD SPEED on the simulated drive's command log.
#include "bench/win32/BenchPrograms.h"
#include "bench/win32/Benchmarks.h"
#include "tests/e2e/win32/MainWindowDriver.h"
#include "tests/e2e/win32/ProgramUnderTest.h"

#include <dbt.h>

#include <algorithm>
#include <thread>

namespace qv::bench {

using namespace std::chrono_literals;

void BenchArrival(const BENCH_OPTIONS& options) {
    constexpr int SPEED = 16;
    e2e::ForgetProgramValues();
    const std::string strLog = e2e::WriteTempFile("qv_bench_arrival.log", "");
    e2e::CProcess process(e2e::Demo(), "", DemoEnvironment(strLog));
    const HWND hWnd = e2e::WaitForMainWindow(process.Id(), 30s);
    Require(hWnd && e2e::WaitUntil([&] { return !e2e::Slider(hWnd).aTicks.empty(); }, 30s),
            "the demo's window listed no drive with detected speeds");
    e2e::MoveSliderTo(hWnd, SPEED);
    e2e::Command(hWnd, ID_APPLY);
    const auto setsCount = [&] {
        const auto aLog = e2e::ReadCommandLog(strLog);
        return std::count_if(aLog.begin(), aLog.end(), [](const e2e::LOGGED_COMMAND& command) {
            return command.strCdb.rfind(e2e::SetSpeedCdbPrefix(SPEED), 0) == 0;
        });
    };
    Require(e2e::WaitUntil([&] { return setsCount() == 1; }, 10s), "Apply sent no SET CD SPEED");

    std::vector<Milliseconds> aTimes;
    for (int nArrival = 0; nArrival < std::min(options.nStarts * 2, 50); ++nArrival) {
        const auto nBefore = setsCount();
        DEV_BROADCAST_VOLUME volume{sizeof volume, DBT_DEVTYP_VOLUME, 0, 1u << ('E' - 'A'),
                                    DBTF_MEDIA};
        const auto start = std::chrono::steady_clock::now();
        ::SendMessageTimeoutA(hWnd, WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                              reinterpret_cast<LPARAM>(&volume), SMTO_NORMAL, 1000, nullptr);
        Require(e2e::WaitUntil([&] { return setsCount() > nBefore; }, 5s),
                "an arrival sent no SET CD SPEED");
        aTimes.push_back(std::chrono::steady_clock::now() - start);
    }
    std::printf("a disc arrives in a drive set to %dx (aim: well before the 5 s tick)\n", SPEED);
    PrintTimes("arrival to SET CD SPEED", aTimes);
    std::fflush(stdout);
    Close(process, hWnd);
    e2e::ForgetProgramValues();
}

} // namespace qv::bench
