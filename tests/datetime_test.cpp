// Dates, times and timestamps: every day of the calendar walked against an
// independent successor rule, known dates, invalid input, times and their
// fraction rounding, a cross-check against libc, and the local clock.
#include <gtest/gtest.h>
#include <sys/time.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>

#include "ovbase/datetime.h"

namespace {

constexpr int32_t kLastDate = 3652059;  // 9999-12-31
constexpr int32_t kEpochDate = 719163;  // 1970-01-01

bool leapYear(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int monthLength(int64_t y, int m) {
  if (m == 2) return leapYear(y) ? 29 : 28;
  return (m == 4 || m == 6 || m == 9 || m == 11) ? 30 : 31;
}

// Day number of a calendar date from libc's UTC conversion (1970 on).
int64_t dayNumber(int y, int m, int d) {
  tm fields{};
  fields.tm_year = y - 1900;
  fields.tm_mon = m - 1;
  fields.tm_mday = d;
  return timegm(&fields) / 86400 + kEpochDate;
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
// part extractor against the walk.
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
    const bool weekdayOk = weekday == previousWeekday % 7 + 1;
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

struct DateFact {
  CalDate cal;
  int32_t date;
  int weekday, dayOfYear, week, quarter;
  const char *dayName, *dayAbr, *monthName, *monthAbr;
};

TEST(Datetime, CalendarFacts) {
  const DateFact facts[] = {
      {{1, 1, 1}, 1, 2, 1, 1, 1, "Monday", "Mon", "January", "Jan"},
      {{1, 12, 31}, 365, 2, 365, 53, 4, "Monday", "Mon", "December", "Dec"},
      {{4, 12, 31}, 1461, 6, 366, 53, 4, "Friday", "Fri", "December", "Dec"},
      {{1582, 10, 15}, 577736, 6, 288, 42, 4, "Friday", "Fri", "October", "Oct"},
      {{1600, 2, 29}, 584082, 3, 60, 9, 1, "Tuesday", "Tue", "February", "Feb"},
      {{1900, 3, 1}, 693655, 5, 60, 9, 1, "Thursday", "Thu", "March", "Mar"},
      {{1970, 1, 1}, 719163, 5, 1, 1, 1, "Thursday", "Thu", "January", "Jan"},
      {{2000, 1, 1}, 730120, 7, 1, 1, 1, "Saturday", "Sat", "January", "Jan"},
      {{2000, 2, 29}, 730179, 3, 60, 9, 1, "Tuesday", "Tue", "February", "Feb"},
      {{2000, 4, 1}, 730211, 7, 92, 14, 2, "Saturday", "Sat", "April", "Apr"},
      {{2000, 7, 1}, 730302, 7, 183, 27, 3, "Saturday", "Sat", "July", "Jul"},
      {{2000, 12, 31}, 730485, 1, 366, 53, 4, "Sunday", "Sun", "December", "Dec"},
      {{2023, 1, 1}, 738521, 1, 1, 1, 1, "Sunday", "Sun", "January", "Jan"},
      {{2023, 1, 7}, 738527, 7, 7, 1, 1, "Saturday", "Sat", "January", "Jan"},
      {{2023, 1, 8}, 738528, 1, 8, 2, 1, "Sunday", "Sun", "January", "Jan"},
      {{2024, 1, 7}, 738892, 1, 7, 1, 1, "Sunday", "Sun", "January", "Jan"},
      {{2024, 1, 8}, 738893, 2, 8, 2, 1, "Monday", "Mon", "January", "Jan"},
      {{2024, 3, 31}, 738976, 1, 91, 13, 1, "Sunday", "Sun", "March", "Mar"},
      {{2024, 5, 1}, 739007, 4, 122, 18, 2, "Wednesday", "Wed", "May", "May"},
      {{2100, 3, 1}, 766704, 2, 60, 9, 1, "Monday", "Mon", "March", "Mar"},
      {{9999, 9, 30}, 3651967, 5, 273, 39, 3, "Thursday", "Thu", "September", "Sep"},
      {{9999, 12, 31}, kLastDate, 6, 365, 53, 4, "Friday", "Fri", "December", "Dec"},
  };
  for (const DateFact &f : facts) {
    SCOPED_TRACE(show(f.cal));
    int32_t date = 0;
    CalDate cal{};
    EXPECT_EQ(dt_dateFromCalDate(&f.cal, &date), 0);
    EXPECT_EQ(date, f.date);
    EXPECT_EQ(dt_dateToCalDate(f.date, &cal), 0);
    EXPECT_TRUE(sameDate(cal, f.cal)) << show(cal);
    EXPECT_EQ(dt_dateDayOfWeek(f.date), f.weekday);
    EXPECT_EQ(dt_dateDayOfYear(f.date), f.dayOfYear);
    EXPECT_EQ(dt_dateWeek(f.date), f.week);
    EXPECT_EQ(dt_dateQuarter(f.date), f.quarter);
    EXPECT_STREQ(dt_dateDayName(f.date), f.dayName);
    EXPECT_STREQ(dt_dateDayAbr(f.date), f.dayAbr);
    EXPECT_STREQ(dt_dateMonthName(f.date), f.monthName);
    EXPECT_STREQ(dt_dateMonthAbr(f.date), f.monthAbr);
  }
}

TEST(Datetime, InvalidFieldsAndNullPointersWriteNothing) {
  const CalDate invalid[] = {
      {0, 1, 1},     {-1, 6, 15},   {INT32_MIN, 1, 1}, {2000, 0, 1},  {2000, 13, 1},
      {2000, 65535, 1}, {2000, 1, 0}, {2000, 1, 32},   {2000, 2, 30}, {1900, 2, 29},
      {2023, 2, 29}, {2100, 2, 29}, {2024, 4, 31},     {2024, 6, 31}, {2024, 9, 31},
      {2024, 11, 31}, {2024, 12, 65535},
      {5879611, 7, 12},  // day 2147483648: past 32 bits
      {5879612, 1, 1},   {INT32_MAX, 12, 31},
  };
  for (const CalDate &cal : invalid) {
    int32_t date = 0x5a5a5a5a;
    EXPECT_EQ(dt_dateFromCalDate(&cal, &date), -1) << show(cal);
    EXPECT_EQ(date, 0x5a5a5a5a) << show(cal);
  }
  const CalDate good{2000, 2, 29};
  int32_t date = 0x5a5a5a5a;
  EXPECT_EQ(dt_dateFromCalDate(nullptr, &date), -1);
  EXPECT_EQ(date, 0x5a5a5a5a);
  EXPECT_EQ(dt_dateFromCalDate(&good, nullptr), -1);
  EXPECT_EQ(dt_dateToCalDate(730179, nullptr), -1);
  const CalTime noon{12, 0, 0, 0};
  uint32_t time = 0x5a5a5a5a;
  EXPECT_EQ(dt_timeFromCalTime(nullptr, &time), -1);
  EXPECT_EQ(time, 0x5a5a5a5au);
  EXPECT_EQ(dt_timeFromCalTime(&noon, nullptr), -1);
  EXPECT_EQ(dt_timeToCalTime(0, nullptr), -1);
  EXPECT_EQ(dt_dateToday(nullptr), -1);
  EXPECT_EQ(dt_timeNow(nullptr), -1);
  dt_timestampNow(nullptr);
  EXPECT_EQ(dt_dateValidateMonth(nullptr), 0);
}

// Years past 9999 are accepted while the day number fits 32 bits; those
// dates take apart as 0001-01-01, like every date outside 1 .. 3652059.
TEST(Datetime, DatesOutsideTheCalendar) {
  struct Row {
    CalDate cal;
    int64_t date;
  };
  const Row rows[] = {
      {{10000, 1, 1}, kLastDate + 1},
      {{123456, 7, 8}, 45091202},
      {{5879610, 12, 31}, 2147483455},
      {{5879611, 7, 11}, INT32_MAX},
  };
  for (const Row &r : rows) {
    int32_t date = 0;
    EXPECT_EQ(dt_dateFromCalDate(&r.cal, &date), 0) << show(r.cal);
    EXPECT_EQ(date, r.date) << show(r.cal);
  }
  for (int32_t date : {0, -1, -730120, INT32_MIN, kLastDate + 1, 5000000, INT32_MAX}) {
    SCOPED_TRACE(date);
    CalDate cal{};
    EXPECT_EQ(dt_dateToCalDate(date, &cal), 0);
    EXPECT_TRUE(sameDate(cal, CalDate{1, 1, 1})) << show(cal);
    EXPECT_EQ(dt_dateYear(date), 1);
    EXPECT_EQ(dt_dateMonth(date), 1);
    EXPECT_EQ(dt_dateDayOfMonth(date), 1);
    // Past the end, day of year and week count from 0001-01-01 to the date
    // itself, in 16 bits.
    const int64_t days = date > kLastDate ? date - 1 : 0;
    EXPECT_EQ(dt_dateDayOfYear(date), static_cast<uint16_t>(days + 1));
    EXPECT_EQ(dt_dateWeek(date), static_cast<uint16_t>(days / 7 + 1));
    EXPECT_EQ(dt_dateQuarter(date), 1);
    EXPECT_STREQ(dt_dateMonthName(date), "January");
    EXPECT_STREQ(dt_dateMonthAbr(date), "Jan");
  }
  // The weekday goes on cycling below day 1 and above 9999-12-31.
  EXPECT_STREQ(dt_dateDayName(0), "Sunday");
  EXPECT_STREQ(dt_dateDayAbr(-1), "Sat");
  EXPECT_STREQ(dt_dateDayName(kLastDate + 1), "Saturday");
  for (int64_t start : {int64_t{-400}, int64_t{INT32_MIN}, int64_t{INT32_MAX} - 400}) {
    for (int64_t date = start; date < start + 400; ++date) {
      const int here = dt_dateDayOfWeek(static_cast<int32_t>(date));
      const int next = dt_dateDayOfWeek(static_cast<int32_t>(date + 1));
      ASSERT_TRUE(here >= 1 && here <= 7) << date;
      ASSERT_EQ(next, here % 7 + 1) << date;
      ASSERT_STREQ(dt_dateDayName(static_cast<int32_t>(date)), dt_dateDayName(here - 1)) << date;
    }
  }
}

// A sample of days from 1970 on against libc's UTC conversions.
TEST(Datetime, AgreesWithLibc) {
  std::mt19937 rng(20261206);
  std::uniform_int_distribution<int32_t> anyDay(kEpochDate, kLastDate);
  for (int i = 0; i < 200000; ++i) {
    const int32_t date = i < 1000 ? kLastDate - i : anyDay(rng);
    const time_t seconds = static_cast<time_t>(date - kEpochDate) * 86400;
    tm utc{};
    ASSERT_NE(gmtime_r(&seconds, &utc), nullptr) << date;
    const CalDate want{utc.tm_year + 1900, static_cast<uint16_t>(utc.tm_mon + 1),
                       static_cast<uint16_t>(utc.tm_mday)};
    CalDate cal{};
    int32_t back = 0;
    ASSERT_EQ(dt_dateToCalDate(date, &cal), 0);
    ASSERT_TRUE(sameDate(cal, want)) << date << ": " << show(cal) << " want " << show(want);
    ASSERT_EQ(dt_dateFromCalDate(&want, &back), 0);
    ASSERT_EQ(back, date) << show(want);
    ASSERT_EQ(dt_dateDayOfWeek(date), utc.tm_wday + 1) << date;
    ASSERT_EQ(dt_dateDayOfYear(date), utc.tm_yday + 1) << date;
  }
}

TEST(Datetime, TimesFromFieldsRoundTheFraction) {
  struct Row {
    CalTime cal;
    uint32_t want;
  };
  const uint64_t largest = (65535ull * 3600 + 65535 * 60 + 65535) * 10000 + 6554;
  const Row rows[] = {
      {{0, 0, 0, 0}, 0},
      {{0, 0, 0, 1}, 1},
      {{12, 34, 56, 7890}, 452967890},
      {{23, 59, 59, 9999}, 863999999},
      {{25, 0, 0, 0}, 900000000},
      {{0, 60, 0, 0}, 36000000},
      {{0, 0, 0, 10000}, 1000},
      {{0, 0, 0, 10004}, 1000},
      {{0, 0, 0, 10005}, 1001},
      {{0, 0, 0, 12345}, 1235},
      {{0, 0, 0, 19995}, 2000},
      {{0, 0, 0, 65535}, 6554},
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
}

// Every second of the day with a few fractions, then times of 24 hours and
// more: dt_timeToCalTime refuses them, the extractors read them as durations.
TEST(Datetime, TimesTakenApart) {
  for (uint16_t hour = 0; hour < 24; ++hour)
    for (uint16_t minute = 0; minute < 60; ++minute)
      for (uint16_t second = 0; second < 60; ++second)
        for (uint16_t fraction : {0, 1, 5000, 9999}) {
          const uint32_t time = ((hour * 60u + minute) * 60u + second) * 10000u + fraction;
          CalTime cal{};
          uint32_t back = 0;
          const bool ok = dt_timeToCalTime(time, &cal) == 0 && cal.hour == hour &&
                          cal.minute == minute && cal.second == second &&
                          cal.fraction == fraction && dt_timeFromCalTime(&cal, &back) == 0 &&
                          back == time && dt_timeHour(time) == hour &&
                          dt_timeMinute(time) == minute && dt_timeSecond(time) == second &&
                          dt_timeFraction(time) == fraction;
          if (!ok) FAIL() << "time " << time << " gave " << cal.hour << ":" << cal.minute << ":"
                          << cal.second << "." << cal.fraction << " back " << back;
        }

  struct Row {
    uint32_t time;
    uint16_t hour, minute, second, fraction;
  };
  const Row beyond[] = {
      {864000000, 24, 0, 0, 0},
      {900000000, 25, 0, 0, 0},
      {864000000 + 1234567, 24, 2, 3, 4567},
      {UINT32_MAX, 119, 18, 16, 7295},
  };
  for (const Row &r : beyond) {
    SCOPED_TRACE(r.time);
    CalTime cal{7, 7, 7, 7};
    EXPECT_EQ(dt_timeToCalTime(r.time, &cal), -1);
    EXPECT_EQ(cal.hour, r.hour);
    EXPECT_EQ(cal.fraction, r.fraction);
    EXPECT_EQ(cal.minute, 7);  // left as they were
    EXPECT_EQ(cal.second, 7);
    EXPECT_EQ(dt_timeHour(r.time), r.hour);
    EXPECT_EQ(dt_timeMinute(r.time), r.minute);
    EXPECT_EQ(dt_timeSecond(r.time), r.second);
    EXPECT_EQ(dt_timeFraction(r.time), r.fraction);
  }
}

TEST(Datetime, ValidateMonth) {
  struct Row {
    const char *text;
    int month;
  };
  const Row rows[] = {
      {"January", 1}, {"jan", 1},  {"FEBRUARY", 2}, {"Mar", 3},   {"april", 4},
      {"may", 5},     {"MAY", 5},  {"jUnE", 6},     {"Jul", 7},   {"August", 8},
      {"sep", 9},     {"September", 9}, {"oct", 10}, {"November", 11}, {"DEC", 12},
      {"SEPT", 0},    {"Ja", 0},   {"", 0},         {"Janu", 0},  {" May", 0},
      {"May ", 0},    {"Mai", 0},  {"13", 0},       {"Decembers", 0},
  };
  for (const Row &r : rows) EXPECT_EQ(dt_dateValidateMonth(r.text), r.month) << r.text;
}

// Local wall-clock time in ten-thousandths of a second since midnight, and
// its day number, from one gettimeofday reading.
struct LocalReading {
  int64_t date;
  uint32_t ticks;
};

LocalReading readLocal() {
  timeval clock{};
  gettimeofday(&clock, nullptr);
  tm local{};
  localtime_r(&clock.tv_sec, &local);
  return {dayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday),
          static_cast<uint32_t>((local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) * 10000 +
                                clock.tv_usec / 100)};
}

// A zone far from UTC makes a clock read in UTC show up at once.
TEST(Datetime, ClockReadsLocalTime) {
  for (const char *zone : {"XYZ-14", "ABC+11", "UTC0"}) {
    SCOPED_TRACE(zone);
    setenv("TZ", zone, 1);
    tzset();
    const LocalReading before = readLocal();
    int32_t today = 0;
    uint32_t time = 0;
    Timestamp stamp{0, 0};
    EXPECT_EQ(dt_dateToday(&today), 0);
    EXPECT_EQ(dt_timeNow(&time), 0);
    dt_timestampNow(&stamp);
    const LocalReading after = readLocal();
    if (before.date != after.date) GTEST_SKIP() << "local midnight passed during the test";
    EXPECT_EQ(today, before.date);
    EXPECT_EQ(stamp.date, before.date);
    EXPECT_GE(time, before.ticks);
    EXPECT_LE(time, after.ticks);
    EXPECT_GE(stamp.time, time);
    EXPECT_LE(stamp.time, after.ticks);
  }
}

}  // namespace
