/*
 * parmlist.cpp - parameter lists: the list and its items, structures put as
 * one item, and bind tables of program variables.
 *
 * Exports pl_alloc, pl_reset, pl_free, pl_count, pl_put, pl_get, pl_peek,
 * pl_seek, pl_del, pl_delItem, pl_flagAdd, pl_flagRemove, pl_putStruct,
 * pl_allocBind, pl_freeBind, pl_bind, pl_bindStruct, pl_putBound and
 * pl_getBound.
 *
 * Each item is allocated as an ItemRecord: the public PARMITEM followed by
 * a private note of whether the list owns the item's data block.  The flags
 * alone cannot say so (PLF_COPY stays set when there was nothing to copy,
 * and a structure description's first entry may bring PLF_COPY or PLF_GIVE
 * that never moved a block), and releasing on the flags alone would free
 * a caller's memory.
 *
 * Allocation tags (module 1812): 181200068 the header, 181200308 and
 * 181200332 an item and its data copy in pl_put, 181200395, 181200403 and
 * 181200416 an item, its description copy and its data copy in
 * pl_putStruct, 181200878 a bind table, 181200912 a bind entry.
 */
#include <cstring>
#include <cwchar>

#include "ovbase/platform.h"
#include "parmlist/parmlist_internal.h"

namespace ov::pl {
namespace {

constexpr uint32_t kTagList = 181200068;
constexpr uint32_t kTagPutItem = 181200308;
constexpr uint32_t kTagPutCopy = 181200332;
constexpr uint32_t kTagStructItem = 181200395;
constexpr uint32_t kTagStructDesc = 181200403;
constexpr uint32_t kTagStructCopy = 181200416;
constexpr uint32_t kTagBind = 181200878;
constexpr uint32_t kTagBindItem = 181200912;

static_assert(sizeof(wchar_t) == 4, "wide strings are 4 bytes per character");
static_assert(sizeof(PLVALUE) == 8 && alignof(PLVALUE) == alignof(void *));

struct ItemRecord {
  PARMITEM item;
  bool ownsData;  // value.ptr is a block the list copied or was handed
};
static_assert(offsetof(ItemRecord, item) == 0);

ItemRecord *recordOf(PARMITEM *item) { return reinterpret_cast<ItemRecord *>(item); }

// A fresh record (contents undefined), or null.
ItemRecord *newRecord(uint32_t tag) {
  return static_cast<ItemRecord *>(ov_getMem(sizeof(ItemRecord), nullptr, MEM_PLAIN, nullptr, tag));
}

void *copyBlock(const void *data, uint64_t bytes, uint32_t tag) {
  return ov_getMem(bytes, nullptr, MEM_COPY, data, tag);
}

// Releases an item's description copy and record; the data stay.
void releaseItem(PARMITEM *item) {
  ov_freeMemory(item->desc, nullptr);
  ov_freeMemory(item, nullptr);
}

// Links a new item in immediately before the current item; the cursor
// stays where it is (so puts append while the list is at the end).
void insertItem(PARMLIST *list, PARMITEM *item) {
  item->next = list->current;
  if (list->current) {
    item->prev = list->current->prev;
    list->current->prev = item;
  } else {
    item->prev = list->last;
    list->last = item;
  }
  if (item->prev)
    item->prev->next = item;
  else
    list->first = item;
}

// Unlinks an item of the list (the cursor moves on if it was current) and
// releases its description copy and record; the data stay.
void deleteItem(PARMLIST *list, PARMITEM *item) {
  if (list->current == item) list->current = item->next;
  if (item->prev)
    item->prev->next = item->next;
  else
    list->first = item->next;
  if (item->next)
    item->next->prev = item->prev;
  else
    list->last = item->prev;
  releaseItem(item);
}

// Moves the cursor by offset items: forward it stops at the end (and from
// the end does not move), backward the end steps onto the last item and
// movement stops at the first.
void getcurr(PARMLIST *list, int32_t offset) {
  PARMITEM *at = list->current;
  int64_t remaining = offset;
  if (remaining > 0) {
    for (; at != nullptr && remaining > 0; --remaining) at = at->next;
  } else {
    if (at == nullptr) {
      if (list->last == nullptr) return;
      at = list->last;
      ++remaining;
    }
    for (; remaining < 0 && at->prev != nullptr; ++remaining) at = at->prev;
  }
  list->current = at;
}

// Byte size of an item's data as pl_peek reports it, before capping.
uint64_t dataSize(const PARMITEM &item) {
  const uint64_t structSize = item.desc ? item.desc[0].count : 0;
  if (!validType(item.type)) return 0;
  if (item.flags & PLF_ARRAY)
    return uint64_t{item.len} * (item.type == PL_STRUCT ? structSize : type_info[item.type].size);
  if (item.type == PL_STRUCT) return structSize;
  if (type_info[item.type].byRef) return item.len;
  return type_info[item.type].size;
}

// Finishes a put: the item takes the type and flags and goes in before the
// cursor.  A handed block the item does not refer to is released now.
OV_STATUS finishPut(PARMLIST *list, ItemRecord *record, uint32_t type, uint16_t flags,
                    const void *handed) {
  PARMITEM &item = record->item;
  item.type = type;
  item.flags = flags;
  if (handed != nullptr) {
    if (item.value.ptr == handed && !isInline(type, flags))
      record->ownsData = true;
    else
      ov_freeMemory(const_cast<void *>(handed), nullptr);
  }
  insertItem(list, &item);
  return S_OKAY;
}

// Length that a by-reference pl_put records for non-null data; false when
// a string is too long for the 32-bit len.
bool referenceLength(uint32_t type, uint16_t flags, const void *data, uint32_t length,
                     uint32_t &len) {
  uint64_t bytes = length;
  if (!(flags & PLF_ARRAY) && type == PL_WSTRING)
    bytes = (std::wcslen(static_cast<const wchar_t *>(data)) + 1) * sizeof(wchar_t);
  else if (!(flags & PLF_ARRAY) && type == PL_STRING)
    bytes = std::strlen(static_cast<const char *>(data)) + 1;
  if (bytes > UINT32_MAX) return false;
  len = static_cast<uint32_t>(bytes);
  return true;
}

// Whether a binding can take the list's current item without writing
// outside its variable or reading through a non-pointer.
bool bindingFits(const PARMBINDITEM &binding, bool scalarBinding, const PARMITEM &item) {
  if (!validType(item.type)) return true;  // pl_get reports the damaged item
  if (!validType(binding.type)) return false;  // bound to no type an item can have
  const bool inlineItem = isInline(item.type, item.flags);
  if (scalarBinding) return inlineItem && type_info[item.type].size == type_info[binding.type].size;
  return !inlineItem;
}

OV_STATUS addBind(PARMBIND *bind, uint32_t type, const PLSTRUCTDESC *desc, uint16_t flags,
                  void *target, uint32_t len) {
  auto *entry = static_cast<PARMBINDITEM *>(
      ov_getMem(sizeof(PARMBINDITEM), nullptr, MEM_PLAIN, nullptr, kTagBindItem));
  if (entry == nullptr) return S_NOMEMORY;
  *entry = PARMBINDITEM{nullptr, desc, target, len, type, flags};
  if (bind->last)
    bind->last->next = entry;
  else
    bind->first = entry;
  bind->last = entry;
  return S_OKAY;
}

}  // namespace
}  // namespace ov::pl

using namespace ov::pl;

extern "C" {

// ---- The list -------------------------------------------------------------------

OV_API PARMLIST *pl_alloc(void) {
  return static_cast<PARMLIST *>(ov_getMem(sizeof(PARMLIST), nullptr, MEM_ZERO, nullptr, kTagList));
}

OV_API void pl_reset(PARMLIST *list) {
  if (list == nullptr) return;
  for (PARMITEM *item = list->first; item != nullptr;) {
    PARMITEM *next = item->next;
    if (recordOf(item)->ownsData) ov_freeMemory(item->value.ptr, nullptr);
    releaseItem(item);
    item = next;
  }
  ov_freeMemory(list->aux, nullptr);
  list->current = list->first = list->last = nullptr;
  list->aux = nullptr;
}

OV_API void pl_free(PARMLIST *list) {
  pl_reset(list);
  ov_freeMemory(list, nullptr);
}

OV_API uint32_t pl_count(const PARMLIST *list) {
  uint32_t n = 0;
  if (list != nullptr)
    for (const PARMITEM *item = list->first; item != nullptr; item = item->next) ++n;
  return n;
}

OV_API OV_STATUS pl_put(PARMLIST *list, uint32_t type, uint16_t flags, const void *data,
                        uint32_t length) {
  if (list == nullptr) return S_INVNULL;
  if (!validType(type) || type == PL_STRUCT) return S_INVPARM;
  const bool inlineValue = isInline(type, flags);
  if (inlineValue && data == nullptr) return S_INVNULL;
  uint32_t len = 0;
  if (!inlineValue && data != nullptr && !referenceLength(type, flags, data, length, len))
    return S_INVPARM;

  ItemRecord *record = newRecord(kTagPutItem);
  if (record == nullptr) return S_NOMEMORY;
  PARMITEM &item = record->item;
  item.desc = nullptr;
  item.descCount = 0;
  item.value.ptr = nullptr;
  item.len = len;
  record->ownsData = false;
  const void *handed = (flags & PLF_GIVE) ? data : nullptr;

  if (inlineValue) {
    std::memcpy(item.value.bytes, data, type_info[type].size);
    flags &= static_cast<uint16_t>(~PLF_GIVE);
  } else if (data == nullptr) {
    flags |= PLF_NULL;
  } else {
    item.value.ptr = const_cast<void *>(data);
    const uint64_t bytes = (flags & PLF_ARRAY) ? uint64_t{len} * type_info[type].size : len;
    if ((flags & PLF_COPY) && bytes > 0) {
      void *copy = copyBlock(data, bytes, kTagPutCopy);
      if (copy == nullptr) {
        ov_freeMemory(record, nullptr);
        return S_NOMEMORY;
      }
      item.value.ptr = copy;
      record->ownsData = true;
    }
  }
  return finishPut(list, record, type, flags, handed);
}

OV_API OV_STATUS pl_get(PARMLIST *list, void *out) {
  if (list == nullptr || out == nullptr) return S_INVNULL;
  PARMITEM *item = list->current;
  if (item == nullptr) return S_PARMEND;
  if (!validType(item->type)) return S_PARMINTERR;
  if (isInline(item->type, item->flags)) {
    std::memcpy(out, item->value.bytes, type_info[item->type].size);
  } else {
    void *pointer = (item->flags & PLF_NULL) ? nullptr : item->value.ptr;
    std::memcpy(out, &pointer, sizeof pointer);
  }
  list->current = item->next;
  return S_OKAY;
}

OV_API void pl_peek(const PARMLIST *list, uint32_t *type, PLSTRUCTDESC **desc, uint16_t *flags,
                    uint32_t *size) {
  const PARMITEM *item = list ? list->current : nullptr;
  if (type) *type = item ? item->type : 0;
  if (desc) *desc = item && item->type == PL_STRUCT ? item->desc : nullptr;
  if (flags) *flags = item ? item->flags : 0;
  if (size) {
    const uint64_t bytes = item ? dataSize(*item) : 0;
    *size = bytes > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(bytes);
  }
}

OV_API OV_STATUS pl_seek(PARMLIST *list, int32_t offset, int32_t origin) {
  if (list == nullptr) return S_INVNULL;
  switch (origin) {
    case 0: list->current = list->first; break;
    case 1: break;
    case 2: list->current = nullptr; break;
    default: return S_PARMINTERR;
  }
  if (offset != 0) getcurr(list, offset);
  return S_OKAY;
}

OV_API void pl_delItem(PARMLIST *list, PARMITEM *item) {
  if (list == nullptr || item == nullptr) return;
  const PARMITEM *member = list->first;
  while (member != nullptr && member != item) member = member->next;
  if (member != nullptr) deleteItem(list, item);  // one not ours is never touched
}

OV_API void pl_del(PARMLIST *list) {
  if (list != nullptr && list->current != nullptr) deleteItem(list, list->current);
}

OV_API void pl_flagAdd(PARMLIST *list, uint16_t flags) {
  PARMITEM *item = list ? list->current : nullptr;
  if (item == nullptr) return;
  // Only a pointer the item already held can be handed over: an inline
  // value turned into an array by these flags holds bytes, not a block.
  const bool heldPointer = !isInline(item->type, item->flags);
  item->flags |= flags;
  if ((flags & PLF_GIVE) && heldPointer && item->value.ptr != nullptr) recordOf(item)->ownsData = true;
}

OV_API void pl_flagRemove(PARMLIST *list, uint16_t flags) {
  PARMITEM *item = list ? list->current : nullptr;
  if (item == nullptr) return;
  item->flags &= static_cast<uint16_t>(~flags);
  if (!(item->flags & (PLF_COPY | PLF_GIVE))) recordOf(item)->ownsData = false;
}

// ---- Structures -------------------------------------------------------------------

OV_API OV_STATUS pl_putStruct(PARMLIST *list, const PLSTRUCTDESC *desc, uint16_t flags,
                              const void *data, uint32_t count) {
  if (list == nullptr || desc == nullptr) return S_INVNULL;
  // The layout is checked whether or not it is needed for a copy, so that
  // exactly the descriptions pl_calcStruct accepts are taken.
  uint32_t entries = 0, size = 0;
  const OV_STATUS checked = examineDescription(desc, &entries, &size, nullptr, nullptr);
  if (checked != S_OKAY) return checked;
  const bool copyData = (flags & PLF_COPY) != 0;  // the caller's flag, not the description's
  const void *handed = (flags & PLF_GIVE) ? data : nullptr;
  flags |= desc[0].flags;
  if (data == nullptr) flags |= PLF_NULL;

  ItemRecord *record = newRecord(kTagStructItem);
  if (record == nullptr) return S_NOMEMORY;
  PARMITEM &item = record->item;
  record->ownsData = false;
  item.desc = static_cast<PLSTRUCTDESC *>(
      copyBlock(desc, uint64_t{entries} * sizeof(PLSTRUCTDESC), kTagStructDesc));
  if (item.desc == nullptr) {
    ov_freeMemory(record, nullptr);
    return S_NOMEMORY;
  }
  item.descCount = static_cast<uint16_t>(entries);
  item.value.ptr = const_cast<void *>(data);

  if (copyData) {
    item.value.ptr = nullptr;
    if (size > 0 && data != nullptr) {
      const uint64_t bytes = uint64_t{size} * (count >= 2 ? count : 1);
      item.value.ptr = copyBlock(data, bytes, kTagStructCopy);
      if (item.value.ptr == nullptr) {
        releaseItem(&item);
        return S_NOMEMORY;
      }
      record->ownsData = true;
    }
  }
  if (count >= 2) {
    item.len = count;
    flags |= PLF_ARRAY;
  } else {
    item.len = 0;
    flags &= static_cast<uint16_t>(~PLF_ARRAY);
  }
  return finishPut(list, record, PL_STRUCT, flags, handed);
}

// ---- Binding ----------------------------------------------------------------------

OV_API PARMBIND *pl_allocBind(void) {
  return static_cast<PARMBIND *>(ov_getMem(sizeof(PARMBIND), nullptr, MEM_ZERO, nullptr, kTagBind));
}

OV_API void pl_freeBind(PARMBIND *bind) {
  if (bind == nullptr) return;
  for (PARMBINDITEM *entry = bind->first; entry != nullptr;) {
    PARMBINDITEM *next = entry->next;
    ov_freeMemory(entry, nullptr);
    entry = next;
  }
  ov_freeMemory(bind, nullptr);
}

OV_API OV_STATUS pl_bind(PARMBIND *bind, uint32_t type, uint16_t flags, void *target, uint32_t len) {
  if (bind == nullptr) return S_INVNULL;
  return addBind(bind, type, nullptr, flags, target, len);
}

OV_API OV_STATUS pl_bindStruct(PARMBIND *bind, const PLSTRUCTDESC *desc, uint16_t flags,
                               void *target, uint32_t len) {
  if (bind == nullptr || desc == nullptr) return S_INVNULL;
  return addBind(bind, PL_STRUCT, desc, flags, target, len);
}

OV_API OV_STATUS pl_putBound(PARMLIST *list, const PARMBIND *bind) {
  if (list == nullptr || bind == nullptr) return S_INVNULL;
  for (const PARMBINDITEM *entry = bind->first; entry != nullptr; entry = entry->next) {
    const OV_STATUS status =
        entry->desc ? pl_putStruct(list, entry->desc, entry->flags, entry->target, entry->len)
                    : pl_put(list, entry->type, entry->flags, entry->target, entry->len);
    if (status != S_OKAY) return status;
  }
  return S_OKAY;
}

OV_API OV_STATUS pl_getBound(PARMLIST *list, const PARMBIND *bind) {
  if (list == nullptr || bind == nullptr) return S_INVNULL;
  for (const PARMBINDITEM *entry = bind->first; entry != nullptr; entry = entry->next) {
    const bool scalar = isInline(entry->type, entry->flags);
    if (list->current != nullptr && !bindingFits(*entry, scalar, *list->current))
      return S_RPCINVDATATYPE;
    if (scalar) {
      const OV_STATUS status = pl_get(list, entry->target);
      if (status != S_OKAY) return status;
      continue;
    }
    uint32_t size = 0;
    pl_peek(list, nullptr, nullptr, nullptr, &size);
    void *source = nullptr;
    const OV_STATUS status = pl_get(list, &source);
    if (status != S_OKAY) return status;
    const uint32_t bytes = entry->len < size ? entry->len : size;
    // The target may be the very buffer the item refers to.
    if (source != nullptr && bytes > 0) std::memmove(entry->target, source, bytes);
  }
  return S_OKAY;
}

}  // extern "C"
