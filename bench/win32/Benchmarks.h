// The figures of the main window that no test asserts: how fast it starts, whether the keep-speed
// tick leaks, and what it costs while nobody uses it. Each benchmark prints its figures beside
// their budgets and throws when it cannot run.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

namespace qv::bench {

struct BENCH_OPTIONS {
    // Empty: every benchmark; otherwise the one of that name.
    std::string strOnly;
    int nStarts = 10;
    int nTicks = 10000;
    std::chrono::seconds idle{60};
};

void BenchStartUp(const BENCH_OPTIONS& options);
void BenchSaveRun(const BENCH_OPTIONS& options);
// Runs on the instance it starts; the idle benchmark follows on the same window, so the window
// measured at rest is one that has worked.
void BenchTicksThenIdle(const BENCH_OPTIONS& options);
// The window's answers while a slow drive works, and the commands a detection and a tick cost.
void BenchSlowDrive(const BENCH_OPTIONS& options);
// From a media-arrival broadcast to the set-speed it brings.
void BenchArrival(const BENCH_OPTIONS& options);

// "met" or "MISSED", for the end of a figure's line.
inline const char* Verdict(bool bMet) {
    return bMet ? "met" : "MISSED";
}

} // namespace qv::bench
