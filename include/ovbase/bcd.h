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
typedef struct BCD {
  uint8_t length;   /* digit positions in use, counted from 1; 0 is zero */
  int8_t point;     /* digit positions before the decimal point (may be <= 0) */
  uint8_t status;   /* decimal status bits accumulated in this number */
  int8_t sign;      /* +1 or -1 */
  uint8_t digits[]; /* positions 0 .. max_precision; 0 is the carry position */
} BCD;

/* ---- Limits, storage and packing ------------------------------------------ */

/* Returns a new all-zero number (the value zero) of bcd_maxprec() + 5 bytes,
   allocated with memCtx as its memory context, or null. */
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

/* Negates x's sign byte in place. */
OV_API void bcd_chgSign(BCD *x);

/* Writes x as a packed decimal of the given precision and scale into out
   (ceil(precision / 2) + 4 bytes).  Returns -1 when precision exceeds
   max_precision or scale exceeds max_scale (out untouched), else the
   BCD_TRUNCATED / BCD_OVERFLOW bits of the packing.  x is not changed. */
OV_API int bcd_pack(const BCD *x, uint8_t *out, uint8_t precision, uint8_t scale);

/* Reads a packed decimal into x; a non-zero trimZeros drops trailing zero
   fraction digits.  Returns -1 (x untouched) when the packed precision or
   scale exceeds the current limits, else 0. */
OV_API int bcd_unpack(const uint8_t *in, BCD *x, uint16_t trimZeros);

/* ---- Arithmetic ------------------------------------------------------------- */

/* r = a + b, normalized.  Returns the status bits. */
OV_API uint8_t bcd_add(const BCD *a, const BCD *b, BCD *r);

/* r = a - b, normalized.  Returns the status bits. */
OV_API uint8_t bcd_sub(const BCD *a, const BCD *b, BCD *r);

/* Returns a value whose sign orders a against b: negative, 0 or positive. */
OV_API int bcd_compare(const BCD *a, const BCD *b);

/* Round x in place up (ceiling) or down (floor) to a whole number. */
OV_API void bcd_ceiling(BCD *x);
OV_API void bcd_floor(BCD *x);

/* r = a * b, truncated to max_precision digit positions.  Returns the status
   bits, also stored in r's status byte. */
OV_API uint8_t bcd_mult(const BCD *a, const BCD *b, BCD *r);

/* q = a / b, truncated.  Returns the status bits.  Division by zero returns
   BCD_DIVZERO with the operands' bits and leaves q's value unchanged. */
OV_API uint8_t bcd_div(const BCD *a, const BCD *b, BCD *q);

/* ---- Text ------------------------------------------------------------------- */

/* Read x from NUL-terminated narrow or wide text.  Return 0, BCD_SYNTAX, or
   the lost bits (1 to 3) even when the text was rejected. */
OV_API int bcd_fromChar(const char *text, BCD *x);
OV_API int bcd_fromWChar(const wchar_t *text, BCD *x);

/* Write x as text into buffer of size characters.  Return 0, or BCD_TEXTCUT
   when digits had to be left out.  Never write past size. */
OV_API int bcd_toChar(const BCD *x, char *buffer, uint32_t size);
OV_API int bcd_toWChar(const BCD *x, wchar_t *buffer, uint32_t size);

/* ---- Machine numbers -------------------------------------------------------- */

/* Convert an integer or floating-point value into x.  Return status bits. */
OV_API int bcd_fromInt8(int8_t value, BCD *x);
OV_API int bcd_fromInt16(int16_t value, BCD *x);
OV_API int bcd_fromInt32(int32_t value, BCD *x);
OV_API int bcd_fromInt64(int64_t value, BCD *x);
OV_API int bcd_fromUInt8(uint8_t value, BCD *x);
OV_API int bcd_fromUInt16(uint16_t value, BCD *x);
OV_API int bcd_fromUInt32(uint32_t value, BCD *x);
OV_API int bcd_fromUInt64(uint64_t value, BCD *x);
OV_API int bcd_fromFloat(float value, BCD *x);
OV_API int bcd_fromDouble(double value, BCD *x);

/* Convert x into an integer or floating-point value.  Return status bits. */
OV_API int bcd_toInt8(const BCD *x, int8_t *out);
OV_API int bcd_toInt16(const BCD *x, int16_t *out);
OV_API int bcd_toInt32(const BCD *x, int32_t *out);
OV_API int bcd_toInt64(const BCD *x, int64_t *out);
OV_API int bcd_toUInt8(const BCD *x, uint8_t *out);
OV_API int bcd_toUInt16(const BCD *x, uint16_t *out);
OV_API int bcd_toUInt32(const BCD *x, uint32_t *out);
OV_API int bcd_toUInt64(const BCD *x, uint64_t *out);
OV_API int bcd_toFloat(const BCD *x, float *out);
OV_API int bcd_toDouble(const BCD *x, double *out);

OV_END_DECLS

#endif /* OVBASE_BCD_H */
