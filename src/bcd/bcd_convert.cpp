/*
 * bcd_convert.cpp - decimal numbers from and to machine integers and
 * floating-point values.
 *
 * Integers convert digit by digit, every width through one template per
 * direction.  Floating-point values go through text: formatted with "%.*f"
 * and read with bcd_fromChar on the way in, written with bcd_toChar and read
 * with strtod on the way out, the decimal point translated so that the
 * process's locale makes no difference.
 */
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <limits>
#include <type_traits>
#include <utility>

#include "bcd/bcd_internal.h"
#include "ovbase/bcd.h"

namespace ov::bcd {
namespace {

// ---- Integers into numbers -----------------------------------------------------

// Stores a magnitude as an integer number with the given sign.  Keeps the
// max_precision least significant digits when there are more.  The status
// byte is not written.
int storeMagnitude(uint64_t magnitude, bool negative, BCD *x) {
  uint8_t reversed[20];  // least significant digit first
  int count = 0;
  for (; magnitude != 0; magnitude /= 10) reversed[count++] = static_cast<uint8_t>(magnitude % 10);

  int bits = 0;
  const int maxPrec = max_precision;
  if (count > maxPrec) {
    count = maxPrec;
    bits = BCD_OVERFLOW;
  }
  uint8_t *d = digitsOf(x);
  d[0] = 0;
  for (int k = 1; k <= count; ++k) d[k] = reversed[count - k];
  clearBytes(d + count + 1, maxPrec - count);
  x->length = static_cast<uint8_t>(count);
  x->point = static_cast<int8_t>(count);
  x->sign = negative ? -1 : 1;
  return bits;
}

template <typename T>
int fromInteger(T value, BCD *x) {
  static_assert(std::is_integral_v<T> && sizeof(T) <= 8);
  if constexpr (std::is_signed_v<T>) {
    const int64_t wide = value;
    // Negating in unsigned arithmetic gives the most negative value its
    // exact magnitude 2^63.
    const uint64_t magnitude = wide < 0 ? 0 - static_cast<uint64_t>(wide) : static_cast<uint64_t>(wide);
    return storeMagnitude(magnitude, wide < 0, x);
  } else {
    return storeMagnitude(static_cast<uint64_t>(value), false, x);
  }
}

// ---- Numbers into integers -----------------------------------------------------

// The integer part of a normalized number: its value modulo 2^64, and
// whether the true magnitude reaches 2^64.
struct IntegerPart {
  uint64_t low = 0;
  bool huge = false;
};

IntegerPart integerPart(const BCD *n) {
  IntegerPart part;
  const uint8_t *d = digitsOf(n);
  // Positions past the length count as 0 and are not read: with a point
  // beyond max_precision they do not even exist in the buffer.
  int stored = n->length < n->point ? n->length : n->point;
  if (stored > max_precision) stored = max_precision;
  unsigned __int128 exact = 0;
  for (int k = 1; k <= n->point; ++k) {
    const unsigned digit = k <= stored ? d[k] : 0;
    part.low = part.low * 10 + digit;  // wraps: modulo 2^64
    if (!part.huge) {
      exact = exact * 10 + digit;
      part.huge = (exact >> 64) != 0;
    }
  }
  return part;
}

// Converts to a 64-bit integer of either signedness.  Reports
// BCD_TRUNCATED when the number has digit positions after its point.
template <typename Wide>
int toWideInteger(const BCD *x, Wide *out) {
  WorkNumber n;
  n.copyFrom(x);
  normalize(n.get());
  const bool negative = n->sign < 0;

  int bits = 0;
  IntegerPart part;
  if constexpr (std::is_unsigned_v<Wide>) {
    if (negative) bits = BCD_OVERFLOW;  // integer part stays 0
  }
  const bool convert = std::is_signed_v<Wide> || !negative;
  if (convert) {
    if (n->point > 0) {
      part = integerPart(n.get());
      uint64_t limit = std::numeric_limits<Wide>::max();
      if (std::is_signed_v<Wide> && negative) limit += 1;  // down to -2^63
      if (part.huge || part.low > limit) bits = BCD_OVERFLOW;
    } else if (n.digits()[1] != 0) {
      bits = BCD_TRUNCATED;  // a nonzero value below 1
    }
  }
  if (n->length > n->point) bits |= BCD_TRUNCATED;

  const uint64_t magnitude = part.low;
  *out = static_cast<Wide>(negative ? 0 - magnitude : magnitude);
  return bits;
}

template <typename T>
int toInteger(const BCD *x, T *out) {
  static_assert(std::is_integral_v<T> && sizeof(T) <= 8);
  using Wide = std::conditional_t<std::is_signed_v<T>, int64_t, uint64_t>;
  Wide wide = 0;
  int bits = toWideInteger(x, &wide);
  if constexpr (sizeof(T) < sizeof(Wide)) {
    if (!std::in_range<T>(wide)) bits |= BCD_OVERFLOW;
  }
  *out = static_cast<T>(wide);  // the low bits in every case
  return bits;
}

// ---- Floating point --------------------------------------------------------------

// Digit budgets of the floating-point conversions.
struct FloatBudget {
  int significant;  // significant digits asked of "%.*f"
  int exactLength;  // longer numbers report BCD_TRUNCATED on the way out
};
constexpr FloatBudget kDoubleBudget = {14, 15};
constexpr FloatBudget kFloatBudget = {6, 6};

// Text buffer of the floating-point conversions.  It holds every text the
// limits allow: a sign, at most 128 integer digits (a point byte reaches 127,
// one more for rounding), the point, up to 255 fraction digits and the
// terminator; and every text bcd_toChar writes (255 digits, a sign, "0." and
// up to 128 zeros before the digits of a number below 1).  So no digit is
// ever cut for want of room.
constexpr int kFloatText = 512;
static_assert(kFloatText >= 1 + 128 + 1 + 255 + 1);
static_assert(kFloatText >= 1 + 2 + 128 + 255 + 1);

// The C library formats and reads floating point with the decimal point of
// the calling thread's numeric locale, while the decimal texts always use
// '.'.  The two helpers below translate between them on the text itself, so
// the conversions give the same results under every locale without touching
// any locale setting (nothing global changes, and threads may convert at
// once).  "%.*f" writes no grouping, only an optional '-', digits, the
// locale's decimal point (one or more bytes) and digits.

// Room for the longest decimal point a locale may name, beyond the text.
constexpr int kRadixRoom = 8;

constexpr bool isDigitChar(char c) { return c >= '0' && c <= '9'; }

// Replaces the locale's decimal point in a finite "%.*f" text with '.'.
void radixToDot(char *text) {
  char *p = text + (*text == '-');
  while (isDigitChar(*p)) ++p;
  if (*p == 0 || (*p == '.' && isDigitChar(p[1]))) return;
  const char *rest = p;
  while (*rest != 0 && !isDigitChar(*rest)) ++rest;
  *p++ = '.';
  std::memmove(p, rest, std::strlen(rest) + 1);
}

// Replaces the '.' of a decimal text (which has at most kFloatText bytes
// and kRadixRoom bytes of room behind it) with the locale's decimal point.
void dotToRadix(char *text) {
  char *dot = std::strchr(text, '.');
  if (dot == nullptr) return;
  const char *radix = nl_langinfo(RADIXCHAR);
  const size_t radixLength = radix != nullptr ? std::strlen(radix) : 0;
  if (radixLength == 0 || radixLength >= kRadixRoom || (radixLength == 1 && radix[0] == '.')) return;
  std::memmove(dot + radixLength, dot + 1, std::strlen(dot + 1) + 1);
  std::memcpy(dot, radix, radixLength);
}

int fromFloating(double value, const FloatBudget &budget, BCD *x) {
  int lost = 0;
  int fraction = budget.significant;
  if (value != 0 && std::isfinite(value)) {
    const int e = static_cast<int>(std::log10(std::fabs(value)));  // towards zero
    fraction = budget.significant - e;
    // The integer part must fit both the precision and the point byte.
    const int integerRoom = max_precision < INT8_MAX ? max_precision : INT8_MAX;
    if (e + 1 > integerRoom) return BCD_OVERFLOW;
    if (fraction > max_precision) {
      fraction = max_precision;
      lost = BCD_TRUNCATED;
    } else if (fraction < 0) {
      fraction = 0;
    }
  }
  // Values that are not finite format as "inf" or "nan", which the reader
  // rejects.
  char text[kFloatText];
  std::snprintf(text, sizeof text, "%.*f", fraction, value);
  if (std::isfinite(value)) radixToDot(text);
  const int r = bcd_fromChar(text, x);
  return r != 0 ? r : lost;
}

int toFloating(const BCD *x, const FloatBudget &budget, double *out) {
  int bits = x->length > budget.exactLength ? BCD_TRUNCATED : 0;
  char text[kFloatText + kRadixRoom];
  bits |= bcd_toChar(x, text, kFloatText);
  dotToRadix(text);
  *out = std::strtod(text, nullptr);
  return bits;
}

}  // namespace
}  // namespace ov::bcd

using ov::bcd::fromInteger;
using ov::bcd::toInteger;

extern "C" {

OV_API int bcd_fromInt8(int8_t value, BCD *x) { return fromInteger(value, x); }
OV_API int bcd_fromInt16(int16_t value, BCD *x) { return fromInteger(value, x); }
OV_API int bcd_fromInt32(int32_t value, BCD *x) { return fromInteger(value, x); }
OV_API int bcd_fromInt64(int64_t value, BCD *x) { return fromInteger(value, x); }
OV_API int bcd_fromUInt8(uint8_t value, BCD *x) { return fromInteger(value, x); }
OV_API int bcd_fromUInt16(uint16_t value, BCD *x) { return fromInteger(value, x); }
OV_API int bcd_fromUInt32(uint32_t value, BCD *x) { return fromInteger(value, x); }
OV_API int bcd_fromUInt64(uint64_t value, BCD *x) { return fromInteger(value, x); }

OV_API int bcd_toInt8(const BCD *x, int8_t *out) { return toInteger(x, out); }
OV_API int bcd_toInt16(const BCD *x, int16_t *out) { return toInteger(x, out); }
OV_API int bcd_toInt32(const BCD *x, int32_t *out) { return toInteger(x, out); }
OV_API int bcd_toInt64(const BCD *x, int64_t *out) { return toInteger(x, out); }
OV_API int bcd_toUInt8(const BCD *x, uint8_t *out) { return toInteger(x, out); }
OV_API int bcd_toUInt16(const BCD *x, uint16_t *out) { return toInteger(x, out); }
OV_API int bcd_toUInt32(const BCD *x, uint32_t *out) { return toInteger(x, out); }
OV_API int bcd_toUInt64(const BCD *x, uint64_t *out) { return toInteger(x, out); }

OV_API int bcd_fromDouble(double value, BCD *x) {
  return ov::bcd::fromFloating(value, ov::bcd::kDoubleBudget, x);
}

OV_API int bcd_fromFloat(float value, BCD *x) {
  return ov::bcd::fromFloating(static_cast<double>(value), ov::bcd::kFloatBudget, x);
}

OV_API int bcd_toDouble(const BCD *x, double *out) { return ov::bcd::toFloating(x, ov::bcd::kDoubleBudget, out); }

OV_API int bcd_toFloat(const BCD *x, float *out) {
  double wide = 0;
  const int bits = ov::bcd::toFloating(x, ov::bcd::kFloatBudget, &wide);
  *out = static_cast<float>(wide);
  return bits;
}

}  // extern "C"
