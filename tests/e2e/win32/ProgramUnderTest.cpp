#include "tests/e2e/win32/ProgramUnderTest.h"

#include "tests/e2e/win32/RegistryReader.h"

namespace qv::e2e {

std::string BesideDriver(const char* pszName) {
    char szDriver[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, szDriver, sizeof szDriver);
    const std::string strDriver = szDriver;
    return strDriver.substr(0, strDriver.find_last_of('\\') + 1) + pszName;
}

std::string StandInExe() {
    return BesideDriver("qv_standin_browser.exe");
}

void ForgetProgramValues() {
    for (HKEY hRoot : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        DeleteKeyTree(hRoot, "Software\\Velnor");
        DeleteValue(hRoot, RUN_KEY, "Quorvex");
    }
}

} // namespace qv::e2e
