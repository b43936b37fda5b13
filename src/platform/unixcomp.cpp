/*
 * unixcomp.cpp - thin operating-system wrappers.
 *
 * Exports the tagged heap (ov_getMem, ov_extendMem, ov_freeMemory), the
 * unbuffered file calls (ov_file*), sleep, clock, local time and
 * environment lookup, and the 51-slot mutex table (ov_sync*).  The
 * allocator keeps no books: tags and memory contexts belong to the interface
 * but are not read.  The static test build adds a failure countdown and a
 * count of outstanding blocks (see testhooks.h).
 */
#include "ovbase/platform.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "ovbase/status.h"

#ifdef OV_TEST_HOOKS
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
      return strdup(static_cast<const char *>(source));
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
  // Nothing to copy from: refused like an unknown mode, not dereferenced.
  // A copy of 0 bytes reads nothing, so it needs no source.
  if (source == nullptr && (mode == MEM_STRDUP || (mode == MEM_COPY && size != 0)))
    return nullptr;
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

/* ---- Files, time, sleep and environment ---------------------------------- */
//
// Each wrapper is one platform call (or a fixed short sequence) whose result
// is passed back as the platform gives it, errno included.

namespace {

// Truncating (0x200) also creates (0x40): truncating a missing file makes it.
constexpr int32_t kTruncateFlag = 0x200;
constexpr int32_t kCreateFlag = 0x40;
static_assert(kTruncateFlag == O_TRUNC && kCreateFlag == O_CREAT,
              "open flags are passed through unchanged");
constexpr mode_t kBasePermissions = 0666;

// remove and rename report through a signed 16-bit result, widened to int.
int32_t asShortResult(int result) { return static_cast<int16_t>(result); }

}  // namespace

extern "C" {

OV_API int16_t ov_getOSHandleLimit(void) {
  rlimit limit{};
  getrlimit(RLIMIT_NOFILE, &limit);
  return static_cast<int16_t>(limit.rlim_cur & 0xFFFF);
}

OV_API int32_t ov_fileOpen(const char *path, int32_t flags, uint16_t mode, int32_t, int32_t) {
  if (flags & kTruncateFlag) flags |= kCreateFlag;
  return open(path, flags, static_cast<mode_t>(mode) | kBasePermissions);
}

OV_API int32_t ov_fileClose(int32_t fd) { return close(fd); }

OV_API int64_t ov_fileRead(int32_t fd, void *buffer, uint32_t count) {
  return read(fd, buffer, count);
}

OV_API int64_t ov_fileWrite(int32_t fd, const void *buffer, uint32_t count) {
  return write(fd, buffer, count);
}

OV_API int64_t ov_fileSeek(int32_t fd, int64_t offset) { return lseek(fd, offset, SEEK_SET); }

OV_API int64_t ov_fileLength(int32_t fd) {
  const off_t position = lseek(fd, 0, SEEK_CUR);
  if (position < 0) return -1;
  const off_t length = lseek(fd, 0, SEEK_END);
  lseek(fd, position, SEEK_SET);
  return length;
}

OV_API int32_t ov_fileRemove(const char *path) { return asShortResult(remove(path)); }

OV_API int32_t ov_fileRename(const char *oldPath, const char *newPath) {
  return asShortResult(rename(oldPath, newPath));
}

OV_API int32_t ov_fileValidate(const char *path) { return access(path, F_OK) == 0 ? 0 : -1; }

OV_API int32_t ov_sleep(uint32_t milliseconds) {
  timespec wanted{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
  timespec remaining{};
  // A signal cuts nanosleep short; go on sleeping for what is left.
  while (nanosleep(&wanted, &remaining) != 0 && errno == EINTR) wanted = remaining;
  return 0;
}

OV_API char *ov_OSgetenv(const char *name) { return name ? getenv(name) : nullptr; }

OV_API struct tm *ov_timeLocaltime(const time_t *timer, struct tm *result) {
  if (timer == nullptr || result == nullptr) {
    errno = EINVAL;
    return nullptr;
  }
  return localtime_r(timer, result);
}

OV_API uint64_t ov_timeHRTimer(void) {
  timeval now{};
  gettimeofday(&now, nullptr);
  return (static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_usec)) *
         1000u;
}

}  // extern "C"

/* ---- Mutex table ---------------------------------------------------------- */
//
// 51 slots of platform mutexes.  Slot 0 is a ready mutex from load time (the
// platform's static initialiser, constant-initialised: no code runs before
// main) and serves one-time setups; slots 1 to 50 are handed out by
// ov_syncCreate, lowest free first, under internalMutex.  The in-use flags
// are one-byte atomics: enter, exit and delete read them without a lock, and
// a slot's flag is published only after its mutex is initialised.

namespace {

constexpr int kMutexSlots = 51;
constexpr int kFirstCreatable = 1;

constinit pthread_mutex_t internalMutex = PTHREAD_MUTEX_INITIALIZER;
constinit pthread_mutex_t mutexes[kMutexSlots] = {PTHREAD_MUTEX_INITIALIZER};
constinit std::atomic<uint8_t> mutex_used[kMutexSlots] = {1};
static_assert(std::atomic<uint8_t>::is_always_lock_free);

// Holds a platform mutex for the lifetime of the guard.
class LockGuard {
 public:
  explicit LockGuard(pthread_mutex_t &mutex) : mutex_(mutex) { pthread_mutex_lock(&mutex_); }
  ~LockGuard() { pthread_mutex_unlock(&mutex_); }
  LockGuard(const LockGuard &) = delete;
  LockGuard &operator=(const LockGuard &) = delete;

 private:
  pthread_mutex_t &mutex_;
};

// The slot's mutex when `handle` names a slot in use, else null.
pthread_mutex_t *slotInUse(int16_t handle) {
  if (handle < 0 || handle >= kMutexSlots) return nullptr;
  if (mutex_used[handle].load(std::memory_order_acquire) == 0) return nullptr;
  return &mutexes[handle];
}

}  // namespace

extern "C" {

OV_API int32_t ov_syncCreate(const char *, int16_t, int16_t) {
  LockGuard guard(internalMutex);
  for (int slot = kFirstCreatable; slot < kMutexSlots; ++slot) {
    // Acquire: a slot freed by ov_syncDelete is fully destroyed before it
    // is initialised again here.
    if (mutex_used[slot].load(std::memory_order_acquire) != 0) continue;
    pthread_mutex_init(&mutexes[slot], nullptr);
    mutex_used[slot].store(1, std::memory_order_release);
    return slot;
  }
  return S_INSUFFNETRES;
}

OV_API void ov_syncEnterExcl(int16_t handle) {
  if (pthread_mutex_t *mutex = slotInUse(handle)) pthread_mutex_lock(mutex);
}

OV_API void ov_syncExitExcl(int16_t handle) {
  if (pthread_mutex_t *mutex = slotInUse(handle)) pthread_mutex_unlock(mutex);
}

OV_API void ov_syncDelete(int16_t handle) {
  if (pthread_mutex_t *mutex = slotInUse(handle)) {
    pthread_mutex_destroy(mutex);
    mutex_used[handle].store(0, std::memory_order_release);
  }
}

}  // extern "C"
