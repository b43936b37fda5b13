/*
 * bcd_internal.h - the decimal number record as the library sees it, the
 * process-wide limits, and the helpers every decimal unit shares: working
 * copies on the stack, normalize and trim.
 *
 * Nothing here is exported.
 */
#ifndef OVBASE_BCD_INTERNAL_H
#define OVBASE_BCD_INTERNAL_H

#include <emmintrin.h>

#include <cstddef>
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

// ---- Short copies and clears -----------------------------------------------
//
// The spans of digits are short (at most 256 positions, usually 33).  For
// them a call into the C library, or the string instructions a compiler
// inlines for a variable length, costs more than the work, so these move
// 16 bytes at a time with SSE2 (always present on x86-64), the last move
// overlapping the one before instead of finishing byte by byte.

inline uint64_t load64(const uint8_t *p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline void store64(uint8_t *p, uint64_t v) { std::memcpy(p, &v, sizeof v); }
inline uint32_t load32(const uint8_t *p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline void store32(uint8_t *p, uint32_t v) { std::memcpy(p, &v, sizeof v); }
inline __m128i load128(const uint8_t *p) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p)); }
inline void store128(uint8_t *p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i *>(p), v); }

// Keeps the compiler from turning the loops below back into the library
// calls or string instructions they replace: the index passes through an
// empty assembler statement, so the loop no longer looks like a copy.
#define OV_BCD_OPAQUE(index) __asm__("" : "+r"(index))

// Copies n >= 0 bytes between buffers that do not overlap.
inline void copyBytes(uint8_t *dst, const uint8_t *src, int n) {
  if (n >= 16) {
    int k = 0;
    for (; k + 16 < n; k += 16) {
      OV_BCD_OPAQUE(k);
      store128(dst + k, load128(src + k));
    }
    store128(dst + n - 16, load128(src + n - 16));
  } else if (n >= 8) {
    const uint64_t head = load64(src), tail = load64(src + n - 8);
    store64(dst, head);
    store64(dst + n - 8, tail);
  } else if (n >= 4) {
    const uint32_t head = load32(src), tail = load32(src + n - 4);
    store32(dst, head);
    store32(dst + n - 4, tail);
  } else if (n > 0) {
    dst[0] = src[0];
    dst[n / 2] = src[n / 2];
    dst[n - 1] = src[n - 1];
  }
}

// Sets n >= 0 bytes to zero.
inline void clearBytes(uint8_t *dst, int n) {
  if (n >= 16) {
    const __m128i zero = _mm_setzero_si128();
    int k = 0;
    for (; k + 16 < n; k += 16) {
      OV_BCD_OPAQUE(k);
      store128(dst + k, zero);
    }
    store128(dst + n - 16, zero);
  } else if (n >= 8) {
    store64(dst, 0);
    store64(dst + n - 8, 0);
  } else if (n >= 4) {
    store32(dst, 0);
    store32(dst + n - 4, 0);
  } else if (n > 0) {
    dst[0] = 0;
    dst[n / 2] = 0;
    dst[n - 1] = 0;
  }
}

// Moves n >= 0 bytes where the spans may overlap (shifts within a number).
inline void moveBytes(uint8_t *dst, const uint8_t *src, int n) {
  alignas(16) uint8_t staged[kMaxNumberBytes + 16];
  copyBytes(staged, src, n);
  copyBytes(dst, staged, n);
}

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
  // hold; the bytes beyond are zero.  A length byte above max_precision (a
  // damaged record) is taken as max_precision, so no later step reads past
  // the number.
  void copyFrom(const BCD *x) {
    const int n = numberBytes();
    copyBytes(bytes, reinterpret_cast<const uint8_t *>(x), n);
    clearBytes(bytes + n, static_cast<int>(sizeof bytes) - n);
    clampLength();
  }
  // The same copy without clearing the bytes past the number: cheaper, for
  // code that never reads beyond digit position max_precision.
  void load(const BCD *x) {
    copyBytes(bytes, reinterpret_cast<const uint8_t *>(x), numberBytes());
    clampLength();
  }
  void clampLength() {
    if (bytes[0] > max_precision) bytes[0] = max_precision;
  }
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
  clearBytes(digitsOf(x), max_precision + 1);
}

// The length of x as working code may use it: a length byte above
// max_precision is read as max_precision.
inline int lengthOf(const BCD *x) {
  return x->length > max_precision ? max_precision : x->length;
}

// True when x is nonzero and already in normalized form, so that normalize
// would leave it as it is.
inline bool isNormalizedNonzero(const BCD *x) {
  const uint8_t *d = digitsOf(x);
  return lengthOf(x) >= 1 && d[0] == 0 && d[1] != 0;
}

// Stores the point of a normalized number into x.  The point byte is signed
// 8-bit, so a point above 127 is kept at 127 and BCD_OVERFLOW is returned
// (the value is then too small by the missing powers of ten); below -128
// (a first digit weighing less than 10^-129) nothing representable is left
// and x becomes the canonical zero, returning BCD_TRUNCATED.  Returns 0
// when the point fits.
inline uint8_t storePoint(BCD *x, int point) {
  if (point > INT8_MAX) {
    x->point = INT8_MAX;
    return BCD_OVERFLOW;
  }
  if (point < INT8_MIN) {
    makeCanonicalZero(x);
    return BCD_TRUNCATED;
  }
  x->point = static_cast<int8_t>(point);
  return 0;
}

// Normalizes the digits d[0 .. len] in place: a carry in position 0 moves
// everything one place to the right (a digit that would pass max_precision
// is dropped), leading zeros from position 1 on are shifted out, and the
// vacated positions are cleared.  *point follows the shifts.  Returns the
// new length, or -1 when no digit is nonzero.
inline int normalizeDigits(uint8_t *d, int len, int *point) {
  int i = 0;
  while (i <= len && d[i] == 0) ++i;
  if (i > len) return -1;
  if (i == 0) {
    const int newLen = len + 1 > max_precision ? max_precision : len + 1;
    moveBytes(d + 1, d, newLen);
    d[0] = 0;
    *point += 1;
    return newLen;
  }
  if (i >= 2) {
    const int shift = i - 1;
    moveBytes(d + 1, d + i, len - i + 1);
    clearBytes(d + len - shift + 1, shift);
    *point -= shift;
    return len - shift;
  }
  return len;
}

// Brings x into normalized form in place: position 0 holds 0 and position 1
// a nonzero digit, or x becomes the canonical zero (status 0 included).
// Returns the bits of storePoint when the new point leaves -128..127 (0
// otherwise); callers that only need the form may ignore the result.
inline uint8_t normalize(BCD *x) {
  int point = x->point;
  const int len = normalizeDigits(digitsOf(x), lengthOf(x), &point);
  if (len < 0) {
    makeCanonicalZero(x);
    return 0;
  }
  x->length = static_cast<uint8_t>(len);
  return storePoint(x, point);
}

// Drops trailing zero fraction digits; integer digits are never dropped.
inline void trim(BCD *x) {
  const uint8_t *d = digitsOf(x);
  int len = lengthOf(x);
  while (len > 0 && len > x->point && d[len] == 0) --len;
  x->length = static_cast<uint8_t>(len);
}

// ---- Word-at-a-time helpers for the fast paths -------------------------------
//
// Eight one-digit bytes are handled in one 64-bit word, and digit strings
// are converted to and from base-10^8 limbs.  Digit bytes lie most
// significant first in memory.  A "window" is the word of the eight
// positions p-7 .. p, byte-swapped so that position p-7 is the most
// significant byte: then ordinary binary carries and borrows run the way
// decimal ones do.
constexpr uint64_t kOnes = 0x0101010101010101ULL;
constexpr uint64_t kHighBits = 0x8080808080808080ULL;
constexpr uint32_t kLimbBase = 100000000;  // 10^8: eight digits per limb
constexpr int kLimbDigits = 8;

// Clears digit positions from .. to of d (nothing when from > to).
inline void clearDigits(uint8_t *d, int from, int to) {
  if (to >= from) clearBytes(d + from, to - from + 1);
}

// Nonzero when some byte of v is above 9.
inline uint64_t badDigits(uint64_t v) {
  return (v | (v + 0x7676767676767676ULL)) & kHighBits;
}

// The digits at positions p-7 .. p of d as a window; positions below 0 read
// as zero (position 0 itself is read).
inline uint64_t loadWindow(const uint8_t *d, int p) {
  if (p >= 7) return __builtin_bswap64(load64(d + p - 7));
  if (p < 0) return 0;
  // Positions 0 .. 7 exist whenever max_precision is at least 7.
  if (max_precision >= 7) return __builtin_bswap64(load64(d)) >> (8 * (7 - p));
  uint64_t v = 0;
  for (int k = p - 7; k <= p; ++k) v = (v << 8) | (k >= 0 ? d[k] : 0);
  return v;
}

// Adds two windows of digits 0..9 with an incoming carry (0 or 1); returns
// the digits and sets carry to the decimal carry out of the top digit.
inline uint64_t addWindows(uint64_t x, uint64_t y, int &carry) {
  // Each byte of x + 246 overflows into the next byte exactly when the
  // decimal digit sum reaches 10; bytes that did not overflow hold 246 too
  // much (and have their high bit set).
  uint64_t s = x + 0xF6F6F6F6F6F6F6F6ULL + y + static_cast<uint64_t>(carry);
  const uint64_t noCarry = (s >> 7) & kOnes;
  s -= noCarry * 0xF6;
  carry = static_cast<int>(((noCarry >> 56) & 1) ^ 1);
  return s;
}

// Subtracts window y and an incoming borrow from window x; sets borrow to the
// decimal borrow out of the top digit.
inline uint64_t subWindows(uint64_t x, uint64_t y, int &borrow) {
  uint64_t s = x - y - static_cast<uint64_t>(borrow);
  const uint64_t borrowed = (s >> 7) & kOnes;  // bytes that wrapped to 246..255
  s -= borrowed * 0xF6;
  borrow = static_cast<int>((borrowed >> 56) & 1);
  return s;
}

// Eight digit bytes (memory order, most significant first) to their value.
inline uint32_t digits8ToValue(uint64_t v) {
  v = (v * 10 + (v >> 8)) & 0x00FF00FF00FF00FFULL;
  v = (v * 100 + (v >> 16)) & 0x0000FFFF0000FFFFULL;
  v = (v * 10000 + (v >> 32)) & 0xFFFFFFFFULL;
  return static_cast<uint32_t>(v);
}

// A value below 10^8 to eight digit bytes (memory order).
inline uint64_t valueToDigits8(uint32_t x) {
  const uint64_t halves = (x / 10000) | (static_cast<uint64_t>(x % 10000) << 32);
  const uint64_t hundreds = ((halves * 5243) >> 19) & 0x0000007F0000007FULL;
  const uint64_t pairs = hundreds | ((halves - hundreds * 100) << 16);
  const uint64_t tens = ((pairs * 103) >> 10) & 0x000F000F000F000FULL;
  return tens | ((pairs - tens * 10) << 8);
}

// Reads the count digits d[0 .. count-1] as an integer in base-10^8 limbs,
// least significant limb first.  d[0 .. 7] must be readable whenever
// max_precision is at least 8 (d is position 1 of a number, or a buffer at
// least that long).  Returns the number of limbs, or -1 when a
// byte is not a digit 0..9.
inline int digitsToLimbs(const uint8_t *d, int count, uint32_t *limbs) {
  int n = 0;
  uint64_t bad = 0;
  int end = count;  // one past the last digit of the current limb
  // Sixteen digits, two limbs, per step in SSE2: the bytes widen to words,
  // multiply-adds join neighbours into pairs (x10), then groups of four
  // (x100) and eight (x10000); every intermediate fits a signed 16- or
  // 32-bit lane.
  const __m128i nine = _mm_set1_epi8(9);
  int allDigits = 0xFFFF;
  for (; end >= 2 * kLimbDigits; end -= 2 * kLimbDigits) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(d + end - 2 * kLimbDigits));
    allDigits &= _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(v, nine), v));
    const __m128i zero = _mm_setzero_si128();
    const __m128i tens = _mm_set1_epi32(0x0001000A);
    const __m128i pairs = _mm_packs_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(v, zero), tens),
                                          _mm_madd_epi16(_mm_unpackhi_epi8(v, zero), tens));
    const __m128i fours = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00010064));
    const __m128i eights = _mm_madd_epi16(_mm_packs_epi32(fours, fours), _mm_set1_epi32(0x00012710));
    // Lane 0 holds the first eight digits (the higher limb), lane 1 the rest.
    limbs[n] = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(eights, 4)));
    limbs[n + 1] = static_cast<uint32_t>(_mm_cvtsi128_si32(eights));
    n += 2;
  }
  bad |= allDigits != 0xFFFF;
  for (; end >= kLimbDigits; end -= kLimbDigits) {
    const uint64_t v = load64(d + end - kLimbDigits);
    bad |= badDigits(v);
    limbs[n++] = digits8ToValue(v);
  }
  if (end > 0) {
    if (max_precision >= kLimbDigits) {
      // The leading end digits in one word: d[0 .. 7] lie within the
      // number (position 8 exists), and shifting the word up by the
      // missing positions leaves zeros in front of the digits that count.
      const uint64_t v = load64(d) << (8 * (kLimbDigits - end));
      bad |= badDigits(v);
      limbs[n++] = digits8ToValue(v);
    } else {
      uint32_t value = 0;
      for (int k = 0; k < end; ++k) {
        bad |= d[k] > 9;
        value = value * 10 + d[k];
      }
      limbs[n++] = value;
    }
  }
  return bad ? -1 : n;
}

// Writes the integer in limbs (n limbs, least significant first) as exactly
// count digits into d[0 .. count-1], with leading zeros; higher digits of the
// integer are not written.  With DropLast the integer is written as count +
// 1 digits of which the last is left out (the digits of the integer divided
// by ten): the lowest block is stored one byte further left, and d[-1] may
// be overwritten (the caller sets that byte afterwards).  Dropping the digit
// this way costs no division and no second copy.
template <bool DropLast = false>
inline void limbsToDigits(const uint32_t *limbs, int n, uint8_t *d, int count) {
  int end = DropLast ? count + 1 : count;
  int i = 0;
  bool lowest = DropLast;  // the next block written holds the dropped digit
  // Two limbs, sixteen digits, per step in SSE2 with the same splits as
  // valueToDigits8: by 10^4 (multiply-high in 64-bit lanes), then by 100
  // and by 10 (multiply-high in 16-bit lanes).  The higher limb's digits
  // come first in memory.
  for (; end >= 2 * kLimbDigits; end -= 2 * kLimbDigits, i += 2) {
    const uint32_t low = i < n ? limbs[i] : 0;
    const uint32_t high = i + 1 < n ? limbs[i + 1] : 0;
    const __m128i x = _mm_set_epi64x(low, high);
    const __m128i upper = _mm_srli_epi64(_mm_mul_epu32(x, _mm_set1_epi32(static_cast<int>(0xD1B71759u))), 45);
    const __m128i lower = _mm_sub_epi64(x, _mm_mul_epu32(upper, _mm_set1_epi32(10000)));
    const __m128i fours = _mm_or_si128(upper, _mm_slli_epi64(lower, 32));
    const __m128i hundreds = _mm_srli_epi16(_mm_mulhi_epu16(fours, _mm_set1_epi32(5243)), 3);
    const __m128i pairs =
        _mm_or_si128(hundreds, _mm_slli_epi32(_mm_sub_epi16(fours, _mm_mullo_epi16(hundreds, _mm_set1_epi32(100))), 16));
    const __m128i tens = _mm_mulhi_epu16(pairs, _mm_set1_epi16(6592));
    const __m128i digits = _mm_or_si128(tens, _mm_slli_epi16(_mm_sub_epi16(pairs, _mm_mullo_epi16(tens, _mm_set1_epi16(10))), 8));
    if (DropLast && lowest) {
      store128(d + end - 2 * kLimbDigits - 1, _mm_slli_si128(digits, 1));
      lowest = false;
    } else {
      store128(d + end - 2 * kLimbDigits, digits);
    }
  }
  for (; end >= kLimbDigits; end -= kLimbDigits, ++i) {
    const uint64_t digits = valueToDigits8(i < n ? limbs[i] : 0);
    if (DropLast && lowest) {
      store64(d + end - kLimbDigits - 1, digits << 8);
      lowest = false;
    } else {
      store64(d + end - kLimbDigits, digits);
    }
  }
  if (end > 0) {
    uint32_t value = i < n ? limbs[i] : 0;
    if (DropLast && lowest) {
      value /= 10;
      --end;
    }
    for (int k = end - 1; k >= 0; --k) {
      d[k] = static_cast<uint8_t>(value % 10);
      value /= 10;
    }
  }
}

// Test builds can force every arithmetic operation through its literal
// digit-by-digit path, so that tests compare the fast paths against it, and
// count how often a fast path produced the result.  Both are per thread:
// threads may do decimal work at once, and each test thread switches and
// counts its own paths.
#ifdef OV_TEST_HOOKS
inline thread_local bool forceLiteralPaths = false;
inline thread_local uint64_t fastPathHits = 0;
inline void countFastPath() { ++fastPathHits; }
#else
constexpr bool forceLiteralPaths = false;
inline void countFastPath() {}
#endif

}  // namespace ov::bcd

#endif /* OVBASE_BCD_INTERNAL_H */
