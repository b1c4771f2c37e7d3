#include "platform/win32/Win32Clock.h"

#include <chrono>

namespace qv::win32 {
namespace {

// 0 for 1 January; 29 February counts in leap years only.
int DayOfYear(const SYSTEMTIME& time) {
    using namespace std::chrono;
    const year yearOfTime{time.wYear};
    const sys_days date = yearOfTime / month{time.wMonth} / day{time.wDay};
    const sys_days newYear = yearOfTime / January / 1;
    return static_cast<int>((date - newYear).count());
}

} // namespace

int CWin32Clock::UtcDayOfYear() {
    SYSTEMTIME now{};
    ::GetSystemTime(&now);
    return DayOfYear(now);
}

CalendarDate CWin32Clock::LocalToday() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return {.nYear = now.wYear, .nMonth = now.wMonth, .nDay = now.wDay};
}

std::uint64_t CWin32Clock::TickMs() {
    return ::GetTickCount64();
}

} // namespace qv::win32
