/*
 * ovbase/bcd.h - exact fixed-point decimal numbers (binary-coded decimal).
 *
 * Conventions:
 *  - A decimal number is a caller-owned buffer of exactly
 *    bcd_maxprec() + 5 bytes laid out as struct BCD: a four-byte header and
 *    digit positions 0 .. bcd_maxprec(), one decimal digit 0-9 per byte.
 *    The digit at position k weighs 10^(point - k).  Every position past
 *    `length` holds 0.  Get one with bcd_allocate, give it back with
 *    bcd_free.
 *  - The canonical zero is length 0, point 0, sign +1, status 0 and all
 *    digit positions 0.  A zero sum, difference, quotient, rounding or
 *    unpacking is the canonical zero, status byte included, even where the
 *    operands carried status bits (the bits are still returned).  A zero
 *    product is length 0, point 0, sign +1 and zero digits with the
 *    product's bits in its status byte, like every product.  The text
 *    reader keeps what it read: "-0" reads as length 0 with sign -1.  A number of length 0 is
 *    zero whatever its other bytes say; a zero whose sign byte is -1 or 0
 *    (from "-0", bcd_chgSign or bcd_allocate) adds and subtracts as plain
 *    zero.
 *  - Damaged records: a length byte above max_precision is read as
 *    max_precision, so no function reads or writes outside a number's
 *    max_precision + 5 bytes.  Bytes that are not digits 0-9 give
 *    unspecified digits but never a fault.
 *  - The point byte is signed 8-bit.  A number made by any function (the
 *    text and float readers included) whose point, once normalized, would
 *    lie above 127 keeps point 127 and reports BCD_OVERFLOW (its value is
 *    then wrong by the missing powers of ten); one whose normalized point
 *    would lie below -128 (its first nonzero digit weighing less than
 *    10^-129) becomes the canonical zero and reports BCD_TRUNCATED, so every
 *    function sees the same value.  This matters only for large limits or
 *    repeated products of very large or very small numbers.
 *  - Working copies live on the stack: no arithmetic function allocates, so
 *    none can fail for want of memory.  bcd_allocate is the only decimal
 *    function of this group that takes heap memory.
 *  - Results are truncated, never rounded.  Most functions return decimal
 *    status bits (BCD_TRUNCATED, BCD_OVERFLOW, BCD_DIVZERO, BCD_TEXTCUT);
 *    arithmetic results also keep the operands' bits in their `status`
 *    byte.  -1 means an argument out of range; 255 (BCD_SYNTAX) means text
 *    the reader rejects.
 *  - A result number must be distinct from the operands of the same call.
 *  - The limits max_precision (32) and max_scale (16) are process-wide and
 *    are set with bcd_setGlobals before any number is allocated and before
 *    other threads do decimal work; they must not be raised while numbers
 *    exist.  Otherwise numbers belong to one thread at a time; no locks.
 *    Every function, the floating-point conversions included, may run in
 *    several threads at once on distinct numbers.
 *  - Null number pointers are not accepted.
 */
#ifndef OVBASE_BCD_H
#define OVBASE_BCD_H

#include "ovdefs.h"
#include <wchar.h>

OV_BEGIN_DECLS

/* Decimal status bits. */
#define BCD_TRUNCATED 1   /* digits dropped at the right, or too many fraction digits */
#define BCD_OVERFLOW  2   /* digits dropped at the left, integer part too long, or no fit */
#define BCD_DIVZERO   4   /* division by zero */
#define BCD_TEXTCUT   8   /* text output buffer too small (writers only) */
#define BCD_SYNTAX    255 /* the text reader rejected the text */

/* A decimal number: bcd_maxprec() + 5 bytes. */
/* C++ has no flexible array member in its standard but both compilers of
   the platform accept it with the C layout; only the pedantic warning is
   silenced, for this record alone. */
#ifdef __cplusplus
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"
#endif
typedef struct BCD {
  uint8_t length;   /* digit positions in use, counted from 1; 0 is zero */
  int8_t point;     /* digit positions before the decimal point (may be <= 0) */
  uint8_t status;   /* decimal status bits accumulated in this number */
  int8_t sign;      /* +1 or -1 */
  uint8_t digits[]; /* positions 0 .. max_precision; 0 is the carry position */
} BCD;
#ifdef __cplusplus
#pragma GCC diagnostic pop
#endif

/* ---- Limits, storage and packing ------------------------------------------ */

/* Returns a new all-zero number (the value zero, sign byte 0) of
   bcd_maxprec() + 5 bytes, allocated with memCtx as its memory context (tag
   180201502), or null when memory runs out (nothing is allocated then).
   The caller releases it with bcd_free. */
OV_API BCD *bcd_allocate(void *memCtx);

/* Releases a number from bcd_allocate.  Null does nothing. */
OV_API void bcd_free(BCD *x);

/* Sets max_precision and max_scale.  Returns 0, or -1 (and changes nothing)
   when either is above 255.  scale is not checked against precision. */
OV_API int bcd_setGlobals(uint16_t precision, uint16_t scale);

/* Return the current max_precision and max_scale. */
OV_API uint8_t bcd_maxprec(void);
OV_API uint8_t bcd_maxscale(void);

/* Returns 1 when x's length is 0 (the value zero), else 0. */
OV_API int bcd_isZero(const BCD *x);

/* Returns 0 for a number of length 0, else its sign byte (+1 or -1). */
OV_API int bcd_sign(const BCD *x);

/* Negates x's sign byte in place (also for zero: 0 becomes a zero with sign
   byte -1, which still counts as zero everywhere). */
OV_API void bcd_chgSign(BCD *x);

/* Writes x as a packed decimal of the given precision and scale into out
   (ceil(precision / 2) + 4 bytes): p, s, a status byte (0x80 for zero or a
   positive number, 0x40 always, plus the bits of the packing), the p digits
   two per byte (nines' complement when negative), the status byte again.
   A packing that keeps no nonzero digit is the positive zero (0x80), also
   for a negative x: -0.05 at scale 0 packs as +0 with BCD_TRUNCATED.
   Under one precision and scale the packed bytes compare (memcmp) like
   the values kept when both packings report the same bits, and like the
   values themselves when neither lost anything; the status byte comes
   before the digits, so bits that differ decide the order instead.
   The digits are x truncated to p - s integer and s fraction digits.
   Returns -1 when precision exceeds max_precision or scale exceeds
   max_scale (out untouched), else the bits of the packing:
   BCD_TRUNCATED when fraction digits beyond s are dropped (trailing zeros
   included), BCD_OVERFLOW when x's point (normalized) lies above p - s,
   that is when integer digits beyond p - s are dropped, and also for a
   zero (point 0) when the scale exceeds the precision: 0 at precision 2,
   scale 5 packs as 0xC2 and zeros with BCD_OVERFLOW.
   Digits falling off either end are simply gone: 1E40 with precision 5
   stores five zeros with BCD_OVERFLOW; 0.05 with scale 0 stores zeros with
   BCD_TRUNCATED.  x is not changed. */
OV_API int bcd_pack(const BCD *x, uint8_t *out, uint8_t precision, uint8_t scale);

/* Reads a packed decimal into x, normalized, with the packing bits in x's
   status byte; a non-zero trimZeros drops trailing zero fraction digits.
   A packed zero gives the canonical zero (status 0, point 0 whatever the
   scale).  Returns -1 (x untouched) when the packed precision or scale
   exceeds the current limits, or when the value's point would lie outside
   -128..127 (possible only with limits above 127); else 0. */
OV_API int bcd_unpack(const uint8_t *in, BCD *x, uint16_t trimZeros);

/* ---- Arithmetic ------------------------------------------------------------- */

/* r = a + b, normalized; a and b are not changed.  The operands are brought
   to a common point: digits shifted past max_precision are dropped
   (BCD_TRUNCATED); an operand shifted out completely reads as zero
   (BCD_OVERFLOW) and the common length becomes max_precision.  A carry out
   of a full-length sum drops the last digit (BCD_TRUNCATED).  Trailing zero
   fraction digits stay (0.5 + 0.5 = 1.0).  r's status byte holds the
   operands' bits and the alignment bits (0 for a zero result; when the
   magnitudes are subtracted, a zero operand contributes no bits); the return
   value adds the carry bit and the range bits: BCD_OVERFLOW for more than
   max_precision - max_scale integer digits, BCD_TRUNCATED for more than
   max_scale fraction digits (those digits are kept).  Zeros of any sign
   byte are plain zero: 0 + 5 = 5, -0 - (-5) = 5, -0 - 0 = the canonical
   zero. */
OV_API uint8_t bcd_add(const BCD *a, const BCD *b, BCD *r);

/* r = a - b, normalized; as bcd_add in every other respect. */
OV_API uint8_t bcd_sub(const BCD *a, const BCD *b, BCD *r);

/* Orders a against b (on normalized copies; a and b are not changed).
   Different signs: a's sign minus b's (+2 or -2; zero counts as positive).
   Same sign: the difference of the points when they differ (-1 or +1
   against a zero), else of the first differing digits; negated for
   negative numbers.  So -1 vs 1 is -2, 2 vs 1 is 1, -2 vs -1 is -1, and
   0.05 with a leading zero digit equals 0.05 normalized (0). */
OV_API int bcd_compare(const BCD *a, const BCD *b);

/* Round x in place up (ceiling, towards +infinity) or down (floor, towards
   -infinity) to a whole number; length becomes point.  Trailing zero
   fraction digits are dropped first, so 3.0 is already whole (3.0 -> 3,
   not 4).  x's status byte is kept, except that a zero result is the
   canonical zero (status 0): ceiling(-0.5) is +0.  A number whose point
   lies beyond max_precision keeps its digits with length max_precision. */
OV_API void bcd_ceiling(BCD *x);
OV_API void bcd_floor(BCD *x);

/* r = a * b; a and b are not changed.  When the operands have more than
   max_precision digits together they are cut at the right first (fraction
   digits of the operand with more of them first, then both) and the
   product position one beyond max_precision is never computed, so its carry
   is lost: such a product's last kept digit may be lower than the exact
   product cut at the same place.  The product's length is capped at
   max_precision before its leading zero, if any, is normalized away (so a
   cut product can hold max_precision - 1 digits).  Returns BCD_TRUNCATED when operands were
   cut, BCD_OVERFLOW when integer digits were cut or the product has more
   than max_precision - max_scale integer digits (all kept), plus the
   operands' bits; the same bits are stored in r's status byte, also when
   the product is zero.  The number of fraction digits is not checked. */
OV_API uint8_t bcd_mult(const BCD *a, const BCD *b, BCD *r);

/* q = a / b truncated, normalized and without trailing zero fraction
   digits; a and b are not changed.  The quotient is cut after max_scale
   fraction digits for a one-digit divisor (1 / 3 = 0.3333333333333333) and
   max_scale + 1 for a longer one (1 / 30 = 0.03333333333333333), and to
   max_precision digit positions in all; a quotient below that reach is the
   canonical zero.  Returns the operands' bits (also stored in q's status
   byte; 0 for a zero quotient) plus BCD_TRUNCATED | BCD_OVERFLOW when the
   integer part is longer than max_precision - max_scale (for a one-digit
   divisor judged on the point before normalizing, so 1E16 / 5 reports it).
   Division by zero returns BCD_DIVZERO with the operands' bits, stores the
   same in q's status byte and leaves the rest of q unchanged. */
OV_API uint8_t bcd_div(const BCD *a, const BCD *b, BCD *q);

/* ---- Text ------------------------------------------------------------------- */

/* Reads x from NUL-terminated narrow or wide text (a null text reads as the
   empty text).  Accepted: leading blanks (the space character only), an
   optional '+' or '-' and optional blanks, digits with at most one '.' (at
   least a digit or the point; "." alone is zero), then the end of the text
   or optional blanks, 'e' or 'E', an optional exponent sign and one or more
   exponent digits, then the end.  Digits are the ten characters '0' to '9'
   (the C library's digit class in every locale); wide characters are
   compared as unsigned values, so only the plain characters above match.
   Returns 0 (accepted, nothing lost), BCD_SYNTAX (rejected, nothing lost) or
   the lost bits 1 to 3 (also when the text was rejected).
   The sign byte becomes +1 or -1 ("-0" keeps -1) and every digit position is
   rewritten; leading zeros of the integer part are not stored, zeros after
   the point are, so the result need not be normalized ("0.05" reads as
   digits 0,5 with point 0).  The status byte is left as it was, except that
   a result that is the canonical zero (below) has status 0.  On rejection
   the digits read so far are kept, with length and point set as for
   accepted text.  An exponent sets the point and, when nonzero, extends the
   length: "1e3" is digits 1,0,0,0 with point 4 and "5e-3" digits 5,0,0 with
   point -2.  Losses: mantissa digits beyond max_precision are dropped, the
   latest dropped digit deciding the bit (BCD_OVERFLOW before the point,
   BCD_TRUNCATED after it); a length above max_precision is cut to it
   (BCD_OVERFLOW), more than max_scale fraction digits are cut to max_scale
   (BCD_TRUNCATED), and when that cut leaves less than nothing the result is
   the canonical zero (length 0, point 0, sign +1, status 0).  Digits beyond
   the final length are cleared.
   The point byte holds -128 .. 127, and the reader follows the family's rule
   for points beyond it: a point that would lie above 127 stays at 127 with
   BCD_OVERFLOW (the digits are kept; the value is too small by the missing
   powers of ten), and a number whose normalized point would lie below -128
   (after the scale cut, zeros read after the point counted) becomes the
   canonical zero with BCD_TRUNCATED.  Exponent
   magnitudes too large for 32 bits saturate (they lie far outside that
   range anyway).
   Touches only the max_precision + 5 bytes of x, reads no character past
   the text's terminator, and allocates nothing. */
OV_API int bcd_fromChar(const char *text, BCD *x);
OV_API int bcd_fromWChar(const wchar_t *text, BCD *x);

/* Writes x (normalized on a copy; x is not changed) as plain positional
   text without exponent into buffer of size characters (wide characters for
   bcd_toWChar).  Returns 0, or BCD_TEXTCUT when the text had to be
   shortened; never writes past size (size 0 writes nothing, and buffer
   may then be null).  Allocates nothing.
   Examples: "123.45", "-0.5", "0.005", "100", "3.0" (trailing zero fraction
   digits are kept), zero as "0" and never with a sign.
   Size check for numbers of at least 1, and zero: the digits of x plus 2
   (point and terminator), plus 1 for the '-' of a negative number
   (bcd_toChar) or plus 1 whatever the sign (bcd_toWChar).  When that
   exceeds size, as many least significant digits are left out as the
   difference, integer digits included (100 in 4 characters is "10"); a
   dangling point is dropped ("-12.5" in 5 characters is "-12").  With no
   digit left the text is "0" ("-0" for a negative number); with one
   character less a negative number keeps only its sign ("-12.5" in 2
   characters is "-"); below that the text is empty (size 1) or nothing is
   written (size 0).
   A number with fewer digit positions than integer digits (length below
   point) is written with its length digits only.
   Numbers below 1 ("0.", then -point zeros, then the digits): the size
   check counts exactly the characters written, narrow or wide (the '-'
   only for a negative number, the leading "0" and those zeros), so a text
   that fits whole with its terminator is never cut: 0.005 fits 6
   characters.  Too small a buffer loses least significant digits; with
   none left the text is "0" (no sign), or empty when size is 1. */
OV_API int bcd_toChar(const BCD *x, char *buffer, uint32_t size);
OV_API int bcd_toWChar(const BCD *x, wchar_t *buffer, uint32_t size);

/* ---- Machine numbers -------------------------------------------------------- */

/* Store an integer in x: sign +1 or -1 (the most negative value converts
   exactly), digits at positions 1 .. count with length = point = count (0
   for the value 0), the remaining positions 0.  x's status byte is not
   written.  Return 0, or BCD_OVERFLOW when the value has more digits than
   max_precision (the max_precision least significant digits are kept).
   Narrow values are widened, then converted as 64-bit values. */
OV_API int bcd_fromInt8(int8_t value, BCD *x);
OV_API int bcd_fromInt16(int16_t value, BCD *x);
OV_API int bcd_fromInt32(int32_t value, BCD *x);
OV_API int bcd_fromInt64(int64_t value, BCD *x);
OV_API int bcd_fromUInt8(uint8_t value, BCD *x);
OV_API int bcd_fromUInt16(uint16_t value, BCD *x);
OV_API int bcd_fromUInt32(uint32_t value, BCD *x);
OV_API int bcd_fromUInt64(uint64_t value, BCD *x);

/* Store a floating-point value in x through text: the value is formatted
   with "%.*f" asking 14 (double) or 6 (float, widened to double)
   significant digits, that is budget - e fraction digits with e the integer
   part of log10|value|, then read with bcd_fromChar.  Return bcd_fromChar's
   result when nonzero (BCD_SYNTAX for NaN and infinities, which leave x
   reading as zero), else BCD_TRUNCATED when the fraction digits had to be
   limited to max_precision, else 0.  A value whose integer part has more
   digits than max_precision, or than the 127 a point byte can place,
   returns BCD_OVERFLOW and leaves x untouched.  The text buffer is large
   enough for every text the limits allow (up to 255 digits), so nothing is
   cut for want of room.  The result does not depend on the process's or
   the thread's locale (a comma decimal point changes nothing), and no
   locale setting is touched. */
OV_API int bcd_fromFloat(float value, BCD *x);
OV_API int bcd_fromDouble(double value, BCD *x);

/* Convert x (normalized on a copy; x is not changed) to an integer,
   truncating towards zero, and store it in *out.  Return the bits:
   BCD_OVERFLOW when the integer part does not fit the target (out receives
   the low bits of the integer part with the sign applied) or when x is
   negative and the target unsigned (out receives 0); BCD_TRUNCATED when x
   has digit positions after its point (length > point, zero digits
   included: 3.0 reports it; 1E40 stored with fewer digits than integer
   positions does not) or is a nonzero value below 1.  The narrow targets
   convert through the 64-bit conversion of the same signedness and add
   BCD_OVERFLOW when that result lies outside their range. */
OV_API int bcd_toInt8(const BCD *x, int8_t *out);
OV_API int bcd_toInt16(const BCD *x, int16_t *out);
OV_API int bcd_toInt32(const BCD *x, int32_t *out);
OV_API int bcd_toInt64(const BCD *x, int64_t *out);
OV_API int bcd_toUInt8(const BCD *x, uint8_t *out);
OV_API int bcd_toUInt16(const BCD *x, uint16_t *out);
OV_API int bcd_toUInt32(const BCD *x, uint32_t *out);
OV_API int bcd_toUInt64(const BCD *x, uint64_t *out);

/* Convert x to a floating-point value through text: bcd_toChar, then the C
   library's reading of that text (narrowed to float for bcd_toFloat),
   whatever the process's or the thread's locale, and touching no locale
   setting.  Return BCD_TRUNCATED when x's
   length exceeds 15 (double) or 6 (float) digit positions, else 0.  The
   text buffer holds every text a number can produce, so BCD_TEXTCUT does
   not occur. */
OV_API int bcd_toFloat(const BCD *x, float *out);
OV_API int bcd_toDouble(const BCD *x, double *out);

OV_END_DECLS

#endif /* OVBASE_BCD_H */
