#include "bench/win32/BenchPrograms.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace qv::bench {

using namespace std::chrono_literals;

std::string BesideDriver(const char* pszName) {
    char szPath[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, szPath, sizeof szPath);
    const std::string strPath = szPath;
    return strPath.substr(0, strPath.find_last_of('\\') + 1) + pszName;
}

Milliseconds Median(std::vector<Milliseconds> aTimes) {
    std::sort(aTimes.begin(), aTimes.end());
    const std::size_t nMiddle = aTimes.size() / 2;
    return aTimes.size() % 2 ? aTimes[nMiddle] : (aTimes[nMiddle - 1] + aTimes[nMiddle]) / 2;
}

void PrintTimes(const char* pszName, const std::vector<Milliseconds>& aTimes) {
    const auto [shortest, longest] = std::minmax_element(aTimes.begin(), aTimes.end());
    std::printf("  %-26s %8.1f ms  (min %.1f, max %.1f)\n", pszName, Median(aTimes).count(),
                shortest->count(), longest->count());
}

// An empty value removes the variable the driver may have inherited.
std::map<std::string, std::string> DemoEnvironment(const std::string& strLog) {
    return {{"QUORVEX_MACHINE", ""}, {"QUORVEX_SIM_LOG", strLog}};
}

void Close(e2e::CProcess& process, HWND hWnd) {
    ::PostMessageA(hWnd, WM_COMMAND, IDCANCEL, 0);
    process.WaitForExit(10s);
}

void Require(bool bHeld, const char* pszWhat) {
    if (!bHeld)
        throw std::runtime_error(pszWhat);
}

} // namespace qv::bench
