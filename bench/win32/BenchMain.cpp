// qv_bench_ui.exe: prints the main window's benchmark figures. Run by scripts/bench-ui.sh, which
// gives it a private Wine and the folder of the exes in QV_EXE_DIR.
//   qv_bench_ui.exe [--only start-up|save-run|ticks-idle|slow-drive|arrival] [--starts N] [--ticks N]
//                   [--idle-seconds N]
// Exits with 0 once every figure was measured, whether or not it met its budget.
#include "bench/win32/Benchmarks.h"

#include <cstdlib>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>

namespace {

int PositiveNumber(const char* pszOption, const char* pszValue) {
    char* pEnd = nullptr;
    const long nValue = pszValue ? std::strtol(pszValue, &pEnd, 10) : 0;
    if (!pszValue || *pEnd != '\0' || nValue <= 0 || nValue > 1000000)
        throw std::invalid_argument(std::string(pszOption) + " takes a number from 1 to 1000000");
    return static_cast<int>(nValue);
}

qv::bench::BENCH_OPTIONS ParseOptions(int argc, char** argv) {
    qv::bench::BENCH_OPTIONS options;
    for (int nArg = 1; nArg < argc; ++nArg) {
        const char* pszOption = argv[nArg];
        const char* pszValue = nArg + 1 < argc ? argv[++nArg] : nullptr;
        if (std::strcmp(pszOption, "--only") == 0 && pszValue)
            options.strOnly = pszValue;
        else if (std::strcmp(pszOption, "--starts") == 0)
            options.nStarts = PositiveNumber(pszOption, pszValue);
        else if (std::strcmp(pszOption, "--ticks") == 0)
            options.nTicks = PositiveNumber(pszOption, pszValue);
        else if (std::strcmp(pszOption, "--idle-seconds") == 0)
            options.idle = std::chrono::seconds(PositiveNumber(pszOption, pszValue));
        else
            throw std::invalid_argument(std::string("unknown option ") + pszOption);
    }
    return options;
}

} // namespace

int main(int argc, char** argv) {
    try {
        const auto options = ParseOptions(argc, argv);
        const struct {
            const char* pszName;
            void (*pfnRun)(const qv::bench::BENCH_OPTIONS&);
        } aBenchmarks[] = {{"start-up", qv::bench::BenchStartUp},
                           {"save-run", qv::bench::BenchSaveRun},
                           {"ticks-idle", qv::bench::BenchTicksThenIdle},
                           {"slow-drive", qv::bench::BenchSlowDrive},
                           {"arrival", qv::bench::BenchArrival}};
        bool bRan = false;
        for (const auto& benchmark : aBenchmarks)
            if (options.strOnly.empty() || options.strOnly == benchmark.pszName) {
                benchmark.pfnRun(options);
                bRan = true;
            }
        if (!bRan)
            throw std::invalid_argument("no benchmark is called " + options.strOnly);
        return EXIT_SUCCESS;
    } catch (const std::exception& error) {
        std::fflush(stdout);
        std::fprintf(stderr, "qv_bench_ui: %s\n", error.what());
        return EXIT_FAILURE;
    }
}
