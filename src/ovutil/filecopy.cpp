/*
 * filecopy.cpp - copying and moving files, and the working directory that
 * bare names are resolved against.
 *
 * Exports ov_fileCopy and ov_fileMove.  File-local: ov_currdir (the working
 * directory, learnt once), normalize (a name resolved against it) and
 * _fileCopy (the copy itself).
 *
 * Allocation tags (module 1820): 182000148 for the copy buffer, 182000173
 * for a name used as it is.
 */
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "ovbase/ovutil.h"
#include "ovbase/platform.h"
#include "ovbase/status.h"
#include "ovbase/txtutil.h"

namespace {

constexpr uint32_t kTagCopyBuffer = 182000148;
constexpr uint32_t kTagNormalized = 182000173;
constexpr uint32_t kCopyBlock = 4096;
constexpr int32_t kReadOnly = 0;
constexpr int32_t kCreateNew = 0xc2;  // read-write, create, exclusive
static_assert(kCreateNew == (O_RDWR | O_CREAT | O_EXCL));
constexpr int64_t kMaxSizeHint = 0xFFFFFFFF;

// The working directory, learnt at the first call that can learn it.  No
// lock is taken (a caller may hold any mutex of the table): each first call
// asks the platform into its own area, and the one that wins cwdState
// publishes its text in buf; the others wait the few instructions that
// copy takes.
char buf[256];
constexpr int kCwdEmpty = 0, kCwdFilling = 1, kCwdKnown = 2;
std::atomic<int> cwdState{kCwdEmpty};

const char *ov_currdir() {
  if (cwdState.load(std::memory_order_acquire) == kCwdKnown) return buf;
  char mine[sizeof buf];
  if (getcwd(mine, sizeof mine) == nullptr)
    return cwdState.load(std::memory_order_acquire) == kCwdKnown ? buf : nullptr;
  int expected = kCwdEmpty;
  if (cwdState.compare_exchange_strong(expected, kCwdFilling, std::memory_order_acquire)) {
    std::memcpy(buf, mine, std::strlen(mine) + 1);
    cwdState.store(kCwdKnown, std::memory_order_release);
  }
  while (cwdState.load(std::memory_order_acquire) != kCwdKnown) sched_yield();
  return buf;
}

// A new heap path: a bare or dot-relative name joined to the working
// directory, any other name copied as it is.  Null when memory runs out
// (*failure S_NOMEMORY) or the name needs a working directory that cannot
// be had (*failure S_FILEOPERR: the file cannot be named, so not opened);
// *failure is left alone otherwise.
char *normalize(const char *path, OV_STATUS *failure) {
  char *normalized;
  if (pathBaseExt(path) == path || path[0] == '.') {
    const char *dir = ov_currdir();
    if (dir == nullptr) {
      *failure = S_FILEOPERR;
      return nullptr;
    }
    normalized = makeAllocPath(dir, path, nullptr, nullptr);
  } else {
    normalized = static_cast<char *>(ov_getMem(0, nullptr, MEM_STRDUP, path, kTagNormalized));
  }
  if (normalized == nullptr) *failure = S_NOMEMORY;
  return normalized;
}

// Releases a heap block and closes descriptors when the copy ends, however
// it ends.
class CopyResources {
 public:
  explicit CopyResources(char *buffer) : buffer_(buffer) {}
  ~CopyResources() {
    if (source >= 0) ov_fileClose(source);
    if (target >= 0) ov_fileClose(target);
    ov_freeMemory(buffer_, nullptr);
  }
  CopyResources(const CopyResources &) = delete;
  CopyResources &operator=(const CopyResources &) = delete;

  int32_t source = -1;
  int32_t target = -1;

 private:
  char *buffer_;
};

int64_t readRetrying(int32_t fd, char *data, uint32_t count) {
  int64_t got;
  do got = ov_fileRead(fd, data, count);
  while (got < 0 && errno == EINTR);
  return got;
}

// Writes all count bytes, going on after short writes.  False when the
// platform stops taking them.
bool writeAll(int32_t fd, const char *data, uint64_t count) {
  while (count != 0) {
    const int64_t put = ov_fileWrite(fd, data, static_cast<uint32_t>(count));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    data += put;
    count -= static_cast<uint64_t>(put);
  }
  return true;
}

// Writes the `got` bytes already in the buffer, then streams the rest of
// the open source into the open target.
OV_STATUS copyBytes(int32_t source, int32_t target, char *buffer, int64_t got) {
  for (;;) {
    if (got == 0) return S_OKAY;
    if (got < 0) return S_FILERDERR;
    if (!writeAll(target, buffer, static_cast<uint64_t>(got))) return S_FILEWRERR;
    got = readRetrying(source, buffer, kCopyBlock);
  }
}

OV_STATUS _fileCopy(const char *from, const char *to) {
  if (std::strcmp(from, to) == 0) return S_OKAY;
  // The buffer comes first, so that running out of memory touches no file.
  auto *buffer =
      static_cast<char *>(ov_getMem(kCopyBlock, nullptr, MEM_PLAIN, nullptr, kTagCopyBuffer));
  if (buffer == nullptr) return S_NOMEMORY;
  CopyResources held(buffer);

  // The source is opened before the target is removed, so copying onto
  // another name of the same file still reads the whole of it.
  held.source = ov_fileOpen(from, kReadOnly, 0, 0, 0);
  if (held.source < 0) return S_FILEOPERR;
  // A source that cannot be read at all (a directory, say) fails here,
  // before the target is touched.
  const int64_t first = readRetrying(held.source, buffer, kCopyBlock);
  if (first < 0) return S_FILERDERR;
  ov_fileRemove(to);
  int64_t length = ov_fileLength(held.source);
  if (length > kMaxSizeHint) length = kMaxSizeHint;
  held.target = ov_fileOpen(to, kCreateNew, 0, static_cast<int32_t>(length), 0);
  if (held.target < 0) return errno == EACCES ? S_FILEWRERR : S_FILEOPERR;

  OV_STATUS status = copyBytes(held.source, held.target, buffer, first);
  const int32_t target = held.target;
  held.target = -1;
  if (ov_fileClose(target) != 0 && status == S_OKAY) status = S_FILEWRERR;
  // A short file must not pass for a copy.
  if (status != S_OKAY) ov_fileRemove(to);
  return status;
}

}  // namespace

extern "C" {

OV_API OV_STATUS ov_fileCopy(const char *from, const char *to) {
  if (from == nullptr || to == nullptr) return S_INVNULL;
  OV_STATUS targetFailure = S_OKAY;
  OV_STATUS status = S_OKAY;
  char *source = normalize(from, &status);
  char *target = normalize(to, &targetFailure);
  if (status == S_OKAY) status = targetFailure;
  if (status == S_OKAY) status = _fileCopy(source, target);
  ov_freeMemory(source, nullptr);
  ov_freeMemory(target, nullptr);
  return status;
}

OV_API OV_STATUS ov_fileMove(const char *from, const char *to) {
  if (from == nullptr || to == nullptr) return S_INVNULL;
  if (std::strcmp(from, to) == 0) return S_OKAY;
  if (ov_fileRename(from, to) == 0) return S_OKAY;
  const OV_STATUS status = ov_fileCopy(from, to);
  if (status == S_OKAY) ov_fileRemove(from);
  return status;
}

}  // extern "C"
