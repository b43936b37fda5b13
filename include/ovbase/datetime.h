/*
 * ovbase/datetime.h - dates, times of day and timestamps as plain integers.
 *
 * Conventions:
 *  - A date is a signed 32-bit day number in the proleptic Gregorian
 *    calendar (the Gregorian leap rule applied to every year): day 1 is
 *    0001-01-01, 719163 is 1970-01-01, 3652059 is 9999-12-31.
 *  - A time is an unsigned 32-bit count of ten-thousandths of a second since
 *    midnight: (hour * 3600 + minute * 60 + second) * 10000 + fraction, so
 *    0 to 863999999 (23:59:59.9999).
 *  - Results: functions that can fail return 0 for success and -1 for
 *    failure (a null pointer, invalid calendar fields), and then write
 *    nothing, with the one exception that dt_timeToCalTime has stored
 *    `fraction` and `hour` before it finds an hour above 23.  The part
 *    extractors (dt_dateYear .. dt_timeFraction) report no failure.
 *  - Dates outside 1 .. 3652059: every function that takes a date apart
 *    reads such a date as 1 (0001-01-01), below the range as above it.
 *    Day of year and week still count from 1 January of year 1 to the date
 *    itself when it lies past the range (their 16-bit results wrap: 3652060
 *    gives day 47580, week 62971); below the range they give 1.  The
 *    day-of-week functions alone use the date itself, with the weekly cycle
 *    carried on in both directions (day 0 is a Sunday), so any int32_t date
 *    gives a day of week 1 to 7 and a valid name.
 *  - Names of days and months are English texts from constant tables: the
 *    caller neither changes nor releases them.
 *  - No state, no locks, no memory: every function may run on any thread.
 *    The clock functions read the wall clock once and convert it with the
 *    re-entrant local-time conversion.
 */
#ifndef OVBASE_DATETIME_H
#define OVBASE_DATETIME_H

#include "ovdefs.h"

OV_BEGIN_DECLS

/* A calendar date, filled and read by the conversion functions. */
typedef struct CalDate {
  int32_t year;   /* 1 and up */
  uint16_t month; /* 1 to 12 */
  uint16_t day;   /* 1 to the last day of the month */
} CalDate;

/* A time of day taken apart. */
typedef struct CalTime {
  uint16_t hour;     /* 0 to 23 */
  uint16_t minute;   /* 0 to 59 */
  uint16_t second;   /* 0 to 59 */
  uint16_t fraction; /* ten-thousandths of a second, 0 to 9999 */
} CalTime;

/* A date and a time of day, 8 bytes. */
typedef struct Timestamp {
  int32_t date;  /* day number */
  uint32_t time; /* ten-thousandths of a second since midnight */
} Timestamp;

/* ---- Building and taking apart -------------------------------------------- */

/* Stores the day number of the calendar date *cal in *date.  Returns 0, or
   -1 (nothing written) when either pointer is null, year <= 0, month is 0 or
   above 12, or day is 0 or past the month's last day.  There is no upper
   bound on the year as long as the day number fits: 10000-01-01 gives
   3652060 (which takes apart as 0001-01-01), and the last date accepted is
   5879611-07-11, day 2147483647; any later one gives -1. */
OV_API int32_t dt_dateFromCalDate(const CalDate *cal, int32_t *date);

/* Stores the calendar fields of `date` in *cal.  A date outside 1 ..
   3652059 gives 0001-01-01.  Returns 0, or -1 when cal is null. */
OV_API int32_t dt_dateToCalDate(int32_t date, CalDate *cal);

/* Stores (hour * 3600 + minute * 60 + second) * 10000 + fraction in *time.
   Hour, minute and second are not range-checked (25:00:00 gives
   900000000); a sum past 32 bits wraps modulo 2^32.  A fraction of 10000 or
   more has one digit too many: it is divided by 10, rounding half up, so
   10005 counts as 1001 and 65535 as 6554.  Returns 0, or -1 (nothing
   written) when either pointer is null. */
OV_API int32_t dt_timeFromCalTime(const CalTime *cal, uint32_t *time);

/* Stores the fields of `time` in *cal.  Returns 0; -1 when cal is null
   (nothing written), or when the hour would pass 23: then `fraction` and
   `hour` (24 or more) are stored and `minute` and `second` are left as they
   were. */
OV_API int32_t dt_timeToCalTime(uint32_t time, CalTime *cal);

/* ---- Parts of a date ------------------------------------------------------ */
/* The year, month and its names, day of month and quarter of a date outside
   1 .. 3652059 are those of 0001-01-01; day of year, week and weekday say
   their own rule. */

/* Returns the year of `date`. */
OV_API int32_t dt_dateYear(int32_t date);

/* Returns the month of `date`, 1 to 12. */
OV_API uint16_t dt_dateMonth(int32_t date);

/* Returns the day of the month of `date`, 1 to 31. */
OV_API uint16_t dt_dateDayOfMonth(int32_t date);

/* Returns the day of the year of `date`, 1 (1 January) to 366.  A date past
   9999-12-31 is taken to lie in year 1, so this gives the date itself cut to
   16 bits (3652060 gives 47580); a date below 1 gives 1. */
OV_API uint16_t dt_dateDayOfYear(int32_t date);

/* Returns the week of the year of `date`, 1 to 53: weeks are counted from
   1 January whatever its weekday, so days 1 to 7 of the year are week 1.
   A date past 9999-12-31 is taken to lie in year 1: (date - 1) / 7 + 1 cut
   to 16 bits (3652060 gives 62971); a date below 1 gives 1. */
OV_API uint16_t dt_dateWeek(int32_t date);

/* Returns the quarter of `date`, 1 to 4. */
OV_API uint16_t dt_dateQuarter(int32_t date);

/* Returns the day of the week of `date`, 1 (Sunday) to 7 (Saturday);
   0001-01-01 is a Monday (2).  Defined for every int32_t date. */
OV_API uint16_t dt_dateDayOfWeek(int32_t date);

/* Returns the three-letter English name of the weekday ("Sun" .. "Sat"),
   as dt_dateDayOfWeek reckons it for every int32_t date. */
OV_API const char *dt_dateDayAbr(int32_t date);

/* Returns the English name of the weekday ("Sunday" .. "Saturday"), as
   dt_dateDayOfWeek reckons it for every int32_t date. */
OV_API const char *dt_dateDayName(int32_t date);

/* Returns the three-letter English name of the month ("Jan" .. "Dec"). */
OV_API const char *dt_dateMonthAbr(int32_t date);

/* Returns the English name of the month ("January" .. "December"). */
OV_API const char *dt_dateMonthName(int32_t date);

/* ---- Parts of a time ------------------------------------------------------ */

/* Return the hour, minute, second and fraction of `time`.  A time of 24
   hours or more reads as a duration: the hour counts on past 23 (up to
   119) and the minute, second and fraction are those of the time itself, so
   900000000 is hour 25, minute 0, second 0. */
OV_API uint16_t dt_timeHour(uint32_t time);
OV_API uint16_t dt_timeMinute(uint32_t time);
OV_API uint16_t dt_timeSecond(uint32_t time);
OV_API uint16_t dt_timeFraction(uint32_t time);

/* ---- Month names and the clock -------------------------------------------- */

/* Returns the month 1 to 12 whose full English name or three-letter
   abbreviation equals `text` ignoring case ("sep" and "September" give 9,
   "SEPT" gives 0), or 0 when none does or text is null. */
OV_API uint16_t dt_dateValidateMonth(const char *text);

/* Stores today's local date in *date.  Returns 0, or -1 (nothing written)
   when date is null or the clock cannot be converted to local time. */
OV_API int32_t dt_dateToday(int32_t *date);

/* Stores the current local time of day, to 100 microseconds, in *time.
   Returns 0, or -1 (nothing written) when time is null or the clock cannot
   be converted to local time. */
OV_API int32_t dt_timeNow(uint32_t *time);

/* Stores the current local date and time of day, both from one reading of
   the clock, in *ts.  A null ts does nothing; so does a clock that cannot be
   converted to local time. */
OV_API void dt_timestampNow(Timestamp *ts);

OV_END_DECLS

#endif /* OVBASE_DATETIME_H */
