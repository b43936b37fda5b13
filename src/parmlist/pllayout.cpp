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

// The walk's place in one enclosing structure while a nested one is laid
// out: eight bytes a level, so the deepest description an item can record
// needs 256 KiB of the caller's stack at most.
struct Level {
  uint32_t offset;  // bytes laid out so far (never above UINT32_MAX)
  uint16_t begin;   // index of the structure's begin entry
  uint8_t largest;  // largest member class so far
};
static_assert(sizeof(Level) == 8 && kMaxDescEntries <= UINT16_MAX + 1u);

// Lays out the structure opened at desc[0] (well formed, nested at most
// levels-capacity deep), writing member offsets relative to their enclosing
// structure when offsets is not null.  Walks the entries once, keeping the
// enclosing structures in `levels` rather than on the call stack, so any
// depth lays out.  False when a size cannot be held in 32 bits.
bool measure(const PLSTRUCTDESC *desc, Level *levels, Measured &out, uint32_t *offsets) {
  uint32_t enclosing = 0;  // levels in use
  uint32_t begin = 0;      // the structure being laid out
  uint64_t offset = 0;
  uint32_t largest = 0;
  for (uint32_t i = 1;; ++i) {
    const PLSTRUCTDESC &e = desc[i];
    if (e.flags & PLF_SKIP) {  // never on a PL_STRUCT entry: checked
      if (offsets) offsets[i] = static_cast<uint32_t>(offset);
      continue;
    }
    if (isBegin(e)) {  // a nested structure: lay it out from its start
      levels[enclosing++] = {static_cast<uint32_t>(offset), static_cast<uint16_t>(begin),
                             static_cast<uint8_t>(largest)};
      begin = i;
      offset = 0;
      largest = 0;
      continue;
    }
    Measured element;
    uint32_t at = i;
    if (e.type == PL_STRUCT) {  // the closing entry of the structure being laid out
      element = {ov_align(offset, largest), largest};
      if (element.size > UINT32_MAX) return false;
      if (enclosing == 0) {
        out = element;
        return true;
      }
      at = begin;  // the nested structure is a member of the one enclosing it
      const Level &outer = levels[--enclosing];
      begin = outer.begin;
      offset = outer.offset;
      largest = outer.largest;
    } else {
      element = {type_info[e.type].size, type_info[e.type].alignClass};
    }
    const PLSTRUCTDESC &member = desc[at];
    if (member.flags & PLF_ARRAY) element.size *= member.count;  // both below 2^32: no overflow
    offset = ov_align(offset, element.alignClass);
    if (offsets) offsets[at] = static_cast<uint32_t>(offset);
    offset += element.size;
    if (offset > UINT32_MAX) return false;
    largest = std::max(largest, element.alignClass);
  }
}

// Entries from the begin entry through its matching end entry; 0 when the
// description is malformed.  Reading stops at that end entry, at the first
// malformed entry, or after kMaxDescEntries entries.  *deepest receives
// the number of structure levels, the outermost included.
uint32_t descriptionLength(const PLSTRUCTDESC *desc, uint32_t &deepest) {
  if (!isBegin(desc[0])) return 0;
  uint32_t depth = 0;
  deepest = 0;
  for (uint32_t n = 0; n < kMaxDescEntries; ++n) {
    const PLSTRUCTDESC &e = desc[n];
    if (e.type == 0) return 0;
    // A skipped member is passed over unread: its type may be any code.
    if (e.type != PL_STRUCT) {
      if (!validType(e.type) && !(e.flags & PLF_SKIP)) return 0;
      continue;
    }
    if (e.flags & PLF_SKIP) return 0;
    if (e.flags & PLF_BEGIN)
      deepest = std::max(deepest, ++depth);
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
  uint32_t deepest = 0;
  const uint32_t length = descriptionLength(desc, deepest);
  if (length == 0) return S_INVPARM;
  // One level for each structure enclosing another: a few bytes for the
  // descriptions met in practice.
  auto *levels = static_cast<Level *>(__builtin_alloca(sizeof(Level) * deepest));
  Measured whole;
  if (!measure(desc, levels, whole, offsets)) return S_INVPARM;
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
