/*
 * datetime.cpp - day numbers, times of day and timestamps: building them
 * from calendar fields, taking them apart, naming weekdays and months, and
 * reading the local clock.
 *
 * Exports the dt_ functions of ovbase/datetime.h.  Pure arithmetic on the
 * proleptic Gregorian calendar except for now(), which reads the wall clock
 * once and converts it with ov_timeLocaltime.  Allocates nothing.
 */
#include <sys/time.h>
#include <strings.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>
#include <ctime>

#include "ovbase/datetime.h"
#include "ovbase/platform.h"

namespace {

constexpr int32_t kFirstDate = 1;        // 0001-01-01
constexpr int32_t kLastDate = 3652059;   // 9999-12-31
constexpr uint32_t kTicksPerSecond = 10000;

constexpr int32_t kDaysPer400Years = 146097;
constexpr int32_t kDaysPer100Years = 36524;
constexpr int32_t kDaysPer4Years = 1461;
constexpr int32_t kDaysPerYear = 365;

constexpr const char *dayAbbreviations[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char *dayNames[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};
constexpr const char *monthAbbreviations[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char *monthNames[12] = {"January", "February", "March",     "April",
                                        "May",     "June",     "July",      "August",
                                        "September", "October", "November", "December"};
constexpr uint16_t daysPerMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// Days of a common year before the first of each month; entry 12 is the
// whole year.  A leap year has one more from March on.
constexpr std::array<uint16_t, 13> daysBeforeMonth = [] {
  std::array<uint16_t, 13> table{};
  for (int m = 0; m < 12; ++m) table[m + 1] = static_cast<uint16_t>(table[m] + daysPerMonth[m]);
  return table;
}();
static_assert(daysBeforeMonth[2] == 59 && daysBeforeMonth[11] == 334 && daysBeforeMonth[12] == 365);
static_assert(kDaysPer4Years == 4 * kDaysPerYear + 1);
static_assert(kDaysPer100Years == 25 * kDaysPer4Years - 1);
static_assert(kDaysPer400Years == 4 * kDaysPer100Years + 1);

constexpr bool isLeapYear(int64_t year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}
static_assert(isLeapYear(2000) && isLeapYear(2024) && !isLeapYear(1900) && !isLeapYear(2023));

constexpr uint16_t lastDayOfMonth(int64_t year, uint32_t month) {
  return month == 2 && isLeapYear(year) ? 29 : daysPerMonth[month - 1];
}

// Days of `year` before the first of `month` (1 to 12).
constexpr int32_t daysBeforeMonthOf(int64_t year, uint32_t month) {
  return daysBeforeMonth[month - 1] + (month > 2 && isLeapYear(year) ? 1 : 0);
}

// Day number of year-month-day without any check.  64-bit, so that every
// int32_t year with a valid month is free of overflow; the caller decides
// whether the result fits a date.
constexpr int64_t makeDate(int64_t year, uint32_t month, uint32_t day) {
  const int64_t before = year - 1;
  return before * kDaysPerYear + before / 4 - before / 100 + before / 400 +
         daysBeforeMonthOf(year, month) + day;
}
static_assert(makeDate(1, 1, 1) == 1);
static_assert(makeDate(1970, 1, 1) == 719163);
static_assert(makeDate(2000, 1, 1) == 730120);
static_assert(makeDate(2000, 2, 29) == 730179);
static_assert(makeDate(9999, 12, 31) == kLastDate);
static_assert(makeDate(10000, 1, 1) == kLastDate + 1);
static_assert(makeDate(5879611, 7, 11) == INT32_MAX);

constexpr int32_t inCalendar(int32_t date) {
  return date < kFirstDate || date > kLastDate ? kFirstDate : date;
}

// Splits a date into its calendar fields; dates outside the calendar read
// as 0001-01-01.  Instead of guessing the year and stepping towards it, this
// peels off whole 400-, 100-, 4- and 1-year spans from 0001-01-01, which
// costs the same few divisions for every date.
constexpr CalDate queryDate(int32_t date) {
  int32_t rest = inCalendar(date) - 1;  // days after 0001-01-01
  const int32_t quadCenturies = rest / kDaysPer400Years;
  rest %= kDaysPer400Years;
  // The fourth century of a span has the extra leap day, and a span's very
  // last day (rest / 36524 == 4) still belongs to it; likewise for years.
  const int32_t centuries = std::min(rest / kDaysPer100Years, 3);
  rest -= centuries * kDaysPer100Years;
  const int32_t quadYears = rest / kDaysPer4Years;
  rest %= kDaysPer4Years;
  const int32_t years = std::min(rest / kDaysPerYear, 3);
  rest -= years * kDaysPerYear;  // now the day of the year counted from 0

  const int32_t year = quadCenturies * 400 + centuries * 100 + quadYears * 4 + years + 1;
  // No month starts later than 31 * (month - 1) days into the year, so this
  // guess is never past the right month and at most two steps short of it.
  uint32_t month = static_cast<uint32_t>(rest) / 32 + 1;
  while (month < 12 && rest >= daysBeforeMonthOf(year, month + 1)) ++month;
  const int32_t day = rest - daysBeforeMonthOf(year, month) + 1;
  return CalDate{year, static_cast<uint16_t>(month), static_cast<uint16_t>(day)};
}

constexpr bool splitsAs(int32_t date, int32_t year, uint16_t month, uint16_t day) {
  const CalDate cal = queryDate(date);
  return cal.year == year && cal.month == month && cal.day == day;
}
static_assert(splitsAs(1, 1, 1, 1));
static_assert(splitsAs(365, 1, 12, 31));
static_assert(splitsAs(719163, 1970, 1, 1));
static_assert(splitsAs(730120, 2000, 1, 1));
static_assert(splitsAs(730179, 2000, 2, 29));
static_assert(splitsAs(730485, 2000, 12, 31));  // last day of a 400-year span
static_assert(splitsAs(kLastDate, 9999, 12, 31));
static_assert(splitsAs(kLastDate + 1, 1, 1, 1) && splitsAs(0, 1, 1, 1) && splitsAs(INT32_MIN, 1, 1, 1));

constexpr uint16_t dayOfYear(const CalDate &cal) {
  return static_cast<uint16_t>(daysBeforeMonthOf(cal.year, cal.month) + cal.day);
}

// Index into the day tables, 0 (Sunday) to 6, for any int32_t date: the
// remainder is taken upwards so the weekly cycle runs on below day 1.
constexpr int weekdayIndex(int32_t date) {
  const int r = date % 7;
  return r < 0 ? r + 7 : r;
}
static_assert(weekdayIndex(1) == 1 && weekdayIndex(0) == 0 && weekdayIndex(-1) == 6);
static_assert(weekdayIndex(INT32_MIN) >= 0 && weekdayIndex(INT32_MAX) <= 6);

int32_t dateFromCal(const CalDate &cal, int32_t *date) {
  if (cal.year <= 0 || cal.month == 0 || cal.month > 12 || cal.day == 0 ||
      cal.day > lastDayOfMonth(cal.year, cal.month))
    return -1;
  const int64_t days = makeDate(cal.year, cal.month, cal.day);
  if (days > INT32_MAX) return -1;
  *date = static_cast<int32_t>(days);
  return 0;
}

int32_t timeFromCal(const CalTime &cal, uint32_t *time) {
  // Unsigned 32-bit throughout: unchecked fields wrap rather than overflow.
  uint32_t ticks = (cal.hour * 3600u + cal.minute * 60u + cal.second) * kTicksPerSecond;
  uint32_t fraction = cal.fraction;
  // A fraction with a fifth digit is scaled back by ten, rounding half up;
  // a 16-bit fraction needs one such step at most.
  static_assert(UINT16_MAX / 10 + 1 < kTicksPerSecond);
  if (fraction >= kTicksPerSecond) {
    const uint32_t dropped = fraction % 10;
    fraction = fraction / 10 + (dropped >= 5 ? 1 : 0);
  }
  ticks += fraction;
  *time = ticks;
  return 0;
}

// Fills *date, *time or both (either may be null) from one reading of the
// wall clock in local time.  Returns 0, or -1 when neither is asked for, the
// clock cannot be converted, or the local date does not make a day number;
// nothing is written then.
int32_t now(int32_t *date, uint32_t *time) {
  if (date == nullptr && time == nullptr) return -1;
  timeval clock{};
  gettimeofday(&clock, nullptr);
  const time_t seconds = clock.tv_sec;
  tm local{};
  if (ov_timeLocaltime(&seconds, &local) == nullptr) return -1;
  if (date != nullptr) {
    if (local.tm_year > INT32_MAX - 1900) return -1;
    const CalDate cal{local.tm_year + 1900, static_cast<uint16_t>(local.tm_mon + 1),
                      static_cast<uint16_t>(local.tm_mday)};
    int32_t day = 0;
    if (dateFromCal(cal, &day) != 0) return -1;
    *date = day;
  }
  if (time != nullptr) {
    const CalTime cal{static_cast<uint16_t>(local.tm_hour), static_cast<uint16_t>(local.tm_min),
                      static_cast<uint16_t>(local.tm_sec),
                      static_cast<uint16_t>(clock.tv_usec / 100)};
    return timeFromCal(cal, time);
  }
  return 0;
}

}  // namespace

static_assert(sizeof(CalDate) == 8 && offsetof(CalDate, month) == 4 && offsetof(CalDate, day) == 6);
static_assert(sizeof(CalTime) == 8 && offsetof(CalTime, fraction) == 6);
static_assert(sizeof(Timestamp) == 8 && offsetof(Timestamp, time) == 4);

extern "C" {

OV_API int32_t dt_dateFromCalDate(const CalDate *cal, int32_t *date) {
  if (cal == nullptr || date == nullptr) return -1;
  return dateFromCal(*cal, date);
}

OV_API int32_t dt_dateToCalDate(int32_t date, CalDate *cal) {
  if (cal == nullptr) return -1;
  *cal = queryDate(date);
  return 0;
}

OV_API int32_t dt_timeFromCalTime(const CalTime *cal, uint32_t *time) {
  if (cal == nullptr || time == nullptr) return -1;
  return timeFromCal(*cal, time);
}

OV_API int32_t dt_timeToCalTime(uint32_t time, CalTime *cal) {
  if (cal == nullptr) return -1;
  cal->fraction = static_cast<uint16_t>(time % kTicksPerSecond);
  const uint32_t seconds = time / kTicksPerSecond;
  cal->hour = static_cast<uint16_t>(seconds / 3600);
  if (cal->hour > 23) return -1;
  cal->minute = static_cast<uint16_t>(seconds % 3600 / 60);
  cal->second = static_cast<uint16_t>(seconds % 60);
  return 0;
}

OV_API int32_t dt_dateYear(int32_t date) { return queryDate(date).year; }
OV_API uint16_t dt_dateMonth(int32_t date) { return queryDate(date).month; }
OV_API uint16_t dt_dateDayOfMonth(int32_t date) { return queryDate(date).day; }
// Days since 1 January of the year the date reads as.  A date past the
// calendar's end reads as year 1, but the count is still taken from the date
// itself (so 3652060 is day 3652060 of year 1, cut to 16 bits by the
// callers); a date below 1 counts from day 1.
constexpr int64_t daysIntoYear(int32_t date) {
  const CalDate cal = queryDate(date);
  return date > kLastDate ? date - makeDate(cal.year, 1, 1) : dayOfYear(cal) - 1;
}
static_assert(daysIntoYear(kLastDate) == 364 && daysIntoYear(kLastDate + 1) == kLastDate);
static_assert(daysIntoYear(0) == 0 && daysIntoYear(730485) == 365);

OV_API uint16_t dt_dateDayOfYear(int32_t date) {
  return static_cast<uint16_t>(daysIntoYear(date) + 1);
}

OV_API uint16_t dt_dateWeek(int32_t date) {
  return static_cast<uint16_t>(daysIntoYear(date) / 7 + 1);
}

OV_API uint16_t dt_dateQuarter(int32_t date) {
  return static_cast<uint16_t>((queryDate(date).month + 2) / 3);
}

OV_API uint16_t dt_dateDayOfWeek(int32_t date) {
  return static_cast<uint16_t>(weekdayIndex(date) + 1);
}

OV_API const char *dt_dateDayAbr(int32_t date) { return dayAbbreviations[weekdayIndex(date)]; }
OV_API const char *dt_dateDayName(int32_t date) { return dayNames[weekdayIndex(date)]; }

OV_API const char *dt_dateMonthAbr(int32_t date) {
  return monthAbbreviations[queryDate(date).month - 1];
}

OV_API const char *dt_dateMonthName(int32_t date) { return monthNames[queryDate(date).month - 1]; }

OV_API uint16_t dt_timeHour(uint32_t time) {
  return static_cast<uint16_t>(time / kTicksPerSecond / 3600);
}
OV_API uint16_t dt_timeMinute(uint32_t time) {
  return static_cast<uint16_t>(time / kTicksPerSecond % 3600 / 60);
}
OV_API uint16_t dt_timeSecond(uint32_t time) {
  return static_cast<uint16_t>(time / kTicksPerSecond % 60);
}
OV_API uint16_t dt_timeFraction(uint32_t time) {
  return static_cast<uint16_t>(time % kTicksPerSecond);
}

OV_API uint16_t dt_dateValidateMonth(const char *text) {
  if (text == nullptr) return 0;
  for (uint16_t m = 0; m < 12; ++m)
    if (strcasecmp(text, monthNames[m]) == 0 || strcasecmp(text, monthAbbreviations[m]) == 0)
      return static_cast<uint16_t>(m + 1);
  return 0;
}

OV_API int32_t dt_dateToday(int32_t *date) { return date ? now(date, nullptr) : -1; }

OV_API int32_t dt_timeNow(uint32_t *time) { return time ? now(nullptr, time) : -1; }

OV_API void dt_timestampNow(Timestamp *ts) {
  if (ts == nullptr) return;
  int32_t date = 0;
  uint32_t time = 0;
  if (now(&date, &time) != 0) return;
  ts->date = date;
  ts->time = time;
}

}  // extern "C"
