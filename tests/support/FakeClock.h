// A clock that says what the test sets.
#pragma once

#include "platform/Clock.h"

namespace qv::test {

class CFakeClock : public CClockService {
public:
    int UtcDayOfYear() override { return m_nUtcDay; }
    CalendarDate LocalToday() override { return m_today; }

    int m_nUtcDay = 0;
    CalendarDate m_today{2026, 12, 7};
};

} // namespace qv::test
