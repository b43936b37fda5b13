// Parameter lists: round trips of every type, the cursor against a model,
// ownership and release, and the format builder.
#include <algorithm>
#include <bit>
#include <cstdarg>
#include <cstring>
#include <random>
#include <string>

#include "parmlist_testing.h"

namespace {

using namespace pltest;

static_assert(std::endian::native == std::endian::little, "inline values read as integers");

// Element sizes as the compiler sees the C types, by type code (0: no such type).
constexpr uint32_t kCSize[21] = {
    0, sizeof(char), sizeof(uint8_t), sizeof(wchar_t), sizeof(int16_t), sizeof(uint16_t),
    sizeof(int32_t), sizeof(uint32_t), sizeof(int64_t), sizeof(uint64_t), sizeof(float),
    sizeof(double), 6, sizeof(char), sizeof(wchar_t), 1, 0, sizeof(int8_t), sizeof(uint8_t),
    2 * sizeof(uint32_t), 0};

// Every type through put, seek, peek and get; the arguments put and get
// refuse (a null list or out, a null inline value, a damaged item).
TEST(PlList, EveryTypeRoundTripsSingleAndArrayByReferenceAndCopied) {
  List nulls(pl_alloc());
  int32_t value = 5;
  pl_flagAdd(nulls.get(), PLF_NULL);  // at the end: nothing to change
  EXPECT_EQ(peek(nulls.get()), Peeked(0, nullptr, 0, 0));
  EXPECT_EQ(pl_put(nullptr, PL_INT, 0, &value, 0), S_INVNULL);
  EXPECT_EQ(pl_put(nulls.get(), PL_DOUBLE, PLF_GIVE, nullptr, 0), S_INVNULL) << "inline needs data";
  EXPECT_EQ(pl_put(nulls.get(), 0xFFFFFFFF, 0, &value, 0), S_INVPARM) << "a code above 19";
  EXPECT_EQ(pl_get(nullptr, &value), S_INVNULL);

  for (uint32_t type = 0; type <= 20; ++type) {
    for (uint16_t flags : {0, PLF_COPY, PLF_ARRAY, PLF_ARRAY | PLF_COPY}) {
      SCOPED_TRACE("type " + std::to_string(type) + " flags " + std::to_string(flags));
      List list(pl_alloc());
      uint8_t data[64], original[64], out[16];
      for (size_t k = 0; k < sizeof data; ++k) data[k] = static_cast<uint8_t>(k + 1);
      data[9] = 0;                   // a 10-byte string...
      std::memset(data + 12, 0, 4);  // ...in the first 16 bytes, and 3 wide characters
      if (kCSize[type] == 0) {       // type 0, PL_STRUCT and codes above 19
        EXPECT_EQ(pl_put(list.get(), type, flags, data, 4), S_INVPARM);
        EXPECT_EQ(pl_count(list.get()), 0u);
        EXPECT_EQ(pl_getTypeInfo(type) == nullptr, type != PL_STRUCT);
        continue;
      }
      EXPECT_EQ(pl_getTypeInfo(type)->size, kCSize[type]);
      const bool array = flags & PLF_ARRAY;
      const bool byReference = array || type == PL_STRING || type == PL_WSTRING || type == PL_BLOB;
      uint32_t size = array ? 5 * kCSize[type] : kCSize[type];
      if (!array && byReference) size = type == PL_STRING ? 10 : type == PL_WSTRING ? 16 : 11;
      const uint32_t length = array ? 5 : type == PL_BLOB ? 11 : 999;
      ASSERT_EQ(pl_put(list.get(), type, flags, data, length), S_OKAY);
      ASSERT_EQ(pl_seek(list.get(), 0, 0), S_OKAY);
      EXPECT_EQ(peek(list.get()), Peeked(type, nullptr, flags, size));
      std::memcpy(original, data, sizeof data);
      std::memset(data, 0xEE, sizeof data);  // the caller's bytes change afterwards
      std::memset(out, 0xAA, sizeof out);
      ASSERT_EQ(pl_get(list.get(), out), S_OKAY);
      EXPECT_EQ(out[byReference ? sizeof(void *) : size], 0xAA) << "a pointer or the value";
      const uint8_t *got = out;
      if (byReference) std::memcpy(&got, out, sizeof got);
      EXPECT_EQ(got == data, byReference && !(flags & PLF_COPY)) << "referenced, or a copy";
      EXPECT_EQ(got == data ? 0 : std::memcmp(got, original, size), 0);
      EXPECT_EQ(pl_get(list.get(), out), S_PARMEND);
      ASSERT_EQ(pl_seek(list.get(), 0, 0), S_OKAY);
      EXPECT_EQ(pl_get(list.get(), nullptr), S_INVNULL);
      const uint32_t damaged[] = {0, 20, 0xFFFFFFFF};  // no type, above 19, negative if signed
      list->first->type = damaged[type % 3];  // refused, the cursor stays
      EXPECT_EQ(pl_get(list.get(), out), S_PARMINTERR);
      EXPECT_EQ(list->current, list->first);
    }
  }
}

// A random run of puts, gets, seeks and deletes against a vector and an index
// standing for the list and its cursor.  A bad seek origin, deleting at the
// end and deleting an item not in the list change nothing.
TEST(PlList, CursorFollowsTheModelUnderRandomOperations) {
  std::mt19937 rng(2024);
  PARMITEM stranger{};
  for (int run = 0; run < 40; ++run) {
    List list(pl_alloc());
    std::vector<int32_t> model;
    size_t cursor = 0;  // model.size() is the end
    for (int step = 0; step < 300; ++step) {
      const int32_t value = static_cast<int32_t>(rng());
      const int64_t n = static_cast<int64_t>(model.size());
      const uint32_t op = rng() % 7;
      if (op <= 1) {
        ASSERT_EQ(pl_put(list.get(), PL_INT, 0, &value, 0), S_OKAY);
        model.insert(model.begin() + static_cast<int64_t>(cursor), value);
        ++cursor;  // still on the same item (or the end)
      } else if (op == 2) {
        int32_t out = 0;
        ASSERT_EQ(pl_get(list.get(), &out), cursor == model.size() ? S_PARMEND : S_OKAY);
        ASSERT_EQ(out, cursor < model.size() ? model[cursor++] : 0) << "nothing written at the end";
      } else if (op <= 4) {
        const int32_t origin = value & 3, offset = static_cast<int32_t>(rng() % 13) - 6;
        ASSERT_EQ(pl_seek(list.get(), offset, origin), origin == 3 ? S_PARMINTERR : S_OKAY);
        int64_t at = origin == 0 ? 0 : origin == 2 ? n : static_cast<int64_t>(cursor);
        if (offset > 0) at = std::min(n, at + offset);
        if (offset < 0 && n > 0) at = std::max<int64_t>(0, at + offset);
        if (origin != 3) cursor = static_cast<size_t>(at);
      } else if (op == 5) {
        pl_del(list.get());
        if (cursor < model.size()) model.erase(model.begin() + static_cast<int64_t>(cursor));
      } else {
        pl_delItem(list.get(), &stranger);
        if (!model.empty()) {
          const size_t victim = static_cast<uint32_t>(value) % model.size();
          pl_delItem(list.get(), items(list.get())[victim]);
          model.erase(model.begin() + static_cast<int64_t>(victim));
          if (victim < cursor) --cursor;
        }
      }
      const std::vector<PARMITEM *> all = items(list.get());
      ASSERT_EQ(all.size(), model.size());
      ASSERT_EQ(pl_count(list.get()), model.size());
      for (size_t k = 0; k < all.size(); ++k)
        ASSERT_EQ(std::memcmp(all[k]->value.bytes, &model[k], 4), 0) << "step " << step;
      const bool atEnd = cursor == model.size();
      ASSERT_EQ(list->current, atEnd ? nullptr : all[cursor]) << "step " << step;
      ASSERT_EQ(std::get<0>(peek(list.get())), atEnd ? 0u : uint32_t{PL_INT}) << "step " << step;
    }
  }
}

// What pl_get hands out after a put (then flag changes or a delete), and what
// pl_reset leaves: the list releases exactly what it copied or was given (and
// the aux block), keeps the user's word and is empty.  A plain copy, a given
// block copied, and a given inline value are counted in the out-of-memory test.
TEST(PlOwnership, ResetReleasesExactlyWhatTheListCopiedOrWasGiven) {
  enum Data { None, Block, EmptyBlock };  // null; a 16-byte heap block; the same with length 0
  enum Got { Caller, Copy, Null, ValueBytes };  // the block, a copy, null, the value's bytes
  enum Left { Nothing, CallerBlock, CallerAndCopy };  // blocks outstanding after pl_reset
  struct Case {  // added, removed: pl_flagAdd, pl_flagRemove after the put; del: pl_del it
    const char *name; uint32_t type; Data data; uint16_t putFlags, added, removed; bool del;
    Got got; Left left;
  };
  constexpr uint16_t kGiveCopy = PLF_GIVE | PLF_COPY;
  const Case cases[] = {
      {"given string", PL_STRING, Block, PLF_GIVE, 0, 0, false, Caller, Nothing},
      {"copy of nothing", PL_BLOB, EmptyBlock, PLF_COPY, 0, 0, false, Caller, CallerBlock},
      {"copy of null", PL_STRING, None, PLF_COPY, 0, 0, false, Null, Nothing},
      {"given, nothing to copy", PL_BLOB, EmptyBlock, kGiveCopy, 0, 0, false, Caller, Nothing},
      {"given later", PL_STRING, Block, 0, PLF_GIVE, 0, false, Caller, Nothing},
      {"copy flag later", PL_STRING, Block, 0, PLF_COPY | PLF_NULL, 0, false, Null, CallerBlock},
      {"copy handed back", PL_STRING, Block, PLF_COPY, 0, PLF_COPY, false, Copy, CallerAndCopy},
      {"given one kept", PL_STRING, Block, kGiveCopy, 0, PLF_COPY, false, Copy, Nothing},
      {"copy deleted", PL_STRING, Block, PLF_COPY, 0, 0, true, Copy, CallerAndCopy},
      {"to array", PL_LONG, Block, 0, PLF_ARRAY | kGiveCopy, 0, false, ValueBytes, CallerBlock},
  };
  static constexpr char kText[16] = "textdata";
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    List list(pl_alloc());
    const int64_t base = ov_testOutstandingBlocks();
    void *block = c.data == None ? nullptr : ov_getMem(16, nullptr, MEM_COPY, kText, 1);
    ASSERT_EQ(pl_put(list.get(), c.type, c.putFlags, block, c.data == Block ? 4 : 0), S_OKAY);
    ASSERT_EQ(pl_seek(list.get(), 0, 0), S_OKAY);
    pl_flagAdd(list.get(), c.added);
    pl_flagRemove(list.get(), c.removed);
    void *pointer = reinterpret_cast<void *>(1);
    ASSERT_EQ(pl_get(list.get(), &pointer), S_OKAY);
    const void *want[] = {block, pointer, nullptr, list->first->value.ptr};
    EXPECT_EQ(pointer, want[c.got]);
    EXPECT_TRUE(c.got != Copy || (pointer != block && std::memcmp(pointer, kText, 4) == 0));
    ASSERT_EQ(pl_seek(list.get(), 0, 0), S_OKAY);
    if (c.del) pl_del(list.get());
    list->aux = ov_getMem(8, nullptr, MEM_PLAIN, nullptr, 1);  // the user's block: released
    list->user = 0x1122334455667788u;                          // the user's word: kept
    pl_reset(list.get());
    EXPECT_EQ(std::tie(list->current, list->first, list->last, list->aux, list->user),
              std::make_tuple(nullptr, nullptr, nullptr, nullptr, 0x1122334455667788u));
    EXPECT_EQ(ov_testOutstandingBlocks() - base, static_cast<int>(c.left));
    if (c.left != Nothing) ov_freeMemory(block, nullptr);
    if (c.left == CallerAndCopy) ov_freeMemory(pointer, nullptr);
  }
}

// ---- pl_printf ------------------------------------------------------------------

// The items from the start as (type, flags, len, value), value being an
// inline value's bytes read as an integer or the pointer the item holds.
using Item = std::tuple<uint32_t, uint16_t, uint32_t, uint64_t>;
std::vector<Item> readItems(PARMLIST *list) {
  std::vector<Item> got;
  EXPECT_EQ(pl_seek(list, 0, 0), S_OKAY);
  for (const PARMITEM *item : items(list)) {
    uint64_t value = 0;
    EXPECT_EQ(pl_get(list, &value), S_OKAY);
    got.emplace_back(item->type, item->flags, item->len, value);
  }
  return got;
}
uint64_t address(const void *pointer) { return reinterpret_cast<uintptr_t>(pointer); }

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

TEST(PlPrintf, ConversionsPutTheDocumentedItemsAndMalformedFormatsFail) {
  const int16_t shorts[5] = {1, 2, 3, 4, 5};
  const char text[] = "abcdef";
  const wchar_t wide[] = L"wide";
  const uint8_t addr[6] = {1, 2, 3, 4, 5, 6};
  const int64_t big = 4294967297;
  const uint64_t t = address(text), s = address(shorts), a = address(addr), w = address(wide);
  const uint64_t twoAndHalf = std::bit_cast<uint64_t>(2.5);
  List single(pl_alloc());
  ASSERT_EQ(pl_printf(single.get(), " %d %hd %td %u\t%hu\n%tu %ld%lu %Ld %Lu %c %C %f %s %S %a ",
                      70000, 70000, 300, 4000000000u, 65537, 257, int64_t{-0x123456789},
                      uint64_t{0xFEDCBA9876543210}, big, big + 1, 0x141, 0x20AC, 2.5, text, wide,
                      addr),
            S_OKAY);
  EXPECT_EQ(readItems(single.get()), (std::vector<Item>{
      {PL_INT, 0, 0, 70000}, {PL_SHORT, 0, 0, 4464}, {PL_TINY, 0, 0, 44},
      {PL_UINT, 0, 0, 4000000000u}, {PL_USHORT, 0, 0, 1}, {PL_UTINY, 0, 0, 1},
      {PL_LONG, 0, 0, ~uint64_t{0x123456788}}, {PL_ULONG, 0, 0, 0xFEDCBA9876543210},
      {PL_INT, 0, 0, 1}, {PL_UINT, 0, 0, 2}, {PL_CHAR, 0, 0, 0x41}, {PL_WCHAR, 0, 0, 0x20AC},
      {PL_DOUBLE, 0, 0, twoAndHalf}, {PL_STRING, 0, 7, t}, {PL_WSTRING, 0, 20, w},
      {PL_ADDR, 0, 0, 0x060504030201}}));

  // Null strings, counts (digits, *, 0 for none, wrapping at 2^32, negative *).
  List counted(pl_alloc());
  ASSERT_EQ(pl_printf(counted.get(),
                      "%s%S%3d %5hd %3s %2S %4o %05d"
                      "%1c%1C%1td%1ld%1Ld%1u%1tu%1hu%1lu%1Lu%1f%1a"
                      "%*f %*d %0d %4294967298d %*d %*o %*s",
                      nullptr, nullptr, nullptr, shorts, text, wide, addr, shorts,
                      text, text, text, text, text, text, text, text, text, text, text, text,
                      0, 2.5, 3, shorts, 9, shorts, -2, shorts, -1, addr, -3, nullptr),
            S_OKAY);
  const uint16_t array = PLF_ARRAY, nulls = PLF_ARRAY | PLF_NULL;
  EXPECT_EQ(readItems(counted.get()), (std::vector<Item>{
      {PL_STRING, PLF_NULL, 0, 0}, {PL_WSTRING, PLF_NULL, 0, 0}, {PL_INT, nulls, 0, 0},
      {PL_SHORT, array, 5, s}, {PL_CHAR, array, 3, t}, {PL_WCHAR, array, 2, w},
      {PL_BLOB, 0, 4, a}, {PL_INT, array, 5, s}, {PL_CHAR, array, 1, t},
      {PL_WCHAR, array, 1, t}, {PL_TINY, array, 1, t}, {PL_LONG, array, 1, t},
      {PL_INT, array, 1, t}, {PL_UINT, array, 1, t}, {PL_UTINY, array, 1, t},
      {PL_USHORT, array, 1, t}, {PL_ULONG, array, 1, t}, {PL_UINT, array, 1, t},
      {PL_DOUBLE, array, 1, t}, {PL_ADDR, array, 1, t}, {PL_DOUBLE, 0, 0, twoAndHalf},
      {PL_INT, array, 3, s}, {PL_INT, 0, 0, 9}, {PL_INT, array, 2, s},
      {PL_INT, array, 0xFFFFFFFE, s}, {PL_BLOB, 0, 0xFFFFFFFF, a}, {PL_CHAR, nulls, 0, 0}}));

  // pl_printfV consumes the arguments it takes from the list it is given.
  List twice(pl_alloc());
  ASSERT_EQ(printfTwice(twice.get(), "%d %d", " %d", 1, 2, 3), S_OKAY);
  ASSERT_EQ(printfTwice(twice.get(), "", "%d", 4), S_OKAY);
  ASSERT_EQ(printfTwice(twice.get(), "%d", " \t\n ", 5), S_OKAY);
  EXPECT_EQ(readItems(twice.get()), (std::vector<Item>{{PL_INT, 0, 0, 1}, {PL_INT, 0, 0, 2},
      {PL_INT, 0, 0, 3}, {PL_INT, 0, 0, 4}, {PL_INT, 0, 0, 5}}));

  // Malformed formats fail and keep the items put before; so do null arguments.
  struct Case { const char *format; bool pointers; uint32_t kept; };  // pointers: else ints
  const Case cases[] = {
      {"%hs", false, 0},  {"%ls", true, 0},   {"% d", false, 0},  {"%%", false, 0},
      {"%x", false, 0},   {"x", false, 0},    {"%", false, 0},    {"%d x", false, 1},
      {"%d%5", false, 1}, {"%d%h", false, 1}, {"%s%o", true, 1},  {"%d %d%lc", false, 2},
      {"%s%Lf", true, 1}, {"%s%ta", true, 1}, {"%d%*", false, 1}, {"%d%D", false, 1},
      {"%d%hh", false, 1}, {"%d%-2d", false, 1},
  };
  for (const Case &c : cases) {
    List list(pl_alloc());
    const OV_STATUS status = c.pointers ? pl_printf(list.get(), c.format, text, text, text)
                                        : pl_printf(list.get(), c.format, 1, 2, 3);
    EXPECT_EQ(status, S_RPCINVDATATYPE) << c.format;
    EXPECT_EQ(pl_count(list.get()), c.kept) << c.format;
  }
  List list(pl_alloc());
  EXPECT_EQ(pl_printf(list.get(), "%s%s%a", text, text, nullptr), S_INVNULL);
  EXPECT_EQ(pl_count(list.get()), 2u);
  EXPECT_EQ(pl_printf(list.get(), nullptr), S_INVNULL);
  EXPECT_EQ(pl_printf(nullptr, "%d", 1), S_INVNULL);
}

}  // namespace
