// Decimal text conversion against the C library's double conversions and
// libdfp's _Decimal128 conversions on the same texts and values: parse
// (bcd_fromChar vs strtod and strtod128) and format (bcd_toChar vs snprintf
// "%.16f" and strfromd128 with the text's fraction digits), for 32-digit
// numbers (16 integer and 16 fraction digits, random signs) and short ones
// like 123.45.  After the run the ratio ovbase / peer is printed per
// operation (CPU time; medians when run with --benchmark_repetitions).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench_report.h"
#include "bcd_peers.h"
#include "ovbase/bcd.h"

namespace {

constexpr size_t kTexts = 1024;  // a power of two: cycled with a mask

struct Data {
  std::vector<std::string> texts;
  std::vector<std::vector<unsigned char>> numbers;  // the texts read by bcd_fromChar
  std::vector<double> doubles;                      // the texts read by strtod
  std::vector<bcdbench::Dec128> decimals;           // the texts read by strtod128
  std::string decimalFormat;                        // strfromd128's format: the texts' fraction digits

  Data(std::vector<std::string> t, int fracDigits) : texts(std::move(t)), decimalFormat("%." + std::to_string(fracDigits) + "f") {
    for (const std::string &s : texts) {
      numbers.emplace_back(bcd_maxprec() + 5u, 0);
      if (bcd_fromChar(s.c_str(), reinterpret_cast<BCD *>(numbers.back().data())) != 0) std::abort();
      doubles.push_back(std::strtod(s.c_str(), nullptr));
      decimals.push_back(bcdbench::libdfp().strtod128(s.c_str(), nullptr));
    }
  }
  const BCD *number(size_t i) const { return reinterpret_cast<const BCD *>(numbers[i].data()); }
};

const Data &longData() {
  static const Data d(bcdbench::makeTexts(kTexts, 16, 16, 32), 16);
  return d;
}
const Data &shortData() {
  static const Data d(bcdbench::makeTexts(kTexts, 3, 2, 5), 2);
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

void parseStrtod128(benchmark::State &state, const Data &d) {
  const auto strtod128 = bcdbench::libdfp().strtod128;
  size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(strtod128(d.texts[i++ & (kTexts - 1)].c_str(), nullptr));
}

void formatStrfromd128(benchmark::State &state, const Data &d) {
  const auto strfromd128 = bcdbench::libdfp().strfromd128;
  char buf[64];
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(strfromd128(buf, sizeof buf, d.decimalFormat.c_str(), d.decimals[i++ & (kTexts - 1)]));
    benchmark::ClobberMemory();
  }
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
void BM_Parse32_strtod128(benchmark::State &s) { parseStrtod128(s, longData()); }
void BM_ParseShort_strtod128(benchmark::State &s) { parseStrtod128(s, shortData()); }
void BM_Format32_strfromd128(benchmark::State &s) { formatStrfromd128(s, longData()); }
void BM_FormatShort_strfromd128(benchmark::State &s) { formatStrfromd128(s, shortData()); }
void BM_Format32_ovbase(benchmark::State &s) { formatOvbase(s, longData()); }
void BM_Format32_snprintf(benchmark::State &s) { formatSnprintf(s, longData()); }
void BM_FormatShort_ovbase(benchmark::State &s) { formatOvbase(s, shortData()); }
void BM_FormatShort_snprintf(benchmark::State &s) { formatSnprintf(s, shortData()); }

BENCHMARK(BM_Parse32_ovbase);
BENCHMARK(BM_Parse32_strtod);
BENCHMARK(BM_ParseShort_ovbase);
BENCHMARK(BM_ParseShort_strtod);
BENCHMARK(BM_Parse32_strtod128);
BENCHMARK(BM_ParseShort_strtod128);
BENCHMARK(BM_Format32_strfromd128);
BENCHMARK(BM_FormatShort_strfromd128);
BENCHMARK(BM_Format32_ovbase);
BENCHMARK(BM_Format32_snprintf);
BENCHMARK(BM_FormatShort_ovbase);
BENCHMARK(BM_FormatShort_snprintf);

// Ratio ovbase / peer per operation, from the times the run reported.
void printRatios(const benchreport::TimesReporter &times) {
  static const char *const ops[][2] = {
      {"BM_Parse32_ovbase", "BM_Parse32_strtod"},        {"BM_ParseShort_ovbase", "BM_ParseShort_strtod"},
      {"BM_Format32_ovbase", "BM_Format32_snprintf"},    {"BM_FormatShort_ovbase", "BM_FormatShort_snprintf"},
      {"BM_Parse32_ovbase", "BM_Parse32_strtod128"},     {"BM_ParseShort_ovbase", "BM_ParseShort_strtod128"},
      {"BM_Format32_ovbase", "BM_Format32_strfromd128"}, {"BM_FormatShort_ovbase", "BM_FormatShort_strfromd128"},
  };
  std::printf("\nratio ovbase / peer (target <= 1.0):\n");
  for (const auto &op : ops) {
    const double ours = times.cpuNs(op[0]), peer = times.cpuNs(op[1]);
    if (ours < 0 || peer <= 0) continue;
    std::printf("  %-22s vs %-12s %8.2f ns vs %8.2f ns  ratio %.2f\n", op[0] + 3,
                op[1] + std::string(op[1]).rfind('_') + 1, ours, peer, ours / peer);
  }
}

}  // namespace

int main(int argc, char **argv) {
  return benchreport::runAndSummarize(argc, argv, printRatios);
}
