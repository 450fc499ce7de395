// Civil-calendar arithmetic (the proleptic Gregorian calendar) behind every
// date the system reads, stores and shows. Day numbers count from the
// automation run time's day 0, 30 December 1899; the spreadsheet's 1900 date
// system and its missing 29 February are its callers' business.
#pragma once

#include <cstdint>

namespace sw::base {

struct CivilDate {
    std::int64_t year = 0;
    unsigned month = 0;  // 1..12
    unsigned day = 0;    // 1..31
};

// 1 January 1970 as a day number.
inline constexpr std::int64_t kUnixEpochDay = 25569;

constexpr bool IsLeapYear(std::int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// The days of `month` in `year`; 0 for a month that does not exist.
constexpr unsigned DaysInMonth(std::int64_t year, unsigned month) {
    constexpr unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) {
        return 0;
    }
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Whether the date exists in the calendar.
constexpr bool IsValidDate(std::int64_t year, unsigned month, unsigned day) {
    return day >= 1 && day <= DaysInMonth(year, month);
}

// The day number of a date (which need not be valid: days past a month's end
// run on into the next). After H. Hinnant's days_from_civil.
constexpr std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    const auto m = static_cast<std::int64_t>(month);
    const std::int64_t y = year - (m <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + static_cast<std::int64_t>(day) - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + kUnixEpochDay;
}

// The date of a day number. After H. Hinnant's civil_from_days.
constexpr CivilDate CivilFromDays(std::int64_t days) {
    const std::int64_t z = days - kUnixEpochDay + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const auto day = static_cast<unsigned>(doy - (153 * mp + 2) / 5 + 1);
    const auto month = static_cast<unsigned>(mp < 10 ? mp + 3 : mp - 9);
    return {yoe + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

static_assert(DaysFromCivil(1899, 12, 30) == 0);
static_assert(DaysFromCivil(1970, 1, 1) == kUnixEpochDay);

}  // namespace sw::base
