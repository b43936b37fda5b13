/*
 * bcd_addsub.cpp - decimal addition, subtraction, comparison and rounding to
 * whole numbers.
 *
 * Each operation has a reference path that follows the digit-by-digit
 * method (copies of the operands, alignment by shifting, one digit per step)
 * and a fast path that reads the operands in place, shifted virtually, and
 * adds eight digits per machine word: results of up to 32 positions in four
 * words held in registers and stored once, longer ones through a staging
 * area.  The fast path is taken only where its
 * result is byte-for-byte the reference result; everything else (operands
 * that need normalizing, alignment that loses digits, bytes that are not
 * digits) goes the reference way.
 */
#include <x86intrin.h>

#include <array>

#include "bcd/bcd_internal.h"

namespace ov::bcd {
namespace {

// The result's range checks: an integer part longer than max_precision -
// max_scale, or more than max_scale fraction digits.  Reported, not stored.
uint8_t rangeBits(const BCD *r) {
  uint8_t bits = 0;
  if (r->point > max_precision - max_scale) bits |= BCD_OVERFLOW;
  if (r->length - r->point > max_scale) bits |= BCD_TRUNCATED;
  return bits;
}

// True when x has a nonzero digit in positions 0 .. length.
bool hasValue(const BCD *x) {
  const uint8_t *d = digitsOf(x);
  for (int k = 0, n = lengthOf(x); k <= n; ++k) {
    if (d[k] != 0) return true;
  }
  return false;
}

// ---- Reference path --------------------------------------------------------

// Gives a and b the same point and length by shifting the digits of the one
// with the smaller point to the right.  Digits shifted beyond position
// max_precision are dropped (BCD_TRUNCATED); a shift longer than the whole
// number clears it (BCD_OVERFLOW).
uint8_t align(BCD *a, BCD *b) {
  const int maxPrec = max_precision;
  const int m = a->length > b->length ? a->length : b->length;
  if (a->point == b->point) {
    a->length = b->length = static_cast<uint8_t>(m);
    return 0;
  }
  BCD *s = a->point < b->point ? a : b;
  const BCD *t = s == a ? b : a;
  const int shift = t->point - s->point;
  int len = s->length;
  s->point = t->point;
  uint8_t bits = 0;
  uint8_t *d = digitsOf(s);
  if (len + shift > maxPrec) {
    if (shift > maxPrec) {
      bits = BCD_OVERFLOW;
      clearBytes(d, maxPrec + 1);
    } else {
      bits = BCD_TRUNCATED;
      len = maxPrec - shift;
    }
  }
  if (shift <= maxPrec) {
    moveBytes(d + shift, d, len + 1);
    clearBytes(d, shift);
  }
  int common = len + shift > m ? len + shift : m;
  if (common > maxPrec) common = maxPrec;
  a->length = b->length = static_cast<uint8_t>(common);
  return bits;
}

// Compares the magnitudes of two normalized numbers (or canonical zeros):
// the difference of the points when they differ (-1 / +1 against a zero),
// else the difference of the first digits that differ.
int ucompare(const BCD *a, const BCD *b) {
  const uint8_t *x = digitsOf(a);
  const uint8_t *y = digitsOf(b);
  if (a->point != b->point) {
    if (a->point == 0 && a->length == 0 && x[1] == 0) return -1;
    if (b->point == 0 && b->length == 0 && y[1] == 0) return 1;
    return a->point - b->point;
  }
  const int la = lengthOf(a);
  const int lb = lengthOf(b);
  const int n = la > lb ? la : lb;
  int k = 0;
  if (!forceLiteralPaths) {
    for (; k + 7 <= n; k += 8) {
      const uint64_t u = load64(x + k);
      const uint64_t v = load64(y + k);
      if (u != v) {
        const int i = __builtin_ctzll(u ^ v) / 8;
        return x[k + i] - y[k + i];
      }
    }
  }
  for (; k <= n; ++k) {
    if (x[k] != y[k]) return x[k] - y[k];
  }
  return 0;
}

// r = a + b for operands of equal sign (a and b are working copies and are
// changed).  r's status keeps the alignment bits and the operands' bits; the
// carry and range bits are only returned.
uint8_t addbcds(BCD *a, BCD *b, BCD *r) {
  uint8_t bits = static_cast<uint8_t>(align(a, b) | a->status | b->status);
  r->status = bits;
  r->sign = a->sign;
  r->length = a->length;
  r->point = a->point;
  const int len = a->length;
  const uint8_t *x = digitsOf(a);
  const uint8_t *y = digitsOf(b);
  uint8_t *z = digitsOf(r);
  int carry = 0;
  for (int k = len; k >= 1; --k) {
    const int t = x[k] + y[k] + carry;
    z[k] = static_cast<uint8_t>(t % 10);
    carry = t / 10;
  }
  z[0] = static_cast<uint8_t>(carry);
  clearBytes(z + len + 1, max_precision - len);
  bits |= normalize(r);
  if (carry != 0 && len == max_precision) bits |= BCD_TRUNCATED;
  return static_cast<uint8_t>(bits | rangeBits(r));
}

// The sign of a - b for operands of equal sign: cmp orders |a| against |b|
// and pairSign is the sign both operands share.  The caller takes pairSign
// from a nonzero operand, so a zero whose sign byte is not +1 cannot turn
// the sign of the result around.
int8_t differenceSign(int cmp, int pairSign) {
  if (cmp >= 0) return (pairSign > 0 || cmp == 0) ? 1 : -1;
  return pairSign > 0 ? -1 : 1;
}

// r = a - b for operands of equal sign (working copies, changed).
uint8_t subbcds(BCD *a, BCD *b, BCD *r) {
  uint8_t lost = static_cast<uint8_t>(normalize(a) | normalize(b));
  const int cmp = ucompare(a, b);
  const int pairSign = a->length != 0 ? a->sign : b->sign;
  uint8_t bits = static_cast<uint8_t>(align(a, b) | a->status | b->status);
  r->status = bits;
  r->length = a->length;
  r->point = a->point;
  r->sign = differenceSign(cmp, pairSign);
  const uint8_t *big = digitsOf(cmp >= 0 ? a : b);
  const uint8_t *small = digitsOf(cmp >= 0 ? b : a);
  uint8_t *z = digitsOf(r);
  const int len = a->length;
  int borrow = 0;
  for (int k = len; k >= 1; --k) {
    int t = big[k] - small[k] - borrow;
    borrow = t < 0 ? 1 : 0;
    if (t < 0) t += 10;
    z[k] = static_cast<uint8_t>(t);
  }
  z[0] = 0;
  clearBytes(z + len + 1, max_precision - len);
  bits |= normalize(r);
  return static_cast<uint8_t>(bits | lost | rangeBits(r));
}

uint8_t addReference(const BCD *a, const BCD *b, BCD *r) {
  WorkNumber x, y;
  x.load(a);
  y.load(b);
  if (x->sign != y->sign) {
    y->sign = static_cast<int8_t>(-y->sign);
    return subbcds(x.get(), y.get(), r);
  }
  return addbcds(x.get(), y.get(), r);
}

uint8_t subReference(const BCD *a, const BCD *b, BCD *r) {
  WorkNumber x, y;
  x.load(a);
  y.load(b);
  if (x->sign != y->sign) {
    const bool aIsZero = !hasValue(x.get());
    x->sign = 1;
    y->sign = 1;
    const uint8_t bits = addbcds(x.get(), y.get(), r);
    // A zero minuend contributes no sign: 0 - b is -b whatever 0's sign byte.
    if (r->length != 0) r->sign = aIsZero ? static_cast<int8_t>(-b->sign) : a->sign;
    return bits;
  }
  return subbcds(x.get(), y.get(), r);
}

// ---- Fast path ---------------------------------------------------------------

// Where each operand's digits land once aligned: the common point, the
// common length and the shift of each operand.  False when the alignment
// would drop digits (the reference path handles that).
struct Alignment {
  int point;
  int length;
  int shiftA;
  int shiftB;
};

[[gnu::always_inline]] inline bool alignInPlace(const BCD *a, const BCD *b, Alignment &al) {
  const int la = lengthOf(a);
  const int lb = lengthOf(b);
  const int m = la > lb ? la : lb;
  al.shiftA = al.shiftB = 0;
  if (a->point == b->point) {
    al.point = a->point;
    al.length = m;
    return true;
  }
  const bool aSmaller = a->point < b->point;
  const int shift = aSmaller ? b->point - a->point : a->point - b->point;
  const int len = aSmaller ? la : lb;
  if (len + shift > max_precision) return false;
  (aSmaller ? al.shiftA : al.shiftB) = shift;
  al.point = aSmaller ? b->point : a->point;
  al.length = len + shift > m ? len + shift : m;
  return true;
}

// Adds (Subtract = false) or subtracts x - y over positions length .. 1 of
// the aligned operands into z, eight digits per word; z[0] gets the final
// carry (or 0).  z is a staging area with at least eight writable bytes
// before position 0, so the head is stored as a whole word too.  Returns
// false when a byte is not a digit.
template <bool Subtract>
[[gnu::always_inline]] inline bool combineDigits(const uint8_t *x, int sx, const uint8_t *y, int sy,
                                                 uint8_t *z, int length, int &carryOut) {
  int carry = 0;
  uint64_t bad = 0;
  int k = length;
  for (; k >= 8; k -= 8) {
    const uint64_t u = loadWindow(x, k - sx);
    const uint64_t v = loadWindow(y, k - sy);
    bad |= badDigits(u) | badDigits(v);
    const uint64_t w = Subtract ? subWindows(u, v, carry) : addWindows(u, v, carry);
    store64(z + k - 7, __builtin_bswap64(w));
  }
  if (k > 0) {
    // The head, positions 1 .. k (k < 8): one window whose bytes above
    // position 1 are masked out, so that the carry or borrow out of
    // position 1 lands in the byte of position 0.
    const uint64_t mask = (uint64_t{1} << (8 * k)) - 1;
    const uint64_t u = loadWindow(x, k - sx) & mask;
    const uint64_t v = loadWindow(y, k - sy) & mask;
    bad |= badDigits(u) | badDigits(v);
    const uint64_t w = Subtract ? subWindows(u, v, carry) : addWindows(u, v, carry);
    carry = ((w >> (8 * k)) & 0xFF) != 0 ? 1 : 0;
    store64(z + k - 7, __builtin_bswap64(w));
  }
  z[0] = static_cast<uint8_t>(carry);
  carryOut = carry;
  return bad == 0;
}

// Room for a staged result: eight bytes of slack before position 0, then
// every position a number can have.
struct Stage {
  alignas(16) uint8_t bytes[8 + kMaxNumberBytes + 8];
  uint8_t *digits() { return bytes + 8; }
};

// Stores the staged digits st[0 .. length] (a carry in position 0, leading
// zeros possibly) into r in normalized form, as normalize would leave
// them: the first nonzero digit moves to position 1, a carry at full length
// drops the last digit, the rest of r is cleared, and a zero result is the
// canonical zero.  r's sign and status are set by the caller; returns the
// bits of a point outside the byte's range.
uint8_t storeStaged(const uint8_t *st, int length, int point, BCD *r) {
  int first = 0;
  while (first <= length && st[first] == 0) ++first;
  if (first > length) {
    makeCanonicalZero(r);
    return 0;
  }
  int count = length - first + 1;
  if (count > max_precision) count = max_precision;
  uint8_t *z = digitsOf(r);
  z[0] = 0;
  copyBytes(z + 1, st + first, count);
  clearDigits(z, count + 1, max_precision);
  r->length = static_cast<uint8_t>(count);
  return storePoint(r, point - (first - 1));
}

// ---- Up to 32 positions in registers ------------------------------------------
//
// Results of at most 32 positions (the usual case) are computed in four
// windows held in registers: positions 1-8, 9-16, 17-24 and 25-32, each
// with its first position in the most significant byte.  Normalizing is
// then a shift across the four words, and the result is stored once, word
// by word, without reading back what was just written.

constexpr int kWindows = 4;
constexpr int kRegisterDigits = 8 * kWindows;

// Positions 1 .. 32 of an operand shifted right by shift positions (as
// align moves it), positions beyond length read as zero.  Returns nonzero
// when a byte that counts is not a digit.
[[gnu::always_inline]] inline uint64_t loadRegisterDigits(const uint8_t *d, int shift, int length, int windows,
                                                          uint64_t (&w)[kWindows]) {
  uint64_t bad = 0;
  #pragma GCC unroll 4
  for (int i = 0; i < windows; ++i) {
    const int last = 8 * (i + 1);  // the window's last position
    uint64_t v = loadWindow(d, last - shift);
    const int keep = length - (last - 8);  // positions of this window within length
    if (keep < 8) v = keep <= 0 ? 0 : v & (~uint64_t{0} << (64 - 8 * keep));
    bad |= badDigits(v);
    w[i] = v;
  }
  return bad;
}

// Stores the digit windows w (positions 1 .. 32) preceded by the digit
// carry (position 0, 0 or 1) into r in normalized form, as storeStaged
// does; length is the aligned length (at most 32) and point the aligned
// point.  Returns the bits of the point, or -1 when more than seven leading
// zeros must go (left to the staged path).
[[gnu::always_inline]] inline int storeRegisterDigits(uint64_t (&w)[kWindows], int carry, int length, int point,
                                                      BCD *r) {
  uint8_t *z = digitsOf(r);
  int count = length;
  if (carry != 0) {
    // One place to the right; the digit pushed past position 32 is kept
    // only when the limits have room for it.
    const uint8_t pushed = static_cast<uint8_t>(w[kWindows - 1]);
    #pragma GCC unroll 4
    for (int i = kWindows - 1; i > 0; --i) w[i] = (w[i] >> 8) | (w[i - 1] << 56);
    w[0] = (w[0] >> 8) | (uint64_t{1} << 56);
    count = length + 1 > max_precision ? max_precision : length + 1;
    if (count > kRegisterDigits) z[kRegisterDigits + 1] = pushed;
    point += 1;
  } else if ((w[0] >> 56) == 0) {
    if (w[0] == 0) {
      if ((w[1] | w[2] | w[3]) != 0) return -1;
      makeCanonicalZero(r);
      return 0;
    }
    const int zeros = __builtin_clzll(w[0]) / 8;  // 1 .. 7 leading zero digits
    #pragma GCC unroll 4
    for (int i = 0; i < kWindows - 1; ++i) w[i] = (w[i] << (8 * zeros)) | (w[i + 1] >> (64 - 8 * zeros));
    w[kWindows - 1] <<= 8 * zeros;
    count = length - zeros;
    point -= zeros;
  }
  z[0] = 0;
  #pragma GCC unroll 4
  for (int i = 0; i < kWindows; ++i) store64(z + 1 + 8 * i, __builtin_bswap64(w[i]));
  clearDigits(z, count > kRegisterDigits ? count + 1 : kRegisterDigits + 1, max_precision);
  r->length = static_cast<uint8_t>(count);
  return storePoint(r, point);
}

// The 32 positions of four windows (w[0] the most significant) taken as one
// 256-bit number, so that a decimal carry or borrow runs through all of
// them with the processor's add-with-carry instead of being extracted from
// each word and fed into the next.  addWide returns the carry out of
// position 1; subWide expects u >= v.
template <int Windows>
inline int addWide(const uint64_t (&u)[kWindows], const uint64_t (&v)[kWindows], uint64_t (&w)[kWindows]) {
  // Each byte of u + v + 246 overflows into the next byte exactly when the
  // decimal sum (with the carry from below) reaches 10; bytes that did not
  // overflow hold 246 too much and have their high bit set.
  unsigned char carry = 0;
  #pragma GCC unroll 4
  for (int i = Windows - 1; i >= 0; --i) {
    unsigned long long sum;
    carry = _addcarry_u64(carry, u[i] + v[i], 0xF6F6F6F6F6F6F6F6ULL, &sum);
    w[i] = sum - ((sum >> 7) & kOnes) * 0xF6;
  }
  return carry;
}
template <int Windows>
inline void subWide(const uint64_t *u, const uint64_t *v, uint64_t (&w)[kWindows]) {
  // A byte that had to borrow wrapped to 246 .. 255: 246 too much.
  unsigned char borrow = 0;
  #pragma GCC unroll 4
  for (int i = Windows - 1; i >= 0; --i) {
    unsigned long long diff;
    borrow = _subborrow_u64(borrow, u[i], v[i], &diff);
    w[i] = diff - ((diff >> 7) & kOnes) * 0xF6;
  }
}

// The sum (Subtract = false) or difference of the aligned operands' windows
// u and v, stored into r.  Returns the bits of storeRegisterDigits, or -1
// for the staged path.  When subtracting, the windows also give the order
// of the two magnitudes (the aligned digits hold the values exactly, so
// comparing them word by word orders them as ucompare does): cmp receives
// it and the larger magnitude is taken first.
template <bool Subtract, int Windows>
[[gnu::always_inline]] inline int combineLoaded(uint64_t (&u)[kWindows], uint64_t (&v)[kWindows], int length,
                                                int point, BCD *r, int &carryOut, int &cmp) {
  uint64_t w[kWindows] = {};
  int carry = 0;
  if constexpr (Subtract) {
    int i = 0;
    while (i < Windows && u[i] == v[i]) ++i;
    cmp = i == Windows ? 0 : u[i] > v[i] ? 1 : -1;
    subWide<Windows>(cmp >= 0 ? u : v, cmp >= 0 ? v : u, w);
  } else {
    carry = addWide<Windows>(u, v, w);
  }
  carryOut = carry;
  return storeRegisterDigits(w, carry, length, point, r);
}

// combineLoaded on operands aligned by virtual shifts.
template <bool Subtract, int Windows>
int combineInRegisters(const BCD *a, const BCD *b, const Alignment &al, BCD *r, int &carryOut, int &cmp) {
  // Windows covers the length; the words past it are zero.  A fixed count
  // lets the words stay in registers.
  uint64_t u[kWindows] = {}, v[kWindows] = {};
  if ((loadRegisterDigits(digitsOf(a), al.shiftA, al.length, Windows, u) |
       loadRegisterDigits(digitsOf(b), al.shiftB, al.length, Windows, v)) != 0)
    return -1;
  return combineLoaded<Subtract, Windows>(u, v, al.length, al.point, r, carryOut, cmp);
}

// combineInRegisters with the number of windows the length needs.
template <bool Subtract>
int combineInRegisters(const BCD *a, const BCD *b, const Alignment &al, BCD *r, int &carryOut, int &cmp) {
  if (al.length <= 8) return combineInRegisters<Subtract, 1>(a, b, al, r, carryOut, cmp);
  if (al.length <= 16) return combineInRegisters<Subtract, 2>(a, b, al, r, carryOut, cmp);
  return combineInRegisters<Subtract, kWindows>(a, b, al, r, carryOut, cmp);
}

// True when the aligned result fits the register path.
inline bool fitsRegisters(const Alignment &al) { return al.length <= kRegisterDigits && max_precision >= kRegisterDigits; }

// ---- Equal points ---------------------------------------------------------------
//
// Amounts with the same scale need no alignment: the windows are read
// straight from positions 1 .. 8 * Windows of both operands (Windows the
// fewest that hold the longer one), only the last of them masked.

// The first k bytes (most significant) of a window, k = 0 .. 8.
constexpr std::array<uint64_t, 9> kLeadingBytes = [] {
  std::array<uint64_t, 9> m{};
  for (int k = 1; k <= 8; ++k) m[k] = ~uint64_t{0} << (64 - 8 * k);
  return m;
}();
static_assert(kLeadingBytes[8] == ~uint64_t{0} && kLeadingBytes[1] == 0xFF00000000000000ULL);

// Positions 1 .. 8 * Windows of d as windows, those beyond length (which lies
// in the last window) read as zero; d has 32 positions (max_precision >= 32).
// Returns nonzero when a byte that counts is not a digit.
template <int Windows>
[[gnu::always_inline]] inline uint64_t loadSamePoint(const uint8_t *d, int length, uint64_t (&w)[kWindows]) {
  #pragma GCC unroll 4
  for (int i = 0; i < Windows; ++i) w[i] = __builtin_bswap64(load64(d + 1 + 8 * i));
  w[Windows - 1] &= kLeadingBytes[length - 8 * (Windows - 1)];
  uint64_t bad = 0;
  #pragma GCC unroll 4
  for (int i = 0; i < Windows; ++i) bad |= badDigits(w[i]);
  return bad;
}

// combineLoaded for operands with equal points, length their longer length
// (within Windows windows).
template <bool Subtract, int Windows>
int combineSamePoint(const BCD *a, const BCD *b, int length, BCD *r, int &carryOut, int &cmp) {
  uint64_t u[kWindows] = {}, v[kWindows] = {};
  if ((loadSamePoint<Windows>(digitsOf(a), length, u) | loadSamePoint<Windows>(digitsOf(b), length, v)) != 0)
    return -1;
  return combineLoaded<Subtract, Windows>(u, v, length, a->point, r, carryOut, cmp);
}

template <bool Subtract>
int combineSamePoint(const BCD *a, const BCD *b, int length, BCD *r, int &carryOut, int &cmp) {
  if (length <= 8) return combineSamePoint<Subtract, 1>(a, b, length, r, carryOut, cmp);
  if (length <= 16) return combineSamePoint<Subtract, 2>(a, b, length, r, carryOut, cmp);
  if (length <= 24) return combineSamePoint<Subtract, 3>(a, b, length, r, carryOut, cmp);
  return combineSamePoint<Subtract, kWindows>(a, b, length, r, carryOut, cmp);
}

// The bits of a sum or difference stored in registers (bits from
// storeRegisterDigits, -1 passed on): a nonzero result gets the operands'
// status bits and its sign, and the bits returned add those, the range
// bits and, for a sum whose carry dropped the last digit of a full-length
// result, BCD_TRUNCATED.
[[gnu::always_inline]] inline int finishInRegisters(const BCD *a, const BCD *b, BCD *r, int bits, int8_t sign,
                                                    bool droppedDigit) {
  if (bits < 0) return -1;
  const uint8_t status = static_cast<uint8_t>(a->status | b->status);
  if (r->length != 0) {
    r->status = status;
    r->sign = sign;
  }
  countFastPath();
  return bits | status | (droppedDigit ? BCD_TRUNCATED : 0) | rangeBits(r);
}

// addFast and subFast for operands with equal points and at most 32
// positions (under limits that have them); -1 when the general fast path
// must do it.
int addSamePoint(const BCD *a, const BCD *b, int length, BCD *r, int8_t sign) {
  int carry = 0, unused = 0;
  const int bits = combineSamePoint<false>(a, b, length, r, carry, unused);
  return finishInRegisters(a, b, r, bits, sign, carry != 0 && length == max_precision);
}

int subSamePoint(const BCD *a, const BCD *b, int length, BCD *r, int pairSign) {
  if (!isNormalizedNonzero(a) || !isNormalizedNonzero(b)) return -1;
  int borrow = 0, cmp = 0;
  const int bits = combineSamePoint<true>(a, b, length, r, borrow, cmp);
  return finishInRegisters(a, b, r, bits, differenceSign(cmp, pairSign), false);
}

// True for equal points and a longer length within 32 positions.
inline bool samePointFits(const BCD *a, const BCD *b, int &length) {
  const int la = lengthOf(a), lb = lengthOf(b);
  length = la > lb ? la : lb;
  return a->point == b->point && length <= kRegisterDigits && max_precision >= kRegisterDigits;
}

// addbcds on copies of a and b, computed without the copies.  Returns -1
// when the reference path must do it.
int addFast(const BCD *a, const BCD *b, BCD *r, int8_t sign) {
  Alignment al;
  if (!alignInPlace(a, b, al)) return -1;
  if (fitsRegisters(al)) {
    int carry = 0, unused = 0;
    const int bits = combineInRegisters<false>(a, b, al, r, carry, unused);
    // A carry out of a full-length sum dropped the last digit.
    if (bits >= 0) return finishInRegisters(a, b, r, bits, sign, carry != 0 && al.length == max_precision);
  }
  Stage stage;
  int carry = 0;
  if (!combineDigits<false>(digitsOf(a), al.shiftA, digitsOf(b), al.shiftB, stage.digits(), al.length, carry))
    return -1;
  uint8_t bits = static_cast<uint8_t>(a->status | b->status);
  r->status = bits;
  r->sign = sign;
  bits |= storeStaged(stage.digits(), al.length, al.point, r);
  if (carry != 0 && al.length == max_precision) bits |= BCD_TRUNCATED;
  countFastPath();
  return bits | rangeBits(r);
}

// subbcds on copies of a and b (equal signs, pairSign their sign), computed
// without the copies.  Only for operands already normalized and nonzero.
int subFast(const BCD *a, const BCD *b, BCD *r, int pairSign) {
  if (!isNormalizedNonzero(a) || !isNormalizedNonzero(b)) return -1;
  Alignment al;
  if (!alignInPlace(a, b, al)) return -1;
  if (fitsRegisters(al)) {
    int borrow = 0, cmp = 0;
    const int bits = combineInRegisters<true>(a, b, al, r, borrow, cmp);
    if (bits >= 0) return finishInRegisters(a, b, r, bits, differenceSign(cmp, pairSign), false);
  }
  const int cmp = ucompare(a, b);
  const bool aBig = cmp >= 0;
  Stage stage;
  int borrow = 0;
  const bool ok = aBig ? combineDigits<true>(digitsOf(a), al.shiftA, digitsOf(b), al.shiftB, stage.digits(),
                                             al.length, borrow)
                       : combineDigits<true>(digitsOf(b), al.shiftB, digitsOf(a), al.shiftA, stage.digits(),
                                             al.length, borrow);
  if (!ok) return -1;
  stage.digits()[0] = 0;
  uint8_t bits = static_cast<uint8_t>(a->status | b->status);
  r->status = bits;
  r->sign = differenceSign(cmp, pairSign);
  bits |= storeStaged(stage.digits(), al.length, al.point, r);
  countFastPath();
  return bits | rangeBits(r);
}

// ---- Rounding to whole numbers ---------------------------------------------

// Raises the magnitude of x (which has fraction digits) to the next whole
// number and drops the fraction.
void raiseToWhole(BCD *x) {
  uint8_t *d = digitsOf(x);
  const int len = x->length;
  const int point = x->point;
  if (point < 0) {
    clearBytes(d, max_precision + 1);
    d[1] = 1;
    x->point = 1;
    x->length = 1;
    return;
  }
  int k = point;
  while (k > 0 && d[k] == 9) d[k--] = 0;
  d[k] = static_cast<uint8_t>(d[k] + 1);
  clearBytes(d + point + 1, len - point);
  x->length = static_cast<uint8_t>(point);
  if (d[0] != 0) normalize(x);
}

// Drops the fraction of x (rounding its magnitude down); a number without
// fraction digits keeps its digits and gets length = point (at most
// max_precision); a zero result is the canonical zero.
void dropFraction(BCD *x) {
  uint8_t *d = digitsOf(x);
  const int len = x->length;
  const int point = x->point;
  if (point < 0) {
    makeCanonicalZero(x);
    return;
  }
  const int newLen = point < max_precision ? point : max_precision;
  if (newLen < len) clearBytes(d + newLen + 1, len - newLen);
  x->length = static_cast<uint8_t>(newLen);
  for (int k = 0; k <= newLen; ++k) {
    if (d[k] != 0) return;
  }
  makeCanonicalZero(x);
}

// Rounds x towards +infinity (up) or -infinity.  Trailing zero fraction
// digits are dropped first, so 3.0 counts as the whole number 3.
void roundToWhole(BCD *x, bool up) {
  x->length = static_cast<uint8_t>(lengthOf(x));
  trim(x);
  const bool hasFraction = x->length > 0 && x->length > x->point;
  const bool awayFromZero = up ? x->sign > 0 : x->sign < 0;
  if (hasFraction && awayFromZero) {
    raiseToWhole(x);
  } else {
    dropFraction(x);
  }
}

}  // namespace
}  // namespace ov::bcd

using namespace ov::bcd;

extern "C" {

OV_API uint8_t bcd_add(const BCD *a, const BCD *b, BCD *r) {
  if (!forceLiteralPaths) {
    int length;
    if (samePointFits(a, b, length)) {
      const int bits = a->sign == b->sign ? addSamePoint(a, b, length, r, a->sign)
                                          : subSamePoint(a, b, length, r, a->sign);
      if (bits >= 0) return static_cast<uint8_t>(bits);
    }
    const int bits = a->sign == b->sign ? addFast(a, b, r, a->sign) : subFast(a, b, r, a->sign);
    if (bits >= 0) return static_cast<uint8_t>(bits);
  }
  return addReference(a, b, r);
}

OV_API uint8_t bcd_sub(const BCD *a, const BCD *b, BCD *r) {
  if (!forceLiteralPaths) {
    int length;
    if (samePointFits(a, b, length)) {
      const int bits = a->sign == b->sign ? subSamePoint(a, b, length, r, a->sign) : addSamePoint(a, b, length, r, 1);
      if (bits >= 0) {
        if (a->sign != b->sign && r->length != 0) r->sign = hasValue(a) ? a->sign : static_cast<int8_t>(-b->sign);
        return static_cast<uint8_t>(bits);
      }
    }
    int bits;
    if (a->sign == b->sign) {
      bits = subFast(a, b, r, a->sign);
    } else {
      bits = addFast(a, b, r, 1);
      if (bits >= 0 && r->length != 0)
        r->sign = hasValue(a) ? a->sign : static_cast<int8_t>(-b->sign);
    }
    if (bits >= 0) return static_cast<uint8_t>(bits);
  }
  return subReference(a, b, r);
}

OV_API int bcd_compare(const BCD *a, const BCD *b) {
  if (!forceLiteralPaths && isNormalizedNonzero(a) && isNormalizedNonzero(b)) {
    countFastPath();
    if (a->sign != b->sign) return a->sign - b->sign;
    const int cmp = ucompare(a, b);
    return a->sign < 0 ? -cmp : cmp;
  }
  WorkNumber x, y;
  x.load(a);
  y.load(b);
  normalize(x.get());
  normalize(y.get());
  if (x->sign != y->sign) return x->sign - y->sign;
  const int16_t cmp = static_cast<int16_t>(ucompare(x.get(), y.get()));
  return x->sign < 0 ? -cmp : cmp;
}

OV_API void bcd_ceiling(BCD *x) { roundToWhole(x, true); }

OV_API void bcd_floor(BCD *x) { roundToWhole(x, false); }

}  // extern "C"
