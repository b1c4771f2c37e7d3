// A clock that says what the test sets. Its ticks may be read on a worker while the test thread
// moves them on.
#pragma once

#include "platform/Clock.h"

#include <atomic>

namespace qv::test {

class CFakeClock : public CClockService {
public:
    int UtcDayOfYear() override { return m_nUtcDay; }
    CalendarDate LocalToday() override { return m_today; }
    std::uint64_t TickMs() override { return m_nTickMs; }

    int m_nUtcDay = 0;
    CalendarDate m_today{2027, 3, 1};
    std::atomic<std::uint64_t> m_nTickMs{0};
};

} // namespace qv::test
