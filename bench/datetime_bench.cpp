// Date and time conversion speed: ovbase's dt_ conversions against libc's
// UTC conversions (timegm for calendar fields to a count, gmtime_r for a
// count to fields) on the same dates in the same run, and against the plain
// year-guessing conversion (guess the year low from date / 366, step a year
// at a time, then a month at a time) written out below.
//
// Dates: 1024 seeded random days from 1970-01-01 to 9999-12-31 (the range
// where all three work), and for ovbase and the stepping conversion also
// the last days of the calendar, where stepping takes longest.  Before
// timing, every pool date is checked to give the same fields in all three.
// After the runs a table prints the median CPU time per conversion (CPU
// time, as the machine may be shared) and the ratio ovbase / peer.
//
// Run: build/bench/datetime_bench [--benchmark_repetitions=5]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench_report.h"
#include "ovbase/datetime.h"

namespace {

constexpr int kPool = 1024;  // dates cycled through (power of two)
constexpr int32_t kEpochDate = 719163;
constexpr int32_t kLastDate = 3652059;

int monthDays(int32_t year, int month) {
  static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
  return month == 2 && leap ? 29 : days[month - 1];
}

int32_t stepMakeDate(int32_t year, int month, int day) {
  int32_t days = day;
  for (int m = 1; m < month; ++m) days += monthDays(year, m);
  const int32_t before = year - 1;
  return days + before * 365 + before / 4 - before / 100 + before / 400;
}

CalDate stepQueryDate(int32_t date) {
  if (date > kLastDate) date = 1;
  int32_t guess = date / 366 + 1;
  while (stepMakeDate(guess, 1, 1) <= date) ++guess;
  const int32_t year = guess - 1;
  int month = 1;
  while (stepMakeDate(year, month, monthDays(year, month)) < date) ++month;
  return CalDate{year, static_cast<uint16_t>(month),
                 static_cast<uint16_t>(date - stepMakeDate(year, month, 1) + 1)};
}

struct Pool {
  std::vector<int32_t> dates;
  std::vector<CalDate> cals;
  std::vector<time_t> seconds;  // midnight UTC of each date
  std::vector<tm> fields;       // the same as struct tm
  std::vector<CalTime> times;
  std::vector<uint32_t> ticks;
};

Pool makePool(int32_t first, int32_t last, uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::uniform_int_distribution<int32_t> day(first, last);
  std::uniform_int_distribution<uint32_t> tick(0, 863999999);
  Pool p;
  for (int i = 0; i < kPool; ++i) {
    const int32_t date = day(rng);
    CalDate cal{};
    dt_dateToCalDate(date, &cal);
    const CalDate stepped = stepQueryDate(date);
    if (stepped.year != cal.year || stepped.month != cal.month || stepped.day != cal.day) {
      std::fprintf(stderr, "day %d: ovbase and stepping disagree\n", date);
      std::exit(1);
    }
    tm fields{};
    fields.tm_year = cal.year - 1900;
    fields.tm_mon = cal.month - 1;
    fields.tm_mday = cal.day;
    const time_t seconds = static_cast<time_t>(date - kEpochDate) * 86400;
    if (date >= kEpochDate && timegm(&fields) != seconds) {
      std::fprintf(stderr, "day %d: ovbase and timegm disagree\n", date);
      std::exit(1);
    }
    CalTime time{};
    const uint32_t t = tick(rng);
    dt_timeToCalTime(t, &time);
    p.dates.push_back(date);
    p.cals.push_back(cal);
    p.seconds.push_back(seconds);
    p.fields.push_back(fields);
    p.times.push_back(time);
    p.ticks.push_back(t);
  }
  return p;
}

// "modern": 1970 .. 9999, where libc's UTC conversions apply; "late": the
// last 400 years of the calendar.
const Pool &pool(bool late) {
  static const Pool modern = makePool(kEpochDate, kLastDate, 20261206);
  static const Pool lateDates = makePool(kLastDate - 146096, kLastDate, 97);
  return late ? lateDates : modern;
}

enum Conversion { kFromCal, kToCal, kDayOfYear, kTimeFromCal, kTimeToCal };

void ovbase(benchmark::State &state, Conversion c, bool late) {
  const Pool &p = pool(late);
  int i = 0;
  for (auto _ : state) {
    switch (c) {
      case kFromCal: {
        int32_t date = 0;
        benchmark::DoNotOptimize(dt_dateFromCalDate(&p.cals[i], &date));
        benchmark::DoNotOptimize(date);
        break;
      }
      case kToCal: {
        CalDate cal{};
        benchmark::DoNotOptimize(dt_dateToCalDate(p.dates[i], &cal));
        benchmark::DoNotOptimize(cal);
        break;
      }
      case kDayOfYear:
        benchmark::DoNotOptimize(dt_dateDayOfYear(p.dates[i]));
        break;
      case kTimeFromCal: {
        uint32_t t = 0;
        benchmark::DoNotOptimize(dt_timeFromCalTime(&p.times[i], &t));
        benchmark::DoNotOptimize(t);
        break;
      }
      case kTimeToCal: {
        CalTime cal{};
        benchmark::DoNotOptimize(dt_timeToCalTime(p.ticks[i], &cal));
        benchmark::DoNotOptimize(cal);
        break;
      }
    }
    i = (i + 1) & (kPool - 1);
  }
}

// libc: timegm for fields to a count, gmtime_r for a count to fields (which
// also yields the day of the year).
void libc(benchmark::State &state, Conversion c, bool late) {
  const Pool &p = pool(late);
  int i = 0;
  for (auto _ : state) {
    if (c == kFromCal) {
      tm fields = p.fields[i];
      benchmark::DoNotOptimize(timegm(&fields));
    } else {
      tm fields{};
      benchmark::DoNotOptimize(gmtime_r(&p.seconds[i], &fields));
      benchmark::DoNotOptimize(fields);
    }
    i = (i + 1) & (kPool - 1);
  }
}

void stepping(benchmark::State &state, Conversion c, bool late) {
  const Pool &p = pool(late);
  int i = 0;
  for (auto _ : state) {
    if (c == kFromCal) {
      const CalDate &cal = p.cals[i];
      benchmark::DoNotOptimize(stepMakeDate(cal.year, cal.month, cal.day));
    } else if (c == kToCal) {
      benchmark::DoNotOptimize(stepQueryDate(p.dates[i]));
    } else {
      const CalDate cal = stepQueryDate(p.dates[i]);
      benchmark::DoNotOptimize(p.dates[i] - stepMakeDate(cal.year, 1, 1) + 1);
    }
    i = (i + 1) & (kPool - 1);
  }
}

// Benchmark names, indexed by Conversion.
constexpr const char *conversionNames[] = {"dateFromCal", "dateToCal", "dayOfYear", "timeFromCal",
                                           "timeToCal"};
static_assert(sizeof conversionNames / sizeof conversionNames[0] == kTimeToCal + 1);

// One line per conversion: ovbase's time, then each peer's time and the
// ratio ovbase / peer ("-" where a peer does not take part).
void printSummary(const benchreport::TimesReporter &times) {
  std::printf("\n%-20s %10s %10s %8s %12s %8s\n", "conversion", "ovbase ns", "libc ns", "ratio",
              "stepping ns", "ratio");
  for (const char *range : {"modern", "late"}) {
    for (Conversion c : {kFromCal, kToCal, kDayOfYear, kTimeFromCal, kTimeToCal}) {
      const std::string suffix = std::string(conversionNames[c]) + "/" + range;
      const double ov = times.cpuNs("ovbase/" + suffix);
      if (ov <= 0) continue;
      std::printf("%-20s %10.2f", suffix.c_str(), ov);
      const struct {
        const char *prefix;
        int width;
      } peers[] = {{"libc/", 10}, {"stepping/", 12}};
      for (const auto &peer : peers) {
        const double other = times.cpuNs(peer.prefix + suffix);
        if (other > 0)
          std::printf(" %*.2f %8.2f", peer.width, other, ov / other);
        else
          std::printf(" %*s %8s", peer.width, "-", "-");
      }
      std::printf("\n");
    }
  }
}

}  // namespace

int main(int argc, char **argv) {
  for (bool late : {false, true}) {
    const std::string range = late ? "late" : "modern";
    for (Conversion c : {kFromCal, kToCal, kDayOfYear, kTimeFromCal, kTimeToCal}) {
      if (late && (c == kTimeFromCal || c == kTimeToCal)) continue;  // no dates involved
      const std::string suffix = std::string(conversionNames[c]) + "/" + range;
      benchmark::RegisterBenchmark(("ovbase/" + suffix).c_str(), ovbase, c, late);
      if (c == kFromCal || c == kToCal || c == kDayOfYear) {
        if (!late) benchmark::RegisterBenchmark(("libc/" + suffix).c_str(), libc, c, late);
        benchmark::RegisterBenchmark(("stepping/" + suffix).c_str(), stepping, c, late);
      }
    }
  }
  return benchreport::runAndSummarize(argc, argv, printSummary);
}
