// Decimal arithmetic through the fast paths against the digit-by-digit
// reference paths they must match byte for byte: the speedup each fast
// path buys.  Linked with the static twin, whose test switch sends every
// operation down its reference path; the operands are the arithmetic
// benchmark's, parsed from the same seeded texts.
//
// Run: build/bench/bcd_paths_bench [--benchmark_repetitions=5]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench_report.h"
#include "bcd/bcd_internal.h"
#include "bcd_peers.h"

namespace {

constexpr size_t kPairs = 256;
constexpr const char *kOpNames[] = {"add", "sub", "mult", "div", "compare"};
constexpr const char *kSetNames[] = {"32", "short", "32xshort"};

struct Pairs {
  std::vector<std::vector<uint8_t>> a, b;
};

Pairs makePairs(int set) {
  const auto longTexts = bcdbench::makeTexts(2 * kPairs, 16, 16, 20261206);
  const auto shortTexts = bcdbench::makeTexts(2 * kPairs, 3, 2, 12345);
  Pairs p;
  for (size_t i = 0; i < kPairs; ++i) {
    const std::string &x = set == 1 ? shortTexts[2 * i] : longTexts[2 * i];
    const std::string &y = set == 0 ? longTexts[2 * i + 1] : shortTexts[2 * i + 1];
    for (const auto &[text, out] : {std::tie(x, p.a), std::tie(y, p.b)}) {
      out.emplace_back(bcd_maxprec() + 5u, 0);
      if (bcd_fromChar(text.c_str(), reinterpret_cast<BCD *>(out.back().data())) != 0) std::abort();
    }
  }
  return p;
}

void run(benchmark::State &state, int op, int set, bool reference) {
  static const std::vector<Pairs> pairs = {makePairs(0), makePairs(1), makePairs(2)};
  const Pairs &p = pairs[set];
  std::vector<uint8_t> result(bcd_maxprec() + 5u, 0);
  BCD *r = reinterpret_cast<BCD *>(result.data());
  ov::bcd::forceLiteralPaths = reference;
  size_t i = 0;
  for (auto _ : state) {
    const BCD *a = reinterpret_cast<const BCD *>(p.a[i].data());
    const BCD *b = reinterpret_cast<const BCD *>(p.b[i].data());
    switch (op) {
      case 0: benchmark::DoNotOptimize(bcd_add(a, b, r)); break;
      case 1: benchmark::DoNotOptimize(bcd_sub(a, b, r)); break;
      case 2: benchmark::DoNotOptimize(bcd_mult(a, b, r)); break;
      case 3: benchmark::DoNotOptimize(bcd_div(a, b, r)); break;
      default: benchmark::DoNotOptimize(bcd_compare(a, b)); break;
    }
    benchmark::ClobberMemory();
    i = (i + 1) & (kPairs - 1);
  }
  ov::bcd::forceLiteralPaths = false;
}

// What each fast path buys over the reference path it matches.
void printSpeedups(const benchreport::TimesReporter &times) {
  std::printf("\nfast path speedup (reference ns / fast ns):\n");
  for (const std::string &name : times.names()) {
    if (name.rfind("fast/", 0) != 0) continue;
    const double fast = times.cpuNs(name), ref = times.cpuNs("reference/" + name.substr(5));
    if (ref > 0 && fast > 0)
      std::printf("  %-18s %8.1f ns vs %8.1f ns  %.1fx\n", name.substr(5).c_str(), fast, ref, ref / fast);
  }
}

}  // namespace

int main(int argc, char **argv) {
  for (int set = 0; set < 3; ++set)
    for (int op = 0; op < 5; ++op) {
      if (set == 2 && op != 2 && op != 3) continue;
      const std::string suffix = std::string(kOpNames[op]) + "/" + kSetNames[set];
      benchmark::RegisterBenchmark(("fast/" + suffix).c_str(), run, op, set, false);
      benchmark::RegisterBenchmark(("reference/" + suffix).c_str(), run, op, set, true);
    }
  return benchreport::runAndSummarize(argc, argv, printSpeedups);
}
