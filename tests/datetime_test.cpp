// Dates, times and timestamps: every day of the calendar walked against an
// independent successor rule, known dates, invalid input, dates outside the
// calendar, times and their fraction rounding, and the local clock.
#include <gtest/gtest.h>
#include <sys/time.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <ostream>
#include <string_view>

#include "ovbase/datetime.h"

// Equality and printing of calendar dates, so that a failed check shows both
// sides (global, where gtest looks for them).
bool operator==(const CalDate &a, const CalDate &b) {
  return a.year == b.year && a.month == b.month && a.day == b.day;
}
std::ostream &operator<<(std::ostream &out, const CalDate &c) {
  return out << c.year << '-' << c.month << '-' << c.day;
}

namespace {

constexpr int32_t kLastDate = 3652059;  // 9999-12-31
constexpr int32_t kEpochDate = 719163;  // 1970-01-01

int monthLength(int64_t y, int m) {
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (m == 2) return leap ? 29 : 28;
  return (m == 4 || m == 6 || m == 9 || m == 11) ? 30 : 31;
}

constexpr std::string_view kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                      "Thursday", "Friday", "Saturday"};
constexpr std::string_view kMonths[] = {"January",   "February", "March",    "April",
                                        "May",       "June",     "July",     "August",
                                        "September", "October",  "November", "December"};

// Walks every date from 0001-01-01 (a Monday) to 9999-12-31, stepping the
// calendar fields with the month-length rule above and the weekday by one,
// and checks every conversion, part extractor and name against the walk.
TEST(Datetime, EveryDayRoundTripsAndStepsThroughTheCalendar) {
  CalDate expect{1, 1, 1};
  int dayOfYear = 1, weekday = 2;
  for (int32_t date = 1; date <= kLastDate; ++date) {
    CalDate cal{};
    int32_t back = 0;
    const std::string_view day = kDays[weekday - 1], month = kMonths[expect.month - 1];
    const bool ok =
        dt_dateToCalDate(date, &cal) == 0 && cal == expect &&
        dt_dateFromCalDate(&expect, &back) == 0 && back == date &&
        dt_dateYear(date) == expect.year && dt_dateMonth(date) == expect.month &&
        dt_dateDayOfMonth(date) == expect.day && dt_dateQuarter(date) == (expect.month + 2) / 3 &&
        dt_dateDayOfYear(date) == dayOfYear && dt_dateWeek(date) == (dayOfYear - 1) / 7 + 1 &&
        dt_dateDayOfWeek(date) == weekday && dt_dateDayName(date) == day &&
        dt_dateDayAbr(date) == day.substr(0, 3) && dt_dateMonthName(date) == month &&
        dt_dateMonthAbr(date) == month.substr(0, 3);
    if (!ok)
      FAIL() << "date " << date << " (" << expect << ", day " << dayOfYear << ", weekday "
             << weekday << ") gave " << cal << " back " << back;
    weekday = weekday % 7 + 1;
    ++dayOfYear;
    if (++expect.day <= monthLength(expect.year, expect.month)) continue;
    expect.day = 1;
    if (++expect.month <= 12) continue;
    expect = CalDate{expect.year + 1, 1, 1};
    dayOfYear = 1;
  }
}

// Anchors for the walk with their weekdays; years past 9999, accepted while
// the day number fits 32 bits; bad fields, refused with nothing written (the
// day after every month's last in common and leap years among them); null
// pointers; and day numbers outside the calendar taken apart.
TEST(Datetime, KnownInvalidAndOutOfRangeDates) {
  struct Row {
    CalDate cal;
    int32_t date;
    int weekday;
  };
  for (const Row &r :
       {Row{{1, 1, 1}, 1, 2}, Row{{1970, 1, 1}, kEpochDate, 5}, Row{{2000, 1, 1}, 730120, 7},
        Row{{2000, 2, 29}, 730179, 3}, Row{{2000, 12, 31}, 730485, 1},
        Row{{9999, 12, 31}, kLastDate, 6}, Row{{10000, 1, 1}, kLastDate + 1, 7},
        Row{{123456, 7, 8}, 45091202, 3}, Row{{5879611, 7, 11}, INT32_MAX, 2}}) {
    int32_t date = 0;
    EXPECT_TRUE(dt_dateFromCalDate(&r.cal, &date) == 0 && date == r.date &&
                dt_dateDayOfWeek(r.date) == r.weekday)
        << r.cal << " gave " << date << ", weekday " << dt_dateDayOfWeek(r.date);
  }
  auto refused = [](const CalDate &cal) {
    int32_t date = 0x5a5a5a5a;
    EXPECT_TRUE(dt_dateFromCalDate(&cal, &date) == -1 && date == 0x5a5a5a5a) << cal << ": " << date;
  };
  for (const CalDate &cal :
       {CalDate{0, 1, 1}, CalDate{-1, 6, 15}, CalDate{INT32_MIN, 1, 1}, CalDate{2000, 0, 1},
        CalDate{2000, 13, 1}, CalDate{2000, 65535, 1}, CalDate{2000, 1, 0},
        CalDate{2024, 12, 65535}, CalDate{INT32_MAX, 12, 31}, CalDate{5879611, 7, 12}})  // day 2^31
    refused(cal);
  for (int32_t year : {1, 4, 100, 1900, 2000, 2023, 2024, 2100, 9999})
    for (uint16_t month = 1; month <= 12; ++month)
      refused({year, month, static_cast<uint16_t>(monthLength(year, month) + 1)});
  // Null pointers give -1 and write nothing too.
  const CalDate good{2000, 2, 29};
  const CalTime noon{12, 0, 0, 0};
  int32_t date = 0x5a5a5a5a;
  uint32_t time = 0x5a5a5a5a;
  int call = 0;
  for (int32_t result : {dt_dateFromCalDate(nullptr, &date), dt_timeFromCalTime(nullptr, &time),
                         dt_dateFromCalDate(&good, nullptr), dt_dateToCalDate(730179, nullptr),
                         dt_timeFromCalTime(&noon, nullptr), dt_timeToCalTime(0, nullptr),
                         dt_dateToday(nullptr), dt_timeNow(nullptr)})
    EXPECT_EQ(result, -1) << "call " << call++;
  EXPECT_TRUE(date == 0x5a5a5a5a && time == 0x5a5a5a5au) << date << " " << time;
  dt_timestampNow(nullptr);
  // Every date outside 1 .. 3652059 takes apart as 0001-01-01, except for day
  // of year and week past the end and for the weekday, which cycles on in
  // both directions.
  for (int32_t date : {0, -1, INT32_MIN, kLastDate + 1, 5000000, INT32_MAX}) {
    CalDate cal{};
    EXPECT_TRUE(dt_dateToCalDate(date, &cal) == 0 && cal == (CalDate{1, 1, 1}) &&
                dt_dateYear(date) == 1 && dt_dateMonth(date) == 1 && dt_dateDayOfMonth(date) == 1 &&
                dt_dateQuarter(date) == 1 && dt_dateMonthAbr(date) == kMonths[0].substr(0, 3) &&
                dt_dateMonthName(date) == kMonths[0])
        << date << " gave " << cal;
    // Past the end, day of year and week count from 0001-01-01 to the date
    // itself, in 16 bits.
    const int64_t days = date > kLastDate ? date - 1 : 0;
    EXPECT_EQ(dt_dateDayOfYear(date), static_cast<uint16_t>(days + 1)) << date;
    EXPECT_EQ(dt_dateWeek(date), static_cast<uint16_t>(days / 7 + 1)) << date;
    // Around the date (into the calendar at both ends, up to both ends of
    // int32_t) the weekday steps by one and its names follow it.
    const int32_t last = date > INT32_MAX - 8 ? INT32_MAX : date + 8;
    for (int32_t d = date < INT32_MIN + 8 ? INT32_MIN : date - 8; d < last; ++d) {
      const int here = dt_dateDayOfWeek(d), next = dt_dateDayOfWeek(d + 1);
      ASSERT_TRUE(here >= 1 && here <= 7 && next == here % 7 + 1) << d << ": " << here << next;
      ASSERT_EQ(dt_dateDayName(d), kDays[here - 1]) << d;
      ASSERT_EQ(dt_dateDayAbr(d), kDays[here - 1].substr(0, 3)) << d;
    }
  }
}

TEST(Datetime, TimesRoundTheFractionAndTakeApart) {
  struct Row {
    CalTime cal;
    uint32_t want;
  };
  // Fields are not range-checked; a fraction of five digits is rounded to
  // four; the sum wraps modulo 2^32.
  for (const Row &r :
       {Row{{25, 0, 0, 0}, 900000000}, Row{{0, 60, 0, 0}, 36000000}, Row{{0, 0, 0, 10004}, 1000},
        Row{{0, 0, 0, 10005}, 1001}, Row{{0, 0, 0, 19995}, 2000}, Row{{0, 0, 1, 19999}, 12000},
        Row{{23, 59, 59, 65535}, 863996554},
        Row{{65535, 65535, 65535, 65535}, uint32_t(65535ull * 3661 * 10000 + 6554)}}) {
    uint32_t time = 0x5a5a5a5a;
    EXPECT_TRUE(dt_timeFromCalTime(&r.cal, &time) == 0 && time == r.want) << r.want << ": " << time;
  }
  // Every second that a time can hold, with a few fractions (7295 reaches
  // UINT32_MAX).  Within the day the fields round-trip; from 24 hours on,
  // dt_timeToCalTime refuses the time after storing hour and fraction only,
  // and the extractors read it as a duration.
  for (uint32_t second = 0; second <= UINT32_MAX / 10000; ++second)
    for (uint16_t fraction : {0, 1, 7295, 9999}) {
      if (second * 10000ull + fraction > UINT32_MAX) continue;
      const uint32_t time = second * 10000u + fraction;
      const int hour = second / 3600, minute = second / 60 % 60, sec = second % 60;
      const bool inDay = second < 86400;
      CalTime cal{7, 7, 7, 7};
      uint32_t back = 0;
      const bool ok = dt_timeToCalTime(time, &cal) == (inDay ? 0 : -1) && cal.hour == hour &&
                      cal.minute == (inDay ? minute : 7) && cal.second == (inDay ? sec : 7) &&
                      cal.fraction == fraction &&
                      (!inDay || (dt_timeFromCalTime(&cal, &back) == 0 && back == time)) &&
                      dt_timeHour(time) == hour && dt_timeMinute(time) == minute &&
                      dt_timeSecond(time) == sec && dt_timeFraction(time) == fraction;
      if (!ok)
        FAIL() << "time " << time << " gave " << cal.hour << ":" << cal.minute << ":" << cal.second
               << "." << cal.fraction << " back " << back;
    }
}

TEST(Datetime, ValidateMonth) {
  struct Row {
    const char *text;
    int month;
  };
  for (const Row &r :
       {Row{"January", 1}, Row{"jan", 1}, Row{"FEBRUARY", 2}, Row{"jUnE", 6}, Row{"sep", 9},
        Row{"September", 9}, Row{"DEC", 12}, Row{"SEPT", 0}, Row{"Ja", 0}, Row{"", 0},
        Row{" May", 0}, Row{"May ", 0}, Row{"Mai", 0}, Row{"Decembers", 0}, Row{nullptr, 0}})
    EXPECT_EQ(dt_dateValidateMonth(r.text), r.month) << r.text;
}

// A zone far from UTC makes a clock read in UTC show up at once.  The
// readings are bracketed by the wall clock to the 100 microseconds that a
// time resolves.
TEST(Datetime, ClockReadsLocalTime) {
  for (const char *zone : {"XYZ-14", "ABC+11", "UTC0"}) {
    SCOPED_TRACE(zone);
    setenv("TZ", zone, 1);
    tzset();
    timeval before{}, after{};
    gettimeofday(&before, nullptr);
    int32_t today = 0;
    uint32_t now = 0;
    Timestamp stamp{0, 0};
    ASSERT_TRUE(dt_dateToday(&today) == 0 && dt_timeNow(&now) == 0);
    dt_timestampNow(&stamp);
    gettimeofday(&after, nullptr);
    tm local{};
    localtime_r(&before.tv_sec, &local);
    const uint32_t seconds = local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
    if (seconds >= 86390) GTEST_SKIP() << "too close to local midnight";
    local.tm_hour = local.tm_min = local.tm_sec = 0;
    EXPECT_EQ(today, timegm(&local) / 86400 + kEpochDate);
    EXPECT_EQ(stamp.date, today);
    const int64_t first = seconds * int64_t{10000} + before.tv_usec / 100;
    const int64_t last =
        (seconds + after.tv_sec - before.tv_sec) * int64_t{10000} + after.tv_usec / 100;
    EXPECT_TRUE(first <= now && now <= stamp.time && stamp.time <= last)
        << first << " <= " << now << " <= " << stamp.time << " <= " << last;
  }
}

}  // namespace
