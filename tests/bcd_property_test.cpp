// Seeded property tests for the decimal core: results against exact
// __int128 arithmetic on values scaled by 10^16, and the fast paths against
// the literal digit-by-digit paths, byte for byte, under several limits.
#include <cstring>
#include <random>

#include "bcd/bcd_wide.h"
#include "bcd_testing.h"

namespace {

using namespace bcdtest;
using BcdProperty = Fixture;

// A random value of up to intDigits integer and fracDigits fraction digits,
// in units of 10^-16.
i128 randomScaled(std::mt19937_64 &rng, int intDigits, int fracDigits) {
  const int total = static_cast<int>(rng() % (intDigits + fracDigits + 1));
  const int frac = static_cast<int>(rng() % (fracDigits + 1));
  i128 v = 0;
  for (int k = 0; k < total; ++k) v = v * 10 + static_cast<int>(rng() % 10);
  v = v % pow10(intDigits + frac) * pow10(16 - frac);
  return (rng() & 1) ? -v : v;
}

// The normalized number v / 10^16, with or without its trailing zero
// fraction digits.
Num fromScaled(i128 v, bool keepZeros) {
  int places = 16;
  while (!keepZeros && v != 0 && v % 10 == 0 && places > 0) v /= 10, --places;
  return N(str(v) + "E-" + std::to_string(places));
}

// Normalized, with zeros past the length and the canonical zero.
bool normalized(const BCD *x) { return show(x).find_first_of("~?") == std::string::npos; }

int signOf(i128 v) { return v < 0 ? -1 : v > 0; }

TEST_F(BcdProperty, SumsDifferencesComparisonsAndRoundingAreExact) {
  std::mt19937_64 rng(20261206);
  for (int iter = 0; iter < 20000; ++iter) {
    const i128 A = randomScaled(rng, 15, 16), B = randomScaled(rng, 15, 16);
    Num a = fromScaled(A, rng() & 1), b = fromScaled(B, rng() & 1), sum, diff;
    const std::string what = str(A) + " " + str(B);
    ASSERT_EQ(bcd_add(a, b, sum) | bcd_sub(a, b, diff), 0) << what;
    ASSERT_TRUE(toScaled(sum, 16) == A + B && toScaled(diff, 16) == A - B && normalized(sum) && normalized(diff)) << what;
    ASSERT_EQ(signOf(bcd_compare(a, b)), signOf(A - B)) << what;

    const i128 unit = pow10(16), down = A / unit * unit - (A < 0 && A % unit ? unit : 0);
    b = fromScaled(A, rng() & 1);
    bcd_ceiling(a), bcd_floor(b);
    ASSERT_TRUE(toScaled(a, 16) == (down == A ? A : down + unit) && normalized(a) && a->length <= std::max<int>(a->point, 0)
                && toScaled(b, 16) == down && normalized(b)) << what;
  }
}

TEST_F(BcdProperty, ProductsAreExactOrReportWhatTheyLose) {
  std::mt19937_64 rng(42);
  const auto digits = [](const BCD *x) { return toScaled(x, x->length - x->point); };  // signed digit string
  for (int iter = 0; iter < 40000; ++iter) {
    const i128 A = randomScaled(rng, 16, 16), B = randomScaled(rng, 16, 16);
    Num a = fromScaled(A, rng() & 1), b = fromScaled(B, rng() & 1), r;
    const std::string what = str(A) + " * " + str(B);
    const int bits = bcd_mult(a, b, r);
    const bool shortened = a->length + b->length > 32, overflow = bits & BCD_OVERFLOW;
    ASSERT_TRUE(normalized(r) && r->status == bits && ((bits & BCD_TRUNCATED) != 0) == shortened) << what;
    ASSERT_TRUE(r->length == 0 || (overflow == (r->point > 16) && r->sign == signOf(A) * signOf(B))) << what;
    // Not cut: exact, the digit strings multiply and the last digits' weights add.
    if (shortened || A == 0 || B == 0) continue;
    ASSERT_TRUE(digits(r) == digits(a) * digits(b)) << what;
    ASSERT_EQ(r->point - r->length, a->point - a->length + b->point - b->length) << what;
  }
}

TEST_F(BcdProperty, QuotientsAreTruncatedNotRounded) {
  std::mt19937_64 rng(99);
  for (int iter = 0; iter < 30000; ++iter) {
    const i128 A = randomScaled(rng, 5, 16), B = randomScaled(rng, 10, 10);
    Num a = fromScaled(A, rng() & 1), b = fromScaled(B, false), q;
    if (B == 0 || (A != 0 && a->point - b->point > 14)) continue;
    ASSERT_EQ(bcd_div(a, b, q), 0) << str(A) << " / " << str(B);
    // One significant divisor digit: 16 fraction digits; more: 17.
    const int places = b->length == 1 ? 16 : 17;
    ASSERT_TRUE(toScaled(q, places) == A * pow10(places) / B) << str(A) << " / " << str(B);
    ASSERT_TRUE(normalized(q) && (q->length <= q->point || q->digits[q->length] != 0));
  }
}

// Packed under one precision and scale, the bytes order like the values kept
// whenever the two packings report the same bits, and like the values
// themselves when neither lost anything (the status byte sits before the
// digits, so with different bits it decides the order instead).
TEST_F(BcdProperty, PackedBytesSortLikeTheValues) {
  std::mt19937_64 rng(8080);
  const auto order = [](int v) { return v < 0 ? -1 : v > 0; };
  int exact = 0;
  for (int iter = 0; iter < 30000; ++iter) {
    const int precision = 1 + static_cast<int>(rng() % 12), scale = static_cast<int>(rng() % 9);
    // Half the pairs fit the packing (nothing lost), half need not.
    const bool fit = rng() & 1;
    const int ints = fit ? std::max(precision - scale, 0) : 8, fracs = fit ? std::min(scale, precision) : 8;
    Num a = fromScaled(randomScaled(rng, ints, fracs), rng() & 1), b = fromScaled(randomScaled(rng, ints, fracs), rng() & 1);
    if (rng() % 4 == 0) b = fromScaled(-toScaled(a, 16), false);  // equal magnitudes, often lost to zero
    uint8_t pa[16], pb[16];
    const int bitsA = bcd_pack(a, pa, precision, scale), bitsB = bcd_pack(b, pb, precision, scale);
    const size_t bytes = (precision + 1) / 2 + 4;
    if (bitsA != bitsB) continue;
    Num keptA, keptB;
    ASSERT_TRUE(bcd_unpack(pa, keptA, 0) == 0 && bcd_unpack(pb, keptB, 0) == 0);
    const std::string what = show(a) + " vs " + show(b) + " at " + std::to_string(precision) + "/" + std::to_string(scale);
    ASSERT_EQ(order(std::memcmp(pa, pb, bytes)), order(bcd_compare(keptA, keptB))) << what;
    if (bitsA != 0) continue;
    ++exact;
    ASSERT_EQ(order(std::memcmp(pa, pb, bytes)), order(bcd_compare(a, b))) << what;
  }
  EXPECT_GT(exact, 5000);
  // Different bits: a truncated 1.5 packs after 2.
  uint8_t one[8], two[8];
  ASSERT_EQ(bcd_pack(N("1.5"), one, 5, 0) - bcd_pack(N("2"), two, 5, 0), BCD_TRUNCATED);
  EXPECT_GT(std::memcmp(one, two, 7), 0);
}

// The binary quotient behind the long division, on words chosen to reach
// its corners (top words equal, so the estimate is capped; estimates one or
// two too large; divisors with and without their top bit set): q * v <= u,
// and u - q * v is below v and is the remainder given.
TEST_F(BcdProperty, WideQuotientsAreExact) {
  using ov::bcd::u128;
  std::mt19937_64 rng(42);
  const uint64_t edges[] = {0, 1, 2, (~0ULL) >> 1, 1ULL << 63, (1ULL << 63) + 1, ~0ULL - 1, ~0ULL};
  const auto word = [&] { return rng() % 3 == 0 ? rng() : edges[rng() % 8]; };
  for (int iter = 0; iter < 300000; ++iter) {
    const int uw = 1 + static_cast<int>(rng() % 4), vw = 1 + static_cast<int>(rng() % 2);
    uint64_t u[4] = {}, v[2] = {}, q[4], rem[2];
    for (int i = 0; i < uw; ++i) u[i] = word();
    for (int i = 0; i < vw; ++i) v[i] = word();
    if (vw == 2 && rng() % 2) v[1] >>= rng() % 64;
    if (v[vw - 1] == 0) v[vw - 1] = 1;
    if (vw == 2 && uw >= 3 && rng() % 4 == 0) u[uw - 1] = v[1] >> 1, u[uw - 2] = ~0ULL;  // capped estimates
    ov::bcd::divideWide(u, uw, v, vw, q, rem);
    // r = u - q * v over six words; no borrow out, and r < v.
    uint64_t p[6] = {};
    for (int i = 0; i < 4; ++i) {
      u128 carry = 0;
      for (int k = 0; k < vw; ++k) carry += static_cast<u128>(q[i]) * v[k] + p[i + k], p[i + k] = static_cast<uint64_t>(carry), carry >>= 64;
      for (int k = i + vw; k < 6; ++k) carry += p[k], p[k] = static_cast<uint64_t>(carry), carry >>= 64;
      ASSERT_EQ(carry, 0u);
    }
    uint64_t r[6];
    int borrow = 0;
    for (int i = 0; i < 6; ++i) {
      const u128 t = static_cast<u128>(i < 4 ? u[i] : 0) - p[i] - borrow;
      r[i] = static_cast<uint64_t>(t), borrow = static_cast<int>(t >> 127);
    }
    ASSERT_EQ(borrow, 0) << iter;
    ASSERT_TRUE(r[2] == 0 && r[3] == 0 && r[4] == 0 && r[5] == 0 && (r[1] < v[1] || (r[1] == v[1] && r[0] < v[0])))
        << iter;
    ASSERT_TRUE(rem[0] == r[0] && rem[1] == r[1]) << iter;
  }
}

// ---- Fast paths against the literal paths ----------------------------------

// A record of any shape: any length and point, digits biased to 0 and 9
// (carries and borrows), sometimes a leading zero, a sign byte of 0, status
// bits, a point anywhere in -128..127, a length byte of 255 (beyond
// max_precision), or (junk) a byte that is not a digit.  Full-length records (full)
// drive the shortened-product formula and the long division.
Num randomRecord(std::mt19937_64 &rng, bool junk, bool full) {
  Num n;
  const int maxPrec = bcd_maxprec(), shape = static_cast<int>(rng() % 8), mode = static_cast<int>(rng() % 4);
  int len = shape == 0 ? maxPrec : static_cast<int>(rng() % ((shape == 1 ? std::min(maxPrec, 3) : maxPrec) + 1));
  if (full) len = std::max(maxPrec - static_cast<int>(rng() % 3), 0);
  n->length = static_cast<uint8_t>(len);
  const int point = shape == 2 ? static_cast<int8_t>(rng()) : static_cast<int>(rng() % (2 * maxPrec + 7)) - maxPrec - 3;
  n->point = static_cast<int8_t>(full ? std::min(maxPrec / 2, 100) : std::clamp(point, -128, 127));
  const int signPick = static_cast<int>(rng() % 16);
  n->sign = static_cast<int8_t>(signPick == 0 && !full ? 0 : signPick < 8 ? 1 : -1);
  n->status = static_cast<uint8_t>(rng() % 8 == 0 ? rng() % 4 : 0);
  // Mode 1: mostly nines, mode 2: mostly zeros, else uniform digits.
  for (int k = 1; k <= len; ++k) n.digit(k) = static_cast<uint8_t>(mode % 3 && rng() % 4 ? 9 * (mode == 1) : rng() % 10);
  if (len >= 1 && (full || rng() % 8 != 0) && n.digit(1) == 0) n.digit(1) = static_cast<uint8_t>(1 + rng() % 9);
  if (junk && len >= 1 && rng() % 32 == 0) n.digit(1 + rng() % len) = static_cast<uint8_t>(10 + rng() % 246);
  if (shape == 3 && !full) n->length = 255;
  return n;
}

// Every operation through both paths from the same starting result bytes:
// identical return values and bytes, for numbers of every shape and limits.
// Every result, rounded or packed number stays inside its bytes (the
// sanitizers watch) with zeros past its length.
TEST_F(BcdProperty, FastPathsMatchTheLiteralPaths) {
  // junk: non-digit bytes; full: full-length operands.
  const struct { int precision, scale, iterations, junk, full; } runs[] = {
      {32, 16, 30000, 0, 0}, {32, 16, 20000, 1, 0}, {255, 255, 3000, 0, 0}, {64, 20, 8000, 1, 0}, {10, 3, 8000, 0, 0},
      {1, 0, 8000, 0, 0},    {0, 0, 8000, 0, 0},    {40, 60, 8000, 0, 0},   {17, 16, 8000, 0, 0}, {32, 16, 3000, 0, 1},
      {64, 32, 3000, 0, 1},  {255, 127, 300, 0, 1}, {255, 0, 3000, 0, 0},
      // Just past the 32 positions kept in registers: a carry out of a
      // full 32-position sum lands in position 33.
      {33, 16, 8000, 1, 0},  {33, 16, 3000, 0, 1},  {48, 24, 8000, 0, 0},  {31, 15, 8000, 0, 0},
  };
  uint64_t seed = 1;
  for (const auto &run : runs) {
    ASSERT_EQ(bcd_setGlobals(run.precision, run.scale), 0);
    const auto fits = [&](BCD *x) { return settled(x) && x->length <= run.precision; };
    std::mt19937_64 rng(seed++);
    const uint64_t hitsBefore = ov::bcd::fastPathHits;
    for (int iter = 0; iter < run.iterations; ++iter) {
      Num a = randomRecord(rng, run.junk, run.full), b = randomRecord(rng, run.junk, run.full);
      if (rng() % 4 == 0) b = a;                // equal operands
      if (rng() % 8 == 0) b->point = a->point;  // equal points
      std::vector<uint8_t> start(a.bytes.size());
      for (auto &v : start) v = static_cast<uint8_t>(run.full ? 0 : rng() % 10);
      for (const char op : {'+', '-', '*', '/', 'c'}) {
        Num fast, slow;
        fast.bytes = slow.bytes = start;
        const int fastValue = apply(op, a, b, fast), slowValue = (ov::bcd::forceLiteralPaths = true, apply(op, a, b, slow));
        ov::bcd::forceLiteralPaths = false;
        ASSERT_TRUE(fastValue == slowValue && fast.bytes == slow.bytes) << op << " limits " << run.precision << " #" << iter
            << ::testing::PrintToString(std::vector<std::vector<uint8_t>>{a.bytes, b.bytes, fast.bytes, slow.bytes});
        ASSERT_TRUE(op == 'c' || (op == '/' && fastValue & BCD_DIVZERO) || fits(fast)) << op << " " << iter;
      }
      uint8_t packed[3 + 128 + 1];
      EXPECT_LE(static_cast<unsigned>(bcd_pack(a, packed, bcd_maxprec(), bcd_maxscale())), 3u);
      bcd_ceiling(a), bcd_floor(b);
      ASSERT_TRUE(fits(a) && fits(b)) << iter;
    }
    // The fast paths did most of the work at the default limits.
    EXPECT_TRUE(run.precision != 32 || run.junk || run.full || ov::bcd::fastPathHits - hitsBefore > 30000u * 3);
  }
}

}  // namespace
