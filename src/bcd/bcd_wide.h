/*
 * bcd_wide.h - unsigned integers of up to four 64-bit words for the decimal
 * quotient: digit strings of up to 38 digits to 128-bit values, products
 * with powers of ten, a quotient of up to four words by one or two, and a
 * 128-bit value back to base-10^8 limbs.
 *
 * Words are least significant first.  Nothing here is exported.
 */
#ifndef OVBASE_BCD_WIDE_H
#define OVBASE_BCD_WIDE_H

#include <array>

#include "bcd/bcd_internal.h"

namespace ov::bcd {

__extension__ typedef unsigned __int128 u128;

constexpr int kWideWords = 4;
// The most decimal digits that always fit 128 bits: 10^38 < 2^127.
constexpr int kWideDigits = 38;

constexpr std::array<uint64_t, 20> kPow10 = [] {
  std::array<uint64_t, 20> p{};
  uint64_t v = 1;
  for (auto &e : p) {
    e = v;
    v *= 10;
  }
  return p;
}();
static_assert(kPow10[19] == 10000000000000000000ULL, "10^19 is the largest power of ten in 64 bits");
constexpr uint64_t kBase16 = kPow10[16];

// (hi:lo) / d and its remainder; hi < d, so the quotient fits 64 bits.
inline uint64_t divideWord(uint64_t hi, uint64_t lo, uint64_t d, uint64_t &rem) {
  uint64_t q;
  __asm__("divq %4" : "=a"(q), "=d"(rem) : "a"(lo), "d"(hi), "rm"(d) : "cc");
  return q;
}

// The digits d[0 .. count-1] (count <= kWideDigits) as an integer; the
// reading rules of digitsToLimbs apply.  False when a byte is not a digit.
inline bool digitsToWide(const uint8_t *d, int count, u128 &value) {
  uint32_t limbs[(kWideDigits + kLimbDigits - 1) / kLimbDigits];
  const int n = digitsToLimbs(d, count, limbs);
  if (n < 0) return false;
  u128 v = 0;
  int i = n - 1;
  if (n >= 2 && (n & 1) == 0) {  // the top two limbs as one sixteen-digit chunk
    v = static_cast<uint64_t>(limbs[i]) * kLimbBase + limbs[i - 1];
    i -= 2;
  }
  for (; i >= 0; i -= 2) {
    const uint64_t chunk = i >= 1 ? static_cast<uint64_t>(limbs[i]) * kLimbBase + limbs[i - 1] : limbs[i];
    v = v * (i >= 1 ? kBase16 : kLimbBase) + chunk;
  }
  value = v;
  return true;
}

// w (words words) times 10^power, in place; the caller guarantees the
// product fits kWideWords words.  Returns the new word count.
inline int multiplyByPowerOfTen(uint64_t (&w)[kWideWords], int words, int power) {
  while (power > 0) {
    const int step = power > 19 ? 19 : power;
    const uint64_t f = kPow10[step];
    uint64_t carry = 0;
    for (int i = 0; i < words; ++i) {
      const u128 t = static_cast<u128>(w[i]) * f + carry;
      w[i] = static_cast<uint64_t>(t);
      carry = static_cast<uint64_t>(t >> 64);
    }
    if (carry != 0) w[words++] = carry;
    power -= step;
  }
  return words;
}

// q = u / v and r = u mod v for u of uw words and v of vw (1 or 2) words
// with v's top word nonzero; q receives kWideWords words (those above the
// quotient are zero).  u is not changed.  Two-word divisors follow the classic long division in
// base 2^64: the divisor is shifted until its top bit is set, each quotient
// word is estimated from the remainder's top two words by the divisor's top
// word and corrected with the second word, which for a two-word divisor
// makes it exact (no adding back as with longer divisors).
inline void divideWide(const uint64_t *u, int uw, const uint64_t *v, int vw, uint64_t (&q)[kWideWords],
                       uint64_t (&r)[2]) {
  for (uint64_t &word : q) word = 0;
  while (uw > 0 && u[uw - 1] == 0) --uw;
  if (uw < vw) {
    r[0] = uw > 0 ? u[0] : 0;
    r[1] = uw > 1 ? u[1] : 0;
    return;
  }
  if (vw == 1) {
    uint64_t rem = 0;
    for (int i = uw - 1; i >= 0; --i) q[i] = divideWord(rem, u[i], v[0], rem);
    r[0] = rem;
    r[1] = 0;
    return;
  }
  const int s = __builtin_clzll(v[1]);
  // x << s with the bits from the word below; s may be 0.
  const auto shifted = [s](uint64_t high, uint64_t low) { return s == 0 ? high : (high << s) | (low >> (64 - s)); };
  const uint64_t v1 = shifted(v[1], v[0]);
  const uint64_t v0 = v[0] << s;
  uint64_t un[kWideWords + 1];
  un[uw] = s == 0 ? 0 : u[uw - 1] >> (64 - s);
  for (int i = uw - 1; i > 0; --i) un[i] = shifted(u[i], u[i - 1]);
  un[0] = u[0] << s;
  for (int j = uw - 2; j >= 0; --j) {
    // The window un[j .. j + 2] is below v * 2^64 (the remainder so far is
    // below v), so its top word is at most v1.
    if (un[j + 2] == 0 && un[j + 1] < v1) continue;  // quotient word 0
    uint64_t qhat;
    u128 rhat;
    if (un[j + 2] < v1) {
      uint64_t r;
      qhat = divideWord(un[j + 2], un[j + 1], v1, r);
      rhat = r;
    } else {  // top words equal: the estimate is capped at 2^64 - 1
      qhat = ~uint64_t{0};
      rhat = static_cast<u128>(un[j + 1]) + v1;
    }
    while ((rhat >> 64) == 0 && static_cast<u128>(qhat) * v0 > ((rhat << 64) | un[j])) {
      --qhat;
      rhat += v1;
    }
    // With a two-word divisor the test above is exact: the window minus
    // qhat * v equals rhat * 2^64 + un[j] - qhat * v0, which the loop made
    // nonnegative, and it is below v, so it fits two words (taken modulo
    // 2^128 when rhat passed 2^64).
    const u128 rem = ((rhat << 64) | un[j]) - static_cast<u128>(qhat) * v0;
    un[j] = static_cast<uint64_t>(rem);
    un[j + 1] = static_cast<uint64_t>(rem >> 64);
    un[j + 2] = 0;
    q[j] = qhat;
  }
  // The remainder is what is left in un[0 .. 1], shifted back.
  r[0] = s == 0 ? un[0] : (un[0] >> s) | (un[1] << (64 - s));
  r[1] = un[1] >> s;
}

// Three sixteen-digit chunks (least significant first, each below 10^16)
// as base-10^8 limbs.  Returns the limb count without leading zero limbs (0
// for zero).
inline int chunksToLimbs(const uint64_t (&chunks)[3], uint32_t (&limbs)[6]) {
  int n = 0;
  for (int i = 0; i < 3; ++i) {
    limbs[2 * i] = static_cast<uint32_t>(chunks[i] % kLimbBase);
    limbs[2 * i + 1] = static_cast<uint32_t>(chunks[i] / kLimbBase);
    if (limbs[2 * i] != 0) n = 2 * i + 1;
    if (limbs[2 * i + 1] != 0) n = 2 * i + 2;
  }
  return n;
}

// A value below 10^38 (hi:lo) as base-10^8 limbs, least significant first.
// Returns the limb count (0 for zero).
inline int wideToLimbs(uint64_t hi, uint64_t lo, uint32_t (&limbs)[6]) {
  uint64_t chunks[3];
  if (hi == 0) {
    chunks[0] = lo % kBase16;
    chunks[1] = lo / kBase16;
    chunks[2] = 0;
  } else {
    // Two steps of sixteen digits; hi is below 10^38 / 2^64, so the first
    // step divides hi on its own.
    uint64_t rem;
    const uint64_t top = hi / kBase16;
    const uint64_t middle = divideWord(hi % kBase16, lo, kBase16, rem);
    chunks[0] = rem;
    chunks[2] = divideWord(top, middle, kBase16, rem);
    chunks[1] = rem;
  }
  return chunksToLimbs(chunks, limbs);
}

}  // namespace ov::bcd

#endif /* OVBASE_BCD_WIDE_H */
