// The programs the benchmarks start, and how they end them.
#pragma once

#include "tests/e2e/win32/Process.h"

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace qv::bench {

using Milliseconds = std::chrono::duration<double, std::milli>;

// A program built beside this driver: the main window's template with nothing behind it, the
// smallest program that writes a registry value.
std::string BesideDriver(const char* pszName);
// The demo on its embedded machine, logging its drives' commands to strLog unless it is empty.
std::map<std::string, std::string> DemoEnvironment(const std::string& strLog);
// Escape to the window; a program that does not end is terminated when its process object goes.
void Close(e2e::CProcess& process, HWND hWnd);
Milliseconds Median(std::vector<Milliseconds> aTimes);
// One line: the median, and the shortest and longest time around it.
void PrintTimes(const char* pszName, const std::vector<Milliseconds>& aTimes);
// Throws when a step the figures rely on did not happen.
void Require(bool bHeld, const char* pszWhat);

} // namespace qv::bench
