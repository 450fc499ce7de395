#include "platform/base/Calendar.h"

#include <gtest/gtest.h>

using namespace sw::base;

TEST(calendar_test, day_numbers_and_dates_agree_from_year_100_to_9999) {
    EXPECT_EQ(DaysFromCivil(1900, 1, 1), 2);
    EXPECT_EQ(DaysFromCivil(2005, 1, 31), 38383);
    EXPECT_EQ(DaysFromCivil(100, 1, 1), -657434);
    EXPECT_EQ(DaysFromCivil(10000, 1, 1), 2958466);
    // Every day follows the one before it, through each month's last day.
    CivilDate previous = CivilFromDays(DaysFromCivil(100, 1, 1) - 1);
    EXPECT_EQ(previous.year, 99);
    for (std::int64_t n = DaysFromCivil(100, 1, 1); n < DaysFromCivil(10000, 1, 1); ++n) {
        const CivilDate d = CivilFromDays(n);
        ASSERT_TRUE(IsValidDate(d.year, d.month, d.day)) << n;
        ASSERT_EQ(DaysFromCivil(d.year, d.month, d.day), n);
        const bool nextDay =
            d.year == previous.year && d.month == previous.month && d.day == previous.day + 1;
        const bool nextMonth =
            d.day == 1 && previous.day == DaysInMonth(previous.year, previous.month) &&
            (d.month == previous.month + 1 || (d.month == 1 && d.year == previous.year + 1));
        ASSERT_TRUE(nextDay || nextMonth) << n;
        previous = d;
    }
    EXPECT_TRUE(IsValidDate(2000, 2, 29));
    EXPECT_FALSE(IsValidDate(1900, 2, 29));
    EXPECT_FALSE(IsValidDate(2004, 13, 1));
    EXPECT_EQ(DaysInMonth(2004, 0), 0U);
}
