// The release dates of the update check, written MM/DD/YY in the update description and in
// "Last Suc Update".
#pragma once

#include "platform/Clock.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

inline constexpr std::size_t UPDATE_DATE_LENGTH = 8;

// The date at the start of strText: two digits each for month (below 13), day (below 32) and
// year (not 00), separated by slashes. The year reads as POSIX reads %y: 69 to 99 are 1969 to
// 1999, 00 to 68 are 2000 to 2068.
std::optional<CalendarDate> ParseUpdateDate(std::string_view strText);

// MM/DD/YY, each part two digits.
std::string FormatUpdateDate(const CalendarDate& date);

// The day after a day of the calendar.
CalendarDate DayAfter(const CalendarDate& date);

// The blanks the server's texts may carry around a number: space, tab and the line breaks.
inline bool IsBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

} // namespace qv
