// Dates, times and timestamps: every day of the calendar walked against an
// independent successor rule, known dates, invalid input, dates outside the
// calendar, times and their fraction rounding, and the local clock.
#include <gtest/gtest.h>
#include <sys/time.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string_view>
#include <vector>

#include "ovbase/datetime.h"

namespace {

constexpr int32_t kLastDate = 3652059;  // 9999-12-31
constexpr int32_t kEpochDate = 719163;  // 1970-01-01

int monthLength(int64_t y, int m) {
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (m == 2) return leap ? 29 : 28;
  return (m == 4 || m == 6 || m == 9 || m == 11) ? 30 : 31;
}

const char *const kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                             "Thursday", "Friday", "Saturday"};
const char *const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November",
                               "December"};

// The weekday's and month's names in full and in three letters.
bool namesOk(int32_t date, int weekday, int month) {
  const std::string_view day = kDays[weekday - 1], monthName = kMonths[month - 1];
  return dt_dateDayName(date) == day && dt_dateDayAbr(date) == day.substr(0, 3) &&
         dt_dateMonthName(date) == monthName && dt_dateMonthAbr(date) == monthName.substr(0, 3);
}

bool sameDate(const CalDate &a, const CalDate &b) {
  return a.year == b.year && a.month == b.month && a.day == b.day;
}

std::string show(const CalDate &c) {
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", c.year, unsigned{c.month}, unsigned{c.day});
  return text;
}

// Walks every date from 0001-01-01 to 9999-12-31, stepping the calendar
// fields with the month-length rule above, and checks every conversion and
// part extractor, and the names, against the walk.
TEST(Datetime, EveryDayRoundTripsAndStepsThroughTheCalendar) {
  CalDate expect{1, 1, 1};
  int expectDayOfYear = 1;
  int previousWeekday = 1;  // the day before 0001-01-01 was a Sunday
  for (int32_t date = 1; date <= kLastDate; ++date) {
    CalDate cal{};
    int32_t back = 0;
    const bool fieldsOk = dt_dateToCalDate(date, &cal) == 0 && sameDate(cal, expect);
    const bool backOk = dt_dateFromCalDate(&expect, &back) == 0 && back == date;
    const bool partsOk = dt_dateYear(date) == expect.year && dt_dateMonth(date) == expect.month &&
                         dt_dateDayOfMonth(date) == expect.day &&
                         dt_dateQuarter(date) == (expect.month + 2) / 3;
    const bool dayOfYearOk = dt_dateDayOfYear(date) == expectDayOfYear &&
                             dt_dateWeek(date) == (expectDayOfYear - 1) / 7 + 1;
    const int weekday = dt_dateDayOfWeek(date);
    const bool weekdayOk =
        weekday == previousWeekday % 7 + 1 && namesOk(date, weekday, expect.month);
    if (!(fieldsOk && backOk && partsOk && dayOfYearOk && weekdayOk)) {
      FAIL() << "date " << date << " expected " << show(expect) << " got " << show(cal)
             << " back " << back << " dayOfYear " << dt_dateDayOfYear(date) << " (want "
             << expectDayOfYear << ") week " << dt_dateWeek(date) << " weekday " << weekday
             << " after " << previousWeekday;
    }
    previousWeekday = weekday;
    ++expectDayOfYear;
    if (++expect.day > monthLength(expect.year, expect.month)) {
      expect.day = 1;
      if (++expect.month > 12) {
        expect.month = 1;
        ++expect.year;
        expectDayOfYear = 1;
      }
    }
  }
  EXPECT_TRUE(sameDate(expect, CalDate{10000, 1, 1})) << show(expect);
}

// Anchors for the walk above.
TEST(Datetime, CalendarFacts) {
  struct Row {
    CalDate cal;
    int32_t date;
    int weekday;
  };
  for (const Row &r : {Row{{1, 1, 1}, 1, 2}, Row{{1970, 1, 1}, kEpochDate, 5},
                       Row{{2000, 1, 1}, 730120, 7}, Row{{2000, 2, 29}, 730179, 3},
                       Row{{2000, 12, 31}, 730485, 1}, Row{{9999, 12, 31}, kLastDate, 6}}) {
    int32_t date = 0;
    EXPECT_EQ(dt_dateFromCalDate(&r.cal, &date), 0) << show(r.cal);
    EXPECT_EQ(date, r.date) << show(r.cal);
    EXPECT_EQ(dt_dateDayOfWeek(r.date), r.weekday) << show(r.cal);
  }
}

// The day after every month's last, in common and leap years, and a table
// of other bad fields; then null pointers.
TEST(Datetime, InvalidFieldsAndNullPointersWriteNothing) {
  std::vector<CalDate> invalid = {
      {0, 1, 1},        {-1, 6, 15},       {INT32_MIN, 1, 1},
      {2000, 0, 1},     {2000, 13, 1},     {2000, 65535, 1},
      {2000, 1, 0},     {2024, 12, 65535}, {INT32_MAX, 12, 31},
      {5879611, 7, 12},  // day 2147483648: past 32 bits
  };
  for (int32_t year : {1, 4, 100, 1900, 2000, 2023, 2024, 2100, 9999})
    for (uint16_t month = 1; month <= 12; ++month)
      invalid.push_back({year, month, static_cast<uint16_t>(monthLength(year, month) + 1)});
  for (const CalDate &cal : invalid) {
    int32_t date = 0x5a5a5a5a;
    EXPECT_EQ(dt_dateFromCalDate(&cal, &date), -1) << show(cal);
    EXPECT_EQ(date, 0x5a5a5a5a) << show(cal);
  }
  const CalDate good{2000, 2, 29};
  const CalTime noon{12, 0, 0, 0};
  int32_t date = 0x5a5a5a5a;
  uint32_t time = 0x5a5a5a5a;
  EXPECT_EQ(dt_dateFromCalDate(nullptr, &date), -1);
  EXPECT_EQ(dt_timeFromCalTime(nullptr, &time), -1);
  EXPECT_TRUE(date == 0x5a5a5a5a && time == 0x5a5a5a5au) << date << " " << time;
  EXPECT_EQ(dt_dateFromCalDate(&good, nullptr), -1);
  EXPECT_EQ(dt_dateToCalDate(730179, nullptr), -1);
  EXPECT_EQ(dt_timeFromCalTime(&noon, nullptr), -1);
  EXPECT_EQ(dt_timeToCalTime(0, nullptr), -1);
  EXPECT_EQ(dt_dateToday(nullptr), -1);
  EXPECT_EQ(dt_timeNow(nullptr), -1);
  dt_timestampNow(nullptr);
  EXPECT_EQ(dt_dateValidateMonth(nullptr), 0);
}

// Years past 9999 are accepted while the day number fits 32 bits; those
// dates take apart as 0001-01-01, like every date outside 1 .. 3652059,
// except for the weekday, which cycles on in both directions.
TEST(Datetime, DatesOutsideTheCalendar) {
  struct Row {
    CalDate cal;
    int64_t date;
  };
  for (const Row &r : {Row{{10000, 1, 1}, kLastDate + 1}, Row{{123456, 7, 8}, 45091202},
                       Row{{5879611, 7, 11}, INT32_MAX}}) {
    int32_t date = 0;
    EXPECT_EQ(dt_dateFromCalDate(&r.cal, &date), 0) << show(r.cal);
    EXPECT_EQ(date, r.date) << show(r.cal);
  }
  for (int32_t date : {0, -1, INT32_MIN, kLastDate + 1, 5000000, INT32_MAX}) {
    CalDate cal{};
    const bool firstDay = dt_dateToCalDate(date, &cal) == 0 && sameDate(cal, CalDate{1, 1, 1}) &&
                          dt_dateYear(date) == 1 && dt_dateMonth(date) == 1 &&
                          dt_dateDayOfMonth(date) == 1 && dt_dateQuarter(date) == 1 &&
                          std::string_view(dt_dateMonthAbr(date)) == "Jan";
    EXPECT_TRUE(firstDay) << date << " gave " << show(cal);
    // Past the end, day of year and week count from 0001-01-01 to the date
    // itself, in 16 bits.
    const int64_t days = date > kLastDate ? date - 1 : 0;
    EXPECT_EQ(dt_dateDayOfYear(date), static_cast<uint16_t>(days + 1)) << date;
    EXPECT_EQ(dt_dateWeek(date), static_cast<uint16_t>(days / 7 + 1)) << date;
  }
  EXPECT_STREQ(dt_dateDayName(0), "Sunday");
  EXPECT_STREQ(dt_dateDayAbr(-1), "Sat");
  EXPECT_STREQ(dt_dateDayName(kLastDate + 1), "Saturday");
  for (int64_t start : {int64_t{-400}, int64_t{INT32_MIN}, int64_t{INT32_MAX} - 400}) {
    for (int64_t date = start; date < start + 400; ++date) {
      const int here = dt_dateDayOfWeek(static_cast<int32_t>(date));
      const int next = dt_dateDayOfWeek(static_cast<int32_t>(date + 1));
      ASSERT_TRUE(here >= 1 && here <= 7 && next == here % 7 + 1) << date << ": " << here << next;
      ASSERT_STREQ(dt_dateDayName(static_cast<int32_t>(date)), dt_dateDayName(here - 1)) << date;
    }
  }
}

TEST(Datetime, TimesRoundTheFractionAndTakeApart) {
  struct Row {
    CalTime cal;
    uint32_t want;
  };
  const uint64_t largest = (65535ull * 3600 + 65535 * 60 + 65535) * 10000 + 6554;
  const Row rows[] = {
      {{12, 34, 56, 7890}, 452967890},
      {{23, 59, 59, 9999}, 863999999},
      {{25, 0, 0, 0}, 900000000},  // fields are not range-checked
      {{0, 60, 0, 0}, 36000000},
      {{0, 0, 0, 10004}, 1000},
      {{0, 0, 0, 10005}, 1001},
      {{0, 0, 0, 19995}, 2000},
      {{0, 0, 1, 19999}, 12000},
      {{23, 59, 59, 65535}, 863996554},
      {{65535, 65535, 65535, 65535}, static_cast<uint32_t>(largest)},  // wraps modulo 2^32
  };
  for (const Row &r : rows) {
    uint32_t time = 0x5a5a5a5a;
    EXPECT_EQ(dt_timeFromCalTime(&r.cal, &time), 0);
    EXPECT_EQ(time, r.want) << r.cal.hour << ":" << r.cal.minute << ":" << r.cal.second << "."
                            << r.cal.fraction;
  }
  // Every second of the day with a few fractions, then times of 24 hours and
  // more: dt_timeToCalTime refuses them, the extractors read them as durations.
  for (uint32_t second = 0; second < 86400; ++second)
    for (uint16_t fraction : {0, 1, 5000, 9999}) {
      const uint32_t time = second * 10000u + fraction;
      const uint16_t h = second / 3600, m = second / 60 % 60, s = second % 60;
      CalTime cal{};
      uint32_t back = 0;
      const bool ok = dt_timeToCalTime(time, &cal) == 0 && cal.hour == h && cal.minute == m &&
                      cal.second == s && cal.fraction == fraction &&
                      dt_timeFromCalTime(&cal, &back) == 0 && back == time &&
                      dt_timeHour(time) == h && dt_timeMinute(time) == m &&
                      dt_timeSecond(time) == s && dt_timeFraction(time) == fraction;
      if (!ok) FAIL() << "time " << time << " gave " << cal.hour << ":" << cal.minute << ":"
                      << cal.second << "." << cal.fraction << " back " << back;
    }
  struct Duration {
    uint32_t time;
    uint16_t hour, minute, second, fraction;
  };
  for (const Duration &r : {Duration{864000000, 24, 0, 0, 0},
                            Duration{864000000 + 1234567, 24, 2, 3, 4567},
                            Duration{UINT32_MAX, 119, 18, 16, 7295}}) {
    CalTime cal{7, 7, 7, 7};  // minute and second stay as they were
    EXPECT_EQ(dt_timeToCalTime(r.time, &cal), -1) << r.time;
    EXPECT_TRUE(cal.hour == r.hour && cal.minute == 7 && cal.second == 7 &&
                cal.fraction == r.fraction)
        << r.time << " gave " << cal.hour << ":" << cal.minute << ":" << cal.second << "."
        << cal.fraction;
    EXPECT_TRUE(dt_timeHour(r.time) == r.hour && dt_timeMinute(r.time) == r.minute &&
                dt_timeSecond(r.time) == r.second && dt_timeFraction(r.time) == r.fraction)
        << r.time;
  }
}

TEST(Datetime, ValidateMonth) {
  struct Row {
    const char *text;
    int month;
  };
  for (const Row &r : {Row{"January", 1}, Row{"jan", 1}, Row{"FEBRUARY", 2}, Row{"jUnE", 6},
                       Row{"sep", 9}, Row{"September", 9}, Row{"DEC", 12}, Row{"SEPT", 0},
                       Row{"Ja", 0}, Row{"", 0}, Row{" May", 0}, Row{"May ", 0}, Row{"Mai", 0},
                       Row{"Decembers", 0}})
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
    EXPECT_EQ(dt_dateToday(&today), 0);
    EXPECT_EQ(dt_timeNow(&now), 0);
    dt_timestampNow(&stamp);
    gettimeofday(&after, nullptr);
    tm local{};
    localtime_r(&before.tv_sec, &local);
    const uint32_t seconds = local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
    if (seconds >= 86390) GTEST_SKIP() << "too close to local midnight";
    local.tm_hour = local.tm_min = local.tm_sec = 0;
    EXPECT_EQ(today, timegm(&local) / 86400 + kEpochDate);
    EXPECT_EQ(stamp.date, today);
    const int64_t elapsedMicros =
        (after.tv_sec - before.tv_sec) * int64_t{1000000} + after.tv_usec - before.tv_usec;
    const int64_t first = seconds * int64_t{10000} + before.tv_usec / 100;
    const int64_t last = first + elapsedMicros / 100 + 1;
    EXPECT_TRUE(first <= now && now <= stamp.time && stamp.time <= last)
        << first << " <= " << now << " <= " << stamp.time << " <= " << last;
  }
}

}  // namespace
