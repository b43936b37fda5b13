// Decimal text conversion: the reader's grammar and counters, what it keeps
// and reports, the writer's form and cut rules, narrow and wide through one
// typed body, limits from 0/0 to 255/255, and a seeded round trip against
// exact 128-bit integers and an independent formatter.
#include <gtest/gtest.h>

#include <cctype>
#include <clocale>
#include <cstdint>
#include <cstring>
#include <cwctype>
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "ovbase/bcd.h"

namespace {

// ---- Helpers -------------------------------------------------------------------

// A number in a heap block of exactly max_precision + 5 bytes, so that the
// address sanitizer sees any access outside it.
class Num {
 public:
  Num() : bytes_(bcd_maxprec() + 5u, 0) {}
  BCD *get() { return reinterpret_cast<BCD *>(bytes_.data()); }
  BCD *operator->() { return get(); }
  uint8_t digit(int k) const { return bytes_[4 + k]; }
  uint8_t &digit(int k) { return bytes_[4 + k]; }

 private:
  std::vector<uint8_t> bytes_;
};

void setLimits(int precision, int scale) {
  ASSERT_EQ(bcd_setGlobals(static_cast<uint16_t>(precision), static_cast<uint16_t>(scale)), 0);
}

// Every byte of x: header fields, digit positions 1.. as given, all other
// positions (0 and past the digits) zero.
::testing::AssertionResult hasRecord(Num &x, int length, int point, int sign, const std::string &digits,
                                     int status = -1) {
  std::string why;
  if (x->length != length) why += " length " + std::to_string(x->length);
  if (x->point != point) why += " point " + std::to_string(x->point);
  if (x->sign != sign) why += " sign " + std::to_string(x->sign);
  if (status >= 0 && x->status != status) why += " status " + std::to_string(x->status);
  for (int k = 0; k <= bcd_maxprec(); ++k) {
    const int want = (k >= 1 && k <= static_cast<int>(digits.size())) ? digits[k - 1] - '0' : 0;
    if (x.digit(k) != want) why += " digit[" + std::to_string(k) + "]=" + std::to_string(x.digit(k));
  }
  if (why.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "record differs:" << why;
}

template <typename Ch>
std::basic_string<Ch> widen(const std::string &s) {
  return std::basic_string<Ch>(s.begin(), s.end());
}

int fromText(const char *t, BCD *x) { return bcd_fromChar(t, x); }
int fromText(const wchar_t *t, BCD *x) { return bcd_fromWChar(t, x); }
int toText(const BCD *x, char *b, uint32_t n) { return bcd_toChar(x, b, n); }
int toText(const BCD *x, wchar_t *b, uint32_t n) { return bcd_toWChar(x, b, n); }

template <typename Ch>
int readInto(const std::string &text, Num &x) {
  const std::basic_string<Ch> t = widen<Ch>(text);
  return fromText(t.c_str(), x.get());
}

// Writes x into a buffer of the given size that sits inside a larger one
// filled with a sentinel; fails if anything past size was touched.
template <typename Ch>
std::string writeOut(Num &x, uint32_t size, int *result) {
  constexpr Ch kSentinel = static_cast<Ch>(0x5A);
  std::vector<Ch> buf(size + 16, kSentinel);
  *result = toText(x.get(), buf.data(), size);
  for (size_t i = size; i < buf.size(); ++i) EXPECT_EQ(buf[i], kSentinel) << "byte written past size " << size;
  if (size == 0) return "<nothing>";
  std::string out;
  size_t i = 0;
  for (; i < size && buf[i] != 0; ++i) out += static_cast<char>(buf[i]);
  EXPECT_LT(i, size) << "text not terminated within size";
  return out;
}

template <typename Ch>
std::string writeOut(Num &x, uint32_t size = 600) {
  int result = 0;
  std::string s = writeOut<Ch>(x, size, &result);
  EXPECT_EQ(result, 0) << s;
  return s;
}

// ---- Narrow and wide: one typed body -------------------------------------------

// Every test starts from the initial limits, also when the tests share a
// process.
template <typename Ch>
class BcdText : public ::testing::Test {
 protected:
  void SetUp() override { setLimits(32, 16); }
};
using CharTypes = ::testing::Types<char, wchar_t>;
TYPED_TEST_SUITE(BcdText, CharTypes);

TYPED_TEST(BcdText, ReadsTheGrammar) {
  using Ch = TypeParam;
  Num x;
  EXPECT_EQ(readInto<Ch>("123.45", x), 0);
  EXPECT_TRUE(hasRecord(x, 5, 3, 1, "12345"));
  EXPECT_EQ(readInto<Ch>("  - 12.5", x), 0);
  EXPECT_TRUE(hasRecord(x, 3, 2, -1, "125"));
  EXPECT_EQ(readInto<Ch>("+.5", x), 0);
  EXPECT_TRUE(hasRecord(x, 1, 0, 1, "5"));
  EXPECT_EQ(readInto<Ch>("5.", x), 0);
  EXPECT_TRUE(hasRecord(x, 1, 1, 1, "5"));
  EXPECT_EQ(readInto<Ch>(".", x), 0);
  EXPECT_TRUE(hasRecord(x, 0, 0, 1, ""));
  // Zeros after the point are stored, leading integer zeros are not,
  // integer zeros count, trailing fraction zeros do not.
  EXPECT_EQ(readInto<Ch>("0.05", x), 0);
  EXPECT_TRUE(hasRecord(x, 2, 0, 1, "05"));
  EXPECT_EQ(readInto<Ch>("0012.50", x), 0);
  EXPECT_TRUE(hasRecord(x, 3, 2, 1, "125"));  // the trailing 0 is cleared
  EXPECT_EQ(readInto<Ch>("100", x), 0);
  EXPECT_TRUE(hasRecord(x, 3, 3, 1, "100"));
  EXPECT_EQ(readInto<Ch>("-000", x), 0);
  EXPECT_TRUE(hasRecord(x, 0, 0, -1, ""));  // a zero with sign -1, as read
  // Exponents: blanks before the mark, both marks, exponent signs.
  EXPECT_EQ(readInto<Ch>("1 e5", x), 0);
  EXPECT_TRUE(hasRecord(x, 6, 6, 1, "100000"));
  EXPECT_EQ(readInto<Ch>("1e3", x), 0);
  EXPECT_TRUE(hasRecord(x, 4, 4, 1, "1000"));
  EXPECT_EQ(readInto<Ch>("1.5E+2", x), 0);
  EXPECT_TRUE(hasRecord(x, 3, 3, 1, "150"));
  EXPECT_EQ(readInto<Ch>("5e-3", x), 0);
  EXPECT_TRUE(hasRecord(x, 3, -2, 1, "500"));
  EXPECT_EQ(readInto<Ch>("1234e-2", x), 0);
  EXPECT_TRUE(hasRecord(x, 4, 2, 1, "1234"));
  EXPECT_EQ(readInto<Ch>("0.005e-1", x), 0);  // gains one trailing zero
  EXPECT_TRUE(hasRecord(x, 4, -1, 1, "0050"));
  EXPECT_EQ(readInto<Ch>("12e0", x), 0);  // a zero exponent leaves the length
  EXPECT_TRUE(hasRecord(x, 2, 2, 1, "12"));
  EXPECT_EQ(readInto<Ch>("  +  7.25  E-0001", x), 0);
  EXPECT_TRUE(hasRecord(x, 3, 0, 1, "725"));
}

TYPED_TEST(BcdText, RejectsTextButKeepsWhatWasRead) {
  using Ch = TypeParam;
  Num x;
  struct Case {
    const char *text;
    int length, point, sign;
    const char *digits;
  };
  const Case cases[] = {
      {"", 0, 0, 1, ""},          {"-", 0, 0, -1, ""},         {"   ", 0, 0, 1, ""},
      {"12 ", 2, 2, 1, "12"},     {"12abc", 2, 2, 1, "12"},    {"1e", 1, 1, 1, "1"},
      {"1e+", 1, 1, 1, "1"},      {"1.2.3", 2, 1, 1, "12"},    {"..", 0, 0, 1, ""},
      {"e5", 0, 0, 1, ""},        {"+-1", 0, 0, 1, ""},        {"- -1", 0, 0, -1, ""},
      {"1e5 ", 6, 6, 1, "100000"}, {"1e5x", 6, 6, 1, "100000"}, {"12#", 2, 2, 1, "12"},
      {"3*", 1, 1, 1, "3"},       {"1,5", 1, 1, 1, "1"},       {"0x10", 0, 0, 1, ""},
      {"-4.5e-1x", 2, 0, -1, "45"},
  };
  for (const Case &c : cases) {
    x->status = 3;
    EXPECT_EQ(readInto<Ch>(c.text, x), BCD_SYNTAX) << c.text;
    EXPECT_TRUE(hasRecord(x, c.length, c.point, c.sign, c.digits, 3)) << c.text;
  }
  // Stale digits of an earlier number are cleared on every read.
  EXPECT_EQ(readInto<Ch>("987654321", x), 0);
  EXPECT_EQ(readInto<Ch>("x", x), BCD_SYNTAX);
  EXPECT_TRUE(hasRecord(x, 0, 0, 1, ""));
}

TYPED_TEST(BcdText, ReportsLostDigits) {
  using Ch = TypeParam;
  Num x;
  const std::string forty = "1234567890123456789012345678901234567890";
  EXPECT_EQ(readInto<Ch>(forty, x), BCD_OVERFLOW);
  EXPECT_TRUE(hasRecord(x, 32, 40, 1, forty.substr(0, 32)));
  EXPECT_EQ(readInto<Ch>(forty + ".5", x), BCD_OVERFLOW | BCD_TRUNCATED);
  EXPECT_TRUE(hasRecord(x, 32, 40, 1, forty.substr(0, 32)));
  // A rejected text still reports the lost bits instead of BCD_SYNTAX.
  EXPECT_EQ(readInto<Ch>(forty + "x", x), BCD_OVERFLOW);
  EXPECT_TRUE(hasRecord(x, 32, 40, 1, forty.substr(0, 32)));
  // Dropped zeros are lost digits too.
  EXPECT_EQ(readInto<Ch>("1" + std::string(32, '0'), x), BCD_OVERFLOW);
  EXPECT_TRUE(hasRecord(x, 32, 33, 1, "1" + std::string(31, '0')));
  EXPECT_EQ(readInto<Ch>("0." + std::string(40, '0'), x), BCD_TRUNCATED);
  EXPECT_TRUE(hasRecord(x, 0, 0, 1, ""));
  // More than max_scale fraction digits are cut to max_scale.
  EXPECT_EQ(readInto<Ch>("0.12345678901234567", x), BCD_TRUNCATED);
  EXPECT_TRUE(hasRecord(x, 16, 0, 1, "1234567890123456"));
  EXPECT_EQ(readInto<Ch>("-123456789012.34567890123456789012", x), BCD_TRUNCATED);
  EXPECT_TRUE(hasRecord(x, 28, 12, -1, "1234567890123456789012345678"));
  // Exactly max_precision digits and max_scale fraction digits lose nothing.
  EXPECT_EQ(readInto<Ch>("1234567890123456.7890123456789012", x), 0);
  EXPECT_TRUE(hasRecord(x, 32, 16, 1, "12345678901234567890123456789012"));
  // An exponent that makes the length exceed max_precision.
  EXPECT_EQ(readInto<Ch>("1e40", x), BCD_OVERFLOW);
  EXPECT_TRUE(hasRecord(x, 32, 41, 1, "1" + std::string(31, '0')));
}

// Where the scale cut leaves a negative length the result is the canonical
// zero, status byte included; otherwise the status byte is left alone.
TYPED_TEST(BcdText, CanonicalZeroAndStatusByte) {
  using Ch = TypeParam;
  Num x;
  x->status = 3;
  EXPECT_EQ(readInto<Ch>("-5e-40", x), BCD_OVERFLOW | BCD_TRUNCATED);
  EXPECT_TRUE(hasRecord(x, 0, 0, 1, "", 0));
  x->status = 2;
  EXPECT_EQ(readInto<Ch>("-5e-17", x), BCD_TRUNCATED);  // cut to exactly nothing
  EXPECT_TRUE(hasRecord(x, 0, -16, -1, "", 2));
  // The trailing zeros a negative exponent adds count against max_scale.
  x->status = 1;
  EXPECT_EQ(readInto<Ch>("-5e-16", x), BCD_TRUNCATED);
  EXPECT_TRUE(hasRecord(x, 1, -15, -1, "5", 1));
  x->status = 1;
  EXPECT_EQ(readInto<Ch>("1.", x), 0);
  EXPECT_EQ(x->status, 1);
}

// Exponents that move the point outside -128 .. 127: above, the point stays
// at 127 with BCD_OVERFLOW (the digits are kept); below, the number is the
// canonical zero with BCD_TRUNCATED.
TYPED_TEST(BcdText, PointOutsideItsByte) {
  using Ch = TypeParam;
  Num x;
  const std::string one32 = "1" + std::string(31, '0');
  x->status = 1;
  EXPECT_EQ(readInto<Ch>("1e126", x), BCD_OVERFLOW);
  EXPECT_TRUE(hasRecord(x, 32, 127, 1, one32, 1));
  EXPECT_EQ(readInto<Ch>("-1e127", x), BCD_OVERFLOW);
  EXPECT_TRUE(hasRecord(x, 32, 127, -1, one32, 1));
  for (const char *huge : {"1e2147483647", "1e2147483648", "1e99999999999999999999", "1e4294967297"}) {
    EXPECT_EQ(readInto<Ch>(huge, x), BCD_OVERFLOW) << huge;
    EXPECT_TRUE(hasRecord(x, 32, 127, 1, one32, 1)) << huge;
  }
  for (const char *tiny : {"1e-2147483648", "1e-99999999999999999999", "-1e-4294967296"}) {
    EXPECT_EQ(readInto<Ch>(tiny, x), BCD_OVERFLOW | BCD_TRUNCATED) << tiny;
    EXPECT_TRUE(hasRecord(x, 0, 0, 1, "", 0)) << tiny;
  }
  // A rejected text after a huge exponent: the lost bits win.
  EXPECT_EQ(readInto<Ch>("9e999x", x), BCD_OVERFLOW);
  EXPECT_TRUE(hasRecord(x, 32, 127, 1, "9" + std::string(31, '0')));

  setLimits(255, 255);
  Num big;
  big->status = 1;
  EXPECT_EQ(readInto<Ch>("1e126", big), 0);
  EXPECT_TRUE(hasRecord(big, 127, 127, 1, "1" + std::string(126, '0'), 1));
  EXPECT_EQ(readInto<Ch>("1e127", big), BCD_OVERFLOW);
  EXPECT_TRUE(hasRecord(big, 128, 127, 1, "1" + std::string(127, '0'), 1));
  EXPECT_EQ(readInto<Ch>(std::string(128, '7'), big), BCD_OVERFLOW);  // 128 integer digits
  EXPECT_TRUE(hasRecord(big, 128, 127, 1, std::string(128, '7'), 1));
  EXPECT_EQ(readInto<Ch>(std::string(127, '7'), big), 0);
  EXPECT_TRUE(hasRecord(big, 127, 127, 1, std::string(127, '7'), 1));
  // Point -128 is the lowest: 1e-129 keeps 127 positions, 1e-130 is lost.
  EXPECT_EQ(readInto<Ch>("1e-129", big), BCD_TRUNCATED);
  EXPECT_TRUE(hasRecord(big, 127, -128, 1, "1" + std::string(126, '0'), 1));
  EXPECT_EQ(readInto<Ch>("-1e-130", big), BCD_TRUNCATED);
  EXPECT_TRUE(hasRecord(big, 0, 0, 1, "", 0));
}

TYPED_TEST(BcdText, TinyLimitsStayInsideTheNumber) {
  using Ch = TypeParam;
  setLimits(1, 0);
  {
    Num x;
    EXPECT_EQ(readInto<Ch>("123.45", x), BCD_OVERFLOW | BCD_TRUNCATED);
    EXPECT_TRUE(hasRecord(x, 1, 3, 1, "1"));
    EXPECT_EQ(readInto<Ch>("7", x), 0);
    EXPECT_TRUE(hasRecord(x, 1, 1, 1, "7"));
    EXPECT_EQ(readInto<Ch>("0.7", x), BCD_TRUNCATED);
    EXPECT_TRUE(hasRecord(x, 0, 0, 1, ""));
    EXPECT_EQ(writeOut<Ch>(x, 8), "0");
    EXPECT_EQ(readInto<Ch>("-7", x), 0);
    EXPECT_EQ(writeOut<Ch>(x, 8), "-7");
  }
  setLimits(0, 0);
  {
    Num x;
    EXPECT_EQ(readInto<Ch>("5", x), BCD_OVERFLOW);
    EXPECT_TRUE(hasRecord(x, 0, 1, 1, ""));
    EXPECT_EQ(readInto<Ch>("-0.5e3", x), BCD_OVERFLOW | BCD_TRUNCATED);
    EXPECT_TRUE(hasRecord(x, 0, 3, -1, ""));
    EXPECT_EQ(writeOut<Ch>(x, 8), "0");
  }
}

TYPED_TEST(BcdText, WritesPositionalText) {
  using Ch = TypeParam;
  Num x;
  struct Case {
    const char *in, *out;
  };
  const Case cases[] = {
      {"123.45", "123.45"}, {"-0.5", "-0.5"}, {"0.005", "0.005"}, {"100", "100"},
      {"0", "0"},           {"-0", "0"},      {"30e-1", "3.0"},   {"5e-3", "0.00500"},
      {"-.05", "-0.05"},    {"7.", "7"},      {"-1e2", "-100"},   {"0.1000", "0.1"},
      {"1e40", "10000000000000000000000000000000"},  // 32 digit positions of 41
  };
  for (const Case &c : cases) {
    ASSERT_LE(readInto<Ch>(c.in, x), BCD_OVERFLOW) << c.in;
    EXPECT_EQ(writeOut<Ch>(x), c.out) << c.in;
  }
  // Numbers that are not normalized: leading zeros, a carry in position 0,
  // a zero with sign -1 and a status byte; the number is left unchanged.
  Num raw;
  raw->length = 4;
  raw->point = 2;
  raw->sign = -1;
  raw->status = 3;
  raw.digit(1) = 0;
  raw.digit(2) = 0;
  raw.digit(3) = 4;
  raw.digit(4) = 2;
  EXPECT_EQ(writeOut<Ch>(raw), "-0.42");
  EXPECT_TRUE(hasRecord(raw, 4, 2, -1, "0042", 3));
  raw.digit(0) = 1;  // a carry: 100.42
  EXPECT_EQ(writeOut<Ch>(raw), "-100.42");
  Num zero;
  zero->sign = 0;  // a fresh, all-zero number
  EXPECT_EQ(writeOut<Ch>(zero), "0");
}

// The size check counts digits + point + terminator, plus the sign: for
// narrow text only when negative, for wide text always.  Cut digits are
// the least significant ones, integer digits included.
TYPED_TEST(BcdText, CutsToTheBuffer) {
  using Ch = TypeParam;
  constexpr bool wide = sizeof(Ch) > 1;
  Num x;
  int r = 0;
  readInto<Ch>("-12.5", x);
  EXPECT_EQ(writeOut<Ch>(x, 6, &r), "-12.5");
  EXPECT_EQ(r, 0);
  EXPECT_EQ(writeOut<Ch>(x, 5, &r), "-12");  // dangling point dropped
  EXPECT_EQ(r, BCD_TEXTCUT);
  EXPECT_EQ(writeOut<Ch>(x, 4, &r), "-1");
  EXPECT_EQ(r, BCD_TEXTCUT);
  EXPECT_EQ(writeOut<Ch>(x, 3, &r), "-0");  // no digit left
  EXPECT_EQ(r, BCD_TEXTCUT);
  for (uint32_t size : {2u, 1u}) {
    EXPECT_EQ(writeOut<Ch>(x, size, &r), "") << size;
    EXPECT_EQ(r, BCD_TEXTCUT);
  }
  EXPECT_EQ(writeOut<Ch>(x, 0, &r), "<nothing>");
  EXPECT_EQ(r, BCD_TEXTCUT);

  readInto<Ch>("12.5", x);
  EXPECT_EQ(writeOut<Ch>(x, 5, &r), wide ? "12" : "12.5");
  EXPECT_EQ(r, wide ? BCD_TEXTCUT : 0);
  EXPECT_EQ(writeOut<Ch>(x, 2, &r), wide ? "" : "0");
  EXPECT_EQ(r, BCD_TEXTCUT);

  readInto<Ch>("7", x);
  EXPECT_EQ(writeOut<Ch>(x, 3, &r), wide ? "0" : "7");
  EXPECT_EQ(r, wide ? BCD_TEXTCUT : 0);
  EXPECT_EQ(writeOut<Ch>(x, 4, &r), "7");
  EXPECT_EQ(r, 0);

  readInto<Ch>("100", x);
  EXPECT_EQ(writeOut<Ch>(x, 4, &r), wide ? "1" : "10");
  EXPECT_EQ(r, BCD_TEXTCUT);

  readInto<Ch>("0", x);
  EXPECT_EQ(writeOut<Ch>(x, 2, &r), wide ? "" : "0");
  EXPECT_EQ(r, wide ? BCD_TEXTCUT : 0);
  EXPECT_EQ(writeOut<Ch>(x, 1, &r), "");
  EXPECT_EQ(r, BCD_TEXTCUT);
}

// Numbers below 1: the size check also counts the "0" and the zeros before
// the digits, so the text fits; with no digit left the text is "0".
TYPED_TEST(BcdText, CutsNumbersBelowOne) {
  using Ch = TypeParam;
  const int signRoom = sizeof(Ch) > 1 ? 1 : 0;
  Num x;
  int r = 0;
  readInto<Ch>("0.125", x);
  EXPECT_EQ(writeOut<Ch>(x, 6 + signRoom, &r), "0.125");
  EXPECT_EQ(r, 0);
  EXPECT_EQ(writeOut<Ch>(x, 5 + signRoom, &r), "0.12");
  EXPECT_EQ(r, BCD_TEXTCUT);
  EXPECT_EQ(writeOut<Ch>(x, 4 + signRoom, &r), "0.1");
  EXPECT_EQ(r, BCD_TEXTCUT);
  EXPECT_EQ(writeOut<Ch>(x, 3 + signRoom, &r), "0");
  EXPECT_EQ(r, BCD_TEXTCUT);
  EXPECT_EQ(writeOut<Ch>(x, 1, &r), "");
  EXPECT_EQ(r, BCD_TEXTCUT);

  readInto<Ch>("-0.0052", x);
  EXPECT_EQ(writeOut<Ch>(x, 8, &r), "-0.0052");
  EXPECT_EQ(r, 0);
  EXPECT_EQ(writeOut<Ch>(x, 7, &r), "-0.005");
  EXPECT_EQ(r, BCD_TEXTCUT);
  EXPECT_EQ(writeOut<Ch>(x, 6, &r), "0");
  EXPECT_EQ(r, BCD_TEXTCUT);
  EXPECT_EQ(writeOut<Ch>(x, 2, &r), "0");
  EXPECT_EQ(writeOut<Ch>(x, 1, &r), "");
  EXPECT_EQ(writeOut<Ch>(x, 0, &r), "<nothing>");
  EXPECT_EQ(r, BCD_TEXTCUT);
}

// Every size from 0 up: never a character past size, always terminated,
// and the result is 0 exactly when the full text was written.
TYPED_TEST(BcdText, NeverWritesPastSize) {
  using Ch = TypeParam;
  for (int limits : {32, 255}) {
    setLimits(limits, limits == 32 ? 16 : 255);
    Num x;
    const std::vector<std::string> numbers = {
        "0", "-0.0000001", "1e30", "-123.456", "0.5", "-98765432109876.5432109876543210",
        limits == 255 ? std::string(127, '9') + "." + std::string(128, '1') : std::string("-9"),
        limits == 255 ? "-0." + std::string(127, '0') + std::string(128, '3') : std::string("0.3"),
    };
    for (const std::string &n : numbers) {
      ASSERT_EQ(readInto<Ch>(n, x), 0) << n;
      const std::string full = writeOut<Ch>(x);
      for (uint32_t size = 0; size <= full.size() + 3; ++size) {
        int r = 0;
        const std::string cut = writeOut<Ch>(x, size, &r);
        if (r == 0) {
          EXPECT_EQ(cut, full) << n << " size " << size;
        }
        if (size > full.size() + 1 + (sizeof(Ch) > 1)) {
          EXPECT_EQ(r, 0) << n << " size " << size;
        }
      }
    }
  }
}

// Only the ten plain digits, blanks, signs, points and marks match; wide
// characters compare as unsigned values, so 0x120 is not a blank.
TYPED_TEST(BcdText, MatchesOnlyPlainCharacters) {
  using Ch = TypeParam;
  Num x;
  std::basic_string<Ch> t = widen<Ch>("1 e5");
  EXPECT_EQ(fromText(t.c_str(), x.get()), 0);
  if constexpr (sizeof(Ch) > 1) {
    for (uint32_t high : {0x100u, 0x10000u, 0x80000000u}) {
      t = widen<Ch>("1 e5");
      t[1] = static_cast<Ch>(high + ' ');
      EXPECT_EQ(fromText(t.c_str(), x.get()), BCD_SYNTAX);
      t = widen<Ch>("15");
      t[1] = static_cast<Ch>(high + '5');
      EXPECT_EQ(fromText(t.c_str(), x.get()), BCD_SYNTAX);
      EXPECT_TRUE(hasRecord(x, 1, 1, 1, "1"));
    }
    const wchar_t arabicIndicOne[] = {L'1', 0x0661, 0};
    EXPECT_EQ(bcd_fromWChar(arabicIndicOne, x.get()), BCD_SYNTAX);
  } else {
    const char highBytes[] = {'1', static_cast<char>(0xA0), 0};
    EXPECT_EQ(bcd_fromChar(highBytes, x.get()), BCD_SYNTAX);
    const char tab[] = "\t1";
    EXPECT_EQ(bcd_fromChar(tab, x.get()), BCD_SYNTAX);
  }
}

// Random texts over the grammar's alphabet under random limits: the record
// stays valid (length within max_precision, digits 0-9, zeros past the
// length, sign +1 or -1, a canonical zero with status 0), and any text
// written fits its buffer.
TYPED_TEST(BcdText, RandomTextsKeepTheRecordValid) {
  using Ch = TypeParam;
  std::mt19937_64 rng(777);
  const char alphabet[] = "0123456789000  ..+-eE9x";
  const int limits[][2] = {{32, 16}, {255, 255}, {1, 0}, {0, 0}, {10, 200}, {200, 3}};
  for (const auto &l : limits) {
    setLimits(l[0], l[1]);
    Num x;
    for (int i = 0; i < 3000; ++i) {
      std::string text;
      const size_t n = rng() % 40 + (rng() % 8 == 0 ? 260 : 0);
      for (size_t k = 0; k < n; ++k) text += alphabet[rng() % (sizeof alphabet - 1)];
      x->status = 2;
      const int r = readInto<Ch>(text, x);
      ASSERT_TRUE(r == 0 || r == 1 || r == 2 || r == 3 || r == BCD_SYNTAX) << text;
      ASSERT_LE(x->length, bcd_maxprec()) << text;
      ASSERT_TRUE(x->sign == 1 || x->sign == -1) << text;
      ASSERT_TRUE(x->status == 2 || (x->status == 0 && x->length == 0 && x->point == 0 && x->sign == 1)) << text;
      for (int k = 0; k <= bcd_maxprec(); ++k) {
        ASSERT_LE(x.digit(k), 9) << text;
        if (k == 0 || k > x->length) {
          ASSERT_EQ(x.digit(k), 0) << text << " position " << k;
        }
      }
      int w = 0;
      writeOut<Ch>(x, static_cast<uint32_t>(rng() % 300), &w);
      ASSERT_TRUE(w == 0 || w == BCD_TEXTCUT);
    }
  }
}

// ---- Narrow or wide only -----------------------------------------------------------

// The reader's digit test is the C library's digit class, which holds the
// ten plain digits in every locale this platform offers.
TEST(BcdTextDigits, EqualTheLibraryDigitClass) {
  for (const char *locale : {"C", "C.UTF-8"}) {
    if (std::setlocale(LC_ALL, locale) == nullptr) continue;
    for (int c = 0; c < 256; ++c) {
      const bool plain = c >= '0' && c <= '9';
      EXPECT_EQ(std::isdigit(c) != 0, plain) << locale << " " << c;
    }
    for (wint_t w = 0; w < 0x30000; ++w) {
      const bool plain = w >= L'0' && w <= L'9';
      if ((std::iswdigit(w) != 0) != plain) ADD_FAILURE() << locale << " wide " << w;
    }
  }
  std::setlocale(LC_ALL, "C");
}

TEST(BcdTextNull, NullTextReadsAsEmpty) {
  Num x;
  EXPECT_EQ(bcd_fromChar(nullptr, x.get()), BCD_SYNTAX);
  EXPECT_EQ(bcd_fromWChar(nullptr, x.get()), BCD_SYNTAX);
  EXPECT_TRUE(hasRecord(x, 0, 0, 1, ""));
  EXPECT_EQ(bcd_toChar(x.get(), nullptr, 0), BCD_TEXTCUT);
  EXPECT_EQ(bcd_toWChar(x.get(), nullptr, 0), BCD_TEXTCUT);
}

// ---- Round trip against exact integers ---------------------------------------------

using I128 = __int128;

I128 pow10(int n) {
  I128 p = 1;
  while (n-- > 0) p *= 10;
  return p;
}

std::string digitsOf(I128 v) {  // v >= 0
  std::string s;
  do {
    s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(v % 10)));
    v /= 10;
  } while (v != 0);
  return s;
}

// The value of a record scaled by 10^16 (all test values have at most 16
// fraction digits).
I128 scaledValue(Num &x) {
  I128 v = 0;
  for (int k = 1; k <= x->length; ++k) {
    const int weight = x->point - k + 16;
    if (weight < 0) {
      EXPECT_EQ(x.digit(k), 0) << "digit below 10^-16";
      continue;
    }
    v += x.digit(k) * pow10(weight);
  }
  return x->sign < 0 ? -v : v;
}

// Independent formatting of v / 10^16 with exactly `scale` fraction digits
// (scale <= 16).
std::string formatScaled(I128 v, int scale) {
  if (v == 0) return "0";
  std::string s = v < 0 ? "-" : "";
  const I128 m = v < 0 ? -v : v;
  s += digitsOf(m / pow10(16));
  std::string frac = digitsOf(m % pow10(16));
  frac.insert(0, 16 - frac.size(), '0');
  if (scale > 0) s += "." + frac.substr(0, scale);
  return s;
}

TYPED_TEST(BcdText, RoundTripsAgainstExactIntegers) {
  using Ch = TypeParam;
  std::mt19937_64 rng(20261206);
  Num x, back;
  for (int i = 0; i < 20000; ++i) {
    // Up to 16 integer and 16 fraction digits: the exact range of the
    // initial limits.
    const int intDigits = static_cast<int>(rng() % 17);
    const int fracDigits = static_cast<int>(rng() % 17);
    const I128 intPart = static_cast<I128>(rng() % static_cast<uint64_t>(pow10(intDigits)));
    const I128 fracPart = static_cast<I128>(rng() % static_cast<uint64_t>(pow10(fracDigits)));
    const bool negative = rng() % 2;
    I128 scaled = intPart * pow10(16) + fracPart * pow10(16 - fracDigits);
    if (negative) scaled = -scaled;

    // The text: optional blanks, '+', leading zeros, and sometimes an
    // exponent that moves the point back where it belongs ("12.345" with
    // shift 2 is "1234.5e-2").
    std::string frac = fracDigits ? digitsOf(fracPart) : "";
    frac.insert(0, fracDigits - frac.size(), '0');
    std::string whole = intDigits ? digitsOf(intPart) : "";
    whole.insert(0, rng() % 3, '0');
    int shift = rng() % 4 == 0 ? static_cast<int>(rng() % (frac.size() + 1)) : 0;
    std::string mantissa, rest, stored;
    for (;;) {
      mantissa = whole + frac.substr(0, shift);
      rest = frac.substr(shift);
      stored = mantissa.substr(std::min(mantissa.find_first_not_of('0'), mantissa.size()));
      if (static_cast<int>(stored.size()) >= shift) break;
      shift = 0;  // keep the point at or after the first digit
    }
    std::string text(rng() % 3, ' ');
    text += negative ? "-" : (rng() % 2 ? "+" : "");
    text += mantissa + (rest.empty() && rng() % 2 ? "" : ".") + rest;
    if (mantissa.empty() && rest.empty()) text += "0";
    if (shift > 0) text += (rng() % 2 ? "e-" : " E-0") + std::to_string(shift);

    // The record expected: integer digits and the fraction up to its last
    // nonzero digit.
    const int integerCount = static_cast<int>(stored.size());
    stored += rest;
    const int significant = static_cast<int>(stored.find_last_not_of('0') + 1);  // npos + 1 == 0
    const int length = std::max(integerCount, significant);
    const int point = integerCount - shift;
    ASSERT_EQ(readInto<Ch>(text, x), 0) << text;
    ASSERT_TRUE(hasRecord(x, length, point, negative ? -1 : 1, stored.substr(0, length))) << text;
    ASSERT_EQ(scaledValue(x), scaled) << text;

    const std::string written = writeOut<Ch>(x);
    ASSERT_EQ(written, formatScaled(scaled, length - point)) << text;
    ASSERT_EQ(readInto<Ch>(written, back), 0);
    ASSERT_EQ(scaledValue(back), scaled);
  }
}

}  // namespace
