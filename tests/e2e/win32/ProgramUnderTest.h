// What every end-to-end test knows of the programs it starts: where they are, which machine the
// demo runs on, and where they keep their values.
#pragma once

#include "tests/e2e/win32/Process.h"

#include <map>
#include <string>

namespace qv::e2e {

inline constexpr const char* APP_KEY = "Software\\Velnor\\Quorvex";
inline constexpr const char* RUN_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

inline std::string Demo() {
    return FromEnvironment("QV_EXE_DIR") + "\\quorvex-demo.exe";
}
inline std::string Real() {
    return FromEnvironment("QV_EXE_DIR") + "\\quorvex.exe";
}

// The demo exe runs on the machine file named in the environment, or the embedded one.
inline std::map<std::string, std::string> OnMachine(const std::string& strFile) {
    return {{"QUORVEX_MACHINE", strFile}};
}

// The command block of SET CD SPEED to nSpeed x, as it begins in the demo's command log.
std::string SetSpeedCdbPrefix(int nSpeed);

// The tests' stand-in for the programs that the programs under test start: it appends its command
// line to the file that QV_STANDIN_LOG names. It lies beside the driver.
std::string StandInExe();
std::string BesideDriver(const char* pszName);

// The exit code of a program that loaded the stranger's DLL planted beside it.
inline constexpr DWORD PLANTED_LIBRARY_EXIT = 86;

// Removes every value the programs write, machine-wide and the user's, the Run entries included.
void ForgetProgramValues();

} // namespace qv::e2e
