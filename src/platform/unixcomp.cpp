/*
 * unixcomp.cpp - thin operating-system wrappers.
 *
 * Exports the tagged heap (ov_getMem, ov_extendMem, ov_freeMemory).  The
 * allocator keeps no books: tags and memory contexts belong to the interface
 * but are not read.  The static test build adds a failure countdown and a
 * count of outstanding blocks (see testhooks.h).
 */
#include "ovbase/platform.h"

#include <cstdlib>
#include <cstring>

#ifdef OV_TEST_HOOKS
#include <atomic>

#include "platform/testhooks.h"
#endif

namespace {

#ifdef OV_TEST_HOOKS
std::atomic<int64_t> failAt{-1};
std::atomic<int64_t> attempts{0};
std::atomic<int64_t> outstanding{0};

// True when this allocation attempt is the one armed to fail.
bool injectFailure() {
  return attempts.fetch_add(1) == failAt.load();
}
void countBlock(const void *block, int delta) {
  if (block != nullptr) outstanding.fetch_add(delta);
}
#else
constexpr bool injectFailure() { return false; }
constexpr void countBlock(const void *, int) {}
#endif

void *takeBlock(uint64_t size, int32_t mode, const void *source) {
  switch (mode) {
    case MEM_PLAIN:
      return std::malloc(size);
    case MEM_ZERO:
      return std::calloc(1, size);
    case MEM_STRDUP:
      return source ? strdup(static_cast<const char *>(source)) : nullptr;
    case MEM_COPY: {
      void *block = std::malloc(size);
      if (block != nullptr && size != 0) std::memcpy(block, source, size);
      return block;
    }
    default:
      return nullptr;
  }
}

}  // namespace

#ifdef OV_TEST_HOOKS
extern "C" void ov_testFailAllocation(int64_t n) {
  attempts.store(0);
  failAt.store(n);
}
extern "C" int64_t ov_testAllocationCount(void) { return attempts.load(); }
extern "C" int64_t ov_testOutstandingBlocks(void) { return outstanding.load(); }
#endif

extern "C" {

OV_API void *ov_getMem(uint64_t size, void *, int32_t mode, const void *source, uint32_t) {
  if (mode < MEM_PLAIN || mode > MEM_COPY) return nullptr;
  if (injectFailure()) return nullptr;
  void *block = takeBlock(size, mode, source);
  countBlock(block, +1);
  return block;
}

OV_API void *ov_extendMem(void *block, uint64_t newSize, void *, int32_t zeroFill,
                          uint64_t growBy, uint32_t) {
  if (injectFailure()) return nullptr;
  if (block == nullptr) {
    void *fresh = zeroFill ? std::calloc(1, newSize) : std::malloc(newSize);
    countBlock(fresh, +1);
    return fresh;
  }
  // A zero size would make realloc free the block and return null, which a
  // caller takes for failure while still owning the block; keep one byte.
  void *grown = std::realloc(block, newSize != 0 ? newSize : 1);
  if (growBy > newSize) growBy = newSize;
  if (grown != nullptr && zeroFill && growBy != 0)
    std::memset(static_cast<char *>(grown) + (newSize - growBy), 0, growBy);
  return grown;
}

OV_API void ov_freeMemory(void *block, void *) {
  countBlock(block, -1);
  std::free(block);
}

}  // extern "C"
