#include "tests/bench/win32/BenchPrograms.h"

#include <stdexcept>

namespace qv::bench {

using namespace std::chrono_literals;

std::string BareDialogExe() {
    char szPath[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, szPath, sizeof szPath);
    const std::string strPath = szPath;
    return strPath.substr(0, strPath.find_last_of('\\') + 1) + "qv_bench_bare_dialog.exe";
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
