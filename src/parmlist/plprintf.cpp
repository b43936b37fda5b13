/*
 * plprintf.cpp - building a parameter list from a format string.
 *
 * Exports pl_printf and pl_printfV.  Each conversion %[count][modifier]conv
 * only picks a type code, a storage kind and the argument(s) to take, and
 * hands them to pl_put; nothing is formatted.  The conversions are one
 * table, looked up by modifier and conversion character.
 */
#include <cctype>
#include <cstdarg>
#include <cstring>

#include "parmlist/parmlist_internal.h"

namespace ov::pl {
namespace {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "a value's low-order bytes are the first bytes of its holder");

// What the single-value form reads from the argument list.
enum class Arg : uint8_t {
  Int,      // int, stored as its low-order bytes
  UInt,     // unsigned int
  Int64,    // 64-bit integer, stored as its low-order bytes
  Double,   // double
  Pointer,  // pointer handed to pl_put as the data
  Refused,  // pointer taken, then the conversion is an error (%o)
};

struct Conversion {
  char modifier;     // '\0', 't', 'h', 'l' or 'L'
  char conv;         // conversion character
  uint32_t single;   // type of the single-value form
  Arg arg;           // its argument
  uint32_t counted;  // type of the counted form
  uint16_t countedFlags;
};

constexpr Conversion conversions[] = {
    {'\0', 'c', PL_CHAR, Arg::Int, PL_CHAR, PLF_ARRAY},
    {'\0', 'C', PL_WCHAR, Arg::Int, PL_WCHAR, PLF_ARRAY},
    {'\0', 's', PL_STRING, Arg::Pointer, PL_CHAR, PLF_ARRAY},
    {'\0', 'S', PL_WSTRING, Arg::Pointer, PL_WCHAR, PLF_ARRAY},
    {'\0', 'd', PL_INT, Arg::Int, PL_INT, PLF_ARRAY},
    {'h', 'd', PL_SHORT, Arg::Int, PL_SHORT, PLF_ARRAY},
    {'t', 'd', PL_TINY, Arg::Int, PL_TINY, PLF_ARRAY},
    {'l', 'd', PL_LONG, Arg::Int64, PL_LONG, PLF_ARRAY},
    {'L', 'd', PL_INT, Arg::Int64, PL_INT, PLF_ARRAY},
    {'\0', 'u', PL_UINT, Arg::UInt, PL_UINT, PLF_ARRAY},
    {'h', 'u', PL_USHORT, Arg::Int, PL_USHORT, PLF_ARRAY},
    {'t', 'u', PL_UTINY, Arg::Int, PL_UTINY, PLF_ARRAY},
    {'l', 'u', PL_ULONG, Arg::Int64, PL_ULONG, PLF_ARRAY},
    {'L', 'u', PL_UINT, Arg::Int64, PL_UINT, PLF_ARRAY},
    {'\0', 'f', PL_DOUBLE, Arg::Double, PL_DOUBLE, PLF_ARRAY},
    {'\0', 'a', PL_ADDR, Arg::Pointer, PL_ADDR, PLF_ARRAY},
    {'\0', 'o', 0, Arg::Refused, PL_BLOB, 0},
};

constexpr bool tableIsConsistent() {
  for (const Conversion &c : conversions) {
    if (!validType(c.counted)) return false;
    if (c.arg != Arg::Refused && !validType(c.single)) return false;
    // A pointer argument is by reference or the six bytes of %a; every
    // other single value fits the eight-byte holder.
    if (c.arg != Arg::Pointer && c.arg != Arg::Refused && type_info[c.single].size > 8) return false;
  }
  return true;
}
static_assert(tableIsConsistent());

const Conversion *findConversion(char modifier, char conv) {
  for (const Conversion &c : conversions)
    if (c.modifier == modifier && c.conv == conv) return &c;
  return nullptr;
}

bool isModifier(char c) { return c == 't' || c == 'h' || c == 'l' || c == 'L'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Takes the conversion's arguments from `args`, which on this platform
// refers to the caller's list: what is taken here is consumed there too.
OV_STATUS putConversion(PARMLIST *list, const Conversion &c, uint32_t count, va_list args) {
  if (count != 0) {
    const void *pointer = va_arg(args, const void *);
    return pl_put(list, c.counted, c.countedFlags, pointer, count);
  }
  union {
    uint64_t word;
    double real;
    uint8_t bytes[8];
  } holder{};
  switch (c.arg) {
    case Arg::Int: holder.word = static_cast<uint64_t>(static_cast<int64_t>(va_arg(args, int))); break;
    case Arg::UInt: holder.word = va_arg(args, unsigned int); break;
    case Arg::Int64: holder.word = static_cast<uint64_t>(va_arg(args, int64_t)); break;
    case Arg::Double: holder.real = va_arg(args, double); break;
    case Arg::Pointer: return pl_put(list, c.single, 0, va_arg(args, const void *), 0);
    case Arg::Refused: (void)va_arg(args, const void *); return S_RPCINVDATATYPE;
  }
  return pl_put(list, c.single, 0, holder.bytes, 0);
}

}  // namespace
}  // namespace ov::pl

using namespace ov::pl;

extern "C" {

OV_API OV_STATUS pl_printfV(PARMLIST *list, const char *format, va_list args) {
  if (format == nullptr) return S_INVNULL;
  const char *p = format;
  for (;;) {
    const char c = *p++;
    if (c == '\0') return S_OKAY;
    if (std::isspace(static_cast<unsigned char>(c))) continue;
    if (c != '%') return S_RPCINVDATATYPE;

    uint32_t count = 0;
    if (*p == '*') {
      ++p;
      // A negative argument is a count too: its bits as an unsigned 32-bit length.
      count = static_cast<uint32_t>(va_arg(args, int));
    } else {
      for (; isDigit(*p); ++p) count = count * 10 + static_cast<uint32_t>(*p - '0');  // wraps at 2^32
    }
    const char modifier = isModifier(*p) ? *p++ : '\0';
    const Conversion *conversion = findConversion(modifier, *p);
    if (conversion == nullptr) return S_RPCINVDATATYPE;  // also a NUL in the middle
    ++p;
    const OV_STATUS status = putConversion(list, *conversion, count, args);
    if (status != S_OKAY) return status;
  }
}

OV_API OV_STATUS pl_printf(PARMLIST *list, const char *format, ...) {
  va_list args;
  va_start(args, format);
  const OV_STATUS status = pl_printfV(list, format, args);
  va_end(args);
  return status;
}

}  // extern "C"
