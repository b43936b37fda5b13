// Rule tests for the decimal core: limits and storage, packing, and the
// corner cases of addition, comparison, rounding, multiplication and
// division, each through the fast and the literal paths.  Ordinary values
// are left to the property tests.
#include <cstring>

#include "bcd_testing.h"
#include "platform/testhooks.h"

namespace {

using namespace bcdtest;
using BcdArith = Fixture;

// Operands: "-12.5" or "1E20" normalized; "d@p" digits d at point p as
// laid out ("-@0" is a zero with sign byte -1, "-0@1" a zero as read from
// "-0"); "fresh" all zero bytes.  "#s" appended sets the status byte.
Num operand(std::string s) {
  const size_t hash = std::min(s.find('#'), s.size()), at = s.find('@');
  const int status = hash < s.size() ? std::stoi(s.substr(hash + 1)) : 0, sign = s[0] == '-' ? -1 : 1;
  s.erase(hash);
  Num n = at == std::string::npos ? (s == "fresh" ? Num() : N(s))
                                  : raw(s.substr(sign < 0, at - (sign < 0)), std::stoi(s.substr(at + 1)), sign);
  n->status = static_cast<uint8_t>(status);
  return n;
}

// op is + - * / or c (compare: ret is the order, no result), or u / d
// (ceiling / floor of a copy of a; b is unused).  The result
// must show as given and carry the given status byte.  It starts as -42.5,
// which division by zero leaves as it is.  Rows may set other limits.
struct Row { char op; const char *a, *b; int ret; const char *result = ""; int status = 0, precision = 32, scale = 16; };

void check(const Row &c) {
  for (bool literal : {false, true}) {
    ov::bcd::forceLiteralPaths = literal;
    Num a = operand(c.a), b = operand(c.b), r = N("-42.5");  // stale digits must go
    const std::vector<uint8_t> before[] = {a.bytes, b.bytes};
    int got = 0;
    if (c.op == 'u' || c.op == 'd') {
      r.bytes = a.bytes;
      c.op == 'u' ? bcd_ceiling(r) : bcd_floor(r);
    } else {
      got = apply(c.op, a, b, r);
    }
    const std::string what = std::string(c.a) + " " + c.op + " " + c.b + (literal ? " (literal)" : "");
    EXPECT_TRUE(a.bytes == before[0] && b.bytes == before[1]) << what << ": operand changed";
    EXPECT_EQ(got, c.ret) << what;
    EXPECT_TRUE(c.op == 'c' || (show(r) == c.result && r->status == c.status)) << what << " gave " << show(r);
  }
}

constexpr int T = BCD_TRUNCATED, O = BCD_OVERFLOW;

TEST_F(BcdArith, DocumentedCases) {
  const std::string third = "0." + std::string(254, '3'), clamped = "1" + std::string(126, '0') + "." + std::string(74, '0');
  const std::string top = "1" + std::string(31, '0') + "e9";  // point 41: length 32
  const Row rows[] = {
      // Fraction zeros stay; operand bits are kept, except in a zero result.
      {'+', "0.5", "0.5", 0, "1.0"}, {'-', "1.5#1", "1.5", T, "0"}, {'+', "1.5#1", "2", T, "3.5", T},
      {'+', "9999999999999999", "1", O, "10000000000000000"},  // range bits are only returned
      {'+', "0.00000000000000001", "0.00000000000000002", T, "0.00000000000000003"},
      // Points 21 and -14: the small operand is shifted out, length 32.
      {'+', "1E20", "1E-15", O, "100000000000000000000.00000000000", O},
      {'+', "12345678", "0.000000000000123456789012345", T, "12345678.000000000000123456789012", T},
      // A carry out of a full-length sum drops the last digit.
      {'+', "9999999999999999.9999999999999999", "0.0000000000000001", T | O, "10000000000000000.000000000000000"},
      // Zeros of any sign byte are plain zero.
      {'+', "fresh", "-5", 0, "-5"}, {'-', "fresh", "5", 0, "-5"}, {'-', "-0@1", "-5", 0, "5"}, {'+', "-@0", "5", 0, "5"},
      {'+', "5", "-@0", 0, "5"}, {'-', "-5", "-@0", 0, "-5"}, {'-', "-@0", "0", 0, "0"}, {'-', "fresh", "fresh", 0, "0"},
      // Compare: sign difference (zero counts as positive), point difference, digit difference.
      {'c', "-1", "1", -2}, {'c', "-2", "-1", -1}, {'c', "-100", "-5", -2}, {'c', "1.25", "1.75", -5},
      {'c', "05@0", "0.05", 0}, {'c', "1.50", "1.5", 0}, {'c', "0.05", "0", 1}, {'c', "0", "-3", 2}, {'c', "-@0", "0", 0},
      // Ceiling and floor keep the status byte unless the result is zero; 3.0
      // is whole; a point beyond max_precision keeps max_precision digits.
      {'u', "-9.5#1", "0", 0, "-9", 1}, {'d', "-9.5#1", "0", 0, "-10", 1}, {'u', "0.05#1", "0", 0, "1", 1},
      {'d', "0.05#1", "0", 0, "0"}, {'u', "-0.5#1", "0", 0, "0"}, {'d', "-0.5#1", "0", 0, "-1", 1},
      {'u', "3.0#1", "0", 0, "3", 1}, {'u', "05@0#1", "0", 0, "1", 1}, {'d', "05@0#1", "0", 0, "0"},
      {'d', "1@3#1", "0", 0, "100", 1}, {'u', "1@41#1", "0", 0, top.c_str(), 1},
      // Products keep fraction zeros; a zero product is length 0, point 0,
      // sign +1 and stores its bits like any other product.
      {'*', "1.5", "2", 0, "3.0"}, {'*', "05@0", "3", 0, "0.15"}, {'*', "7#2", "0", O, "0~", O},
      {'*', "-0@1#1", "5#2", T | O, "0~", T | O}, {'*', "0", "0", 0, "0"},
      {'*', "9999999999999999", "9999999999999999", O, "99999999999999980000000000000001", O},
      // 33 positions: the last is skipped and the length capped at 32
      // before the leading zero goes, leaving 31 digits.
      {'*', "0.12345678901234567891", "0.1234567890123", T, "0.01524157875323319738110547184059", T},
      // (10^20 - 1)(10^13 - 1) cut to 32 positions, less the carry 8 of the
      // skipped position: ...999999999999 - 8.
      {'*', "99999999999999999999", "9999999999999", T | O, "99999999999989999998999999999992e1", T | O},
      // 23 + 12 digits: the first operand (more fraction digits) loses 2.
      {'*', "1.2345678901234567890123", "12345678901.2", T, "15241578753.19616034329065703581", T},
      // Quotients: 16 fraction digits for a one-digit divisor, else 17.
      {'/', "1", "3", 0, "0.3333333333333333"}, {'/', "1", "30", 0, "0.03333333333333333"}, {'/', "1E-10#1", "1E10", T, "0"},
      {'/', "1", "7.0", 0, "0.14285714285714285"}, {'/', "2", "-0.03", 0, "-66.6666666666666666"},
      // Integer part too long; one-digit divisors judge the point before
      // normalizing (1E16 / 5 = 2E15 still reports it).
      {'/', "1E16", "5", T | O, "2000000000000000"}, {'/', "1E16", "50", 0, "200000000000000"},
      {'/', "1E17", "1.1", T | O, "90909090909090909.09090909090909"}, {'/', "0025@1", "5", 0, "0.005"},
      // Exactly max_precision - max_scale integer digits is in range, one
      // more is not: one-digit and longer divisors, at two limit pairs.
      {'/', "1E15", "5", 0, "200000000000000"}, {'/', "9999999999999999", "1", 0, "9999999999999999"},
      {'/', "1E15", "0.25", 0, "4000000000000000"}, {'/', "1E16", "0.25", T | O, "40000000000000000"},
      {'/', "9999999999999999", "1.1", 0, "9090909090909090"},
      {'/', "99999999999999990", "1.1", T | O, "90909090909090900"},
      {'/', "1E6", "5", 0, "200000", 0, 10, 3}, {'/', "1E7", "5", T | O, "2000000", 0, 10, 3},
      {'/', "9999999", "1.1", 0, "9090908.181", 0, 10, 3}, {'/', "1E7", "1.1", 0, "9090909.09", 0, 10, 3}, {'/', "1E8", "1.1", T | O, "90909090.9", 0, 10, 3},
      // Division by zero writes only the status byte of the result.
      {'/', "1#1", "0", BCD_DIVZERO | T, "-42.5", BCD_DIVZERO | T}, {'/', "1", "-000@1", BCD_DIVZERO, "-42.5", BCD_DIVZERO},
      // One position: 3 x 4 keeps only the carry the skipped position never
      // made.  255 digits: 1/3 has 254 threes after a leading zero position.
      {'*', "3", "4", T, "0~", T, 1, 0}, {'/', "1", "3", T | O, third.c_str(), 0, 255, 255},
      // Points beyond the signed byte: kept at 127 with BCD_OVERFLOW (the
      // digits stay, so the value is off by the missing powers of ten), or
      // the canonical zero with BCD_TRUNCATED.
      {'*', "1E100", "1E100", O, "1e126", O, 255, 0}, {'*', "1E-100", "1E-100", T, "0~", T, 255, 0},
      {'+', "9@127", "1E126", O, "10e125", 0, 255, 0}, {'/', "1E100", "1E-100", O, clamped.c_str(), 0, 255, 0},
  };
  for (const Row &c : rows) {
    ASSERT_EQ(bcd_setGlobals(c.precision, c.scale), 0);
    check(c);
  }
}

// back: the number unpacked again (trailing zeros dropped when trim is
// set), with the packing bits as its status.
TEST_F(BcdArith, PackBytesAndUnpack) {
  const struct { const char *in; int precision, scale, ret; const char *hex, *back; int trim = 0; } rows[] = {
      {"-12.5", 5, 2, 0, "05024098749040", "-12.50"}, {"12.5", 5, 2, 0, "0502C0012500C0", "12.5", 1},
      {"123.456", 4, 1, T, "0401C11234C1", "123.4"},  {"12345.6", 4, 1, O, "0401C23456C2", "345.6"},
      {"-0@1", 3, 1, 0, "0301C00000C0", "0"},         {"1E40", 5, 0, O, "0500C2000000C2", "0"},
      // A scale above the precision leaves no integer position: a number
      // whose point lies above p - s reports the overflow, zero included.
      {"0", 2, 5, O, "0205C200C2", "0"}, {"-0@1", 1, 3, O, "0103C200C2", "0"}, {"0", 3, 3, 0, "0303C00000C0", "0"},
      {"0.0012", 2, 4, 0, "0204C012C0", "0.0012"},
      {"0.05", 32, 0, T, "2000C1" "00000000000000000000000000000000" "C1", "0"},
      // A packing that keeps no digit is the positive zero, whatever the sign.
      {"-0.05", 5, 0, T, "0500C1000000C1", "0"}, {"-1E40", 5, 0, O, "0500C2000000C2", "0"},
  };
  const char *hexDigits = "0123456789ABCDEF";
  for (const auto &c : rows) {
    uint8_t out[40] = {};
    EXPECT_EQ(bcd_pack(operand(c.in), out, c.precision, c.scale), c.ret) << c.in;
    std::string hex;
    for (size_t k = 0; k < std::strlen(c.hex) / 2; ++k) hex += {hexDigits[out[k] >> 4], hexDigits[out[k] & 15]};
    Num x = operand("-7.25#3");
    EXPECT_EQ(bcd_unpack(out, x, c.trim), 0) << c.in;
    EXPECT_EQ(hex + " " + show(x), c.hex + (" " + std::string(c.back))) << c.in;
    EXPECT_EQ(x->status, x->length ? c.ret : 0) << c.in;
  }
  // Refusals leave the target alone.
  uint8_t out[8] = {0xEE};
  Num x = N("-12.5");
  EXPECT_EQ(bcd_pack(x, out, 33, 0) + bcd_pack(x, out, 5, 17), -2);
  const uint8_t tooPrecise[] = {33, 0, 0xC0}, tooScaled[] = {2, 17, 0xC0, 0, 0xC0};
  EXPECT_EQ(bcd_unpack(tooPrecise, x, 0) + bcd_unpack(tooScaled, x, 0), -2);
  EXPECT_EQ(show(x) + " " + std::to_string(out[0]), "-12.5 238");
  // A packed 1 followed by 199 zeros: point 200 does not fit the point
  // byte, point 100 (scale 100) does.
  bcd_setGlobals(255, 255);
  std::vector<uint8_t> big(3 + 100 + 1);
  big[0] = 200, big[2] = 0xC0, big[3] = 0x10;
  Num y;
  EXPECT_EQ(bcd_unpack(big.data(), y, 0), -1);
  big[1] = 100;
  EXPECT_TRUE(bcd_unpack(big.data(), y, 0) == 0 && rec(y) == "+1" + std::string(199, '0') + "@100") << rec(y);
}

TEST_F(BcdArith, LimitsAllocationAndQueries) {
  EXPECT_TRUE(bcd_setGlobals(256, 10) + bcd_setGlobals(10, 256) == -2 && bcd_maxprec() == 32 && bcd_maxscale() == 16);
  // Scale above precision is accepted.
  EXPECT_TRUE(bcd_setGlobals(4, 9) == 0 && bcd_maxprec() == 4 && bcd_maxscale() == 9);

  const auto query = [](BCD *x) { return std::to_string(bcd_isZero(x)) + "/" + std::to_string(bcd_sign(x)); };
  const int64_t before = ov_testOutstandingBlocks();
  ov_testFailAllocation(0);
  EXPECT_EQ(bcd_allocate(nullptr), nullptr);
  BCD *x = bcd_allocate(nullptr);  // the hook fails one allocation only
  ASSERT_NE(x, nullptr);
  EXPECT_EQ(rec(x) + "/" + std::to_string(x->status) + " " + query(x), "0@0/0 1/0");  // all bytes zero
  bcd_free(x), bcd_free(nullptr);
  EXPECT_EQ(ov_testOutstandingBlocks(), before);

  Num v = N("-4.5"), z = N("-0");
  EXPECT_EQ(query(v) + " " + query(z), "0/-1 1/0");
  bcd_chgSign(v), bcd_chgSign(z);
  EXPECT_EQ(rec(v) + " " + rec(z), "+45@1 +@0");
}

}  // namespace
