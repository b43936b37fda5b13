/*
 * txtutil.cpp - bounded copies, argument splitting, joining string arrays,
 * prompt reading and the all-digits test.
 *
 * Allocation tags (module 2726): 272600523 for the argument vector,
 * 272600580 for growing a joined buffer, 272600585 for allocating one.
 */
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "ovbase/platform.h"
#include "ovbase/status.h"
#include "ovbase/txtutil.h"

namespace {

constexpr uint32_t kTagArgv = 272600523;
constexpr uint32_t kTagCatGrow = 272600580;
constexpr uint32_t kTagCatNew = 272600585;

// Number of elements of src before its terminator, but at most `limit`.
template <typename Ch>
uint64_t boundedLength(const Ch *src, uint64_t limit) {
  uint64_t n = 0;
  while (n < limit && src[n] != Ch{0}) ++n;
  return n;
}

// Copies at most size - 1 elements of src, zero-fills the rest of the
// first size - 1 and terminates at size - 1.  Nothing is written for size 0
// or a null dst; a null src is the empty string.
template <typename Ch>
Ch *copyTerminated(Ch *dst, const Ch *src, uint64_t size) {
  if (dst == nullptr || size == 0) return dst;
  const uint64_t room = size - 1;
  const uint64_t n = src ? boundedLength(src, room) : 0;
  if (n != 0) std::memcpy(dst, src, n * sizeof(Ch));
  std::memset(dst + n, 0, (size - n) * sizeof(Ch));
  return dst;
}

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

const char *skipSpace(const char *p) {
  while (*p != '\0' && isSpace(*p)) ++p;
  return p;
}
const char *skipWord(const char *p) {
  while (*p != '\0' && !isSpace(*p)) ++p;
  return p;
}

int32_t countWords(const char *text) {
  int32_t count = 0;
  for (const char *p = skipSpace(text); *p != '\0'; p = skipSpace(skipWord(p))) ++count;
  return count;
}

// Overwrites every whitespace character of `copy` with NUL and stores a
// pointer to the start of each word in `words`.
void splitInPlace(char *copy, char **words) {
  for (char *p = copy; *p != '\0';) {
    if (isSpace(*p)) {
      *p++ = '\0';
      continue;
    }
    *words++ = p;
    while (*p != '\0' && !isSpace(*p)) ++p;
  }
}

// 1 plus the lengths of the non-null strings.
uint64_t joinedSize(const char **strings, uint64_t count) {
  uint64_t total = 1;
  for (uint64_t i = 0; i < count; ++i)
    if (strings[i] != nullptr) total += std::strlen(strings[i]);
  return total;
}

void joinInto(char *out, const char **strings, uint64_t count) {
  for (uint64_t i = 0; i < count; ++i) {
    if (strings[i] == nullptr) continue;
    const std::size_t len = std::strlen(strings[i]);
    std::memcpy(out, strings[i], len);
    out += len;
  }
  *out = '\0';
}

// Tells whether reading a stream failed while the watch lasted, as fgets
// decides it: a stream that merely has nothing more to give now (a
// non-blocking one says "try again") has not failed, nor has one whose error
// indicator was already set before, unless a new error came with an errno.
// The caller's errno comes back when nothing set one meanwhile.
class ReadWatch {
 public:
  explicit ReadWatch(FILE *stream)
      : stream_(stream), hadError_(std::ferror(stream) != 0), callerErrno_(errno) {
    errno = 0;
  }
  ~ReadWatch() {
    if (errno == 0) errno = callerErrno_;
  }
  ReadWatch(const ReadWatch &) = delete;
  ReadWatch &operator=(const ReadWatch &) = delete;

  bool failed() const {
    const int err = errno;
    if (std::ferror(stream_) == 0 || err == EAGAIN || err == EWOULDBLOCK) return false;
    return !hadError_ || err != 0;
  }

 private:
  FILE *stream_;
  bool hadError_;
  int callerErrno_;
};

// Reads and drops characters up to and including the next newline or to
// the end of the stream.
void discardRestOfLine(FILE *stream) {
  int c = std::getc(stream);
  while (c != '\n' && c != EOF) c = std::getc(stream);
}

}  // namespace

extern "C" {

OV_API char *StrncpyZ(char *dst, const char *src, uint64_t size) {
  return copyTerminated(dst, src, size);
}

OV_API wchar_t *WStrncpyZ(wchar_t *dst, const wchar_t *src, uint64_t size) {
  return copyTerminated(dst, src, size);
}

OV_API OV_STATUS StrToArgv(const char *text, int32_t *argc, char ***argv, void *memCtx) {
  if (argc == nullptr || argv == nullptr) return S_INVNULL;
  if (text == nullptr) text = "";
  *argc = countWords(text);
  if (*argc == 0) {
    *argv = nullptr;
    return S_OKAY;
  }
  const uint64_t pointerBytes = static_cast<uint64_t>(*argc) * sizeof(char *);
  const uint64_t textBytes = std::strlen(text) + 1;
  void *block = ov_getMem(pointerBytes + textBytes, memCtx, MEM_PLAIN, nullptr, kTagArgv);
  if (block == nullptr) return S_NOMEMORY;
  auto **words = static_cast<char **>(block);
  char *copy = static_cast<char *>(block) + pointerBytes;
  std::memcpy(copy, text, textBytes);
  splitInPlace(copy, words);
  *argv = words;
  return S_OKAY;
}

OV_API char *StrArrayCat(const char **strings, uint64_t count, char *buffer, uint64_t *bufSize,
                         void *memCtx) {
  if (strings == nullptr) count = 0;
  const uint64_t total = joinedSize(strings, count);
  if (buffer == nullptr) {
    buffer = static_cast<char *>(ov_getMem(total, memCtx, MEM_PLAIN, nullptr, kTagCatNew));
  } else if (bufSize == nullptr || *bufSize < total) {
    // On failure the caller keeps the old buffer, and *bufSize still
    // describes it.
    buffer = static_cast<char *>(ov_extendMem(buffer, total, memCtx, 0, 0, kTagCatGrow));
    if (buffer != nullptr && bufSize != nullptr) *bufSize = total;
  }
  if (buffer == nullptr) return nullptr;
  joinInto(buffer, strings, count);
  return buffer;
}

OV_API int StrArrayCatBuf(const char **strings, uint64_t count, char *buffer, uint64_t size) {
  if (buffer == nullptr || size == 0) return -1;  // not even a terminator fits
  if (strings == nullptr) count = 0;
  uint64_t room = size;
  char *out = buffer;
  for (uint64_t i = 0; i < count; ++i) {
    if (strings[i] == nullptr) continue;
    const uint64_t len = std::strlen(strings[i]);
    if (len >= room) {
      StrncpyZ(out, strings[i], room);
      return -1;
    }
    std::memcpy(out, strings[i], len + 1);
    room -= len;
    out += len;
  }
  if (room == size) buffer[0] = '\0';
  return 0;
}

OV_API char *FgetsTrim(char *buffer, int16_t size, FILE *stream) {
  std::fflush(stdout);
  if (buffer == nullptr || size <= 0 || stream == nullptr) return nullptr;
  // Byte by byte rather than fgets and a length: the newline is found where
  // it was read, so a NUL byte inside the line cannot hide it.
  const ReadWatch watch(stream);
  int16_t used = 0;
  int c = 0;
  while (used < size - 1 && (c = std::getc(stream)) != EOF && c != '\n')
    buffer[used++] = static_cast<char>(c);
  buffer[used] = '\0';
  if (c == EOF && size > 1 && (used == 0 || watch.failed())) {
    buffer[0] = '\0';
    return nullptr;
  }
  if (c != '\n' && c != EOF) discardRestOfLine(stream);  // the buffer filled first
  return buffer;
}

OV_API int AllDigits(const char *text) {
  if (text == nullptr) return 1;
  for (; *text != '\0'; ++text)
    if (!isDigit(*text)) return 0;
  return 1;
}

}  // extern "C"
