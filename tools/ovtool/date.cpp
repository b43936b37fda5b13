/*
 * date.cpp - `ovtool date [YYYY-MM-DD | today | DAYNUMBER]`: a date taken
 * apart by the dt_ functions.
 *
 * The argument is a calendar date (the month as a number or an English
 * name, e.g. 2000-02-29 or 2000-feb-29), the word today (also the default),
 * or a day number.  Prints the date, its day number, weekday, day of the
 * year, week, quarter and month.  A date outside 0001-01-01 .. 9999-12-31
 * or a day that the calendar lacks is reported on stderr (exit 1).
 */
#include <cstdio>
#include <cstring>

#include "ovbase/datetime.h"
#include "ovtool.h"

namespace {

constexpr int32_t kLastDate = 3652059;  // 9999-12-31

// Reads the decimal digits at *p (at least one, at most maxDigits) and
// moves *p past them.
bool readNumber(const char **p, int maxDigits, int32_t *value) {
  int32_t n = 0;
  int digits = 0;
  for (; **p >= '0' && **p <= '9'; ++*p) {
    if (++digits > maxDigits) return false;
    n = n * 10 + (**p - '0');
  }
  *value = n;
  return digits > 0;
}

// The month of a date: one or two digits, or an English name or
// abbreviation up to the next '-'.
bool readMonth(const char **p, uint16_t *month) {
  int32_t number = 0;
  if (**p >= '0' && **p <= '9') {
    if (!readNumber(p, 2, &number)) return false;
    *month = static_cast<uint16_t>(number);
    return true;
  }
  const char *dash = std::strchr(*p, '-');
  if (dash == nullptr || dash - *p >= 16) return false;
  char name[16];
  std::memcpy(name, *p, static_cast<size_t>(dash - *p));
  name[dash - *p] = '\0';
  *month = dt_dateValidateMonth(name);
  *p = dash;
  return *month != 0;
}

// YYYY-MM-DD (or YYYY-Mon-DD) into a day number via dt_dateFromCalDate.
bool parseCalendarDate(const char *text, int32_t *date) {
  const char *p = text;
  int32_t year = 0;
  int32_t day = 0;
  CalDate cal{};
  if (!readNumber(&p, 4, &year) || *p++ != '-' || !readMonth(&p, &cal.month) || *p++ != '-' ||
      !readNumber(&p, 2, &day) || *p != '\0')
    return false;
  cal.year = year;
  cal.day = static_cast<uint16_t>(day);
  return dt_dateFromCalDate(&cal, date) == 0;
}

// A day number: decimal digits only, 1 to 3652059.
bool parseDayNumber(const char *text, int32_t *date) {
  const char *p = text;
  return readNumber(&p, 7, date) && *p == '\0' && *date >= 1 && *date <= kLastDate;
}

}  // namespace

int cmdDate(int argc, char **argv) {
  if (argc > 2) return usage("date [YYYY-MM-DD | today | DAYNUMBER]");
  const char *arg = argc == 2 ? argv[1] : "today";
  int32_t date = 0;
  if (std::strcmp(arg, "today") == 0) {
    if (dt_dateToday(&date) != 0) {
      std::fprintf(stderr, "ovtool: the clock gives no local date\n");
      return 1;
    }
  } else if (!parseDayNumber(arg, &date) && !parseCalendarDate(arg, &date)) {
    std::fprintf(stderr,
                 "ovtool: %s is not a date from 0001-01-01 to 9999-12-31 "
                 "(YYYY-MM-DD, today or a day number 1 to %d)\n",
                 quoteArg(arg).c_str(), kLastDate);
    return 1;
  }
  CalDate cal{};
  dt_dateToCalDate(date, &cal);
  std::printf("%04d-%02u-%02u\n", cal.year, unsigned{cal.month}, unsigned{cal.day});
  std::printf("day number   %d\n", date);
  std::printf("weekday      %s (%u)\n", dt_dateDayName(date), unsigned{dt_dateDayOfWeek(date)});
  std::printf("day of year  %u\n", unsigned{dt_dateDayOfYear(date)});
  std::printf("week         %u\n", unsigned{dt_dateWeek(date)});
  std::printf("quarter      %u\n", unsigned{dt_dateQuarter(date)});
  std::printf("month        %s (%u)\n", dt_dateMonthName(date), unsigned{cal.month});
  return 0;
}
