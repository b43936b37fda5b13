/*
 * pllayout.cpp - the parameter type table and structure layout.
 *
 * Exports pl_getTypeInfo and pl_calcStruct.  Structures are laid out the
 * way the compiler lays out the equivalent C record: each member at the
 * boundary of its alignment class, the whole padded to its largest class.
 * The same description check serves pl_calcStruct and pl_putStruct, so
 * both accept and reject the same descriptions.
 */
#include <algorithm>

#include "ovbase/platform.h"
#include "parmlist/parmlist_internal.h"

namespace ov::pl {
namespace {

// The compiler's own size and alignment of a C type standing for each
// type code (0 where no single C type stands for it).
struct CShape {
  uint32_t size;
  uint32_t align;
};
template <typename T>
constexpr CShape shapeOf() {
  return {sizeof(T), alignof(T)};
}
struct Addr6 {
  uint16_t words[3];
};
struct Pair32 {
  uint32_t high, low;
};
constexpr std::array<CShape, 20> cShapes = {{
    {0, 0},         shapeOf<char>(),    shapeOf<uint8_t>(),  shapeOf<wchar_t>(),
    shapeOf<int16_t>(), shapeOf<uint16_t>(), shapeOf<int32_t>(), shapeOf<uint32_t>(),
    shapeOf<int64_t>(), shapeOf<uint64_t>(), shapeOf<float>(),   shapeOf<double>(),
    shapeOf<Addr6>(),   shapeOf<char>(),     shapeOf<wchar_t>(), {0, 0},
    {0, 0},             shapeOf<int8_t>(),   shapeOf<uint8_t>(), shapeOf<Pair32>(),
}};

// Every element size is the C type's size.
constexpr bool sizesMatchCompiler() {
  for (uint32_t t = 1; t <= kLastType; ++t)
    if (cShapes[t].size != 0 && cShapes[t].size != type_info[t].size) return false;
  return true;
}
// Types of one class share one boundary, and a higher class never has a
// smaller boundary than a lower one: so the largest member class is the
// structure's class, as the layout below assumes.
constexpr bool classesMatchCompiler() {
  for (uint32_t a = 1; a <= kLastType; ++a)
    for (uint32_t b = 1; b <= kLastType; ++b) {
      if (cShapes[a].align == 0 || cShapes[b].align == 0) continue;
      const uint32_t ca = type_info[a].alignClass, cb = type_info[b].alignClass;
      if (ca == cb && cShapes[a].align != cShapes[b].align) return false;
      if (ca < cb && cShapes[a].align > cShapes[b].align) return false;
    }
  return true;
}
constexpr bool byRefIsExactlyTheThree() {
  for (uint32_t t = 0; t <= kLastType; ++t)
    if ((type_info[t].byRef != 0) != (t == PL_STRING || t == PL_WSTRING || t == PL_BLOB)) return false;
  return true;
}
static_assert(sizesMatchCompiler());
static_assert(classesMatchCompiler());
static_assert(byRefIsExactlyTheThree());
static_assert(type_info[PL_STRUCT].alignClass == type_info[PL_DOUBLE].alignClass);
static_assert(type_info[PL_BLOB].alignClass == type_info[PL_DOUBLE].alignClass);

constexpr bool isBegin(const PLSTRUCTDESC &e) { return e.type == PL_STRUCT && (e.flags & PLF_BEGIN); }

struct Measured {
  uint64_t size;
  uint32_t alignClass;
};

// Lays out the structure opened at desc[0] (well formed), writing member
// offsets relative to its start when offsets is not null.  Returns the index
// of its closing entry, or 0 when the size cannot be held in 32 bits.
// Recursion depth is the nesting depth, at most kMaxNesting.
uint32_t measure(const PLSTRUCTDESC *desc, Measured &out, uint32_t *offsets) {
  uint64_t offset = 0;
  uint32_t largest = 0;
  uint32_t i = 1;
  for (;; ++i) {
    const PLSTRUCTDESC &e = desc[i];
    if (e.flags & PLF_SKIP) {  // never on a PL_STRUCT entry: checked
      if (offsets) offsets[i] = static_cast<uint32_t>(offset);
      continue;
    }
    Measured element;
    const uint32_t at = i;
    if (e.type == PL_STRUCT) {
      if (!(e.flags & PLF_BEGIN)) break;  // our own closing entry
      const uint32_t end = measure(desc + i, element, offsets ? offsets + i : nullptr);
      if (end == 0) return 0;
      i += end;  // continue after the nested structure's closing entry
    } else {
      element = {type_info[e.type].size, type_info[e.type].alignClass};
    }
    if (e.flags & PLF_ARRAY) element.size *= e.count;  // both below 2^32: no overflow
    offset = ov_align(offset, element.alignClass);
    if (offsets) offsets[at] = static_cast<uint32_t>(offset);
    offset += element.size;
    if (offset > UINT32_MAX) return 0;
    largest = std::max(largest, element.alignClass);
  }
  out.size = ov_align(offset, largest);
  out.alignClass = largest;
  return out.size > UINT32_MAX ? 0 : i;
}

// Entries from the begin entry through its matching end entry; 0 when the
// description is malformed.  Reading stops at that end entry, at the first
// malformed entry, after kMaxDescEntries entries, or at a structure nested
// deeper than kMaxNesting levels (which bounds the layout's recursion).
uint32_t descriptionLength(const PLSTRUCTDESC *desc) {
  if (!isBegin(desc[0])) return 0;
  int32_t depth = 0;
  for (uint32_t n = 0; n < kMaxDescEntries; ++n) {
    const PLSTRUCTDESC &e = desc[n];
    if (!validType(e.type)) return 0;
    if (e.type != PL_STRUCT) continue;
    if (e.flags & PLF_SKIP) return 0;
    if (e.flags & PLF_BEGIN) {
      if (++depth > kMaxNesting) return 0;
    }
    else if (e.flags & PLF_END)
      --depth;
    else
      return 0;
    if (depth == 0) return n + 1;
  }
  return 0;  // not closed within what an item can record
}

}  // namespace

OV_STATUS examineDescription(const PLSTRUCTDESC *desc, uint32_t *entries, uint32_t *size,
                             uint32_t *alignClass, uint32_t *offsets) {
  const uint32_t length = descriptionLength(desc);
  Measured whole;
  if (length == 0 || measure(desc, whole, offsets) == 0) return S_INVPARM;
  if (entries) *entries = length;
  if (size) *size = static_cast<uint32_t>(whole.size);
  if (alignClass) *alignClass = whole.alignClass;
  return S_OKAY;
}

}  // namespace ov::pl

extern "C" {

OV_API const PLTYPEINFO *pl_getTypeInfo(uint32_t type) {
  return ov::pl::validType(type) ? &ov::pl::type_info[type] : nullptr;
}

OV_API OV_STATUS pl_calcStruct(const PLSTRUCTDESC *desc, uint32_t *size, uint32_t *alignClass) {
  if (desc == nullptr) return S_INVNULL;
  return ov::pl::examineDescription(desc, nullptr, size, alignClass, nullptr);
}

}  // extern "C"
