// Decimal work from several threads at once: every thread gets exactly the
// results a single thread gets (arithmetic through the fast and the literal
// paths, text, packing, floating point), and the test build's path switch
// and counter belong to each thread.  The ThreadSanitizer lane runs these.
#include <atomic>
#include <random>
#include <thread>

#include "bcd_testing.h"

namespace {

using namespace bcdtest;
using BcdThreads = Fixture;

constexpr int kThreads = 4;

// Everything one pair of operands gives, as bytes and returned values.
struct Outcome {
  std::vector<uint8_t> results[4];  // + - * /
  int returned[5];                  // + - * / and compare
  std::string text;                 // the sum as text
  std::vector<uint8_t> packed;      // the product packed at 20/6
  int packRet;
  double asDouble;                  // the quotient through bcd_toDouble
  std::vector<uint8_t> fromDouble;  // that double back through bcd_fromDouble
  int floatRet;

  bool operator==(const Outcome &) const = default;
};

Outcome work(const BCD *a, const BCD *b) {
  Outcome o{};
  const char ops[] = {'+', '-', '*', '/', 'c'};
  Num r[4];
  for (int i = 0; i < 5; ++i) o.returned[i] = apply(ops[i], a, b, i < 4 ? r[i] : r[0]);
  for (int i = 0; i < 4; ++i) o.results[i] = r[i].bytes;
  char text[80];
  o.returned[0] |= bcd_toChar(r[0], text, sizeof text) << 8;
  o.text = text;
  o.packed.assign(14, 0);
  o.packRet = bcd_pack(r[2], o.packed.data(), 20, 6);
  Num back;
  o.floatRet = bcd_toDouble(r[3], &o.asDouble) | bcd_fromDouble(o.asDouble, back) << 4;
  o.fromDouble = back.bytes;
  return o;
}

TEST_F(BcdThreads, EveryThreadGetsTheSingleThreadResults) {
  std::mt19937_64 rng(4242);
  std::vector<Num> a(300), b(300);
  for (size_t i = 0; i < a.size(); ++i) {
    for (Num *n : {&a[i], &b[i]}) {
      std::string t = rng() % 2 ? "-" : "";
      for (int k = static_cast<int>(rng() % 14); k >= 0; --k) t += static_cast<char>('0' + rng() % 10);
      t += "." + std::to_string(rng() % 100000000);
      ASSERT_LE(bcd_fromChar(t.c_str(), *n), BCD_TRUNCATED) << t;
    }
  }
  std::vector<Outcome> expected;
  for (size_t i = 0; i < a.size(); ++i) expected.push_back(work(a[i], b[i]));

  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      // Odd rounds take the literal paths, which must count no fast hit.
      for (int round = 0; round < 6; ++round) {
        ov::bcd::forceLiteralPaths = round % 2 == 1;
        const uint64_t hitsBefore = ov::bcd::fastPathHits;
        for (size_t k = 0; k < a.size(); ++k) {
          const size_t i = (k + t * 37) % a.size();
          if (!(work(a[i], b[i]) == expected[i])) ++mismatches;
        }
        const uint64_t hits = ov::bcd::fastPathHits - hitsBefore;
        if (ov::bcd::forceLiteralPaths ? hits != 0 : hits < a.size()) ++mismatches;
      }
    });
  }
  for (std::thread &th : threads) th.join();
  EXPECT_EQ(mismatches.load(), 0);
}

// One thread's fast work does not show in another thread's count.
TEST_F(BcdThreads, FastPathCountsArePerThread) {
  Num a = N("12.5"), b = N("7.25"), r;
  const uint64_t mine = ov::bcd::fastPathHits;
  uint64_t theirs = 0;
  std::thread worker([&] {
    for (int i = 0; i < 1000; ++i) bcd_add(a, b, r);
    theirs = ov::bcd::fastPathHits;
  });
  worker.join();
  EXPECT_EQ(theirs, 1000u);
  EXPECT_EQ(ov::bcd::fastPathHits, mine);
}

}  // namespace
