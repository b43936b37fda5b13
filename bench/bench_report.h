/*
 * bench_report.h - the console reporter the benchmarks share: it prints as
 * usual and remembers each benchmark's CPU and wall time per iteration, in
 * nanoseconds whatever unit the benchmark reports in, so that a program can
 * print its ratios against a peer after the run.  With
 * --benchmark_repetitions the median is kept, otherwise the single run.
 */
#ifndef OVBASE_BENCH_REPORT_H
#define OVBASE_BENCH_REPORT_H

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace benchreport {

class TimesReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run> &runs) override {
    for (const Run &r : runs) {
      if (r.error_occurred || (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median")) continue;
      const double toNs = 1e9 / benchmark::GetTimeUnitMultiplier(r.time_unit);
      times_[r.run_name.function_name] = {r.GetAdjustedCPUTime() * toNs, r.GetAdjustedRealTime() * toNs};
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // CPU or wall nanoseconds per iteration of the benchmark `name`; -1 when
  // it did not run.
  double cpuNs(const std::string &name) const { return find(name, &Times::cpu); }
  double realNs(const std::string &name) const { return find(name, &Times::real); }

  // The names of the benchmarks that ran, in order of name.
  std::vector<std::string> names() const {
    std::vector<std::string> all;
    for (const auto &entry : times_) all.push_back(entry.first);
    return all;
  }

 private:
  struct Times {
    double cpu, real;
  };
  double find(const std::string &name, double Times::*which) const {
    const auto it = times_.find(name);
    return it == times_.end() ? -1 : it->second.*which;
  }
  std::map<std::string, Times> times_;
};

// The main of a benchmark program: parses the benchmark flags (an unknown
// one is an error), runs the registered benchmarks through a TimesReporter
// and hands it to summarize, which prints the program's own figures.
// Returns main's exit status.
template <class Summarize>
int runAndSummarize(int argc, char **argv, Summarize summarize) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TimesReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  summarize(reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace benchreport

#endif  // OVBASE_BENCH_REPORT_H
