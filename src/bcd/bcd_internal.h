/*
 * bcd_internal.h - the decimal number record as the library sees it, the
 * process-wide limits, and the helpers every decimal unit shares: working
 * copies on the stack, normalize and trim.
 *
 * Nothing here is exported.
 */
#ifndef OVBASE_BCD_INTERNAL_H
#define OVBASE_BCD_INTERNAL_H

#include <cstdint>
#include <cstring>

#include "ovbase/bcd.h"

namespace ov::bcd {

// Process-wide limits (bcd_setGlobals).  Constant-initialised, so no
// start-up code runs for them.
inline uint8_t max_precision = 32;
inline uint8_t max_scale = 16;

// Header bytes before digit position 0.
constexpr int kHeader = 4;
// Largest buffer a number can need: 255 digit positions + position 0 + header.
constexpr int kMaxNumberBytes = 255 + 1 + kHeader;

static_assert(sizeof(BCD) == kHeader, "the header is four bytes");
static_assert(offsetof(BCD, length) == 0 && offsetof(BCD, point) == 1 &&
                  offsetof(BCD, status) == 2 && offsetof(BCD, sign) == 3,
              "header fields in record order");

// Bytes of one number under the current limits.
inline int numberBytes() { return max_precision + kHeader + 1; }

// A number on the stack, large enough for any limits.  Working copies live
// here instead of the heap, so operations cannot fail for want of memory.
struct alignas(8) WorkNumber {
  uint8_t bytes[kMaxNumberBytes];

  BCD *get() { return reinterpret_cast<BCD *>(bytes); }
  BCD *operator->() { return get(); }
  uint8_t *digits() { return bytes + kHeader; }

  // A copy of the first numberBytes() bytes of x, as a heap duplicate would
  // hold; the bytes beyond are zero.
  void copyFrom(const BCD *x) {
    const int n = numberBytes();
    std::memcpy(bytes, x, n);
    std::memset(bytes + n, 0, sizeof bytes - n);
  }
  // The all-zero number.
  void clear() { std::memset(bytes, 0, sizeof bytes); }
};

inline uint8_t *digitsOf(BCD *x) { return reinterpret_cast<uint8_t *>(x) + kHeader; }
inline const uint8_t *digitsOf(const BCD *x) {
  return reinterpret_cast<const uint8_t *>(x) + kHeader;
}

// The canonical zero: length 0, point 0, sign +1, status 0, and every digit
// position 0.
inline void makeCanonicalZero(BCD *x) {
  x->length = 0;
  x->point = 0;
  x->status = 0;
  x->sign = 1;
  std::memset(digitsOf(x), 0, max_precision + 1);
}

// Brings x into normalized form in place: position 0 holds 0 and position 1
// a nonzero digit, or x becomes the canonical zero.
inline void normalize(BCD *x) {
  uint8_t *d = digitsOf(x);
  const int len = x->length;
  int i = 0;
  while (i <= len && d[i] == 0) ++i;
  if (i > len) {
    makeCanonicalZero(x);
    return;
  }
  if (i == 1) return;
  if (i == 0) {
    // A carry sits in position 0: shift everything one place to the right.
    // A digit that would land beyond max_precision is dropped.
    int newLen = len + 1;
    if (newLen > max_precision) newLen = max_precision;
    std::memmove(d + 1, d, newLen);
    d[0] = 0;
    x->point = static_cast<int8_t>(x->point + 1);
    x->length = static_cast<uint8_t>(newLen);
    return;
  }
  const int shift = i - 1;
  std::memmove(d + 1, d + i, len - i + 1);
  std::memset(d + len - shift + 1, 0, shift);
  d[0] = 0;
  x->point = static_cast<int8_t>(x->point - shift);
  x->length = static_cast<uint8_t>(len - shift);
}

// Drops trailing zero fraction digits; integer digits are never dropped.
inline void trim(BCD *x) {
  const uint8_t *d = digitsOf(x);
  int len = x->length;
  while (len > x->point && d[len] == 0) --len;
  x->length = static_cast<uint8_t>(len);
}

}  // namespace ov::bcd

#endif /* OVBASE_BCD_INTERNAL_H */
