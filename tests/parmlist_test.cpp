// Parameter lists: round trips of every type, the cursor against a model,
// ownership and release, out-of-memory injection, and the format builder.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstring>
#include <cwchar>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ovbase/parmlist.h"
#include "ovbase/platform.h"
#include "platform/testhooks.h"

namespace {

struct ListDeleter {
  void operator()(PARMLIST *list) const { pl_free(list); }
};
using List = std::unique_ptr<PARMLIST, ListDeleter>;
List newList() {
  List list(pl_alloc());
  EXPECT_NE(list, nullptr);
  return list;
}

// Element sizes as the compiler sees the C types (0: not a scalar).
uint32_t cSize(uint32_t type) {
  switch (type) {
    case PL_CHAR: case PL_BYTE: case PL_TINY: case PL_UTINY: case PL_STRING: case PL_BLOB: return 1;
    case PL_SHORT: case PL_USHORT: return sizeof(int16_t);
    case PL_INT: case PL_UINT: return sizeof(int32_t);
    case PL_FLOAT: return sizeof(float);
    case PL_WCHAR: case PL_WSTRING: return sizeof(wchar_t);
    case PL_LONG: case PL_ULONG: return sizeof(int64_t);
    case PL_DOUBLE: return sizeof(double);
    case PL_ADDR: return 6;
    case PL_PAIR32: return 2 * sizeof(uint32_t);
    default: return 0;
  }
}
bool heldByReference(uint32_t type, uint16_t flags) {
  return type == PL_STRING || type == PL_WSTRING || type == PL_BLOB || (flags & PLF_ARRAY);
}

void *getPointer(PARMLIST *list) {
  void *pointer = reinterpret_cast<void *>(0x1);
  EXPECT_EQ(pl_get(list, &pointer), S_OKAY);
  return pointer;
}

// Items from first along next, checked against the walk from last along prev.
std::vector<PARMITEM *> items(const PARMLIST *list) {
  std::vector<PARMITEM *> forward, backward;
  for (PARMITEM *i = list->first; i; i = i->next) forward.push_back(i);
  for (PARMITEM *i = list->last; i; i = i->prev) backward.insert(backward.begin(), i);
  EXPECT_EQ(forward, backward);
  return forward;
}

TEST(PlList, EveryTypeRoundTripsSingleAndArrayByReferenceAndCopied) {
  std::mt19937 rng(7);
  for (uint32_t type = 1; type <= 19; ++type) {
    if (type == PL_STRUCT) continue;
    for (uint16_t flags : {0, PLF_COPY, PLF_ARRAY, PLF_ARRAY | PLF_COPY}) {
      SCOPED_TRACE("type " + std::to_string(type) + " flags " + std::to_string(flags));
      List list = newList();
      const uint32_t elements = 5;
      std::vector<uint8_t> data(64);
      for (uint8_t &b : data) b = static_cast<uint8_t>(1 + rng() % 200);  // no NUL inside
      data[9] = 0;                    // a 10-byte string...
      std::memset(&data[12], 0, 4);  // ...in the first 16 bytes, and 3 wide characters
      uint32_t expectSize = cSize(type);
      if (flags & PLF_ARRAY) {
        expectSize *= elements;
      } else if (type == PL_STRING || type == PL_WSTRING || type == PL_BLOB) {
        expectSize = type == PL_STRING ? 10 : type == PL_WSTRING ? 16 : 11;
      }
      const uint32_t length = (flags & PLF_ARRAY) ? elements : type == PL_BLOB ? 11 : 999;

      ASSERT_EQ(pl_put(list.get(), PL_INT, 0, "\x01\x02\x03\x04", 0), S_OKAY);  // a neighbour
      ASSERT_EQ(pl_put(list.get(), type, flags, data.data(), length), S_OKAY);
      ASSERT_EQ(pl_seek(list.get(), 1, 0), S_OKAY);
      uint32_t peekType = 0, size = 0;
      uint16_t peekFlags = 0;
      PLSTRUCTDESC *desc = reinterpret_cast<PLSTRUCTDESC *>(1);
      pl_peek(list.get(), &peekType, &desc, &peekFlags, &size);
      EXPECT_EQ(peekType, type);
      EXPECT_EQ(peekFlags, flags);
      EXPECT_EQ(desc, nullptr);
      EXPECT_EQ(size, expectSize);
      const std::vector<uint8_t> original = data;
      std::fill(data.begin(), data.end(), 0xEE);  // the caller's bytes change afterwards

      uint8_t out[16];
      std::memset(out, 0xAA, sizeof out);
      ASSERT_EQ(pl_get(list.get(), out), S_OKAY);
      if (heldByReference(type, flags)) {
        EXPECT_EQ(out[8], 0xAA) << "a pointer is exactly eight bytes";
        void *pointer;
        std::memcpy(&pointer, out, sizeof pointer);
        if (flags & PLF_COPY) {
          EXPECT_NE(pointer, data.data());
          EXPECT_EQ(std::memcmp(pointer, original.data(), expectSize), 0);
        } else {
          EXPECT_EQ(pointer, data.data());
        }
      } else {
        EXPECT_EQ(std::memcmp(out, original.data(), expectSize), 0);
        EXPECT_EQ(out[expectSize], 0xAA) << "exactly the type's size is written";
      }
      EXPECT_EQ(pl_get(list.get(), &size), S_PARMEND);
    }
  }
}

// A random run of puts, gets, seeks and deletes (current or any item) against a vector and an
// index standing for the list and its cursor.
TEST(PlList, CursorFollowsTheModelUnderRandomOperations) {
  std::mt19937 rng(2024);
  for (int run = 0; run < 40; ++run) {
    List list = newList();
    std::vector<int32_t> model;
    size_t cursor = 0;  // model.size() is the end
    for (int step = 0; step < 300; ++step) {
      const int op = static_cast<int>(rng() % 7);
      if (op <= 1) {
        const int32_t value = static_cast<int32_t>(rng());
        ASSERT_EQ(pl_put(list.get(), PL_INT, 0, &value, 0), S_OKAY);
        model.insert(model.begin() + static_cast<std::ptrdiff_t>(cursor), value);
        ++cursor;  // still on the same item (or the end)
      } else if (op == 2) {
        int32_t out = 0;
        const OV_STATUS status = pl_get(list.get(), &out);
        if (cursor == model.size()) {
          ASSERT_EQ(status, S_PARMEND);
        } else {
          ASSERT_EQ(status, S_OKAY);
          ASSERT_EQ(out, model[cursor++]);
        }
      } else if (op == 3 || op == 4) {
        const int32_t origin = static_cast<int32_t>(rng() % 3);
        const int32_t offset = static_cast<int32_t>(rng() % 13) - 6;
        ASSERT_EQ(pl_seek(list.get(), offset, origin), S_OKAY);
        int64_t at = origin == 0 ? 0 : origin == 1 ? static_cast<int64_t>(cursor) : static_cast<int64_t>(model.size());
        const int64_t n = static_cast<int64_t>(model.size());
        if (offset > 0) at = std::min(n, at + offset);
        if (offset < 0 && n > 0) at = std::max<int64_t>(0, at + offset);
        cursor = static_cast<size_t>(at);
      } else if (op == 5) {
        pl_del(list.get());
        if (cursor < model.size()) model.erase(model.begin() + static_cast<std::ptrdiff_t>(cursor));
      } else if (!model.empty()) {
        const size_t victim = rng() % model.size();
        pl_delItem(list.get(), items(list.get())[victim]);
        model.erase(model.begin() + static_cast<std::ptrdiff_t>(victim));
        if (victim < cursor) --cursor;
      }
      const std::vector<PARMITEM *> all = items(list.get());
      ASSERT_EQ(all.size(), model.size());
      ASSERT_EQ(pl_count(list.get()), model.size());
      for (size_t k = 0; k < all.size(); ++k) ASSERT_EQ(std::memcmp(all[k]->value.bytes, &model[k], 4), 0);
      ASSERT_EQ(list->current, cursor == model.size() ? nullptr : all[cursor]) << "step " << step;
    }
  }
}

TEST(PlList, BadArgumentsAndDamagedItemsLeaveTheListAlone) {
  List list = newList();
  int32_t value = 5;
  EXPECT_EQ(pl_get(list.get(), &value), S_PARMEND);
  uint32_t type = 9, size = 9;
  uint16_t flags = 9;
  PLSTRUCTDESC *desc = reinterpret_cast<PLSTRUCTDESC *>(1);
  pl_peek(list.get(), &type, &desc, &flags, &size);
  EXPECT_EQ(type + flags + size, 0u);
  EXPECT_EQ(desc, nullptr);
  pl_peek(list.get(), nullptr, nullptr, nullptr, nullptr);

  struct Case {
    uint32_t type;
    uint16_t flags;
    const void *data;
    OV_STATUS expect;
  };
  for (const Case &c : {Case{0, 0, &value, S_INVPARM}, Case{PL_STRUCT, 0, &value, S_INVPARM},
                        Case{20, 0, &value, S_INVPARM}, Case{0xFFFFFFFFu, 0, &value, S_INVPARM},
                        Case{PL_INT, 0, nullptr, S_INVNULL}, Case{PL_DOUBLE, PLF_GIVE, nullptr, S_INVNULL}}) {
    EXPECT_EQ(pl_put(list.get(), c.type, c.flags, c.data, 4), c.expect) << c.type;
  }
  EXPECT_EQ(pl_put(nullptr, PL_INT, 0, &value, 0), S_INVNULL);
  EXPECT_EQ(pl_get(nullptr, &value), S_INVNULL);
  EXPECT_EQ(pl_count(list.get()), 0u);
  EXPECT_EQ(pl_getTypeInfo(0), nullptr);
  EXPECT_EQ(pl_getTypeInfo(20), nullptr);
  const PLTYPEINFO *addr = pl_getTypeInfo(PL_ADDR);
  ASSERT_NE(addr, nullptr);
  EXPECT_EQ((std::vector<uint32_t>{addr->size, addr->byRef, addr->alignClass}), (std::vector<uint32_t>{6, 0, 1}));

  ASSERT_EQ(pl_put(list.get(), PL_INT, 0, &value, 0), S_OKAY);
  ASSERT_EQ(pl_seek(list.get(), 0, 0), S_OKAY);
  EXPECT_EQ(pl_get(list.get(), nullptr), S_INVNULL);
  EXPECT_EQ(pl_seek(list.get(), 0, 3), S_PARMINTERR);
  EXPECT_EQ(list->current, list->first) << "a bad origin moves nothing";
  for (uint32_t damaged : {0u, 20u}) {
    list->first->type = damaged;
    EXPECT_EQ(pl_get(list.get(), &value), S_PARMINTERR);
    EXPECT_EQ(list->current, list->first);
  }
  pl_del(list.get());
  EXPECT_EQ(pl_count(list.get()), 0u);
  pl_del(list.get());  // at the end: nothing
  pl_flagAdd(list.get(), PLF_NULL);
  pl_flagRemove(list.get(), PLF_NULL);

  // An item of another list is not deleted from this one.
  List other = newList();
  ASSERT_EQ(pl_put(other.get(), PL_INT, 0, &value, 0), S_OKAY);
  pl_delItem(list.get(), other->first);
  pl_delItem(list.get(), nullptr);
  EXPECT_EQ(pl_count(other.get()), 1u);
}

// What the list holds after a put, and what pl_reset gives back.
TEST(PlOwnership, ResetReleasesExactlyWhatTheListCopiedOrWasGiven) {
  enum Data { None, Block, EmptyBlock };  // null; a 16-byte heap block; the same with length 0
  struct Case {
    const char *name;
    uint32_t type;
    uint16_t flags;
    Data data;
    int64_t blocksAfterPut;  // change in outstanding blocks, the caller's block included
    bool callerBlockLives;   // after pl_reset
    uint16_t storedFlags;
  };
  const Case cases[] = {
      {"referenced string", PL_STRING, 0, Block, 2, true, 0},
      {"copied string", PL_STRING, PLF_COPY, Block, 3, true, PLF_COPY},
      {"given string", PL_STRING, PLF_GIVE, Block, 2, false, PLF_GIVE},
      {"given and copied", PL_BLOB, PLF_GIVE | PLF_COPY, Block, 2, false, PLF_GIVE | PLF_COPY},
      {"copy of nothing", PL_BLOB, PLF_COPY, EmptyBlock, 2, true, PLF_COPY},
      {"copy of null", PL_STRING, PLF_COPY, None, 1, false, PLF_COPY | PLF_NULL},
      {"given, nothing to copy", PL_BLOB, PLF_GIVE | PLF_COPY, EmptyBlock, 2, false, PLF_GIVE | PLF_COPY},
      {"given inline", PL_LONG, PLF_GIVE, Block, 1, false, 0},
      {"given and copied inline", PL_LONG, PLF_GIVE | PLF_COPY, Block, 1, false, PLF_COPY},
      {"copied array", PL_WSTRING, PLF_ARRAY | PLF_COPY, Block, 3, true, PLF_ARRAY | PLF_COPY},
      {"copied empty array", PL_INT, PLF_ARRAY | PLF_COPY, EmptyBlock, 2, true, PLF_ARRAY | PLF_COPY},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    List list = newList();
    const int64_t base = ov_testOutstandingBlocks();
    void *block = nullptr;
    if (c.data != None) {
      const wchar_t text[4] = {L'a', L'b', L'c', 0};
      block = ov_getMem(sizeof text, nullptr, MEM_COPY, text, 1);
    }
    const uint32_t length = c.data == Block ? 4 : 0;
    ASSERT_EQ(pl_put(list.get(), c.type, c.flags, block, length), S_OKAY);
    EXPECT_EQ(ov_testOutstandingBlocks() - base, c.blocksAfterPut);
    EXPECT_EQ(list->first->flags, c.storedFlags);
    uint32_t size = 0;
    pl_peek(list.get(), nullptr, nullptr, nullptr, &size);  // at the end
    ASSERT_EQ(pl_seek(list.get(), 0, 0), S_OKAY);
    pl_peek(list.get(), nullptr, nullptr, nullptr, &size);
    if (c.type == PL_WSTRING) {
      EXPECT_EQ(size, 16u) << "an array of 4 wide characters";
    }
    pl_reset(list.get());
    EXPECT_EQ(ov_testOutstandingBlocks() - base, c.callerBlockLives ? 1 : 0);
    if (c.callerBlockLives) ov_freeMemory(block, nullptr);
  }
}

TEST(PlOwnership, FlagChangesDeletesAndTheHeader) {
  List list = newList();
  const int64_t base = ov_testOutstandingBlocks();
  // Adding PLF_GIVE hands a referenced block over; adding PLF_COPY does not.
  void *given = ov_getMem(0, nullptr, MEM_STRDUP, "given", 1);
  void *kept = ov_getMem(0, nullptr, MEM_STRDUP, "kept", 1);
  ASSERT_EQ(pl_put(list.get(), PL_STRING, 0, given, 0), S_OKAY);
  ASSERT_EQ(pl_put(list.get(), PL_STRING, 0, kept, 0), S_OKAY);
  ASSERT_EQ(pl_seek(list.get(), 0, 0), S_OKAY);
  pl_flagAdd(list.get(), PLF_GIVE);
  ASSERT_EQ(pl_seek(list.get(), 1, 1), S_OKAY);
  pl_flagAdd(list.get(), PLF_COPY | PLF_NULL);
  EXPECT_EQ(getPointer(list.get()), nullptr) << "PLF_NULL hides the pointer";
  // Removing the last of PLF_COPY / PLF_GIVE hands a copy back.
  ASSERT_EQ(pl_put(list.get(), PL_STRING, PLF_COPY, "copy", 0), S_OKAY);
  ASSERT_EQ(pl_seek(list.get(), -1, 2), S_OKAY);
  pl_flagRemove(list.get(), PLF_COPY);
  void *returned = getPointer(list.get());
  EXPECT_STREQ(static_cast<const char *>(returned), "copy");
  // pl_del never releases data, owned or not.
  ASSERT_EQ(pl_put(list.get(), PL_STRING, PLF_COPY, "deleted", 0), S_OKAY);
  ASSERT_EQ(pl_seek(list.get(), -1, 2), S_OKAY);
  void *orphan = getPointer(list.get());
  ASSERT_EQ(pl_seek(list.get(), -1, 2), S_OKAY);
  pl_del(list.get());
  EXPECT_EQ(list->current, nullptr);
  EXPECT_EQ(ov_testOutstandingBlocks() - base, 2 + 3 + 2) << "two blocks, three items, two copies";

  list->aux = ov_getMem(8, nullptr, MEM_PLAIN, nullptr, 1);
  list->user = 0x1122334455667788u;
  pl_reset(list.get());
  EXPECT_EQ(ov_testOutstandingBlocks() - base, 3) << "kept, the handed-back copy and the orphan remain";
  EXPECT_EQ(list->user, 0x1122334455667788u);
  EXPECT_EQ(list->aux, nullptr);
  EXPECT_EQ(list->first, nullptr);
  EXPECT_EQ(list->last, nullptr);
  EXPECT_EQ(pl_count(list.get()), 0u);
  ov_freeMemory(kept, nullptr);
  ov_freeMemory(returned, nullptr);
  ov_freeMemory(orphan, nullptr);
  EXPECT_EQ(ov_testOutstandingBlocks(), base);
}

// Flags that turn an inline value into a by-reference one leave its bytes
// the list's own: nothing to release, whatever the flags say.
TEST(PlOwnership, FlagsOnAnInlineValueHandNothingOver) {
  for (uint16_t added : {PLF_ARRAY | PLF_GIVE, PLF_ARRAY | PLF_COPY, PLF_ARRAY | PLF_GIVE | PLF_COPY}) {
    List list = newList();
    const int64_t base = ov_testOutstandingBlocks();
    const int64_t value = 0x1234;
    ASSERT_EQ(pl_put(list.get(), PL_LONG, 0, &value, 0), S_OKAY);
    ASSERT_EQ(pl_seek(list.get(), 0, 0), S_OKAY);
    pl_flagAdd(list.get(), added);
    EXPECT_EQ(getPointer(list.get()), reinterpret_cast<void *>(value)) << "the bytes read as a pointer";
    pl_reset(list.get());
    EXPECT_EQ(ov_testOutstandingBlocks(), base) << added;
  }
}

// Fails each allocation of a put in turn: S_NOMEMORY, nothing changed,
// nothing leaked, a handed block still the caller's.
TEST(PlOom, EveryAllocationOfPutFailsCleanly) {
  struct Case {
    uint32_t type;
    uint16_t flags;
    int allocations;
  };
  for (const Case &c : {Case{PL_INT, 0, 1}, Case{PL_INT, PLF_GIVE, 1}, Case{PL_STRING, 0, 1},
                        Case{PL_STRING, PLF_COPY, 2}, Case{PL_SHORT, PLF_ARRAY | PLF_COPY, 2},
                        Case{PL_BLOB, PLF_COPY | PLF_GIVE, 2}}) {
    SCOPED_TRACE(std::to_string(c.type) + "/" + std::to_string(c.flags));
    List list = newList();
    int32_t first = 1;
    ASSERT_EQ(pl_put(list.get(), PL_INT, 0, &first, 0), S_OKAY);
    ASSERT_EQ(pl_seek(list.get(), 0, 0), S_OKAY);
    const int64_t base = ov_testOutstandingBlocks();
    void *block = ov_getMem(16, nullptr, MEM_COPY, "handed\0\0\0\0\0\0\0\0\0", 1);
    int failures = 0;
    for (int64_t n = 0;; ++n) {
      ov_testFailAllocation(n);
      const OV_STATUS status = pl_put(list.get(), c.type, c.flags, block, 4);
      ov_testFailAllocation(-1);
      if (status == S_OKAY) break;
      ASSERT_EQ(status, S_NOMEMORY);
      ++failures;
      EXPECT_EQ(pl_count(list.get()), 1u);
      EXPECT_EQ(list->current, list->first);
      EXPECT_EQ(ov_testOutstandingBlocks(), base + 1);
    }
    EXPECT_EQ(failures, c.allocations);
    EXPECT_EQ(pl_count(list.get()), 2u);
    pl_reset(list.get());
    if (!(c.flags & PLF_GIVE)) ov_freeMemory(block, nullptr);
    EXPECT_EQ(ov_testOutstandingBlocks(), base - 1) << "the first item went with the reset";
  }
  ov_testFailAllocation(0);
  EXPECT_EQ(pl_alloc(), nullptr);
}

// ---- pl_printf ------------------------------------------------------------------

struct Expected {
  uint32_t type;
  uint16_t flags;
  uint32_t len;
  std::vector<uint8_t> bytes;  // inline: the value's bytes; else empty and...
  const void *pointer;         // ...the pointer the item holds
};
std::vector<uint8_t> bytesOf(const void *p, size_t n) {
  const auto *b = static_cast<const uint8_t *>(p);
  return {b, b + n};
}

// Checks the items, then reads them back with pl_get.
void expectItems(PARMLIST *list, const std::vector<Expected> &want, const std::string &what) {
  const std::vector<PARMITEM *> all = items(list);
  ASSERT_EQ(all.size(), want.size()) << what;
  ASSERT_EQ(pl_seek(list, 0, 0), S_OKAY);
  for (size_t k = 0; k < all.size(); ++k) {
    const PARMITEM &item = *all[k];
    EXPECT_EQ(item.type, want[k].type) << what << " item " << k;
    EXPECT_EQ(item.flags, want[k].flags) << what << " item " << k;
    EXPECT_EQ(item.len, want[k].len) << what << " item " << k;
    uint8_t out[8] = {};
    ASSERT_EQ(pl_get(list, out), S_OKAY) << what << " item " << k;
    if (want[k].bytes.empty())
      EXPECT_EQ(bytesOf(out, 8), bytesOf(&want[k].pointer, 8)) << what << " item " << k;
    else
      EXPECT_EQ(bytesOf(out, want[k].bytes.size()), want[k].bytes) << what << " item " << k;
  }
}

TEST(PlPrintf, ConversionsPutTheDocumentedItems) {
  const int16_t shorts[5] = {1, 2, 3, 4, 5};
  const char text[] = "abcdef";
  const wchar_t wide[] = L"wide";
  const uint8_t addr[6] = {1, 2, 3, 4, 5, 6};
  const int64_t big = 4294967297;
  auto le = [](uint64_t v, size_t n) { return bytesOf(&v, n); };
  double twoAndHalf = 2.5;
  struct Case {
    const char *format;
    std::function<OV_STATUS(PARMLIST *)> call;
    std::vector<Expected> want;
  };
  const std::vector<Case> cases = {
      {"%d %hd %td", [](PARMLIST *l) { return pl_printf(l, "%d %hd %td", 70000, 70000, 300); },
       {{PL_INT, 0, 0, le(70000, 4), nullptr}, {PL_SHORT, 0, 0, le(4464, 2), nullptr}, {PL_TINY, 0, 0, le(44, 1), nullptr}}},
      {"%u %hu %tu", [](PARMLIST *l) { return pl_printf(l, " %u\t%hu\n%tu ", 4000000000u, 65537, 257); },
       {{PL_UINT, 0, 0, le(4000000000u, 4), nullptr}, {PL_USHORT, 0, 0, le(1, 2), nullptr}, {PL_UTINY, 0, 0, le(1, 1), nullptr}}},
      {"%ld %lu", [](PARMLIST *l) { return pl_printf(l, "%ld%lu", int64_t{-0x123456789}, uint64_t{0xFEDCBA9876543210}); },
       {{PL_LONG, 0, 0, le(~uint64_t{0x123456788}, 8), nullptr}, {PL_ULONG, 0, 0, le(0xFEDCBA9876543210, 8), nullptr}}},
      {"%Ld %Lu", [=](PARMLIST *l) { return pl_printf(l, "%Ld %Lu", big, big + 1); },
       {{PL_INT, 0, 0, le(1, 4), nullptr}, {PL_UINT, 0, 0, le(2, 4), nullptr}}},
      {"%c %C %f", [](PARMLIST *l) { return pl_printf(l, "%c %C %f", 0x141, 0x20AC, 2.5); },
       {{PL_CHAR, 0, 0, le(0x41, 1), nullptr}, {PL_WCHAR, 0, 0, le(0x20AC, 4), nullptr}, {PL_DOUBLE, 0, 0, bytesOf(&twoAndHalf, 8), nullptr}}},
      {"%s %S %a", [&](PARMLIST *l) { return pl_printf(l, "%s %S %a", text, wide, addr); },
       {{PL_STRING, 0, 7, {}, text}, {PL_WSTRING, 0, 20, {}, wide}, {PL_ADDR, 0, 0, bytesOf(addr, 6), nullptr}}},
      {"null strings", [](PARMLIST *l) { return pl_printf(l, "%s%S%3d", nullptr, nullptr, nullptr); },
       {{PL_STRING, PLF_NULL, 0, {}, nullptr}, {PL_WSTRING, PLF_NULL, 0, {}, nullptr}, {PL_INT, PLF_ARRAY | PLF_NULL, 0, {}, nullptr}}},
      {"counted", [&](PARMLIST *l) { return pl_printf(l, "%5hd %3s %2S %4o %05d", shorts, text, wide, addr, shorts); },
       {{PL_SHORT, PLF_ARRAY, 5, {}, shorts}, {PL_CHAR, PLF_ARRAY, 3, {}, text}, {PL_WCHAR, PLF_ARRAY, 2, {}, wide},
        {PL_BLOB, 0, 4, {}, addr}, {PL_INT, PLF_ARRAY, 5, {}, shorts}}},
      {"counted every modifier", [&](PARMLIST *l) { return pl_printf(l, "%1c%1C%1td%1ld%1Ld%1u%1tu%1hu%1lu%1Lu%1f%1a", text, text, text, text, text, text, text, text, text, text, text, text); },
       {{PL_CHAR, PLF_ARRAY, 1, {}, text}, {PL_WCHAR, PLF_ARRAY, 1, {}, text}, {PL_TINY, PLF_ARRAY, 1, {}, text},
        {PL_LONG, PLF_ARRAY, 1, {}, text}, {PL_INT, PLF_ARRAY, 1, {}, text}, {PL_UINT, PLF_ARRAY, 1, {}, text},
        {PL_UTINY, PLF_ARRAY, 1, {}, text}, {PL_USHORT, PLF_ARRAY, 1, {}, text}, {PL_ULONG, PLF_ARRAY, 1, {}, text},
        {PL_UINT, PLF_ARRAY, 1, {}, text}, {PL_DOUBLE, PLF_ARRAY, 1, {}, text}, {PL_ADDR, PLF_ARRAY, 1, {}, text}}},
      {"star counts", [&](PARMLIST *l) { return pl_printf(l, "%*f %*d %0d", 0, 2.5, 3, shorts, 9); },
       {{PL_DOUBLE, 0, 0, bytesOf(&twoAndHalf, 8), nullptr}, {PL_INT, PLF_ARRAY, 3, {}, shorts}, {PL_INT, 0, 0, le(9, 4), nullptr}}},
      {"count wraps at 2^32", [&](PARMLIST *l) { return pl_printf(l, "%4294967298d", shorts); },
       {{PL_INT, PLF_ARRAY, 2, {}, shorts}}},
      {"negative star counts", [&](PARMLIST *l) { return pl_printf(l, "%*d %*o %*s", -2, shorts, -1, addr, -3, nullptr); },
       {{PL_INT, PLF_ARRAY, 0xFFFFFFFE, {}, shorts}, {PL_BLOB, 0, 0xFFFFFFFF, {}, addr}, {PL_CHAR, PLF_ARRAY | PLF_NULL, 0, {}, nullptr}}},
      {"empty", [](PARMLIST *l) { return pl_printf(l, " \t\n "); }, {}},
  };
  for (const Case &c : cases) {
    List list = newList();
    EXPECT_EQ(c.call(list.get()), S_OKAY) << c.format;
    expectItems(list.get(), c.want, c.format);
  }
  EXPECT_EQ(pl_printf(nullptr, "  "), S_OKAY);
  List list = newList();
  EXPECT_EQ(pl_printf(list.get(), nullptr), S_INVNULL);
  EXPECT_EQ(pl_printf(nullptr, "%d", 1), S_INVNULL);
}

// Two formats read one after the other from one argument list (on this
// platform a va_list argument is a reference to the caller's list).
OV_STATUS printfTwice(PARMLIST *list, const char *first, const char *second, ...) {
  va_list args;
  va_start(args, second);
  OV_STATUS status = pl_printfV(list, first, args);
  if (status == S_OKAY) status = pl_printfV(list, second, args);
  va_end(args);
  return status;
}

TEST(PlPrintf, ConsumesTheArgumentListItIsGiven) {
  struct Case {
    const char *first, *second;
    std::vector<int32_t> want;
  };
  for (const Case &c : {Case{"%d", "%d", {1, 2}}, Case{"%d %d", "%d", {1, 2, 3}},
                        Case{"", "%d%d", {1, 2}}, Case{"%d", "", {1}}}) {
    List list = newList();
    const OV_STATUS status = printfTwice(list.get(), c.first, c.second, 1, 2, 3);
    ASSERT_EQ(status, S_OKAY) << c.first << " then " << c.second;
    ASSERT_EQ(pl_count(list.get()), c.want.size()) << c.first << " then " << c.second;
    ASSERT_EQ(pl_seek(list.get(), 0, 0), S_OKAY);
    for (int32_t want : c.want) {
      int32_t out = 0;
      ASSERT_EQ(pl_get(list.get(), &out), S_OKAY);
      EXPECT_EQ(out, want) << c.first << " then " << c.second;
    }
  }
}

TEST(PlPrintf, MalformedFormatsFailAndKeepEarlierItems) {
  const char text[] = "abc";
  struct Case {
    const char *format;
    std::function<OV_STATUS(PARMLIST *, const char *)> call;
    uint32_t kept;
    OV_STATUS expect;
  };
  auto ints = [](PARMLIST *l, const char *f) { return pl_printf(l, f, 1, 2, 3); };
  auto pointers = [&](PARMLIST *l, const char *f) { return pl_printf(l, f, text, text, text); };
  const std::vector<Case> cases = {
      {"%hs", ints, 0, S_RPCINVDATATYPE},      {"%ls", pointers, 0, S_RPCINVDATATYPE},
      {"% d", ints, 0, S_RPCINVDATATYPE},      {"%%", ints, 0, S_RPCINVDATATYPE},
      {"%x", ints, 0, S_RPCINVDATATYPE},       {"x", ints, 0, S_RPCINVDATATYPE},
      {"%", ints, 0, S_RPCINVDATATYPE},        {"%d x", ints, 1, S_RPCINVDATATYPE},
      {"%d%5", ints, 1, S_RPCINVDATATYPE},     {"%d%h", ints, 1, S_RPCINVDATATYPE},
      {"%d %d%lc", ints, 2, S_RPCINVDATATYPE}, {"%s%o", pointers, 1, S_RPCINVDATATYPE},
      {"%s%Lf", pointers, 1, S_RPCINVDATATYPE}, {"%s%ta", pointers, 1, S_RPCINVDATATYPE},
      {"%d%*", ints, 1, S_RPCINVDATATYPE},     {"%d%D", ints, 1, S_RPCINVDATATYPE},
      {"%d%hh", ints, 1, S_RPCINVDATATYPE},    {"%d%-2d", ints, 1, S_RPCINVDATATYPE},
      {"%s%s%a", [&](PARMLIST *l, const char *f) { return pl_printf(l, f, text, text, nullptr); }, 2, S_INVNULL},
  };
  for (const Case &c : cases) {
    List list = newList();
    EXPECT_EQ(c.call(list.get(), c.format), c.expect) << c.format;
    EXPECT_EQ(pl_count(list.get()), c.kept) << c.format;
  }
}

// Each conversion equals the pl_put it stands for, and fails cleanly at
// every allocation.
TEST(PlPrintf, OutOfMemoryKeepsEarlierItems) {
  List list = newList();
  const int64_t base = ov_testOutstandingBlocks();
  for (int64_t n = 0; n < 3; ++n) {
    ov_testFailAllocation(n);
    EXPECT_EQ(pl_printf(list.get(), "%d %s %f", 1, "x", 1.0), S_NOMEMORY);
    ov_testFailAllocation(-1);
    EXPECT_EQ(pl_count(list.get()), static_cast<uint32_t>(n));
    EXPECT_EQ(ov_testOutstandingBlocks(), base + n);
    pl_reset(list.get());
  }
}

}  // namespace
