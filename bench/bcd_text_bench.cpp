// Decimal text conversion against the C library's double conversions on the
// same texts and values: parse (bcd_fromChar vs strtod) and format
// (bcd_toChar vs snprintf "%.16f"), for 32-digit numbers (16 integer and 16
// fraction digits, random signs) and short ones like 123.45.  After the run
// the ratio ovbase / peer is printed per operation (medians when run with
// --benchmark_repetitions).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "ovbase/bcd.h"

namespace {

constexpr size_t kTexts = 1024;  // a power of two: cycled with a mask

// Seeded random texts: intDigits integer digits (the first nonzero),
// fracDigits fraction digits, random signs.
std::vector<std::string> makeTexts(int intDigits, int fracDigits, uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::vector<std::string> texts;
  for (size_t i = 0; i < kTexts; ++i) {
    std::string t = rng() % 2 ? "-" : "";
    for (int k = 0; k < intDigits; ++k) t += static_cast<char>((k == 0 ? '1' + rng() % 9 : '0' + rng() % 10));
    t += '.';
    for (int k = 0; k < fracDigits; ++k) t += static_cast<char>('0' + rng() % 10);
    texts.push_back(t);
  }
  return texts;
}

struct Data {
  std::vector<std::string> texts;
  std::vector<std::vector<unsigned char>> numbers;  // the texts read by bcd_fromChar
  std::vector<double> doubles;                      // the texts read by strtod

  explicit Data(std::vector<std::string> t) : texts(std::move(t)) {
    for (const std::string &s : texts) {
      numbers.emplace_back(bcd_maxprec() + 5u, 0);
      if (bcd_fromChar(s.c_str(), reinterpret_cast<BCD *>(numbers.back().data())) != 0) std::abort();
      doubles.push_back(std::strtod(s.c_str(), nullptr));
    }
  }
  const BCD *number(size_t i) const { return reinterpret_cast<const BCD *>(numbers[i].data()); }
};

const Data &longData() {
  static const Data d(makeTexts(16, 16, 32));
  return d;
}
const Data &shortData() {
  static const Data d(makeTexts(3, 2, 5));
  return d;
}

void parseOvbase(benchmark::State &state, const Data &d) {
  std::vector<unsigned char> x(bcd_maxprec() + 5u, 0);
  BCD *n = reinterpret_cast<BCD *>(x.data());
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(bcd_fromChar(d.texts[i++ & (kTexts - 1)].c_str(), n));
    benchmark::ClobberMemory();
  }
}

void parseStrtod(benchmark::State &state, const Data &d) {
  size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(std::strtod(d.texts[i++ & (kTexts - 1)].c_str(), nullptr));
}

void formatOvbase(benchmark::State &state, const Data &d) {
  char buf[64];
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(bcd_toChar(d.number(i++ & (kTexts - 1)), buf, sizeof buf));
    benchmark::ClobberMemory();
  }
}

void formatSnprintf(benchmark::State &state, const Data &d) {
  char buf[64];
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::snprintf(buf, sizeof buf, "%.16f", d.doubles[i++ & (kTexts - 1)]));
    benchmark::ClobberMemory();
  }
}

void BM_Parse32_ovbase(benchmark::State &s) { parseOvbase(s, longData()); }
void BM_Parse32_strtod(benchmark::State &s) { parseStrtod(s, longData()); }
void BM_ParseShort_ovbase(benchmark::State &s) { parseOvbase(s, shortData()); }
void BM_ParseShort_strtod(benchmark::State &s) { parseStrtod(s, shortData()); }
void BM_Format32_ovbase(benchmark::State &s) { formatOvbase(s, longData()); }
void BM_Format32_snprintf(benchmark::State &s) { formatSnprintf(s, longData()); }
void BM_FormatShort_ovbase(benchmark::State &s) { formatOvbase(s, shortData()); }
void BM_FormatShort_snprintf(benchmark::State &s) { formatSnprintf(s, shortData()); }

BENCHMARK(BM_Parse32_ovbase);
BENCHMARK(BM_Parse32_strtod);
BENCHMARK(BM_ParseShort_ovbase);
BENCHMARK(BM_ParseShort_strtod);
BENCHMARK(BM_Format32_ovbase);
BENCHMARK(BM_Format32_snprintf);
BENCHMARK(BM_FormatShort_ovbase);
BENCHMARK(BM_FormatShort_snprintf);

// Console output as usual, remembering each benchmark's time per iteration.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run> &runs) override {
    for (const Run &r : runs) {
      const std::string name = r.benchmark_name();
      if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median") continue;
      times_[r.run_type == Run::RT_Aggregate ? name.substr(0, name.rfind('_')) : name] = r.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void printRatios() const {
    static const char *const ops[][2] = {
        {"BM_Parse32_ovbase", "BM_Parse32_strtod"},          {"BM_ParseShort_ovbase", "BM_ParseShort_strtod"},
        {"BM_Format32_ovbase", "BM_Format32_snprintf"},      {"BM_FormatShort_ovbase", "BM_FormatShort_snprintf"},
    };
    std::printf("\nratio ovbase / peer (target <= 1.0):\n");
    for (const auto &op : ops) {
      const auto a = times_.find(op[0]);
      const auto b = times_.find(op[1]);
      if (a == times_.end() || b == times_.end() || b->second <= 0) continue;
      std::printf("  %-24s %8.2f ns vs %8.2f ns  ratio %.2f\n", op[0] + 3, a->second, b->second, a->second / b->second);
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printRatios();
  benchmark::Shutdown();
  return 0;
}
