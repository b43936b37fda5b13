// Helpers shared by the decimal tests: number buffers of exactly
// bcd_maxprec() + 5 bytes (so the sanitizers see any access past a number),
// numbers built from digits or simple text, a one-line view of a record, a
// fixture that restores the limits, and exact 128-bit reference values.
#ifndef OVBASE_TESTS_BCD_TESTING_H
#define OVBASE_TESTS_BCD_TESTING_H

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bcd/bcd_internal.h"
#include "ovbase/bcd.h"

namespace bcdtest {

using i128 = __int128;

// A zeroed number buffer (sign byte 0, as from bcd_allocate).
struct Num {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(bcd_maxprec() + 5u, 0);
  BCD *operator->() { return reinterpret_cast<BCD *>(bytes.data()); }
  operator BCD *() { return operator->(); }
  uint8_t &digit(int k) { return bytes[4 + k]; }
};

// A record laid out exactly as given, not normalized.
inline Num raw(const std::string &digits, int point, int sign = 1) {
  Num n;
  n->length = static_cast<uint8_t>(std::min<size_t>(digits.size(), bcd_maxprec()));
  n->point = static_cast<int8_t>(point), n->sign = static_cast<int8_t>(sign);
  for (int k = 1; k <= n->length; ++k) n.digit(k) = static_cast<uint8_t>(digits[k - 1] - '0');
  return n;
}

// A normalized number from "-12.50" or "1E20" (trailing zeros kept; "-0"
// is a zero with sign byte -1).
inline Num N(std::string s) {
  const int sign = s[0] == '-' ? -1 : 1;
  const size_t e = std::min(s.find('E'), s.size());
  int point = e < s.size() ? std::stoi(s.substr(e + 1)) : 0;
  s = s.substr(sign < 0, e - (sign < 0));
  const size_t dot = std::min(s.find('.'), s.size());
  s.erase(dot, 1);
  const size_t lead = std::min(s.find_first_not_of('0'), s.size());
  point += static_cast<int>(dot) - static_cast<int>(lead);
  return lead == s.size() ? raw("", 0, sign) : raw(s.substr(lead), point, sign);
}

// True when position 0 and every position past the length hold 0.
inline bool settled(const BCD *x) {
  const uint8_t *end = x->digits + bcd_maxprec() + 1;
  return x->digits[0] == 0 && std::all_of(std::min(x->digits + x->length + 1, end), end, [](uint8_t d) { return d == 0; });
}

// The value as laid out: "-4.75", "1.0", "12e3" (digits, then point -
// length zeros), "0" only for the canonical zero (status 0 included), "0~"
// for other zeros; "?" marks a leading zero digit, a sign byte other than
// +1 or -1 on a nonzero value, or stray digits.
inline std::string show(const BCD *x) {
  std::string d;
  for (int k = 1; k <= x->length; ++k) d += static_cast<char>('0' + x->digits[k]);
  const bool odd = x->length && (x->digits[1] == 0 || (x->sign != 1 && x->sign != -1));
  const std::string flag = !settled(x) || odd ? "?" : "", s = x->sign < 0 ? "-" : "";
  if (x->length == 0) return (x->point == 0 && x->sign == 1 && x->status == 0 ? "0" : "0~") + flag;
  if (x->point <= 0) return s + "0." + std::string(-x->point, '0') + d + flag;
  if (x->point >= x->length) return s + d + (x->point > x->length ? "e" + std::to_string(x->point - x->length) : "") + flag;
  return s + d.substr(0, x->point) + "." + d.substr(x->point) + flag;
}

// The record itself: sign byte, digit positions 1..length, '@', point, and
// "?" when a position outside them is not 0: "+05@0" is 0.05 as read.
inline std::string rec(const BCD *x) {
  std::string s = x->sign == 1 ? "+" : x->sign == -1 ? "-" : "0";
  for (int k = 1; k <= x->length; ++k) s += static_cast<char>('0' + x->digits[k]);
  return s + "@" + std::to_string(x->point) + (settled(x) ? "" : "?");
}

// Every test starts and ends with the initial limits and the fast paths on.
struct Fixture : ::testing::Test {
  void SetUp() override { ASSERT_EQ(bcd_setGlobals(32, 16), 0); }
  void TearDown() override { bcd_setGlobals(32, 16); ov::bcd::forceLiteralPaths = false; }
};

// Runs op (+ - * / or c for compare) on a and b into r.
inline int apply(char op, const BCD *a, const BCD *b, BCD *r) {
  return op == '+' ? bcd_add(a, b, r) : op == '-' ? bcd_sub(a, b, r) : op == '*' ? bcd_mult(a, b, r)
         : op == '/' ? bcd_div(a, b, r) : bcd_compare(a, b);
}

inline i128 pow10(int n) { return n > 0 ? 10 * pow10(n - 1) : 1; }

inline std::string str(i128 v) {
  return v < 0 ? "-" + str(-v) : (v >= 10 ? str(v / 10) : "") + static_cast<char>('0' + static_cast<int>(v % 10));
}

// x * 10^scale as an integer, or 2^126 (no test value) when a nonzero digit
// lies below 10^-scale.
inline i128 toScaled(const BCD *x, int scale) {
  i128 v = 0;
  for (int k = 1; k <= x->length; ++k)
    if (x->digits[k] != 0 && x->point - k + scale < 0) return i128(1) << 126;
    else v += x->digits[k] * pow10(std::max(x->point - k + scale, 0));
  return x->sign < 0 ? -v : v;
}

}  // namespace bcdtest

#endif  // OVBASE_TESTS_BCD_TESTING_H
