// The calendar as the update check reads it.
#pragma once

#include <compare>
#include <cstdint>

namespace qv {

// Ordered as dates: year, then month, then day.
struct CalendarDate {
    int nYear; // in full: 2026, not 26
    int nMonth;
    int nDay;
    auto operator<=>(const CalendarDate&) const = default;
};

class CClockService {
public:
    virtual ~CClockService() = default;

    // The day of the year of the current time in UTC: 0 for 1 January, at most 365.
    virtual int UtcDayOfYear() = 0;
    // Today in local time.
    virtual CalendarDate LocalToday() = 0;
    // Milliseconds of a clock that only moves forward, whatever the user does to the date.
    virtual std::uint64_t TickMs() = 0;
};

} // namespace qv
