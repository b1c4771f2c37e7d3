// A windowless save run of the demo on its embedded machine, start to exit, against the smallest
// program that writes one registry value. The two are started in turn, so that whatever else
// loads the machine falls on both alike.
#include "bench/win32/BenchPrograms.h"
#include "bench/win32/Benchmarks.h"
#include "tests/e2e/win32/ProgramUnderTest.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace qv::bench {
namespace {

using namespace std::chrono_literals;

constexpr double SAVE_RUN_RATIO_BUDGET = 2.0;
constexpr auto RUN_LIMIT = 60s;

Milliseconds TimeToExit(const char* pszName, const std::string& strExe,
                        const std::string& strArgs) {
    const auto start = std::chrono::steady_clock::now();
    e2e::CProcess process(strExe, strArgs, DemoEnvironment(""));
    const auto nExit = process.WaitForExit(RUN_LIMIT);
    const Milliseconds elapsed = std::chrono::steady_clock::now() - start;
    Require(nExit.has_value(), pszName);
    if (*nExit != 0)
        throw std::runtime_error(std::string(pszName) + " ended with " + std::to_string(*nExit));
    return elapsed;
}

} // namespace

void BenchSaveRun(const BENCH_OPTIONS& options) {
    const std::string strOneValue = BesideDriver("qv_bench_one_value.exe");
    std::printf("save run: quorvex-demo.exe /save, start to exit, median of %d "
                "(after one unmeasured run of each)\n",
                options.nStarts);
    std::fflush(stdout);
    TimeToExit("qv_bench_one_value.exe", strOneValue, "");
    TimeToExit("quorvex-demo.exe /save", e2e::Demo(), "/save");
    std::vector<Milliseconds> aOneValue, aSave;
    for (int nRun = 0; nRun < options.nStarts; ++nRun) {
        aOneValue.push_back(TimeToExit("qv_bench_one_value.exe", strOneValue, ""));
        aSave.push_back(TimeToExit("quorvex-demo.exe /save", e2e::Demo(), "/save"));
    }
    PrintTimes("quorvex-demo.exe /save", aSave);
    PrintTimes("qv_bench_one_value.exe", aOneValue);
    const double dRatio = Median(aSave) / Median(aOneValue);
    std::printf("  %-26s %8.2f     budget <= %.1f: %s\n", "ratio", dRatio, SAVE_RUN_RATIO_BUDGET,
                Verdict(dRatio <= SAVE_RUN_RATIO_BUDGET));
    std::fflush(stdout);
}

} // namespace qv::bench
