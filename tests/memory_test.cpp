// Tagged memory: allocation modes, growth with zero fill, and the test-only
// failure hook that the other families' out-of-memory tests rely on.
#include <gtest/gtest.h>

#include <cstring>

#include "ovbase/platform.h"
#include "platform/testhooks.h"

namespace {

TEST(Memory, Modes) {
  const int64_t before = ov_testOutstandingBlocks();
  auto *plain = static_cast<char *>(ov_getMem(16, nullptr, MEM_PLAIN, nullptr, 1));
  ASSERT_NE(plain, nullptr);
  std::memset(plain, 'p', 16);  // the whole block is ours to write

  auto *zero = static_cast<unsigned char *>(ov_getMem(64, nullptr, MEM_ZERO, nullptr, 2));
  ASSERT_NE(zero, nullptr);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(zero[i], 0);

  // MEM_STRDUP ignores size.
  auto *dup = static_cast<char *>(ov_getMem(0, nullptr, MEM_STRDUP, "abc", 3));
  ASSERT_NE(dup, nullptr);
  EXPECT_STREQ(dup, "abc");

  // MEM_COPY takes exactly size bytes, terminator or not.
  auto *copy = static_cast<char *>(ov_getMem(3, nullptr, MEM_COPY, "abcdef", 4));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(std::memcmp(copy, "abc", 3), 0);

  EXPECT_EQ(ov_testOutstandingBlocks(), before + 4);
  for (void *b : {static_cast<void *>(plain), static_cast<void *>(zero),
                  static_cast<void *>(dup), static_cast<void *>(copy)})
    ov_freeMemory(b, nullptr);
  ov_freeMemory(nullptr, nullptr);
  EXPECT_EQ(ov_testOutstandingBlocks(), before);

  // Modes outside 1..4, and copies from a null source, allocate nothing.
  for (int mode : {0, 5, -1, 1000}) EXPECT_EQ(ov_getMem(8, nullptr, mode, "x", 5), nullptr);
  struct NullSource {
    int32_t mode;
    uint64_t size;
  };
  for (const NullSource &row : {NullSource{MEM_STRDUP, 0}, NullSource{MEM_STRDUP, 8},
                                NullSource{MEM_COPY, 0}, NullSource{MEM_COPY, 16},
                                NullSource{MEM_COPY, 1 << 20}})
    EXPECT_EQ(ov_getMem(row.size, nullptr, row.mode, nullptr, 6), nullptr)
        << "mode " << row.mode << " size " << row.size;
  EXPECT_EQ(ov_testOutstandingBlocks(), before);
}

TEST(Memory, ExtendKeepsContentsAndZeroesGrowth) {
  auto *block = static_cast<unsigned char *>(ov_extendMem(nullptr, 100, nullptr, 1, 7, 1));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(block[i], 0) << "null block with zero fill";
  for (int i = 0; i < 100; ++i) block[i] = static_cast<unsigned char>(i + 1);

  block = static_cast<unsigned char *>(ov_extendMem(block, 150, nullptr, 1, 50, 1));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(block[i], i + 1);
  for (int i = 100; i < 150; ++i) EXPECT_EQ(block[i], 0);

  // Shrinking keeps the leading bytes; zero fill of the last growBy bytes
  // applies to the block's new end.
  block = static_cast<unsigned char *>(ov_extendMem(block, 60, nullptr, 1, 10, 1));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(block[i], i + 1);
  for (int i = 50; i < 60; ++i) EXPECT_EQ(block[i], 0);

  // Size 0 on an existing block keeps a block instead of freeing it.
  block = static_cast<unsigned char *>(ov_extendMem(block, 0, nullptr, 0, 0, 1));
  ASSERT_NE(block, nullptr);
  ov_freeMemory(block, nullptr);
}

TEST(Memory, FailureHook) {
  const int64_t before = ov_testOutstandingBlocks();
  ov_testFailAllocation(2);
  void *a = ov_getMem(8, nullptr, MEM_PLAIN, nullptr, 1);
  void *b = ov_extendMem(nullptr, 8, nullptr, 0, 0, 1);
  void *c = ov_getMem(8, nullptr, MEM_ZERO, nullptr, 1);  // the armed one
  void *d = ov_getMem(8, nullptr, MEM_ZERO, nullptr, 1);
  EXPECT_NE(a, nullptr);
  EXPECT_NE(b, nullptr);
  EXPECT_EQ(c, nullptr);
  EXPECT_NE(d, nullptr);
  EXPECT_EQ(ov_testAllocationCount(), 4);

  // A failed growth leaves the block allocated and unchanged.
  std::memcpy(a, "1234567", 8);
  ov_testFailAllocation(0);
  EXPECT_EQ(ov_extendMem(a, 1 << 20, nullptr, 1, 1 << 19, 1), nullptr);
  EXPECT_STREQ(static_cast<char *>(a), "1234567");
  EXPECT_EQ(ov_testOutstandingBlocks(), before + 3);

  ov_testFailAllocation(-1);
  for (void *p : {a, b, d}) ov_freeMemory(p, nullptr);
  EXPECT_EQ(ov_testOutstandingBlocks(), before);
}

}  // namespace
