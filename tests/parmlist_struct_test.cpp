// Structures in parameter lists: layout against the compiler's own sizeof,
// alignof and offsetof, malformed descriptions, structure items, bind
// tables, and out-of-memory injection at every allocation.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <cwchar>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ovbase/parmlist.h"
#include "ovbase/platform.h"
#include "parmlist/parmlist_internal.h"
#include "platform/testhooks.h"

namespace {

struct ListDeleter {
  void operator()(PARMLIST *list) const { pl_free(list); }
};
using List = std::unique_ptr<PARMLIST, ListDeleter>;
struct BindDeleter {
  void operator()(PARMBIND *bind) const { pl_freeBind(bind); }
};
using Bind = std::unique_ptr<PARMBIND, BindDeleter>;

constexpr PLSTRUCTDESC begin(uint32_t size = 0, uint16_t extra = 0, uint32_t count = 0) {
  return {extra & PLF_ARRAY ? count : size, PL_STRUCT, static_cast<uint16_t>(PLF_BEGIN | extra)};
}
constexpr PLSTRUCTDESC end() { return {0, PL_STRUCT, PLF_END}; }
constexpr PLSTRUCTDESC member(uint32_t type) { return {0, type, 0}; }
constexpr PLSTRUCTDESC array(uint32_t type, uint32_t count) { return {count, type, PLF_ARRAY}; }
constexpr PLSTRUCTDESC skipped(uint32_t type) { return {0, type, PLF_SKIP}; }

// C records and their descriptions.  A PL_BLOB member is placed like a
// double; its C twin is an 8-byte-aligned byte array.
struct CharDouble { char c; double d; };
struct ShortChar { int16_t s; char c; };
struct Ints { int32_t a, b, c; };
struct NameInt { char name[10]; int32_t i; };
struct Inner { char c; int64_t l; };
struct Outer { char c; Inner in; };
struct OuterArray { char c; Inner in[2]; };
struct Small { char c; };
struct WideFirst { double d; Small small; char after; };
struct Addr6 { uint16_t w[3]; };
struct Pair32 { uint32_t high, low; };
struct Mixed {
  uint8_t tiny; uint16_t us; float f; char s[3]; double d; wchar_t w; Addr6 a; Pair32 p;
  int8_t t2; wchar_t ws[5]; alignas(8) uint8_t blob[3]; uint32_t u; int16_t sh[3]; int64_t l;
};
struct Deep {
  int16_t a;
  struct Mid { char c; struct Low { double d; char e; } low[2]; int32_t i; } mid;
  char z;
};

struct LayoutCase {
  const char *name;
  std::vector<PLSTRUCTDESC> desc;
  size_t size, align;
  std::vector<std::pair<size_t, size_t>> offsets;  // {entry index, offsetof within its enclosing record}
};

TEST(PlLayout, MatchesTheCompilersRecords) {
  const std::vector<LayoutCase> cases = {
      {"char double", {begin(), member(PL_CHAR), member(PL_DOUBLE), end()}, sizeof(CharDouble), alignof(CharDouble),
       {{1, offsetof(CharDouble, c)}, {2, offsetof(CharDouble, d)}}},
      {"short char", {begin(), member(PL_SHORT), member(PL_CHAR), end()}, sizeof(ShortChar), alignof(ShortChar),
       {{2, offsetof(ShortChar, c)}}},
      {"ints", {begin(), member(PL_INT), member(PL_UINT), member(PL_INT), end()}, sizeof(Ints), alignof(Ints),
       {{3, offsetof(Ints, c)}}},
      {"name int", {begin(), array(PL_CHAR, 10), member(PL_INT), end()}, sizeof(NameInt), alignof(NameInt),
       {{2, offsetof(NameInt, i)}}},
      {"nested", {begin(), member(PL_CHAR), begin(), member(PL_CHAR), member(PL_LONG), end(), end()},
       sizeof(Outer), alignof(Outer), {{2, offsetof(Outer, in)}, {4, offsetof(Inner, l)}}},
      {"nested array", {begin(), member(PL_CHAR), begin(0, PLF_ARRAY, 2), member(PL_CHAR), member(PL_LONG), end(), end()},
       sizeof(OuterArray), alignof(OuterArray), {{2, offsetof(OuterArray, in)}}},
      {"skipped members of unknown types", {begin(), member(PL_INT), skipped(20), member(PL_UINT), skipped(0xFFFFFFFF), member(PL_INT), end()},
       sizeof(Ints), alignof(Ints), {{3, offsetof(Ints, b)}, {5, offsetof(Ints, c)}}},
      {"nested after a wider member", {begin(), member(PL_DOUBLE), begin(), member(PL_CHAR), end(), member(PL_CHAR), end()},
       sizeof(WideFirst), alignof(WideFirst), {{2, offsetof(WideFirst, small)}, {5, offsetof(WideFirst, after)}}},
      {"mixed",
       {begin(), member(PL_UTINY), member(PL_USHORT), member(PL_FLOAT), array(PL_STRING, 3), member(PL_DOUBLE),
        member(PL_WCHAR), member(PL_ADDR), member(PL_PAIR32), member(PL_TINY), array(PL_WSTRING, 5),
        array(PL_BLOB, 3), member(PL_UINT), array(PL_SHORT, 3), member(PL_LONG), end()},
       sizeof(Mixed), alignof(Mixed),
       {{1, offsetof(Mixed, tiny)}, {2, offsetof(Mixed, us)}, {3, offsetof(Mixed, f)}, {4, offsetof(Mixed, s)},
        {5, offsetof(Mixed, d)}, {6, offsetof(Mixed, w)}, {7, offsetof(Mixed, a)}, {8, offsetof(Mixed, p)},
        {9, offsetof(Mixed, t2)}, {10, offsetof(Mixed, ws)}, {11, offsetof(Mixed, blob)}, {12, offsetof(Mixed, u)},
        {13, offsetof(Mixed, sh)}, {14, offsetof(Mixed, l)}}},
      {"deep with skips",
       {begin(), member(PL_SHORT), skipped(PL_DOUBLE), begin(), member(PL_CHAR), begin(0, PLF_ARRAY, 2), skipped(PL_LONG),
        member(PL_DOUBLE), member(PL_CHAR), end(), member(PL_INT), end(), skipped(PL_BLOB), member(PL_CHAR), end()},
       sizeof(Deep), alignof(Deep),
       {{1, offsetof(Deep, a)}, {3, offsetof(Deep, mid)}, {4, offsetof(Deep::Mid, c)}, {5, offsetof(Deep::Mid, low)},
        {7, offsetof(Deep::Mid::Low, d)}, {8, offsetof(Deep::Mid::Low, e)}, {10, offsetof(Deep::Mid, i)},
        {13, offsetof(Deep, z)}}},
      {"empty", {begin(), end()}, 0, 1, {}},
  };
  for (const LayoutCase &c : cases) {
    uint32_t size = 99, alignClass = 99, entries = 0;
    std::vector<uint32_t> offsets(c.desc.size(), 0xFFFFFFFF);
    ASSERT_EQ(pl_calcStruct(c.desc.data(), &size, &alignClass), S_OKAY) << c.name;
    EXPECT_EQ(size, c.size) << c.name;
    EXPECT_EQ(ov_align(1, alignClass), c.size == 0 ? 1 : c.align) << c.name;
    ASSERT_EQ(ov::pl::examineDescription(c.desc.data(), &entries, nullptr, nullptr, offsets.data()), S_OKAY);
    EXPECT_EQ(entries, c.desc.size()) << c.name;
    for (const auto &[index, offset] : c.offsets) EXPECT_EQ(offsets[index], offset) << c.name << " entry " << index;
  }
  EXPECT_EQ(pl_calcStruct(cases[0].desc.data(), nullptr, nullptr), S_OKAY);
  EXPECT_EQ(pl_calcStruct(nullptr, nullptr, nullptr), S_INVNULL);
}

// Structures nest as deep as the longest description an item can record
// allows (one char at the bottom, padded by nothing); an unclosed
// description longer than that is refused without reading past it.
TEST(PlLayout, NestingAndLengthLimits) {
  auto nested = [](size_t depth) {
    std::vector<PLSTRUCTDESC> desc(depth, begin());
    desc.push_back(member(PL_CHAR));
    desc.insert(desc.end(), depth, end());
    return desc;
  };
  List list(pl_alloc());
  for (size_t depth : {1u, 256u, 257u, 32767u}) {
    const std::vector<PLSTRUCTDESC> desc = nested(depth);
    uint32_t size = 99;
    EXPECT_EQ(pl_calcStruct(desc.data(), &size, nullptr), S_OKAY) << depth;
    EXPECT_EQ(size, 1u) << depth;
    const char bottom = 'x';
    ASSERT_EQ(pl_putStruct(list.get(), desc.data(), PLF_COPY, &bottom, 1), S_OKAY) << depth;
    EXPECT_EQ(list->last->descCount, desc.size()) << depth;
  }
  uint32_t size = 0;
  std::vector<PLSTRUCTDESC> longest(65535, member(PL_CHAR));
  longest.front() = begin();
  longest.back() = end();
  EXPECT_EQ(pl_calcStruct(longest.data(), &size, nullptr), S_OKAY);
  EXPECT_EQ(size, 65533u);
  longest.insert(longest.begin() + 1, member(PL_CHAR));
  longest.resize(65535);  // the closing entry would be the 65536th
  longest.shrink_to_fit();  // exactly 65535 entries: reading one more is caught
  EXPECT_EQ(pl_calcStruct(longest.data(), &size, nullptr), S_INVPARM);
}

TEST(PlLayout, MalformedDescriptionsAreRefusedEverywhere) {
  struct Case {
    const char *name;
    std::vector<PLSTRUCTDESC> desc;  // each ends where reading must stop at the latest
  };
  const std::vector<Case> cases = {
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
      {"too large when nested", {begin(), begin(0, PLF_ARRAY, 0x10000), array(PL_CHAR, 0x10000), end(), end()}},
      {"padding beyond 32 bits", {begin(), array(PL_CHAR, 0xFFFFFFFF), member(PL_DOUBLE), end()}},
  };
  List list(pl_alloc());
  Bind bind(pl_allocBind());
  int32_t value = 7;
  ASSERT_EQ(pl_put(list.get(), PL_INT, 0, &value, 0), S_OKAY);
  const int64_t base = ov_testOutstandingBlocks();
  for (const Case &c : cases) {
    // A copy of exactly the entries, so that reading one more is caught.
    std::unique_ptr<PLSTRUCTDESC[]> desc(new PLSTRUCTDESC[c.desc.size()]);
    std::copy(c.desc.begin(), c.desc.end(), desc.get());
    EXPECT_EQ(pl_calcStruct(desc.get(), nullptr, nullptr), S_INVPARM) << c.name;
    EXPECT_EQ(pl_putStruct(list.get(), desc.get(), PLF_COPY, &value, 1), S_INVPARM) << c.name;
    EXPECT_EQ(pl_putStruct(list.get(), desc.get(), 0, &value, 1), S_INVPARM) << c.name;
    // Binding only records the description; putting the binding refuses it.
    Bind described(pl_allocBind());
    EXPECT_EQ(pl_bindStruct(described.get(), desc.get(), 0, &value, 1), S_OKAY) << c.name;
    EXPECT_EQ(pl_putBound(list.get(), described.get()), S_INVPARM) << c.name;
  }
  EXPECT_EQ(pl_count(list.get()), 1u);
  EXPECT_EQ(ov_testOutstandingBlocks(), base);
  const PLSTRUCTDESC good[] = {begin(4), member(PL_INT), end()};
  EXPECT_EQ(pl_putStruct(nullptr, good, 0, &value, 1), S_INVNULL);
  EXPECT_EQ(pl_putStruct(list.get(), nullptr, 0, &value, 1), S_INVNULL);
  EXPECT_EQ(pl_bindStruct(bind.get(), nullptr, 0, &value, 1), S_INVNULL);
  EXPECT_EQ(pl_bind(nullptr, PL_INT, 0, &value, 0), S_INVNULL);
}

// A binding takes any type code; the put it stands for refuses what pl_put
// refuses, after the items of the bindings before it.
TEST(PlBind, AnyTypeIsBoundAndTheFailingPutReportsIt) {
  for (uint32_t type : {0u, static_cast<uint32_t>(PL_STRUCT), 20u, 0xFFFFFFFFu}) {
    Bind bind(pl_allocBind());
    List list(pl_alloc());
    int32_t value = 7;
    ASSERT_EQ(pl_bind(bind.get(), PL_INT, 0, &value, 0), S_OKAY);
    ASSERT_EQ(pl_bind(bind.get(), type, 0, &value, 4), S_OKAY) << type;
    ASSERT_NE(bind->last, nullptr);
    EXPECT_EQ(bind->last->type, type);
    EXPECT_EQ(bind->last->desc, nullptr);
    EXPECT_EQ(pl_putBound(list.get(), bind.get()), S_INVPARM) << type;
    EXPECT_EQ(pl_count(list.get()), 1u) << type;
  }
}

TEST(PlStruct, ItemsCarryCountsFlagsCopiesAndTheirOwnDescription) {
  const OuterArray records[3] = {{'a', {{'b', 1}, {'c', 2}}}, {'d', {{'e', 3}, {'f', 4}}}, {'g', {{'h', 5}, {'i', 6}}}};
  std::vector<PLSTRUCTDESC> desc = {begin(sizeof(OuterArray), PLF_GIVE | PLF_COPY), member(PL_CHAR),
                                    begin(0, PLF_ARRAY, 2), member(PL_CHAR), member(PL_LONG), end(), end()};
  desc[0].count = sizeof(OuterArray);
  struct Case {
    uint16_t flags;
    const void *data;
    uint32_t count;
    uint16_t expectFlags;  // beyond the first entry's PLF_BEGIN | PLF_GIVE | PLF_COPY
    uint32_t expectLen, expectSize;
    bool copied;
  };
  const uint16_t fromDesc = PLF_BEGIN | PLF_GIVE | PLF_COPY;
  for (const Case &c : {Case{0, records, 3, PLF_ARRAY, 3, 3 * sizeof(OuterArray), false},
                        Case{PLF_COPY, records, 3, PLF_ARRAY, 3, 3 * sizeof(OuterArray), true},
                        Case{PLF_COPY | PLF_ARRAY, records, 1, 0, 0, sizeof(OuterArray), true},
                        Case{0, records, 0, 0, 0, sizeof(OuterArray), false},
                        Case{PLF_COPY, nullptr, 2, PLF_ARRAY | PLF_NULL, 2, 2 * sizeof(OuterArray), false}}) {
    SCOPED_TRACE("flags " + std::to_string(c.flags) + " count " + std::to_string(c.count));
    List list(pl_alloc());
    const int64_t base = ov_testOutstandingBlocks();
    ASSERT_EQ(pl_putStruct(list.get(), desc.data(), c.flags, c.data, c.count), S_OKAY);
    desc[1].type = PL_INT;  // the caller's description changes; the item's copy does not
    ASSERT_EQ(pl_seek(list.get(), 0, 0), S_OKAY);
    uint32_t type = 0, size = 0;
    uint16_t flags = 0;
    PLSTRUCTDESC *copy = nullptr;
    pl_peek(list.get(), &type, &copy, &flags, &size);
    desc[1].type = PL_CHAR;
    EXPECT_EQ(type, static_cast<uint32_t>(PL_STRUCT));
    EXPECT_EQ(flags, static_cast<uint16_t>(fromDesc | c.expectFlags | (c.flags & PLF_COPY)));
    EXPECT_EQ(size, c.expectSize);
    EXPECT_EQ(list->first->len, c.expectLen);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(list->first->descCount, desc.size());
    EXPECT_EQ(copy[1].type, static_cast<uint32_t>(PL_CHAR));
    const void *pointer = reinterpret_cast<void *>(1);
    ASSERT_EQ(pl_get(list.get(), &pointer), S_OKAY);
    if (c.data == nullptr) {
      EXPECT_EQ(pointer, nullptr);
    } else if (c.copied) {
      EXPECT_NE(pointer, c.data);
      EXPECT_EQ(std::memcmp(pointer, c.data, c.expectSize), 0) << "the copy covers the compiler's record size";
    } else {
      EXPECT_EQ(pointer, c.data);
    }
    pl_reset(list.get());
    EXPECT_EQ(ov_testOutstandingBlocks(), base) << "the description's PLF_GIVE releases nothing of the caller's";
  }

  // A handed structure is the list's; handed and copied, it goes at once.
  List list(pl_alloc());
  const PLSTRUCTDESC plain[] = {begin(4), member(PL_INT), end()};
  const int64_t base = ov_testOutstandingBlocks();
  void *handed = ov_getMem(4, nullptr, MEM_ZERO, nullptr, 1);
  ASSERT_EQ(pl_putStruct(list.get(), plain, PLF_GIVE, handed, 1), S_OKAY);
  void *handedAndCopied = ov_getMem(4, nullptr, MEM_ZERO, nullptr, 1);
  ASSERT_EQ(pl_putStruct(list.get(), plain, PLF_GIVE | PLF_COPY, handedAndCopied, 1), S_OKAY);
  EXPECT_EQ(ov_testOutstandingBlocks() - base, 1 + 2 + 3) << "handed block, two items with descriptions, a copy";
  pl_reset(list.get());
  EXPECT_EQ(ov_testOutstandingBlocks(), base);
  // An empty structure copies nothing: a null pointer, owned by no one.
  const PLSTRUCTDESC empty[] = {begin(), end()};
  ASSERT_EQ(pl_putStruct(list.get(), empty, PLF_COPY, plain, 1), S_OKAY);
  EXPECT_EQ(list->first->value.ptr, nullptr);
  EXPECT_EQ(list->first->flags & PLF_NULL, 0);
}

TEST(PlBind, PutAndGetRestoreTheVariables) {
  Bind bind(pl_allocBind());
  List list(pl_alloc());
  int32_t number = 42;
  char text[8] = "abcdef";
  const PLSTRUCTDESC desc[] = {begin(sizeof(Inner)), member(PL_CHAR), member(PL_LONG), end()};
  Inner records[2] = {{'x', 1}, {'y', 2}};
  ASSERT_EQ(pl_bind(bind.get(), PL_INT, 0, &number, 0), S_OKAY);
  ASSERT_EQ(pl_bind(bind.get(), PL_STRING, 0, text, sizeof text), S_OKAY);
  ASSERT_EQ(pl_bindStruct(bind.get(), desc, PLF_COPY, records, 2), S_OKAY);
  ASSERT_EQ(pl_putBound(list.get(), bind.get()), S_OKAY);
  ASSERT_EQ(pl_count(list.get()), 3u);

  // The item refers to text itself: getting it back copies onto itself.
  number = 0;
  records[0] = records[1] = {'-', 0};
  ASSERT_EQ(pl_seek(list.get(), 0, 0), S_OKAY);
  bind->last->len = sizeof records;  // getting: the capacity in bytes
  ASSERT_EQ(pl_getBound(list.get(), bind.get()), S_OKAY);
  EXPECT_EQ(number, 42);
  EXPECT_STREQ(text, "abcdef");
  EXPECT_EQ(records[1].c, 'y');
  EXPECT_EQ(records[1].l, 2);
  EXPECT_EQ(list->current, nullptr);
  EXPECT_EQ(pl_getBound(list.get(), bind.get()), S_PARMEND);

  // A short buffer takes a prefix without a terminator.
  Bind shortBind(pl_allocBind());
  char four[6] = "zzzzz";
  ASSERT_EQ(pl_bind(shortBind.get(), PL_STRING, 0, four, 4), S_OKAY);
  ASSERT_EQ(pl_seek(list.get(), 1, 0), S_OKAY);
  ASSERT_EQ(pl_getBound(list.get(), shortBind.get()), S_OKAY);
  EXPECT_STREQ(four, "abcdz");

  // A target overlapping the item's data further on receives the bytes intact.
  char shifting[16] = "abcdef";
  Bind shiftBind(pl_allocBind());
  List shiftList(pl_alloc());
  ASSERT_EQ(pl_put(shiftList.get(), PL_STRING, 0, shifting, 0), S_OKAY);
  ASSERT_EQ(pl_bind(shiftBind.get(), PL_STRING, 0, shifting + 2, 7), S_OKAY);
  ASSERT_EQ(pl_seek(shiftList.get(), 0, 0), S_OKAY);
  ASSERT_EQ(pl_getBound(shiftList.get(), shiftBind.get()), S_OKAY);
  EXPECT_STREQ(shifting, "ababcdef");

  // More bindings than items: the ones with items are filled, then S_PARMEND.
  List one(pl_alloc());
  ASSERT_EQ(pl_printf(one.get(), "%d", 7), S_OKAY);
  ASSERT_EQ(pl_seek(one.get(), 0, 0), S_OKAY);
  number = 0;
  EXPECT_EQ(pl_getBound(one.get(), bind.get()), S_PARMEND);
  EXPECT_EQ(number, 7);
}

TEST(PlBind, MismatchedBindingsAndNullItemsWriteNothing) {
  List list(pl_alloc());
  ASSERT_EQ(pl_printf(list.get(), "%d %s %hd %s", 5, "text", 3, nullptr), S_OKAY);
  struct Case {
    uint32_t type;
    uint16_t flags;
    int32_t seekTo;
    OV_STATUS expect;
  };
  for (const Case &c : {Case{PL_LONG, 0, 0, S_RPCINVDATATYPE},      // 8 bytes into a 4-byte item's variable
                        Case{PL_INT, 0, 1, S_RPCINVDATATYPE},       // a pointer into an int
                        Case{PL_STRING, 0, 0, S_RPCINVDATATYPE},    // an int read as a pointer
                        Case{PL_INT, PLF_ARRAY, 2, S_RPCINVDATATYPE},
                        Case{0, 0, 1, S_RPCINVDATATYPE},            // no item has type 0
                        Case{0, 0, 0, S_RPCINVDATATYPE},
                        Case{20, 0, 1, S_RPCINVDATATYPE},           // nor a code above 19
                        Case{PL_UINT, 0, 0, S_OKAY},                // signedness is a label
                        Case{PL_USHORT, 0, 2, S_OKAY},
                        Case{PL_BLOB, 0, 3, S_OKAY}}) {             // a null item copies nothing
    Bind bind(pl_allocBind());
    uint8_t target[8];
    std::memset(target, 0xAA, sizeof target);
    ASSERT_EQ(pl_bind(bind.get(), c.type, c.flags, target, sizeof target), S_OKAY);
    ASSERT_EQ(pl_seek(list.get(), c.seekTo, 0), S_OKAY);
    PARMITEM *at = list->current;
    EXPECT_EQ(pl_getBound(list.get(), bind.get()), c.expect) << c.type;
    if (c.expect != S_OKAY) {
      EXPECT_EQ(list->current, at) << c.type;
      EXPECT_EQ(target[0], 0xAA) << c.type;
    } else {
      EXPECT_EQ(list->current, at->next) << c.type;
    }
  }
  uint8_t untouched[4] = {9, 9, 9, 9};
  Bind nullBind(pl_allocBind());
  ASSERT_EQ(pl_bind(nullBind.get(), PL_STRING, 0, untouched, 4), S_OKAY);
  ASSERT_EQ(pl_seek(list.get(), 3, 0), S_OKAY);
  ASSERT_EQ(pl_getBound(list.get(), nullBind.get()), S_OKAY);
  EXPECT_EQ(untouched[0], 9);
  EXPECT_EQ(pl_getBound(nullptr, nullBind.get()), S_INVNULL);
  EXPECT_EQ(pl_putBound(list.get(), nullptr), S_INVNULL);
}

// Fails each allocation in turn: the documented status, the list or table
// as it was, nothing leaked, and success once every allocation is granted.
TEST(PlOom, StructuresAndBindingsFailCleanlyAtEveryAllocation) {
  const PLSTRUCTDESC desc[] = {begin(sizeof(Inner)), member(PL_CHAR), member(PL_LONG), end()};
  const Inner records[2] = {{'x', 1}, {'y', 2}};
  int32_t number = 1;
  struct Case {
    const char *name;
    std::function<OV_STATUS(PARMLIST *, PARMBIND *)> call;
    int allocations;
  };
  const std::vector<Case> cases = {
      {"putStruct referenced", [&](PARMLIST *l, PARMBIND *) { return pl_putStruct(l, desc, 0, records, 2); }, 2},
      {"putStruct copied", [&](PARMLIST *l, PARMBIND *) { return pl_putStruct(l, desc, PLF_COPY, records, 2); }, 3},
      {"bind", [&](PARMLIST *, PARMBIND *b) { return pl_bind(b, PL_INT, 0, &number, 0); }, 1},
      {"bindStruct", [&](PARMLIST *, PARMBIND *b) { return pl_bindStruct(b, desc, 0, &number, 0); }, 1},
  };
  for (const Case &c : cases) {
    List list(pl_alloc());
    Bind bind(pl_allocBind());
    ASSERT_EQ(pl_put(list.get(), PL_INT, 0, &number, 0), S_OKAY);
    ASSERT_EQ(pl_bind(bind.get(), PL_INT, 0, &number, 0), S_OKAY);
    const int64_t base = ov_testOutstandingBlocks();
    int failures = 0;
    for (int64_t n = 0;; ++n) {
      ov_testFailAllocation(n);
      const OV_STATUS status = c.call(list.get(), bind.get());
      ov_testFailAllocation(-1);
      if (status == S_OKAY) break;
      ASSERT_EQ(status, S_NOMEMORY) << c.name;
      ++failures;
      EXPECT_EQ(pl_count(list.get()), 1u) << c.name;
      EXPECT_EQ(bind->first, bind->last) << c.name;
      EXPECT_EQ(bind->first->next, nullptr) << c.name;
      EXPECT_EQ(ov_testOutstandingBlocks(), base) << c.name;
    }
    EXPECT_EQ(failures, c.allocations) << c.name;
  }

  // pl_putBound stops at the failing put and keeps the items before it.
  List list(pl_alloc());
  Bind bind(pl_allocBind());
  ASSERT_EQ(pl_bind(bind.get(), PL_INT, 0, &number, 0), S_OKAY);
  ASSERT_EQ(pl_bindStruct(bind.get(), desc, PLF_COPY, const_cast<Inner *>(records), 2), S_OKAY);
  ov_testFailAllocation(3);  // the second item's data copy
  EXPECT_EQ(pl_putBound(list.get(), bind.get()), S_NOMEMORY);
  ov_testFailAllocation(-1);
  EXPECT_EQ(pl_count(list.get()), 1u);
  ov_testFailAllocation(0);
  EXPECT_EQ(pl_allocBind(), nullptr);
  ov_testFailAllocation(-1);
}

}  // namespace
