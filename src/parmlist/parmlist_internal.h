/*
 * parmlist_internal.h - what the parameter-list sources share: the type
 * table, the storage-kind test and the structure description walk.
 *
 * Not installed.  The layout walk with member offsets is reachable from the
 * tests (which link the static twin) so they can compare each member's
 * offset with the compiler's own.
 */
#ifndef OVBASE_PARMLIST_INTERNAL_H
#define OVBASE_PARMLIST_INTERNAL_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <cwchar>

#include "ovbase/parmlist.h"

namespace ov::pl {

// One row per type code 0 to 19: size, byRef, alignClass.
inline constexpr std::array<PLTYPEINFO, 20> type_info = {{
    {0, 0, 0},  // 0: no type
    {1, 0, 0},  // PL_CHAR
    {1, 0, 0},  // PL_BYTE
    {4, 0, 2},  // PL_WCHAR
    {2, 0, 1},  // PL_SHORT
    {2, 0, 1},  // PL_USHORT
    {4, 0, 3},  // PL_INT
    {4, 0, 3},  // PL_UINT
    {8, 0, 5},  // PL_LONG
    {8, 0, 5},  // PL_ULONG
    {4, 0, 4},  // PL_FLOAT
    {8, 0, 6},  // PL_DOUBLE
    {6, 0, 1},  // PL_ADDR
    {1, 1, 0},  // PL_STRING: one character
    {4, 1, 2},  // PL_WSTRING: one wide character
    {1, 1, 6},  // PL_BLOB: one byte, placed like a double
    {0, 0, 6},  // PL_STRUCT: measured from its description
    {1, 0, 0},  // PL_TINY
    {1, 0, 0},  // PL_UTINY
    {8, 0, 3},  // PL_PAIR32
}};

inline constexpr uint32_t kLastType = PL_PAIR32;
inline constexpr uint32_t kMaxDescEntries = 65535;  // what descCount can hold

constexpr bool validType(uint32_t type) { return type != 0 && type <= kLastType; }

// An inline item keeps its value's bytes in the item; every other item
// (strings, blobs, structures, arrays of anything) holds a pointer.
constexpr bool isInline(uint32_t type, uint16_t flags) {
  return validType(type) && type != PL_STRUCT && type_info[type].byRef == 0 &&
         (flags & PLF_ARRAY) == 0;
}

// Checks a structure description and lays it out the way the compiler lays
// out the equivalent C record.  On S_OKAY, *entries is the number of
// entries from the begin entry through its matching end entry, and *size
// and *alignClass the structure's padded size and class (each out pointer
// may be null).  When offsets is not null, offsets[i] receives the offset
// of entry i's member within its immediately enclosing structure (a nested
// structure's members relative to that structure's start; a skipped
// member the offset where it stands).  S_INVPARM for a malformed
// description or a size above UINT32_MAX.
OV_STATUS examineDescription(const PLSTRUCTDESC *desc, uint32_t *entries, uint32_t *size,
                             uint32_t *alignClass, uint32_t *offsets);

}  // namespace ov::pl

#endif  // OVBASE_PARMLIST_INTERNAL_H
