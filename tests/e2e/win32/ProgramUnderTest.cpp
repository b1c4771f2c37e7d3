#include "tests/e2e/win32/ProgramUnderTest.h"

#include "device/Scsi.h"
#include "tests/e2e/win32/RegistryReader.h"

#include <cstdio>

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

// The opcode, a reserved byte, and the rate that the device layer requests for the speed.
std::string SetSpeedCdbPrefix(int nSpeed) {
    char szPrefix[16] = {};
    std::snprintf(szPrefix, sizeof szPrefix, "BB00%04X", RequestedRateForSpeed(nSpeed));
    return szPrefix;
}

void ForgetProgramValues() {
    for (HKEY hRoot : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        RegDeleteTreeA(hRoot, "Software\\Velnor");
        DeleteValue(hRoot, RUN_KEY, "Quorvex");
    }
}

} // namespace qv::e2e
