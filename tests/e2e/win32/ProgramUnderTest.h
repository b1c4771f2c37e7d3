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
    return ExeDir() + "\\quorvex-demo.exe";
}
inline std::string Real() {
    return ExeDir() + "\\quorvex.exe";
}

// The demo exe runs on the machine file named in the environment, or the embedded one.
inline std::map<std::string, std::string> OnMachine(const std::string& strFile) {
    return {{"QUORVEX_MACHINE", strFile}};
}

// The default machine's drives on Windows 95/98, where only the ASPI manager reaches them.
inline constexpr const char* ASPI_ONLY_MACHINE = R"({ "platform": "9x",
  "drives": [
    { "root": "C:\\", "type": "fixed" },
    { "root": "E:\\", "type": "cdrom", "vendor": "QRVX", "product": "CD-ROM 40X",
      "revision": "1.02", "speeds": [4, 8, 16, 24, 32, 40], "current": 40,
      "aspiAddress": { "adapter": 0, "target": 0 } },
    { "root": "G:\\", "type": "cdrom", "vendor": "ZANTRIX", "product": "CDR-4812",
      "revision": "2.10", "vendorInfo": "04/12/99", "speeds": [8, 16, 24, 32, 40, 48],
      "current": 32, "modeSense6": false, "aspiAddress": { "adapter": 0, "target": 1 } } ],
  "aspi": { "adapters": [ { "targets": 0 } ], "completionDelayMs": 20 } })";

// The tests' stand-in for the programs that the programs under test start: it appends its command
// line to the file that QV_STANDIN_LOG names. It lies beside the driver.
std::string StandInExe();
// A file built beside the driver.
std::string BesideDriver(const char* pszName);

// The exit code of a program that loaded the stranger's DLL planted beside it.
inline constexpr DWORD PLANTED_LIBRARY_EXIT = 86;

// Removes every value the programs write, machine-wide and the user's, the Run entries included.
void ForgetProgramValues();

} // namespace qv::e2e
