/*
 * filestream.cpp - buffered line streams over the unbuffered file calls.
 *
 * Exports ov_fileStreamOpen, ov_fileStreamClose, ov_fileStreamGets,
 * ov_fileStreamPuts, ov_fileStreamRewind and ov_fileStreamGetLine.  A
 * stream moves whole blocks of OV_FILESTREAM_BLOCK bytes: one read per
 * block fetched, one write per block filled.  Allocation tags (module
 * 1820): 182000379 the stream record, 182000587 a first line buffer,
 * 182000565 growing a line buffer.
 */
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "ovbase/ovutil.h"
#include "ovbase/platform.h"
#include "ovutil/filestream_internal.h"

namespace {

constexpr uint32_t kTagStream = 182000379;
constexpr uint32_t kTagLineGrow = 182000565;
constexpr uint32_t kTagLineFirst = 182000587;

constexpr uint32_t kBlock = OV_FILESTREAM_BLOCK;
constexpr uint32_t kLineStep = 100;  // line buffers start at and grow by this

constexpr int32_t kWriteCreateTruncate = O_WRONLY | O_CREAT | O_TRUNC;
constexpr int32_t kWriteCreateAppend = O_WRONLY | O_CREAT | O_APPEND;
static_assert(kWriteCreateTruncate == 0x241, "open flags of mode w");

// Open flags for a mode text, or -1 when it holds a character we refuse.
// The characters apply in order: '+' sets read-write and clears write-only
// in the flags so far, so a 'w' or 'a' after it adds write-only back.
int32_t flagsForMode(const char *mode) {
  int32_t flags = O_RDONLY;
  if (mode == nullptr) return flags;
  for (int i = 0; i < 3 && mode[i] != '\0'; ++i) {
    switch (mode[i]) {
      case 'r': break;
      case 'w': flags |= kWriteCreateTruncate; break;
      case 'a': flags |= kWriteCreateAppend; break;
      case '+': flags = (flags | O_RDWR) & ~O_WRONLY; break;
      default: return -1;
    }
  }
  return flags;
}

// Passes the buffered written bytes to the file.
void writePending(FILESTREAM *s) {
  if (s->dirty != 0 && s->pos != 0) ov_fileWrite(s->fd, s->data, s->pos);
  s->dirty = 0;
  s->pos = 0;
  s->fill = 0;
}

// Fetches the next block; false at end of file or on a read error.
bool fetchBlock(FILESTREAM *s) {
  const int64_t got = ov_fileRead(s->fd, s->data, kBlock);
  s->pos = 0;
  s->fill = 0;
  if (got <= 0) return false;
  s->fill = static_cast<uint32_t>(got);
  s->data[got] = '\0';  // a full block keeps the never-written zero after it
  return true;
}

// Copies the next piece of a line into dst (size bytes with the terminator)
// and returns the bytes delivered; *newline tells whether the piece ends
// the line.  Joins a line across block ends while room is left.  A new
// block is fetched only when there is none or the current one was full
// and is used up: a short block is the end of the file, and the stream
// stays at its end (whatever is added to the file later) until a rewind.
uint32_t readPiece(FILESTREAM *s, char *dst, uint32_t size, bool *newline) {
  *newline = false;
  dst[0] = '\0';
  if (s->dirty != 0) writePending(s);
  uint32_t room = size - 1;  // bytes of text that still fit
  uint32_t got = 0;
  for (;;) {
    if ((s->fill == 0 || s->pos == kBlock) && !fetchBlock(s)) break;
    const char *text = s->data + s->pos;
    const uint32_t avail = s->fill - s->pos;
    const char *end = static_cast<const char *>(std::memchr(text, '\n', avail));
    uint32_t piece = end != nullptr ? static_cast<uint32_t>(end - text) + 1 : avail;
    bool whole = end != nullptr;
    if (piece > room) {
      piece = room;
      whole = false;
    }
    std::memcpy(dst + got, text, piece);
    got += piece;
    dst[got] = '\0';
    s->pos += piece;
    room -= piece;
    if (whole) {
      *newline = true;
      break;
    }
    if (s->pos != kBlock || room == 0) break;
  }
  return got;
}

// Takes up to count bytes into the write block; a full block goes out at once.
uint32_t streamPut(FILESTREAM *s, const char *bytes, uint32_t count) {
  if (count == 0) return 0;
  if (s->fill != 0) s->pos = s->fill = 0;  // switching from reading: drop the input
  const uint32_t take = count < kBlock - s->pos ? count : kBlock - s->pos;
  std::memcpy(s->data + s->pos, bytes, take);
  s->pos += take;
  if (s->pos == kBlock) {
    ov_fileWrite(s->fd, s->data, kBlock);
    s->pos = 0;
    s->dirty = 0;
  } else {
    s->dirty = 1;
  }
  return take;
}

}  // namespace

namespace ov::stream {

FILESTREAM *open(const char *path, const char *mode, bool *noMemory) {
  *noMemory = false;
  if (path == nullptr) return nullptr;
  const int32_t flags = flagsForMode(mode);
  if (flags < 0) return nullptr;
  auto *stream = static_cast<FILESTREAM *>(
      ov_getMem(sizeof(FILESTREAM), nullptr, MEM_ZERO, nullptr, kTagStream));
  if (stream == nullptr) {
    *noMemory = true;
    return nullptr;
  }
  stream->fd = ov_fileOpen(path, flags, 0, 0, 1);
  if (stream->fd == -1) {
    ov_freeMemory(stream, nullptr);
    return nullptr;
  }
  return stream;
}

LineResult getLine(FILESTREAM *stream, char **lineBuffer, uint32_t *lineSize, uint32_t *length) {
  char *buffer = *lineBuffer;
  uint32_t capacity = *lineSize;
  if (buffer == nullptr) {
    buffer = static_cast<char *>(ov_getMem(kLineStep, nullptr, MEM_ZERO, nullptr, kTagLineFirst));
    if (buffer == nullptr) return LineResult::kNoMemory;
    capacity = kLineStep;
  } else if (capacity == 0) {
    capacity = kLineStep;
  } else if (capacity == 1) {  // no room for even one byte: grow first
    char *grown = static_cast<char *>(ov_extendMem(buffer, 1 + kLineStep, nullptr, 0, 0, kTagLineGrow));
    if (grown == nullptr) return LineResult::kNoMemory;
    buffer = grown;
    capacity = 1 + kLineStep;
  }
  *lineBuffer = buffer;
  *lineSize = capacity;

  // The common case: the whole line is in the current block and fits.
  if (stream->dirty == 0 && stream->pos < stream->fill) {
    const char *text = stream->data + stream->pos;
    const char *end = static_cast<const char *>(std::memchr(text, '\n', stream->fill - stream->pos));
    if (end != nullptr && static_cast<uint32_t>(end - text) + 1 < capacity) {
      const auto bytes = static_cast<uint32_t>(end - text) + 1;
      std::memcpy(buffer, text, bytes);
      buffer[bytes] = '\0';
      stream->pos += bytes;
      *length = bytes;
      return LineResult::kLine;
    }
  }

  bool newline = false;
  uint32_t used = readPiece(stream, buffer, capacity, &newline);
  if (used == 0) return LineResult::kEnd;
  while (!newline) {
    // Grow by one step and go on from the zero that ends the text so far.
    char *grown = static_cast<char *>(
        ov_extendMem(buffer, uint64_t{capacity} + kLineStep, nullptr, 0, 0, kTagLineGrow));
    if (grown == nullptr) return LineResult::kNoMemory;
    buffer = grown;
    capacity += kLineStep;
    *lineBuffer = buffer;
    *lineSize = capacity;
    const uint32_t more = readPiece(stream, buffer + used, capacity - used, &newline);
    if (more == 0) break;  // end of file: the last line has no newline
    used += more;
  }
  *length = used;
  return LineResult::kLine;
}

bool readWhole(FILESTREAM *stream, uint64_t consumed) {
  struct stat st {};
  if (fstat(stream->fd, &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return !S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) == consumed;
}

uint64_t putLine(FILESTREAM *stream, const char *line, size_t length) {
  size_t done = 0;
  while (done < length) {
    const size_t left = length - done;
    done += streamPut(stream, line + done, left < kBlock ? static_cast<uint32_t>(left) : kBlock);
  }
  streamPut(stream, "\n", 1);
  return uint64_t{length} + 1;
}

int64_t syncWritten(FILESTREAM *stream) {
  writePending(stream);
  struct stat st {};
  if (fsync(stream->fd) != 0 || fstat(stream->fd, &st) != 0) return -1;
  return st.st_size;
}

}  // namespace ov::stream

extern "C" {

OV_API FILESTREAM *ov_fileStreamOpen(const char *path, const char *mode) {
  bool noMemory = false;
  return ov::stream::open(path, mode, &noMemory);
}

OV_API void ov_fileStreamClose(FILESTREAM *stream) {
  if (stream == nullptr) return;
  writePending(stream);
  ov_fileClose(stream->fd);
  ov_freeMemory(stream, nullptr);
}

OV_API char *ov_fileStreamGets(FILESTREAM *stream, char *buffer, uint32_t size) {
  if (stream == nullptr || buffer == nullptr || size == 0) return nullptr;
  bool newline = false;
  return readPiece(stream, buffer, size, &newline) != 0 ? buffer : nullptr;
}

OV_API uint32_t ov_fileStreamPuts(FILESTREAM *stream, const char *text) {
  if (stream == nullptr || text == nullptr) return 0;
  return static_cast<uint32_t>(ov::stream::putLine(stream, text, std::strlen(text)));
}

OV_API int64_t ov_fileStreamRewind(FILESTREAM *stream) {
  if (stream == nullptr) return -1;
  writePending(stream);
  const int64_t at = ov_fileSeek(stream->fd, 0);
  return at == 0 ? 0 : -1;
}

OV_API char *ov_fileStreamGetLine(FILESTREAM *stream, char **lineBuffer, uint32_t *lineSize) {
  if (stream == nullptr || lineBuffer == nullptr || lineSize == nullptr) return nullptr;
  uint32_t length = 0;
  switch (ov::stream::getLine(stream, lineBuffer, lineSize, &length)) {
    case ov::stream::LineResult::kLine: return *lineBuffer;
    case ov::stream::LineResult::kNoMemory: errno = ENOMEM; return nullptr;
    case ov::stream::LineResult::kEnd: break;
  }
  return nullptr;
}

}  // extern "C"
