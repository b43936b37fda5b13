// Decimal numbers from and to machine integers of every width and floating
// point: records, overflow and truncation bits, the low bits kept on
// overflow, tiny and large limits, and seeded properties against the
// machine's own formatting.
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>

#include "bcd_testing.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define OV_TEST_LEAK_CHECKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/lsan_interface.h>
#define OV_TEST_LEAK_CHECKS 1
#endif
#endif

namespace {

using namespace bcdtest;

// The C library keeps the locale search path it reads from LOCPATH for the
// rest of the process; the leak checker is told to ignore what it takes
// (per thread).
struct LibraryLocaleAllocations {
#ifdef OV_TEST_LEAK_CHECKS
  LibraryLocaleAllocations() { __lsan_disable(); }
  ~LibraryLocaleAllocations() { __lsan_enable(); }
#else
  ~LibraryLocaleAllocations() {}
#endif
};
using BcdConvert = Fixture;
constexpr int T = BCD_TRUNCATED, O = BCD_OVERFLOW;

// Every integer target through one signature.
template <typename V, int (*F)(const BCD *, V *)>
int to(const BCD *x, i128 *out) { V v = 0; const int r = F(x, &v); return *out = v, r; }
using ToInt = int (*)(const BCD *, i128 *);
constexpr ToInt toI8 = to<int8_t, bcd_toInt8>, toI16 = to<int16_t, bcd_toInt16>, toI32 = to<int32_t, bcd_toInt32>,
                toI64 = to<int64_t, bcd_toInt64>, toU8 = to<uint8_t, bcd_toUInt8>, toU16 = to<uint16_t, bcd_toUInt16>,
                toU32 = to<uint32_t, bcd_toUInt32>, toU64 = to<uint64_t, bcd_toUInt64>;

// Stale bytes everywhere before each conversion; the status byte is never
// written.
TEST_F(BcdConvert, FromIntegers) {
  const struct { int precision; int (*from)(BCD *); int ret; const char *record; } rows[] = {
      {32, [](BCD *x) { return bcd_fromInt64(0, x); }, 0, "+@0"},
      {32, [](BCD *x) { return bcd_fromInt64(INT64_MIN, x); }, 0, "-9223372036854775808@19"},
      {32, [](BCD *x) { return bcd_fromInt8(INT8_MIN, x); }, 0, "-128@3"},
      // Too many digits: the least significant ones stay.
      {5, [](BCD *x) { return bcd_fromInt64(-1234567, x); }, O, "-34567@5"},
      {5, [](BCD *x) { return bcd_fromUInt32(100000, x); }, O, "+00000@5"},
      {1, [](BCD *x) { return bcd_fromInt16(-19, x); }, O, "-9@1"},
      {0, [](BCD *x) { return bcd_fromUInt8(1, x); }, O, "+@0"},
  };
  for (const auto &c : rows) {
    ASSERT_EQ(bcd_setGlobals(c.precision, 0), 0);
    Num x;
    std::fill(x.bytes.begin(), x.bytes.end(), 0x77);
    const int ret = c.from(x);
    EXPECT_EQ(std::to_string(ret) + " " + rec(x) + "/" + std::to_string(x->status),
              std::to_string(c.ret) + " " + c.record + "/119");
  }
}

TEST_F(BcdConvert, ToIntegers) {
  const std::string longest = "-" + std::string(127, '9') + "." + std::string(128, '5');
  const struct { ToInt to; std::string in; i128 out; int ret; int precision = 32, scale = 16; } rows[] = {
      // 3.0: a zero fraction digit counts; 0.05 not normalized; negative zero.
      {toI64, "12.75", 12, T}, {toI64, "30e-1", 3, T}, {toI64, "000.05", 0, T}, {toI64, "-0", 0, 0},
      {toI64, "-9223372036854775808", INT64_MIN, 0}, {toI64, "9223372036854775808", INT64_MIN, O},  // the low bits
      // 32 of 41 integer positions: no fraction, so no BCD_TRUNCATED; 10^40 mod 2^64.
      {toI64, "1e40", static_cast<int64_t>(UINT64_C(13399722918938673152)), O},
      // Negative into unsigned: 0.
      {toU64, "18446744073709551615", UINT64_MAX, 0}, {toU64, "18446744073709551616", 0, O}, {toU32, "-1", 0, O},
      // Narrow targets: through 64 bits, plus BCD_OVERFLOW outside their range.
      {toI8, "127", 127, 0}, {toI8, "-129", 127, O}, {toI16, "32768", -32768, O}, {toI32, "-2147483648.9", INT32_MIN, T},
      {toI8, "1000.5", static_cast<int8_t>(1000), O | T}, {toU16, "65535", 65535, 0}, {toU8, "256.5", 0, O | T},
      // A point beyond the buffer: no position past it is read.  127 integer
      // digits wrap: -(10^127 - 1) modulo 2^64 is 1.
      {toI64, "123456", 123000, 0, 3, 0}, {toI64, longest, 1, O | T, 255, 255},
  };
  for (const auto &c : rows) {
    ASSERT_EQ(bcd_setGlobals(c.precision, c.scale), 0);
    Num x;
    ASSERT_LE(bcd_fromChar(c.in.c_str(), x), O) << c.in;
    const std::vector<uint8_t> before = x.bytes;
    i128 v = 7;
    const int ret = c.to(x, &v);
    EXPECT_TRUE(ret == c.ret && v == c.out && x.bytes == before) << c.in << " gave " << ret << " and " << str(v);
  }
}

// Through "%.*f" with 14 (double) or 6 (float) significant digits; a record
// of "=" means x is left untouched.
TEST_F(BcdConvert, FromFloatingPoint) {
  char e120[200];
  std::snprintf(e120, sizeof e120, "%.0f", 1e120);  // the double's 120 digits
  const struct { int precision, scale; double value; bool isFloat; int ret; std::string record; } rows[] = {
      // 2e31 has all its digits; for 1e-20, 32 fraction digits are asked and cut to 16.
      {32, 16, 2e31, false, 0, "+19999999999999999271792589930496@32"}, {32, 16, 1e-20, false, T, "+0000000000000000@0"},
      {32, 16, 0.1, true, 0, "+1@0"}, {32, 16, -1234.5678, true, 0, "-1234568@4"},  // widened, 6 digits
      {32, 16, -1e32, false, O, "="}, {32, 16, -HUGE_VAL, false, BCD_SYNTAX, "-@0"}, {32, 16, NAN, false, BCD_SYNTAX, "+@0"},
      // 337 fraction digits asked for 5e-324; 1e127 lies beyond the point byte.
      {255, 255, -1.5e-100, false, 0, "-" + std::string(99, '0') + "15@0"},
      {255, 255, 1e120, false, 0, "+" + std::string(e120) + "@120"},
      {255, 255, 5e-324, false, T, "+@0"}, {255, 255, 1e127, false, O, "="}, {0, 0, 0.5, false, O, "="},
      {1, 0, -7.9, false, T, "-7@1"},
  };
  for (const auto &c : rows) {
    ASSERT_EQ(bcd_setGlobals(c.precision, c.scale), 0);
    Num x = N("4.2");
    const std::vector<uint8_t> before = x.bytes;
    EXPECT_EQ(c.isFloat ? bcd_fromFloat(static_cast<float>(c.value), x) : bcd_fromDouble(c.value, x), c.ret) << c.value;
    EXPECT_TRUE(c.record == "=" ? x.bytes == before : rec(x) == c.record) << c.value << " gave " << rec(x);
  }
}

TEST_F(BcdConvert, ToFloatingPoint) {
  // The longest texts of 255 positions convert without a cut.
  const std::string big = std::string(127, '9') + "." + std::string(128, '9');
  const std::string tiny = "-0." + std::string(127, '0') + std::string(128, '3');
  const struct { std::string in; bool isFloat; int ret; double out; int limit = 32; } rows[] = {
      {"123456", true, 0, 123456.0}, {"1234567", true, T, 1234567.0}, {"0.0000000000000001", false, T, 1e-16},
      {big, false, T, std::atof(big.c_str()), 255}, {tiny, true, T, std::atof(tiny.c_str()), 255},
  };
  for (const auto &c : rows) {
    ASSERT_EQ(bcd_setGlobals(c.limit, c.limit == 32 ? 16 : c.limit), 0);
    Num x;
    double d = -1;
    float f = -1;
    ASSERT_EQ(bcd_fromChar(c.in.c_str(), x), 0);
    EXPECT_EQ(c.isFloat ? bcd_toFloat(x, &f) : bcd_toDouble(x, &d), c.ret) << c.in;
    EXPECT_EQ(c.isFloat ? f : d, c.isFloat ? static_cast<float>(c.out) : c.out) << c.in;
  }
}

// Seeded: integers of every magnitude convert exactly both ways; a double
// becomes the reader's view of its "%.*f" text with 14 significant digits
// and converts back to the double that the written text denotes.
TEST_F(BcdConvert, RandomValuesRoundTrip) {
  std::mt19937_64 rng(6122026);
  Num x, expect;
  char buf[400], written[64];
  for (int i = 0; i < 20000; ++i) {
    const int shiftBits = static_cast<int>(rng() % 64);
    const uint64_t u = rng() >> shiftBits;
    const int64_t s = static_cast<int64_t>(rng()) >> shiftBits;
    i128 v = 0, w = 0;
    ASSERT_TRUE(bcd_fromInt64(s, x) == 0 && show(x) == std::to_string(s)) << s;
    ASSERT_TRUE(toI64(x, &v) == 0 && v == s && toU64(x, &w) == (s < 0 ? O : 0) && w == (s < 0 ? 0 : s)) << s;
    ASSERT_TRUE(bcd_fromUInt64(u, x) == 0 && show(x) == std::to_string(u)) << u;
    ASSERT_TRUE(toU64(x, &v) == 0 && v == u && toI64(x, &w) == (u > INT64_MAX ? O : 0) && w == static_cast<int64_t>(u)) << u;

    const double mantissa = std::ldexp(static_cast<double>(rng() >> 11), -53);  // [0, 1)
    const double d = std::pow(10.0, static_cast<int>(rng() % 30) - 15) * (rng() % 2 ? -mantissa : mantissa);
    const int r = bcd_fromDouble(d, x), e = d == 0 ? 0 : static_cast<int>(std::log10(std::fabs(d)));
    std::snprintf(buf, sizeof buf, "%.*f", std::clamp(14 - e, 0, 32), d);
    const int re = bcd_fromChar(buf, expect);
    ASSERT_TRUE(r == (re != 0 ? re : (14 - e > 32 ? T : 0)) && x.bytes == expect.bytes) << buf;
    double back = 0;
    ASSERT_EQ(bcd_toDouble(x, &back), x->length > 15 ? T : 0) << buf;
    ASSERT_TRUE(bcd_toChar(x, written, sizeof written) == 0 && back == std::atof(written)) << written;
  }
}

// A comma-decimal locale compiled into a temporary folder: the float
// conversions give exactly what they give under the C locale, the process's
// locale stays as it was, and a thread with its own comma locale converts
// the same.  Skipped (with the reason) where the locale cannot be made.
TEST_F(BcdConvert, FloatConversionsIgnoreTheLocale) {
  char folder[] = "/tmp/bcd_locale_XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  struct Cleanup { const char *path; ~Cleanup() { std::filesystem::remove_all(path); } } cleanup{folder};
  const std::string make = "localedef -i de_DE -f UTF-8 " + std::string(folder) + "/de_DE.UTF-8 >/dev/null 2>&1";
  const int made = std::system(make.c_str());
  const LibraryLocaleAllocations ignoreLibraryAllocations;
  ASSERT_EQ(setenv("LOCPATH", folder, 1), 0);
  char probe[16];
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr || (std::snprintf(probe, sizeof probe, "%.1f", 1.5), std::string(probe) != "1,5"))
    GTEST_SKIP() << "no comma-decimal locale: localedef -i de_DE exited with " << made;
  std::setlocale(LC_ALL, "C");

  // Reference results under the C locale: a table, then seeded values.
  std::mt19937_64 rng(31337);
  std::vector<double> values = {1.5, -2.75, 0.1, 123.456, 1e-5, -12345678.125, 0, 1e15, 7e-15};
  for (int i = 0; i < 2000; ++i) values.push_back(std::ldexp(static_cast<double>(rng() >> 11), static_cast<int>(rng() % 100) - 90));
  struct Result { int fromRet; std::vector<uint8_t> bytes; int toRet; double back; int floatRet; float backFloat; };
  const auto convert = [](double v) {
    Num x;
    Result r{bcd_fromDouble(v, x), {}, 0, 0, 0, 0};
    r.bytes = x.bytes;
    r.toRet = bcd_toDouble(x, &r.back);
    r.floatRet = bcd_fromFloat(static_cast<float>(v), x) | bcd_toFloat(x, &r.backFloat);
    return r;
  };
  std::vector<Result> expected;
  for (double v : values) expected.push_back(convert(v));
  EXPECT_TRUE(expected[0].fromRet == 0 && expected[0].back == 1.5 && expected[1].back == -2.75);

  const auto sameAsC = [&](const char *where) {
    int wrong = 0;
    for (size_t i = 0; i < values.size(); ++i) {
      const Result r = convert(values[i]);
      const Result &e = expected[i];
      if (r.fromRet != e.fromRet || r.bytes != e.bytes || r.toRet != e.toRet || r.back != e.back || r.floatRet != e.floatRet ||
          r.backFloat != e.backFloat)
        ADD_FAILURE() << where << ": " << values[i] << " converts differently", ++wrong;
      if (wrong > 5) break;
    }
  };
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
  sameAsC("process locale");
  std::snprintf(probe, sizeof probe, "%.1f", 1.5);
  EXPECT_EQ(std::string(probe) + " " + std::setlocale(LC_NUMERIC, nullptr), "1,5 de_DE.UTF-8") << "the locale was changed";

  // A thread of the C process with a comma locale of its own.
  std::setlocale(LC_ALL, "C");
  std::thread worker([&] {
    const LibraryLocaleAllocations ignoreThreadAllocations;
    const locale_t comma = newlocale(LC_ALL_MASK, "de_DE.UTF-8", static_cast<locale_t>(nullptr));
    ASSERT_NE(comma, static_cast<locale_t>(nullptr));
    const locale_t before = uselocale(comma);
    sameAsC("thread locale");
    uselocale(before);
    freelocale(comma);
  });
  worker.join();
}

}  // namespace
