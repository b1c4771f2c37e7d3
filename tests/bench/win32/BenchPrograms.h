// The programs the benchmarks start, and how they end them.
#pragma once

#include "tests/e2e/win32/Process.h"

#include <map>
#include <string>

namespace qv::bench {

// The main window's template with nothing behind it, built beside this driver.
std::string BareDialogExe();
// The demo on its embedded machine, logging its drives' commands to strLog unless it is empty.
std::map<std::string, std::string> DemoEnvironment(const std::string& strLog);
// Escape to the window; a program that does not end is terminated when its process object goes.
void Close(e2e::CProcess& process, HWND hWnd);
// Throws when a step the figures rely on did not happen.
void Require(bool bHeld, const char* pszWhat);

} // namespace qv::bench
