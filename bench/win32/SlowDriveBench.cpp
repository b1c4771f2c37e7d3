// A drive that takes a second for every command, identified and detected while the window is
// asked, over and over, to answer a message that does nothing: the longest the window keeps its
// caller waiting is the longest it spends on one message. Then the commands each detection step
// and each keep-speed tick cost.
#include "bench/win32/BenchPrograms.h"
#include "bench/win32/Benchmarks.h"
#include "tests/e2e/win32/MainWindowDriver.h"
#include "tests/e2e/win32/ProgramUnderTest.h"

#include <algorithm>
#include <thread>

namespace qv::bench {
namespace {

using namespace std::chrono_literals;

constexpr int LATENCY_MS = 1000;
constexpr auto ANSWER_BUDGET = 50ms;
constexpr const char* SLOW_MACHINE = R"({ "drives": [
    { "root": "C:\\", "type": "fixed" },
    { "root": "E:\\", "type": "cdrom", "speeds": [4, 8, 16, 24, 32, 40], "current": 40,
      "latencyMs": 1000 } ] })";

bool IsSetSpeedTo(const e2e::LOGGED_COMMAND& command, int nSpeed) {
    return command.strCdb.rfind(e2e::SetSpeedCdbPrefix(nSpeed), 0) == 0;
}

} // namespace

void BenchSlowDrive(const BENCH_OPTIONS& options) {
    e2e::ForgetProgramValues();
    const std::string strLog = e2e::WriteTempFile("qv_bench_slow.log", "");
    auto environment = e2e::OnMachine(e2e::WriteTempFile("qv_bench_slow.json", SLOW_MACHINE));
    environment["QUORVEX_SIM_LOG"] = strLog;
    std::printf("a slow drive: %d ms per command, identified and detected\n", LATENCY_MS);
    std::fflush(stdout);
    e2e::CProcess process(e2e::Demo(), "", environment);
    const HWND hWnd = e2e::WaitForMainWindow(process.Id(), 120s);
    Require(hWnd != nullptr, "the demo showed no main window");

    // Reading the slider's ticks asks the window too: both waits count.
    Milliseconds longest{0};
    int nAsked = 0;
    for (bool bDetected = false; !bDetected; ++nAsked) {
        const auto start = std::chrono::steady_clock::now();
        DWORD_PTR nResult = 0;
        Require(::SendMessageTimeoutA(hWnd, WM_NULL, 0, 0, SMTO_NORMAL, 120000, &nResult) != 0,
                "the window did not answer within two minutes");
        bDetected = !e2e::Slider(hWnd).aTicks.empty();
        longest = std::max<Milliseconds>(longest, std::chrono::steady_clock::now() - start);
        std::this_thread::sleep_for(10ms);
    }
    std::printf("  %-30s %.1f ms over %d messages   aim < %lld ms: %s\n",
                "longest wait for the window", longest.count(), nAsked,
                static_cast<long long>(ANSWER_BUDGET.count()), Verdict(longest < ANSWER_BUDGET));

    // The detection steps: each speed asked for below the maximum, each with its read.
    const auto aLog = e2e::ReadCommandLog(strLog);
    const auto itFirst = std::find_if(aLog.begin(), aLog.end(), [](const auto& command) {
        return command.strCdb.rfind("BB00FFFF", 0) == 0;
    });
    const auto nSteps = std::count_if(itFirst, aLog.end(), [](const auto& command) {
        return e2e::IsSetSpeed(command) && !IsSetSpeedTo(command, 40);
    });
    const auto nDetection = std::count_if(
        itFirst, aLog.end(), [](const auto& command) { return !IsSetSpeedTo(command, 40); });
    std::printf("  %-30s %.2f (%lld commands, %lld steps)\n", "commands per detection step",
                nSteps ? static_cast<double>(nDetection) / static_cast<double>(nSteps) : 0.0,
                static_cast<long long>(nDetection), static_cast<long long>(nSteps));

    std::this_thread::sleep_for(3 * std::chrono::milliseconds(LATENCY_MS));
    const std::size_t nBefore = e2e::ReadCommandLog(strLog).size();
    const int nTicks = std::min(options.nTicks, 5);
    for (int nTick = 0; nTick < nTicks; ++nTick) {
        ::SendMessageA(hWnd, WM_TIMER, ID_KEEP_TIMER, 0);
        std::this_thread::sleep_for(2 * std::chrono::milliseconds(LATENCY_MS));
    }
    std::printf("  %-30s %.2f (the drive holds its speed; the window's own timer runs too)\n",
                "commands per tick",
                static_cast<double>(e2e::ReadCommandLog(strLog).size() - nBefore) / nTicks);
    std::fflush(stdout);
    Close(process, hWnd);
    e2e::ForgetProgramValues();
}

} // namespace qv::bench
