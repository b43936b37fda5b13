/*
 * bcd_core.cpp - decimal numbers: allocation, the process-wide limits, sign
 * and zero tests, and the packed storage form.
 */
#include "bcd/bcd_internal.h"
#include "ovbase/platform.h"

namespace ov::bcd {
namespace {

constexpr uint32_t kTagAllocate = 180201502;

constexpr uint8_t kPackedPositive = 0x80;
constexpr uint8_t kPackedMarker = 0x40;
constexpr uint8_t kPackedBits = BCD_TRUNCATED | BCD_OVERFLOW;

// Gives the normalized number x exactly p digit positions, s of them after
// the point, by truncation.  Output position j takes the digit that sat at
// position j - lead, where lead = p - s - point is the number of leading
// zeros to insert (negative: integer digits that do not fit).  Returns and
// stores BCD_TRUNCATED when fraction digits beyond s are dropped and
// BCD_OVERFLOW whenever the point lies above p - s (lead < 0): integer
// digits beyond p - s are dropped, and a zero (point 0) packed with a scale
// above its precision reports it too, having no room for the position
// before the point.  Dropping can never make the length negative: digits
// that fall off either end are simply gone.  Afterwards length is p and
// point p - s (kept within -128..127; the caller does not use it).
uint8_t adjust(BCD *x, int p, int s) {
  uint8_t *d = digitsOf(x);
  const int len = x->length;
  const int point = x->point;
  const int lead = p - s - point;
  const int tail = s - (len - point);
  uint8_t bits = 0;
  if (tail < 0) bits |= BCD_TRUNCATED;
  if (lead < 0) bits |= BCD_OVERFLOW;

  auto source = [&](int j) -> uint8_t {
    const int k = j - lead;
    return (k >= 1 && k <= len) ? d[k] : 0;
  };
  if (lead > 0) {
    for (int j = p; j >= 1; --j) d[j] = source(j);
  } else {
    for (int j = 1; j <= p; ++j) d[j] = source(j);
  }
  d[0] = 0;
  clearBytes(d + p + 1, max_precision - p);
  x->length = static_cast<uint8_t>(p);
  int newPoint = p - s;
  if (newPoint > INT8_MAX) newPoint = INT8_MAX;
  if (newPoint < INT8_MIN) newPoint = INT8_MIN;
  x->point = static_cast<int8_t>(newPoint);
  x->status = bits;
  return bits;
}

int packedDigitBytes(int precision) { return (precision + 1) / 2; }

}  // namespace
}  // namespace ov::bcd

using namespace ov::bcd;

extern "C" {

OV_API BCD *bcd_allocate(void *memCtx) {
  return static_cast<BCD *>(ov_getMem(numberBytes(), memCtx, MEM_ZERO, nullptr, kTagAllocate));
}

OV_API void bcd_free(BCD *x) { ov_freeMemory(x, nullptr); }

OV_API int bcd_setGlobals(uint16_t precision, uint16_t scale) {
  if (precision > UINT8_MAX || scale > UINT8_MAX) return -1;
  max_precision = static_cast<uint8_t>(precision);
  max_scale = static_cast<uint8_t>(scale);
  return 0;
}

OV_API uint8_t bcd_maxprec(void) { return max_precision; }
OV_API uint8_t bcd_maxscale(void) { return max_scale; }

OV_API int bcd_isZero(const BCD *x) { return x->length == 0 ? 1 : 0; }

OV_API int bcd_sign(const BCD *x) { return x->length == 0 ? 0 : x->sign; }

OV_API void bcd_chgSign(BCD *x) { x->sign = static_cast<int8_t>(-x->sign); }

OV_API int bcd_pack(const BCD *x, uint8_t *out, uint8_t precision, uint8_t scale) {
  if (precision > max_precision || scale > max_scale) return -1;
  WorkNumber copy;
  copy.load(x);
  const uint8_t lost = normalize(copy.get());
  const uint8_t bits = static_cast<uint8_t>(adjust(copy.get(), precision, scale) | lost);

  const int digitBytes = packedDigitBytes(precision);
  out[0] = precision;
  out[1] = scale;
  std::memset(out + 3, 0, digitBytes);
  // A packing that keeps no nonzero digit is the positive zero, whatever
  // the sign of the number it came from (-0.05 at scale 0 packs as 0x80).
  const uint8_t *kept = copy.digits();
  bool anyDigit = false;
  for (int k = 1; k <= precision; ++k) anyDigit |= kept[k] != 0;
  const bool negative = anyDigit && copy->sign <= 0;
  const uint8_t status =
      static_cast<uint8_t>(bits | kPackedMarker | (negative ? 0 : kPackedPositive));
  out[2] = status;
  out[3 + digitBytes] = status;

  const uint8_t *d = kept;
  uint8_t *packed = out + 3;
  for (int k = 1; k <= precision; ++k) {
    const uint8_t digit = negative ? static_cast<uint8_t>(9 - d[k]) : d[k];
    if (k % 2 == 1) {
      *packed = static_cast<uint8_t>(digit << 4);
    } else {
      *packed = static_cast<uint8_t>(*packed | (digit & 0x0F));
      ++packed;
    }
  }
  return bits;
}

OV_API int bcd_unpack(const uint8_t *in, BCD *x, uint16_t trimZeros) {
  const int precision = in[0];
  const int scale = in[1];
  if (precision > max_precision || scale > max_scale) return -1;
  const bool negative = (in[2] & kPackedPositive) == 0;
  auto digitAt = [&](int k) -> uint8_t {  // k = 0 .. precision - 1
    const uint8_t byte = in[3 + k / 2];
    const uint8_t nibble = static_cast<uint8_t>(k % 2 == 0 ? byte >> 4 : byte & 0x0F);
    return negative ? static_cast<uint8_t>(9 - nibble) : nibble;
  };
  int first = 0;
  while (first < precision && digitAt(first) == 0) ++first;
  const int count = precision - first;
  const int point = count - scale;
  // A value whose point cannot be held in the signed point byte is refused
  // like any other out-of-range argument.
  if (count > 0 && (point > INT8_MAX || point < INT8_MIN)) return -1;
  if (count == 0) {
    makeCanonicalZero(x);
    return 0;
  }
  uint8_t *d = digitsOf(x);
  clearBytes(d, max_precision + 1);
  for (int k = first; k < precision; ++k) d[k - first + 1] = digitAt(k);
  x->sign = negative ? -1 : 1;
  x->length = static_cast<uint8_t>(count);
  x->point = static_cast<int8_t>(point);
  x->status = static_cast<uint8_t>(in[2] & kPackedBits);
  if (trimZeros != 0) trim(x);
  return 0;
}

}  // extern "C"
