// Property tests for the decimal core.
//  - Against exact integer arithmetic: operands are integers scaled by 10^16
//    held in __int128; sums, differences, products, truncated quotients and
//    roundings must match exactly where the results fit, and the status bits
//    must tell where they do not.
//  - Fast paths against the literal digit-by-digit paths: every result byte
//    and every returned value must be identical, for numbers of every shape
//    and under several limits.
// All random streams are seeded, so failures reproduce.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bcd/bcd_internal.h"
#include "ovbase/bcd.h"

namespace {

using i128 = __int128;

struct Num {
  std::vector<uint8_t> bytes;
  Num() : bytes(bcd_maxprec() + 5u, 0) {}
  BCD *get() { return reinterpret_cast<BCD *>(bytes.data()); }
  BCD *operator->() { return get(); }
  operator BCD *() { return get(); }
  uint8_t *digits() { return bytes.data() + 4; }
};

i128 pow10(int n) {
  i128 v = 1;
  while (n-- > 0) v *= 10;
  return v;
}

std::string text(i128 v) {
  if (v == 0) return "0";
  const bool neg = v < 0;
  if (neg) v = -v;
  std::string s;
  while (v > 0) {
    s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(v % 10)));
    v /= 10;
  }
  return neg ? "-" + s : s;
}

// The number v / 10^16 in normalized form; keepZeros keeps trailing zero
// fraction digits (as sums and products leave them).
Num fromScaled(i128 v, bool keepZeros) {
  Num n;
  n->sign = v < 0 ? -1 : 1;
  if (v == 0) {
    n->sign = 1;
    return n;
  }
  std::string s = text(v < 0 ? -v : v);
  const int point = static_cast<int>(s.size()) - 16;
  if (!keepZeros) {
    while (s.size() > 1 && s.back() == '0' && static_cast<int>(s.size()) > point) s.pop_back();
  }
  n->length = static_cast<uint8_t>(s.size());
  n->point = static_cast<int8_t>(point);
  for (size_t k = 0; k < s.size(); ++k) n.digits()[k + 1] = static_cast<uint8_t>(s[k] - '0');
  return n;
}

// x * 10^scale as an integer; fails the test when x has more fraction digits.
i128 toScaled(BCD *x, int scale) {
  const uint8_t *d = reinterpret_cast<const uint8_t *>(x) + 4;
  i128 v = 0;
  for (int k = 1; k <= x->length; ++k) {
    const int exponent = x->point - k + scale;
    if (d[k] == 0) continue;
    if (exponent < 0) {
      ADD_FAILURE() << "more than " << scale << " fraction digits";
      return 0;
    }
    v += d[k] * pow10(exponent);
  }
  return x->sign < 0 ? -v : v;
}

// The digit string of x as an integer (at most 38 digits).
i128 digitsOf(Num &x) {
  i128 v = 0;
  for (int k = 1; k <= x->length; ++k) v = v * 10 + x.digits()[k];
  return v;
}

bool normalizedForm(Num &x) {
  if (x.digits()[0] != 0) return false;
  for (size_t k = x->length + 1u; k <= bcd_maxprec(); ++k) {
    if (x.digits()[k] != 0) return false;
  }
  if (x->length == 0) return x->point == 0 && x->sign == 1 && x->status == 0;
  return x.digits()[1] != 0;
}

// A random integer of up to intDigits + fracDigits digits, scaled so that the
// last fracDigits of them lie after the point (units of 10^-16).
i128 randomScaled(std::mt19937_64 &rng, int intDigits, int fracDigits) {
  const int total = std::uniform_int_distribution<int>(0, intDigits + fracDigits)(rng);
  const int frac = std::uniform_int_distribution<int>(0, fracDigits)(rng);
  i128 v = 0;
  for (int k = 0; k < total; ++k) v = v * 10 + static_cast<int>(rng() % 10);
  // Keep the value below 10^intDigits.
  v %= pow10(intDigits + frac);
  v *= pow10(16 - frac);
  return (rng() & 1) ? -v : v;
}

int signOf(i128 v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }
int signOf(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

class BcdProperty : public ::testing::Test {
 protected:
  void TearDown() override {
    bcd_setGlobals(32, 16);
    ov::bcd::forceLiteralPaths = false;
  }
};

TEST_F(BcdProperty, SumsDifferencesAndComparisonsAreExact) {
  std::mt19937_64 rng(20261206);
  for (int iter = 0; iter < 20000; ++iter) {
    const i128 A = randomScaled(rng, 15, 16);
    const i128 B = randomScaled(rng, 15, 16);
    Num a = fromScaled(A, rng() & 1), b = fromScaled(B, rng() & 1);
    Num sum, diff;
    ASSERT_EQ(bcd_add(a, b, sum), 0) << text(A) << " + " << text(B);
    ASSERT_TRUE(toScaled(sum, 16) == A + B) << text(A) << " + " << text(B);
    ASSERT_TRUE(normalizedForm(sum));
    ASSERT_EQ(bcd_sub(a, b, diff), 0) << text(A) << " - " << text(B);
    ASSERT_TRUE(toScaled(diff, 16) == A - B) << text(A) << " - " << text(B);
    ASSERT_TRUE(normalizedForm(diff));
    ASSERT_EQ(signOf(bcd_compare(a, b)), signOf(A - B)) << text(A) << " <> " << text(B);
  }
}

TEST_F(BcdProperty, RoundingToWholeNumbersIsExact) {
  std::mt19937_64 rng(7);
  const i128 unit = pow10(16);
  for (int iter = 0; iter < 20000; ++iter) {
    const i128 A = randomScaled(rng, 15, 16);
    i128 down = A / unit * unit;
    if (down > A) down -= unit;
    const i128 up = down == A ? A : down + unit;
    Num c = fromScaled(A, rng() & 1), f = fromScaled(A, rng() & 1);
    bcd_ceiling(c);
    bcd_floor(f);
    ASSERT_TRUE(toScaled(c, 16) == up) << text(A);
    ASSERT_TRUE(toScaled(f, 16) == down) << text(A);
    ASSERT_TRUE(normalizedForm(c) && normalizedForm(f)) << text(A);
    ASSERT_LE(c->length, c->point < 0 ? 0 : c->point);
  }
}

TEST_F(BcdProperty, ProductsAreExactWhenTheyFit) {
  std::mt19937_64 rng(42);
  for (int iter = 0; iter < 20000; ++iter) {
    // Up to 8 + 8 digits each: at most 32 product positions, 16 fraction
    // digits and 16 integer digits.
    const i128 A = randomScaled(rng, 8, 8);
    const i128 B = randomScaled(rng, 8, 8);
    Num a = fromScaled(A, false), b = fromScaled(B, false);
    Num r;
    ASSERT_EQ(bcd_mult(a, b, r), 0) << text(A) << " * " << text(B);
    // Both have at most 8 fraction digits, so A and B are multiples of 10^8.
    ASSERT_TRUE(toScaled(r, 16) == (A / pow10(8)) * (B / pow10(8))) << text(A) << " * " << text(B);
    ASSERT_TRUE(normalizedForm(r));
  }
}

TEST_F(BcdProperty, LongProductsReportWhatTheyLose) {
  std::mt19937_64 rng(4242);
  for (int iter = 0; iter < 20000; ++iter) {
    const i128 A = randomScaled(rng, 16, 16);
    const i128 B = randomScaled(rng, 16, 16);
    Num a = fromScaled(A, rng() & 1), b = fromScaled(B, rng() & 1);
    Num r;
    const int bits = bcd_mult(a, b, r);
    const bool shortened = a->length + b->length > 32;
    ASSERT_EQ((bits & BCD_TRUNCATED) != 0, shortened) << text(A) << " * " << text(B);
    if (r->length != 0) {
      ASSERT_EQ((bits & BCD_OVERFLOW) != 0, r->point > 16) << text(A) << " * " << text(B);
      ASSERT_EQ(r->sign, signOf(A) * signOf(B));
    }
    if (!shortened && A != 0 && B != 0) {
      // Exact: the digits are those of the digit strings' product, and the
      // last digit keeps the weight of the operands' last digits together.
      ASSERT_TRUE(digitsOf(r) == digitsOf(a) * digitsOf(b)) << text(A) << " * " << text(B);
      ASSERT_EQ(r->point - r->length, a->point - a->length + b->point - b->length);
    }
    ASSERT_TRUE(normalizedForm(r));
    ASSERT_EQ(r->status, r->length ? bits : 0);
  }
}

TEST_F(BcdProperty, QuotientsAreTruncatedNotRounded) {
  std::mt19937_64 rng(99);
  int tested = 0;
  for (int iter = 0; iter < 30000; ++iter) {
    const i128 A = randomScaled(rng, 5, 16);
    const i128 B = randomScaled(rng, 10, 10);
    if (B == 0) continue;
    Num a = fromScaled(A, rng() & 1), b = fromScaled(B, false);
    if (A != 0 && a->point - b->point > 14) continue;
    ++tested;
    Num q;
    ASSERT_EQ(bcd_div(a, b, q), 0) << text(A) << " / " << text(B);
    // One significant divisor digit: 16 fraction digits; more: 17.
    const int places = b->length == 1 ? 16 : 17;
    const i128 expected = A * pow10(places) / B;
    ASSERT_TRUE(toScaled(q, places) == expected) << text(A) << " / " << text(B);
    ASSERT_TRUE(normalizedForm(q));
    if (q->length > q->point) {
      ASSERT_NE(q.digits()[q->length], 0);  // trimmed
    }
  }
  EXPECT_GT(tested, 20000);
}

// ---- Fast paths against the literal paths ----------------------------------

// A random record of any shape: length 0 .. max_precision, any point, digits
// biased towards 0 and 9 (carries and borrows), sometimes leading zeros,
// sometimes a sign byte of 0, sometimes a byte that is not a digit.
Num randomRecord(std::mt19937_64 &rng, bool allowJunk) {
  Num n;
  const int maxPrec = bcd_maxprec();
  const int shape = static_cast<int>(rng() % 8);
  int len = static_cast<int>(rng() % (maxPrec + 1));
  if (shape == 0 && maxPrec > 0) len = maxPrec;
  if (shape == 1) len = static_cast<int>(rng() % (maxPrec < 3 ? maxPrec + 1 : 4));
  n->length = static_cast<uint8_t>(len);
  int point = static_cast<int>(rng() % (2 * maxPrec + 7)) - maxPrec - 3;
  if (point > 127) point = 127;
  if (point < -128) point = -128;
  n->point = static_cast<int8_t>(point);
  const int signPick = static_cast<int>(rng() % 16);
  n->sign = signPick == 0 ? 0 : (signPick < 8 ? 1 : -1);
  n->status = static_cast<uint8_t>(rng() % 8 == 0 ? rng() % 4 : 0);
  const int digitMode = static_cast<int>(rng() % 4);
  for (int k = 1; k <= len; ++k) {
    int d = static_cast<int>(rng() % 10);
    if (digitMode == 1) d = rng() % 4 ? 9 : d;
    if (digitMode == 2) d = rng() % 4 ? 0 : d;
    n.digits()[k] = static_cast<uint8_t>(d);
  }
  if (len >= 1 && rng() % 8 != 0) {
    if (n.digits()[1] == 0) n.digits()[1] = static_cast<uint8_t>(1 + rng() % 9);
  }
  if (allowJunk && len >= 1 && rng() % 32 == 0) {
    n.digits()[1 + rng() % len] = static_cast<uint8_t>(10 + rng() % 246);
  }
  return n;
}

struct Outcome {
  int value;
  std::vector<uint8_t> bytes;
  bool operator==(const Outcome &o) const { return value == o.value && bytes == o.bytes; }
};

template <typename Op>
Outcome run(Op op, bool literal, const std::vector<uint8_t> &start) {
  ov::bcd::forceLiteralPaths = literal;
  Num r;
  r.bytes = start;
  const int value = op(r.get());
  ov::bcd::forceLiteralPaths = false;
  return {value, r.bytes};
}

std::string dump(const std::vector<uint8_t> &b) {
  std::string s;
  for (uint8_t v : b) s += std::to_string(v) + " ";
  return s;
}

void compareFastAndLiteral(uint64_t seed, int iterations, bool allowJunk) {
  std::mt19937_64 rng(seed);
  for (int iter = 0; iter < iterations; ++iter) {
    Num a = randomRecord(rng, allowJunk);
    Num b = randomRecord(rng, allowJunk);
    if (rng() % 4 == 0) b = a;                // equal operands
    if (rng() % 8 == 0) b->point = a->point;  // equal points
    std::vector<uint8_t> start(a.bytes.size());
    for (auto &v : start) v = static_cast<uint8_t>(rng() % 10);
    const std::string where = "seed " + std::to_string(seed) + " iteration " +
                              std::to_string(iter) + "\na: " + dump(a.bytes) +
                              "\nb: " + dump(b.bytes);
    auto check = [&](const char *name, auto op) {
      const Outcome fast = run(op, false, start);
      const Outcome slow = run(op, true, start);
      ASSERT_EQ(fast.value, slow.value) << name << " " << where;
      ASSERT_EQ(fast.bytes, slow.bytes) << name << " " << where << "\nfast: " << dump(fast.bytes)
                                        << "\nslow: " << dump(slow.bytes);
    };
    check("add", [&](BCD *r) { return static_cast<int>(bcd_add(a, b, r)); });
    check("sub", [&](BCD *r) { return static_cast<int>(bcd_sub(a, b, r)); });
    check("mult", [&](BCD *r) { return static_cast<int>(bcd_mult(a, b, r)); });
    check("div", [&](BCD *r) { return static_cast<int>(bcd_div(a, b, r)); });
    check("compare", [&](BCD *) { return bcd_compare(a, b); });
  }
}

TEST_F(BcdProperty, FastPathsMatchTheLiteralPathsAtDefaultLimits) {
  const uint64_t hitsBefore = ov::bcd::fastPathHits;
  compareFastAndLiteral(1, 30000, false);
  // The fast paths did most of the work (zeros, unnormalized operands and
  // lossy alignments take the literal path).
  EXPECT_GT(ov::bcd::fastPathHits - hitsBefore, 30000u * 3);
}

TEST_F(BcdProperty, FastPathsMatchTheLiteralPathsUnderOtherLimits) {
  const struct {
    int precision, scale;
  } limits[] = {{255, 255}, {64, 20}, {10, 3}, {1, 0}, {0, 0}, {40, 60}, {17, 16}, {9, 2}};
  uint64_t seed = 100;
  for (const auto &l : limits) {
    ASSERT_EQ(bcd_setGlobals(l.precision, l.scale), 0);
    compareFastAndLiteral(seed++, l.precision > 100 ? 3000 : 8000, false);
  }
}

TEST_F(BcdProperty, BytesThatAreNotDigitsTakeTheLiteralPath) {
  compareFastAndLiteral(555, 20000, true);
  bcd_setGlobals(64, 20);
  compareFastAndLiteral(556, 5000, true);
}

// Long products of full-length operands (the shortened-product formula of
// the fast path) and long divisions of full-length operands (the limb
// division), the shapes the benchmark measures.
TEST_F(BcdProperty, FullLengthProductsAndQuotientsMatchTheLiteralPaths) {
  std::mt19937_64 rng(31337);
  for (int limit : {32, 64, 255}) {
    bcd_setGlobals(static_cast<uint16_t>(limit), static_cast<uint16_t>(limit / 2));
    for (int iter = 0; iter < (limit == 255 ? 300 : 3000); ++iter) {
      Num a, b;
      for (Num *n : {&a, &b}) {
        (*n)->length = static_cast<uint8_t>(limit - static_cast<int>(rng() % 3));
        (*n)->point = static_cast<int8_t>(limit / 2 > 100 ? 100 : limit / 2);
        (*n)->sign = rng() & 1 ? 1 : -1;
        const int nines = static_cast<int>(rng() % 3);
        for (int k = 1; k <= (*n)->length; ++k) {
          (*n).digits()[k] = static_cast<uint8_t>(nines == 0 ? 9 : rng() % 10);
        }
        (*n).digits()[1] = static_cast<uint8_t>(1 + rng() % 9);
      }
      std::vector<uint8_t> start(a.bytes.size(), 0);
      const Outcome pf =
          run([&](BCD *r) { return static_cast<int>(bcd_mult(a, b, r)); }, false, start);
      const Outcome ps =
          run([&](BCD *r) { return static_cast<int>(bcd_mult(a, b, r)); }, true, start);
      ASSERT_TRUE(pf == ps) << limit << " mult " << dump(a.bytes) << " / " << dump(b.bytes);
      const Outcome qf =
          run([&](BCD *r) { return static_cast<int>(bcd_div(a, b, r)); }, false, start);
      const Outcome qs =
          run([&](BCD *r) { return static_cast<int>(bcd_div(a, b, r)); }, true, start);
      ASSERT_TRUE(qf == qs) << limit << " div " << dump(a.bytes) << " / " << dump(b.bytes);
    }
  }
}

}  // namespace
