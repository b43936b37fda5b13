// Rule tests for the decimal core: limits, storage, packing, addition,
// subtraction, comparison, rounding, multiplication and division, including
// the documented corner cases.  Numbers are built digit by digit (not through
// the text reader) in buffers of exactly bcd_maxprec() + 5 bytes, so the
// sanitizers see any access past a number.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "bcd/bcd_internal.h"
#include "ovbase/bcd.h"
#include "platform/testhooks.h"

namespace {

// A number buffer of exactly max_precision + 5 bytes, all zero.
struct Num {
  std::vector<uint8_t> bytes;
  Num() : bytes(bcd_maxprec() + 5u, 0) {}
  BCD *get() { return reinterpret_cast<BCD *>(bytes.data()); }
  BCD *operator->() { return get(); }
  operator BCD *() { return get(); }
  uint8_t *digits() { return bytes.data() + 4; }
};

// A number laid out exactly as given: digit string (positions 1..), point,
// sign, no normalizing.
Num raw(const std::string &digits, int point, int sign = 1) {
  Num n;
  // Digits beyond max_precision do not fit the buffer and are left out.
  const size_t count = digits.size() < bcd_maxprec() ? digits.size() : bcd_maxprec();
  n->length = static_cast<uint8_t>(count);
  n->point = static_cast<int8_t>(point);
  n->sign = static_cast<int8_t>(sign);
  for (size_t k = 0; k < count; ++k) n.digits()[k + 1] = static_cast<uint8_t>(digits[k] - '0');
  return n;
}

// A normalized number from simple text such as "-12.50" or "1E20".
Num N(const std::string &text) {
  std::string s = text;
  int sign = 1;
  if (!s.empty() && s[0] == '-') {
    sign = -1;
    s = s.substr(1);
  }
  int exponent = 0;
  const size_t e = s.find('E');
  if (e != std::string::npos) {
    exponent = std::stoi(s.substr(e + 1));
    s = s.substr(0, e);
  }
  const size_t dot = s.find('.');
  std::string digits = s;
  int point = static_cast<int>(s.size());
  if (dot != std::string::npos) {
    digits = s.substr(0, dot) + s.substr(dot + 1);
    point = static_cast<int>(dot);
  }
  point += exponent;
  size_t lead = 0;
  while (lead < digits.size() && digits[lead] == '0') ++lead;
  digits = digits.substr(lead);
  point -= static_cast<int>(lead);
  if (digits.empty()) return raw("", 0, 1);
  return raw(digits, point, sign);
}

// The stored value as plain text, exactly as laid out (trailing zeros kept).
std::string show(const BCD *x) {
  const uint8_t *d = reinterpret_cast<const uint8_t *>(x) + 4;
  std::string digits;
  for (int k = 1; k <= x->length; ++k) digits += static_cast<char>('0' + d[k]);
  std::string out = x->sign < 0 ? "-" : "";
  if (x->length == 0) return "0";
  if (x->point <= 0) return out + "0." + std::string(-x->point, '0') + digits;
  if (x->point >= x->length) return out + digits + std::string(x->point - x->length, '0');
  return out + digits.substr(0, x->point) + "." + digits.substr(x->point);
}

bool isCanonicalZero(Num &x) {
  for (size_t k = 4; k < x.bytes.size(); ++k) {
    if (x.bytes[k] != 0) return false;
  }
  return x->length == 0 && x->point == 0 && x->sign == 1 && x->status == 0;
}

// Digits past length are zero and position 0 is clear.
bool settled(Num &x) {
  if (x.digits()[0] != 0) return false;
  for (size_t k = x->length + 1u; k <= bcd_maxprec(); ++k) {
    if (x.digits()[k] != 0) return false;
  }
  return true;
}

class BcdTest : public ::testing::Test {
 protected:
  void TearDown() override {
    bcd_setGlobals(32, 16);
    ov::bcd::forceLiteralPaths = false;
  }
};

using BcdLimits = BcdTest;
using BcdPack = BcdTest;
using BcdAdd = BcdTest;
using BcdCompare = BcdTest;
using BcdRound = BcdTest;
using BcdMult = BcdTest;
using BcdDiv = BcdTest;

TEST_F(BcdLimits, SetGlobalsAllocateAndSimpleQueries) {
  EXPECT_EQ(bcd_maxprec(), 32);
  EXPECT_EQ(bcd_maxscale(), 16);
  EXPECT_EQ(bcd_setGlobals(256, 10), -1);
  EXPECT_EQ(bcd_setGlobals(10, 256), -1);
  EXPECT_EQ(bcd_maxprec(), 32);
  EXPECT_EQ(bcd_setGlobals(255, 255), 0);
  EXPECT_EQ(bcd_maxprec(), 255);
  EXPECT_EQ(bcd_maxscale(), 255);
  EXPECT_EQ(bcd_setGlobals(4, 9), 0);  // scale above precision is accepted
  EXPECT_EQ(bcd_maxscale(), 9);

  const int64_t before = ov_testOutstandingBlocks();
  BCD *x = bcd_allocate(nullptr);
  ASSERT_NE(x, nullptr);
  const uint8_t *bytes = reinterpret_cast<const uint8_t *>(x);
  for (int k = 0; k < 4 + 5; ++k) EXPECT_EQ(bytes[k], 0) << k;
  EXPECT_EQ(bcd_isZero(x), 1);
  EXPECT_EQ(bcd_sign(x), 0);
  bcd_free(x);
  bcd_free(nullptr);
  EXPECT_EQ(ov_testOutstandingBlocks(), before);

  ov_testFailAllocation(0);
  EXPECT_EQ(bcd_allocate(nullptr), nullptr);
  EXPECT_EQ(ov_testOutstandingBlocks(), before);
  x = bcd_allocate(nullptr);  // the hook fails one allocation only
  EXPECT_NE(x, nullptr);
  bcd_free(x);

  bcd_setGlobals(32, 16);
  Num z = raw("", 0, -1);
  EXPECT_EQ(bcd_isZero(z), 1);
  EXPECT_EQ(bcd_sign(z), 0);
  Num v = N("-4.5");
  EXPECT_EQ(bcd_isZero(v), 0);
  EXPECT_EQ(bcd_sign(v), -1);
  bcd_chgSign(v);
  EXPECT_EQ(bcd_sign(v), 1);
  bcd_chgSign(z);
  EXPECT_EQ(z->sign, 1);
}

TEST_F(BcdLimits, NormalizeShiftsAndClearsAndClampsThePoint) {
  Num x = raw("0005", 1);
  EXPECT_EQ(ov::bcd::normalize(x), 0);
  EXPECT_EQ(x->length, 1);
  EXPECT_EQ(x->point, -2);
  EXPECT_EQ(x.digits()[1], 5);
  EXPECT_TRUE(settled(x));

  Num carry = raw("95", 2);
  carry.digits()[0] = 1;
  ov::bcd::normalize(carry);
  EXPECT_EQ(show(carry), "195");

  Num zero = raw("000", 1, -1);
  zero->status = 3;
  ov::bcd::normalize(zero);
  EXPECT_TRUE(isCanonicalZero(zero));

  // The point byte is 8-bit: a carry past 10^127 keeps point 127 and reports
  // overflow; a first digit below 10^-128 leaves nothing (truncated).
  Num top = raw("9", 127);
  top.digits()[0] = 1;
  EXPECT_EQ(ov::bcd::normalize(top), BCD_OVERFLOW);
  EXPECT_EQ(top->point, 127);
  Num bottom = raw("0005", -126);
  EXPECT_EQ(ov::bcd::normalize(bottom), BCD_TRUNCATED);
  EXPECT_TRUE(isCanonicalZero(bottom));
}

TEST_F(BcdPack, BytesOfTheDefinitionAndRoundTrip) {
  uint8_t out[8];
  EXPECT_EQ(bcd_pack(N("-12.5"), out, 5, 2), 0);
  const uint8_t negative[] = {5, 2, 0x40, 0x98, 0x74, 0x90, 0x40};
  EXPECT_EQ(std::memcmp(out, negative, sizeof negative), 0);
  EXPECT_EQ(bcd_pack(N("12.5"), out, 5, 2), 0);
  const uint8_t positive[] = {5, 2, 0xC0, 0x01, 0x25, 0x00, 0xC0};
  EXPECT_EQ(std::memcmp(out, positive, sizeof positive), 0);

  Num x;
  EXPECT_EQ(bcd_unpack(out, x, 0), 0);
  EXPECT_EQ(x->length, 4);
  EXPECT_EQ(x->point, 2);
  EXPECT_EQ(x->sign, 1);
  EXPECT_EQ(show(x), "12.50");
  EXPECT_TRUE(settled(x));
  EXPECT_EQ(bcd_unpack(out, x, 1), 0);
  EXPECT_EQ(x->length, 3);

  EXPECT_EQ(bcd_unpack(negative, x, 1), 0);
  EXPECT_EQ(show(x), "-12.5");

  EXPECT_EQ(bcd_pack(N("123.456"), out, 4, 1), BCD_TRUNCATED);
  EXPECT_EQ(out[3], 0x12);
  EXPECT_EQ(out[4], 0x34);
  EXPECT_EQ(out[2], 0xC1);
  EXPECT_EQ(out[5], 0xC1);
  EXPECT_EQ(bcd_unpack(out, x, 0), 0);
  EXPECT_EQ(show(x), "123.4");
  EXPECT_EQ(x->status, BCD_TRUNCATED);  // the packing bits come back

  EXPECT_EQ(bcd_pack(N("12345.6"), out, 4, 1), BCD_OVERFLOW);
  EXPECT_EQ(out[3], 0x34);
  EXPECT_EQ(out[4], 0x56);

  // A packed zero comes back as the canonical zero, whatever its scale.
  EXPECT_EQ(bcd_pack(N("0"), out, 5, 3), 0);
  EXPECT_EQ(out[2], 0xC0);
  Num z = N("-7.25");
  z->status = 3;
  EXPECT_EQ(bcd_unpack(out, z, 0), 0);
  EXPECT_TRUE(isCanonicalZero(z));
  // A negative zero packs as positive zero.
  EXPECT_EQ(bcd_pack(raw("00", 1, -1), out, 3, 1), 0);
  EXPECT_EQ(out[2], 0xC0);
}

TEST_F(BcdPack, RefusalsAndOutOfRangeAdjustments) {
  uint8_t out[40];
  std::memset(out, 0xEE, sizeof out);
  EXPECT_EQ(bcd_pack(N("1"), out, 33, 0), -1);
  EXPECT_EQ(bcd_pack(N("1"), out, 5, 17), -1);
  EXPECT_EQ(out[0], 0xEE);

  Num x = N("3.5");
  const uint8_t tooPrecise[] = {33, 0, 0xC0};
  const uint8_t tooScaled[] = {2, 17, 0xC0, 0, 0xC0};
  EXPECT_EQ(bcd_unpack(tooPrecise, x, 0), -1);
  EXPECT_EQ(bcd_unpack(tooScaled, x, 0), -1);
  EXPECT_EQ(show(x), "3.5");

  // 1E40 kept to 5 integer digits loses all of them: overflow, zeros stored.
  EXPECT_EQ(bcd_pack(N("1E40"), out, 5, 0), BCD_OVERFLOW);
  EXPECT_EQ(out[3], 0x00);
  EXPECT_EQ(out[5], 0x00);
  // 0.05 with no fraction digits: all digits lost at the right.
  EXPECT_EQ(bcd_pack(N("0.05"), out, 32, 0), BCD_TRUNCATED);
  for (int k = 3; k < 19; ++k) EXPECT_EQ(out[k], 0) << k;
  EXPECT_EQ(out[19], 0xC1);
  // A zero with the scale above the precision loses nothing.
  EXPECT_EQ(bcd_pack(N("0"), out, 2, 5), 0);
  // A nonzero value with the scale above the precision: 0.0012 in p=2 s=4.
  EXPECT_EQ(bcd_pack(N("0.0012"), out, 2, 4), 0);
  EXPECT_EQ(out[3], 0x12);
  EXPECT_EQ(bcd_unpack(out, x, 0), 0);
  EXPECT_EQ(show(x), "0.0012");
  // 0.5 does not fit two digits that start three places after the point.
  EXPECT_EQ(bcd_pack(N("0.5"), out, 2, 4), BCD_OVERFLOW);

  // A packed value whose point cannot be held in the point byte is refused.
  bcd_setGlobals(255, 255);
  std::vector<uint8_t> big(3 + 100 + 1, 0);
  big[0] = 200;
  big[1] = 0;
  big[2] = 0xC0;
  big[3] = 0x10;  // first digit 1, then 199 zeros: point 200
  Num y;
  EXPECT_EQ(bcd_unpack(big.data(), y, 0), -1);
  big[1] = 100;  // point 100 fits
  EXPECT_EQ(bcd_unpack(big.data(), y, 0), 0);
  EXPECT_EQ(y->point, 100);
  EXPECT_EQ(y->length, 200);
}

TEST_F(BcdPack, PackedBytesSortLikeTheValues) {
  const char *values[] = {"-999.99", "-12.5", "-12.49", "-0.01", "0",
                          "0.01",    "7",     "12.5",   "999.99"};
  std::vector<std::vector<uint8_t>> packed;
  for (const char *v : values) {
    std::vector<uint8_t> out(3 + 3 + 1);
    EXPECT_EQ(bcd_pack(N(v), out.data(), 5, 2), 0) << v;
    packed.push_back(out);
  }
  for (size_t i = 1; i < packed.size(); ++i) {
    EXPECT_LT(std::memcmp(packed[i - 1].data() + 2, packed[i].data() + 2, 5), 0) << values[i];
  }
}

TEST_F(BcdAdd, SumsAndDifferencesOfTheDefinition) {
  for (bool literal : {false, true}) {
    ov::bcd::forceLiteralPaths = literal;
    Num r;
    EXPECT_EQ(bcd_add(N("0.5"), N("0.5"), r), 0);
    EXPECT_EQ(show(r), "1.0");
    EXPECT_EQ(r->length, 2);
    EXPECT_EQ(r->point, 1);
    EXPECT_EQ(bcd_sub(N("1"), N("1"), r), 0);
    EXPECT_TRUE(isCanonicalZero(r));
    EXPECT_EQ(bcd_sub(N("-3"), N("-5"), r), 0);
    EXPECT_EQ(show(r), "2");
    EXPECT_EQ(bcd_sub(N("3"), N("5"), r), 0);
    EXPECT_EQ(show(r), "-2");
    EXPECT_EQ(bcd_add(N("-7.25"), N("2.5"), r), 0);
    EXPECT_EQ(show(r), "-4.75");
    EXPECT_EQ(bcd_add(N("-7.25"), N("-2.75"), r), 0);
    EXPECT_EQ(show(r), "-10.00");
    EXPECT_EQ(bcd_sub(N("2.5"), N("-0.25"), r), 0);
    EXPECT_EQ(show(r), "2.75");
    EXPECT_EQ(bcd_sub(N("-2.5"), N("0.25"), r), 0);
    EXPECT_EQ(show(r), "-2.75");
    EXPECT_TRUE(settled(r));

    // 17 integer digits: overflow reported, all digits kept.
    EXPECT_EQ(bcd_add(N("9999999999999999"), N("1"), r), BCD_OVERFLOW);
    EXPECT_EQ(show(r), "10000000000000000");
    // Points 21 and -14: the small operand is shifted out completely and
    // both lengths become max_precision.
    EXPECT_EQ(bcd_add(N("1E20"), N("1E-15"), r), BCD_OVERFLOW);
    EXPECT_EQ(r->point, 21);
    EXPECT_EQ(r->length, 32);
    EXPECT_EQ(r->digits[0], 0);
    EXPECT_EQ(r->digits[1], 1);
    // Points 8 and -12 (shift 20) with 15 digits: digits past position 32
    // are dropped.
    EXPECT_EQ(bcd_add(N("12345678"), N("0.000000000000123456789012345"), r), BCD_TRUNCATED);
    EXPECT_EQ(show(r), "12345678.000000000000123456789012");
    // More than 16 fraction digits are kept but reported.
    EXPECT_EQ(bcd_add(N("0.00000000000000001"), N("0.00000000000000002"), r), BCD_TRUNCATED);
    EXPECT_EQ(show(r), "0.00000000000000003");
    // A carry out of a full-length sum drops the last digit.
    EXPECT_EQ(bcd_add(N("9999999999999999.9999999999999999"), N("0.0000000000000001"), r),
              BCD_TRUNCATED | BCD_OVERFLOW);
    EXPECT_EQ(show(r), "10000000000000000.000000000000000");
    EXPECT_EQ(r->status, 0);  // range and carry bits are only returned

    // Operand bits are kept in the result's status byte.
    Num flagged = N("1.5");
    flagged->status = BCD_TRUNCATED;
    EXPECT_EQ(bcd_add(flagged, N("2"), r), BCD_TRUNCATED);
    EXPECT_EQ(r->status, BCD_TRUNCATED);
    EXPECT_EQ(bcd_sub(flagged, N("2"), r), BCD_TRUNCATED);
    EXPECT_EQ(r->status, BCD_TRUNCATED);
    EXPECT_EQ(show(r), "-0.5");
    // A zero result is the canonical zero with status 0; the bits come back.
    EXPECT_EQ(bcd_sub(flagged, N("1.5"), r), BCD_TRUNCATED);
    EXPECT_TRUE(isCanonicalZero(r));
  }
}

TEST_F(BcdAdd, ZerosWithAnySignByteAreZero) {
  for (bool literal : {false, true}) {
    ov::bcd::forceLiteralPaths = literal;
    Num fresh;  // all bytes zero, sign byte 0, as from bcd_allocate
    Num minusZero = raw("", 0, -1);
    Num minusZeroDigits = raw("0", 1, -1);  // as read from "-0"
    Num r;
    EXPECT_EQ(bcd_add(fresh, N("5"), r), 0);
    EXPECT_EQ(show(r), "5");
    EXPECT_EQ(bcd_add(fresh, N("-5"), r), 0);
    EXPECT_EQ(show(r), "-5");
    EXPECT_EQ(bcd_sub(fresh, N("5"), r), 0);
    EXPECT_EQ(show(r), "-5");
    EXPECT_EQ(bcd_sub(fresh, N("-5"), r), 0);
    EXPECT_EQ(show(r), "5");
    EXPECT_EQ(bcd_sub(minusZero, N("-5"), r), 0);
    EXPECT_EQ(show(r), "5");
    EXPECT_EQ(bcd_sub(minusZeroDigits, N("-5"), r), 0);
    EXPECT_EQ(show(r), "5");
    EXPECT_EQ(bcd_add(minusZero, N("5"), r), 0);
    EXPECT_EQ(show(r), "5");
    EXPECT_EQ(bcd_add(minusZero, N("-5"), r), 0);
    EXPECT_EQ(show(r), "-5");
    EXPECT_EQ(bcd_add(N("5"), minusZero, r), 0);
    EXPECT_EQ(show(r), "5");
    EXPECT_EQ(bcd_sub(N("-5"), minusZero, r), 0);
    EXPECT_EQ(show(r), "-5");
    EXPECT_EQ(bcd_sub(N("5"), fresh, r), 0);
    EXPECT_EQ(show(r), "5");
    EXPECT_EQ(bcd_sub(minusZero, N("0"), r), 0);
    EXPECT_TRUE(isCanonicalZero(r));
    EXPECT_EQ(bcd_add(minusZero, minusZeroDigits, r), 0);
    EXPECT_TRUE(isCanonicalZero(r));
    EXPECT_EQ(bcd_sub(fresh, fresh, r), 0);
    EXPECT_TRUE(isCanonicalZero(r));
  }
}

TEST_F(BcdCompare, OrderAndReturnedValues) {
  for (bool literal : {false, true}) {
    ov::bcd::forceLiteralPaths = literal;
    EXPECT_EQ(bcd_compare(N("-1"), N("1")), -2);
    EXPECT_EQ(bcd_compare(N("1"), N("-1")), 2);
    EXPECT_EQ(bcd_compare(N("2"), N("1")), 1);
    EXPECT_EQ(bcd_compare(N("-2"), N("-1")), -1);
    EXPECT_EQ(bcd_compare(N("100"), N("5")), 2);  // point difference
    EXPECT_EQ(bcd_compare(N("-100"), N("-5")), -2);
    EXPECT_EQ(bcd_compare(N("1.25"), N("1.75")), -5);
    EXPECT_EQ(bcd_compare(raw("05", 0), N("0.05")), 0);
    EXPECT_EQ(bcd_compare(N("1.50"), N("1.5")), 0);
    EXPECT_EQ(bcd_compare(N("0"), N("0.5")), -5);  // equal points: digit difference
    EXPECT_EQ(bcd_compare(N("0"), N("0.05")), -1);
    EXPECT_EQ(bcd_compare(N("0.05"), N("0")), 1);
    EXPECT_EQ(bcd_compare(N("0"), N("-3")), 2);
    EXPECT_EQ(bcd_compare(raw("", 0, -1), N("0")), 0);
    EXPECT_EQ(bcd_compare(N("12345678901234567890.5"), N("12345678901234567890.7")), -2);
  }
}

TEST_F(BcdRound, CeilingAndFloor) {
  struct Case {
    const char *in;
    const char *ceiling;
    const char *floor;
  } cases[] = {
      {"1.5", "2", "1"},      {"9.5", "10", "9"},       {"0.5", "1", "0"},     {"0.05", "1", "0"},
      {"-1.5", "-1", "-2"},   {"-0.5", "0", "-1"},      {"-9.5", "-9", "-10"}, {"-0.05", "0", "-1"},
      {"99.01", "100", "99"}, {"3.0", "3", "3"},        {"-3.00", "-3", "-3"}, {"12", "12", "12"},
      {"0", "0", "0"},        {"999.9", "1000", "999"},
  };
  for (const Case &c : cases) {
    Num up = N(c.in);
    up->status = BCD_TRUNCATED;
    bcd_ceiling(up);
    EXPECT_EQ(show(up), c.ceiling) << c.in;
    EXPECT_TRUE(settled(up)) << c.in;
    if (std::string(c.ceiling) == "0") {
      EXPECT_TRUE(isCanonicalZero(up)) << c.in;
    } else {
      EXPECT_EQ(up->status, BCD_TRUNCATED) << c.in;
    }
    Num down = N(c.in);
    bcd_floor(down);
    EXPECT_EQ(show(down), c.floor) << c.in;
    EXPECT_TRUE(settled(down)) << c.in;
    if (std::string(c.floor) == "0") {
      EXPECT_TRUE(isCanonicalZero(down)) << c.in;
    }
  }
  Num ten = N("9.5");
  bcd_ceiling(ten);
  EXPECT_EQ(ten->point, 2);
  EXPECT_EQ(ten->length, 2);
  Num minusOne = N("-0.05");
  bcd_floor(minusOne);
  EXPECT_EQ(minusOne->point, 1);
  EXPECT_EQ(minusOne->sign, -1);
  // Text-style 0.05 (digits 0,5 with point 0) rounds the same way.
  Num textual = raw("05", 0);
  bcd_ceiling(textual);
  EXPECT_EQ(show(textual), "1");
  // Whole numbers keep their digits; length becomes point, at most
  // max_precision when the point lies beyond it.
  Num hundred = raw("1", 3);
  bcd_floor(hundred);
  EXPECT_EQ(show(hundred), "100");
  EXPECT_EQ(hundred->length, 3);
  Num huge = raw("1", 41);
  bcd_ceiling(huge);
  EXPECT_EQ(huge->length, 32);
  EXPECT_EQ(huge->point, 41);
  EXPECT_TRUE(settled(huge));
}

TEST_F(BcdMult, ProductsOfTheDefinition) {
  for (bool literal : {false, true}) {
    ov::bcd::forceLiteralPaths = literal;
    Num r;
    EXPECT_EQ(bcd_mult(N("1.5"), N("2"), r), 0);
    EXPECT_EQ(show(r), "3.0");
    EXPECT_EQ(bcd_mult(N("12"), N("0.5"), r), 0);
    EXPECT_EQ(show(r), "6.0");
    EXPECT_EQ(bcd_mult(N("-3"), N("-4"), r), 0);
    EXPECT_EQ(show(r), "12");
    EXPECT_EQ(r->sign, 1);
    EXPECT_EQ(bcd_mult(N("-3"), N("4"), r), 0);
    EXPECT_EQ(show(r), "-12");
    EXPECT_EQ(bcd_mult(raw("05", 0), N("3"), r), 0);  // leading zero digit
    EXPECT_EQ(show(r), "0.15");
    EXPECT_TRUE(settled(r));

    EXPECT_EQ(bcd_mult(N("9999999999999999"), N("9999999999999999"), r), BCD_OVERFLOW);
    EXPECT_EQ(show(r), "99999999999999980000000000000001");
    EXPECT_EQ(r->status, BCD_OVERFLOW);
    EXPECT_EQ(bcd_mult(N("1234567890123456"), N("1000"), r), BCD_OVERFLOW);
    EXPECT_EQ(show(r), "1234567890123456000");

    // 20 + 12 digits fit exactly; 20 + 13 lose digits at the right.
    // (the number of fraction digits of a product is not checked)
    EXPECT_EQ(bcd_mult(N("0.12345678901234567891"), N("0.123456789012"), r), 0);
    EXPECT_EQ(show(r), "0.01524157875319616034440176813692");
    // The shortened product spans 33 positions; its length is capped at 32
    // before the leading zero is normalized away, leaving 31.
    EXPECT_EQ(bcd_mult(N("0.12345678901234567891"), N("0.1234567890123"), r), BCD_TRUNCATED);
    EXPECT_EQ(r->length, 31);

    // Zero products are the canonical zero with status 0.
    Num flagged = N("7");
    flagged->status = BCD_OVERFLOW;
    EXPECT_EQ(bcd_mult(flagged, N("0"), r), BCD_OVERFLOW);
    EXPECT_TRUE(isCanonicalZero(r));
  }
}

TEST_F(BcdMult, ShortenedProductLosesTheSkippedCarry) {
  // 20 nines times 13 nines: 33 positions, one more than max_precision.
  // Position 33 (the product of the two last digits, 81) is never computed,
  // so its carry 8 is missing from the last kept digit.
  for (bool literal : {false, true}) {
    ov::bcd::forceLiteralPaths = literal;
    const std::string a(20, '9'), b(13, '9');
    Num r;
    EXPECT_EQ(bcd_mult(N(a), N(b), r), BCD_TRUNCATED | BCD_OVERFLOW);
    unsigned __int128 exact = 1;
    for (int k = 0; k < 33; ++k) exact *= 10;
    unsigned __int128 p20 = 1, p13 = 1;
    for (int k = 0; k < 20; ++k) p20 *= 10;
    for (int k = 0; k < 13; ++k) p13 *= 10;
    exact = exact - p20 - p13 + 1;  // (10^20 - 1)(10^13 - 1)
    unsigned __int128 cut = exact / 10, got = 0;
    for (int k = 1; k <= r->length; ++k) got = got * 10 + r->digits[k];
    EXPECT_EQ(r->length, 32);
    EXPECT_EQ(r->point, 33);
    EXPECT_TRUE(got == cut - 8) << show(r);

    // The shortening drops fraction digits of the operand with more of them
    // first: 23 + 12 digits, excess 2, taken from the 22 fraction digits of
    // the first operand; 21 + 12 = 33 positions then skip the last one.
    EXPECT_EQ(bcd_mult(N("1.2345678901234567890123"), N("12345678901.2"), r), BCD_TRUNCATED);
    EXPECT_EQ(show(r), "15241578753.19616034329065703581");
  }
  // max_precision 1: 3 x 4 needs two positions; the only kept one is the
  // row carry, which the skipped position never produced.
  bcd_setGlobals(1, 0);
  Num r;
  // (the canonical zero's point 0 does not exceed 1 - 0: no overflow)
  EXPECT_EQ(bcd_mult(N("3"), N("4"), r), BCD_TRUNCATED);
  EXPECT_TRUE(isCanonicalZero(r));
}

TEST_F(BcdDiv, QuotientsOfTheDefinition) {
  for (bool literal : {false, true}) {
    ov::bcd::forceLiteralPaths = literal;
    Num q;
    EXPECT_EQ(bcd_div(N("10"), N("4"), q), 0);
    EXPECT_EQ(show(q), "2.5");
    EXPECT_EQ(bcd_div(N("1"), N("8"), q), 0);
    EXPECT_EQ(show(q), "0.125");
    EXPECT_EQ(bcd_div(N("100"), N("0.25"), q), 0);
    EXPECT_EQ(show(q), "400");
    EXPECT_EQ(bcd_div(N("-7"), N("2"), q), 0);
    EXPECT_EQ(show(q), "-3.5");
    EXPECT_EQ(bcd_div(N("1"), N("3"), q), 0);
    EXPECT_EQ(show(q), "0.3333333333333333");
    EXPECT_EQ(bcd_div(N("1"), N("30"), q), 0);
    EXPECT_EQ(show(q), "0.03333333333333333");
    EXPECT_EQ(bcd_div(N("2"), N("3"), q), 0);
    EXPECT_EQ(show(q), "0.6666666666666666");
    EXPECT_EQ(bcd_div(N("2"), N("-0.03"), q), 0);
    EXPECT_EQ(show(q), "-66.6666666666666666");
    EXPECT_EQ(bcd_div(N("-1"), N("-7"), q), 0);
    EXPECT_EQ(show(q), "0.1428571428571428");
    EXPECT_EQ(bcd_div(N("1"), N("7.0"), q), 0);  // two divisor digits: 17 places
    EXPECT_EQ(show(q), "0.14285714285714285");
    EXPECT_EQ(bcd_div(N("123456789.123456789"), N("0.000123"), q), 0);
    EXPECT_EQ(show(q), "1003713732711.03080487804878048");
    EXPECT_TRUE(settled(q));
    EXPECT_EQ(bcd_div(raw("0025", 1), N("5"), q), 0);  // dividend with leading zeros
    EXPECT_EQ(show(q), "0.005");

    // Zero quotients are the canonical zero with status 0.
    Num flagged = N("1E-10");
    flagged->status = BCD_TRUNCATED;
    EXPECT_EQ(bcd_div(flagged, N("1E10"), q), BCD_TRUNCATED);
    EXPECT_TRUE(isCanonicalZero(q));
    EXPECT_EQ(bcd_div(N("0"), N("3.7"), q), 0);
    EXPECT_TRUE(isCanonicalZero(q));

    // Integer part too long: 3, for one-digit divisors judged on the point
    // before normalizing (1E16 / 5 = 2E15 still reports it).
    EXPECT_EQ(bcd_div(N("1E16"), N("5"), q), BCD_TRUNCATED | BCD_OVERFLOW);
    EXPECT_EQ(show(q), "2000000000000000");
    EXPECT_EQ(bcd_div(N("1E16"), N("50"), q), 0);
    EXPECT_EQ(bcd_div(N("1E17"), N("1.1"), q), BCD_TRUNCATED | BCD_OVERFLOW);
    EXPECT_EQ(show(q), "90909090909090909.09090909090909");
  }
}

TEST_F(BcdDiv, DivisionByZeroWritesOnlyTheStatus) {
  for (bool literal : {false, true}) {
    ov::bcd::forceLiteralPaths = literal;
    Num q = N("-42.5");
    q->status = 0;
    Num a = N("1");
    a->status = BCD_TRUNCATED;
    const std::vector<uint8_t> before = q.bytes;
    EXPECT_EQ(bcd_div(a, N("0"), q), BCD_DIVZERO | BCD_TRUNCATED);
    EXPECT_EQ(q->status, BCD_DIVZERO | BCD_TRUNCATED);
    q->status = before[2];
    EXPECT_EQ(q.bytes, before);
    EXPECT_EQ(bcd_div(N("1"), raw("000", 1, -1), q), BCD_DIVZERO);
  }
}

TEST_F(BcdLimits, ExtremeLimitsStayInsideTheNumbers) {
  struct Limits {
    int precision, scale;
  } limits[] = {{0, 0}, {1, 0}, {2, 5}, {255, 255}, {255, 0}, {200, 100}};
  const char *values[] = {"0", "1", "-9", "0.5", "-0.07", "123.456", "99999", "1E100", "-1E-100"};
  for (const Limits &l : limits) {
    ASSERT_EQ(bcd_setGlobals(l.precision, l.scale), 0);
    for (bool literal : {false, true}) {
      ov::bcd::forceLiteralPaths = literal;
      for (const char *av : values) {
        for (const char *bv : values) {
          Num a = N(av), b = N(bv);
          Num r;
          bcd_add(a, b, r);
          EXPECT_TRUE(settled(r));
          bcd_sub(a, b, r);
          EXPECT_TRUE(settled(r));
          bcd_mult(a, b, r);
          EXPECT_TRUE(settled(r));
          bcd_div(a, b, r);
          EXPECT_TRUE(settled(r));
          EXPECT_EQ(bcd_compare(a, a), 0);
          std::vector<uint8_t> packed(3 + 128 + 1);
          const int packBits = bcd_pack(a, packed.data(), static_cast<uint8_t>(l.precision),
                                        static_cast<uint8_t>(l.scale));
          EXPECT_TRUE(packBits >= 0 && packBits <= 3);
          Num c = a;
          bcd_ceiling(c);
          EXPECT_TRUE(settled(c));
          EXPECT_LE(c->length, l.precision);
          bcd_floor(b);
          EXPECT_TRUE(settled(b));
        }
      }
    }
  }
  // With 255 digits: 1/3 carries 254 threes (positions 1..255, the first
  // 0); the point before normalizing (1) exceeds 255 - 255, hence 3.
  bcd_setGlobals(255, 255);
  Num q;
  EXPECT_EQ(bcd_div(N("1"), N("3"), q), BCD_TRUNCATED | BCD_OVERFLOW);
  EXPECT_EQ(q->length, 254);  // m = 255 positions; position 1 is 0 (0.333...)
  EXPECT_EQ(q->point, 0);
  EXPECT_EQ(show(q), "0." + std::string(254, '3'));
}

TEST_F(BcdLimits, PointsBeyondTheSignedByte) {
  bcd_setGlobals(255, 0);
  Num r;
  // 1E100 * 1E100: point 201 is kept as 127 and reported as overflow.
  EXPECT_EQ(bcd_mult(N("1E100"), N("1E100"), r) & BCD_OVERFLOW, BCD_OVERFLOW);
  EXPECT_EQ(r->point, 127);
  EXPECT_EQ(r->status & BCD_OVERFLOW, BCD_OVERFLOW);
  // 1E-100 * 1E-100: nothing representable remains.
  EXPECT_EQ(bcd_mult(N("1E-100"), N("1E-100"), r), BCD_TRUNCATED);
  EXPECT_TRUE(isCanonicalZero(r));
  // A carry out of point 127.
  Num top = raw("9", 127);
  EXPECT_EQ(bcd_add(top, N("1E126"), r) & BCD_OVERFLOW, BCD_OVERFLOW);
  EXPECT_EQ(r->point, 127);
  // Quotients: 1E100 / 1E-100.
  EXPECT_EQ(bcd_div(N("1E100"), N("1E-100"), r) & BCD_OVERFLOW, BCD_OVERFLOW);
  EXPECT_EQ(r->point, 127);
}

TEST_F(BcdLimits, DamagedLengthBytesAreReadAsMaxPrecision) {
  Num a = N("12.5"), b = N("-3.25");
  a->length = 200;  // beyond max_precision (32)
  for (bool literal : {false, true}) {
    ov::bcd::forceLiteralPaths = literal;
    Num r;
    bcd_add(a, b, r);
    EXPECT_LE(r->length, 32);
    bcd_sub(b, a, r);
    EXPECT_LE(r->length, 32);
    bcd_mult(a, b, r);
    EXPECT_LE(r->length, 32);
    bcd_div(a, b, r);
    EXPECT_LE(r->length, 32);
    bcd_div(b, a, r);
    EXPECT_LE(r->length, 32);
    bcd_compare(a, b);
    uint8_t out[40];
    bcd_pack(a, out, 32, 16);
    Num c = a;
    bcd_ceiling(c);
    EXPECT_LE(c->length, 32);
  }
}

}  // namespace
