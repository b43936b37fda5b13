// Decimal numbers from and to machine integers of every width and floating
// point: records, overflow and truncation bits, the low bits kept on
// overflow, tiny and large limits, seeded properties against the machine's
// own formatting, and the float conversions under a comma-decimal locale.
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <thread>
#include <tuple>

#include "bcd_testing.h"
#include "scratch_dir.h"

// The leak checker's switches: defined by the sanitizer runtime, null (weak)
// in other builds.
extern "C" void __lsan_disable() __attribute__((weak));
extern "C" void __lsan_enable() __attribute__((weak));

namespace {

using namespace bcdtest;
using BcdConvert = Fixture;
constexpr int T = BCD_TRUNCATED, O = BCD_OVERFLOW;

// The C library keeps the locale search path it reads from LOCPATH for the
// rest of the process; the leak checker ignores what it takes (per thread).
struct LibraryLocaleAllocations {
  LibraryLocaleAllocations() { if (__lsan_disable) __lsan_disable(); }
  ~LibraryLocaleAllocations() { if (__lsan_enable) __lsan_enable(); }
};

// Every machine number through one signature: a long double holds every
// 64-bit integer and every double exactly.
static_assert(std::numeric_limits<long double>::digits >= 64);
template <typename V, int (*F)(V, BCD *)>
int from(long double v, BCD *x) { return F(static_cast<V>(v), x); }
template <typename V, int (*F)(const BCD *, V *)>
int to(const BCD *x, long double *out) {
  V v = 0;
  const int r = F(x, &v);
  *out = v;
  return r;
}
using From = int (*)(long double, BCD *);
using To = int (*)(const BCD *, long double *);
constexpr From fromI8 = from<int8_t, bcd_fromInt8>, fromI16 = from<int16_t, bcd_fromInt16>,
               fromI64 = from<int64_t, bcd_fromInt64>, fromU8 = from<uint8_t, bcd_fromUInt8>,
               fromU32 = from<uint32_t, bcd_fromUInt32>, fromF = from<float, bcd_fromFloat>,
               fromD = from<double, bcd_fromDouble>;
constexpr To toI8 = to<int8_t, bcd_toInt8>, toI16 = to<int16_t, bcd_toInt16>,
             toI32 = to<int32_t, bcd_toInt32>, toI64 = to<int64_t, bcd_toInt64>,
             toU8 = to<uint8_t, bcd_toUInt8>, toU16 = to<uint16_t, bcd_toUInt16>,
             toU32 = to<uint32_t, bcd_toUInt32>, toU64 = to<uint64_t, bcd_toUInt64>,
             toF = to<float, bcd_toFloat>, toD = to<double, bcd_toDouble>;

// Into stale bytes (0x77 everywhere): the record and its status byte, which
// the integer conversions never write and the float ones keep, as the reader
// does.  Floats go through "%.*f" with 14 (double) or 6 (float) significant
// digits; a record of "=" is x untouched.
TEST_F(BcdConvert, FromMachineNumbers) {
  char e120[200];
  std::snprintf(e120, sizeof e120, "%.0f", 1e120);  // the double's 120 digits
  const std::string tiny = "-" + std::string(99, '0') + "15@0/119";
  const struct { From from; long double value; int ret; std::string record;
                 int precision = 32, scale = 16; } rows[] = {
      {fromI64, 0, 0, "+@0/119"}, {fromI64, INT64_MIN, 0, "-9223372036854775808@19/119"},
      {fromI8, INT8_MIN, 0, "-128@3/119"},
      // Too many digits: the least significant ones stay.
      {fromI64, -1234567, O, "-34567@5/119", 5, 0}, {fromU32, 100000, O, "+00000@5/119", 5, 0},
      {fromI16, -19, O, "-9@1/119", 1, 0}, {fromU8, 1, O, "+@0/119", 0, 0},
      // 2e31 has all its digits; for 1e-20, 32 fraction digits are asked and cut to 16.
      {fromD, 2e31, 0, "+19999999999999999271792589930496@32/119"},
      {fromD, 1e-20, T, "+0000000000000000@0/119"}, {fromF, 0.1, 0, "+1@0/119"},
      {fromF, -1234.5678, 0, "-1234568@4/119"},  // widened, 6 digits
      {fromD, -1e32, O, "="}, {fromD, -HUGE_VAL, BCD_SYNTAX, "-@0/119"},
      {fromD, NAN, BCD_SYNTAX, "+@0/119"},
      // 337 fraction digits asked for 5e-324; 1e127 lies beyond the point byte.
      {fromD, -1.5e-100, 0, tiny, 255, 255},
      {fromD, 1e120, 0, "+" + std::string(e120) + "@120/119", 255, 255},
      {fromD, 5e-324, T, "+@0/119", 255, 255}, {fromD, 1e127, O, "=", 255, 255},
      {fromD, 0.5, O, "=", 0, 0}, {fromD, -7.9, T, "-7@1/119", 1, 0},
  };
  for (const auto &c : rows) {
    ASSERT_EQ(bcd_setGlobals(c.precision, c.scale), 0);
    Num x;
    std::fill(x.bytes.begin(), x.bytes.end(), 0x77);
    const std::vector<uint8_t> before = x.bytes;
    EXPECT_EQ(c.from(c.value, x), c.ret) << c.value;
    const std::string got = x.bytes == before ? "=" : rec(x) + "/" + std::to_string(x->status);
    EXPECT_EQ(got, c.record) << c.value;
  }
}

// x itself never changes.  Integers truncate towards zero; floats are the C
// library's reading of the text written, and the longest texts of 255
// positions convert without a cut.
TEST_F(BcdConvert, ToMachineNumbers) {
  const std::string longest = "-" + std::string(127, '9') + "." + std::string(128, '5');
  const std::string big = std::string(127, '9') + "." + std::string(128, '9');
  const std::string tiny = "-0." + std::string(127, '0') + std::string(128, '3');
  const struct { To to; std::string in; long double out; int ret;
                 int precision = 32, scale = 16; } rows[] = {
      // 3.0: a zero fraction digit counts; 0.05 not normalized; negative zero.
      {toI64, "12.75", 12, T}, {toI64, "30e-1", 3, T}, {toI64, "000.05", 0, T}, {toI64, "-0", 0, 0},
      {toI64, "-9223372036854775808", INT64_MIN, 0},
      {toI64, "9223372036854775808", INT64_MIN, O},  // the low bits
      // 32 of 41 integer positions: no fraction, so no BCD_TRUNCATED; 10^40 mod 2^64.
      {toI64, "1e40", static_cast<int64_t>(UINT64_C(13399722918938673152)), O},
      // Negative into unsigned: 0.
      {toU64, "18446744073709551615", UINT64_MAX, 0}, {toU64, "18446744073709551616", 0, O},
      {toU32, "-1", 0, O},
      // Narrow targets: through 64 bits, plus BCD_OVERFLOW outside their range.
      {toI8, "127", 127, 0}, {toI8, "-129", 127, O}, {toI16, "32768", -32768, O},
      {toI32, "-2147483648.9", INT32_MIN, T}, {toI8, "1000.5", static_cast<int8_t>(1000), O | T},
      {toU16, "65535", 65535, 0}, {toU8, "256.5", 0, O | T},
      // A point beyond the buffer: no position past it is read.  127 integer
      // digits wrap: -(10^127 - 1) modulo 2^64 is 1.
      {toI64, "123456", 123000, 0, 3, 0}, {toI64, longest, 1, O | T, 255, 255},
      {toF, "123456", 123456, 0}, {toF, "1234567", 1234567, T},
      {toD, "0.0000000000000001", 1e-16, T},
      {toD, big, std::atof(big.c_str()), T, 255, 255},
      {toF, tiny, static_cast<float>(std::atof(tiny.c_str())), T, 255, 255},
  };
  for (const auto &c : rows) {
    ASSERT_EQ(bcd_setGlobals(c.precision, c.scale), 0);
    Num x;
    ASSERT_LE(bcd_fromChar(c.in.c_str(), x), O) << c.in;
    const std::vector<uint8_t> before = x.bytes;
    long double v = 7;
    const int ret = c.to(x, &v);
    EXPECT_TRUE(ret == c.ret && v == c.out && x.bytes == before) << c.in << ": " << ret << " " << v;
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
    long double v = 0, w = 0;
    ASSERT_TRUE(bcd_fromInt64(s, x) == 0 && show(x) == std::to_string(s)) << s;
    ASSERT_TRUE(toI64(x, &v) == 0 && v == s) << s;
    ASSERT_TRUE(toU64(x, &w) == (s < 0 ? O : 0) && w == std::max<int64_t>(s, 0)) << s;
    ASSERT_TRUE(bcd_fromUInt64(u, x) == 0 && show(x) == std::to_string(u)) << u;
    ASSERT_TRUE(toU64(x, &v) == 0 && v == u) << u;
    ASSERT_TRUE(toI64(x, &w) == (u > INT64_MAX ? O : 0) && w == static_cast<int64_t>(u)) << u;

    const double mantissa = std::ldexp(static_cast<double>(rng() >> 11), -53);  // [0, 1)
    const double scale = std::pow(10.0, static_cast<int>(rng() % 30) - 15);
    const double d = rng() % 2 ? -mantissa * scale : mantissa * scale;
    const int r = bcd_fromDouble(d, x), e = d == 0 ? 0 : static_cast<int>(std::log10(std::fabs(d)));
    std::snprintf(buf, sizeof buf, "%.*f", std::clamp(14 - e, 0, 32), d);
    const int re = bcd_fromChar(buf, expect);
    ASSERT_TRUE(r == (re != 0 ? re : (14 - e > 32 ? T : 0)) && x.bytes == expect.bytes) << buf;
    double back = 0;
    ASSERT_EQ(bcd_toDouble(x, &back), x->length > 15 ? T : 0) << buf;
    ASSERT_EQ(bcd_toChar(x, written, sizeof written), 0) << buf;
    ASSERT_EQ(back, std::atof(written)) << written;
  }
}

// A comma-decimal locale compiled into a temporary folder: the float
// conversions give exactly what they give under the C locale, the process's
// locale stays as it was, and a thread with its own comma locale converts
// the same.  Skipped (with the reason) where the locale cannot be made.
TEST_F(BcdConvert, FloatConversionsIgnoreTheLocale) {
  const ScratchDir folder;
  ASSERT_TRUE(folder.ok());
  const std::string make = "localedef -i de_DE -f UTF-8 " + folder.path("de_DE.UTF-8");
  const int made = std::system((make + " >/dev/null 2>&1").c_str());
  const LibraryLocaleAllocations ignoreLibraryAllocations;
  ASSERT_EQ(setenv("LOCPATH", folder.dir().c_str(), 1), 0);
  const auto commaDecimal = [] { return std::string(std::localeconv()->decimal_point) == ","; };
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr || !commaDecimal())
    GTEST_SKIP() << "no comma-decimal locale: localedef -i de_DE exited with " << made;
  std::setlocale(LC_ALL, "C");

  // Everything both float conversions give for v and back.
  const auto convert = [](double v) {
    Num x, y;
    double back = 0;
    float backFloat = 0;
    const int ret = bcd_fromDouble(v, x) | bcd_toDouble(x, &back) << 8;
    const int floatRet = bcd_fromFloat(static_cast<float>(v), y) | bcd_toFloat(y, &backFloat) << 8;
    return std::tuple(ret, x.bytes, back, floatRet, y.bytes, backFloat);
  };
  // Reference results under the C locale: a table, then seeded values.
  std::mt19937_64 rng(31337);
  std::vector<double> values = {1.5, -2.75, 0.1, 123.456, 1e-5, -12345678.125, 0, 1e15, 7e-15};
  for (int i = 0; i < 2000; ++i) {
    const double mantissa = static_cast<double>(rng() >> 11);
    values.push_back(std::ldexp(mantissa, static_cast<int>(rng() % 100) - 90));
  }
  std::vector<decltype(convert(0))> expected;
  for (double v : values) expected.push_back(convert(v));
  const auto sameAsC = [&](const char *where) {
    for (size_t i = 0; i < values.size(); ++i)
      ASSERT_TRUE(convert(values[i]) == expected[i]) << where << ": " << values[i] << " differs";
  };
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
  sameAsC("process locale");
  EXPECT_TRUE(commaDecimal() && std::string(std::setlocale(LC_NUMERIC, nullptr)) == "de_DE.UTF-8")
      << "the locale was changed";

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
