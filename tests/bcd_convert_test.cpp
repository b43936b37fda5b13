// Decimal numbers from and to machine integers of every width and floating
// point: digits and header bytes, overflow and truncation bits, the low bits
// kept on overflow, tiny and large limits, and seeded properties against
// the machine's own integer and floating-point formatting.
#include <gtest/gtest.h>

#include <cfloat>
#include <cinttypes>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "ovbase/bcd.h"

namespace {

// A number in a heap block of exactly max_precision + 5 bytes.
class Num {
 public:
  Num() : bytes_(bcd_maxprec() + 5u, 0) {}
  BCD *get() { return reinterpret_cast<BCD *>(bytes_.data()); }
  BCD *operator->() { return get(); }
  uint8_t &digit(int k) { return bytes_[4 + k]; }
  std::string digits() {
    std::string s;
    for (int k = 1; k <= get()->length; ++k) s += static_cast<char>('0' + digit(k));
    return s;
  }
  // True when every position past the length (and position 0) is zero.
  bool cleanBeyondLength() {
    if (digit(0) != 0) return false;
    for (int k = get()->length + 1; k <= bcd_maxprec(); ++k)
      if (digit(k) != 0) return false;
    return true;
  }

 private:
  std::vector<uint8_t> bytes_;
};

class BcdConvert : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(bcd_setGlobals(32, 16), 0); }
};

Num &read(Num &x, const char *text) {
  const int r = bcd_fromChar(text, x.get());
  EXPECT_TRUE(r == 0 || r == BCD_OVERFLOW) << text << " read as " << r;
  return x;
}

std::string text(Num &x) {
  char buf[600];
  EXPECT_EQ(bcd_toChar(x.get(), buf, sizeof buf), 0);
  return buf;
}

// ---- Integers into numbers --------------------------------------------------------

TEST_F(BcdConvert, FromIntegersStoresDigitsAndSign) {
  Num x;
  std::memset(x.get(), 0x77, 37);  // stale bytes everywhere
  x->status = 3;
  EXPECT_EQ(bcd_fromInt64(0, x.get()), 0);
  EXPECT_EQ(x->length, 0);
  EXPECT_EQ(x->point, 0);
  EXPECT_EQ(x->sign, 1);
  EXPECT_EQ(x->status, 3);  // never written
  EXPECT_TRUE(x.cleanBeyondLength());

  EXPECT_EQ(bcd_fromInt64(-120, x.get()), 0);
  EXPECT_EQ(x.digits(), "120");
  EXPECT_EQ(x->point, 3);
  EXPECT_EQ(x->sign, -1);
  EXPECT_TRUE(x.cleanBeyondLength());

  EXPECT_EQ(bcd_fromInt64(INT64_MIN, x.get()), 0);
  EXPECT_EQ(x.digits(), "9223372036854775808");
  EXPECT_EQ(x->sign, -1);
  EXPECT_EQ(bcd_fromUInt64(UINT64_MAX, x.get()), 0);
  EXPECT_EQ(x.digits(), "18446744073709551615");
  EXPECT_EQ(x->point, 20);
  EXPECT_EQ(x->sign, 1);

  // Narrow widths widen with their sign (or without, for unsigned).
  EXPECT_EQ(bcd_fromInt8(INT8_MIN, x.get()), 0);
  EXPECT_EQ(text(x), "-128");
  EXPECT_EQ(bcd_fromInt16(-32768, x.get()), 0);
  EXPECT_EQ(text(x), "-32768");
  EXPECT_EQ(bcd_fromInt32(INT32_MIN, x.get()), 0);
  EXPECT_EQ(text(x), "-2147483648");
  EXPECT_EQ(bcd_fromUInt8(255, x.get()), 0);
  EXPECT_EQ(text(x), "255");
  EXPECT_EQ(bcd_fromUInt16(65535, x.get()), 0);
  EXPECT_EQ(text(x), "65535");
  EXPECT_EQ(bcd_fromUInt32(UINT32_MAX, x.get()), 0);
  EXPECT_EQ(text(x), "4294967295");
  EXPECT_EQ(bcd_fromInt32(7, x.get()), 0);
  EXPECT_EQ(x->sign, 1);
  EXPECT_TRUE(x.cleanBeyondLength());
}

// Below 20 digit positions, integers keep their low-order digits.
TEST_F(BcdConvert, FromIntegersKeepsLowDigitsWhenTooLong) {
  ASSERT_EQ(bcd_setGlobals(5, 0), 0);
  Num x;
  EXPECT_EQ(bcd_fromInt64(-1234567, x.get()), BCD_OVERFLOW);
  EXPECT_EQ(x.digits(), "34567");
  EXPECT_EQ(x->point, 5);
  EXPECT_EQ(x->sign, -1);
  EXPECT_EQ(bcd_fromUInt32(99999, x.get()), 0);
  EXPECT_EQ(bcd_fromUInt32(100000, x.get()), BCD_OVERFLOW);
  EXPECT_EQ(x.digits(), "00000");
  ASSERT_EQ(bcd_setGlobals(0, 0), 0);
  Num none;
  EXPECT_EQ(bcd_fromInt8(1, none.get()), BCD_OVERFLOW);
  EXPECT_EQ(none->length, 0);
  EXPECT_EQ(bcd_fromInt8(0, none.get()), 0);
  ASSERT_EQ(bcd_setGlobals(1, 0), 0);
  Num one;
  EXPECT_EQ(bcd_fromInt16(-19, one.get()), BCD_OVERFLOW);
  EXPECT_EQ(one.digits(), "9");
  EXPECT_EQ(one->sign, -1);
}

// ---- Numbers into integers --------------------------------------------------------

TEST_F(BcdConvert, ToInt64TruncatesAndReports) {
  Num x;
  int64_t v = 0;
  struct Case {
    const char *in;
    int64_t out;
    int bits;
  };
  const Case cases[] = {
      {"12.75", 12, BCD_TRUNCATED},
      {"-0.5", 0, BCD_TRUNCATED},
      {"30e-1", 3, BCD_TRUNCATED},  // 3.0: a zero fraction digit still counts
      {"-12.75", -12, BCD_TRUNCATED},
      {"9223372036854775807", INT64_MAX, 0},
      {"9223372036854775808", INT64_MIN, BCD_OVERFLOW},  // low bits
      {"-9223372036854775808", INT64_MIN, 0},
      {"-9223372036854775809", INT64_MAX, BCD_OVERFLOW},
      {"20000000000000000000", static_cast<int64_t>(1553255926290448384), BCD_OVERFLOW},
      {"0", 0, 0},
      {"-0", 0, 0},
      {"0.0000001", 0, BCD_TRUNCATED},
      {"1e19", static_cast<int64_t>(UINT64_C(10000000000000000000)), BCD_OVERFLOW},
      {"123456789012345.5", 123456789012345, BCD_TRUNCATED},
  };
  for (const Case &c : cases) {
    read(x, c.in);
    EXPECT_EQ(bcd_toInt64(x.get(), &v), c.bits) << c.in;
    EXPECT_EQ(v, c.out) << c.in;
  }
  // 1E40 holds 32 of its 41 integer positions: no fraction, so no
  // BCD_TRUNCATED; the value kept is 10^40 modulo 2^64.
  read(x, "1e40");
  ASSERT_LT(x->length, x->point);
  EXPECT_EQ(bcd_toInt64(x.get(), &v), BCD_OVERFLOW);
  EXPECT_EQ(static_cast<uint64_t>(v), UINT64_C(13399722918938673152));
  // A number that is not normalized; x itself is left as it was.
  read(x, "000.05");
  EXPECT_EQ(x->length, 2);
  EXPECT_EQ(bcd_toInt64(x.get(), &v), BCD_TRUNCATED);
  EXPECT_EQ(v, 0);
  EXPECT_EQ(x->length, 2);
  EXPECT_EQ(x->point, 0);
}

TEST_F(BcdConvert, NarrowTargetsAddOverflowAndKeepLowBits) {
  Num x;
  int8_t i8 = 0;
  int16_t i16 = 0;
  int32_t i32 = 0;
  uint8_t u8 = 0;
  uint16_t u16 = 0;
  uint32_t u32 = 0;
  uint64_t u64 = 0;
  EXPECT_EQ(bcd_toInt8(read(x, "127").get(), &i8), 0);
  EXPECT_EQ(i8, 127);
  EXPECT_EQ(bcd_toInt8(read(x, "128").get(), &i8), BCD_OVERFLOW);
  EXPECT_EQ(i8, -128);
  EXPECT_EQ(bcd_toInt8(read(x, "1000.5").get(), &i8), BCD_OVERFLOW | BCD_TRUNCATED);
  EXPECT_EQ(i8, static_cast<int8_t>(1000));
  EXPECT_EQ(bcd_toInt8(read(x, "-129").get(), &i8), BCD_OVERFLOW);
  EXPECT_EQ(i8, 127);
  EXPECT_EQ(bcd_toInt16(read(x, "-32768").get(), &i16), 0);
  EXPECT_EQ(i16, -32768);
  EXPECT_EQ(bcd_toInt16(read(x, "32768").get(), &i16), BCD_OVERFLOW);
  EXPECT_EQ(i16, -32768);
  EXPECT_EQ(bcd_toInt32(read(x, "-2147483648.9").get(), &i32), BCD_TRUNCATED);
  EXPECT_EQ(i32, INT32_MIN);
  EXPECT_EQ(bcd_toInt32(read(x, "4294967297").get(), &i32), BCD_OVERFLOW);
  EXPECT_EQ(i32, 1);

  EXPECT_EQ(bcd_toUInt32(read(x, "-1").get(), &u32), BCD_OVERFLOW);
  EXPECT_EQ(u32, 0u);
  EXPECT_EQ(bcd_toUInt32(read(x, "4294967296").get(), &u32), BCD_OVERFLOW);
  EXPECT_EQ(u32, 0u);
  EXPECT_EQ(bcd_toUInt32(read(x, "4294967295").get(), &u32), 0);
  EXPECT_EQ(u32, UINT32_MAX);
  EXPECT_EQ(bcd_toUInt8(read(x, "256.5").get(), &u8), BCD_OVERFLOW | BCD_TRUNCATED);
  EXPECT_EQ(u8, 0);
  EXPECT_EQ(bcd_toUInt8(read(x, "-1.5").get(), &u8), BCD_OVERFLOW | BCD_TRUNCATED);
  EXPECT_EQ(u8, 0);
  EXPECT_EQ(bcd_toUInt8(read(x, "-0.5").get(), &u8), BCD_OVERFLOW | BCD_TRUNCATED);
  EXPECT_EQ(bcd_toUInt16(read(x, "65535").get(), &u16), 0);
  EXPECT_EQ(u16, 65535);
  EXPECT_EQ(bcd_toUInt64(read(x, "18446744073709551615").get(), &u64), 0);
  EXPECT_EQ(u64, UINT64_MAX);
  EXPECT_EQ(bcd_toUInt64(read(x, "18446744073709551616").get(), &u64), BCD_OVERFLOW);
  EXPECT_EQ(u64, 0u);
  EXPECT_EQ(bcd_toUInt64(read(x, "0.9").get(), &u64), BCD_TRUNCATED);
  EXPECT_EQ(u64, 0u);
}

// With a point far beyond max_precision, positions past the buffer are
// never read; with 255 positions, 127 integer digits wrap modulo 2^64.
TEST_F(BcdConvert, IntegerPartsAtTheLimits) {
  ASSERT_EQ(bcd_setGlobals(3, 0), 0);
  Num small;
  int64_t v = 0;
  ASSERT_EQ(bcd_fromChar("123456", small.get()), BCD_OVERFLOW);
  EXPECT_EQ(small->point, 6);
  EXPECT_EQ(bcd_toInt64(small.get(), &v), 0);
  EXPECT_EQ(v, 123000);

  ASSERT_EQ(bcd_setGlobals(255, 255), 0);
  Num big;
  const std::string nines(127, '9');
  ASSERT_EQ(bcd_fromChar(("-" + nines + "." + std::string(128, '5')).c_str(), big.get()), 0);
  EXPECT_EQ(bcd_toInt64(big.get(), &v), BCD_OVERFLOW | BCD_TRUNCATED);
  // -(10^127 - 1) modulo 2^64, computed by repeated wrapping arithmetic.
  uint64_t low = 0;
  for (int i = 0; i < 127; ++i) low = low * 10 + 9;
  EXPECT_EQ(v, static_cast<int64_t>(0 - low));
}

// ---- Properties against the machine's formatting -----------------------------------

TEST_F(BcdConvert, IntegersRoundTrip) {
  std::mt19937_64 rng(6122026);
  Num x;
  char expect[32];
  for (int i = 0; i < 20000; ++i) {
    // Random magnitudes of every length, both signs.
    const int shiftBits = static_cast<int>(rng() % 64);
    const uint64_t u = rng() >> shiftBits;
    const int64_t s = static_cast<int64_t>(rng()) >> shiftBits;

    ASSERT_EQ(bcd_fromInt64(s, x.get()), 0);
    std::snprintf(expect, sizeof expect, "%" PRId64, s);
    ASSERT_EQ(text(x), expect);
    int64_t s2 = 0;
    ASSERT_EQ(bcd_toInt64(x.get(), &s2), 0);
    ASSERT_EQ(s2, s);
    int32_t s32 = 0;
    ASSERT_EQ(bcd_toInt32(x.get(), &s32), (s >= INT32_MIN && s <= INT32_MAX) ? 0 : BCD_OVERFLOW);
    ASSERT_EQ(s32, static_cast<int32_t>(s));
    uint64_t su = 0;
    ASSERT_EQ(bcd_toUInt64(x.get(), &su), s < 0 ? BCD_OVERFLOW : 0);
    ASSERT_EQ(su, s < 0 ? 0u : static_cast<uint64_t>(s));

    ASSERT_EQ(bcd_fromUInt64(u, x.get()), 0);
    std::snprintf(expect, sizeof expect, "%" PRIu64, u);
    ASSERT_EQ(text(x), expect);
    uint64_t u2 = 0;
    ASSERT_EQ(bcd_toUInt64(x.get(), &u2), 0);
    ASSERT_EQ(u2, u);
    uint16_t u16 = 0;
    ASSERT_EQ(bcd_toUInt16(x.get(), &u16), u <= 65535 ? 0 : BCD_OVERFLOW);
    ASSERT_EQ(u16, static_cast<uint16_t>(u));
    int64_t asSigned = 0;
    ASSERT_EQ(bcd_toInt64(x.get(), &asSigned), u > INT64_MAX ? BCD_OVERFLOW : 0);
    ASSERT_EQ(asSigned, static_cast<int64_t>(u));
  }
}

// ---- Floating point ----------------------------------------------------------------

TEST_F(BcdConvert, FromDoubleFormatsFourteenSignificantDigits) {
  Num x;
  EXPECT_EQ(bcd_fromDouble(0.1, x.get()), 0);
  EXPECT_EQ(text(x), "0.1");
  EXPECT_EQ(bcd_fromDouble(123.456, x.get()), 0);
  EXPECT_EQ(text(x), "123.456");
  EXPECT_EQ(bcd_fromDouble(-2.5, x.get()), 0);
  EXPECT_EQ(text(x), "-2.5");
  EXPECT_EQ(bcd_fromDouble(0.0, x.get()), 0);
  EXPECT_EQ(x->length, 0);
  EXPECT_EQ(bcd_fromDouble(1e15, x.get()), 0);  // f < 0 formats no fraction
  EXPECT_EQ(text(x), "1000000000000000");
  EXPECT_EQ(bcd_fromDouble(1.0 / 3, x.get()), 0);
  EXPECT_EQ(text(x), "0.33333333333333");  // 14 fraction digits
  // 32 fraction digits are formatted (1 at the 20th), then cut to 16 zeros.
  EXPECT_EQ(bcd_fromDouble(1e-20, x.get()), BCD_TRUNCATED);
  EXPECT_EQ(x->length, 16);
  EXPECT_EQ(x.digits(), std::string(16, '0'));
  EXPECT_EQ(text(x), "0");
  EXPECT_EQ(bcd_fromFloat(0.1f, x.get()), 0);
  EXPECT_EQ(text(x), "0.1");
  EXPECT_EQ(bcd_fromFloat(-1234.5678f, x.get()), 0);
  EXPECT_EQ(text(x), "-1234.568");  // the float widened, 6 significant digits

  // Too many integer digits: BCD_OVERFLOW and x untouched.
  ASSERT_EQ(bcd_fromChar("42", x.get()), 0);
  x->status = 1;
  std::vector<uint8_t> before(reinterpret_cast<uint8_t *>(x.get()), reinterpret_cast<uint8_t *>(x.get()) + 37);
  EXPECT_EQ(bcd_fromDouble(1e40, x.get()), BCD_OVERFLOW);
  EXPECT_EQ(bcd_fromDouble(-1e32, x.get()), BCD_OVERFLOW);
  EXPECT_EQ(bcd_fromFloat(3e38f, x.get()), BCD_OVERFLOW);
  EXPECT_EQ(std::memcmp(before.data(), x.get(), 37), 0);
  // 32 integer digits fit the precision and are kept as formatted.
  EXPECT_EQ(bcd_fromDouble(2e31, x.get()), 0);
  EXPECT_EQ(text(x), "19999999999999999271792589930496");

  // Not finite: the reader rejects "inf" and "nan"; x reads as zero.
  for (double v : {HUGE_VAL, -HUGE_VAL, std::nan("")}) {
    EXPECT_EQ(bcd_fromDouble(v, x.get()), BCD_SYNTAX);
    EXPECT_EQ(bcd_isZero(x.get()), 1);
  }
  EXPECT_EQ(bcd_fromFloat(std::numeric_limits<float>::infinity(), x.get()), BCD_SYNTAX);
  EXPECT_EQ(bcd_isZero(x.get()), 1);
}

// With 255 positions the text is long and the point byte is the limit.
TEST_F(BcdConvert, FloatingPointAtLargeLimits) {
  ASSERT_EQ(bcd_setGlobals(255, 255), 0);
  Num x;
  double d = 0;
  // Subnormals ask for 337 fraction digits: cut to 255.
  EXPECT_EQ(bcd_fromDouble(5e-324, x.get()), BCD_TRUNCATED);
  EXPECT_EQ(x->length, 0);
  // 113 fraction digits, stored as read: 99 zeros, then 15.
  EXPECT_EQ(bcd_fromDouble(-1.5e-100, x.get()), 0);
  EXPECT_EQ(x->point, 0);
  EXPECT_EQ(x->length, 101);
  EXPECT_EQ(text(x), "-0." + std::string(99, '0') + "15");
  EXPECT_EQ(bcd_toDouble(x.get(), &d), BCD_TRUNCATED);
  EXPECT_EQ(d, -1.5e-100);
  EXPECT_EQ(bcd_fromDouble(1e120, x.get()), 0);
  char exact[200];
  std::snprintf(exact, sizeof exact, "%.0f", 1e120);  // the double's 120 digits
  EXPECT_EQ(text(x), exact);
  EXPECT_EQ(bcd_toDouble(x.get(), &d), BCD_TRUNCATED);
  EXPECT_EQ(d, 1e120);
  // A point byte cannot place 128 integer digits.
  ASSERT_EQ(bcd_fromChar("7", x.get()), 0);
  EXPECT_EQ(bcd_fromDouble(1e127, x.get()), BCD_OVERFLOW);
  EXPECT_EQ(x->length, 1);
  EXPECT_EQ(bcd_fromDouble(1e200, x.get()), BCD_OVERFLOW);
  EXPECT_EQ(bcd_fromDouble(-DBL_MAX, x.get()), BCD_OVERFLOW);
  EXPECT_EQ(x->length, 1);
  // The longest texts convert back without a cut: 127 integer digits and
  // 128 fraction digits, and a number with 127 zeros after the point.
  const std::string longest = std::string(127, '9') + "." + std::string(128, '9');
  ASSERT_EQ(bcd_fromChar(longest.c_str(), x.get()), 0);
  EXPECT_EQ(bcd_toDouble(x.get(), &d), BCD_TRUNCATED);
  EXPECT_EQ(d, std::atof(longest.c_str()));
  const std::string smallest = "-0." + std::string(127, '0') + std::string(128, '3');
  ASSERT_EQ(bcd_fromChar(smallest.c_str(), x.get()), 0);
  float f = 0;
  EXPECT_EQ(bcd_toFloat(x.get(), &f), BCD_TRUNCATED);
  EXPECT_EQ(f, static_cast<float>(std::atof(smallest.c_str())));
}

// Limits of 0/0 and 1/0: nothing is read or written outside the number.
TEST_F(BcdConvert, FloatingPointAndIntegersAtTinyLimits) {
  ASSERT_EQ(bcd_setGlobals(0, 0), 0);
  Num x;
  double d = 1;
  int64_t v = 1;
  EXPECT_EQ(bcd_fromDouble(0.5, x.get()), BCD_OVERFLOW);  // one integer digit is too many
  EXPECT_EQ(bcd_fromDouble(0.05, x.get()), BCD_TRUNCATED);  // formatted as "0"
  EXPECT_EQ(x->length, 0);
  EXPECT_EQ(bcd_toDouble(x.get(), &d), 0);
  EXPECT_EQ(d, 0.0);
  EXPECT_EQ(bcd_toInt64(x.get(), &v), 0);
  EXPECT_EQ(v, 0);
  ASSERT_EQ(bcd_setGlobals(1, 0), 0);
  Num one;
  EXPECT_EQ(bcd_fromDouble(-7.9, one.get()), BCD_TRUNCATED);  // "%.1f" -> -7.9, scale 0
  EXPECT_EQ(one.digits(), "7");
  EXPECT_EQ(bcd_toInt64(one.get(), &v), 0);
  EXPECT_EQ(v, -7);
  EXPECT_EQ(bcd_fromDouble(12.0, one.get()), BCD_OVERFLOW);
}

TEST_F(BcdConvert, ToDoubleReportsLongNumbers) {
  Num x;
  double d = 0;
  float f = 0;
  read(x, "1234567890.12345");  // 15 positions: exact enough
  EXPECT_EQ(bcd_toDouble(x.get(), &d), 0);
  EXPECT_EQ(d, 1234567890.12345);
  read(x, "1234567890.123456");  // 16 positions
  EXPECT_EQ(bcd_toDouble(x.get(), &d), BCD_TRUNCATED);
  EXPECT_EQ(d, 1234567890.123456);
  read(x, "-0.000001");
  EXPECT_EQ(bcd_toDouble(x.get(), &d), 0);
  EXPECT_EQ(d, -0.000001);
  read(x, "123456");
  EXPECT_EQ(bcd_toFloat(x.get(), &f), 0);
  EXPECT_EQ(f, 123456.0f);
  read(x, "1234567");
  EXPECT_EQ(bcd_toFloat(x.get(), &f), BCD_TRUNCATED);
  EXPECT_EQ(f, 1234567.0f);
  // The check looks at the raw length, which counts the zeros a number
  // read from text holds after its point: 1E-16 read as
  // "0.0000000000000001" has 16 positions.
  read(x, "0.0000000000000001");
  EXPECT_EQ(x->length, 16);
  EXPECT_EQ(bcd_toDouble(x.get(), &d), BCD_TRUNCATED);
  EXPECT_EQ(d, 1e-16);
  read(x, "0");
  EXPECT_EQ(bcd_toDouble(x.get(), &d), 0);
  EXPECT_EQ(d, 0.0);
}

// Doubles through "%.*f" with 14 significant digits: the number equals the
// reader's view of that very text, and converts back to the double that
// text denotes.
TEST_F(BcdConvert, DoublesAgreeWithTheirText) {
  std::mt19937_64 rng(4242);
  Num x, expect;
  char buf[400];
  for (int i = 0; i < 5000; ++i) {
    const double mantissa = static_cast<double>(rng() >> 11) / static_cast<double>(1ull << 53);
    const int exp10 = static_cast<int>(rng() % 30) - 15;
    const double v = (rng() % 2 ? -1 : 1) * mantissa * std::pow(10.0, exp10);
    const int r = bcd_fromDouble(v, x.get());
    ASSERT_TRUE(r == 0 || r == BCD_TRUNCATED) << v;
    int e = v == 0 ? 0 : static_cast<int>(std::log10(std::fabs(v)));
    std::snprintf(buf, sizeof buf, "%.*f", std::max(0, std::min(32, 14 - e)), v);
    const int re = bcd_fromChar(buf, expect.get());
    ASSERT_EQ(r, re != 0 ? re : (14 - e > 32 ? BCD_TRUNCATED : 0)) << buf;
    ASSERT_EQ(std::memcmp(x.get(), expect.get(), 37), 0) << buf;
    double back = 0;
    bcd_toDouble(x.get(), &back);
    char written[64];
    ASSERT_EQ(bcd_toChar(x.get(), written, sizeof written), 0);
    ASSERT_EQ(back, std::atof(written)) << written;
  }
}

}  // namespace
