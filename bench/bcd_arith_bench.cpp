// Decimal arithmetic speed: bcd_add, bcd_sub, bcd_mult, bcd_div and
// bcd_compare against GCC's _Decimal128 doing the same arithmetic on the
// same values in the same run.
//
// Operands arrive as a program reading a ledger gets them: seeded texts
// parsed once, by bcd_fromChar for ovbase and by libdfp's strtod128 for
// _Decimal128 (so each value carries the exponent its text gives).  Three
// sets of 256 operand pairs, cycled: "32" = 16 integer + 16 fraction digits,
// "short" = values like 123.45, "32xshort" = a 32-digit value with a short
// one.  Signs are random, so half the additions subtract magnitudes.  After
// the runs a table prints the CPU time per operation of both (the median
// when run with repetitions; CPU time, since the machine is often shared)
// and the ratio ovbase / _Decimal128.
//
// Run: build/bench/bcd_arith_bench [--benchmark_repetitions=5]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bcd_peers.h"
#include "ovbase/bcd.h"

namespace {

using bcdbench::Dec128;

constexpr size_t kPairs = 256;  // a power of two: cycled with a mask

enum Set { kLong, kShort, kMixed };
constexpr const char *kSetNames[] = {"32", "short", "32xshort"};
enum Op { kAdd, kSub, kMult, kDiv, kCompare };
constexpr const char *kOpNames[] = {"add", "sub", "mult", "div", "compare"};

struct Operands {
  std::vector<std::vector<uint8_t>> a, b;  // ovbase numbers
  std::vector<Dec128> da, db;              // the same texts as _Decimal128

  void add(const std::string &x, const std::string &y) {
    for (const auto &[text, numbers, decimals] : {std::tie(x, a, da), std::tie(y, b, db)}) {
      numbers.emplace_back(bcd_maxprec() + 5u, 0);
      if (bcd_fromChar(text.c_str(), reinterpret_cast<BCD *>(numbers.back().data())) != 0) std::abort();
      decimals.push_back(bcdbench::libdfp().strtod128(text.c_str(), nullptr));
    }
  }
};

const Operands &operands(Set set) {
  static const std::vector<Operands> sets = [] {
    const auto longTexts = bcdbench::makeTexts(2 * kPairs, 16, 16, 20261206);
    const auto shortTexts = bcdbench::makeTexts(2 * kPairs, 3, 2, 12345);
    std::vector<Operands> s(3);
    for (size_t i = 0; i < kPairs; ++i) {
      s[kLong].add(longTexts[2 * i], longTexts[2 * i + 1]);
      s[kShort].add(shortTexts[2 * i], shortTexts[2 * i + 1]);
      s[kMixed].add(longTexts[2 * i], shortTexts[2 * i + 1]);
    }
    return s;
  }();
  return sets[set];
}

const BCD *num(const std::vector<uint8_t> &v) { return reinterpret_cast<const BCD *>(v.data()); }

void ovbase(benchmark::State &state, Op op, Set set) {
  const Operands &ops = operands(set);
  std::vector<uint8_t> result(bcd_maxprec() + 5u, 0);
  BCD *r = reinterpret_cast<BCD *>(result.data());
  size_t i = 0;
  for (auto _ : state) {
    const BCD *a = num(ops.a[i]);
    const BCD *b = num(ops.b[i]);
    switch (op) {
      case kAdd: benchmark::DoNotOptimize(bcd_add(a, b, r)); break;
      case kSub: benchmark::DoNotOptimize(bcd_sub(a, b, r)); break;
      case kMult: benchmark::DoNotOptimize(bcd_mult(a, b, r)); break;
      case kDiv: benchmark::DoNotOptimize(bcd_div(a, b, r)); break;
      case kCompare: benchmark::DoNotOptimize(bcd_compare(a, b)); break;
    }
    benchmark::ClobberMemory();
    i = (i + 1) & (kPairs - 1);
  }
}

void decimal128(benchmark::State &state, Op op, Set set) {
  const Operands &ops = operands(set);
  size_t i = 0;
  for (auto _ : state) {
    Dec128 a = ops.da[i];
    Dec128 b = ops.db[i];
    benchmark::DoNotOptimize(a);
    benchmark::DoNotOptimize(b);
    Dec128 r = 0;
    int c = 0;
    switch (op) {
      case kAdd: r = a + b; break;
      case kSub: r = a - b; break;
      case kMult: r = a * b; break;
      case kDiv: r = a / b; break;
      case kCompare: c = (a > b) - (a < b); break;
    }
    benchmark::DoNotOptimize(r);
    benchmark::DoNotOptimize(c);
    i = (i + 1) & (kPairs - 1);
  }
}

// Console output as usual, remembering each benchmark's time (the median
// when repetitions are asked for) so that the table can pair them up.
class TableReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run> &runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run &run : runs) {
      if (run.error_occurred) continue;
      const std::string &name = run.run_name.function_name;
      if (run.run_type == Run::RT_Iteration) {
        times_[name].push_back(run.GetAdjustedCPUTime());
      } else if (run.aggregate_name == "median") {
        medians_[name] = run.GetAdjustedCPUTime();
      }
    }
  }

  void printTable() const {
    std::printf("\n| op | 32 digits (16+16) | short (123.45) | 32-digit x short |\n|---|---|---|---|\n");
    for (int op = kAdd; op <= kCompare; ++op) {
      std::printf("| %s |", kOpNames[op]);
      for (int set = kLong; set <= kMixed; ++set) {
        const std::string suffix = std::string(kOpNames[op]) + "/" + kSetNames[set];
        const double ov = median("ovbase/" + suffix), dec = median("decimal128/" + suffix);
        if (ov <= 0 || dec <= 0) {
          std::printf(" - |");
        } else {
          std::printf(" %.1f ns vs %.1f (%.2fx) |", ov, dec, ov / dec);
        }
      }
      std::printf("\n");
    }
  }

 private:
  double median(const std::string &name) const {
    if (auto m = medians_.find(name); m != medians_.end()) return m->second;
    auto it = times_.find(name);
    if (it == times_.end() || it->second.empty()) return -1;
    std::vector<double> v = it->second;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  }
  std::map<std::string, std::vector<double>> times_;
  std::map<std::string, double> medians_;
};

}  // namespace

int main(int argc, char **argv) {
  for (int set = kLong; set <= kMixed; ++set) {
    for (int op = kAdd; op <= kCompare; ++op) {
      // The mixed set measures the two operations whose work depends on both lengths.
      if (set == kMixed && op != kMult && op != kDiv) continue;
      const std::string suffix = std::string(kOpNames[op]) + "/" + kSetNames[set];
      benchmark::RegisterBenchmark(("ovbase/" + suffix).c_str(), ovbase, Op(op), Set(set));
      benchmark::RegisterBenchmark(("decimal128/" + suffix).c_str(), decimal128, Op(op), Set(set));
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printTable();
  benchmark::Shutdown();
  return 0;
}
