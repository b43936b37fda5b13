// Structures in parameter lists: layout against the compiler's own sizeof,
// alignof and offsetof, malformed descriptions, structure items, bind
// tables, and out-of-memory injection at every allocation of the family.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>

#include "parmlist/parmlist_internal.h"
#include "parmlist_testing.h"

namespace {

using namespace pltest;

constexpr PLSTRUCTDESC begin(uint32_t size = 0, uint16_t extra = 0, uint32_t count = 0) {
  return {extra & PLF_ARRAY ? count : size, PL_STRUCT, static_cast<uint16_t>(PLF_BEGIN | extra)};
}
constexpr PLSTRUCTDESC end() { return {0, PL_STRUCT, PLF_END}; }
constexpr PLSTRUCTDESC member(uint32_t type) { return {0, type, 0}; }
constexpr PLSTRUCTDESC array(uint32_t type, uint32_t count) { return {count, type, PLF_ARRAY}; }
constexpr PLSTRUCTDESC skipped(uint32_t type) { return {0, type, PLF_SKIP}; }

// A description made of runs of equal entries: {entry, how many} in order.
std::vector<PLSTRUCTDESC> runs(std::initializer_list<std::pair<PLSTRUCTDESC, size_t>> parts) {
  std::vector<PLSTRUCTDESC> desc;
  for (const auto &[entry, count] : parts) desc.insert(desc.end(), count, entry);
  return desc;
}

// C records and their descriptions.  A PL_BLOB member is placed like a
// double; its C twin is an 8-byte-aligned byte array.
struct Ints { int32_t a, b, c; };
struct Inner { char c; int64_t l; };
struct Small { char c; };
struct WideFirst { double d; Small small; char after; };
struct Addr6 { uint16_t w[3]; };
struct Pair32 { uint32_t high, low; };
struct Mixed {
  uint8_t tiny; uint16_t us; float f; char s[3]; double d; wchar_t w; Addr6 a; Pair32 p;
  int8_t t2; wchar_t ws[5]; alignas(8) uint8_t blob[3]; uint32_t u; int16_t sh[3]; int64_t l;
};
struct Low { double d; char e; };
struct Mid { char c; Low low[2]; int32_t i; };
struct Deep { int16_t a; Mid mid; char z; };
// Its first entry's PLF_GIVE and PLF_COPY must never make the list copy or release.
const PLSTRUCTDESC kInnerDesc[] = {begin(sizeof(Inner), PLF_GIVE | PLF_COPY), member(PL_CHAR),
                                   member(PL_LONG), end()};

// Every description goes through pl_calcStruct and pl_putStruct (copying and
// not) from a block of exactly its entries, so that reading one more is
// caught: it lays out as the compiler's record, or all three refuse it and
// leave the list as it was.  Nesting is limited only by the longest
// description an item can record.
TEST(PlLayout, DescriptionsMatchTheCompilersRecordsOrAreRefusedEverywhere) {
  constexpr size_t kRefused = SIZE_MAX;
  struct Case {
    const char *name;
    std::vector<PLSTRUCTDESC> desc;
    size_t size = kRefused, align = 1;
    std::vector<std::pair<size_t, size_t>> offsets = {};  // {entry, offsetof in its record}
  };
  const Case cases[] = {
      {"skipped members of unknown types",
       {begin(), member(PL_INT), skipped(20), member(PL_UINT), skipped(0xFFFFFFFF), member(PL_INT),
        end()},
       sizeof(Ints), alignof(Ints), {{3, offsetof(Ints, b)}, {5, offsetof(Ints, c)}}},
      {"nested after a wider member",
       {begin(), member(PL_DOUBLE), begin(), member(PL_CHAR), end(), member(PL_CHAR), end()},
       sizeof(WideFirst), alignof(WideFirst),
       {{2, offsetof(WideFirst, small)}, {5, offsetof(WideFirst, after)}}},
      {"mixed",
       {begin(), member(PL_UTINY), member(PL_USHORT), member(PL_FLOAT), array(PL_STRING, 3),
        member(PL_DOUBLE), member(PL_WCHAR), member(PL_ADDR), member(PL_PAIR32), member(PL_TINY),
        array(PL_WSTRING, 5), array(PL_BLOB, 3), member(PL_UINT), array(PL_SHORT, 3),
        member(PL_LONG), end()},
       sizeof(Mixed), alignof(Mixed),
       {{1, offsetof(Mixed, tiny)}, {2, offsetof(Mixed, us)}, {3, offsetof(Mixed, f)},
        {4, offsetof(Mixed, s)}, {5, offsetof(Mixed, d)}, {6, offsetof(Mixed, w)},
        {7, offsetof(Mixed, a)}, {8, offsetof(Mixed, p)}, {9, offsetof(Mixed, t2)},
        {10, offsetof(Mixed, ws)}, {11, offsetof(Mixed, blob)}, {12, offsetof(Mixed, u)},
        {13, offsetof(Mixed, sh)}, {14, offsetof(Mixed, l)}}},
      {"deep with skips",
       {begin(), member(PL_SHORT), skipped(PL_DOUBLE), begin(), member(PL_CHAR),
        begin(0, PLF_ARRAY, 2), skipped(PL_LONG), member(PL_DOUBLE), member(PL_CHAR), end(),
        member(PL_INT), end(), skipped(PL_BLOB), member(PL_CHAR), end()},
       sizeof(Deep), alignof(Deep),
       {{1, offsetof(Deep, a)}, {3, offsetof(Deep, mid)}, {4, offsetof(Mid, c)},
        {5, offsetof(Mid, low)}, {7, offsetof(Low, d)}, {8, offsetof(Low, e)},
        {10, offsetof(Mid, i)}, {13, offsetof(Deep, z)}}},
      {"empty", {begin(), end()}, 0, 1},
      {"deepest nesting", runs({{begin(), 32767}, {member(PL_CHAR), 1}, {end(), 32767}}), 1, 1},
      {"longest", runs({{begin(), 1}, {member(PL_CHAR), 65533}, {end(), 1}}), 65533, 1},
      {"closing entry the 65536th", runs({{begin(), 1}, {member(PL_CHAR), 65534}})},
      {"first entry a scalar", {member(PL_INT)}},
      {"first entry an end", {{0, PL_STRUCT, PLF_END}}},
      {"first entry neither", {{0, PL_STRUCT, 0}}},
      {"skip on the begin", {begin(0, PLF_SKIP), member(PL_INT), end()}},
      {"skip on the end", {begin(), member(PL_INT), {0, PL_STRUCT, PLF_END | PLF_SKIP}}},
      {"skip on a nested begin", {begin(), begin(0, PLF_SKIP), member(PL_INT), end(), end()}},
      {"type 0", {begin(), member(0)}},
      {"skipped type 0", {begin(), skipped(0)}},
      {"type 20", {begin(), member(20)}},
      {"structure entry that neither begins nor ends", {begin(), {0, PL_STRUCT, PLF_ARRAY}}},
      {"too large", {begin(), array(PL_DOUBLE, 0x20000000), end()}},
      {"too large nested", {begin(), begin(0, PLF_ARRAY, 0x10000), array(PL_CHAR, 0x10000), end(),
                            end()}},
      {"padding beyond 32 bits", {begin(), array(PL_CHAR, 0xFFFFFFFF), member(PL_DOUBLE), end()}},
  };
  static const uint8_t record[65536] = {};  // what pl_putStruct copies
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<PLSTRUCTDESC[]> desc(new PLSTRUCTDESC[c.desc.size()]);
    std::copy(c.desc.begin(), c.desc.end(), desc.get());
    const OV_STATUS want = c.size == kRefused ? S_INVPARM : S_OKAY;
    List list(pl_alloc());
    const int64_t base = ov_testOutstandingBlocks();
    uint32_t size = 99, alignClass = 99, entries = 0;
    EXPECT_EQ(pl_calcStruct(desc.get(), &size, &alignClass), want);
    EXPECT_EQ(pl_putStruct(list.get(), desc.get(), PLF_COPY, record, 1), want);
    EXPECT_EQ(pl_putStruct(list.get(), desc.get(), 0, record, 1), want);
    if (want != S_OKAY) {
      EXPECT_EQ(pl_count(list.get()), 0u);
      EXPECT_EQ(ov_testOutstandingBlocks(), base);
      continue;
    }
    EXPECT_EQ(size, c.size);
    EXPECT_EQ(ov_align(1, alignClass), c.align);
    EXPECT_EQ(list->last->descCount, c.desc.size());
    // The copying put holds a copy; of an empty structure, a null pointer owned by no one.
    EXPECT_EQ(list->first->value.ptr == nullptr, c.size == 0);
    EXPECT_EQ(list->first->flags & PLF_NULL, 0);
    std::vector<uint32_t> offsets(c.desc.size(), 0xFFFFFFFF);
    ASSERT_EQ(ov::pl::examineDescription(desc.get(), &entries, nullptr, nullptr, offsets.data()),
              S_OKAY);
    EXPECT_EQ(entries, c.desc.size());
    for (const auto &[index, offset] : c.offsets) EXPECT_EQ(offsets[index], offset) << index;
  }
  EXPECT_EQ(pl_calcStruct(kInnerDesc, nullptr, nullptr), S_OKAY);
  EXPECT_EQ(pl_calcStruct(nullptr, nullptr, nullptr), S_INVNULL);
  EXPECT_EQ(pl_putStruct(nullptr, kInnerDesc, 0, record, 1), S_INVNULL);
  EXPECT_EQ(pl_putStruct(List(pl_alloc()).get(), nullptr, 0, record, 1), S_INVNULL);
}

// The item carries the caller's flags and the description's first entry's,
// but only the caller's PLF_COPY copies, and only what the list copied or was
// given is released.
TEST(PlStruct, ItemsCarryCountsFlagsCopiesAndTheirOwnDescription) {
  const Inner records[3] = {{'a', 1}, {'b', 2}, {'c', 3}};
  std::vector<PLSTRUCTDESC> desc(std::begin(kInnerDesc), std::end(kInnerDesc));
  // extra: flags beyond the first entry's PLF_BEGIN | PLF_GIVE | PLF_COPY
  struct Case { uint16_t flags; const void *data; uint32_t count; uint16_t extra; uint32_t len; };
  for (const Case &c : {Case{0, records, 3, PLF_ARRAY, 3}, Case{PLF_COPY, records, 3, PLF_ARRAY, 3},
                        Case{PLF_COPY | PLF_ARRAY, records, 1, 0, 0}, Case{0, records, 0, 0, 0},
                        Case{PLF_COPY, nullptr, 2, PLF_ARRAY | PLF_NULL, 2}}) {
    SCOPED_TRACE("flags " + std::to_string(c.flags) + " count " + std::to_string(c.count));
    List list(pl_alloc());
    const int64_t base = ov_testOutstandingBlocks();
    ASSERT_EQ(pl_putStruct(list.get(), desc.data(), c.flags, c.data, c.count), S_OKAY);
    ASSERT_EQ(pl_seek(list.get(), 0, 0), S_OKAY);
    const uint32_t size = sizeof(Inner) * std::max(c.count, 1u);
    const uint16_t flags = PLF_BEGIN | PLF_GIVE | PLF_COPY | c.extra;
    EXPECT_EQ(peek(list.get()), Peeked(PL_STRUCT, list->first->desc, flags, size));
    desc[1].type = PL_INT;  // the caller's description changes; the item's copy does not
    EXPECT_EQ(std::tie(list->first->len, list->first->descCount, list->first->desc[1].type),
              std::make_tuple(c.len, uint16_t{4}, uint32_t{PL_CHAR}));
    desc[1].type = PL_CHAR;
    const void *pointer = reinterpret_cast<void *>(1);
    ASSERT_EQ(pl_get(list.get(), &pointer), S_OKAY);
    const bool copied = c.data != nullptr && (c.flags & PLF_COPY);
    EXPECT_EQ(pointer == c.data, !copied) << "the caller's records, or a copy of them";
    EXPECT_EQ(copied ? std::memcmp(pointer, c.data, size) : 0, 0);
    pl_reset(list.get());
    EXPECT_EQ(ov_testOutstandingBlocks(), base) << "the description's PLF_GIVE releases nothing";
  }
}

// Bound variables go into items and come back.  A by-reference binding takes
// min(capacity, item size) bytes, without a terminator, intact when the
// target overlaps the item's data or is that very buffer.  A binding of a
// type pl_put refuses is refused when put, after the items before it.
TEST(PlBind, PutAndGetRestoreTheVariablesOfTheKindsTheyMeet) {
  Bind bind(pl_allocBind());
  List list(pl_alloc());
  int32_t number = 42;
  const int32_t seven = 7;
  char text[8] = "abcdef";
  Inner records[2] = {{'x', 1}, {'y', 2}};
  ASSERT_EQ(pl_bind(bind.get(), PL_INT, 0, &number, 0), S_OKAY);
  ASSERT_EQ(pl_bind(bind.get(), PL_STRING, 0, text, sizeof text), S_OKAY);
  ASSERT_EQ(pl_bindStruct(bind.get(), kInnerDesc, PLF_COPY, records, 2), S_OKAY);
  ASSERT_EQ(pl_putBound(list.get(), bind.get()), S_OKAY);
  ASSERT_EQ(pl_put(list.get(), PL_INT, 0, &seven, 0), S_OKAY);
  number = 0;
  records[0] = records[1] = {'-', 0};
  ASSERT_EQ(pl_seek(list.get(), 0, 0), S_OKAY);
  bind->last->len = sizeof records;  // getting: the capacity in bytes
  ASSERT_EQ(pl_getBound(list.get(), bind.get()), S_OKAY);
  EXPECT_EQ(number, 42);
  EXPECT_STREQ(text, "abcdef") << "the string item refers to text itself";
  EXPECT_EQ(std::tie(records[1].c, records[1].l), std::make_tuple('y', 2));
  EXPECT_EQ(pl_getBound(list.get(), bind.get()), S_PARMEND) << "one item left, for number";
  EXPECT_EQ(number, 7) << "the bindings that met an item are filled";

  char four[6] = "zzzzz", shifting[16] = "abcdef";
  List strings(pl_alloc());
  ASSERT_EQ(pl_printf(strings.get(), "%s %s", text, shifting), S_OKAY);
  Bind targets(pl_allocBind());
  ASSERT_EQ(pl_bind(targets.get(), PL_STRING, 0, four, 4), S_OKAY);
  ASSERT_EQ(pl_bind(targets.get(), PL_STRING, 0, shifting + 2, 7), S_OKAY);
  ASSERT_EQ(pl_seek(strings.get(), 0, 0), S_OKAY);
  ASSERT_EQ(pl_getBound(strings.get(), targets.get()), S_OKAY);
  EXPECT_STREQ(four, "abcdz");
  EXPECT_STREQ(shifting, "ababcdef");

  ASSERT_EQ(pl_bind(targets.get(), PL_STRUCT, 0, four, 4), S_OKAY);
  EXPECT_EQ(pl_putBound(strings.get(), targets.get()), S_INVPARM);
  EXPECT_EQ(pl_count(strings.get()), 4u) << "the items of the bindings before it stay";
  EXPECT_EQ(pl_bindStruct(targets.get(), nullptr, 0, four, 1), S_INVNULL);
  EXPECT_EQ(pl_bind(nullptr, PL_INT, 0, four, 0), S_INVNULL);
  EXPECT_EQ(pl_getBound(nullptr, targets.get()), S_INVNULL);
  EXPECT_EQ(pl_putBound(strings.get(), nullptr), S_INVNULL);

  // A binding must meet an item of its kind; otherwise the cursor stays on that
  // item and the variable is untouched.  A null item copies nothing.
  List mixed(pl_alloc());
  ASSERT_EQ(pl_printf(mixed.get(), "%d %s %hd %s", 5, "text", 3, nullptr), S_OKAY);
  struct Case { uint32_t type; uint16_t flags; int32_t item; bool fits; };  // item: its index
  for (const Case &c : {Case{PL_LONG, 0, 0, false},    // 8 bytes into a 4-byte item's variable
                        Case{PL_INT, 0, 1, false},     // a pointer into an int
                        Case{PL_STRING, 0, 0, false},  // an int read as a pointer
                        Case{PL_INT, PLF_ARRAY, 2, false},
                        Case{0, 0, 1, false}, Case{0, 0, 0, false},  // no item has type 0...
                        Case{20, 0, 1, false},                       // ...nor a code above 19
                        Case{PL_UINT, 0, 0, true},  // signedness is a label
                        Case{PL_USHORT, 0, 2, true}, Case{PL_BLOB, 0, 3, true}}) {
    SCOPED_TRACE("type " + std::to_string(c.type) + " item " + std::to_string(c.item));
    Bind single(pl_allocBind());
    uint8_t target[8] = {0xAA};  // the first byte tells whether anything was written
    ASSERT_EQ(pl_bind(single.get(), c.type, c.flags, target, sizeof target), S_OKAY);
    ASSERT_EQ(pl_seek(mixed.get(), c.item, 0), S_OKAY);
    PARMITEM *at = mixed->current;
    EXPECT_EQ(pl_getBound(mixed.get(), single.get()), c.fits ? S_OKAY : S_RPCINVDATATYPE);
    EXPECT_EQ(mixed->current, c.fits ? at->next : at);
    EXPECT_EQ(target[0] == 0xAA, !c.fits || c.item == 3) << "written only when it fits";
  }
}

// Fails each allocation in turn: S_NOMEMORY, the list and table as they were,
// nothing leaked (a handed block still the caller's); once every allocation is
// granted, the blocks it added (a handed block not kept goes at once), and
// everything released with the list.
TEST(PlOom, EveryAllocationFailsCleanly) {
  enum Call { Put, PutStruct, BindVariable, BindStruct };
  // len: pl_put's length or pl_putStruct's count; growth: blocks added by the success
  struct Case { Call call; uint32_t type; uint16_t flags; uint32_t len; int allocations, growth; };
  constexpr uint16_t kGiveCopy = PLF_GIVE | PLF_COPY, kCopyArray = PLF_COPY | PLF_ARRAY;
  const Case cases[] = {
      {Put, PL_INT, 0, 0, 1, 1},           {Put, PL_INT, PLF_GIVE, 0, 1, 0},
      {Put, PL_STRING, 0, 0, 1, 1},        {Put, PL_STRING, PLF_COPY, 0, 2, 2},
      {Put, PL_SHORT, kCopyArray, 4, 2, 2}, {Put, PL_BLOB, kGiveCopy, 4, 2, 1},
      {PutStruct, 0, 0, 2, 2, 2},          {PutStruct, 0, PLF_COPY, 2, 3, 3},
      {PutStruct, 0, PLF_GIVE, 1, 2, 2},   {PutStruct, 0, kGiveCopy, 1, 3, 2},
      {BindVariable, PL_INT, 0, 0, 1, 1},  {BindStruct, PL_STRUCT, 0, 2, 1, 1},
  };
  static constexpr char kHanded[32] = "handed";
  for (const Case &c : cases) {
    SCOPED_TRACE("call " + std::to_string(c.call) + " flags " + std::to_string(c.flags));
    const int64_t start = ov_testOutstandingBlocks();
    List list(pl_alloc());
    Bind bind(pl_allocBind());
    ASSERT_EQ(pl_put(list.get(), PL_INT, 0, &c.len, 0), S_OKAY);
    ASSERT_EQ(pl_bind(bind.get(), PL_INT, 0, nullptr, 0), S_OKAY);
    ASSERT_EQ(pl_seek(list.get(), 0, 0), S_OKAY);
    void *handed = ov_getMem(sizeof kHanded, nullptr, MEM_COPY, kHanded, 1);
    const int64_t base = ov_testOutstandingBlocks();
    int failures = 0;
    for (;; ++failures) {
      PARMLIST *l = list.get();
      PARMBIND *b = bind.get();
      OV_STATUS status = S_OKAY;
      ov_testFailAllocation(failures);
      switch (c.call) {
        case Put: status = pl_put(l, c.type, c.flags, handed, c.len); break;
        case PutStruct: status = pl_putStruct(l, kInnerDesc, c.flags, handed, c.len); break;
        case BindVariable: status = pl_bind(b, c.type, c.flags, handed, c.len); break;
        case BindStruct: status = pl_bindStruct(b, kInnerDesc, c.flags, handed, c.len); break;
      }
      ov_testFailAllocation(-1);
      if (status == S_OKAY) break;
      ASSERT_EQ(status, S_NOMEMORY);
      EXPECT_EQ(items(list.get()), std::vector<PARMITEM *>{list->current});
      EXPECT_TRUE(bind->first == bind->last && bind->first->next == nullptr);
      EXPECT_EQ(ov_testOutstandingBlocks(), base);
    }
    EXPECT_EQ(failures, c.allocations);
    EXPECT_EQ(ov_testOutstandingBlocks() - base, c.growth);
    if (!(c.flags & PLF_GIVE)) ov_freeMemory(handed, nullptr);
    list.reset();
    bind.reset();
    EXPECT_EQ(ov_testOutstandingBlocks(), start) << "everything released, the handed block too";
  }

  ov_testFailAllocation(0);
  EXPECT_EQ(pl_allocBind(), nullptr);
  ov_testFailAllocation(0);
  EXPECT_EQ(pl_alloc(), nullptr);
}

}  // namespace
