// Tagged memory: allocation modes, growth with zero fill, and the test-only
// failure hook that the other families' out-of-memory tests rely on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "ovbase/platform.h"
#include "platform/testhooks.h"

namespace {

TEST(Memory, ExtendKeepsContentsAndZeroesGrowth) {
  // Each step resizes the block, checks that its first `kept` bytes hold the
  // pattern written after the step before and the rest is zero, and writes
  // the pattern again over the whole block.
  struct Step {
    uint64_t size, growBy, kept;
  };
  unsigned char *block = nullptr;
  for (const Step &s : {Step{100, 7, 0},      // a null block is zero-filled whole
                        Step{150, 50, 100},   // the growth is zeroed
                        Step{60, 10, 50},     // shrinking: the last growBy bytes are zeroed
                        Step{20, 1000, 0}}) {  // growBy above the size means all of it
    block = static_cast<unsigned char *>(ov_extendMem(block, s.size, nullptr, 1, s.growBy, 1));
    ASSERT_NE(block, nullptr) << s.size;
    for (uint64_t i = 0; i < s.size; ++i) {
      ASSERT_EQ(block[i], i < s.kept ? i + 1 : 0) << "size " << s.size << " byte " << i;
      block[i] = static_cast<unsigned char>(i + 1);
    }
  }
  // Size 0 on an existing block keeps a block instead of freeing it.
  block = static_cast<unsigned char *>(ov_extendMem(block, 0, nullptr, 0, 0, 1));
  ASSERT_NE(block, nullptr);
  ov_freeMemory(block, nullptr);
}

// Modes, refusals, and the failure hook that the other families' out-of-memory
// tests rely on.
TEST(Memory, ModesRefusalsAndTheFailureHook) {
  const int64_t before = ov_testOutstandingBlocks();
  auto *plain = static_cast<char *>(ov_getMem(16, nullptr, MEM_PLAIN, nullptr, 1));
  auto *zero = static_cast<char *>(ov_getMem(64, nullptr, MEM_ZERO, nullptr, 2));
  auto *dup = static_cast<char *>(ov_getMem(0, nullptr, MEM_STRDUP, "abc", 3));  // size unused
  auto *copy = static_cast<char *>(ov_getMem(3, nullptr, MEM_COPY, "abcdef", 4));  // 3 bytes
  ASSERT_TRUE(plain && zero && dup && copy);
  std::memset(plain, 'p', 16);  // the whole block is ours to write
  EXPECT_EQ(std::count(zero, zero + 64, '\0'), 64);
  EXPECT_STREQ(dup, "abc");
  EXPECT_EQ(std::memcmp(copy, "abc", 3), 0);
  EXPECT_EQ(ov_testOutstandingBlocks(), before + 4);
  for (char *b : {plain, zero, dup, copy}) ov_freeMemory(b, nullptr);
  ov_freeMemory(nullptr, nullptr);

  // Modes outside 1..4, and copies that would read from a null source,
  // allocate nothing.  Copying 0 bytes reads nothing: a null source is then
  // no obstacle, and the block comes out as for any other source.
  for (int mode : {0, 5, -1, 1000}) EXPECT_EQ(ov_getMem(8, nullptr, mode, "x", 5), nullptr);
  for (int32_t mode : {MEM_STRDUP, MEM_COPY})
    for (uint64_t size : {0, 8, 1 << 20}) {
      void *block = ov_getMem(size, nullptr, mode, nullptr, 6);
      EXPECT_EQ(block != nullptr, mode == MEM_COPY && size == 0) << mode << " size " << size;
      ov_freeMemory(block, nullptr);
    }

  ov_testFailAllocation(2);  // the third allocation from now fails, no other
  void *a = ov_getMem(8, nullptr, MEM_PLAIN, nullptr, 1);
  void *b = ov_extendMem(nullptr, 8, nullptr, 0, 0, 1);
  EXPECT_EQ(ov_getMem(8, nullptr, MEM_ZERO, nullptr, 1), nullptr);
  void *d = ov_getMem(8, nullptr, MEM_ZERO, nullptr, 1);
  ASSERT_TRUE(a && b && d);
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
