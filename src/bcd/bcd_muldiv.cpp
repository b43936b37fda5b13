/*
 * bcd_muldiv.cpp - decimal multiplication and division, both truncating.
 *
 * The digits of a product or quotient are produced either by the reference
 * digit-by-digit methods (schoolbook rows; long division with a scaled
 * divisor) or by fast paths: products over base-10^8 limbs, quotients of
 * operands up to 38 digits over 64-bit binary words (longer ones over
 * limbs).  Both produce the same digits: the fast product subtracts exactly
 * the one partial product that the shortened schoolbook method skips, and
 * the fast quotient is the exact integer quotient, which the long division
 * also yields.  Operands with bytes that are not digits always take the
 * reference path.
 */
#include "bcd/bcd_internal.h"
#include "bcd/bcd_wide.h"

namespace ov::bcd {
namespace {

constexpr int kMaxLimbs = 66;  // 512 digits in base 10^8, plus one
constexpr int kMaxDividend = 2 * 256 + 8;

// ---- Multiplication ----------------------------------------------------------

// Product digits by schoolbook rows, one multiplier digit per row from the
// right, skipping zero multiplier digits.  p[i + j] beyond max_precision is
// not computed and its carry is lost.
void multiplyReference(const uint8_t *x, int na, const uint8_t *y, int nb, uint8_t *p) {
  const int maxPrec = max_precision;
  clearBytes(p, na + nb + 1);
  for (int i = nb; i >= 1; --i) {
    const int bi = y[i];
    if (bi == 0) continue;
    int carry = 0;
    for (int j = na; j >= 1; --j) {
      if (i + j > maxPrec) continue;
      const int t = bi * x[j] + p[i + j] + carry;
      p[i + j] = static_cast<uint8_t>(t % 10);
      carry = t / 10;
    }
    p[i] = static_cast<uint8_t>(carry);
  }
}

// Number of decimal digits of 0 < value < 10^8.
inline int digitCount(uint32_t value) {
  int count = 1;
  for (uint32_t limit = 10; count < 8 && value >= limit; limit *= 10) ++count;
  return count;
}

// The same digits from an integer product.  A product position beyond
// max_precision can only be position na + nb (the operands were shortened so
// that na + nb <= max_precision + 1), reached only by the last digits of both
// operands, so the schoolbook rows compute exactly x * y minus that one
// partial product.  The digits at product positions first .. plen (first
// the position of the first nonzero one) are written to z[1 .. count] with
// z[0] = 0; count is 0 for a zero product.  Returns false (z untouched)
// when a byte is not a digit.
bool multiplyFast(const uint8_t *x, int na, const uint8_t *y, int nb, int plen, uint8_t *z, int &first, int &count) {
  uint32_t xl[kMaxLimbs], yl[kMaxLimbs], prod[2 * kMaxLimbs];
  const int nx = digitsToLimbs(x + 1, na, xl);
  const int ny = digitsToLimbs(y + 1, nb, yl);
  if (nx < 0 || ny < 0) return false;
  // Column by column: each column sums at most 66 products below 10^16,
  // which stays below 2^64 with the carry from the column before.
  const int n = nx + ny;
  uint64_t carry = 0;
  if (ny == 1) {
    // A multiplier of one limb (up to eight digits, the usual amount or
    // rate): one product per column.
    // Each product splits into its two limbs on its own; only a carry of
    // 0 or 1 runs from column to column (low + previous high < 2 * 10^8).
    const uint64_t m = yl[0];
    uint32_t previousHigh = 0;
    uint32_t columnCarry = 0;
    for (int k = 0; k < nx; ++k) {
      const uint64_t product = xl[k] * m;
      const uint32_t high = static_cast<uint32_t>(product / kLimbBase);
      uint32_t t = static_cast<uint32_t>(product - static_cast<uint64_t>(high) * kLimbBase) + previousHigh + columnCarry;
      columnCarry = t >= kLimbBase ? 1 : 0;
      prod[k] = t - (columnCarry ? kLimbBase : 0);
      previousHigh = high;
    }
    prod[nx] = previousHigh + columnCarry;
  } else {
    for (int k = 0; k < n; ++k) {
      uint64_t t = carry;
      const int first = k - ny + 1 > 0 ? k - ny + 1 : 0;
      const int last = k < nx - 1 ? k : nx - 1;
      for (int i = first; i <= last; ++i) t += static_cast<uint64_t>(xl[i]) * yl[k - i];
      prod[k] = static_cast<uint32_t>(t % kLimbBase);
      carry = t / kLimbBase;
    }
  }
  if (na + nb > max_precision && na > 0 && nb > 0) {
    int64_t skipped = static_cast<int64_t>(x[na]) * y[nb];
    for (int k = 0; k < n && skipped != 0; ++k) {
      int64_t t = static_cast<int64_t>(prod[k]) - skipped;
      skipped = 0;
      if (t < 0) {
        t += kLimbBase;
        skipped = 1;
      }
      prod[k] = static_cast<uint32_t>(t);
    }
  }
  // The product's digits go straight into z from position 1 on: count its
  // significant digits, and when position na + nb lies beyond max_precision
  // (that position's digit is 0: its only partial product was taken away)
  // leave it out by dividing by ten.
  int top = n - 1;
  while (top >= 0 && prod[top] == 0) --top;
  const int digits = top < 0 ? 0 : 8 * top + digitCount(prod[top]);
  const int dropped = na + nb - plen;
  first = na + nb - digits + 1;
  count = digits - dropped;
  if (count <= 0) {
    count = 0;
  } else {
    if (dropped != 0) {
      // The product's count + 1 digits but the last: the same digits as
      // the product divided by ten.
      limbsToDigits<true>(prod, top + 1, z + 1, count);
    } else {
      limbsToDigits(prod, top + 1, z + 1, count);
    }
    z[0] = 0;
  }
  countFastPath();
  return true;
}

// ---- Division ------------------------------------------------------------------

// Long division in base 10 with a scaled divisor: the quotient digits of
// u[0 .. m + n] by v[1 .. n] (n >= 2, v[1] nonzero) into q[0 .. m]; u and v
// are scaled in place and w is the partial-product work area.
void divbcds(uint8_t *u, uint8_t *v, int n, uint8_t *q, int m, uint8_t *w) {
  const int f = 10 / (v[1] + 1);
  if (f >= 2) {
    int carry = 0;
    for (int k = n + m; k >= 1; --k) {
      const int t = u[k] * f + carry;
      u[k] = static_cast<uint8_t>(t % 10);
      carry = t / 10;
    }
    u[0] = static_cast<uint8_t>(carry);
    carry = 0;
    for (int k = n; k >= 1; --k) {
      const int t = v[k] * f + carry;
      v[k] = static_cast<uint8_t>(t % 10);
      carry = t / 10;
    }
  } else {
    u[0] = 0;
  }
  for (int j = 0; j <= m; ++j) {
    const int top = 10 * u[j] + u[j + 1];
    // v[1] is at least 5 after scaling; it can only be 0 when the divisor
    // held bytes that are not digits, which give unspecified digits but no
    // fault.
    int qhat = (u[j] == v[1] || v[1] == 0) ? 9 : top / v[1];
    while (qhat * v[2] > (top - qhat * v[1]) * 10 + u[j + 2]) --qhat;
    int carry = 0;
    for (int k = n; k >= 1; --k) {
      const int t = qhat * v[k] + carry;
      w[k] = static_cast<uint8_t>(t % 10);
      carry = t / 10;
    }
    w[0] = static_cast<uint8_t>(carry);
    int borrow = 0;
    for (int k = n; k >= 0; --k) {
      int t = u[j + k] - w[k] - borrow;
      borrow = 0;
      while (t < 0) {  // once for digits; more only for bytes that are not digits
        t += 10;
        ++borrow;
      }
      u[j + k] = static_cast<uint8_t>(t);
    }
    q[j] = static_cast<uint8_t>(qhat);
    if (borrow != 0) {
      q[j] = static_cast<uint8_t>(q[j] - 1);
      carry = 0;
      for (int k = n; k >= 1; --k) {
        const int t = u[j + k] + v[k] + carry;
        u[j + k] = static_cast<uint8_t>(t % 10);
        carry = t / 10;
      }
    }
  }
}

// Quotient of base-10^8 integers: q = u / v (un >= vn >= 1 limbs, top limb of
// v nonzero); u is used as work space.  Returns the quotient's limb count.
int divideLimbs(uint32_t *u, int un, const uint32_t *vIn, int vn, uint32_t *q) {
  const uint64_t base = kLimbBase;
  if (vn == 1) {
    // A multiplication by the reciprocal lands within a step or two of
    // each exact limb (t < 10^16), which the loops then reach, at a
    // fraction of a division's cost.
    const int64_t d = vIn[0];
    const double reciprocal = 1.0 / static_cast<double>(d);
    int64_t rem = 0;
    for (int i = un - 1; i >= 0; --i) {
      const int64_t t = rem * static_cast<int64_t>(base) + u[i];
      int64_t limb = static_cast<int64_t>(static_cast<double>(t) * reciprocal);
      rem = t - limb * d;
      while (rem < 0) {
        --limb;
        rem += d;
      }
      while (rem >= d) {
        ++limb;
        rem -= d;
      }
      q[i] = static_cast<uint32_t>(limb);
    }
    return un;
  }
  // Schoolbook division, one quotient limb per step.  Each limb is
  // estimated in floating point from the remainder's top three limbs and
  // the divisor's top two: the limbs left out change the ratio by less than
  // one part in 10^8, so the estimate is within two of the exact limb, and
  // the two loops below reach it exactly.  No scaling pass is needed.
  const uint32_t *v = vIn;
  u[un] = 0;
  const double b = static_cast<double>(base);
  const double reciprocal = 1.0 / (static_cast<double>(v[vn - 1]) * b + static_cast<double>(v[vn - 2]));
  // The remainder window u[j .. j + vn] against the divisor: nonzero when it
  // is at least v.
  auto windowAtLeastDivisor = [&](int j) {
    if (u[j + vn] != 0) return true;
    for (int i = vn - 1; i >= 0; --i)
      if (u[j + i] != v[i]) return u[j + i] > v[i];
    return true;
  };
  for (int j = un - vn; j >= 0; --j) {
    // A window whose top limb is below the divisor's top limb holds less
    // than the divisor: the quotient limb is 0 and the remainder stays.
    // (The leading limb of a dividend padded with zeros is often like that.)
    if (u[j + vn] == 0 && u[j + vn - 1] < v[vn - 1]) {
      q[j] = 0;
      continue;
    }
    const double top = (static_cast<double>(u[j + vn]) * b + static_cast<double>(u[j + vn - 1])) * b +
                       static_cast<double>(u[j + vn - 2]);
    int64_t qhat = static_cast<int64_t>(top * reciprocal);
    if (qhat >= static_cast<int64_t>(base)) qhat = static_cast<int64_t>(base) - 1;
    // u[j .. j + vn] -= qhat * v.  Each product limb splits into a low
    // and a high part on its own; only the borrow (0 to 2, taken without
    // branches) runs from limb to limb.
    int64_t borrow = 0;
    uint64_t previousHigh = 0;
    for (int i = 0; i < vn; ++i) {
      const uint64_t product = static_cast<uint64_t>(qhat) * v[i];
      const uint64_t high = product / base;
      const uint64_t low = product - high * base;
      int64_t t = static_cast<int64_t>(u[i + j]) - static_cast<int64_t>(low + previousHigh) - borrow;
      int64_t negative = t >> 63;
      t += negative & static_cast<int64_t>(base);
      borrow = -negative;
      negative = t >> 63;
      t += negative & static_cast<int64_t>(base);
      borrow -= negative;
      u[i + j] = static_cast<uint32_t>(t);
      previousHigh = high;
    }
    const int64_t carry = -static_cast<int64_t>(previousHigh) - borrow;
    int64_t high = static_cast<int64_t>(u[j + vn]) + carry;
    while (high < 0) {  // the estimate was too large: add the divisor back
      --qhat;
      uint64_t c = 0;
      for (int i = 0; i < vn; ++i) {
        const uint64_t t = static_cast<uint64_t>(u[i + j]) + v[i] + c;
        u[i + j] = static_cast<uint32_t>(t % base);
        c = t / base;
      }
      high += static_cast<int64_t>(c);
    }
    u[j + vn] = static_cast<uint32_t>(high);
    while (windowAtLeastDivisor(j)) {  // too small: subtract once more
      ++qhat;
      int64_t borrow = 0;
      for (int i = 0; i < vn; ++i) {
        int64_t t = static_cast<int64_t>(u[i + j]) - v[i] - borrow;
        borrow = t < 0 ? 1 : 0;
        u[i + j] = static_cast<uint32_t>(t + (borrow ? static_cast<int64_t>(base) : 0));
      }
      u[j + vn] = static_cast<uint32_t>(static_cast<int64_t>(u[j + vn]) - borrow);
    }
    q[j] = static_cast<uint32_t>(qhat);
  }
  return un - vn + 1;
}

// The quotient digits q[0 .. m] of u[1 .. m + n] by v[1 .. n] as the exact
// integer quotient.  Returns false when a byte is not a digit.
bool longDivideFast(const uint8_t *u, const uint8_t *v, int n, uint8_t *q, int m) {
  uint32_t ul[kMaxLimbs + 1], vl[kMaxLimbs], ql[kMaxLimbs];
  int un = digitsToLimbs(u + 1, m + n, ul);
  const int vn = digitsToLimbs(v + 1, n, vl);
  if (un < 0 || vn < 0) return false;
  int qn = 0;
  if (un >= vn) qn = divideLimbs(ul, un, vl, vn, ql);
  limbsToDigits(ql, qn, q, m + 1);
  countFastPath();
  return true;
}

// The long division's quotient computed on binary integers: x's digits
// 1 .. m + n (zeros past its length) as an integer U, y's n digits as V, and
// Q = U / V, the exact integer quotient, which the long division's digits
// q[0 .. m] spell.  Q goes straight into q in the form finishQuotient leaves
// (normalized, trailing zero fraction digits trimmed); the caller has set
// q's sign and status.  U stays below 10^76 < 2^253, and Q below 10^(m+1)
// <= 10^38 fits 128 bits: operands past those sizes, or with bytes that are
// not digits, return -1 with q untouched.  Otherwise returns the bits of
// storePoint.
int divideBinary(const uint8_t *xd, int xlen, const uint8_t *yd, int n, int m, int point, BCD *q) {
  const int maxPrec = max_precision;
  const int xl = xlen < m + n ? xlen : m + n;
  if (xl > kWideDigits || n > kWideDigits || m + 1 > kWideDigits || m + n > 76) return -1;
  u128 x, y;
  if (!digitsToWide(xd + 1, xl, x) || !digitsToWide(yd + 1, n, y)) return -1;
  uint64_t u[kWideWords] = {static_cast<uint64_t>(x), static_cast<uint64_t>(x >> 64), 0, 0};
  const int uw = multiplyByPowerOfTen(u, 2, m + n - xl);
  const uint64_t v[2] = {static_cast<uint64_t>(y), static_cast<uint64_t>(y >> 64)};
  uint64_t quotient[kWideWords], rem[2];
  uint32_t limbs[6];
  int nl;
  if (v[1] == 0 && m + 1 > 19 && m <= 34) {
    // A one-word divisor and a quotient that may pass 64 bits (up to 35
    // digits): its sixteen-digit chunks come from U / (V * 10^16), below
    // 10^19, and the remainder of that by V, below 10^16.  Two hardware
    // divisions instead of two for the quotient and two more to split it.
    const u128 scaled = static_cast<u128>(v[0]) * kBase16;
    const uint64_t w[2] = {static_cast<uint64_t>(scaled), static_cast<uint64_t>(scaled >> 64)};
    divideWide(u, uw, w, w[1] != 0 ? 2 : 1, quotient, rem);
    uint64_t unused;
    const uint64_t chunks[3] = {divideWord(rem[1], rem[0], v[0], unused), quotient[0] % kBase16,
                                quotient[0] / kBase16};
    nl = chunksToLimbs(chunks, limbs);
  } else {
    divideWide(u, uw, v, v[1] != 0 ? 2 : 1, quotient, rem);
    nl = wideToLimbs(quotient[1], quotient[0], limbs);
  }
  countFastPath();
  if (nl == 0) {
    makeCanonicalZero(q);
    return 0;
  }
  // Q has digits digits, at most m + 1: its first digit lands in position
  // 1 and the point moves by the leading zeros the long division would
  // have produced.  Only a quotient of m + 1 = max_precision + 1 digits
  // loses its last one.
  uint8_t *d = digitsOf(q);
  const int digits = 8 * (nl - 1) + digitCount(limbs[nl - 1]);
  int count = digits;
  if (digits > maxPrec) {
    count = maxPrec;
    limbsToDigits<true>(limbs, nl, d + 1, count);
  } else {
    limbsToDigits(limbs, nl, d + 1, digits);
  }
  d[0] = 0;
  clearDigits(d, count + 1, maxPrec);
  const int newPoint = point - m + digits;
  while (count > 0 && count > newPoint && d[count] == 0) --count;
  q->length = static_cast<uint8_t>(count);
  return storePoint(q, newPoint);
}

// q[1 .. m] = the first m digits of x divided by the digit d, q[0] = 0.
void shortDivideReference(const uint8_t *x, int d, uint8_t *q, int m) {
  int rem = 0;
  for (int k = 1; k <= m; ++k) {
    const int t = rem * 10 + x[k];
    q[k] = static_cast<uint8_t>(t / d);
    rem = t % d;
  }
  q[0] = 0;
}

// The same eight digits at a time.  Returns false when a byte is not a digit.
bool shortDivideFast(const uint8_t *x, int d, uint8_t *q, int m) {
  if (d > 9) return false;
  uint64_t rem = 0;
  int k = 1;
  for (; k + 7 <= m; k += 8) {
    const uint64_t chunk = load64(x + k);
    if (badDigits(chunk) != 0) return false;
    const uint64_t t = rem * kLimbBase + digits8ToValue(chunk);
    store64(q + k, valueToDigits8(static_cast<uint32_t>(t / d)));
    rem = t % d;
  }
  for (; k <= m; ++k) {
    if (x[k] > 9) return false;
    const uint64_t t = rem * 10 + x[k];
    q[k] = static_cast<uint8_t>(t / d);
    rem = t % d;
  }
  q[0] = 0;
  countFastPath();
  return true;
}

// Normalizes and trims the quotient digits in q[0 .. length] whose position 0
// weighs 10^point, then stores length and point.  Returns the bits of a point
// outside -128..127.
uint8_t finishQuotient(BCD *q, int length, int point) {
  uint8_t *d = digitsOf(q);
  length = normalizeDigits(d, length, &point);
  if (length < 0) {
    makeCanonicalZero(q);
    return 0;
  }
  while (length > 0 && length > point && d[length] == 0) --length;
  q->length = static_cast<uint8_t>(length);
  return storePoint(q, point);
}

}  // namespace
}  // namespace ov::bcd

using namespace ov::bcd;

extern "C" {

OV_API uint8_t bcd_mult(const BCD *a, const BCD *b, BCD *r) {
  const int maxPrec = max_precision;
  int na = lengthOf(a);
  int nb = lengthOf(b);
  uint8_t bits = 0;
  if (na + nb > maxPrec) {
    // Shorten the operands at the right so that the product fits: first the
    // fraction digits of the operand that has more of them, then both.
    int excess = na + nb - maxPrec - 1;
    const int fa = na - a->point;
    const int fb = nb - b->point;
    if (fa > fb) na -= fa - fb < excess ? fa - fb : excess;
    if (fb > fa) nb -= fb - fa < excess ? fb - fa : excess;
    if (na + nb > maxPrec) {
      excess = na + nb - maxPrec - 1;
      if (nb > na) {
        na -= excess / 2;
        nb -= excess - excess / 2;
      } else {
        nb -= excess / 2;
        na -= excess - excess / 2;
      }
    }
    bits = BCD_TRUNCATED;
    if (na < a->point || nb < b->point) bits |= BCD_OVERFLOW;
  }

  // Product positions 0 .. na + nb; na + nb may be max_precision + 1 after
  // shortening, but the product's length is capped at max_precision: the
  // position beyond is never computed and does not count.
  const int plen = na + nb > maxPrec ? maxPrec : na + nb;
  const uint8_t *x = digitsOf(a);
  const uint8_t *y = digitsOf(b);
  uint8_t *z = digitsOf(r);
  int first = 0, len = 0;
  if (forceLiteralPaths || !multiplyFast(x, na, y, nb, plen, z, first, len)) {
    uint8_t product[256 + 8];
    multiplyReference(x, na, y, nb, product);
    first = 1;
    while (first <= plen && product[first] == 0) ++first;
    len = plen - (first - 1);
    if (len > 0) {
      z[0] = 0;
      copyBytes(z + 1, product + first, len);
    }
  }
  if (len <= 0) {
    makeCanonicalZero(r);
  } else {
    clearDigits(z, len + 1, maxPrec);
    r->length = static_cast<uint8_t>(len);
    r->sign = static_cast<int8_t>(a->sign * b->sign);
    bits |= storePoint(r, a->point + b->point - (first - 1));
  }
  if (r->point > maxPrec - max_scale) bits |= BCD_OVERFLOW;
  bits |= a->status | b->status;
  // The product stores its bits whatever its value: a zero product is
  // length 0, point 0, sign +1 with these bits in its status byte.
  r->status = bits;
  return bits;
}

OV_API uint8_t bcd_div(const BCD *a, const BCD *b, BCD *q) {
  const int maxPrec = max_precision;
  const int maxScale = max_scale;
  // Normalized working copies; operands already in that form (the usual
  // case) are read in place instead.
  WorkNumber xCopy, yCopy;
  const BCD *x = a;
  const BCD *y = b;
  uint8_t lost = 0;
  if (forceLiteralPaths || !isNormalizedNonzero(a)) {
    xCopy.load(a);
    lost |= normalize(xCopy.get());
    x = xCopy.get();
  }
  if (forceLiteralPaths || !isNormalizedNonzero(b)) {
    yCopy.load(b);
    lost |= normalize(yCopy.get());
    y = yCopy.get();
  }
  uint8_t bits = static_cast<uint8_t>(x->status | y->status);
  q->status = bits;
  if (lengthOf(y) == 0) {
    q->status |= BCD_DIVZERO;
    return static_cast<uint8_t>(q->status | lost);
  }
  bits |= lost;
  const int8_t sign = static_cast<int8_t>(x->sign * y->sign);
  int m = x->point - y->point + maxScale + 1;
  if (m > maxPrec) m = maxPrec;
  if (m < 0) {
    makeCanonicalZero(q);
    return bits;
  }
  uint8_t *qd = digitsOf(q);
  const int n = lengthOf(y);
  int point = x->point - y->point;
  uint8_t rangeBits = 0;
  const uint8_t *xd = digitsOf(x);
  if (n == 1) {
    const int d = digitsOf(y)[1];
    if (forceLiteralPaths || !shortDivideFast(xd, d, qd, m)) {
      shortDivideReference(xd, d, qd, m);
    }
    point += 1;
    // Checked on the quotient's point before normalizing.
    if (point > maxPrec - maxScale) rangeBits = BCD_TRUNCATED | BCD_OVERFLOW;
  } else {
    q->sign = sign;
    const int fast = forceLiteralPaths ? -1 : divideBinary(xd, lengthOf(x), digitsOf(y), n, m, point, q);
    if (fast >= 0) {
      bits |= static_cast<uint8_t>(fast);
      if (q->point > maxPrec - maxScale) rangeBits = BCD_TRUNCATED | BCD_OVERFLOW;
      return static_cast<uint8_t>(bits | rangeBits);
    }
    // The working dividend: x's digits, then zeros up to position m + n.
    uint8_t u[kMaxDividend];
    const int xlen = lengthOf(x);
    copyBytes(u, xd, xlen + 1);
    if (m + n > xlen) clearBytes(u + xlen + 1, m + n - xlen);
    if (forceLiteralPaths || !longDivideFast(u, digitsOf(y), n, qd, m)) {
      // The long division scales the divisor: it needs a copy of its own.
      WorkNumber v;
      v.load(y);
      uint8_t w[256 + 8];
      divbcds(u, v.digits(), n, qd, m, w);
    }
  }
  clearDigits(qd, m + 1, maxPrec);
  q->sign = sign;
  bits |= finishQuotient(q, m, point);
  if (n >= 2 && q->point > maxPrec - maxScale) rangeBits = BCD_TRUNCATED | BCD_OVERFLOW;
  return static_cast<uint8_t>(bits | rangeBits);
}

}  // extern "C"
