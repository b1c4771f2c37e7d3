// The day of the year that the automatic check's schedule counts in.
#include "platform/win32/Win32Clock.h"

#include <gtest/gtest.h>

namespace qv::e2e {
namespace {

TEST(Win32Clock, DayOfYearCountsFromZeroWithLeapDaysOnlyInLeapYears) {
    struct Case {
        WORD wYear, wMonth, wDay;
        int nDayOfYear;
    };
    for (const Case& c : {Case{2026, 1, 1, 0}, Case{2026, 3, 1, 59}, Case{2024, 3, 1, 60},
                          Case{2024, 12, 31, 365}, Case{2000, 3, 1, 60}, Case{2100, 3, 1, 59}}) {
        const SYSTEMTIME time{c.wYear, c.wMonth, 0, c.wDay, 23, 0, 0, 0};
        EXPECT_EQ(win32::DayOfYear(time), c.nDayOfYear)
            << c.wYear << '-' << c.wMonth << '-' << c.wDay;
    }
}

} // namespace
} // namespace qv::e2e
