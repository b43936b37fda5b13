// Decimal arithmetic speed: ovbase's bcd_add, bcd_sub, bcd_mult, bcd_div and
// bcd_compare against GCC's _Decimal128 (libgcc's decimal code) doing the
// same arithmetic on the same values in the same run.
//
// Operands: "32" = 16 integer + 16 fraction digits, random signs; "short" =
// values like 123.45.  All seeded.  After the runs a table prints the median
// time per operation of both and the ratio ovbase / _Decimal128.
//
// Run: build-xxx/bench/bcd_arith_bench [--benchmark_repetitions=5]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "ovbase/bcd.h"

namespace {

typedef float Dec128 __attribute__((mode(TD)));  // GCC's _Decimal128 in C++

constexpr int kPool = 1024;  // operand pairs cycled through (power of two)

struct Operands {
  std::vector<std::vector<uint8_t>> a, b;  // ovbase numbers
  std::vector<Dec128> da, db;              // the same values as _Decimal128
};

// A number with intDigits + fracDigits random digits (first one nonzero) and
// a random sign, as an ovbase record and as a _Decimal128.
void makeValue(std::mt19937_64 &rng, int intDigits, int fracDigits, std::vector<uint8_t> &bcd,
               Dec128 &dec) {
  const int n = intDigits + fracDigits;
  bcd.assign(bcd_maxprec() + 5u, 0);
  BCD *x = reinterpret_cast<BCD *>(bcd.data());
  x->length = static_cast<uint8_t>(n);
  x->point = static_cast<int8_t>(intDigits);
  x->sign = (rng() & 1) ? 1 : -1;
  Dec128 value = 0;
  for (int k = 1; k <= n; ++k) {
    const int d = k == 1 ? 1 + static_cast<int>(rng() % 9) : static_cast<int>(rng() % 10);
    x->digits[k] = static_cast<uint8_t>(d);
    value = value * 10 + d;
  }
  for (int k = 0; k < fracDigits; ++k) value /= 10;  // exact: 34 digits suffice
  dec = x->sign < 0 ? -value : value;
}

Operands makeOperands(int intDigits, int fracDigits, uint64_t seed) {
  std::mt19937_64 rng(seed);
  Operands ops;
  ops.a.resize(kPool);
  ops.b.resize(kPool);
  ops.da.resize(kPool);
  ops.db.resize(kPool);
  for (int i = 0; i < kPool; ++i) {
    makeValue(rng, intDigits, fracDigits, ops.a[i], ops.da[i]);
    makeValue(rng, intDigits, fracDigits, ops.b[i], ops.db[i]);
  }
  return ops;
}

const Operands &operands(bool full) {
  static const Operands full32 = makeOperands(16, 16, 20261206);
  static const Operands small = makeOperands(3, 2, 12345);
  return full ? full32 : small;
}

const BCD *num(const std::vector<uint8_t> &v) { return reinterpret_cast<const BCD *>(v.data()); }

enum Op { kAdd, kSub, kMult, kDiv, kCompare };

void ovbase(benchmark::State &state, Op op, bool full) {
  const Operands &ops = operands(full);
  std::vector<uint8_t> result(bcd_maxprec() + 5u, 0);
  BCD *r = reinterpret_cast<BCD *>(result.data());
  int i = 0;
  for (auto _ : state) {
    const BCD *a = num(ops.a[i]);
    const BCD *b = num(ops.b[i]);
    switch (op) {
      case kAdd:
        benchmark::DoNotOptimize(bcd_add(a, b, r));
        break;
      case kSub:
        benchmark::DoNotOptimize(bcd_sub(a, b, r));
        break;
      case kMult:
        benchmark::DoNotOptimize(bcd_mult(a, b, r));
        break;
      case kDiv:
        benchmark::DoNotOptimize(bcd_div(a, b, r));
        break;
      case kCompare:
        benchmark::DoNotOptimize(bcd_compare(a, b));
        break;
    }
    benchmark::ClobberMemory();
    i = (i + 1) & (kPool - 1);
  }
}

void decimal128(benchmark::State &state, Op op, bool full) {
  const Operands &ops = operands(full);
  int i = 0;
  for (auto _ : state) {
    Dec128 a = ops.da[i];
    Dec128 b = ops.db[i];
    benchmark::DoNotOptimize(a);
    benchmark::DoNotOptimize(b);
    switch (op) {
      case kAdd: {
        Dec128 r = a + b;
        benchmark::DoNotOptimize(r);
        break;
      }
      case kSub: {
        Dec128 r = a - b;
        benchmark::DoNotOptimize(r);
        break;
      }
      case kMult: {
        Dec128 r = a * b;
        benchmark::DoNotOptimize(r);
        break;
      }
      case kDiv: {
        Dec128 r = a / b;
        benchmark::DoNotOptimize(r);
        break;
      }
      case kCompare: {
        int c = (a > b) - (a < b);
        benchmark::DoNotOptimize(c);
        break;
      }
    }
    i = (i + 1) & (kPool - 1);
  }
}

const char *opName(Op op) {
  switch (op) {
    case kAdd:
      return "add";
    case kSub:
      return "sub";
    case kMult:
      return "mult";
    case kDiv:
      return "div";
    case kCompare:
      return "compare";
  }
  return "?";
}

// Collects the per-iteration times so that the summary can pair them up.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run> &runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run &run : runs) {
      if (run.error_occurred) continue;
      const std::string &name = run.run_name.function_name;
      if (run.run_type == Run::RT_Iteration) {
        times_[name].push_back(run.GetAdjustedRealTime());
      } else if (run.aggregate_name == "median") {
        medians_[name] = run.GetAdjustedRealTime();
      }
    }
  }
  void PrintSummary() const {
    std::printf("\n%-14s %12s %14s %10s\n", "operation", "ovbase ns", "_Decimal128 ns", "ratio");
    for (const char *size : {"32", "short"}) {
      for (Op op : {kAdd, kSub, kMult, kDiv, kCompare}) {
        const std::string suffix = std::string(opName(op)) + "/" + size;
        const double ov = median("ovbase/" + suffix);
        const double dec = median("decimal128/" + suffix);
        if (ov <= 0 || dec <= 0) continue;
        std::printf("%-14s %12.1f %14.1f %10.2f\n", suffix.c_str(), ov, dec, ov / dec);
      }
    }
  }

 private:
  double median(const std::string &name) const {
    auto m = medians_.find(name);
    if (m != medians_.end()) return m->second;
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
  for (bool full : {true, false}) {
    for (Op op : {kAdd, kSub, kMult, kDiv, kCompare}) {
      const std::string suffix = std::string(opName(op)) + "/" + (full ? "32" : "short");
      benchmark::RegisterBenchmark(("ovbase/" + suffix).c_str(), ovbase, op, full);
      benchmark::RegisterBenchmark(("decimal128/" + suffix).c_str(), decimal128, op, full);
    }
  }
  benchmark::Initialize(&argc, argv);
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintSummary();
  benchmark::Shutdown();
  return 0;
}
