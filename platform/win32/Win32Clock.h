// The clock of the running Windows.
#pragma once

#include "platform/Clock.h"
#include "platform/win32/Win32.h"

namespace qv::win32 {

class CWin32Clock : public CClockService {
public:
    int UtcDayOfYear() override;
    CalendarDate LocalToday() override;
    std::uint64_t TickMs() override;
};

} // namespace qv::win32
