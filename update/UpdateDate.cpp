#include "update/UpdateDate.h"

#include <chrono>

namespace qv {
namespace {

constexpr int CENTURY = 100;
// Two-digit years below this are of the 2000s.
constexpr int PIVOT_YEAR = 69;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::optional<int> TwoDigits(std::string_view strText, std::size_t nOffset) {
    if (!IsDigit(strText[nOffset]) || !IsDigit(strText[nOffset + 1]))
        return std::nullopt;
    return (strText[nOffset] - '0') * 10 + (strText[nOffset + 1] - '0');
}

void AppendTwoDigits(std::string& strText, int nValue) {
    strText += static_cast<char>('0' + nValue / 10 % 10);
    strText += static_cast<char>('0' + nValue % 10);
}

} // namespace

std::optional<CalendarDate> ParseUpdateDate(std::string_view strText) {
    if (strText.size() < UPDATE_DATE_LENGTH || strText[2] != '/' || strText[5] != '/')
        return std::nullopt;
    const auto nMonth = TwoDigits(strText, 0);
    const auto nDay = TwoDigits(strText, 3);
    const auto nYear = TwoDigits(strText, 6);
    if (!nMonth || !nDay || !nYear || *nMonth > 12 || *nDay > 31 || *nYear == 0)
        return std::nullopt;
    const int nCentury = *nYear < PIVOT_YEAR ? 2000 : 1900;
    return CalendarDate{nCentury + *nYear, *nMonth, *nDay};
}

std::string FormatUpdateDate(const CalendarDate& date) {
    std::string strText;
    AppendTwoDigits(strText, date.nMonth);
    strText += '/';
    AppendTwoDigits(strText, date.nDay);
    strText += '/';
    AppendTwoDigits(strText, date.nYear % CENTURY);
    return strText;
}

CalendarDate DayAfter(const CalendarDate& date) {
    using namespace std::chrono;
    const year_month_day next{
        sys_days{year{date.nYear} / month{static_cast<unsigned>(date.nMonth)} /
                 day{static_cast<unsigned>(date.nDay)}} +
        days{1}};
    return {static_cast<int>(next.year()), static_cast<int>(static_cast<unsigned>(next.month())),
            static_cast<int>(static_cast<unsigned>(next.day()))};
}

} // namespace qv
